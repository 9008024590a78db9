// The window of every other autostart entry (computer_cleaner/frm_auto.cpp), the Computer
// window's box about them after its verdict, and its "Block Script Worms For This User" item,
// on the simulated platform and the headless host. The platform is wrapped in the journal of
// changes as the program composes it, so the commands and what they changed are checked too.
#include "computer_cleaner/frm_auto.h"
#include "computer_cleaner/frm_c.h"

#include "platform/journal.h"
#include "platform/simulated/simulated_platform.h"
#include "tests/support/shortcut_writer.h"
#include "tests/support/stand_in_windows.h"
#include "ui/form.h"
#include "ui/headless/headless_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tidewick {
namespace {

using sim::RegistryValue;
using sim::SimulatedPlatform;
using stand_in::StandInMain;
using stand_in::StandInRegistryManager;

constexpr Handle HKCU = Root::CurrentUser;
constexpr Handle HKLM = Root::LocalMachine;

constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRun32 = "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kWinlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kProfile = "C:\\Users\\u";
constexpr const char* kRoaming = "C:\\Users\\u\\AppData\\Roaming";
constexpr const char* kTemp = "C:\\Users\\u\\AppData\\Local\\Temp";
constexpr const char* kStartup = "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
constexpr const char* kProgramFolder = "C:\\Tidewick";
constexpr const char* kWscript = "C:\\Windows\\System32\\wscript.exe";
constexpr const char* kRundll32 = "C:\\Windows\\System32\\rundll32.exe";
constexpr const char* kScriptSettings = "Software\\Microsoft\\Windows Script Host\\Settings";

constexpr const char* kAreYouSure = "Are you sure to delete this file(s)?";
constexpr const char* kComplete = "Delete complete!";
constexpr const char* kUnsuccessful =
    "Delete unsuccessful. Please do in Safe Mode OR try next boot(restart computer).";
constexpr const char* kSelectFirst = "Please select file to delete!";
constexpr const char* kKillToolMissing = "File 'pskill.exe' not found. Please redownload this program.";
constexpr const char* kNotDetected = "Done. Shortcut virus not detect!";
constexpr const char* kDetected = "Done. Shortcut virus detect!";

class AutostartWindowTest : public ::testing::Test {
 protected:
  AutostartWindowTest() {
    stand_in::Register<StandInMain>(app);
    stand_in::Register<frm_c>(app);
    stand_in::Register<StandInRegistryManager>(app);
    stand_in::Register<frm_auto>(app);
    app.SetJournal(&journaled.Journal());
    os.AddDrive('C');
    os.SetProfileFolder(kProfile);
    for (const char* folder : {kRoaming, kTemp, kStartup, "C:\\Windows\\System32", "C:\\Program Files\\App",
                               kProgramFolder}) {
      os.AddFolder(folder);
    }
    os.AddFile(std::string(kProgramFolder) + "\\pskill.exe");
    os.SetCurrentFolder(kProgramFolder);
    os.AddFile(kWscript);
    os.AddFile(kRundll32);
    os.CreateRegistryKey(HKCU, kRun);
  }

  // The main window hands over to the computer cleaner, as its "Computer" button does.
  frm_c& OpenComputer() {
    ui::Form& main = app.Get<StandInMain>();
    main.Show();
    app.HandOver<frm_c>(main);
    return app.Get<frm_c>();
  }
  // ... and the computer cleaner's "Extra" menu opens the window.
  frm_auto& Open() {
    frm_c& computer = OpenComputer();
    user.Choose(computer.ex_auto);
    return app.Get<frm_auto>();
  }

  void Value(Handle root, const char* key, const std::string& name, const std::string& data,
             std::uint32_t type = RegType::Sz) {
    os.SetRegistryValue(root, key, name, RegistryValue::Text(data, type));
  }
  bool HasValue(Handle root, const char* key, const std::string& name) const {
    return os.RegistryValueAt(root, key, name).has_value();
  }
  std::string TextAt(Handle root, const char* key, const std::string& name) const {
    const auto value = os.RegistryValueAt(root, key, name);
    if (!value || value->data.empty()) return {};
    return std::string(value->data.begin(), value->data.end() - 1);
  }

