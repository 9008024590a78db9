// The Pen Drive window's stick windows end to end, on a stick that looks like the families'
// (seeded from Linux by stick_windows_stick.sh, which runs one test of this program per command
// and compares the stick from Linux after each): the Shortcuts window and its Delete,
// "Delete All Virus (Recommended)" leaving a genuine shortcut and a branded autorun.inf alone,
// the box after a scan, and the Restore Files window's Move To Root and Rename. Each test starts
// the program afresh and scans first, as a person coming back to the stick would.
#include "tests/e2e/driver/driver.h"
#include "tests/e2e/tidewick_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tidewick::e2e {
namespace {

using app::ExpectBox;
using app::LineTexts;

const std::string kShortcutsTitle = "Shortcuts | Tidewick v3.1";
const std::string kRestoreTitle = "Restore Files | Tidewick v3.1";
const std::string kVirusFrame = "Select file to delete: (VIRUS)";
const std::string kItemsFrame = "Shortcuts and autorun.inf in the root:";
const std::string kWormFrame = "Files the worm starts:";
const std::string kFoldersFrame = "Folders that may hold your files:";
const MenuBar kPenDriveMenu = {
    {"File", {"Back", "-", "Exit"}},
    {"Extra", {"Show all hidden file for this device", "Shortcuts and Autorun...", "Restore Files From Hidden Folder...",
               "Report Of Changes..."}},
};
const std::string kNbspToken = "\xE2\x9F\xA8U+00A0\xE2\x9F\xA9";  // ⟨U+00A0⟩

std::string StickRoot() {
  const char* root = std::getenv("TIDEWICK_E2E_STICK");
  return root != nullptr ? root : "";
}

// The program started, "Pen Drive" open, the stick scanned, and the boxes of the scan answered:
// its own message, then the one naming the folders of blanks and "_".
struct Scanned {
  app::Running tidewick;
  Window rd;
  DWORD Pid() const { return tidewick.process.Id(); }
};

Scanned StartAndScan(const std::string& stick, const std::string& hiddenFolders) {
  Scanned scanned{app::Start(app::MakeFolder(true)), {}};
  scanned.tidewick.main.Click("Pen Drive");
  scanned.rd = WaitForWindow(app::kPenDriveTitle, scanned.Pid());
  Control devices = scanned.rd.ComboBox("Select Device");
  devices.Choose(stick);
  WaitFor([&] { return scanned.rd.Button("Scan", "Select Device").Usable(); }, "Scan to be enabled");
  scanned.rd.Click("Scan", "Select Device");
  ExpectBox(scanned.Pid(), "Are you sure to scan this device(" + stick + ")?", "Yes");
  ExpectBox(scanned.Pid(), "Scan complete. Delete file that you don't know.", "OK");
  ExpectBox(scanned.Pid(),
            "The folders " + hiddenFolders + " in " + stick +
                " have a name of blanks, invisible characters or \"_\": the virus may have moved your files there. To "
                "get them back, choose \"Extra\" > \"Restore Files From Hidden Folder...\" in this window.",
            "OK");
  return scanned;
}

// A table's rows as (first column, another column).
std::map<std::string, std::string> Column(const Control& table, int column) {
  const std::vector<std::string> first = table.Cells(0);
  const std::vector<std::string> other = table.Cells(column);
  std::map<std::string, std::string> rows;
  for (std::size_t i = 0; i < first.size() && i < other.size(); ++i) rows[first[i]] = other[i];
  return rows;
}

void MarkOnly(const Control& table, const std::set<std::string>& ticked) {
  for (const ListLine& line : table.Lines()) table.SetMark(line.text, ticked.count(line.text) != 0);
  WaitFor(
      [&] {
        const auto lines = table.Lines();
        return std::all_of(lines.begin(), lines.end(),
                           [&](const ListLine& l) { return l.marked == (ticked.count(l.text) != 0); });
      },
      "the ticks to be set");
}

void ExitFrom(const Window& form, Scanned& scanned) {
  form.ChooseMenu(kPenDriveMenu, "File", "Exit");
  EXPECT_TRUE(scanned.tidewick.process.WaitForExit().has_value());
}

// The first command: the Shortcuts window lists the stick's shortcuts and the files the worm
// starts; Delete takes the worm's ticked ones.
TEST(StickWindows, Phase1ShortcutsWindowDeletesTheWormsFiles) {
  const std::string stick = StickRoot();
  ASSERT_FALSE(stick.empty()) << "TIDEWICK_E2E_STICK is not set (run through stick_windows_stick.sh)";
  Scanned scanned = StartAndScan(stick, "'_' (2 files) and '" + kNbspToken + "' (4 files)");
  const DWORD pid = scanned.Pid();

  // With the switch, the genuine shortcut and the branded autorun.inf are left unmarked.
  Control virus = scanned.rd.CheckList(kVirusFrame);
  const std::set<std::string> virusLines = {"Photos.lnk", "Report.doc.lnk", "USB Drive (1GB).lnk", "Docs.lnk",
                                            "Notes.lnk",  "Music.lnk",      "autorun.inf",         "x7kq.vbs"};
  WaitFor([&] { return LineTexts(virus.Lines()) == virusLines; }, "the virus list");
  for (const ListLine& line : virus.Lines()) {
    EXPECT_EQ(line.marked, line.text != "Docs.lnk" && line.text != "autorun.inf") << line.text;
  }
  scanned.rd.Screenshot("pen-drive-keeps-plain-shortcuts");

  scanned.rd.ChooseMenu(kPenDriveMenu, "Extra", "Shortcuts and Autorun...");
  Window lnk = WaitForWindow(kShortcutsTitle, pid);
  WaitFor([&] { return !scanned.rd.Visible(); }, "the Pen Drive window to hide");
  Control items = lnk.CheckTable(kItemsFrame);
  Control worm = lnk.CheckTable(kWormFrame);
  EXPECT_EQ(items.Headers(), (std::vector<std::string>{"Name", "Verdict", "What it runs", "File of the stick it starts",
                                                       "Root entry it opens"}));
  const std::map<std::string, std::string> verdicts = {
      {"Photos.lnk", "worm shortcut"},         {"Report.doc.lnk", "worm shortcut"},
      {"USB Drive (1GB).lnk", "worm shortcut"}, {"Docs.lnk", "plain shortcut"},
      {"Notes.lnk", "other shortcut"},          {"Music.lnk", "damaged shortcut"},
      {"autorun.inf", "autorun shows only an icon and a label"}};
  WaitFor([&] { return Column(items, 1) == verdicts; }, "the verdicts of the root's shortcuts");
  EXPECT_EQ(Column(items, 2)["Photos.lnk"],
            "C:\\Windows\\System32\\cmd.exe /c start x7kq.vbs&start explorer Photos&exit");
  EXPECT_EQ(Column(items, 3)["Photos.lnk"], "x7kq.vbs");
  EXPECT_EQ(Column(items, 4)["Photos.lnk"], "Photos");
  EXPECT_EQ(Column(items, 4)["Report.doc.lnk"], "Report.doc");
  EXPECT_EQ(Column(items, 3)["USB Drive (1GB).lnk"], "~$WB.USBDRV");
  EXPECT_EQ(Column(items, 4)["Docs.lnk"], "Docs");
  const std::map<std::string, std::string> wormFiles = {
      {"x7kq.vbs", "Photos.lnk: started by cmd /c start; Report.doc.lnk: started by cmd /c start"},
      {"~$WB.USBDRV", "USB Drive (1GB).lnk: library given to rundll32.exe"},
      {"RECYCLER\\S-1-5-21-1\\payload.exe", "program inside RECYCLER"},
      {"RECYCLER\\S-1-5-21-1\\DSCI5271.jpg", "program under another name inside RECYCLER"}};
  // The reasons of x7kq.vbs come in the order of the root listing, which Wine does not fix.
  std::map<std::string, std::string> shown = Column(worm, 1);
  if (shown["x7kq.vbs"] == "Report.doc.lnk: started by cmd /c start; Photos.lnk: started by cmd /c start") {
    shown["x7kq.vbs"] = wormFiles.at("x7kq.vbs");
  }
  EXPECT_EQ(shown, wormFiles);
  const auto nothingTicked = [](const Control& table) {
    const auto lines = table.Lines();
    return std::none_of(lines.begin(), lines.end(), [](const ListLine& l) { return l.marked; });
  };
  EXPECT_TRUE(nothingTicked(items));
  EXPECT_TRUE(nothingTicked(worm));
  lnk.Screenshot("shortcuts-window");

  MarkOnly(items, {"Photos.lnk", "Report.doc.lnk", "USB Drive (1GB).lnk"});
  lnk.Click("Select All");
  WaitFor([&] { return nothingTicked(worm) == false && worm.Lines().size() == 4; }, "Select All");
  lnk.Click("Deselect All");
  WaitFor([&] { return nothingTicked(items) && nothingTicked(worm); }, "Deselect All");
  MarkOnly(items, {"Photos.lnk", "Report.doc.lnk", "USB Drive (1GB).lnk"});
  MarkOnly(worm, {"x7kq.vbs", "~$WB.USBDRV", "RECYCLER\\S-1-5-21-1\\payload.exe", "RECYCLER\\S-1-5-21-1\\DSCI5271.jpg"});
  lnk.Click("Delete");
  ExpectBox(pid, "Are you sure to delete this file(s)?", "Yes");
  ExpectBox(pid, "Delete complete!", "OK");
  WaitFor([&] { return LineTexts(items.Lines()) == std::set<std::string>{"Docs.lnk", "Notes.lnk", "Music.lnk", "autorun.inf"}; },
          "the shortcuts read again");
  EXPECT_TRUE(worm.Lines().empty());
  lnk.Screenshot("shortcuts-window-after-delete");

  lnk.Click("Back");
  lnk.WaitGone();
  WaitFor([&] { return scanned.rd.Visible() && scanned.rd.Enabled(); }, "the Pen Drive window to come back");
  WaitFor([&] { return LineTexts(virus.Lines()) == std::set<std::string>{"Docs.lnk", "Notes.lnk", "Music.lnk", "autorun.inf"}; },
          "the Pen Drive window's virus list read again");
  ExitFrom(scanned.rd, scanned);
}

// The second command: "Delete All Virus (Recommended)" takes the damaged shortcut and the one to a
// program of the computer, and leaves the genuine shortcut and the branded autorun.inf listed.
TEST(StickWindows, Phase2DeleteAllKeepsWhatIsPlainlyNotTheWorm) {
  const std::string stick = StickRoot();
  ASSERT_FALSE(stick.empty());
  Scanned scanned = StartAndScan(stick, "'_' (2 files) and '" + kNbspToken + "' (4 files)");
  Control virus = scanned.rd.CheckList(kVirusFrame);
  WaitFor([&] { return LineTexts(virus.Lines()) == std::set<std::string>{"Docs.lnk", "Notes.lnk", "Music.lnk", "autorun.inf"}; },
          "the virus list");
  scanned.rd.Click("Delete", "Main");
  ExpectBox(scanned.Pid(), "Are you sure to delete this file(s)?", "Yes");
  ExpectBox(scanned.Pid(), "Delete complete!", "OK");
  WaitFor([&] { return LineTexts(virus.Lines()) == std::set<std::string>{"Docs.lnk", "autorun.inf"}; },
          "the kept lines still listed");
  for (const ListLine& line : virus.Lines()) EXPECT_FALSE(line.marked) << line.text;
  ExitFrom(scanned.rd, scanned);
}

Window OpenRestore(Scanned& scanned) {
  scanned.rd.ChooseMenu(kPenDriveMenu, "Extra", "Restore Files From Hidden Folder...");
  Window restore = WaitForWindow(kRestoreTitle, scanned.Pid());
  return restore;
}

// The third command: Move To Root brings the user's entries out of the folder of blanks, keeps
// the worm's desktop.ini and the entry whose name the root has already, and a second run moves
// nothing more.
TEST(StickWindows, Phase3MoveToRootBringsTheDataBack) {
  const std::string stick = StickRoot();
  ASSERT_FALSE(stick.empty());
  Scanned scanned = StartAndScan(stick, "'_' (2 files) and '" + kNbspToken + "' (4 files)");
  const DWORD pid = scanned.Pid();
  Window restore = OpenRestore(scanned);
  Control folders = restore.CheckTable(kFoldersFrame);
  WaitFor([&] { return LineTexts(folders.Lines()) == std::set<std::string>{"_", kNbspToken}; }, "the two candidates");
  EXPECT_EQ(Column(folders, 1)[kNbspToken], "4");
  EXPECT_EQ(Column(folders, 2)[kNbspToken], "1");
  EXPECT_EQ(Column(folders, 4)[kNbspToken], "its desktop.ini gives it an icon or a class id");
  // A sign ticks it beforehand; "_" has none that Wine can show (Wine answers a hidden folder's
  // attributes as a plain folder's, so "hidden before the scan" is tested on the simulation).
  for (const ListLine& line : folders.Lines()) EXPECT_EQ(line.marked, line.text == kNbspToken) << line.text;
  EXPECT_EQ(Column(folders, 4)["_"], "no second sign");
  restore.Screenshot("restore-files-window");

  restore.Click("Move To Root");
  MsgBox ask = WaitForMessageBox(pid, app::kBoxTitle);
  EXPECT_EQ(ask.Buttons(), (std::vector<std::string>{"Yes", "No"}));
  const std::string question = ask.Text();
  EXPECT_EQ(question.rfind("Move every entry of the ticked folder(s) into the root of " + stick, 0), 0u) << question;
  ask.Answer("Yes");
  MsgBox summary = WaitForMessageBox(pid, app::kBoxTitle);
  const std::string text = summary.Text();
  EXPECT_EQ(text.rfind("Restore complete.\r\n2 entries moved into the root of " + stick + " and made visible.\r\n", 0), 0u)
      << text;
  EXPECT_NE(text.find("    " + kNbspToken + "\\desktop.ini - the desktop.ini that gives the folder its look"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("    " + kNbspToken + "\\README.TXT - a root entry has this name"), std::string::npos) << text;
  summary.Screenshot("restore-files-summary");
  summary.Answer("OK");
  const Control bar = restore.ProgressBar();
  EXPECT_EQ(bar.Range().second, 4);
  EXPECT_EQ(bar.Position(), 4);

  // Again: the folder holds only what stays inside.
  WaitFor([&] { return LineTexts(folders.Lines()) == std::set<std::string>{"_", kNbspToken}; }, "the list read again");
  EXPECT_EQ(Column(folders, 1)[kNbspToken], "2");
  MarkOnly(folders, {kNbspToken});
  restore.Click("Move To Root");
  ExpectBox(pid, question, "Yes");
  MsgBox again = WaitForMessageBox(pid, app::kBoxTitle);
  EXPECT_EQ(again.Text().rfind("Restore complete.\r\n0 entries moved into the root of " + stick, 0), 0u) << again.Text();
  again.Answer("OK");
  restore.Click("Back");
  restore.WaitGone();
  WaitFor([&] { return scanned.rd.Visible() && scanned.rd.Enabled(); }, "the Pen Drive window to come back");
  ExitFrom(scanned.rd, scanned);
}

// The fourth command: Rename makes the "_" folder "Recovered files", visible.
TEST(StickWindows, Phase4RenameMakesRecoveredFiles) {
  const std::string stick = StickRoot();
  ASSERT_FALSE(stick.empty());
  Scanned scanned = StartAndScan(stick, "'_' (2 files) and '" + kNbspToken + "' (2 files)");
  Window restore = OpenRestore(scanned);
  Control folders = restore.CheckTable(kFoldersFrame);
  WaitFor([&] { return LineTexts(folders.Lines()) == std::set<std::string>{"_", kNbspToken}; }, "the two candidates");
  MarkOnly(folders, {"_"});
  restore.Click("Rename");
  ExpectBox(scanned.Pid(),
            "Rename the ticked folder(s) to \"Recovered files\" and make them visible? Nothing inside them is moved or "
            "changed.",
            "Yes");
  ExpectBox(scanned.Pid(), "Restore complete.\r\nThe folder '_' is now 'Recovered files' in " + stick + ", visible.\r\n",
            "OK");
  WaitFor([&] { return LineTexts(folders.Lines()) == std::set<std::string>{kNbspToken}; }, "the list read again");
  restore.Click("Back");
  restore.WaitGone();
  WaitFor([&] { return scanned.rd.Visible() && scanned.rd.Enabled(); }, "the Pen Drive window to come back");
  ExitFrom(scanned.rd, scanned);
}

}  // namespace
}  // namespace tidewick::e2e
