// Behaviour of the computer-cleaner window on the simulated platform and the headless host.
//
// The window is opened as a person opens it, from a stand-in main window, and driven through
// ui::User: clicks on enabled controls, marks in the lists, message boxes answered from the
// simulation's script. The registry manager is a small stand-in registered under its name
// (tests/support/stand_in_windows.h).

#include "computer_cleaner/frm_c.h"

#include "platform/platform_operations.h"
#include "platform/simulated/simulated_platform.h"
#include "tests/support/stand_in_windows.h"
#include "ui/form.h"
#include "ui/headless/headless_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <memory>
#include <optional>
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
constexpr const char* kProfile = "C:\\Users\\u";
constexpr const char* kProgramFolder = "C:\\Tidewick";

constexpr const char* kDetected = "Done. Shortcut virus detect!";
constexpr const char* kNotDetected = "Done. Shortcut virus not detect!";
constexpr const char* kUnableToOpen = "Unable to open a subkey";
constexpr const char* kSelectFirst = "Please select file to delete!";
constexpr const char* kAreYouSure = "Are you sure to delete this file(s)?";
constexpr const char* kKillToolMissing = "File 'pskill.exe' not found. Please redownload this program.";
constexpr const char* kSafeMode = "Error! Please login do safe mode.";
constexpr const char* kComplete = "Delete complete!";
constexpr const char* kUnsuccessful =
    "Delete unsuccessful. Please do in Safe Mode OR try next boot(restart computer).";
// The box after the verdict when the search of every autostart place finds one suspicious
// entry that the malware list does not show.
constexpr const char* kOneOtherEntry =
    "1 more suspicious autostart entry was found that this list does not show. To see it, choose \"Extra\" > "
    "\"Other Autostart Entries...\".";

std::string InProfile(const std::string& name) { return std::string(kProfile) + "\\" + name; }

// ---- Fixture --------------------------------------------------------------------------------

class ComputerCleanerTest : public ::testing::Test {
 protected:
  ComputerCleanerTest() {
    stand_in::Register<StandInMain>(app);
    stand_in::Register<frm_c>(app);
    stand_in::Register<StandInRegistryManager>(app);
    os.AddDrive('C');
    os.AddFolder(kProfile);
    os.SetProfileFolder(kProfile);
    os.AddFolder(kProgramFolder);
    os.AddFile(std::string(kProgramFolder) + "\\pskill.exe");
    os.SetCurrentFolder(kProgramFolder);
    os.CreateRegistryKey(HKCU, kRun);
  }

  // The main window hands over to the computer cleaner, as its "Computer" button does.
  frm_c& Open() {
    ui::Form& main = Main();
    main.Show();
    app.HandOver<frm_c>(main);
    return Cleaner();
  }
  frm_c& Cleaner() { return app.Get<frm_c>(); }
  ui::Form& Main() { return app.Get<StandInMain>(); }

  void RunValue(const std::string& name, const std::string& data, std::uint32_t type = RegType::Sz) {
    os.SetRegistryValue(HKCU, kRun, name, RegistryValue::Text(data, type));
  }
  bool HasRunValue(const std::string& name) const { return os.RegistryValueAt(HKCU, kRun, name).has_value(); }

  // A running program lying in the profile folder, started from there.
  std::uint32_t RunningProfileProgram(const std::string& name) {
    os.AddFile(InProfile(name));
    return os.StartProcess(name, InProfile(name));
  }

  void Scan() { user.Click(Cleaner().btn_scan); }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& box : os.MessageBoxes()) texts.push_back(box.text);
    return texts;
  }
  std::vector<std::string> CommandLines() const {
    std::vector<std::string> lines;
    for (const auto& line : os.CommandLines()) lines.push_back(line.commandLine);
    return lines;
  }
  static std::string KillCommand(std::uint32_t pid) { return "cmd /c pskill " + std::to_string(pid); }

  // Marks lines and presses Delete, answering Yes to the question.
  void DeleteMarked() {
    os.ClearMessageBoxes();
    os.QueueAnswer(Answer::Yes);
    user.Click(Cleaner().btn_d);
  }

  SimulatedPlatform os;
  ui::HeadlessHost host;
  ui::Application app{os, host};
  ui::User user;
};

// ---- Detection ------------------------------------------------------------------------------

struct ProfileEntry {
  std::string name;
  bool folder = false;
  std::uint32_t attributes = Attr::Archive;
};

struct RunEntry {
  std::string name;
  RegistryValue value;
};

struct DetectionCase {
  std::string title;
  std::vector<ProfileEntry> profile;
  std::vector<RunEntry> run;
  std::vector<std::string> expectedProfileLines;
  std::vector<std::string> expectedMalwareLines;
  // Whether the search of every autostart place finds a suspicious value the list does not
  // show (it reads REG_EXPAND_SZ and values after one too large for the buffers).
  bool otherEntry = false;
};

RunEntry Sz(std::string name, std::string data) { return {std::move(name), RegistryValue::Text(data)}; }