  // A script of the temporary folder run by wscript, as the VBS worms run theirs.
  std::uint32_t RunningScript(const std::string& script) {
    os.AddFile(script);
    return os.StartProcess("wscript.exe", kWscript, std::string("\"") + kWscript + "\" //B \"" + script + "\"");
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& box : os.MessageBoxes()) texts.push_back(box.text);
    return texts;
  }
  std::vector<std::string> Column(const frm_auto& form, int column) const {
    std::vector<std::string> cells;
    for (int row = 0; row < form.tbl_entries.ListCount(); ++row) cells.push_back(form.tbl_entries.Cell(row, column));
    return cells;
  }
  std::vector<std::string> CommandTitles() {
    std::vector<std::string> titles;
    for (const Command& command : journaled.Journal().Commands()) titles.push_back(command.title);
    return titles;
  }

  // Ticks every row and presses Delete, answering Yes.
  void DeleteAll(frm_auto& form) {
    for (int row = 0; row < form.tbl_entries.ListCount(); ++row) user.Mark(form.tbl_entries, row);
    os.ClearMessageBoxes();
    os.QueueAnswer(Answer::Yes);
    user.Click(form.btn_delete);
  }

  SimulatedPlatform os;
  JournalingPlatform journaled{os};
  ui::HeadlessHost host;
  ui::Application app{journaled, host};
  ui::User user;
};

// ---- Opening, listing, leaving ------------------------------------------------------------

TEST_F(AutostartWindowTest, OpensFromTheExtraMenuAfterRegistryManagerAndGivesBack) {
  frm_c& computer = OpenComputer();
  const std::vector<ui::MenuItem*>& extra = computer.ex_0.Children();
  ASSERT_GE(extra.size(), 3u);
  EXPECT_EQ(extra[0], &computer.ex_fReg);
  EXPECT_EQ(extra[1]->Caption(), "Other Autostart Entries...");
  EXPECT_EQ(extra[2]->Caption(), "Block Script Worms For This User");

  user.Choose(computer.ex_auto);
  frm_auto& form = app.Get<frm_auto>();
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(form.Caption(), "Autostart | Tidewick v3.1");
  EXPECT_FALSE(computer.Visible());
  EXPECT_FALSE(computer.Enabled());
  std::vector<std::string> headers;
  for (const ui::CheckTable::Column& column : form.tbl_entries.Columns()) headers.push_back(column.header);
  EXPECT_EQ(headers, (std::vector<std::string>{"Place", "Name", "Command", "File it starts", "Running processes",
                                               "Why it is listed"}));
  EXPECT_EQ(form.lbl_note.Caption(), "Scheduled tasks are not checked.");
  EXPECT_EQ(form.chk_all.Caption(), "Show every entry");
  EXPECT_FALSE(form.chk_all.Checked());

  user.Click(form.btn_back);
  EXPECT_FALSE(form.Loaded());
  EXPECT_TRUE(computer.Visible());
  EXPECT_TRUE(computer.Enabled());
  // Esc is Back as well, and a new opening reads afresh.
  user.Choose(computer.ex_auto);
  user.PressEscape(form);
  EXPECT_FALSE(form.Loaded());
  EXPECT_TRUE(computer.Visible());
}

