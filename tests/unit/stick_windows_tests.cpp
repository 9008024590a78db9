// The Pen Drive window's parts about what lies beyond the root scan, on the simulated computer
// with the journal composed as the program composes it, driven as a person would:
//  - the Shortcuts window (drive_cleaner/frm_lnk.cpp): its lists, Select All, Deselect All,
//    Delete and the volume rule;
//  - "Delete All Virus (Recommended)" leaving plain shortcuts and an icon-only autorun.inf alone;
//  - the second box after a scan that names a folder the worm may have filled;
//  - the Restore Files window (drive_cleaner/frm_restore.cpp): its candidates and signs, Rename,
//    Move To Root, the progress, Cancel, and a device that goes away or is swapped part-way.
// Shortcuts are written by the test writer (tests/support); every payload is harmless bytes.
#include "drive_cleaner/frm_lnk.h"
#include "drive_cleaner/frm_rd.h"
#include "drive_cleaner/frm_restore.h"

#include "drive_cleaner/scanned_medium.h"
#include "platform/journal.h"
#include "platform/simulated/simulated_platform.h"
#include "tests/support/shortcut_writer.h"
#include "tests/support/stand_in_windows.h"
#include "ui/form.h"
#include "ui/headless/headless_host.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace tidewick {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
using ::testing::UnorderedElementsAre;
using tidewick::testing::ShortcutWriter;

const std::string kNbsp = "\xC2\xA0";
const std::string kNbspToken = "\xE2\x9F\xA8U+00A0\xE2\x9F\xA9";  // ⟨U+00A0⟩
const std::string kBlankToken = "\xE2\x9F\xA8U+0020\xE2\x9F\xA9";  // ⟨U+0020⟩
constexpr const char* kDeleteFailed = "Delete unsuccessful. Please do in Safe Mode OR try next boot(restart computer).";

std::string Bytes(const ShortcutWriter& link) {
  const std::vector<std::uint8_t> bytes = link.Bytes();
  return {bytes.begin(), bytes.end()};
}

ShortcutWriter CmdLink(std::string_view arguments) {
  ShortcutWriter link;
  link.IdListPath("C:\\Windows\\System32\\cmd.exe").Arguments(arguments).ShowCommand(7);
  return link;
}

ShortcutWriter LinkTo(std::string_view target) {
  ShortcutWriter link;
  link.IdListPath(target);
  return link;
}

class StickWindows : public ::testing::Test {
 public:
  StickWindows() {
    app.SetJournal(&os.Journal());
    stand_in::Register<stand_in::StandInMain>(app);
    stand_in::Register<frm_rd>(app);
    stand_in::Register<frm_lnk>(app);
    stand_in::Register<frm_restore>(app);
    sim.SetAppExeName("Tool");
    sim.AddDrive('C');
    sim.AddFolder("C:\\Windows");
    sim.AddFolder("C:\\Program Files");
    sim.AddDrive('E');
  }

  void File(const std::string& path, std::string_view content = "data", std::uint32_t attributes = Attr::Archive) {
    sim.AddFile(path, attributes);
    sim.SetFileContent(path, content);
  }
  void Link(const std::string& path, const ShortcutWriter& link, std::uint32_t attributes = Attr::Archive) {
    File(path, Bytes(link), attributes);
  }

  // The script worm's stick: every root entry hidden with a shortcut of its name beside it, the
  // worm in the root, a payload in RECYCLER (one under a picture's name), a genuine shortcut, a
  // branded stick's autorun.inf and a legitimate hidden folder no shortcut opens.
  void SeedScriptWorm() {
    sim.AddFolder("E:\\Photos", Attr::HiddenSystem);
    File("E:\\Photos\\beach.jpg", "jpg");
    Link("E:\\Photos.lnk", CmdLink("/c start x7kq.vbs&start explorer Photos&exit"));
    File("E:\\Report.doc", "doc", Attr::HiddenSystem);
    Link("E:\\Report.doc.lnk", CmdLink("/c start x7kq.vbs&start Report.doc&exit"));
    File("E:\\x7kq.vbs", "' harmless", Attr::HiddenSystem);
    sim.AddFolder("E:\\RECYCLER", Attr::HiddenSystem);
    File("E:\\RECYCLER\\S-1-5-21-1\\payload.exe", "MZ harmless");
    File("E:\\RECYCLER\\S-1-5-21-1\\DSCI5271.jpg", "MZ harmless");
    File("E:\\RECYCLER\\S-1-5-21-1\\INFO2", "not a program");
    sim.AddFolder("E:\\Docs");
    File("E:\\Docs\\plan.txt", "plan");
    Link("E:\\Docs.lnk", LinkTo("E:\\Docs"));
    File("E:\\autorun.inf", "[autorun]\r\nicon=brand.ico\r\nlabel=ACME 16GB\r\n");
    sim.AddFolder("E:\\_backup", Attr::Hidden);
    File("E:\\_backup\\old.txt", "old");
  }

  frm_rd& OpenPenDrive() {
    ui::Form& main = app.Get<stand_in::StandInMain>();
    main.Show();
    app.HandOver<frm_rd>(main);
    return app.Get<frm_rd>();
  }

  frm_rd& Scanned() {
    frm_rd& rd = OpenPenDrive();
    user.Choose(rd.cmb_rd, "E:\\");
    sim.QueueAnswer(Answer::Yes);
    user.Click(rd.btn_scan);
    sim.ClearMessageBoxes();
    return rd;
  }