std::vector<DetectionCase> DetectionCases() {
  const std::string longData(1100, 'x');
  return {
      {"a name is found anywhere in the data, as a substring",
       {{"a.exe"}, {"setup.exe"}},
       {Sz("Java", "C:\\Program Files\\Java\\bin\\java.exe"), Sz("Setup", "C:\\Program Files\\Tool\\setup.exe /q")},
       {"a.exe", "setup.exe"},
       {"a.exe | Java | C:\\Program Files\\Java\\bin\\java.exe",
        "setup.exe | Setup | C:\\Program Files\\Tool\\setup.exe /q"}},
      {"letter case never matters, and the texts keep theirs",
       {{"SVCHOST.EXE"}, {"Setup.EXE"}},
       {Sz("Host", "c:\\users\\x\\svchost.exe")},
       {"SVCHOST.EXE", "Setup.EXE"},
       {"SVCHOST.EXE | Host | c:\\users\\x\\svchost.exe"}},
      {"only names holding .exe take part: folders, hidden and system files, notes.exe.txt",
       {{"tools.exe", true},
        {"hid.exe", false, Attr::Hidden | Attr::System},
        {"notes.exe.txt"},
        {"exe.txt"},
        {"readme.txt"}},
       {Sz("T", "C:\\x\\tools.exe"), Sz("N", "open notes.exe.txt"), Sz("R", "readme.txt exe.txt")},
       {"tools.exe", "hid.exe", "notes.exe.txt"},
       {"tools.exe | T | C:\\x\\tools.exe", "notes.exe.txt | N | open notes.exe.txt"}},
      {"# stands for a digit",
       {{"a#.exe"}},
       {Sz("Digit", "C:\\a1.exe"), Sz("Literal", "C:\\a#.exe")},
       {"a#.exe"},
       {"a#.exe | Digit | C:\\a1.exe"}},
      {"a name with an unclosed [ is passed over, the next entry is still checked",
       {{"x[1.exe"}, {"b.exe"}},
       {Sz("Bracket", "C:\\x[1.exe"), Sz("B", "C:\\b.exe")},
       {"x[1.exe", "b.exe"},
       {"b.exe | B | C:\\b.exe"}},
      {"the unnamed value shows as [Default]",
       {{"abc.exe"}},
       {Sz("", "C:\\Users\\u\\abc.exe")},
       {"abc.exe"},
       {"abc.exe | [Default] | C:\\Users\\u\\abc.exe"}},
      {"only REG_SZ values are examined",
       {{"abc.exe"}},
       {{"Expand", RegistryValue::Text("%USERPROFILE%\\abc.exe", RegType::ExpandSz)},
        {"Multi", RegistryValue::Text("C:\\Users\\u\\abc.exe", RegType::MultiSz)},
        {"Number", RegistryValue::Dword(7)},
        Sz("Plain", "C:\\Users\\u\\abc.exe")},
       {"abc.exe"},
       {"abc.exe | Plain | C:\\Users\\u\\abc.exe"},
       true},
      {"a value too long for the buffers ends the enumeration",
       {{"abc.exe"}},
       {Sz("Before", "C:\\Users\\u\\abc.exe"), Sz("Long", longData), Sz("After", "C:\\Users\\u\\abc.exe")},
       {"abc.exe"},
       {"abc.exe | Before | C:\\Users\\u\\abc.exe"},
       true},
      {"a name too long for the buffer ends the enumeration",
       {{"abc.exe"}},
       {Sz("Before", "abc.exe"), Sz(std::string(1024, 'n'), "abc.exe"), Sz("After", "abc.exe")},
       {"abc.exe"},
       {"abc.exe | Before | abc.exe"}},
      {"data of 1023 bytes and a name of 1023 characters still fit",
       {{"abc.exe"}},
       {Sz(std::string(1023, 'n'), std::string(1016, 'd') + "abc.exe")},
       {"abc.exe"},
       {"abc.exe | " + std::string(1023, 'n') + " | " + std::string(1016, 'd') + "abc.exe"}},
      {"two entries matching one value give two lines; one entry matching two values too",
       {{"ba.exe"}, {"a.exe"}},
       {Sz("First", "C:\\x\\ba.exe"), Sz("Second", "C:\\y\\a.exe -q")},
       {"ba.exe", "a.exe"},
       {"ba.exe | First | C:\\x\\ba.exe", "a.exe | First | C:\\x\\ba.exe", "a.exe | Second | C:\\y\\a.exe -q"}},
      {"text stored without its terminator is read whole",
       {{"abc.exe"}},
       {{"NoNul", RegistryValue::Bytes(RegType::Sz, {'C', ':', '\\', 'a', 'b', 'c', '.', 'e', 'x', 'e'})}},
       {"abc.exe"},
       {"abc.exe | NoNul | C:\\abc.exe"}},
  };
}

void PrintTo(const DetectionCase& c, std::ostream* out) { *out << c.title; }

class DetectionTest : public ComputerCleanerTest, public ::testing::WithParamInterface<DetectionCase> {};

TEST_P(DetectionTest, ListsEveryPairOfEntryAndMatchingValue) {
  const DetectionCase& c = GetParam();
  const std::string profile = kProfile;
  for (const ProfileEntry& entry : c.profile) {
    if (entry.folder) {
      os.AddFolder(profile + "\\" + entry.name);
    } else {
      os.AddFile(profile + "\\" + entry.name, entry.attributes);
    }
  }
  for (const RunEntry& run : c.run) os.SetRegistryValue(HKCU, kRun, run.name, run.value);

  frm_c& form = Open();
  os.ClearMessageBoxes();
  Scan();
  EXPECT_EQ(form.lst_P.Lines(), c.expectedProfileLines);
  EXPECT_EQ(form.lst_V.Lines(), c.expectedMalwareLines);
  ASSERT_EQ(os.MessageBoxes().size(), c.otherEntry ? 2u : 1u);
  if (c.otherEntry) {
    EXPECT_EQ(os.MessageBoxes()[1].text, kOneOtherEntry);
    EXPECT_EQ(os.MessageBoxes()[1].style, MsgStyle::Information);
  }
  if (c.expectedMalwareLines.empty()) {
    EXPECT_EQ(os.MessageBoxes()[0].text, kNotDetected);
    EXPECT_EQ(os.MessageBoxes()[0].style, MsgStyle::Information);
  } else {
    EXPECT_EQ(os.MessageBoxes()[0].text, kDetected);
    EXPECT_EQ(os.MessageBoxes()[0].style, MsgStyle::Critical);
  }
  EXPECT_EQ(os.OpenHandleCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, DetectionTest, ::testing::ValuesIn(DetectionCases()));

TEST_F(ComputerCleanerTest, EachLineKeepsItsFieldsAndTheUnnamedValueKeepsAnEmptyName) {
  os.AddFile(InProfile("abc.exe"));
  RunValue("", "C:\\Users\\u\\abc.exe");
  RunValue("[Default]", "C:\\Users\\u\\abc.exe");
  frm_c& form = Open();
  Scan();
  ASSERT_EQ(form.lst_V.ListCount(), 2);
  std::vector<std::vector<std::string>> fields = {form.lst_V.Fields(0), form.lst_V.Fields(1)};
  std::sort(fields.begin(), fields.end());
  EXPECT_EQ(fields[0], (std::vector<std::string>{"abc.exe", "", "C:\\Users\\u\\abc.exe"}));
  EXPECT_EQ(fields[1], (std::vector<std::string>{"abc.exe", "[Default]", "C:\\Users\\u\\abc.exe"}));
  EXPECT_EQ(form.lst_V.List(0), "abc.exe | [Default] | C:\\Users\\u\\abc.exe");
  EXPECT_EQ(form.lst_V.List(1), "abc.exe | [Default] | C:\\Users\\u\\abc.exe");
}

TEST_F(ComputerCleanerTest, MissingRunKeyIsReportedOncePerExecutableEntry) {
  os.DeleteRegistryKey(HKCU, kRun);
  os.AddFile(InProfile("a.exe"));
  os.AddFile(InProfile("notes.txt"));
  os.AddFile(InProfile("b.exe"));
  frm_c& form = Open();
  Scan();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kUnableToOpen, kUnableToOpen, kNotDetected}));
  EXPECT_EQ(os.MessageBoxes()[0].style, MsgStyle::Ok);
  EXPECT_EQ(form.lst_P.Lines(), (std::vector<std::string>{"a.exe", "b.exe"}));
  EXPECT_EQ(form.lst_V.ListCount(), 0);
}