TEST_F(AutostartWindowTest, ListsTheSuspiciousAndDeadEntriesUntickedAndEveryEntryOnRequest) {
  const std::string script = std::string(kTemp) + "\\x y.vbs";
  const std::uint32_t host = RunningScript(script);
  Value(HKCU, kRun, "Worm", "wscript.exe //B \"%TEMP%\\x y.vbs\"");
  Value(HKCU, kRun, "Gone", "%APPDATA%\\gone.exe", RegType::ExpandSz);
  os.AddFile("C:\\Program Files\\App\\app.exe");
  Value(HKLM, kRun, "App", "\"C:\\Program Files\\App\\app.exe\" /tray");
  os.AddFile("C:\\Windows\\System32\\prnmngr.vbs");
  Value(HKLM, kRun, "Printers", "wscript.exe C:\\Windows\\System32\\prnmngr.vbs");

  frm_auto& form = Open();
  ASSERT_EQ(form.tbl_entries.ListCount(), 2);
  EXPECT_EQ(form.tbl_entries.Cells(0),
            (std::vector<std::string>{"HKCU Run", "Worm",
                                      "wscript.exe //B \"%TEMP%\\x y.vbs\"", script,
                                      "wscript.exe (" + std::to_string(host) + ")",
                                      "suspicious: in the temporary folder"}));
  EXPECT_EQ(form.tbl_entries.Cells(1),
            (std::vector<std::string>{"HKCU Run", "Gone",
                                      "%APPDATA%\\gone.exe", std::string(kRoaming) + "\\gone.exe", "",
                                      "dead: the file does not exist"}));
  EXPECT_EQ(form.tbl_entries.MarkedCount(), 0);

  user.Click(form.chk_all);
  EXPECT_EQ(Column(form, frm_auto::kName), (std::vector<std::string>{"Worm", "Gone", "App", "Printers"}));
  EXPECT_EQ(form.tbl_entries.Cell(2, frm_auto::kWhy), "not suspicious: under a Program Files folder");
  EXPECT_EQ(form.tbl_entries.Cell(3, frm_auto::kWhy), "not suspicious: under the Windows folder");
  EXPECT_EQ(form.tbl_entries.MarkedCount(), 0);
  user.Click(form.chk_all);
  EXPECT_EQ(Column(form, frm_auto::kName), (std::vector<std::string>{"Worm", "Gone"}));
  EXPECT_EQ(os.OpenHandleCount(), 0u);
}

// ---- Delete ---------------------------------------------------------------------------------

TEST_F(AutostartWindowTest, NothingTickedAsksNothingAndNoChangesNothing) {
  const std::string script = std::string(kTemp) + "\\x.vbs";
  const std::uint32_t host = RunningScript(script);
  Value(HKCU, kRun, "Worm", "wscript.exe //B " + script);
  frm_auto& form = Open();
  os.ClearMessageBoxes();
  user.Click(form.btn_delete);
  EXPECT_EQ(Texts(), (std::vector<std::string>{kSelectFirst}));

  user.Mark(form.tbl_entries, 0);
  os.ClearMessageBoxes();
  os.QueueAnswer(Answer::No);
  user.Click(form.btn_delete);
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure}));
  EXPECT_EQ(os.MessageBoxes()[0].style, MsgStyle::YesNoQuestion);
  EXPECT_TRUE(os.IsRunning(host));
  EXPECT_TRUE(os.Exists(script));
  EXPECT_TRUE(HasValue(HKCU, kRun, "Worm"));
  EXPECT_TRUE(os.CommandLines().empty());
}