  frm_lnk& OpenShortcuts(frm_rd& rd) {
    user.Choose(rd.e_lnk);
    return app.Get<frm_lnk>();
  }

  frm_restore& OpenRestore(frm_rd& rd) {
    user.Choose(rd.e_restore);
    return app.Get<frm_restore>();
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& box : sim.MessageBoxes()) texts.push_back(box.text);
    return texts;
  }

  static std::vector<std::vector<std::string>> Rows(const ui::CheckTable& table) {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < table.ListCount(); ++i) rows.push_back(table.Cells(i));
    return rows;
  }

  static int Row(const ui::CheckTable& table, const std::string& firstCell) {
    for (int i = 0; i < table.ListCount(); ++i) {
      if (table.Cell(i, 0) == firstCell) return i;
    }
    ADD_FAILURE() << "no row " << firstCell;
    return 0;
  }

  // Every entry below a folder with its attributes and content: a picture of the stick.
  std::map<std::string, std::string> Tree(const std::string& folder = "E:\\") const {
    std::map<std::string, std::string> tree;
    std::function<void(const std::string&)> walk = [&](const std::string& at) {
      for (const std::string& name : sim.EntriesOf(at)) {
        const std::string path = at + (at.back() == '\\' ? "" : "\\") + name;
        const std::uint32_t attributes = sim.AttributesOf(path).value_or(0);
        tree[path] = std::to_string(attributes & (Attr::ReadOnly | Attr::HiddenSystem | Attr::Directory)) + ":" +
                     sim.FileContent(path).value_or("<folder>");
        if ((attributes & Attr::Directory) != 0) walk(path);
      }
    };
    walk(folder);
    return tree;
  }

  const Command* CommandTitled(const std::string& title) {
    const std::vector<Command>& commands = os.Journal().Commands();
    const auto found = std::find_if(commands.rbegin(), commands.rend(), [&](const Command& c) { return c.title == title; });
    return found == commands.rend() ? nullptr : &*found;
  }

  sim::SimulatedPlatform sim;
  JournalingPlatform os{sim};
  ui::HeadlessHost host;
  ui::Application app{os, host};
  ui::User user;
};

// ---- The Pen Drive window's new menu items -------------------------------------------------

TEST_F(StickWindows, TheExtraMenuOffersTheStickWindowsRightAfterShowAllOnceAScanIsDone) {
  sim.AddDrive('F');
  frm_rd& rd = OpenPenDrive();
  std::vector<std::string> captions;
  for (const ui::MenuItem* item : rd.e_1.Children()) captions.push_back(item->Caption());
  EXPECT_THAT(captions, ElementsAre("Show all hidden file for this device", "Shortcuts and Autorun...",
                                    "Restore Files From Hidden Folder...", "Report Of Changes..."));
  EXPECT_FALSE(rd.e_lnk.Usable());
  EXPECT_FALSE(rd.e_restore.Usable());

  user.Choose(rd.cmb_rd, "E:\\");
  sim.QueueAnswer(Answer::Yes);
  user.Click(rd.btn_scan);
  EXPECT_TRUE(rd.e_lnk.Usable());
  EXPECT_TRUE(rd.e_restore.Usable());

  user.Choose(rd.cmb_rd, "F:\\");  // another device: no scan to show
  EXPECT_FALSE(rd.e_lnk.Usable());
  EXPECT_FALSE(rd.e_restore.Usable());
}

// ---- The Shortcuts window ------------------------------------------------------------------

TEST_F(StickWindows, ShortcutsListsEveryShortcutAndAutorunWithItsVerdictAndTheFilesTheWormStarts) {
  SeedScriptWorm();
  frm_rd& rd = Scanned();
  frm_lnk& lnk = OpenShortcuts(rd);

  EXPECT_EQ(lnk.Caption(), "Shortcuts | Tidewick v3.1");
  EXPECT_TRUE(lnk.Visible());
  EXPECT_FALSE(rd.Visible());
  EXPECT_EQ(lnk.lbl_device.Caption(), "Device: E:\\");
  const std::string cmd = "C:\\Windows\\System32\\cmd.exe ";
  EXPECT_THAT(Rows(lnk.tbl_items),
              ElementsAre(ElementsAre("Photos.lnk", "worm shortcut", cmd + "/c start x7kq.vbs&start explorer Photos&exit",
                                      "x7kq.vbs", "Photos"),
                          ElementsAre("Report.doc.lnk", "worm shortcut", cmd + "/c start x7kq.vbs&start Report.doc&exit",
                                      "x7kq.vbs", "Report.doc"),
                          ElementsAre("Docs.lnk", "plain shortcut", "", "", "Docs"),
                          ElementsAre("autorun.inf", "autorun shows only an icon and a label", "", "", "")));
  EXPECT_THAT(Rows(lnk.tbl_worm),
              ElementsAre(ElementsAre("x7kq.vbs", "Photos.lnk: started by cmd /c start; Report.doc.lnk: started by cmd /c start"),
                          ElementsAre("RECYCLER\\S-1-5-21-1\\payload.exe", "program inside RECYCLER"),
                          ElementsAre("RECYCLER\\S-1-5-21-1\\DSCI5271.jpg", "program under another name inside RECYCLER")));
  EXPECT_EQ(lnk.tbl_items.MarkedCount() + lnk.tbl_worm.MarkedCount(), 0);
  EXPECT_EQ(lnk.tbl_worm.Columns().front().header, "File");
  EXPECT_EQ(lnk.fra_worm.Caption(), "Files the worm starts:");
  EXPECT_TRUE(lnk.btn_del.Usable());

  user.Click(lnk.btn_back);
  EXPECT_FALSE(app.Get<frm_lnk>().Loaded());
  EXPECT_TRUE(rd.Visible());
  EXPECT_TRUE(rd.Enabled());
}