TEST_F(ComputerCleanerTest, RefusedRunKeyIsReportedLikeAMissingOne) {
  os.RefuseRegistryOpen(HKCU, kRun);
  RunValue("A", "C:\\Users\\u\\a.exe");
  os.AddFile(InProfile("a.exe"));
  frm_c& form = Open();
  Scan();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kUnableToOpen, kNotDetected}));
  EXPECT_EQ(form.lst_V.ListCount(), 0);
}

TEST_F(ComputerCleanerTest, WithoutExecutablesTheRunKeyIsNeverOpened) {
  os.DeleteRegistryKey(HKCU, kRun);
  os.AddFile(InProfile("ntuser.dat"));
  Open();
  Scan();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kNotDetected}));
}

TEST_F(ComputerCleanerTest, WithoutAProfileFolderNothingIsListedNotEvenTheDriveRoot) {
  os.SetProfileFolder("");
  os.AddFile("C:\\evil.exe");
  RunValue("Evil", "C:\\evil.exe");
  frm_c& form = Open();
  Scan();
  EXPECT_EQ(form.lst_P.ListCount(), 0);
  EXPECT_EQ(form.lst_V.ListCount(), 0);
  // The wider search finds the program in the root of the drive and says so after the verdict.
  EXPECT_EQ(Texts(), (std::vector<std::string>{kNotDetected, kOneOtherEntry}));
  // Refreshing either list does not find the root either.
  user.Click(form.btn_Er);
  user.Click(form.btn_c_r);
  EXPECT_EQ(form.lst_P.ListCount(), 0);
  EXPECT_EQ(form.lst_V.ListCount(), 0);
}

TEST_F(ComputerCleanerTest, ScanEnablesBothRefreshButtonsAndEachRefreshRebuildsOnlyItsList) {
  os.AddFile(InProfile("abc.exe"));
  RunValue("Abc", "C:\\Users\\u\\abc.exe");
  frm_c& form = Open();
  EXPECT_FALSE(form.btn_c_r.Enabled());
  EXPECT_FALSE(form.btn_Er.Enabled());
  Scan();
  EXPECT_TRUE(form.btn_c_r.Enabled());
  EXPECT_TRUE(form.btn_Er.Enabled());

  os.SetRegistryValue(HKCU, kRun, "Abc", RegistryValue::Text("C:\\other.exe"));
  os.AddFile(InProfile("new.exe"));
  os.ClearMessageBoxes();
  user.Click(form.btn_c_r);
  EXPECT_EQ(form.lst_V.ListCount(), 0);
  EXPECT_EQ(form.lst_P.Lines(), (std::vector<std::string>{"abc.exe"}));
  user.Click(form.btn_Er);
  EXPECT_EQ(form.lst_P.Lines(), (std::vector<std::string>{"abc.exe", "new.exe"}));
  EXPECT_TRUE(os.MessageBoxes().empty());
}

// ---- Command lines --------------------------------------------------------------------------

TEST(ProgramOfCommandLineTest, ReadsTheProgramAsWindowsDoes) {
  struct Case {
    const char* line;
    std::optional<std::string> program;
  };
  const Case cases[] = {
      {"C:\\Users\\u\\abc.exe", "C:\\Users\\u\\abc.exe"},
      {"\"C:\\Users\\u\\abc.exe\" /n", "C:\\Users\\u\\abc.exe"},
      {"  \"C:\\Users\\u\\abc.exe\"", "C:\\Users\\u\\abc.exe"},
      {"\"C:\\Users\\u\\abc.exe", "C:\\Users\\u\\abc.exe"},
      {"C:\\Users\\u\\abc.exe /n", "C:\\Users\\u\\abc.exe"},
      {"C:\\Users\\John Smith\\abc.EXE\t-x y", "C:\\Users\\John Smith\\abc.EXE"},
      {"C:\\x\\notes.exe.txt /a", "C:\\x\\notes.exe.txt"},
      {"rundll32.exe C:\\Users\\u\\abc.exe", "rundll32.exe"},
      {"C:\\Users\\u\\abc.com /n", "C:\\Users\\u\\abc.com"},
      {"\"\" abc.exe", std::nullopt},
      {"   ", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(ProgramOfCommandLine(c.line), c.program);
  }
}

// ---- Deletion: messages, checks and early ends ------------------------------------------------

TEST_F(ComputerCleanerTest, NothingMarkedAsksNothing) {
  os.AddFile(InProfile("abc.exe"));
  frm_c& form = Open();
  Scan();
  os.ClearMessageBoxes();
  user.Click(form.btn_d);
  EXPECT_EQ(Texts(), (std::vector<std::string>{kSelectFirst}));
  EXPECT_EQ(os.MessageBoxes()[0].style, MsgStyle::Information);
}

class AnswerNoTest : public ComputerCleanerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(AnswerNoTest, AnsweringNoChangesNothing) {
  if (!GetParam()) os.DeleteFileA(std::string(kProgramFolder) + "\\pskill.exe");
  const std::uint32_t pid = RunningProfileProgram("abc.exe");
  RunValue("Abc", InProfile("abc.exe"));
  frm_c& form = Open();
  Scan();
  user.Mark(form.lst_P, 0);
  user.Mark(form.lst_V, 0);
  os.ClearMessageBoxes();
  os.ClearRegistryWrites();
  os.QueueAnswer(Answer::No);
  user.Click(form.btn_d);
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure}));
  EXPECT_EQ(os.MessageBoxes()[0].style, MsgStyle::YesNoQuestion);
  EXPECT_TRUE(os.Exists(InProfile("abc.exe")));
  EXPECT_TRUE(HasRunValue("Abc"));
  EXPECT_TRUE(os.IsRunning(pid));
  EXPECT_TRUE(os.CommandLines().empty());
  EXPECT_TRUE(os.RegistryWrites().empty());
  EXPECT_TRUE(form.lst_P.Selected(0));
  EXPECT_TRUE(form.lst_V.Selected(0));
}

INSTANTIATE_TEST_SUITE_P(KillToolPresentOrNot, AnswerNoTest, ::testing::Bool());

struct KillToolCase {
  const char* title;
  bool markProfile;
  bool markMalware;
};
void PrintTo(const KillToolCase& c, std::ostream* out) { *out << c.title; }

class MissingKillToolTest : public ComputerCleanerTest, public ::testing::WithParamInterface<KillToolCase> {};