// The families' own shapes at once: a script of the temporary folder under HKCU Run, a library
// of the profile under the machine's 32-bit Run key, a program one folder below the profile
// started by a Startup shortcut, and a program added to Winlogon's Userinit. Decoys stay: a
// program under Program Files that runs, a namesake script host running another script, and
// an editor with the worm's script open.
TEST_F(AutostartWindowTest, DeleteEndsWhatRunsTheFilesDeletesThemAndRemovesEveryEntry) {
  const std::string script = std::string(kTemp) + "\\x y.vbs";
  const std::uint32_t scriptHost = RunningScript(script);
  Value(HKCU, kRun, "Worm", "wscript.exe //B \"%TEMP%\\x y.vbs\"");

  const std::string library = std::string(kRoaming) + "\\a.dll";
  os.AddFile(library);
  const std::uint32_t libraryHost = os.StartProcess("rundll32.exe", kRundll32, "rundll32.exe " + library + ",Start");
  Value(HKLM, kRun32, "Updater", "rundll32 %APPDATA%\\a.dll,Start", RegType::ExpandSz);

  const std::string program = std::string(kProfile) + "\\M-1234567890123\\winmgr.exe";
  os.AddFile(program);
  const std::uint32_t programProcess = os.StartProcess("winmgr.exe", program);
  const std::string link = std::string(kStartup) + "\\Windows Manager.lnk";
  const std::vector<std::uint8_t> bytes = testing::ShortcutWriter().IdListPath(program).Bytes();
  os.AddFile(link);
  os.SetFileContent(link, std::string(bytes.begin(), bytes.end()));

  const std::string loader = std::string(kTemp) + "\\ms1234.exe";
  os.AddFile(loader);
  Value(HKLM, kWinlogon, "Userinit", "C:\\Windows\\system32\\userinit.exe," + loader + ",");

  os.AddFile("C:\\Program Files\\App\\app.exe");
  const std::uint32_t app32 = os.StartProcess("app.exe", "C:\\Program Files\\App\\app.exe");
  Value(HKLM, kRun, "App", "C:\\Program Files\\App\\app.exe");
  const std::uint32_t otherHost = RunningScript("C:\\Users\\u\\Documents\\mine.vbs");
  const std::uint32_t editor = os.StartProcess("notepad.exe", "C:\\Windows\\notepad.exe", "notepad.exe \"" + script + "\"");

  frm_auto& form = Open();
  EXPECT_EQ(Column(form, frm_auto::kName),
            (std::vector<std::string>{"Worm", "Updater", "Windows Manager.lnk", "Userinit"}));
  EXPECT_EQ(Column(form, frm_auto::kProcesses),
            (std::vector<std::string>{"wscript.exe (" + std::to_string(scriptHost) + ")",
                                      "rundll32.exe (" + std::to_string(libraryHost) + ")",
                                      "winmgr.exe (" + std::to_string(programProcess) + ")", ""}));
  DeleteAll(form);

  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
  for (const std::uint32_t pid : {scriptHost, libraryHost, programProcess}) EXPECT_FALSE(os.IsRunning(pid)) << pid;
  for (const std::uint32_t pid : {app32, otherHost, editor}) EXPECT_TRUE(os.IsRunning(pid)) << pid;
  std::vector<std::string> kills;
  for (const auto& line : os.CommandLines()) kills.push_back(line.commandLine);
  EXPECT_EQ(kills, (std::vector<std::string>{"cmd /c pskill " + std::to_string(scriptHost),
                                             "cmd /c pskill " + std::to_string(libraryHost),
                                             "cmd /c pskill " + std::to_string(programProcess)}));
  for (const std::string& gone : {script, library, program, link, loader}) EXPECT_FALSE(os.Exists(gone)) << gone;
  // The hosts are Windows' own programs: never deleted.
  EXPECT_TRUE(os.Exists(kWscript));
  EXPECT_TRUE(os.Exists(kRundll32));
  EXPECT_TRUE(os.Exists("C:\\Program Files\\App\\app.exe"));
  EXPECT_FALSE(HasValue(HKCU, kRun, "Worm"));
  EXPECT_FALSE(HasValue(HKLM, kRun32, "Updater"));
  EXPECT_TRUE(HasValue(HKLM, kRun, "App"));
  EXPECT_EQ(TextAt(HKLM, kWinlogon, "Userinit"), "C:\\Windows\\system32\\userinit.exe,");
  // The registry repair ran once.
  EXPECT_EQ(os.RegistryValueAt(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "Hidden")
                ->data,
            RegistryValue::Dword(0).data);
  EXPECT_EQ(CommandTitles(), (std::vector<std::string>{"Delete (autostart entries)", "Registry repair"}));
  // The entries are listed again: none is left.
  EXPECT_EQ(form.tbl_entries.ListCount(), 0);
  EXPECT_FALSE(form.Deleting());
  EXPECT_EQ(os.OpenHandleCount(), 0u);
}

// The journal names a value of the 32-bit view where it lies, so the report window's undo
// puts it back there.
TEST_F(AutostartWindowTest, AValueOfThe32BitViewIsJournaledAtItsWow6432NodeKeyAndUndoneThere) {
  const std::string library = std::string(kRoaming) + "\\a.dll";
  os.AddFile(library);
  Value(HKLM, kRun32, "Updater", "rundll32 " + library + ",Start");
  frm_auto& form = Open();
  DeleteAll(form);
  ASSERT_FALSE(HasValue(HKLM, kRun32, "Updater"));

  const Command& deletion = journaled.Journal().Commands().at(0);
  ASSERT_FALSE(deletion.changes.empty());
  const auto value = std::find_if(deletion.changes.begin(), deletion.changes.end(),
                                  [](const Change& c) { return c.kind == Change::Kind::RegistryValue; });
  ASSERT_NE(value, deletion.changes.end());
  EXPECT_EQ(value->root, HKLM);
  EXPECT_EQ(value->keyPath, kRun32);
  EXPECT_EQ(value->valueName, "Updater");
  EXPECT_FALSE(value->after.has_value());

  const RegistryUndoPlan plan = PlanRegistryUndo(journaled.Journal(), os);
  EXPECT_EQ(UndoRegistryChanges(plan, os), 0);
  EXPECT_EQ(TextAt(HKLM, kRun32, "Updater"), "rundll32 " + library + ",Start");
}