TEST_F(StickWindows, ShortcutsListsTheLibraryAWormShortcutGivesRundll32AndTheProgramsOfItsFolder) {
  sim.AddFolder("E:\\" + kNbsp, Attr::HiddenSystem);
  File("E:\\" + kNbsp + "\\thesis.docx", "thesis");
  ShortcutWriter link;
  link.IdListPath("C:\\Windows\\System32\\rundll32.exe").Arguments("~$WB.USBDRV,DllMain");
  Link("E:\\USB Drive (1GB).lnk", link);
  File("E:\\~$WB.USBDRV", "MZ harmless", Attr::HiddenSystem);
  sim.AddFolder("E:\\AdobeReader", Attr::Hidden);
  File("E:\\AdobeReader\\0xd80a89c7.exe", "MZ harmless");
  File("E:\\AdobeReader\\readme.txt", "text");
  Link("E:\\Reader.lnk", CmdLink("/c start AdobeReader\\0xd80a89c7.exe"));
  frm_lnk& lnk = OpenShortcuts(Scanned());

  EXPECT_EQ(lnk.tbl_items.Cell(Row(lnk.tbl_items, "USB Drive (1GB).lnk"), 1), "worm shortcut");
  EXPECT_THAT(Rows(lnk.tbl_worm),
              ElementsAre(ElementsAre("~$WB.USBDRV", "USB Drive (1GB).lnk: library given to rundll32.exe"),
                          ElementsAre("AdobeReader\\0xd80a89c7.exe",
                                      "Reader.lnk: started by cmd /c start; program in AdobeReader, where a worm "
                                      "shortcut starts a file")));
}

TEST_F(StickWindows, ShortcutsDeleteTakesOnlyTheTickedFilesAndReadsTheListsAgain) {
  SeedScriptWorm();
  frm_rd& rd = Scanned();
  frm_lnk& lnk = OpenShortcuts(rd);
  user.Mark(lnk.tbl_items, Row(lnk.tbl_items, "Photos.lnk"));
  user.Mark(lnk.tbl_worm, Row(lnk.tbl_worm, "x7kq.vbs"));
  user.Mark(lnk.tbl_worm, Row(lnk.tbl_worm, "RECYCLER\\S-1-5-21-1\\payload.exe"));
  sim.QueueAnswer(Answer::Yes);
  user.Click(lnk.btn_del);

  EXPECT_THAT(Messages(), ElementsAre("Are you sure to delete this file(s)?", "Delete complete!"));
  EXPECT_FALSE(sim.Exists("E:\\Photos.lnk"));
  EXPECT_FALSE(sim.Exists("E:\\x7kq.vbs"));
  EXPECT_FALSE(sim.Exists("E:\\RECYCLER\\S-1-5-21-1\\payload.exe"));
  for (const char* kept : {"E:\\Report.doc.lnk", "E:\\Docs.lnk", "E:\\autorun.inf", "E:\\Photos\\beach.jpg",
                           "E:\\RECYCLER\\S-1-5-21-1\\DSCI5271.jpg", "E:\\RECYCLER\\S-1-5-21-1\\INFO2"}) {
    EXPECT_TRUE(sim.Exists(kept)) << kept;
  }
  // Read again: the deleted ones are gone, the worm shortcut left starts nothing that is there.
  EXPECT_EQ(lnk.tbl_items.ListCount(), 3);
  EXPECT_THAT(Rows(lnk.tbl_worm), ElementsAre(ElementsAre("RECYCLER\\S-1-5-21-1\\DSCI5271.jpg",
                                                          "program under another name inside RECYCLER")));
  const Command* command = CommandTitled("Delete");
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(SummarySentence(*command), "1 shortcut, 1 script and 1 program deleted.");

  // The Pen Drive window's lists are read again on the way back.
  user.Click(lnk.btn_back);
  EXPECT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAre("Report.doc.lnk", "Docs.lnk", "autorun.inf"));
}

TEST_F(StickWindows, ShortcutsDeleteAsksForATickFirstAndAnAnswerOfNoChangesNothing) {
  SeedScriptWorm();
  frm_lnk& lnk = OpenShortcuts(Scanned());
  const auto before = Tree();
  user.Click(lnk.btn_del);
  EXPECT_THAT(Messages(), ElementsAre("Please select file to delete!"));
  user.Click(lnk.btn_sa);
  EXPECT_EQ(lnk.tbl_items.MarkedCount(), 4);
  EXPECT_EQ(lnk.tbl_worm.MarkedCount(), 3);
  sim.QueueAnswer(Answer::No);
  user.Click(lnk.btn_del);
  EXPECT_EQ(Tree(), before);
  user.Click(lnk.btn_dsa);
  EXPECT_EQ(lnk.tbl_items.MarkedCount() + lnk.tbl_worm.MarkedCount(), 0);
}

