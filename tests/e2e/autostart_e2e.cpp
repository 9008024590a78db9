// Every other autostart entry, end to end under Wine: the real tidewick.exe worked through its
// windows only, against the autostart places the shortcut-virus families use. The scenario
// writes the entries with reg.exe (what `wine reg add` runs), puts harmless stand-in files where
// the families put theirs (AppData\Local\Temp, AppData\Roaming, a folder one level below the
// profile folder, the user's Startup folder with a shortcut written by the test writer of .lnk
// bytes) and starts stand-ins: a waiting program copied as wscript.exe into a folder of its own
// and started with the script's path, one copied as rundll32.exe with the library's, and the
// program itself from the profile subfolder. Decoys stay untouched: a program under Program
// Files that runs and starts from HKLM Run, a script under the Windows folder, and a second
// stand-in wscript.exe running another script.
//
// Scan in the Computer window gives its verdict and then the number of suspicious entries its
// list does not show; Extra > Other Autostart Entries... lists them; Delete on every one ends
// the stand-ins through pskill.exe, deletes the files and removes the entries. The scenario
// checks that with Win32 calls and reg.exe, and writes what it expects to autostart-check.txt
// in the work folder, which autostart_check.sh checks again from Linux after the run (and then
// tidies the shared prefix). Block Script Worms For This User is chosen twice and the value
// checked with reg.exe; Wine's own script host ignores that value, so its effect is not.
#include "tests/e2e/driver/driver.h"
#include "tests/e2e/driver/reg_tool.h"
#include "tests/e2e/tidewick_app.h"
#include "tests/support/shortcut_writer.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tidewick::e2e {
namespace {

const std::string kRun = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kRunOnce = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::string kPoliciesRun = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
const std::string kMachineRun = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// The machine's Run key of the 32-bit view, as 64-bit Windows keeps it.
const std::string kMachineRun32 = "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kScriptSettings = "HKCU\\Software\\Microsoft\\Windows Script Host\\Settings";

const std::string kAutostartTitle = "Autostart | Tidewick v3.1";
const MenuBar kComputerMenu = {
    {"File", {"Back", "-", "Exit"}},
    {"Extra", {"Registry Manager", "Other Autostart Entries...", "Block Script Worms For This User",
               "Report Of Changes..."}},
};

constexpr DWORD kEndedByKillTool = 1;  // the exit code pskill.exe gives what it ends

bool FileExists(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(Wide(path).c_str(), std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  ASSERT_TRUE(out) << "cannot write " << path;
}

void RemoveFile(const std::string& path) {
  SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(Wide(path).c_str());
}

std::string Folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path))) {
    throw DriverError("no special folder " + std::to_string(csidl));
  }
  return Utf8(path);
}

// reg.exe's argument for a text that holds quotes: in quotes, each inner quote escaped.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

void AddValue(const std::string& key, const std::string& name, const std::string& type, const std::string& data,
              const std::string& view = "") {
  const RegRun run = Reg("add \"" + key + "\" /v " + name + " /t " + type + " /d " + Quoted(data) + " /f" + view);
  ASSERT_EQ(run.exitCode, 0u) << "reg add " << key << " " << name << ": " << run.output;
}