TEST_P(MissingKillToolTest, EndsTheCommandBeforeAnythingIsTouched) {
  const KillToolCase& c = GetParam();
  os.DeleteFileA(std::string(kProgramFolder) + "\\pskill.exe");
  const std::uint32_t pid = RunningProfileProgram("abc.exe");
  RunValue("Abc", InProfile("abc.exe"));
  frm_c& form = Open();
  Scan();
  if (c.markProfile) user.Mark(form.lst_P, 0);
  if (c.markMalware) user.Mark(form.lst_V, 0);
  os.ClearRegistryWrites();
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kKillToolMissing}));
  EXPECT_EQ(os.MessageBoxes()[1].style, MsgStyle::Warning);
  EXPECT_TRUE(os.Exists(InProfile("abc.exe")));
  EXPECT_TRUE(HasRunValue("Abc"));
  EXPECT_TRUE(os.IsRunning(pid));
  EXPECT_TRUE(os.CommandLines().empty());
  EXPECT_TRUE(os.RegistryWrites().empty());
  // Nothing was rebuilt: the marks are still there.
  EXPECT_EQ(form.lst_P.Selected(0), c.markProfile);
  EXPECT_EQ(form.lst_V.Selected(0), c.markMalware);
  EXPECT_FALSE(form.Deleting());
}

INSTANTIATE_TEST_SUITE_P(Cases, MissingKillToolTest,
                         ::testing::Values(KillToolCase{"profile line marked", true, false},
                                           KillToolCase{"only the autostart line marked: the ending pass stops", false, true},
                                           KillToolCase{"both marked", true, true}));

TEST_F(ComputerCleanerTest, KillToolVanishingMidwayKeepsTheLinesAlreadyDeleted) {
  os.AddFile(InProfile("a.exe"));
  os.AddFile(InProfile("b.exe"));
  frm_c& form = Open();
  Scan();
  ASSERT_EQ(form.lst_P.Lines(), (std::vector<std::string>{"a.exe", "b.exe"}));
  user.Click(form.btn_Esa);
  // The tool disappears while the first deletion (b.exe, the last line) waits.
  os.OnDoEvents([&] { os.DeleteFileA(std::string(kProgramFolder) + "\\pskill.exe"); });
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kKillToolMissing}));
  EXPECT_FALSE(os.Exists(InProfile("b.exe")));
  EXPECT_TRUE(os.Exists(InProfile("a.exe")));
  // b.exe's line went with its file; the list was not rebuilt.
  EXPECT_EQ(form.lst_P.Lines(), (std::vector<std::string>{"a.exe"}));
  EXPECT_TRUE(form.lst_P.Selected(0));
}

// ---- Deletion: profile part -------------------------------------------------------------------

TEST_F(ComputerCleanerTest, ProfilePartEndsDeletesAndRebuilds) {
  const std::uint32_t pid = RunningProfileProgram("abc.exe");
  os.AddFile(InProfile("keep.exe"));
  frm_c& form = Open();
  Scan();
  ASSERT_EQ(form.lst_P.Lines(), (std::vector<std::string>{"abc.exe", "keep.exe"}));
  user.Mark(form.lst_P, 0);
  const std::uint32_t before = os.GetTickCount();
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
  EXPECT_EQ(os.MessageBoxes()[1].style, MsgStyle::Information);
  EXPECT_EQ(CommandLines(), (std::vector<std::string>{KillCommand(pid)}));
  EXPECT_EQ(os.CommandLines()[0].windowStyle, ShowCommand::MinimizedNoFocus);
  EXPECT_GE(os.GetTickCount() - before, 1000u);
  EXPECT_FALSE(os.IsRunning(pid));
  EXPECT_FALSE(os.Exists(InProfile("abc.exe")));
  EXPECT_TRUE(os.Exists(InProfile("keep.exe")));
  EXPECT_EQ(form.lst_P.Lines(), (std::vector<std::string>{"keep.exe"}));
  EXPECT_EQ(form.lst_P.MarkedCount(), 0);
}

TEST_F(ComputerCleanerTest, ProfileEntryThatSurvivesIsReportedAndTheRunGoesOn) {
  os.AddFolder(InProfile("tools.exe"));
  os.AddFile(InProfile("a.exe"), Attr::ReadOnly | Attr::Hidden);
  os.AddFile(InProfile("locked.exe"));
  os.LockEntry(InProfile("locked.exe"));
  frm_c& form = Open();
  Scan();
  ASSERT_EQ(form.lst_P.Lines(), (std::vector<std::string>{"tools.exe", "a.exe", "locked.exe"}));
  user.Click(form.btn_Esa);
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         kAreYouSure,
                         "Cannot delete file '" + InProfile("locked.exe") + "' because file is being used. Try again.",
                         "Cannot delete file '" + InProfile("tools.exe") + "' because file is being used. Try again.",
                         kUnsuccessful}));
  EXPECT_EQ(os.MessageBoxes()[1].style, MsgStyle::Critical);
  EXPECT_EQ(os.MessageBoxes()[3].style, MsgStyle::Information);
  EXPECT_FALSE(os.Exists(InProfile("a.exe")));
  EXPECT_EQ(form.lst_P.Lines(), (std::vector<std::string>{"tools.exe", "locked.exe"}));
}

// ---- Deletion: autostart part ---------------------------------------------------------------