TEST_F(StickWindows, ShortcutsDeleteReportsASurvivorAndNeverDeletesAFolder) {
  SeedScriptWorm();
  frm_lnk& lnk = OpenShortcuts(Scanned());
  sim.LockEntry("E:\\x7kq.vbs");
  // The listed payload's place is taken by a folder of its name after the lists were read.
  sim.DeleteFileA("E:\\RECYCLER\\S-1-5-21-1\\payload.exe");
  sim.AddFolder("E:\\RECYCLER\\S-1-5-21-1\\payload.exe");
  File("E:\\RECYCLER\\S-1-5-21-1\\payload.exe\\inside.txt", "inside");
  user.Mark(lnk.tbl_worm, Row(lnk.tbl_worm, "x7kq.vbs"));
  user.Mark(lnk.tbl_worm, Row(lnk.tbl_worm, "RECYCLER\\S-1-5-21-1\\payload.exe"));
  sim.QueueAnswer(Answer::Yes);
  user.Click(lnk.btn_del);

  EXPECT_THAT(Messages(), ElementsAre("Are you sure to delete this file(s)?",
                                      "Cannot delete file 'E:\\x7kq.vbs' because file is being used.",
                                      "Cannot delete file 'E:\\RECYCLER\\S-1-5-21-1\\payload.exe' because file is being used.",
                                      kDeleteFailed));
  EXPECT_TRUE(sim.Exists("E:\\x7kq.vbs"));
  EXPECT_EQ(sim.FileContent("E:\\RECYCLER\\S-1-5-21-1\\payload.exe\\inside.txt"), "inside");
}

TEST_F(StickWindows, ShortcutsActOnlyOnTheScannedStick) {
  SeedScriptWorm();
  frm_rd& rd = Scanned();
  // Another stick under the letter before the window opens: it does not open.
  sim.EjectMedium('E', "first");
  sim.InsertNewMedium('E', 0x0BADF00D);
  File("E:\\x7kq.vbs", "another stick's file");
  user.Choose(rd.e_lnk);
  EXPECT_FALSE(app.Get<frm_lnk>().Loaded());
  EXPECT_THAT(Messages(), ElementsAre(AnotherDeviceText("E:\\")));

  // Swapped while the window is open: Delete touches nothing.
  sim.EjectMedium('E', "second");
  sim.InsertMedium('E', "first");
  frm_lnk& lnk = OpenShortcuts(rd);
  user.Mark(lnk.tbl_worm, Row(lnk.tbl_worm, "x7kq.vbs"));
  sim.EjectMedium('E', "first");
  sim.InsertMedium('E', "second");
  sim.ClearMessageBoxes();
  sim.QueueAnswer(Answer::Yes);
  user.Click(lnk.btn_del);
  EXPECT_THAT(Messages(), ElementsAre("Are you sure to delete this file(s)?", AnotherDeviceText("E:\\")));
  EXPECT_EQ(sim.FileContent("E:\\x7kq.vbs"), "another stick's file");
}

TEST_F(StickWindows, ShortcutsDeleteStopsWhenTheDeviceGoesAway) {
  SeedScriptWorm();
  frm_lnk& lnk = OpenShortcuts(Scanned());
  user.Click(lnk.btn_sa);
  bool pulled = false;
  sim.OnFileOperation([&](std::size_t) {
    if (!pulled && !sim.Exists("E:\\Photos.lnk")) {
      pulled = true;
      sim.EjectMedium('E', "pulled");
    }
  });
  sim.QueueAnswer(Answer::Yes);
  user.Click(lnk.btn_del);
  EXPECT_THAT(Messages(), ElementsAre("Are you sure to delete this file(s)?", DeletionStoppedText("E:\\", MediumState::Gone),
                                      kDeleteFailed));
  sim.InsertMedium('E', "pulled");
  EXPECT_TRUE(sim.Exists("E:\\Report.doc.lnk"));
  EXPECT_EQ(lnk.tbl_items.ListCount() + lnk.tbl_worm.ListCount(), 0);
}

// ---- "Delete All Virus (Recommended)" and what is plainly not the worm ---------------------

struct DeleteAllCase {
  const char* name;
  const char* file;
  std::function<std::string()> content;
  bool kept;  // left unmarked and not taken by delete-all
};

void PrintTo(const DeleteAllCase& c, std::ostream* out) { *out << c.name; }

class DeleteAllKeeps : public StickWindows, public ::testing::WithParamInterface<DeleteAllCase> {};

TEST_P(DeleteAllKeeps, OnlyPlainShortcutsAndAnIconOnlyAutorun) {
  const DeleteAllCase& c = GetParam();
  sim.AddFolder("E:\\Docs");
  File("E:\\Docs\\plan.txt", "plan");
  File("E:\\x7kq.vbs", "' harmless");
  File(std::string("E:\\") + c.file, c.content());
  frm_rd& rd = Scanned();
  ASSERT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAre(c.file, "x7kq.vbs"));
  const int line = rd.lst_dir_2.Lines()[0] == c.file ? 0 : 1;
  EXPECT_EQ(rd.lst_dir_2.Selected(line), !c.kept);
  EXPECT_TRUE(rd.lst_dir_2.Selected(1 - line));
  EXPECT_FALSE(rd.lst_dir_2.Enabled());

  sim.QueueAnswer(Answer::Yes);
  user.Click(rd.btn_del);
  EXPECT_EQ(sim.Exists(std::string("E:\\") + c.file), c.kept);
  EXPECT_FALSE(sim.Exists("E:\\x7kq.vbs"));
  EXPECT_EQ(rd.lst_dir_2.Lines(), c.kept ? std::vector<std::string>{c.file} : std::vector<std::string>{});
  EXPECT_EQ(rd.lst_dir_2.MarkedCount(), 0);
  EXPECT_EQ(Messages().back(), "Delete complete!");
}

