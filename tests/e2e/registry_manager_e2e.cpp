// The registry manager end to end: the real tidewick.exe under Wine, worked through its windows
// only. The registry is prepared and inspected with reg.exe, the same tool that `wine reg add`
// and `wine reg query` run, so the program is checked against the registry as the system keeps
// it.
#include "tests/e2e/driver/driver.h"
#include "tests/e2e/driver/reg_tool.h"
#include "tests/e2e/tidewick_app.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tidewick::e2e {
namespace {

const std::string kHint = "Make sure you 'Run As Administrator' before do this. (For windows 7 and vista only)";
const std::string kQuestion = "Are you sure to do this?";
const std::string kFrame = "Registry Manager";

const MenuBar kComputerMenu = {
    {"File", {"Back", "-", "Exit"}},
    {"Extra", {"Registry Manager", "Other Autostart Entries...", "Block Script Worms For This User",
               "Report Of Changes..."}},
};
const MenuBar kRegistryManagerMenu = {
    {"File", {"Back", "-", "Exit"}},
    {"Help", {"How To 'Run As Administrator'?"}},
};

using Location = RegLocation;

void RegAddOrFail(const Location& at, const std::string& type, const std::string& data) {
  const RegRun run = tidewick::e2e::RegAdd(at, type, data);
  ASSERT_EQ(run.exitCode, 0u) << "reg add " << at.key << " " << at.value << ":\n" << run.output;
}

const std::string kUserSystem = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const std::string kMachineSystem = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const std::string kUserExplorer = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const std::string kMachineExplorer = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const std::string kUserCmd = "HKCU\\Software\\Policies\\Microsoft\\Windows\\System";
const std::string kAdvanced = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const std::string kShowAll = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL";

const Location kUserRegistryTools{kUserSystem, "DisableRegistryTools"};
const Location kMachineRegistryTools{kMachineSystem, "DisableRegistryTools"};
const Location kUserFolderOptions{kUserExplorer, "NoFolderOptions"};
const Location kMachineFolderOptions{kMachineExplorer, "NoFolderOptions"};
const Location kUserDisableCmd{kUserCmd, "DisableCMD"};
const Location kUserTaskMgr{kUserSystem, "DisableTaskMgr"};
const Location kMachineTaskMgr{kMachineSystem, "DisableTaskMgr"};
const Location kSuperHidden{kAdvanced, "SuperHidden"};
const Location kHidden{kAdvanced, "Hidden"};
const Location kShowSuperHidden{kAdvanced, "ShowSuperHidden"};
const Location kCheckedValue{kShowAll, "CheckedValue"};
const Location kHideFileExt{kAdvanced, "HideFileExt"};

// Every value the window reads or writes.
const Location* const kAll[] = {&kUserRegistryTools, &kMachineRegistryTools, &kUserFolderOptions,
                                &kMachineFolderOptions, &kUserDisableCmd, &kUserTaskMgr,
                                &kMachineTaskMgr, &kSuperHidden, &kHidden,
                                &kShowSuperHidden, &kCheckedValue, &kHideFileExt};

// ---- The window -----------------------------------------------------------------------------

struct Boxes {
  bool noRegistryEditor, disableCmd, hideFolderOptions, noTaskManager, showHidden, showExtensions;
  friend bool operator==(const Boxes&, const Boxes&) = default;
};

std::ostream& operator<<(std::ostream& os, const Boxes& b) {
  return os << "{NRE " << b.noRegistryEditor << ", DCMD " << b.disableCmd << ", HFO " << b.hideFolderOptions
            << ", NTM " << b.noTaskManager << ", SHFF " << b.showHidden << ", SE " << b.showExtensions << "}";
}

Boxes Read(const Window& rm) {
  auto checked = [&](const char* caption) { return rm.CheckBox(caption, kFrame).Checked(); };
  return {checked("No Registry Editor"),      checked("Disable CMD"),
          checked("Hide Folder Options (XP)"), checked("No Task Manager"),
          checked("Show Hidden File And Folder"), checked("Show Extentions")};
}

class RegistryManagerScenario : public ::testing::Test {
 protected:
  // The prefix is shared by every scenario: start and end with none of the values.
  void SetUp() override {
    for (const Location* at : kAll) RegDelete(*at);
  }
  void TearDown() override {
    for (const Location* at : kAll) RegDelete(*at);
  }

