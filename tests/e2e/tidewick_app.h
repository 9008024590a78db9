// What every Tidewick scenario knows of the program: its titles, the main window's menu bar, and
// how to start it from a work folder. The windows are named as a person reads them on screen.
#pragma once

#include "tests/e2e/driver/driver.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tidewick::e2e::app {

inline const std::string kMainTitle = "Tidewick v3.1";
inline const std::string kBoxTitle = "Tidewick";  // every message box of the program
inline const std::string kHistoryTitle = "History | Tidewick v3.1";
inline const std::string kAboutTitle = "About";
inline const std::string kHelpTitle = "How To 'Run As Administrator'? | Tidewick v3.1";
inline const std::string kPenDriveTitle = "Pen Drive | Tidewick v3.1";
inline const std::string kComputerTitle = "Computer | Tidewick v3.1";
inline const std::string kRegistryManagerTitle = "Registry Manager | Tidewick v3.1";

inline const std::string kMissingKillTool =
    "Some file not found. Button 'computer' has been disable. Are you sure to download new version?";

inline const MenuBar kMainMenu = {
    {"File", {"Exit"}},
    {"Help",
     {"Infomation About 'Shortcut Virus'", "How To 'Run As Administrator'?", "How To Use This Program?", "-", "History",
      "Update", "Download new version", "-", "Comment About This Program", "About"}},
};

// A fresh work folder named after the running test (plus `suffix`), with copies of
// tidewick.exe and, when `withKillTool`, pskill.exe beside it.
inline std::string MakeFolder(bool withKillTool, const std::string& suffix = "") {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "." + test->name() + suffix;
  std::vector<std::string> files = {"tidewick.exe"};
  if (withKillTool) files.push_back("pskill.exe");
  return env::MakeWorkFolder(name, files);
}

// Starts the tidewick.exe of `folder` with `workingFolder` as its current folder (the folder
// itself when empty).
inline Process Launch(const std::string& folder, const std::string& workingFolder = "") {
  return Process::Launch(folder + "\\tidewick.exe", workingFolder.empty() ? folder : workingFolder);
}

// A started program whose main window is up (pskill.exe beside it, so no question).
struct Running {
  Process process;
  Window main;
};

inline Running Start(const std::string& folder) {
  Running running{Launch(folder), {}};
  running.main = WaitForWindow(kMainTitle, running.process.Id());
  return running;
}

// Leaves a cleaner window with its "Back" button (in the frame "Main"), waits for the main
// window to come back usable, and ends the program with File, Exit.
inline void BackToMainAndExit(const Window& form, Running& running) {
  form.Click("Back", "Main");
  form.WaitGone();
  WaitFor([&] { return running.main.Visible() && running.main.Enabled(); }, "the main window to come back");
  running.main.ChooseMenu(kMainMenu, "File", "Exit");
  EXPECT_TRUE(running.process.WaitForExit().has_value());
}

// The texts of a list's lines, without their order and marks.
inline std::set<std::string> LineTexts(const std::vector<ListLine>& lines) {
  std::set<std::string> texts;
  for (const ListLine& line : lines) texts.insert(line.text);
  return texts;
}

// Waits for the next box of the program, checks its text, takes a screenshot of it when `shot`
// names one, and answers it.
inline void ExpectBox(DWORD pid, const std::string& text, const std::string& answer, const std::string& shot = "") {
  MsgBox box = WaitForMessageBox(pid, kBoxTitle);
  EXPECT_EQ(box.Text(), text);
  if (!shot.empty()) box.Screenshot(shot);
  box.Answer(answer);
}

}  // namespace tidewick::e2e::app