const DeleteAllCase kDeleteAllCases[] = {
    {"ShortcutToAFolderOfTheStick", "Docs.lnk", [] { return Bytes(LinkTo("E:\\Docs")); }, true},
    {"ShortcutToAFileOfTheStick", "plan.lnk", [] { return Bytes(LinkTo("E:\\Docs\\plan.txt")); }, true},
    {"IconAndLabelAutorun", "autorun.inf", [] { return std::string("[autorun]\r\nicon=a.ico\r\nlabel=ACME\r\n"); },
     true},
    {"DamagedShortcut", "Docs.lnk", [] { return std::string("LNK"); }, false},
    {"EmptyAutorun", "autorun.inf", [] { return std::string(); }, false},
    {"AutorunThatRunsAProgram", "autorun.inf", [] { return std::string("[autorun]\r\nopen=x7kq.vbs\r\n"); }, false},
    {"WormShortcut", "Docs.lnk", [] { return Bytes(CmdLink("/c start x7kq.vbs&start explorer Docs&exit")); }, false},
    {"ShortcutToAMissingEntry", "Gone.lnk", [] { return Bytes(LinkTo("E:\\Gone")); }, false},
    {"ShortcutToAProgramOfTheComputer", "Notes.lnk", [] { return Bytes(LinkTo("C:\\Windows\\notepad.exe")); }, false},
    {"ShortcutToAnotherDrive", "Notes.lnk", [] { return Bytes(LinkTo("C:\\Users\\User\\notes.txt")); }, false},
};