  // Computer, Extra, "Registry Manager", then the hint, answered. Answers the window.
  Window Open(const Window& computer, DWORD pid, const std::string& shot) {
    computer.ChooseMenu(kComputerMenu, "Extra", "Registry Manager");
    MsgBox hint = WaitForMessageBox(pid, app::kBoxTitle);
    EXPECT_EQ(hint.Text(), kHint);
    EXPECT_EQ(hint.Buttons(), std::vector<std::string>{"OK"});
    hint.Screenshot(shot + "-hint");
    hint.Answer("OK");
    Window rm = WaitForWindow(app::kRegistryManagerTitle, pid);
    WaitFor([&] { return !computer.Visible(); }, "the computer cleaner hidden while the registry manager is open");
    EXPECT_FALSE(computer.Enabled());
    return rm;
  }
};

TEST_F(RegistryManagerScenario, ShowsTheRegistryWritesTheBoxesOnOkAndShowsThemAtTheNextOpening) {
  // Values set beforehand, some of them in forms that the reading rules must see through.
  RegAddOrFail(kUserDisableCmd, "REG_SZ", "1");         // text reading as 1: on
  RegAddOrFail(kUserTaskMgr, "REG_DWORD", "1");         // on
  RegAddOrFail(kUserFolderOptions, "REG_DWORD", "0");   // off
  RegAddOrFail(kHidden, "REG_DWORD", "2");              // "hide": off
  RegAddOrFail(kHideFileExt, "REG_DWORD", "1");         // extensions hidden: off
  RegAddOrFail(kMachineRegistryTools, "REG_DWORD", "1");  // machine-wide only: shown off

  app::Running program = app::Start(app::MakeFolder(true));
  const DWORD pid = program.process.Id();
  program.main.Click("Computer");
  Window computer = WaitForWindow(app::kComputerTitle, pid);

  Window rm = Open(computer, pid, "first-opening");
  EXPECT_EQ(Read(rm), (Boxes{false, true, false, true, false, false}));
  rm.Screenshot("registry-manager-as-read");

  // A change: task manager allowed again, hidden files and extensions shown.
  rm.CheckBox("No Task Manager", kFrame).SetChecked(false);
  rm.CheckBox("Show Hidden File And Folder", kFrame).SetChecked(true);
  rm.CheckBox("Show Extentions", kFrame).SetChecked(true);
  const Boxes changed{false, true, false, false, true, true};
  WaitFor([&] { return Read(rm) == changed; }, "the three boxes changed");

  // "Ok", No: nothing is written and the window stays.
  rm.Click("Ok");
  MsgBox question = WaitForMessageBox(pid, app::kBoxTitle);
  EXPECT_EQ(question.Text(), kQuestion);
  EXPECT_EQ(question.Buttons(), (std::vector<std::string>{"Yes", "No"}));
  question.Screenshot("question");
  question.Answer("No");
  Pause(Ms(300));
  EXPECT_TRUE(rm.Visible());
  EXPECT_EQ(Read(rm), changed);
  EXPECT_EQ(RegQuery(kUserTaskMgr), "REG_DWORD 0x1");
  EXPECT_EQ(RegQuery(kUserRegistryTools), "missing");
  EXPECT_EQ(RegQuery(kHidden), "REG_DWORD 0x2");

  // "Ok", Yes: every value written, the window gone, the computer cleaner back.
  rm.Click("Ok");
  WaitForMessageBox(pid, app::kBoxTitle).Answer("Yes");
  rm.WaitGone();
  WaitFor([&] { return computer.Visible() && computer.Enabled(); }, "the computer cleaner shown and enabled again");

  const std::pair<const Location*, const char*> written[] = {
      {&kUserRegistryTools, "REG_DWORD 0x0"},   {&kMachineRegistryTools, "REG_DWORD 0x0"},
      {&kUserFolderOptions, "REG_DWORD 0x0"},   {&kMachineFolderOptions, "REG_DWORD 0x0"},
      {&kUserDisableCmd, "REG_DWORD 0x1"},      {&kUserTaskMgr, "REG_DWORD 0x0"},
      {&kMachineTaskMgr, "REG_DWORD 0x0"},      {&kSuperHidden, "REG_DWORD 0x0"},
      {&kHidden, "REG_DWORD 0x1"},              {&kShowSuperHidden, "REG_DWORD 0x1"},
      {&kCheckedValue, "REG_DWORD 0x1"},        {&kHideFileExt, "REG_DWORD 0x0"},
  };
  for (const auto& [at, expected] : written) EXPECT_EQ(RegQuery(*at), expected) << at->key << " " << at->value;

  // The second opening shows the hint again and the values as written.
  rm = Open(computer, pid, "second-opening");
  EXPECT_EQ(Read(rm), changed);
  rm.Screenshot("registry-manager-second-opening");

  // The help picture over the window, which stays usable; its "Back" only hides it.
  rm.ChooseMenu(kRegistryManagerMenu, "Help", "How To 'Run As Administrator'?");
  Window help = WaitForWindow(app::kHelpTitle, pid);
  help.Screenshot("help-over-registry-manager");
  EXPECT_TRUE(rm.Visible());
  EXPECT_TRUE(rm.Enabled());
  help.Click("Back");
  help.WaitHidden();
  EXPECT_TRUE(rm.Visible());
  EXPECT_TRUE(rm.Enabled());
  EXPECT_FALSE(computer.Visible());

  // The close box writes nothing and returns to the computer cleaner.
  rm.CheckBox("No Registry Editor", kFrame).SetChecked(true);
  WaitFor([&] { return rm.CheckBox("No Registry Editor", kFrame).Checked(); }, "No Registry Editor ticked");
  rm.Close();
  rm.WaitGone();
  WaitFor([&] { return computer.Visible() && computer.Enabled(); }, "the computer cleaner back after the close box");
  EXPECT_EQ(RegQuery(kUserRegistryTools), "REG_DWORD 0x0");

  computer.ChooseMenu(kComputerMenu, "File", "Exit");
  EXPECT_TRUE(program.process.WaitForExit().has_value());
}

}  // namespace
}  // namespace tidewick::e2e