TEST_F(ComputerCleanerTest, AutostartPartEndsDeletesUnregistersRepairsAndRebuilds) {
  const std::uint32_t malware = RunningProfileProgram("abc.exe");
  const std::uint32_t other = RunningProfileProgram("other.exe");
  RunValue("Abc", InProfile("abc.exe"));
  RunValue("Keep", "C:\\Program Files\\Tool\\tool.exe");
  frm_c& form = Open();
  Scan();
  ASSERT_EQ(form.lst_V.Lines(), (std::vector<std::string>{"abc.exe | Abc | C:\\Users\\u\\abc.exe"}));
  user.Mark(form.lst_V, 0);
  os.ClearRegistryWrites();
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
  // Every profile executable is ended first (last line first), then the marked line's program.
  ASSERT_GE(os.CommandLines().size(), 2u);
  EXPECT_EQ(CommandLines()[0], KillCommand(other));
  EXPECT_EQ(CommandLines()[1], KillCommand(malware));
  EXPECT_FALSE(os.IsRunning(malware));
  EXPECT_FALSE(os.IsRunning(other));
  EXPECT_FALSE(os.Exists(InProfile("abc.exe")));
  // The profile list is not the autostart part's business.
  EXPECT_TRUE(os.Exists(InProfile("other.exe")));
  EXPECT_EQ(form.lst_P.Lines(), (std::vector<std::string>{"abc.exe", "other.exe"}));
  EXPECT_FALSE(HasRunValue("Abc"));
  EXPECT_TRUE(HasRunValue("Keep"));
  // The repair values are written.
  const auto hidden = os.RegistryValueAt(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "Hidden");
  ASSERT_TRUE(hidden.has_value());
  EXPECT_EQ(hidden->data, RegistryValue::Dword(0).data);
  const auto showAll = os.RegistryValueAt(
      HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL", "CheckedValue");
  ASSERT_TRUE(showAll.has_value());
  EXPECT_EQ(showAll->data, RegistryValue::Dword(1).data);
  EXPECT_EQ(form.lst_V.ListCount(), 0);
  EXPECT_EQ(os.OpenHandleCount(), 0u);
}

TEST_F(ComputerCleanerTest, BothPartsRunProfileFirstThenAutostart) {
  const std::uint32_t a = RunningProfileProgram("a.exe");
  const std::uint32_t b = RunningProfileProgram("b.exe");
  RunValue("B", InProfile("b.exe"));
  frm_c& form = Open();
  Scan();
  user.Mark(form.lst_P, 0);  // a.exe
  user.Mark(form.lst_V, 0);  // b.exe's autostart
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
  // a.exe ended and deleted, then the ending pass over what the profile list holds now
  // (b.exe), then the marked autostart line's program, which has not yet ended by then.
  EXPECT_EQ(CommandLines(), (std::vector<std::string>{KillCommand(a), KillCommand(b), KillCommand(b)}));
  EXPECT_FALSE(os.Exists(InProfile("a.exe")));
  EXPECT_FALSE(os.Exists(InProfile("b.exe")));
  EXPECT_FALSE(HasRunValue("B"));
  EXPECT_EQ(form.lst_P.Lines(), (std::vector<std::string>{"b.exe"}));
  EXPECT_EQ(form.lst_V.ListCount(), 0);
}

TEST_F(ComputerCleanerTest, TwoLinesNamingOneProgramDeleteItOnceAndBothValues) {
  RunningProfileProgram("abc.exe");
  RunValue("One", InProfile("abc.exe"));
  RunValue("Two", InProfile("abc.exe"));
  frm_c& form = Open();
  Scan();
  user.Click(form.btn_c_ma);
  os.ClearRegistryWrites();
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
  EXPECT_FALSE(os.Exists(InProfile("abc.exe")));
  EXPECT_FALSE(HasRunValue("One"));
  EXPECT_FALSE(HasRunValue("Two"));
  std::size_t showAllWrites = 0;
  for (const auto& write : os.RegistryWrites()) showAllWrites += write.valueName == "CheckedValue";
  EXPECT_EQ(showAllWrites, 2u);  // the repair ran once per line
}

TEST_F(ComputerCleanerTest, AProgramThatWillNotGoEndsTheCommandAfterABoundedRetry) {
  const std::uint32_t pid = RunningProfileProgram("abc.exe");
  os.MakeUnkillable(pid);
  RunValue("Abc", InProfile("abc.exe"));
  RunValue("Zed", InProfile("abc.exe"));
  frm_c& form = Open();
  Scan();
  user.Click(form.btn_c_ma);
  const std::uint32_t before = os.GetTickCount();
  const std::size_t pumpsBefore = os.DoEventsCount();
  DeleteMarked();
  const std::uint32_t spent = os.GetTickCount() - before;
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kSafeMode}));
  EXPECT_EQ(os.MessageBoxes()[1].style, MsgStyle::Critical);
  // One second for the kill tool, then at most about three seconds of retries.
  EXPECT_GE(spent, 1000u + frm_c::kRetryLimitMs);
  EXPECT_LE(spent, 1000u + frm_c::kRetryLimitMs + frm_c::kRetryPauseMs);
  // The retry kept the window served and asked the kill tool again.
  EXPECT_GE(os.DoEventsCount() - pumpsBefore, 10u);
  EXPECT_GE(os.CommandLines().size(), 5u);
  EXPECT_TRUE(os.Exists(InProfile("abc.exe")));
  // The value of the line being handled is gone and the repair ran; the command then ended:
  // the other line is left and the list was not rebuilt.
  EXPECT_FALSE(HasRunValue("Zed"));
  EXPECT_TRUE(HasRunValue("Abc"));
  EXPECT_TRUE(os.RegistryValueAt(HKLM,
                                 "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL",
                                 "CheckedValue")
                  .has_value());
  EXPECT_EQ(form.lst_V.ListCount(), 2);
  EXPECT_EQ(form.lst_V.MarkedCount(), 2);
  EXPECT_FALSE(form.Deleting());
  EXPECT_TRUE(form.btn_scan.Enabled());
}

// ---- Deletion: only what runs from the profile entry ends ---------------------------------------
//
// Worms name themselves like system programs. A line of either list ends only the processes
// whose image is its profile entry; a namesake running from elsewhere, and a process whose image
// cannot be read, are never handed to the kill tool.

class NamesakeTest : public ComputerCleanerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(NamesakeTest, OnlyTheCopyRunningFromTheProfileFolderIsEnded) {
  const bool autostartPart = GetParam();
  const std::uint32_t system = os.StartProcess("svchost.exe", "C:\\Windows\\System32\\svchost.exe");
  const std::uint32_t worm = RunningProfileProgram("svchost.exe");
  const std::uint32_t elsewhere = os.StartProcess("SvcHost.exe", "C:\\Program Files\\Tool\\svchost.exe");
  RunValue("Svc", InProfile("svchost.exe"));
  frm_c& form = Open();
  Scan();
  user.Mark(autostartPart ? form.lst_V : form.lst_P, 0);
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
  // The profile part ends the entry once; the autostart part in its ending pass over the profile
  // list and again for the marked line.
  const std::vector<std::string> expected(autostartPart ? 2 : 1, KillCommand(worm));
  EXPECT_EQ(CommandLines(), expected);
  EXPECT_FALSE(os.IsRunning(worm));
  EXPECT_TRUE(os.IsRunning(system));
  EXPECT_TRUE(os.IsRunning(elsewhere));
  EXPECT_FALSE(os.Exists(InProfile("svchost.exe")));
}

INSTANTIATE_TEST_SUITE_P(ProfileOrAutostartPart, NamesakeTest, ::testing::Bool());

TEST_F(ComputerCleanerTest, AProgramWhoseImageCannotBeReadIsNotEnded) {
  const std::uint32_t pid = RunningProfileProgram("abc.exe");
  os.HideImagePath(pid);
  frm_c& form = Open();
  Scan();
  user.Mark(form.lst_P, 0);
  DeleteMarked();
  EXPECT_TRUE(os.CommandLines().empty());
  EXPECT_TRUE(os.IsRunning(pid));
  // Its file is in use, so it stays and is reported.
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         kAreYouSure,
                         "Cannot delete file '" + InProfile("abc.exe") + "' because file is being used. Try again.",
                         kUnsuccessful}));
  EXPECT_TRUE(os.Exists(InProfile("abc.exe")));
}