// The row of the table whose Name cell is `name`; -1 when there is none.
int RowNamed(const Control& table, const std::string& name) {
  const std::vector<std::string> names = table.Cells(1);
  const auto found = std::find(names.begin(), names.end(), name);
  return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

class AutostartScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    profile_ = env::ProfileFolder();
    roaming_ = Folder(CSIDL_APPDATA);
    localTemp_ = Folder(CSIDL_LOCAL_APPDATA) + "\\Temp";
    CreateDirectoryW(Wide(localTemp_).c_str(), nullptr);
    startup_ = Folder(CSIDL_STARTUP);
    script_ = localTemp_ + "\\tw worm x y.vbs";
    library_ = roaming_ + "\\twlib.dll";
    subfolder_ = profile_ + "\\M-1234567890123";
    program_ = subfolder_ + "\\twwinmgr.exe";
    policyProgram_ = roaming_ + "\\twpol.exe";
    link_ = startup_ + "\\Tw Windows Manager.lnk";
    decoyProgram_ = "C:\\Program Files\\TwApp\\twapp.exe";
    decoyScript_ = Folder(CSIDL_WINDOWS) + "\\twprinters.vbs";
    otherScript_ = Folder(CSIDL_PERSONAL) + "\\twmine.vbs";
    Tidy();
  }
  void TearDown() override {
    for (Process* process : {&scriptHost_, &libraryHost_, &programProcess_, &decoyProcess_, &otherHost_}) {
      process->Terminate();
    }
    RegDelete({kScriptSettings, "Enabled"});
    // What the Linux check looks at stays until it has looked (autostart_check.sh tidies).
  }
  // Leftovers of an earlier run, so that this one starts from a prefix without them.
  void Tidy() {
    for (const std::string& path : {script_, library_, program_, policyProgram_, link_, decoyProgram_, decoyScript_,
                                    otherScript_}) {
      RemoveFile(path);
    }
    for (const RegLocation& at : {RegLocation{kRun, "TwJenxcus"}, RegLocation{kRun, "TwPrinters"},
                                  RegLocation{kRunOnce, "TwDead"}, RegLocation{kPoliciesRun, "TwPolicy"},
                                  RegLocation{kMachineRun, "TwApp"}, RegLocation{kMachineRun32, "TwGamarue"},
                                  RegLocation{kScriptSettings, "Enabled"}}) {
      RegDelete(at);
    }
  }

  // A waiting program copied to `path` and started with `arguments`.
  Process StandIn(const std::string& path, const std::string& arguments) {
    const std::string folder = path.substr(0, path.find_last_of('\\'));
    SHCreateDirectoryExW(nullptr, Wide(folder).c_str(), nullptr);
    EXPECT_TRUE(CopyFileW(Wide(env::Supply("computer_cleaner_idle.exe")).c_str(), Wide(path).c_str(), FALSE)) << path;
    return Process::Launch(path, folder, arguments);
  }

  std::string profile_, roaming_, localTemp_, startup_;
  std::string script_, library_, subfolder_, program_, policyProgram_, link_;
  std::string decoyProgram_, decoyScript_, otherScript_;
  Process scriptHost_, libraryHost_, programProcess_, decoyProcess_, otherHost_;
};