TEST_F(AutostartWindowTest, AChangeRefusedForLackOfRightsIsNamedAsNeedingRunAsAdministrator) {
  const std::string script = std::string(kTemp) + "\\x.vbs";
  os.AddFile(script);
  Value(HKLM, kRun, "Worm", "wscript.exe //B " + script);
  Value(HKCU, kRun, "Worm", "wscript.exe //B " + script);
  os.AddFile(std::string(kRoaming) + "\\w.exe");
  Value(HKLM, kWinlogon, "Shell", "explorer.exe," + std::string(kRoaming) + "\\w.exe");
  // A user without administrator rights: HKLM opens for reading only.
  os.RefuseRegistryWrites(HKLM);

  frm_auto& form = Open();
  ASSERT_EQ(form.tbl_entries.ListCount(), 3);
  DeleteAll(form);
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         kAreYouSure,
                         std::string(kUnsuccessful) +
                             "\r\n\r\nWindows refused these changes for lack of rights; each needs \"Run As "
                             "Administrator\":"
                             "\r\nHKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run \"Worm\""
                             "\r\nHKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon "
                             "\"Shell\""}));
  // What the user may change is changed all the same.
  EXPECT_FALSE(HasValue(HKCU, kRun, "Worm"));
  EXPECT_FALSE(os.Exists(script));
  EXPECT_FALSE(os.Exists(std::string(kRoaming) + "\\w.exe"));
  EXPECT_TRUE(HasValue(HKLM, kRun, "Worm"));
  EXPECT_EQ(TextAt(HKLM, kWinlogon, "Shell"), "explorer.exe," + std::string(kRoaming) + "\\w.exe");
  // The refusals are in the journal too, with the reason.
  const Command& deletion = journaled.Journal().Commands().at(0);
  EXPECT_EQ(std::count_if(deletion.changes.begin(), deletion.changes.end(),
                          [](const Change& c) {
                            return c.kind == Change::Kind::RegistryValue && c.root == HKLM &&
                                   c.error == static_cast<std::uint32_t>(StatusCode::AccessDenied);
                          }),
            2);
  // Both are listed again.
  EXPECT_EQ(Column(form, frm_auto::kName), (std::vector<std::string>{"Worm", "Shell"}));
}

TEST_F(AutostartWindowTest, WithoutTheKillToolNothingOfARunningEntryIsTouched) {
  os.DeleteFileA(std::string(kProgramFolder) + "\\pskill.exe");
  const std::string script = std::string(kTemp) + "\\x.vbs";
  const std::uint32_t host = RunningScript(script);
  Value(HKCU, kRun, "Worm", "wscript.exe //B " + script);
  frm_auto& form = Open();
  DeleteAll(form);
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kKillToolMissing}));
  EXPECT_EQ(os.MessageBoxes()[1].style, MsgStyle::Warning);
  EXPECT_TRUE(os.IsRunning(host));
  EXPECT_TRUE(os.Exists(script));
  EXPECT_TRUE(HasValue(HKCU, kRun, "Worm"));
  EXPECT_FALSE(form.Deleting());
  EXPECT_TRUE(form.btn_delete.Enabled());
}

// A program that does not end keeps its file: Delete waits a bounded time, tries again for a
// while, removes the value and ends with the failure summary.
TEST_F(AutostartWindowTest, AFileThatStaysEndsWithTheFailureSummaryAfterABoundedWait) {
  const std::string program = std::string(kRoaming) + "\\w.exe";
  os.AddFile(program);
  const std::uint32_t pid = os.StartProcess("w.exe", program);
  os.MakeUnkillable(pid);
  Value(HKCU, kRun, "Worm", program);
  frm_auto& form = Open();
  const std::uint64_t waitedBefore = os.WaitedMilliseconds();
  DeleteAll(form);
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kUnsuccessful}));
  EXPECT_TRUE(os.Exists(program));
  EXPECT_FALSE(HasValue(HKCU, kRun, "Worm"));
  const std::uint64_t waited = os.WaitedMilliseconds() - waitedBefore;
  EXPECT_GE(waited, frm_auto::kRetryLimitMs);
  EXPECT_LE(waited, 3 * frm_auto::kEndWaitMs + frm_auto::kRetryLimitMs + 1000);
  EXPECT_GT(os.DoEventsCount(), 0u);
}