// ---- Deletion: the fields of a line, command lines and the unnamed value -----------------------

TEST_F(ComputerCleanerTest, SeparatorsInsideNameOrDataCannotRedirectTheDeletion) {
  RunningProfileProgram("abc.exe");
  os.AddFile(InProfile("victim.txt"));
  os.AddFolder("C:\\Windows");
  os.AddFile("C:\\Windows\\notepad.exe");
  // Taken apart at " | ", the first line would name the value "Run" and the file victim.txt,
  // the second one notepad.exe.
  RunValue("Run", "C:\\Program Files\\Tool\\tool.dll");
  RunValue("Run | " + InProfile("victim.txt"), InProfile("abc.exe"));
  RunValue("Data", "C:\\Windows\\notepad.exe | abc.exe");
  frm_c& form = Open();
  Scan();
  ASSERT_EQ(form.lst_V.ListCount(), 2);
  user.Click(form.btn_c_ma);
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
  EXPECT_FALSE(os.Exists(InProfile("abc.exe")));
  EXPECT_TRUE(os.Exists(InProfile("victim.txt")));
  EXPECT_TRUE(os.Exists("C:\\Windows\\notepad.exe"));
  EXPECT_TRUE(HasRunValue("Run"));
  EXPECT_FALSE(HasRunValue("Run | " + InProfile("victim.txt")));
  EXPECT_FALSE(HasRunValue("Data"));
}

struct CommandLineCase {
  const char* title;
  std::string data;
  bool profileFileDeleted;
};
void PrintTo(const CommandLineCase& c, std::ostream* out) { *out << c.title; }

class CommandLineTest : public ComputerCleanerTest, public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLineTest, LeadsOnlyToTheProfileEntryItself) {
  const CommandLineCase& c = GetParam();
  os.AddFolder("C:\\Tools");
  os.AddFile("C:\\Tools\\abc.exe");
  RunningProfileProgram("abc.exe");
  RunValue("Abc", c.data);
  frm_c& form = Open();
  Scan();
  ASSERT_EQ(form.lst_V.ListCount(), 1);
  user.Mark(form.lst_V, 0);
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
  EXPECT_EQ(os.Exists(InProfile("abc.exe")), !c.profileFileDeleted);
  EXPECT_TRUE(os.Exists("C:\\Tools\\abc.exe"));
  EXPECT_FALSE(HasRunValue("Abc"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"plain path", "C:\\Users\\u\\abc.exe", true},
        CommandLineCase{"quoted, with an argument", "\"C:\\Users\\u\\abc.exe\" /n", true},
        CommandLineCase{"unquoted, with an argument", "C:\\Users\\u\\abc.exe /n", true},
        CommandLineCase{"other letter case", "\"C:\\USERS\\U\\ABC.EXE\" -x", true},
        CommandLineCase{"another program with the entry as its argument", "rundll32.exe C:\\Users\\u\\abc.exe", false},
        CommandLineCase{"a copy elsewhere, with an argument", "\"C:\\Tools\\abc.exe\" /n", false}));

TEST_F(ComputerCleanerTest, ABlankInTheProfileFolderNameIsReadWithTheProgram) {
  const std::string profile = "C:\\Users\\John Smith";
  os.AddFolder(profile);
  os.SetProfileFolder(profile);
  os.AddFile(profile + "\\abc.exe");
  RunValue("Abc", profile + "\\abc.exe -silent");
  frm_c& form = Open();
  Scan();
  user.Mark(form.lst_V, 0);
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
  EXPECT_FALSE(os.Exists(profile + "\\abc.exe"));
}

// A value whose whole data names an existing file: the file goes only when it is the line's own
// profile entry, directly in the profile folder. Anywhere else it stays and only the value goes,
// as for a command line of another program.
struct WholePathCase {
  const char* title;
  const char* entry;  // the profile entry the line was found for
  std::string data;   // the whole value data, an existing file
  bool fileDeleted;
};
void PrintTo(const WholePathCase& c, std::ostream* out) { *out << c.title; }

class WholePathTest : public ComputerCleanerTest, public ::testing::WithParamInterface<WholePathCase> {};