INSTANTIATE_TEST_SUITE_P(Lines, DeleteAllKeeps, ::testing::ValuesIn(kDeleteAllCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StickWindows, AKeptLineStaysListedAndIsTheUsersOnceTheSwitchIsCleared) {
  sim.AddFolder("E:\\Docs");
  Link("E:\\Docs.lnk", LinkTo("E:\\Docs"));
  frm_rd& rd = Scanned();
  EXPECT_EQ(rd.lst_dir_2.MarkedCount(), 0);
  // Only kept lines and nothing else marked: delete-all has nothing to take.
  user.Click(rd.btn_del);
  EXPECT_THAT(Messages(), ElementsAre("Please select file to delete!"));
  user.Click(rd.btn_r_dir2);  // a refresh judges the line again
  EXPECT_THAT(rd.lst_dir_2.Lines(), ElementsAre("Docs.lnk"));
  EXPECT_EQ(rd.lst_dir_2.MarkedCount(), 0);

  user.Click(rd.chkAD);
  user.Mark(rd.lst_dir_2, 0);
  sim.QueueAnswer(Answer::Yes);
  user.Click(rd.btn_del);
  EXPECT_FALSE(sim.Exists("E:\\Docs.lnk"));
  EXPECT_TRUE(sim.Exists("E:\\Docs"));
  user.Click(rd.chkAD);
  EXPECT_TRUE(rd.chkAD.Checked());
}

// ---- The second box after a scan -----------------------------------------------------------

TEST_F(StickWindows, AScanNamesAFolderOfBlanksWithItsFilesAfterItsOwnMessage) {
  sim.AddFolder("E:\\" + kNbsp, Attr::HiddenSystem);
  File("E:\\" + kNbsp + "\\a.doc");
  File("E:\\" + kNbsp + "\\Photos\\b.jpg");
  File("E:\\" + kNbsp + "\\Photos\\2019\\c.jpg");
  Link("E:\\USB Drive.lnk", LinkTo("E:\\" + kNbsp));
  sim.AddFolder("E:\\_backup", Attr::Hidden);
  File("E:\\_backup\\old.txt");
  frm_rd& rd = OpenPenDrive();
  user.Choose(rd.cmb_rd, "E:\\");
  sim.QueueAnswer(Answer::Yes);
  user.Click(rd.btn_scan);
  EXPECT_THAT(Messages(), ElementsAre("Are you sure to scan this device(E:\\)?",
                                      "Scan complete. Delete file that you don't know.",
                                      "The folder '" + kNbspToken +
                                          "' (3 files) in E:\\ has a name of blanks, invisible characters or \"_\": the "
                                          "virus may have moved your files there. To get them back, choose \"Extra\" > "
                                          "\"Restore Files From Hidden Folder...\" in this window."));
  EXPECT_EQ(sim.MessageBoxes().back().style, MsgStyle::Information);
}

TEST_F(StickWindows, AScanNamesEveryFolderOfBlanksInOneBoxAndNoneWhenThereIsNone) {
  File("E:\\notes.txt");
  sim.AddFolder("E:\\_backup", Attr::Hidden);
  frm_rd& rd = OpenPenDrive();
  user.Choose(rd.cmb_rd, "E:\\");
  sim.QueueAnswer(Answer::Yes);
  user.Click(rd.btn_scan);
  EXPECT_THAT(Messages(), ElementsAre("Are you sure to scan this device(E:\\)?", "Scan complete. No virus detect."));

  sim.AddFolder("E:\\_");
  File("E:\\_\\one.txt");
  sim.AddFolder("E:\\ ");
  sim.ClearMessageBoxes();
  sim.QueueAnswer(Answer::Yes);
  user.Click(rd.btn_scan);
  ASSERT_EQ(Messages().size(), 3u);
  EXPECT_THAT(Messages()[2], StartsWith("The folders '" + kBlankToken + "' (0 files) and '_' (1 file) in E:\\ have a name"));
}

// ---- The Restore Files window --------------------------------------------------------------

TEST_F(StickWindows, RestoreListsTheCandidatesInTokensWithTheirContentsTickingOnlyThoseWithASign) {
  sim.AddFolder("E:\\" + kNbsp, Attr::HiddenSystem);
  File("E:\\" + kNbsp + "\\a.doc", std::string(1000, 'a'));
  File("E:\\" + kNbsp + "\\Photos\\b.jpg", std::string(2000, 'b'));
  File("E:\\" + kNbsp + "\\desktop.ini", "[.ShellClassInfo]\r\nIconResource=%SystemRoot%\\system32\\SHELL32.dll,7\r\n");
  sim.AddFolder("E:\\_");
  File("E:\\_\\one.txt", "1");
  sim.AddFolder("E:\\ ");
  Link("E:\\Blank.lnk", CmdLink("/c start explorer \" \""));
  File("E:\\notes.txt", "user's own file beside them");
  sim.AddFolder("E:\\_backup", Attr::Hidden);
  sim.AddFolder("E:\\Hidden photos", Attr::HiddenSystem);
  frm_restore& restore = OpenRestore(Scanned());

  EXPECT_EQ(restore.Caption(), "Restore Files | Tidewick v3.1");
  EXPECT_THAT(Rows(restore.tbl_folders),
              ElementsAre(ElementsAre(kNbspToken, "3", "1", "3.0 KB",
                                      "hidden and system before the scan; its desktop.ini gives it an icon or a class id"),
                          ElementsAre("_", "1", "0", "1 byte", "no second sign"),
                          ElementsAre(kBlankToken, "0", "0", "0 bytes", "a root shortcut leads into it")));
  EXPECT_TRUE(restore.tbl_folders.Selected(0));
  EXPECT_FALSE(restore.tbl_folders.Selected(1));
  EXPECT_TRUE(restore.tbl_folders.Selected(2));
  EXPECT_TRUE(restore.btn_rename.Default());
  EXPECT_FALSE(restore.btn_cancel.Enabled());
  EXPECT_TRUE(restore.btn_move.Usable());
}

TEST_F(StickWindows, RestoreTicksAFolderWhenTheRootHoldsOnlyWormFilesBesideIt) {
  sim.AddFolder("E:\\_");
  File("E:\\_\\thesis.docx");
  File("E:\\autorun.inf", "[autorun]\r\nopen=x.exe\r\n");
  File("E:\\x.exe", "MZ");
  File("E:\\Thumbs.db");
  sim.AddFolder("E:\\RECYCLER");
  frm_restore& restore = OpenRestore(Scanned());
  ASSERT_EQ(restore.tbl_folders.ListCount(), 1);
  EXPECT_EQ(restore.tbl_folders.Cell(0, 4), "only worm files beside it in the root");
  EXPECT_TRUE(restore.tbl_folders.Selected(0));
}

TEST_F(StickWindows, RenameMakesEachTickedFolderARecoveredFilesFolderInOneRename) {
  sim.AddFolder("E:\\" + kNbsp, Attr::HiddenSystem | Attr::ReadOnly);
  File("E:\\" + kNbsp + "\\a.doc", "a", Attr::Hidden);
  sim.AddFolder("E:\\Recovered files");
  File("E:\\Recovered files\\earlier.txt", "earlier");
  frm_restore& restore = OpenRestore(Scanned());
  ASSERT_TRUE(restore.tbl_folders.Selected(0));

  sim.QueueAnswer(Answer::Yes);
  user.Click(restore.btn_rename);
  EXPECT_THAT(Messages(), ElementsAre("Rename the ticked folder(s) to \"Recovered files\" and make them visible? Nothing "
                                      "inside them is moved or changed.",
                                      "Restore complete.\r\nThe folder '" + kNbspToken +
                                          "' is now 'Recovered files (2)' in E:\\, visible.\r\n"));
  EXPECT_FALSE(sim.Exists("E:\\" + kNbsp));
  EXPECT_EQ(sim.AttributesOf("E:\\Recovered files (2)"), Attr::Directory);
  EXPECT_EQ(sim.FileContent("E:\\Recovered files (2)\\a.doc"), "a");
  EXPECT_EQ(sim.AttributesOf("E:\\Recovered files (2)\\a.doc"), Attr::Hidden);  // nothing inside is changed
  EXPECT_EQ(sim.FileContent("E:\\Recovered files\\earlier.txt"), "earlier");
  EXPECT_EQ(restore.tbl_folders.ListCount(), 0);
  const Command* command = CommandTitled("Restore files of E:\\");
  ASSERT_NE(command, nullptr);
  EXPECT_THAT(SummarySentence(*command), HasSubstr("1 entry moved or renamed"));
}

TEST_F(StickWindows, RestoreAsksFirstAndNeedsATick) {
  sim.AddFolder("E:\\_");
  File("E:\\_\\a.doc");
  File("E:\\notes.txt");
  frm_restore& restore = OpenRestore(Scanned());
  const auto before = Tree();
  user.Click(restore.btn_move);
  EXPECT_THAT(Messages(), ElementsAre("Please select folder to restore!"));
  user.Mark(restore.tbl_folders, 0);
  sim.QueueAnswer(Answer::No);
  user.Click(restore.btn_move);
  sim.QueueAnswer(Answer::No);
  user.Click(restore.btn_rename);
  EXPECT_EQ(Tree(), before);
}

TEST_F(StickWindows, MoveToRootMovesTheUsersEntriesAndKeepsTheWormsAndTakenNamesInside) {
  const std::string folder = "E:\\" + kNbsp;
  sim.AddFolder(folder, Attr::HiddenSystem);
  File(folder + "\\thesis.docx", "thesis", Attr::Hidden | Attr::ReadOnly);
  sim.AddFolder(folder + "\\Photos", Attr::Hidden);
  File(folder + "\\Photos\\a.jpg", "jpg");
  File(folder + "\\desktop.ini", "[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}\r\n", Attr::HiddenSystem);
  File(folder + "\\DUP.TXT", "inside");
  File(folder + "\\run.lnk", "LNK");
  File(folder + "\\~WYDCNU.FAT32", "harmless");
  File("E:\\dup.txt", "root");
  ShortcutWriter link;
  link.IdListPath("C:\\Windows\\System32\\rundll32.exe").Arguments(kNbsp + "\\~WYDCNU.FAT32,lnk");
  Link("E:\\USB Drive (1GB).lnk", link);
  frm_restore& restore = OpenRestore(Scanned());
  ASSERT_TRUE(restore.tbl_folders.Selected(0));
  sim.AddFolder(folder, Attr::ReadOnly);  // marked again after the scan made it plain

  sim.QueueAnswer(Answer::Yes);
  user.Click(restore.btn_move);
  const std::string shown = kNbspToken + "\\";
  EXPECT_EQ(Messages().back(),
            "Restore complete.\r\n"
            "2 entries moved into the root of E:\\ and made visible.\r\n"
            "4 entries kept inside (1: a name with a virus extension; 1: a root entry has this name; 1: a shortcut or "
            "autorun.inf of the root starts it; 1: the desktop.ini that gives the folder its look):\r\n"
            "    " + shown + "desktop.ini - the desktop.ini that gives the folder its look\r\n"
            "    " + shown + "DUP.TXT - a root entry has this name\r\n"
            "    " + shown + "run.lnk - a name with a virus extension\r\n"
            "    " + shown + "~WYDCNU.FAT32 - a shortcut or autorun.inf of the root starts it\r\n");
  EXPECT_EQ(sim.FileContent("E:\\thesis.docx"), "thesis");
  EXPECT_EQ(sim.AttributesOf("E:\\thesis.docx"), Attr::Normal);
  EXPECT_EQ(sim.AttributesOf("E:\\Photos"), Attr::Directory);
  EXPECT_EQ(sim.FileContent("E:\\Photos\\a.jpg"), "jpg");
  EXPECT_EQ(sim.FileContent("E:\\dup.txt"), "root");
  EXPECT_THAT(sim.EntriesOf(folder), ElementsAre("desktop.ini", "DUP.TXT", "run.lnk", "~WYDCNU.FAT32"));
  EXPECT_EQ(sim.AttributesOf(folder), Attr::Directory | Attr::ReadOnly);  // the worm's folder, as it was
  EXPECT_EQ(sim.FileContent(folder + "\\DUP.TXT"), "inside");

  // A second run changes nothing.
  const auto after = Tree();
  ASSERT_EQ(restore.tbl_folders.ListCount(), 1);
  user.Mark(restore.tbl_folders, 0);
  sim.QueueAnswer(Answer::Yes);
  user.Click(restore.btn_move);
  EXPECT_EQ(Tree(), after);
  EXPECT_THAT(Messages().back(), StartsWith("Restore complete.\r\n0 entries moved into the root of E:\\ and made "
                                            "visible.\r\n4 entries kept inside"));
}

TEST_F(StickWindows, MoveToRootRemovesTheFolderOnlyWhenItIsLeftEmpty) {
  sim.AddFolder("E:\\ ", Attr::HiddenSystem);
  File("E:\\ \\a.doc", "a");
  File("E:\\ \\b.doc", "b");
  File("E:\\root.txt", "root");
  frm_restore& restore = OpenRestore(Scanned());
  ASSERT_EQ(restore.tbl_folders.ListCount(), 1);
  sim.QueueAnswer(Answer::Yes);
  user.Click(restore.btn_move);
  EXPECT_EQ(Messages().back(), "Restore complete.\r\n2 entries moved into the root of E:\\ and made visible.\r\n"
                               "The emptied folder '" + kBlankToken + "' was removed.\r\n");
  EXPECT_THAT(sim.EntriesOf("E:\\"), UnorderedElementsAre("root.txt", "a.doc", "b.doc"));
  const Command* command = CommandTitled("Restore files of E:\\");
  ASSERT_NE(command, nullptr);
  EXPECT_THAT(SummarySentence(*command), HasSubstr("1 empty folder removed"));
}

TEST_F(StickWindows, RestoreShowsItsProgressKeepsTheWindowLiveAndCancelStopsBetweenEntries) {
  sim.AddFolder("E:\\_", Attr::Hidden);
  for (int i = 0; i < 10; ++i) File("E:\\_\\f" + std::to_string(i) + ".txt", std::to_string(i));
  File("E:\\notes.txt");
  frm_restore& restore = OpenRestore(Scanned());
  sim.SetTickPerRead(40);  // every entry is a turn of the window's events
  int turns = 0;
  bool liveWhileRunning = false;
  sim.OnDoEvents([&] {
    ++turns;
    liveWhileRunning = restore.btn_cancel.Usable() && !restore.btn_back.Enabled() && !restore.btn_move.Enabled();
    if (turns == 4) user.Click(restore.btn_cancel);
  });
  sim.QueueAnswer(Answer::Yes);
  user.Click(restore.btn_move);

  EXPECT_TRUE(liveWhileRunning);
  EXPECT_EQ(Messages().back(), "Restore cancelled.\r\n3 entries moved into the root of E:\\ and made visible.\r\n"
                               "7 entries are still inside, not looked at.\r\n");
  EXPECT_EQ(sim.EntriesOf("E:\\_").size(), 7u);
  EXPECT_EQ(restore.prg_restore.Maximum(), 10);
  EXPECT_EQ(restore.prg_restore.Value(), 3);
  EXPECT_FALSE(restore.btn_cancel.Enabled());
  EXPECT_TRUE(restore.btn_back.Usable());
}

TEST_F(StickWindows, ADeviceThatGoesAwayPartWayStopsTheRestoreAndIsNeverReportedComplete) {
  sim.AddFolder("E:\\_", Attr::Hidden);
  for (int i = 0; i < 10; ++i) File("E:\\_\\f" + std::to_string(i) + ".txt", std::to_string(i));
  File("E:\\notes.txt");
  frm_restore& restore = OpenRestore(Scanned());
  bool pulled = false;
  sim.OnFileOperation([&](std::size_t) {
    if (!pulled && sim.Exists("E:\\f3.txt")) {
      pulled = true;
      sim.EjectMedium('E', "pulled");
    }
  });
  sim.QueueAnswer(Answer::Yes);
  user.Click(restore.btn_move);

  const std::string summary = Messages().back();
  EXPECT_THAT(summary, StartsWith("The restore stopped: the device E:\\ stopped answering.\r\n4 entries moved"));
  EXPECT_THAT(summary, HasSubstr("6 entries are still inside, not looked at."));
  EXPECT_THAT(summary, Not(HasSubstr("complete")));
  EXPECT_EQ(sim.MessageBoxes().back().style, MsgStyle::Warning);
  EXPECT_EQ(restore.tbl_folders.ListCount(), 0);
  sim.InsertMedium('E', "pulled");
  EXPECT_EQ(sim.EntriesOf("E:\\_").size(), 6u);
}

TEST_F(StickWindows, AnotherStickPutInPartWayIsNotTouched) {
  sim.AddFolder("E:\\_", Attr::Hidden);
  for (int i = 0; i < 10; ++i) File("E:\\_\\f" + std::to_string(i) + ".txt", std::to_string(i));
  File("E:\\notes.txt");
  frm_restore& restore = OpenRestore(Scanned());
  sim.SetTickPerRead(40);
  bool swapped = false;
  sim.OnDoEvents([&] {
    if (swapped || !sim.Exists("E:\\f1.txt")) return;
    swapped = true;
    sim.EjectMedium('E', "first");
    sim.InsertNewMedium('E', 0x0BADF00D);
    sim.AddFolder("E:\\_");
    for (int i = 0; i < 10; ++i) File("E:\\_\\f" + std::to_string(i) + ".txt", "other stick");
  });
  sim.QueueAnswer(Answer::Yes);
  user.Click(restore.btn_move);
  EXPECT_THAT(Messages().back(), StartsWith("The restore stopped: another device was put into E:\\.\r\n2 entries moved"));
  EXPECT_EQ(sim.EntriesOf("E:\\_").size(), 10u);
  EXPECT_THAT(sim.EntriesOf("E:\\"), ElementsAre("_"));
}

TEST_F(StickWindows, LeavingTheWindowDuringARestoreEndsItThere) {
  sim.AddFolder("E:\\_", Attr::Hidden);
  for (int i = 0; i < 10; ++i) File("E:\\_\\f" + std::to_string(i) + ".txt", std::to_string(i));
  File("E:\\notes.txt");
  frm_rd& rd = Scanned();
  frm_restore& restore = OpenRestore(rd);
  sim.SetTickPerRead(40);
  int turns = 0;
  sim.OnDoEvents([&] {
    if (++turns == 3) user.Close(restore);
  });
  sim.QueueAnswer(Answer::Yes);
  user.Click(restore.btn_move);
  EXPECT_THAT(Messages().back(), StartsWith("Restore cancelled.\r\n2 entries moved"));
  EXPECT_EQ(sim.EntriesOf("E:\\_").size(), 8u);
  EXPECT_FALSE(restore.Loaded());
  EXPECT_TRUE(rd.Visible());
  EXPECT_TRUE(rd.Enabled());
}

TEST_F(StickWindows, RestoreOnAnotherStickUnderTheLetterChangesNothing) {
  sim.AddFolder("E:\\_", Attr::Hidden);
  File("E:\\_\\a.doc");
  File("E:\\notes.txt");
  frm_restore& restore = OpenRestore(Scanned());
  user.Mark(restore.tbl_folders, 0);
  sim.EjectMedium('E', "first");
  sim.InsertNewMedium('E', 0x0BADF00D);
  sim.AddFolder("E:\\_");
  File("E:\\_\\other.doc");
  sim.QueueAnswer(Answer::Yes);
  user.Click(restore.btn_rename);
  EXPECT_EQ(Messages().back(), AnotherDeviceText("E:\\"));
  EXPECT_THAT(sim.EntriesOf("E:\\"), ElementsAre("_"));
}

}  // namespace
}  // namespace tidewick