TEST_F(AutostartScenario, DeleteEndsRemovesAndUnregistersEveryWormPlaceAndLeavesTheDecoys) {
  // The files where the families put theirs, and their stand-in hosts.
  WriteFile(script_, "' a harmless stand-in\r\n");
  WriteFile(library_, "a harmless stand-in\r\n");
  const std::string hosts = env::MakeWorkFolder("hosts");
  scriptHost_ = StandIn(hosts + "\\a\\wscript.exe", "//B \"" + script_ + "\"");
  libraryHost_ = StandIn(hosts + "\\b\\rundll32.exe", library_ + ",Start");
  programProcess_ = StandIn(program_, "");
  ASSERT_TRUE(CopyFileW(Wide(env::Supply("computer_cleaner_idle.exe")).c_str(), Wide(policyProgram_).c_str(), FALSE));
  const std::vector<std::uint8_t> link = testing::ShortcutWriter().IdListPath(program_).Arguments("/autorun").Bytes();
  WriteFile(link_, std::string(link.begin(), link.end()));
  // The decoys.
  decoyProcess_ = StandIn(decoyProgram_, "");
  WriteFile(decoyScript_, "' printers\r\n");
  WriteFile(otherScript_, "' mine\r\n");
  otherHost_ = StandIn(hosts + "\\c\\wscript.exe", "//B \"" + otherScript_ + "\"");

  AddValue(kRun, "TwJenxcus", "REG_EXPAND_SZ", "wscript.exe //B \"%LOCALAPPDATA%\\Temp\\tw worm x y.vbs\"");
  AddValue(kMachineRun, "TwGamarue", "REG_EXPAND_SZ", "rundll32 %APPDATA%\\twlib.dll,Start", " /reg:32");
  ASSERT_EQ(RegQuery({kMachineRun32, "TwGamarue"}), "REG_EXPAND_SZ rundll32 %APPDATA%\\twlib.dll,Start");
  AddValue(kPoliciesRun, "TwPolicy", "REG_SZ", policyProgram_);
  AddValue(kRunOnce, "TwDead", "REG_SZ", roaming_ + "\\twgone.exe /q");
  AddValue(kMachineRun, "TwApp", "REG_SZ", "\"" + decoyProgram_ + "\" /tray");
  AddValue(kRun, "TwPrinters", "REG_SZ", "wscript.exe " + decoyScript_);

  app::Running tidewick = app::Start(app::MakeFolder(true));
  const DWORD pid = tidewick.process.Id();
  tidewick.main.Click("Computer");
  const Window computer = WaitForWindow(app::kComputerTitle, pid);

  // The documented verdict, then the box about the other entries.
  computer.Click("Scan");
  app::ExpectBox(pid, "Done. Shortcut virus not detect!", "OK");
  app::ExpectBox(pid,
                 "4 more suspicious autostart entries were found that this list does not show. To see them, "
                 "choose \"Extra\" > \"Other Autostart Entries...\".",
                 "OK", "autostart-after-scan");

  computer.ChooseMenu(kComputerMenu, "Extra", "Other Autostart Entries...");
  const Window autostart = WaitForWindow(kAutostartTitle, pid);
  WaitFor([&] { return !computer.Visible(); }, "the Computer window to hide");
  const Control table = autostart.CheckTable();
  EXPECT_EQ(table.Headers(), (std::vector<std::string>{"Place", "Name", "Command", "File it starts",
                                                       "Running processes", "Why it is listed"}));
  EXPECT_TRUE(autostart.TryFind({ControlKind::Label, "Scheduled tasks are not checked."}).has_value());
  const std::vector<std::string> names = table.Cells(1);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
            (std::set<std::string>{"TwJenxcus", "TwDead", "TwPolicy", "TwGamarue", "Tw Windows Manager.lnk"}))
      << "the table lists " << names.size() << " row(s)";
  for (const ListLine& line : table.Lines()) EXPECT_FALSE(line.marked) << line.text;
  const int jenxcus = RowNamed(table, "TwJenxcus");
  ASSERT_GE(jenxcus, 0);
  EXPECT_EQ(table.Cells(3)[jenxcus], script_);
  EXPECT_EQ(table.Cells(4)[jenxcus], "wscript.exe (" + std::to_string(scriptHost_.Id()) + ")");
  EXPECT_EQ(table.Cells(5)[jenxcus], "suspicious: in the profile folder");
  const int gamarue = RowNamed(table, "TwGamarue");
  ASSERT_GE(gamarue, 0);
  EXPECT_EQ(table.Cells(0)[gamarue], "HKLM (32-bit) Run");
  EXPECT_EQ(table.Cells(4)[gamarue], "rundll32.exe (" + std::to_string(libraryHost_.Id()) + ")");
  const int shortcut = RowNamed(table, "Tw Windows Manager.lnk");
  ASSERT_GE(shortcut, 0);
  EXPECT_EQ(table.Cells(3)[shortcut], program_);
  EXPECT_EQ(table.Cells(4)[shortcut], "twwinmgr.exe (" + std::to_string(programProcess_.Id()) + ")");
  EXPECT_EQ(table.Cells(5)[RowNamed(table, "TwDead")], "dead: the file does not exist");
  autostart.Screenshot("autostart");

  // Every entry shows the decoys too, as not suspicious.
  autostart.CheckBox("Show every entry").SetChecked(true);
  WaitFor([&] { return RowNamed(table, "TwApp") >= 0 && RowNamed(table, "TwPrinters") >= 0; }, "every entry listed");
  EXPECT_EQ(table.Cells(5)[RowNamed(table, "TwApp")], "not suspicious: under a Program Files folder");
  EXPECT_EQ(table.Cells(5)[RowNamed(table, "TwPrinters")], "not suspicious: under the Windows folder");
  autostart.CheckBox("Show every entry").SetChecked(false);
  WaitFor([&] { return table.Cells(1).size() == 5; }, "the suspicious and dead entries listed again");

  for (int row = 0; row < 5; ++row) table.SetMark(row, true);
  WaitFor([&] {
    const std::vector<ListLine> lines = table.Lines();
    return std::all_of(lines.begin(), lines.end(), [](const ListLine& line) { return line.marked; });
  }, "every row ticked");
  autostart.Click("Delete");
  app::ExpectBox(pid, "Are you sure to delete this file(s)?", "Yes");
  app::ExpectBox(pid, "Delete complete!", "OK");
  WaitFor([&] { return table.Cells(1).empty(); }, "the table listed again, empty");
  autostart.Screenshot("autostart-after-delete");

  // The stand-ins were ended by the kill tool; the decoys run on.
  for (Process* process : {&scriptHost_, &libraryHost_, &programProcess_}) {
    const std::optional<DWORD> ended = process->WaitForExit(Ms(5000));
    ASSERT_TRUE(ended.has_value()) << "process " << process->Id() << " still runs";
    EXPECT_EQ(*ended, kEndedByKillTool);
  }
  EXPECT_TRUE(decoyProcess_.Running());
  EXPECT_TRUE(otherHost_.Running());
  // The files and the entries are gone; the hosts' files and the decoys stay.
  for (const std::string& gone : {script_, library_, program_, policyProgram_, link_}) {
    EXPECT_FALSE(FileExists(gone)) << gone;
  }
  for (const std::string& kept : {hosts + "\\a\\wscript.exe", hosts + "\\b\\rundll32.exe", decoyProgram_,
                                  decoyScript_, otherScript_}) {
    EXPECT_TRUE(FileExists(kept)) << kept;
  }
  for (const RegLocation& gone : {RegLocation{kRun, "TwJenxcus"}, RegLocation{kMachineRun32, "TwGamarue"},
                                  RegLocation{kPoliciesRun, "TwPolicy"}, RegLocation{kRunOnce, "TwDead"}}) {
    EXPECT_EQ(RegQuery(gone), "missing") << gone.key << " " << gone.value;
  }
  EXPECT_EQ(RegQuery({kMachineRun, "TwApp"}), "REG_SZ \"" + decoyProgram_ + "\" /tray");
  EXPECT_EQ(RegQuery({kRun, "TwPrinters"}), "REG_SZ wscript.exe " + decoyScript_);

  // What Linux checks again after the run: the files as the prefix holds them, the values with
  // `wine reg query`.
  std::string check;
  for (const std::string& gone : {script_, library_, program_, policyProgram_, link_}) check += "gone\t" + gone + "\n";
  for (const std::string& kept : {decoyProgram_, decoyScript_, otherScript_}) check += "kept\t" + kept + "\n";
  for (const RegLocation& gone : {RegLocation{kRun, "TwJenxcus"}, RegLocation{kMachineRun32, "TwGamarue"},
                                  RegLocation{kPoliciesRun, "TwPolicy"}, RegLocation{kRunOnce, "TwDead"}}) {
    check += "value-gone\t" + gone.key + "\t" + gone.value + "\n";
  }
  for (const RegLocation& kept : {RegLocation{kMachineRun, "TwApp"}, RegLocation{kRun, "TwPrinters"}}) {
    check += "value-kept\t" + kept.key + "\t" + kept.value + "\n";
  }
  WriteFile(env::MakeWorkFolder("check") + "\\autostart-check.txt", check);

  autostart.Click("Back");
  autostart.WaitGone();
  WaitFor([&] { return computer.Visible() && computer.Enabled(); }, "the Computer window back");

  // Block Script Worms For This User: the value, not its effect (Wine's host ignores it).
  computer.ChooseMenu(kComputerMenu, "Extra", "Block Script Worms For This User");
  MsgBox block = WaitForMessageBox(pid, app::kBoxTitle);
  EXPECT_NE(block.Text().find("scripts such as .vbs and .js will no longer run for your account; some older programs "
                              "and logon scripts use them"),
            std::string::npos)
      << block.Text();
  EXPECT_EQ(block.Buttons(), (std::vector<std::string>{"Yes", "No"}));
  block.Answer("Yes");
  WaitFor([&] { return RegQuery({kScriptSettings, "Enabled"}) == "REG_DWORD 0x0"; }, "Enabled = 0 written");
  WaitFor([&] { return computer.Enabled(); }, "the Computer window usable again");
  computer.ChooseMenu(kComputerMenu, "Extra", "Block Script Worms For This User");
  MsgBox unblock = WaitForMessageBox(pid, app::kBoxTitle);
  unblock.Answer("Yes");
  WaitFor([&] { return RegQuery({kScriptSettings, "Enabled"}) == "missing"; }, "the value gone again, as before");

  WaitFor([&] { return computer.Enabled(); }, "the Computer window usable again");
  computer.ChooseMenu(kComputerMenu, "File", "Exit");
  EXPECT_TRUE(tidewick.process.WaitForExit().has_value());
}

}  // namespace
}  // namespace tidewick::e2e