TEST_P(WholePathTest, DeletesOnlyTheLinesOwnProfileEntry) {
  const WholePathCase& c = GetParam();
  os.AddFile(InProfile(c.entry));
  os.AddFile(c.data);
  RunValue("Value", c.data);
  frm_c& form = Open();
  Scan();
  ASSERT_EQ(form.lst_V.ListCount(), 1);
  ASSERT_EQ(form.lst_V.Fields(0)[frm_c::kEntryName], c.entry);
  user.Mark(form.lst_V, 0);
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
  EXPECT_EQ(os.Exists(c.data), !c.fileDeleted);
  EXPECT_FALSE(HasRunValue("Value"));
  if (!c.fileDeleted) EXPECT_TRUE(os.Exists(InProfile(c.entry)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WholePathTest,
    ::testing::Values(
        WholePathCase{"java.exe under Program Files, found for a.exe by substring, stays", "a.exe",
                      "C:\\Program Files\\Java\\bin\\java.exe", false},
        WholePathCase{"a copy named like the entry elsewhere stays", "abc.exe", "C:\\Tools\\abc.exe", false},
        WholePathCase{"one named like the entry in a sub-folder of the profile stays", "abc.exe",
                      "C:\\Users\\u\\sub\\abc.exe", false},
        WholePathCase{"the entry itself goes", "abc.exe", "C:\\Users\\u\\abc.exe", true},
        WholePathCase{"the entry itself in other letter case goes", "abc.exe", "C:\\USERS\\U\\ABC.EXE", true},
        WholePathCase{"the entry itself in the long form goes", "abc.exe", "\\\\?\\C:\\Users\\u\\abc.exe", true}));

TEST_F(ComputerCleanerTest, ARelativeValueNeverDeletesAFileOfTheCurrentFolder) {
  os.AddFile(InProfile("pskill.exe"));
  RunValue("Tool", "pskill.exe");
  frm_c& form = Open();
  Scan();
  ASSERT_EQ(form.lst_V.ListCount(), 1);
  user.Mark(form.lst_V, 0);
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
  EXPECT_TRUE(os.Exists(std::string(kProgramFolder) + "\\pskill.exe"));
  EXPECT_FALSE(HasRunValue("Tool"));
}

// The value name kept with a line: empty for the key's unnamed value, "[Default]" for a value
// that is really called so. Each line deletes its own value only.
class DefaultValueTest : public ComputerCleanerTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(DefaultValueTest, EachLineDeletesItsOwnValue) {
  const std::string marked = GetParam();
  const std::string other = marked.empty() ? "[Default]" : "";
  os.AddFile(InProfile("abc.exe"));
  RunValue("", InProfile("abc.exe"));
  RunValue("[Default]", InProfile("abc.exe"));
  frm_c& form = Open();
  Scan();
  ASSERT_EQ(form.lst_V.ListCount(), 2);
  for (int i = 0; i < form.lst_V.ListCount(); ++i) {
    if (form.lst_V.Fields(i)[frm_c::kValueName] == marked) user.Mark(form.lst_V, i);
  }
  ASSERT_EQ(form.lst_V.MarkedCount(), 1);
  DeleteMarked();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
  EXPECT_FALSE(HasRunValue(marked));
  EXPECT_TRUE(HasRunValue(other));
}

INSTANTIATE_TEST_SUITE_P(UnnamedOrLiteral, DefaultValueTest, ::testing::Values(std::string(), std::string("[Default]")));

// ---- The window while a deletion waits ------------------------------------------------------

TEST_F(ComputerCleanerTest, WhileADeletionWaitsItsCommandsWaitToo) {
  RunningProfileProgram("abc.exe");
  RunValue("Abc", InProfile("abc.exe"));
  frm_c& form = Open();
  Scan();
  user.Mark(form.lst_V, 0);
  std::vector<std::string> refused;
  bool checked = false;
  os.OnDoEvents([&] {
    if (checked) return;
    checked = true;
    for (ui::CommandButton* button : {&form.btn_scan, &form.btn_x, &form.btn_d, &form.btn_c_r, &form.btn_c_ma}) {
      try {
        user.Click(*button);
      } catch (const ui::NotUsable&) {
        refused.push_back(button->Name());
      }
    }
    for (ui::MenuItem* item : {&form.f2_Back, &form.ex_fReg}) {
      try {
        user.Choose(*item);
      } catch (const ui::NotUsable&) {
        refused.push_back(item->Name());
      }
    }
  });
  DeleteMarked();
  EXPECT_TRUE(checked);
  EXPECT_EQ(refused, (std::vector<std::string>{"btn_scan", "btn_x", "btn_d", "btn_c_r", "btn_c_ma", "f2_Back", "ex_fReg"}));
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure, kComplete}));
  // Afterwards the window is usable again.
  EXPECT_TRUE(form.btn_scan.Enabled());
  EXPECT_TRUE(form.btn_x.Enabled());
  EXPECT_TRUE(form.btn_c_r.Enabled());
  EXPECT_TRUE(form.ex_fReg.Enabled());
}

TEST_F(ComputerCleanerTest, ClosingTheWindowDuringADeletionStopsIt) {
  RunningProfileProgram("a.exe");
  RunningProfileProgram("b.exe");
  frm_c& form = Open();
  Scan();
  user.Click(form.btn_Esa);
  bool closed = false;
  os.OnDoEvents([&] {
    if (closed) return;
    closed = true;
    user.Close(form);
  });
  DeleteMarked();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(form.Loaded());
  EXPECT_TRUE(Main().Visible());
  EXPECT_TRUE(Main().Enabled());
  // Only the question; no summary, and the second file was not reached.
  EXPECT_EQ(Texts(), (std::vector<std::string>{kAreYouSure}));
  EXPECT_TRUE(os.Exists(InProfile("a.exe")));
  // Opening again gives a fresh, usable window.
  Open();
  EXPECT_FALSE(form.Deleting());
  EXPECT_TRUE(form.btn_scan.Enabled());
}

// ---- Window -------------------------------------------------------------------------------

TEST_F(ComputerCleanerTest, OpensWithItsTitleAndEmptyListsAndTheButtonsFollowTheListsAtOnce) {
  os.AddFile(InProfile("abc.exe"));
  frm_c& form = Open();
  EXPECT_EQ(form.Caption(), "Computer | Tidewick v3.1");
  EXPECT_TRUE(form.Visible());
  EXPECT_FALSE(Main().Visible());
  EXPECT_FALSE(Main().Enabled());
  // No timer tick is needed for any of this.
  for (ui::CommandButton* button : {&form.btn_d, &form.btn_c_ma, &form.btn_c_uma, &form.btn_Esa, &form.btn_Edsa,
                                    &form.btn_c_r, &form.btn_Er}) {
    EXPECT_FALSE(button->Enabled()) << button->Name();
  }
  EXPECT_TRUE(form.btn_scan.Enabled());
  EXPECT_TRUE(form.btn_x.Enabled());

  // Executables in the profile folder, nothing in the Run key.
  Scan();
  EXPECT_TRUE(form.btn_d.Enabled());
  EXPECT_TRUE(form.btn_Esa.Enabled());
  EXPECT_TRUE(form.btn_Edsa.Enabled());
  EXPECT_FALSE(form.btn_c_ma.Enabled());
  EXPECT_FALSE(form.btn_c_uma.Enabled());

  // A value appears and the malware list is refreshed; its buttons follow.
  RunValue("Abc", InProfile("abc.exe"));
  user.Click(form.btn_c_r);
  EXPECT_TRUE(form.btn_c_ma.Enabled());
  os.SetRegistryValue(HKCU, kRun, "Abc", RegistryValue::Text("C:\\gone.exe"));
  user.Click(form.btn_c_r);
  EXPECT_FALSE(form.btn_c_ma.Enabled());
  EXPECT_FALSE(form.btn_c_uma.Enabled());
  EXPECT_TRUE(form.btn_d.Enabled());

  // The timer is only a slow safety net, and ticking it agrees.
  EXPECT_TRUE(form.T2.Enabled());
  EXPECT_GE(form.T2.Interval(), 250u);
  user.Tick(form.T2);
  EXPECT_FALSE(form.btn_c_ma.Enabled());
  EXPECT_TRUE(form.btn_d.Enabled());
}

TEST_F(ComputerCleanerTest, SelectAndDeselectAllWorkOnTheirOwnList) {
  os.AddFile(InProfile("a.exe"));
  os.AddFile(InProfile("b.exe"));
  RunValue("A", InProfile("a.exe"));
  RunValue("B", InProfile("b.exe"));
  frm_c& form = Open();
  Scan();
  user.Click(form.btn_c_ma);
  EXPECT_EQ(form.lst_V.MarkedCount(), 2);
  EXPECT_EQ(form.lst_P.MarkedCount(), 0);
  user.Click(form.btn_Esa);
  EXPECT_EQ(form.lst_P.MarkedCount(), 2);
  user.Click(form.btn_c_uma);
  EXPECT_EQ(form.lst_V.MarkedCount(), 0);
  EXPECT_EQ(form.lst_P.MarkedCount(), 2);
  user.Click(form.btn_Edsa);
  EXPECT_EQ(form.lst_P.MarkedCount(), 0);
}