// What runs the file is read again when Delete starts and once more as each process is handed
// to the kill tool: a host started after the listing goes too.
TEST_F(AutostartWindowTest, TheProcessesAreIdentifiedAgainWhenDeleteRuns) {
  const std::string script = std::string(kTemp) + "\\x.vbs";
  os.AddFile(script);
  Value(HKCU, kRun, "Worm", "wscript.exe //B " + script);
  frm_auto& form = Open();
  EXPECT_EQ(form.tbl_entries.Cell(0, frm_auto::kProcesses), "");
  const std::uint32_t later = RunningScript(script);
  DeleteAll(form);
  EXPECT_FALSE(os.IsRunning(later));
  EXPECT_FALSE(os.Exists(script));
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
}

TEST_F(AutostartWindowTest, LeavingTheWindowWhileDeleteWaitsStopsIt) {
  const std::string one = std::string(kTemp) + "\\one.vbs";
  const std::string two = std::string(kTemp) + "\\two.vbs";
  RunningScript(one);
  RunningScript(two);
  Value(HKCU, kRun, "One", "wscript.exe //B " + one);
  Value(HKCU, kRun, "Two", "wscript.exe //B " + two);
  frm_auto& form = Open();
  frm_c& computer = app.Get<frm_c>();
  // The window stays live while Delete waits: the user closes it.
  os.OnDoEvents([&] {
    if (form.Loaded()) user.Close(form);
  });
  DeleteAll(form);
  os.OnDoEvents({});
  EXPECT_FALSE(form.Loaded());
  EXPECT_TRUE(computer.Visible());
  EXPECT_TRUE(computer.Enabled());
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure}));
  EXPECT_TRUE(HasValue(HKCU, kRun, "Two"));
  EXPECT_TRUE(os.Exists(two));
}

// ---- The Computer window's box after its verdict ----------------------------------------------

TEST_F(AutostartWindowTest, AfterTheVerdictTheComputerWindowCountsTheSuspiciousEntriesItsListDoesNotShow) {
  // Shown by the list: a program directly in the profile folder under HKCU Run.
  os.AddFile(std::string(kProfile) + "\\svchost32.exe");
  Value(HKCU, kRun, "Vobfus", std::string(kProfile) + "\\svchost32.exe");
  // Not shown: a script in the temporary folder under HKCU Run, the same under HKLM Run, and a
  // dead entry and a program under Program Files, which are not suspicious.
  const std::string script = std::string(kTemp) + "\\x.vbs";
  os.AddFile(script);
  Value(HKCU, kRun, "Jenxcus", "wscript.exe //B \"" + script + "\"");
  Value(HKLM, kRun, "Jenxcus", "wscript.exe //B \"" + script + "\"");
  Value(HKLM, kRun, "Gone", std::string(kRoaming) + "\\gone.exe");
  os.AddFile("C:\\Program Files\\App\\app.exe");
  Value(HKLM, kRun, "App", "C:\\Program Files\\App\\app.exe");

  frm_c& computer = OpenComputer();
  os.ClearMessageBoxes();
  user.Click(computer.btn_scan);
  ASSERT_EQ(os.MessageBoxes().size(), 2u);
  EXPECT_EQ(os.MessageBoxes()[0].text, kDetected);
  EXPECT_EQ(os.MessageBoxes()[0].style, MsgStyle::Critical);
  EXPECT_EQ(os.MessageBoxes()[1].text,
            "2 more suspicious autostart entries were found that this list does not show. To see them, choose "
            "\"Extra\" > \"Other Autostart Entries...\".");
  EXPECT_EQ(os.MessageBoxes()[1].style, MsgStyle::Information);
  EXPECT_EQ(computer.lst_V.ListCount(), 1);

  // With only what the list shows, the verdict stands alone.
  os.DeleteRegistryKey(HKLM, kRun);
  os.SetRegistryValue(HKCU, kRun, "Jenxcus", RegistryValue::Text("C:\\Program Files\\App\\app.exe"));
  os.ClearMessageBoxes();
  user.Click(computer.btn_scan);
  EXPECT_EQ(Texts(), (std::vector<std::string>{kDetected}));
}

