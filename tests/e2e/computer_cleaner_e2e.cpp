// The computer cleaner end to end: the real tidewick.exe under Wine, worked through its windows
// only, against a stand-in worm. A small idle program is copied into the user's profile folder
// under a worm-like name and started from there, and an autostart value of the current user
// names it. Scan must find it in both lists; Delete on its autostart line must end it through
// pskill.exe, delete its file and its value and write the repair values. A second copy of the
// same name runs from another folder, as a system program the worm is named after would: it must
// keep running. The registry is inspected with reg.exe, the tool that `wine reg query` runs.
#include "tests/e2e/driver/driver.h"
#include "tests/e2e/driver/reg_tool.h"
#include "tests/e2e/tidewick_app.h"

#include <windows.h>
#include <userenv.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tidewick::e2e {
namespace {

const std::string kWormName = "svchost32.exe";  // how the copy in the profile folder is named
const std::string kValueName = "TwCcWorm";       // its autostart value
const std::string kRunKey = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kRunSubKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

const std::string kMalwareFrame = "Malware:";
const std::string kProfileFrame = "Detect extention EXE at Personal Folder:";
const MenuBar kComputerMenu = {
    {"File", {"Back", "-", "Exit"}},
    {"Extra", {"Registry Manager", "Other Autostart Entries...", "Block Script Worms For This User",
               "Report Of Changes..."}},
};

// The exit code pskill.exe gives the processes it ends.
constexpr DWORD kEndedByKillTool = 1;

// ---- The system around the program ------------------------------------------------------------


bool FileExists(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

void SetRunValue(const std::string& name, const std::string& data) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRunSubKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::wstring text = Wide(data);
  const LONG set = RegSetValueExW(key, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  ASSERT_EQ(set, ERROR_SUCCESS);
}

using Location = RegLocation;


const std::string kAdvanced = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const std::string kUserSystem = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const std::string kMachineSystem = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

// The repair values as the deletion leaves them.
const std::pair<Location, const char*> kRepaired[] = {
    {{"HKCU\\Software\\Policies\\Microsoft\\Windows\\System", "DisableCMD"}, "REG_DWORD 0x0"},
    {{kUserSystem, "DisableTaskMgr"}, "REG_DWORD 0x0"},
    {{kMachineSystem, "DisableTaskMgr"}, "REG_DWORD 0x0"},
    {{"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoFolderOptions"}, "REG_DWORD 0x0"},
    {{"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoFolderOptions"}, "REG_DWORD 0x0"},
    {{kUserSystem, "DisableRegistryTools"}, "REG_DWORD 0x0"},
    {{kMachineSystem, "DisableRegistryTools"}, "REG_DWORD 0x0"},
    {{kAdvanced, "SuperHidden"}, "REG_DWORD 0x1"},
    {{"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder", "HideFileExt"}, "REG_DWORD 0x1"},
    {{kAdvanced, "Hidden"}, "REG_DWORD 0x0"},
    {{kAdvanced, "ShowSuperHidden"}, "REG_DWORD 0x0"},
    {{"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL", "CheckedValue"},
     "REG_DWORD 0x1"},
};

// ---- The scenario -----------------------------------------------------------------------------

struct WormStart {
  const char* title;
  bool quotedWithArgument;
};
void PrintTo(const WormStart& start, std::ostream* out) { *out << start.title; }

class ComputerCleanerScenario : public ::testing::TestWithParam<WormStart> {
 protected:
  // The prefix is shared: start and end without the worm, its value and the repair values.
  void SetUp() override {
    profile_ = env::ProfileFolder();
    wormPath_ = profile_ + "\\" + kWormName;
    Tidy();
  }
  void TearDown() override {
    worm_.Terminate();
    namesake_.Terminate();
    Tidy();
  }
  void Tidy() {
    DeleteFileW(Wide(wormPath_).c_str());
    RegDelete({kRunKey, kValueName});
    for (const auto& [at, expected] : kRepaired) RegDelete(at);
  }

  std::string profile_;
  std::string wormPath_;
  Process worm_;
  Process namesake_;  // the same name, running from elsewhere
};

TEST_P(ComputerCleanerScenario, ScanFindsTheWormAndDeleteEndsAndRemovesIt) {
  const bool withArgument = GetParam().quotedWithArgument;
  // The worm in the profile folder, running from there, and its autostart value.
  ASSERT_TRUE(CopyFileW(Wide(env::Supply("computer_cleaner_idle.exe")).c_str(), Wide(wormPath_).c_str(), FALSE));
  worm_ = Process::Launch(wormPath_, profile_, withArgument ? "/autorun" : "");
  const std::string elsewhere = env::MakeWorkFolder(std::string("namesake-") + (withArgument ? "argument" : "plain"));
  const std::string namesakePath = elsewhere + "\\" + kWormName;
  ASSERT_TRUE(CopyFileW(Wide(env::Supply("computer_cleaner_idle.exe")).c_str(), Wide(namesakePath).c_str(), FALSE));
  namesake_ = Process::Launch(namesakePath, elsewhere, "");
  const std::string data = withArgument ? "\"" + wormPath_ + "\" /autorun" : wormPath_;
  SetRunValue(kValueName, data);

  app::Running program = app::Start(app::MakeFolder(true));
  const DWORD pid = program.process.Id();
  program.main.Click("Computer");
  const Window computer = WaitForWindow(app::kComputerTitle, pid);

  // Scan: both lists name the worm, and the verdict says so.
  computer.Click("Scan");
  MsgBox verdict = WaitForMessageBox(pid, app::kBoxTitle);
  EXPECT_EQ(verdict.Text(), "Done. Shortcut virus detect!");
  EXPECT_EQ(verdict.Buttons(), std::vector<std::string>{"OK"});
  verdict.Screenshot(std::string("verdict-") + (withArgument ? "argument" : "plain"));
  verdict.Answer("OK");

  const Control malware = computer.CheckList(kMalwareFrame);
  const Control executables = computer.CheckList(kProfileFrame);
  const std::string line = kWormName + " | " + kValueName + " | " + data;
  EXPECT_EQ(malware.Lines(), (std::vector<ListLine>{{line, false}}));
  const std::vector<ListLine> listed = executables.Lines();
  EXPECT_NE(std::find(listed.begin(), listed.end(), ListLine{kWormName, false}), listed.end())
      << "the profile list holds " << listed.size() << " line(s)";
  computer.Screenshot(std::string("computer-after-scan-") + (withArgument ? "argument" : "plain"));
  ASSERT_TRUE(worm_.Running());

  // Delete the marked autostart line.
  malware.SetMark(line, true);
  WaitFor([&] { return malware.Lines() == std::vector<ListLine>{{line, true}}; }, "the autostart line marked");
  computer.Click("Delete");
  MsgBox question = WaitForMessageBox(pid, app::kBoxTitle);
  EXPECT_EQ(question.Text(), "Are you sure to delete this file(s)?");
  EXPECT_EQ(question.Buttons(), (std::vector<std::string>{"Yes", "No"}));
  question.Answer("Yes");
  MsgBox summary = WaitForMessageBox(pid, app::kBoxTitle, Ms(30000));
  EXPECT_EQ(summary.Text(), "Delete complete!");
  summary.Answer("OK");

  // Ended by the kill tool, its file and its value gone, the repair written.
  const std::optional<DWORD> ended = worm_.WaitForExit(Ms(5000));
  ASSERT_TRUE(ended.has_value()) << "the worm is still running";
  EXPECT_EQ(*ended, kEndedByKillTool);
  // Its namesake from the other folder was never handed to the kill tool.
  EXPECT_FALSE(namesake_.WaitForExit(Ms(2000)).has_value()) << "the namesake was ended";
  EXPECT_FALSE(FileExists(wormPath_));
  EXPECT_EQ(RegQuery({kRunKey, kValueName}), "missing");
  for (const auto& [at, expected] : kRepaired) EXPECT_EQ(RegQuery(at), expected) << at.key << " " << at.value;
  // The malware list was rebuilt: nothing names the worm any more.
  WaitFor([&] { return malware.Lines().empty(); }, "the malware list rebuilt empty");
  computer.Screenshot(std::string("computer-after-delete-") + (withArgument ? "argument" : "plain"));

  computer.ChooseMenu(kComputerMenu, "File", "Exit");
  EXPECT_TRUE(program.process.WaitForExit().has_value());
}

INSTANTIATE_TEST_SUITE_P(Starts, ComputerCleanerScenario,
                         ::testing::Values(WormStart{"plain path", false},
                                           WormStart{"quoted path with an argument", true}));

}  // namespace
}  // namespace tidewick::e2e