TEST_F(ComputerCleanerTest, LayoutFollowsTheDesign) {
  frm_c& form = Open();
  EXPECT_EQ(form.Style().clientWidth, 12720);
  EXPECT_EQ(form.Style().clientHeight, 3090);
  EXPECT_FALSE(form.Style().minButton);
  EXPECT_FALSE(form.Style().maxButton);
  // The buttons under the profile list are placed inside their frame.
  EXPECT_EQ(form.btn_Esa.Container(), &form.Frame);
  EXPECT_EQ(form.btn_Esa.Position(), (ui::Twips{8535, 2250, 1095, 375}));
  EXPECT_EQ(form.btn_Edsa.Position(), (ui::Twips{9675, 2250, 1095, 375}));
  EXPECT_EQ(form.btn_Er.Position(), (ui::Twips{10815, 2250, 1095, 375}));
  EXPECT_EQ(form.btn_scan.GetFont().name, "MS Sans Serif");
  EXPECT_EQ(form.btn_c_ma.GetFont().name, "Tahoma");
  EXPECT_EQ(form.Frame.Caption(), "Detect extention EXE at Personal Folder:");
  std::vector<std::string> menus;
  for (ui::MenuItem* item : form.MenuItems()) menus.push_back(item->Caption());
  EXPECT_EQ(menus, (std::vector<std::string>{"File", "Back", "-", "Exit", "Extra", "Registry Manager",
                                             "Other Autostart Entries...", "Block Script Worms For This User",
                                             "Report Of Changes..."}));
}

// ---- Leaving ------------------------------------------------------------------------------

enum class WayBack { Button, Menu, CloseBox };
void PrintTo(WayBack way, std::ostream* out) {
  *out << (way == WayBack::Button ? "Back button" : way == WayBack::Menu ? "File, Back" : "close box");
}

class WayBackTest : public ComputerCleanerTest, public ::testing::WithParamInterface<WayBack> {
 protected:
  void Leave(frm_c& form) {
    switch (GetParam()) {
      case WayBack::Button:
        user.Click(form.btn_x);
        break;
      case WayBack::Menu:
        user.Choose(form.f2_Back);
        break;
      case WayBack::CloseBox:
        user.Close(form);
        break;
    }
  }
  std::vector<std::string> FormLogSince(std::size_t from) const {
    return std::vector<std::string>(host.FormLog().begin() + static_cast<std::ptrdiff_t>(from), host.FormLog().end());
  }
};

// Call by call: the main window disables, then hides itself, then this window loads and
// shows; leaving hides this window, enables the main window, shows it, and this window is
// destroyed last.
TEST_P(WayBackTest, HandOverAndGiveBackReachTheWindowsInOrder) {
  ui::Form& main = Main();
  main.Show();
  std::size_t before = host.FormLog().size();
  app.HandOver<frm_c>(main);
  EXPECT_EQ(FormLogSince(before), (std::vector<std::string>{"frm_first disabled", "frm_first hidden", "create frm_c",
                                                            "frm_c caption", "frm_c shown"}));

  before = host.FormLog().size();
  Leave(Cleaner());
  EXPECT_EQ(FormLogSince(before),
            (std::vector<std::string>{"frm_c hidden", "frm_first enabled", "frm_first shown", "destroy frm_c"}));
}

TEST_P(WayBackTest, EmptiesUnloadsAndShowsTheMainWindowOnce) {
  os.AddFile(InProfile("abc.exe"));
  RunValue("Abc", InProfile("abc.exe"));
  frm_c& form = Open();
  Scan();
  user.Mark(form.lst_V, 0);
  const int shows = host.Shows("frm_first");
  Leave(form);
  EXPECT_FALSE(form.Loaded());
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(form.lst_V.ListCount(), 0);
  EXPECT_EQ(form.lst_P.ListCount(), 0);
  EXPECT_TRUE(Main().Visible());
  EXPECT_TRUE(Main().Enabled());
  EXPECT_EQ(host.Shows("frm_first"), shows + 1);
  EXPECT_EQ(host.WindowLog().back(), "destroy frm_c");

  // Opening again starts afresh.
  Open();
  EXPECT_EQ(form.lst_V.ListCount(), 0);
  EXPECT_FALSE(form.btn_c_r.Enabled());
  EXPECT_FALSE(form.btn_Er.Enabled());
  EXPECT_EQ(form.Caption(), "Computer | Tidewick v3.1");
}

INSTANTIATE_TEST_SUITE_P(Ways, WayBackTest, ::testing::Values(WayBack::Button, WayBack::Menu, WayBack::CloseBox));

TEST_F(ComputerCleanerTest, ExitEndsTheProgramWithoutLeavingTheWindow) {
  os.AddFile(InProfile("abc.exe"));
  frm_c& form = Open();
  Scan();
  EXPECT_THROW(user.Choose(form.f2_Exit), sim::ProgramEnded);
  EXPECT_TRUE(os.Ended());
  // No unload handler ran: nothing was emptied and the main window was not brought back.
  EXPECT_EQ(form.lst_P.ListCount(), 1);
  EXPECT_FALSE(Main().Visible());
}

TEST_F(ComputerCleanerTest, RegistryManagerTakesOverAndGivesBackTheSameWindow) {
  os.AddFile(InProfile("a.exe"));
  os.AddFile(InProfile("b.exe"));
  RunValue("A", InProfile("a.exe"));
  frm_c& form = Open();
  Scan();
  user.Mark(form.lst_P, 1);
  user.Mark(form.lst_V, 0);
  user.Choose(form.ex_fReg);
  EXPECT_FALSE(form.Visible());
  EXPECT_FALSE(form.Enabled());
  EXPECT_TRUE(form.Loaded());
  EXPECT_TRUE(form.T2.Enabled());  // still running while hidden
  auto& manager = app.Get<StandInRegistryManager>();
  EXPECT_TRUE(manager.Visible());
  EXPECT_FALSE(Main().Visible());

  user.Click(manager.btn_okk);
  EXPECT_TRUE(form.Visible());
  EXPECT_TRUE(form.Enabled());
  EXPECT_EQ(form.lst_P.Lines(), (std::vector<std::string>{"a.exe", "b.exe"}));
  EXPECT_FALSE(form.lst_P.Selected(0));
  EXPECT_TRUE(form.lst_P.Selected(1));
  EXPECT_TRUE(form.lst_V.Selected(0));
  EXPECT_TRUE(form.btn_c_r.Enabled());
  EXPECT_TRUE(form.btn_Er.Enabled());
}

}  // namespace
}  // namespace tidewick