// ---- Block Script Worms For This User ---------------------------------------------------------
//
// Wine's script host ignores the setting (a script still runs with Enabled = 0), so these tests
// check the value written and put back, not its effect; Windows Script Host on Windows reads it.

TEST_F(AutostartWindowTest, BlockScriptWormsExplainsAsksWritesEnabledZeroAndAgainPutsBackAnAbsentValue) {
  frm_c& computer = OpenComputer();
  EXPECT_FALSE(computer.ex_block.Checked());
  os.ClearMessageBoxes();
  os.QueueAnswer(Answer::Yes);
  user.Choose(computer.ex_block);
  ASSERT_EQ(os.MessageBoxes().size(), 1u);
  EXPECT_EQ(os.MessageBoxes()[0].style, MsgStyle::YesNoQuestion);
  EXPECT_NE(os.MessageBoxes()[0].text.find("scripts such as .vbs and .js will no longer run for your account; some "
                                           "older programs and logon scripts use them"),
            std::string::npos)
      << os.MessageBoxes()[0].text;
  const auto written = os.RegistryValueAt(HKCU, kScriptSettings, "Enabled");
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(written->type, RegType::Dword);
  EXPECT_EQ(written->data, RegistryValue::Dword(0).data);
  EXPECT_TRUE(computer.ex_block.Checked());

  // Again: asked, and the value goes, as there was none.
  os.ClearMessageBoxes();
  os.QueueAnswer(Answer::Yes);
  user.Choose(computer.ex_block);
  ASSERT_EQ(os.MessageBoxes().size(), 1u);
  EXPECT_EQ(os.MessageBoxes()[0].style, MsgStyle::YesNoQuestion);
  EXPECT_FALSE(os.RegistryValueAt(HKCU, kScriptSettings, "Enabled").has_value());
  EXPECT_FALSE(computer.ex_block.Checked());
  EXPECT_EQ(CommandTitles(), (std::vector<std::string>{"Block Script Worms For This User",
                                                       "Block Script Worms For This User (undone)"}));
}

TEST_F(AutostartWindowTest, BlockScriptWormsPutsBackTheValueAsItWasAndNoChangesNothing) {
  os.SetRegistryValue(HKCU, kScriptSettings, "Enabled", RegistryValue::Text("1"));
  frm_c& computer = OpenComputer();
  EXPECT_FALSE(computer.ex_block.Checked());
  os.QueueAnswer(Answer::No);
  user.Choose(computer.ex_block);
  EXPECT_EQ(os.RegistryValueAt(HKCU, kScriptSettings, "Enabled")->type, RegType::Sz);
  EXPECT_FALSE(computer.ex_block.Checked());

  os.QueueAnswer(Answer::Yes);
  user.Choose(computer.ex_block);
  EXPECT_TRUE(computer.ex_block.Checked());
  // The window left and opened again still knows what was there before.
  user.Click(computer.btn_x);
  app.HandOver<frm_c>(app.Get<StandInMain>());
  EXPECT_TRUE(computer.ex_block.Checked());
  os.QueueAnswer(Answer::Yes);
  user.Choose(computer.ex_block);
  const auto restored = os.RegistryValueAt(HKCU, kScriptSettings, "Enabled");
  ASSERT_TRUE(restored.has_value());
  EXPECT_EQ(restored->type, RegType::Sz);
  EXPECT_EQ(restored->data, RegistryValue::Text("1").data);
  EXPECT_FALSE(computer.ex_block.Checked());
}

TEST_F(AutostartWindowTest, ScriptHostsTurnedOffBeforeThisRunShowCheckedAndAreTurnedOnByDeletingTheValue) {
  os.SetRegistryValue(HKCU, kScriptSettings, "Enabled", RegistryValue::Text("0"));
  frm_c& computer = OpenComputer();
  EXPECT_TRUE(computer.ex_block.Checked());
  os.QueueAnswer(Answer::Yes);
  user.Choose(computer.ex_block);
  EXPECT_FALSE(os.RegistryValueAt(HKCU, kScriptSettings, "Enabled").has_value());
  EXPECT_FALSE(computer.ex_block.Checked());
}

}  // namespace
}  // namespace tidewick
