// The drive cleaner on a realistic infected stick: "Pen Drive", choose the stick, Scan, Delete,
// Back. The stick is seeded from Linux by drive_cleaner_stick.sh, which also checks the files and
// their attributes on disk after this program has ended; this program checks what the window
// shows and says. The stick's drive root comes in TIDEWICK_E2E_STICK (for example "U:\").
#include "tests/e2e/driver/driver.h"
#include "tests/e2e/tidewick_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace tidewick::e2e {
namespace {

const std::string kVirusFrame = "Select file to delete: (VIRUS)";
const std::string kUnknownFrame = "If you don't know that file, just mark and delete:";

std::string StickRoot() {
  const char* root = std::getenv("TIDEWICK_E2E_STICK");
  return root != nullptr ? root : "";
}

using app::ExpectBox;
using app::LineTexts;

TEST(DriveCleaner, CleansAnInfectedStick) {
  const std::string stick = StickRoot();
  ASSERT_FALSE(stick.empty()) << "TIDEWICK_E2E_STICK is not set (run through drive_cleaner_stick.sh)";

  app::Running tidewick = app::Start(app::MakeFolder(true));
  const DWORD pid = tidewick.process.Id();
  tidewick.main.Click("Pen Drive");
  Window rd = WaitForWindow(app::kPenDriveTitle, pid);
  WaitFor([&] { return !tidewick.main.Visible(); }, "the main window to hide");
  rd.Screenshot("drive-cleaner-opened");

  // The stick is offered; the system drive (Windows and Program Files) is not.
  Control devices = rd.ComboBox("Select Device");
  const std::vector<std::string> items = devices.Items();
  EXPECT_NE(std::find(items.begin(), items.end(), stick), items.end());
  EXPECT_EQ(std::find(items.begin(), items.end(), "C:\\"), items.end());
  EXPECT_FALSE(rd.Button("Scan", "Select Device").Enabled());
  EXPECT_FALSE(rd.Button("Delete", "Main").Enabled());
  EXPECT_TRUE(rd.CheckBox("Delete All Virus (Recommended)").Checked());

  // Scan.
  devices.Choose(stick);
  WaitFor([&] { return rd.Button("Scan", "Select Device").Usable(); }, "Scan to be enabled");
  rd.Click("Scan", "Select Device");
  MsgBox ask = WaitForMessageBox(pid, app::kBoxTitle);
  EXPECT_EQ(ask.Text(), "Are you sure to scan this device(" + stick + ")?");
  EXPECT_EQ(ask.Buttons(), (std::vector<std::string>{"Yes", "No"}));
  ask.Answer("Yes");
  ExpectBox(pid, "Scan complete. Delete file that you don't know.", "OK");

  Control virus = rd.CheckList(kVirusFrame);
  Control unknown = rd.CheckList(kUnknownFrame);
  const std::set<std::string> expectedVirus = {"Photos.lnk", "Documents.lnk", "Budget 2024.xlsx.lnk",
                                               "autorun.inf", "x7kq.vbs",      "runme.cmd",
                                               "Music.lnk",   "ছবি.lnk"};
  WaitFor([&] { return LineTexts(virus.Lines()) == expectedVirus; }, "the virus list of the stick");
  EXPECT_EQ(LineTexts(unknown.Lines()), (std::set<std::string>{"Photos.exe"}));
  // "Delete All Virus (Recommended)": every line is marked and the list is the program's.
  WaitFor(
      [&] {
        const auto lines = virus.Lines();
        return std::all_of(lines.begin(), lines.end(), [](const ListLine& l) { return l.marked; });
      },
      "every line of the virus list to be marked");
  EXPECT_FALSE(virus.Enabled());
  EXPECT_TRUE(rd.Button("Refresh", kVirusFrame).Enabled());
  EXPECT_TRUE(rd.Button("Select All", kUnknownFrame).Enabled());
  rd.Screenshot("drive-cleaner-after-scan");

  // Delete: the whole virus list and the marked program.
  unknown.SetMark("Photos.exe", true);
  WaitFor([&] { return unknown.Lines().size() == 1 && unknown.Lines()[0].marked; }, "Photos.exe to be marked");
  rd.Click("Delete", "Main");
  ExpectBox(pid, "Are you sure to delete this file(s)?", "Yes");
  // A folder named like a shortcut cannot be deleted as a file; it is reported and stays.
  ExpectBox(pid, "Cannot delete file '" + stick + "Music.lnk' because file is being used.", "OK", "drive-cleaner-cannot-delete");
  ExpectBox(pid, "Delete unsuccessful. Please do in Safe Mode OR try next boot(restart computer).", "OK");

  WaitFor([&] { return LineTexts(virus.Lines()) == std::set<std::string>{"Music.lnk"}; }, "the rebuilt virus list");
  EXPECT_TRUE(unknown.Lines().empty());
  WaitFor([&] { return !rd.Button("Select All", kUnknownFrame).Enabled(); }, "the unknown list's buttons to grey");
  rd.Screenshot("drive-cleaner-after-delete");

  // Back to the main window, then Exit.
  app::BackToMainAndExit(rd, tidewick);
}

}  // namespace
}  // namespace tidewick::e2e
