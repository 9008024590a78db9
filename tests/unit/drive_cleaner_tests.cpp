// Behaviour of the drive-cleaner window on the simulated computer, driven as a person would.
#include "drive_cleaner/frm_rd.h"

#include "platform/platform_operations.h"
#include "platform/simulated/simulated_platform.h"
#include "tests/support/stand_in_windows.h"
#include "ui/form.h"
#include "ui/headless/headless_host.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

constexpr const char* kDeleteFailed = "Delete unsuccessful. Please do in Safe Mode OR try next boot(restart computer).";

// The main window as far as this window needs it: something to give control back to.
using MainWindow = stand_in::StandInMain;

bool Has(std::uint32_t attributes, std::uint32_t bit) { return (attributes & bit) != 0; }

class DriveCleaner : public ::testing::Test {
 public:
  DriveCleaner() {
    stand_in::Register<MainWindow>(app);
    stand_in::Register<frm_rd>(app);
    os.SetAppExeName("Tool");
    os.AddDrive('C');
    os.AddFolder("C:\\Windows");
    os.AddFolder("C:\\Program Files");
    os.AddDrive('E');
  }

  // "Pen Drive" in the main window: the hand-over of the main window.
  frm_rd& Open() {
    ui::Form& main = app.Get<MainWindow>();
    main.Show();
    app.HandOver<frm_rd>(main);
    return app.Get<frm_rd>();
  }

  // Chooses `root`, presses "Scan" and answers Yes.
  void Scan(frm_rd& rd, const std::string& root = "E:\\") {
    if (rd.cmb_rd.Text() != root) user.Choose(rd.cmb_rd, root);
    os.QueueAnswer(Answer::Yes);
    user.Click(rd.btn_scan);
  }

  void Delete(frm_rd& rd) {
    os.QueueAnswer(Answer::Yes);
    user.Click(rd.btn_del);
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& box : os.MessageBoxes()) texts.push_back(box.text);
    return texts;
  }

  std::uint32_t Attributes(const std::string& path) const {
    auto attributes = os.AttributesOf(path);
    EXPECT_TRUE(attributes.has_value()) << path << " is missing";
    return attributes.value_or(0);
  }

  sim::SimulatedPlatform os;
  ui::HeadlessHost host;
  ui::Application app{os, host};
  ui::User user;
};

// ---- Device list and window state ----

TEST_F(DriveCleaner, ListsAnsweringDrivesInLetterOrderWithoutTheSystemDrive) {
  os.AddDrive('Z');
  os.AddDrive('D');  // a second disk with a Windows folder only
  os.AddFolder("D:\\Windows");
  os.AddDrive('F');  // Program Files only
  os.AddFolder("F:\\Program Files");
  os.AddDrive('G');  // card reader without a card
  os.SetDriveReady('G', false);
  os.AddDrive('A');

  frm_rd& rd = Open();

  EXPECT_THAT(rd.cmb_rd.Items(), ElementsAre("A:\\", "D:\\", "E:\\", "F:\\", "Z:\\"));
  EXPECT_EQ(rd.cmb_rd.Text(), "");
}

TEST_F(DriveCleaner, OpensWithNothingToDo) {
  frm_rd& rd = Open();

  EXPECT_EQ(rd.Caption(), "Pen Drive | Tidewick v3.1");
  EXPECT_TRUE(rd.Visible());
  EXPECT_TRUE(rd.chkAD.Checked());
  EXPECT_FALSE(rd.lst_dir_2.Enabled());
  EXPECT_TRUE(rd.lst_dir.Enabled());
  for (ui::CommandButton* button : {&rd.btn_scan, &rd.btn_del, &rd.btn_s2, &rd.btn_ds2, &rd.btn_r_dir2, &rd.btn_dir_sa,
                                    &rd.btn_dir_usa, &rd.btn_r}) {
    EXPECT_FALSE(button->Enabled()) << button->Name();
  }
  EXPECT_TRUE(rd.btn_rsd.Usable());
  EXPECT_TRUE(rd.btn_x.Usable());
  EXPECT_TRUE(rd.T1.Enabled());
  EXPECT_GE(rd.T1.Interval(), 250u);
}

TEST_F(DriveCleaner, EveryControlLiesInsideItsFrameAndButtonsShareOneSize) {
  frm_rd& rd = Open();
  for (ui::Control* control : rd.Controls()) {
    const ui::Twips& p = control->Position();
    EXPECT_EQ(control->GetFont().name, "Tahoma") << control->Name();
    if (control->Kind() == ui::ControlKind::Button) {
      EXPECT_EQ(p.width, 1215) << control->Name();
      EXPECT_EQ(p.height, 375) << control->Name();
    }
    const ui::Control* frame = control->Container();
    if (frame == nullptr) continue;
    const ui::Twips& f = frame->Position();
    EXPECT_GE(p.left, f.left) << control->Name();
    EXPECT_GE(p.top, f.top) << control->Name();
    EXPECT_LE(p.left + p.width, f.left + f.width) << control->Name();
    EXPECT_LE(p.top + p.height, f.top + f.height) << control->Name();
  }
  EXPECT_EQ(rd.lst_dir_2.Container(), &rd.Framec);
  EXPECT_EQ(rd.btn_del.Container(), &rd.Frameddfgre34);
  EXPECT_EQ(rd.cmb_rd.Container(), &rd.fmSD);
  EXPECT_EQ(rd.lst_dir.Container(), &rd.Framed);
}

TEST_F(DriveCleaner, ChoosingADeviceEnablesScanAndDeviceRefreshForgetsTheChoiceButKeepsTheLists) {
  os.AddFile("E:\\Photos.lnk");
  os.AddFile("E:\\setup.exe");
  frm_rd& rd = Open();
  user.Choose(rd.cmb_rd, "E:\\");
  EXPECT_TRUE(rd.btn_scan.Enabled());
  Scan(rd);
  ASSERT_TRUE(rd.btn_r.Enabled());

  user.Click(rd.btn_rsd);

  EXPECT_EQ(rd.cmb_rd.Text(), "");
  EXPECT_FALSE(rd.btn_scan.Enabled());
  EXPECT_FALSE(rd.btn_r.Enabled());
  EXPECT_FALSE(rd.btn_r_dir2.Enabled());
  EXPECT_EQ(host.Focused(), &rd.cmb_rd);
  EXPECT_THAT(rd.lst_dir_2.Lines(), ElementsAre("Photos.lnk"));
  EXPECT_THAT(rd.lst_dir.Lines(), ElementsAre("setup.exe"));
  EXPECT_TRUE(rd.chkAD.Checked());
}

// What the 1 ms timer kept true, without a single tick: the rules follow every change.
TEST_F(DriveCleaner, EnablingRulesFollowListsMarksAndTheSwitchWithoutTicks) {
  os.AddFile("E:\\a.lnk");
  os.AddFile("E:\\b.vbs");
  frm_rd& rd = Open();
  Scan(rd);

  EXPECT_FALSE(rd.lst_dir_2.Enabled());
  EXPECT_EQ(rd.lst_dir_2.MarkedCount(), 2);
  EXPECT_FALSE(rd.btn_s2.Enabled());
  EXPECT_TRUE(rd.btn_del.Enabled());
  EXPECT_FALSE(rd.btn_dir_sa.Enabled());

  user.Click(rd.chkAD);  // unchecked: the list is the user's
  EXPECT_TRUE(rd.lst_dir_2.Usable());
  EXPECT_TRUE(rd.btn_s2.Enabled());
  EXPECT_TRUE(rd.btn_ds2.Enabled());
  EXPECT_EQ(rd.lst_dir_2.MarkedCount(), 2);  // marks stay as they were
  user.Mark(rd.lst_dir_2, 0, false);
  EXPECT_EQ(rd.lst_dir_2.MarkedCount(), 1);
  user.Tick(rd.T1);
  EXPECT_EQ(rd.lst_dir_2.MarkedCount(), 1);

  os.AddFile("E:\\c.pif");
  user.Click(rd.chkAD);  // checked again: every line, also one a refresh adds
  user.Click(rd.btn_r_dir2);  // a click on a disabled button would throw, so it must be enabled
  EXPECT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAre("a.lnk", "b.vbs", "c.pif"));
  EXPECT_EQ(rd.lst_dir_2.MarkedCount(), 3);
  EXPECT_FALSE(rd.lst_dir_2.Enabled());
}

TEST_F(DriveCleaner, EmptyVirusListLeavesTheListStateAloneAndDisablesItsSelectButtons) {
  os.AddFile("E:\\a.lnk");
  os.AddFile("E:\\x.exe");
  frm_rd& rd = Open();
  Scan(rd);
  user.Click(rd.chkAD);
  ASSERT_TRUE(rd.lst_dir_2.Enabled());
  Delete(rd);  // deletes a.lnk only (nothing marked in the unknown list)

  EXPECT_THAT(rd.lst_dir_2.Lines(), IsEmpty());
  EXPECT_TRUE(rd.lst_dir_2.Enabled());
  EXPECT_FALSE(rd.btn_s2.Enabled());
  EXPECT_FALSE(rd.btn_ds2.Enabled());
  EXPECT_TRUE(rd.btn_dir_sa.Enabled());
  EXPECT_TRUE(rd.btn_del.Enabled());
}

// ---- Scan ----

TEST_F(DriveCleaner, WorkedExample) {
  os.AddFolder("E:\\Photos", Attr::Hidden | Attr::System);
  os.AddFile("E:\\Photos.lnk");
  os.AddFile("E:\\autorun.inf", Attr::Hidden);
  os.AddFile("E:\\x.exe", Attr::Hidden);
  os.AddFile("E:\\desktop.ini");
  os.AddFile("E:\\Tool.exe");
  frm_rd& rd = Open();
  user.Choose(rd.cmb_rd, "E:\\");
  os.QueueAnswer(Answer::Yes);
  user.Click(rd.btn_scan);

  ASSERT_EQ(os.MessageBoxes().size(), 2u);
  EXPECT_EQ(os.MessageBoxes()[0].text, "Are you sure to scan this device(E:\\)?");
  EXPECT_EQ(os.MessageBoxes()[0].style, MsgStyle::YesNoQuestion);
  EXPECT_EQ(os.MessageBoxes()[1].text, "Scan complete. Delete file that you don't know.");
  EXPECT_EQ(os.MessageBoxes()[1].style, MsgStyle::Information);
  EXPECT_FALSE(Has(Attributes("E:\\Photos"), Attr::Hidden));
  EXPECT_FALSE(Has(Attributes("E:\\Photos"), Attr::System));
  EXPECT_FALSE(Has(Attributes("E:\\x.exe"), Attr::Hidden));
  EXPECT_EQ(Attributes("E:\\desktop.ini") & 0x3F, Attr::HiddenSystem);
  EXPECT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAre("Photos.lnk", "autorun.inf"));
  EXPECT_THAT(rd.lst_dir.Lines(), ElementsAre("x.exe"));
  EXPECT_TRUE(rd.btn_r.Enabled());
  EXPECT_TRUE(rd.btn_r_dir2.Enabled());
  EXPECT_EQ(rd.ScannedRoot(), "E:\\");
}

enum class Goes { Virus, Unknown, Neither };

struct NameCase {
  const char* name;
  bool folder;
  Goes goes;
};

// One root holding every case; each name is looked up in the lists after one scan.
const NameCase kNames[] = {
    {"AUTORUN.INF", false, Goes::Virus},
    {"Photos.lnk", false, Goes::Virus},
    {"run.BAT", false, Goes::Virus},
    {"saver.scr", false, Goes::Virus},
    {"x.vbs", false, Goes::Virus},
    {"setup.com", false, Goes::Virus},
    {"old.PIF", false, Goes::Virus},
    {"go.cmd", false, Goes::Virus},
    {"Фото.lnk", false, Goes::Virus},
    {"aux.lnk", false, Goes::Virus},
    {"con", false, Goes::Neither},
    {"a.exe.lnk", false, Goes::Unknown},
    {"x.exe", false, Goes::Unknown},
    {"notes.exe.txt", false, Goes::Unknown},
    {"Programs.exe", true, Goes::Unknown},
    {"backup.communication", true, Goes::Neither},
    {"Minutes.information.docx", false, Goes::Neither},
    {"www.company.com invoice.pdf", false, Goes::Neither},
    {"photos.lnk.jpg", false, Goes::Neither},
    {"setup.inf.bak", false, Goes::Neither},
    {"report.", false, Goes::Neither},
    {"trail.lnk ", false, Goes::Neither},
    {"Holiday", true, Goes::Neither},
    {"desktop.ini", false, Goes::Neither},
};

TEST_F(DriveCleaner, ScanSortsNamesByTheirEnding) {
  for (const NameCase& c : kNames) {
    if (c.folder) {
      os.AddFolder(std::string("E:\\") + c.name, Attr::Hidden);
    } else {
      os.AddFile(std::string("E:\\") + c.name, Attr::Hidden);
    }
  }
  frm_rd& rd = Open();
  Scan(rd);

  std::vector<std::string> virus, unknown;
  for (const NameCase& c : kNames) {
    if (c.goes == Goes::Virus) virus.push_back(c.name);
    if (c.goes == Goes::Unknown) unknown.push_back(c.name);
  }
  EXPECT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAreArray(virus));
  EXPECT_THAT(rd.lst_dir.Lines(), UnorderedElementsAreArray(unknown));
  for (const NameCase& c : kNames) {
    if (std::string(c.name) == "desktop.ini") continue;
    EXPECT_FALSE(Has(Attributes(std::string("E:\\") + c.name), Attr::Hidden)) << c.name;
  }
}

TEST_F(DriveCleaner, VirusRefreshUsesTheEndingAndDoesNotGiveExePrecedence) {
  for (const NameCase& c : kNames) {
    if (c.folder) {
      os.AddFolder(std::string("E:\\") + c.name);
    } else {
      os.AddFile(std::string("E:\\") + c.name);
    }
  }
  frm_rd& rd = Open();
  Scan(rd);
  ASSERT_THAT(rd.lst_dir.Lines(), ::testing::Contains("a.exe.lnk"));
  user.Click(rd.btn_r_dir2);

  std::vector<std::string> virus;
  for (const NameCase& c : kNames) {
    if (c.goes == Goes::Virus) virus.push_back(c.name);
  }
  virus.push_back("a.exe.lnk");
  EXPECT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAreArray(virus));
}

TEST_F(DriveCleaner, SystemNamesAreHiddenAgainWhateverTheyWere) {
  const char* names[] = {"System Volume Information", "$RECYCLE.BIN", "RECYCLER", "Config.Msi"};
  for (const char* name : names) os.AddFolder(std::string("E:\\") + name, Attr::ReadOnly);
  os.AddFolder("E:\\folder settings");
  os.AddFile("E:\\DESKTOP.INI", Attr::ReadOnly | Attr::Archive);
  frm_rd& rd = Open();
  Scan(rd);

  for (std::string name : {"System Volume Information", "$RECYCLE.BIN", "RECYCLER", "Config.Msi", "folder settings",
                           "DESKTOP.INI"}) {
    EXPECT_EQ(Attributes("E:\\" + name) & 0x2F, Attr::HiddenSystem) << name;
  }
  EXPECT_THAT(rd.lst_dir_2.Lines(), IsEmpty());
  EXPECT_THAT(Messages(), ElementsAre("Are you sure to scan this device(E:\\)?", "Scan complete. No virus detect."));
}

// The program lying in the root is never listed, whatever the letter case of its name, and
// letters outside A to Z fold too.
TEST_F(DriveCleaner, OwnProgramIsNotListedInAnyLetterCase) {
  struct OwnCase {
    const char* appName;
    const char* fileName;
  };
  const OwnCase cases[] = {
      {"Tool", "tool.exe"}, {"Tool", "TOOL.EXE"}, {"Tool", "Tool.Exe"}, {"Ünïcödé", "ÜNÏCÖDÉ.EXE"}, {"Отчёт", "ОТЧЁТ.exe"}};
  for (const OwnCase& c : cases) {
    SCOPED_TRACE(c.fileName);
    sim::SimulatedPlatform local;
    ui::HeadlessHost localHost;
    ui::Application localApp{local, localHost};
    stand_in::Register<MainWindow>(localApp);
    stand_in::Register<frm_rd>(localApp);
    local.SetAppExeName(c.appName);
    local.AddDrive('E');
    local.AddFile(std::string("E:\\") + c.fileName);
    local.AddFile("E:\\other.exe");
    ui::Form& main = localApp.Get<MainWindow>();
    main.Show();
    localApp.HandOver<frm_rd>(main);
    auto& rd = localApp.Get<frm_rd>();
    user.Choose(rd.cmb_rd, "E:\\");
    local.QueueAnswer(Answer::Yes);
    user.Click(rd.btn_scan);
    EXPECT_THAT(rd.lst_dir.Lines(), ElementsAre("other.exe"));
    // The unknown list's refresh leaves it out in the same way.
    user.Click(rd.btn_r);
    EXPECT_THAT(rd.lst_dir.Lines(), ElementsAre("other.exe"));
  }
}

TEST_F(DriveCleaner, ScanTouchesOnlyTheRoot) {
  os.AddFolder("E:\\Docs", Attr::Hidden | Attr::ReadOnly);
  os.AddFile("E:\\Docs\\inner.lnk", Attr::Hidden);
  os.AddFile("E:\\Docs\\tool.exe", Attr::Hidden);
  // A junction is judged by its name and never followed.
  os.AddFolder("E:\\Linked", Attr::Hidden | Attr::ReparsePoint);
  os.AddFile("E:\\Linked\\inside.lnk", Attr::Hidden);
  frm_rd& rd = Open();
  Scan(rd);

  EXPECT_EQ(Attributes("E:\\Docs") & 0x07, 0u);
  EXPECT_EQ(Attributes("E:\\Linked") & 0x07, 0u);
  EXPECT_EQ(Attributes("E:\\Linked\\inside.lnk") & 0x07, Attr::Hidden);
  EXPECT_EQ(Attributes("E:\\Docs\\inner.lnk") & 0x07, Attr::Hidden);
  EXPECT_THAT(rd.lst_dir_2.Lines(), IsEmpty());
  EXPECT_THAT(rd.lst_dir.Lines(), IsEmpty());
  EXPECT_EQ(Messages().back(), "Scan complete. No virus detect.");
}

TEST_F(DriveCleaner, ScanAskedWithoutDeviceOrAnsweredNoChangesNothing) {
  os.AddFile("E:\\a.lnk", Attr::Hidden);
  frm_rd& rd = Open();
  rd.btn_scan_Click();  // the button is disabled; the handler still refuses on its own
  EXPECT_THAT(Messages(), ElementsAre("Select device first!"));
  EXPECT_EQ(os.MessageBoxes()[0].style, MsgStyle::Information);

  user.Choose(rd.cmb_rd, "E:\\");
  os.QueueAnswer(Answer::No);
  user.Click(rd.btn_scan);
  EXPECT_EQ(Attributes("E:\\a.lnk") & 0x07, Attr::Hidden);
  EXPECT_THAT(rd.lst_dir_2.Lines(), IsEmpty());
  EXPECT_FALSE(rd.btn_r.Enabled());
  EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(DriveCleaner, LongScanShowsTheWaitCursorAndKeepsPainting) {
  for (int i = 0; i < 4000; ++i) os.AddFolder("E:\\f" + std::to_string(i), Attr::Hidden);
  os.SetTickPerRead(20);  // a slow stick: time passes while the entries are handled
  frm_rd& rd = Open();
  os.OnMessageBox([&](const sim::MessageBoxRecord& box) {
    if (box.text.rfind("Scan complete", 0) == 0) {
      EXPECT_EQ(host.BusyDepth(), 0);
    }
  });
  Scan(rd);
  EXPECT_GE(host.BusyCount(), 1);
  EXPECT_GE(host.PaintCount(), 4);
  EXPECT_EQ(host.BusyDepth(), 0);
}

// Painting long lists takes longer the longer they grow: the scan paints seldom enough that
// painting takes about a twentieth of its time, but at least every half second of work, so that
// the window answers throughout.
TEST_F(DriveCleaner, LongScanPaintsLessOftenWhenPaintingTakesLongButAtLeastTwiceASecond) {
  for (int i = 0; i < 40000; ++i) os.AddFolder("E:\\f" + std::to_string(i), Attr::Hidden);
  constexpr std::uint32_t kTickPerLook = 2;  // the work between two looks at the clock
  os.SetTickPerRead(kTickPerLook);
  frm_rd& rd = Open();
  struct Case {
    std::uint32_t paintMs;
    std::uint32_t fewestMsBetween;  // of work between the end of one paint and the next
    std::uint32_t mostMsBetween;
  };
  for (const Case& c : {Case{1, 100, 110}, Case{15, 300, 510}, Case{60, 500, 510}}) {
    SCOPED_TRACE("painting takes " + std::to_string(c.paintMs) + " ms");
    std::vector<std::uint32_t> starts, ends;
    host.OnPaint([&] {
      os.SetTickPerRead(0);
      starts.push_back(os.GetTickCount());
      os.AdvanceClock(c.paintMs);
      ends.push_back(os.GetTickCount());
      os.SetTickPerRead(kTickPerLook);
    });
    Scan(rd);
    ASSERT_GE(starts.size(), 4u);
    for (std::size_t i = 1; i < starts.size(); ++i) {
      EXPECT_GE(starts[i] - ends[i - 1], c.fewestMsBetween) << "paint " << i;
      EXPECT_LE(starts[i] - ends[i - 1], c.mostMsBetween) << "paint " << i;
    }
  }
}

// ---- Deletion ----

TEST_F(DriveCleaner, DeleteAllTakesTheWholeVirusListWithoutMarks) {
  os.AddFile("E:\\a.lnk", Attr::Hidden | Attr::System | Attr::ReadOnly);
  os.AddFile("E:\\autorun.inf", Attr::ReadOnly);
  os.AddFile("E:\\b.vbs", Attr::Hidden);
  os.AddFile("E:\\keep.exe");
  os.AddFolder("E:\\a");
  frm_rd& rd = Open();
  Scan(rd);
  os.ClearMessageBoxes();

  Delete(rd);

  EXPECT_THAT(Messages(), ElementsAre("Are you sure to delete this file(s)?", "Delete complete!"));
  EXPECT_FALSE(os.Exists("E:\\a.lnk"));
  EXPECT_FALSE(os.Exists("E:\\autorun.inf"));
  EXPECT_FALSE(os.Exists("E:\\b.vbs"));
  EXPECT_TRUE(os.Exists("E:\\keep.exe"));
  EXPECT_TRUE(os.Exists("E:\\a"));
  EXPECT_THAT(rd.lst_dir_2.Lines(), IsEmpty());
  EXPECT_THAT(rd.lst_dir.Lines(), ElementsAre("keep.exe"));
  EXPECT_FALSE(rd.btn_ds2.Enabled());
}

// Two survivors: the virus list from its last line backwards, then the marked unknown lines from
// the last backwards; a folder named like a shortcut stays, visible, with the cannot-delete text.
TEST_F(DriveCleaner, SurvivorsAreReportedInOrderAndTheListsAreRebuilt) {
  os.AddFile("E:\\one.lnk");
  os.AddFolder("E:\\Music.lnk", Attr::Hidden);
  os.AddFile("E:\\three.bat");
  os.AddFile("E:\\locked.cmd");
  os.AddFile("E:\\p.exe");
  os.AddFile("E:\\q.exe", Attr::Hidden | Attr::ReadOnly);
  os.AddFile("E:\\r.exe");
  os.AddFile("E:\\s.exe");
  frm_rd& rd = Open();
  Scan(rd);
  ASSERT_THAT(rd.lst_dir_2.Lines(), ElementsAre("one.lnk", "Music.lnk", "three.bat", "locked.cmd"));
  ASSERT_THAT(rd.lst_dir.Lines(), ElementsAre("p.exe", "q.exe", "r.exe", "s.exe"));
  os.LockEntry("E:\\locked.cmd");
  os.LockEntry("E:\\s.exe");
  os.LockEntry("E:\\p.exe");
  user.Mark(rd.lst_dir, 0);
  user.Mark(rd.lst_dir, 1);
  user.Mark(rd.lst_dir, 3);
  os.ClearMessageBoxes();

  Delete(rd);

  EXPECT_THAT(Messages(), ElementsAre("Are you sure to delete this file(s)?",
                                      "Cannot delete file 'E:\\locked.cmd' because file is being used.",
                                      "Cannot delete file 'E:\\Music.lnk' because file is being used.",
                                      "Cannot delete file 'E:\\s.exe' because file is being used.",
                                      "Cannot delete file 'E:\\p.exe' because file is being used.", kDeleteFailed));
  for (std::size_t i = 1; i <= 4; ++i) EXPECT_EQ(os.MessageBoxes()[i].style, MsgStyle::Critical);
  EXPECT_EQ(os.MessageBoxes()[5].style, MsgStyle::Information);
  EXPECT_FALSE(Has(Attributes("E:\\Music.lnk"), Attr::Hidden));
  EXPECT_FALSE(os.Exists("E:\\q.exe"));
  EXPECT_TRUE(os.Exists("E:\\r.exe"));
  EXPECT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAre("Music.lnk", "locked.cmd"));
  EXPECT_EQ(rd.lst_dir_2.MarkedCount(), 2);  // the switch marks the rebuilt list again
  EXPECT_THAT(rd.lst_dir.Lines(), UnorderedElementsAre("p.exe", "r.exe", "s.exe"));
  EXPECT_EQ(rd.lst_dir.MarkedCount(), 0);
}

TEST_F(DriveCleaner, WithTheSwitchOffOnlyMarkedVirusLinesAreTaken) {
  os.AddFile("E:\\a.lnk");
  os.AddFile("E:\\b.lnk");
  os.AddFile("E:\\c.lnk");
  frm_rd& rd = Open();
  Scan(rd);
  user.Click(rd.chkAD);
  user.Click(rd.btn_ds2);
  os.ClearMessageBoxes();

  user.Click(rd.btn_del);
  EXPECT_THAT(Messages(), ElementsAre("Please select file to delete!"));
  EXPECT_TRUE(os.Exists("E:\\a.lnk"));

  user.Mark(rd.lst_dir_2, 1);
  Delete(rd);
  EXPECT_FALSE(os.Exists("E:\\b.lnk"));
  EXPECT_TRUE(os.Exists("E:\\a.lnk"));
  EXPECT_TRUE(os.Exists("E:\\c.lnk"));
  EXPECT_THAT(rd.lst_dir_2.Lines(), ElementsAre("a.lnk", "c.lnk"));
  EXPECT_EQ(Messages().back(), "Delete complete!");
}

TEST_F(DriveCleaner, DeleteAnsweredNoOrWithoutDeviceChangesNothing) {
  os.AddFile("E:\\a.lnk", Attr::Hidden);
  frm_rd& rd = Open();
  Scan(rd);
  os.SetFileAttributesA("E:\\a.lnk", Attr::Hidden);
  os.ClearMessageBoxes();

  os.QueueAnswer(Answer::No);
  user.Click(rd.btn_del);
  EXPECT_EQ(Attributes("E:\\a.lnk") & 0x07, Attr::Hidden);
  EXPECT_THAT(rd.lst_dir_2.Lines(), ElementsAre("a.lnk"));

  user.Click(rd.btn_rsd);  // forgets the device choice, keeps the lists
  user.Click(rd.btn_del);
  EXPECT_THAT(Messages(), ElementsAre("Are you sure to delete this file(s)?", "Select device first!"));
  EXPECT_TRUE(os.Exists("E:\\a.lnk"));
}

// ---- The lists belong to the scanned device ----

TEST_F(DriveCleaner, ChoosingAnotherDeviceEmptiesTheListsSoNothingElseIsDeleted) {
  os.AddDrive('F');
  os.AddFile("E:\\a.lnk");
  os.AddFile("E:\\x.exe");
  os.AddFile("F:\\a.lnk");
  os.AddFile("F:\\x.exe");
  frm_rd& rd = Open();
  Scan(rd);
  user.Mark(rd.lst_dir, 0);

  user.Choose(rd.cmb_rd, "F:\\");

  EXPECT_THAT(rd.lst_dir_2.Lines(), IsEmpty());
  EXPECT_THAT(rd.lst_dir.Lines(), IsEmpty());
  EXPECT_FALSE(rd.btn_r.Enabled());
  EXPECT_FALSE(rd.btn_r_dir2.Enabled());
  EXPECT_FALSE(rd.btn_del.Enabled());
  EXPECT_EQ(rd.ScannedRoot(), "");
  rd.btn_del_Click();
  EXPECT_EQ(Messages().back(), "Please select file to delete!");
  EXPECT_TRUE(os.Exists("F:\\a.lnk"));
  EXPECT_TRUE(os.Exists("F:\\x.exe"));
  EXPECT_TRUE(os.Exists("E:\\a.lnk"));
}

TEST_F(DriveCleaner, ChoosingTheScannedDeviceAgainAfterADeviceRefreshKeepsTheLists) {
  os.AddFile("E:\\a.lnk");
  frm_rd& rd = Open();
  Scan(rd);
  user.Click(rd.btn_rsd);
  user.Choose(rd.cmb_rd, "E:\\");
  EXPECT_THAT(rd.lst_dir_2.Lines(), ElementsAre("a.lnk"));
  Delete(rd);
  EXPECT_FALSE(os.Exists("E:\\a.lnk"));
  EXPECT_EQ(Messages().back(), "Delete complete!");
}

// ---- The lists belong to the scanned medium, not only to its letter ----
//
// A stick pulled out after the scan and another one put in under the same letter: the lists
// still show the first stick's entries, and no command may act on the second one by them.
// Shown on the simulated platform, whose media can be swapped under a letter; under Wine the
// contract suite swaps the medium of a drive letter for real.

constexpr const char* kAnotherDevice =
    "The device in E:\\ is not the one that was scanned. Nothing has been changed. Scan it first.";

class StickSwapTest : public DriveCleaner {
 protected:
  // The scanned stick: a hidden shortcut, autorun.inf and a program for the user to judge.
  frm_rd& ScanFirstStick() {
    os.AddFile("E:\\Photos.lnk", Attr::Hidden);
    os.AddFile("E:\\autorun.inf", Attr::Hidden | Attr::System);
    os.AddFile("E:\\x.exe");
    frm_rd& rd = Open();
    Scan(rd);
    EXPECT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAre("Photos.lnk", "autorun.inf"));
    EXPECT_THAT(rd.lst_dir.Lines(), ElementsAre("x.exe"));
    return rd;
  }
  // The first stick out, kept aside; another one in, with entries of the same kinds and names.
  void PutInSecondStick() {
    os.EjectMedium('E', "first");
    os.InsertNewMedium('E', 0x5EC0ED57u);
    for (const char* path : {"E:\\Photos.lnk", "E:\\autorun.inf", "E:\\x.exe", "E:\\other.exe", "E:\\new.vbs"}) {
      os.AddFile(path, Attr::Hidden);
    }
  }
  void PutBackFirstStick() {
    os.EjectMedium('E', "second");
    os.InsertMedium('E', "first");
  }
  // Nothing on the second stick was deleted or shown.
  void ExpectSecondStickUntouched() {
    for (const char* path : {"E:\\Photos.lnk", "E:\\autorun.inf", "E:\\x.exe", "E:\\other.exe", "E:\\new.vbs"}) {
      EXPECT_EQ(Attributes(path) & 0x07, Attr::Hidden) << path;
    }
  }
};

struct SwapCommand {
  const char* what;
  void (*act)(StickSwapTest&, frm_rd&);
  const char* question;  // the question before the warning, if any
  // What the command did on the scanned stick once it was back (x.exe hidden again before).
  void (*didItsWork)(StickSwapTest&, frm_rd&);
};
void PrintTo(const SwapCommand& c, std::ostream* out) { *out << c.what; }

class SwapCommandTest : public StickSwapTest, public ::testing::WithParamInterface<SwapCommand> {};

TEST_P(SwapCommandTest, OnAnotherStickUnderTheLetterChangesNothingAndSaysSo) {
  const SwapCommand& c = GetParam();
  frm_rd& rd = ScanFirstStick();
  user.Mark(rd.lst_dir, 0);
  PutInSecondStick();
  os.ClearMessageBoxes();

  c.act(*this, rd);

  std::vector<std::string> expected;
  if (c.question != nullptr) expected.push_back(c.question);
  expected.push_back(kAnotherDevice);
  EXPECT_EQ(Messages(), expected);
  EXPECT_EQ(os.MessageBoxes().back().style, MsgStyle::Warning);
  ExpectSecondStickUntouched();
  // The lists still show the scanned stick, whose entries are all still there.
  EXPECT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAre("Photos.lnk", "autorun.inf"));
  EXPECT_THAT(rd.lst_dir.Lines(), ElementsAre("x.exe"));
  EXPECT_EQ(rd.ScannedRoot(), "E:\\");

  // With the scanned stick back in, the same command does its work there.
  PutBackFirstStick();
  os.SetFileAttributesA("E:\\x.exe", Attr::Hidden);
  os.ClearMessageBoxes();
  c.act(*this, rd);
  for (const std::string& text : Messages()) EXPECT_NE(text, kAnotherDevice);
  c.didItsWork(*this, rd);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SwapCommandTest,
    ::testing::Values(
        SwapCommand{"delete", [](StickSwapTest& t, frm_rd& rd) { t.Delete(rd); }, "Are you sure to delete this file(s)?",
                    [](StickSwapTest& t, frm_rd& rd) {
                      EXPECT_EQ(t.Messages().back(), "Delete complete!");
                      for (const char* path : {"E:\\Photos.lnk", "E:\\autorun.inf", "E:\\x.exe"}) {
                        EXPECT_FALSE(t.os.Exists(path)) << path;
                      }
                      EXPECT_THAT(rd.lst_dir_2.Lines(), IsEmpty());
                    }},
        SwapCommand{"virus list refresh", [](StickSwapTest& t, frm_rd& rd) { t.user.Click(rd.btn_r_dir2); }, nullptr,
                    [](StickSwapTest& t, frm_rd& rd) {
                      EXPECT_THAT(t.Messages(), IsEmpty());
                      EXPECT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAre("Photos.lnk", "autorun.inf"));
                    }},
        SwapCommand{"unknown list refresh", [](StickSwapTest& t, frm_rd& rd) { t.user.Click(rd.btn_r); }, nullptr,
                    [](StickSwapTest& t, frm_rd& rd) {
                      EXPECT_THAT(t.Messages(), IsEmpty());
                      EXPECT_THAT(rd.lst_dir.Lines(), ElementsAre("x.exe"));
                    }},
        SwapCommand{"show all hidden files",
                    [](StickSwapTest& t, frm_rd& rd) {
                      t.os.QueueAnswer(Answer::Yes);
                      t.user.Choose(rd.e_sa);
                    },
                    "Are you sure to show all file this device?",
                    [](StickSwapTest& t, frm_rd&) {
                      EXPECT_THAT(t.Messages(), ElementsAre("Are you sure to show all file this device?"));
                      EXPECT_EQ(t.Attributes("E:\\x.exe") & 0x07, 0u);
                    }}));

TEST_F(StickSwapTest, TheScannedStickPutBackIsCleanedAndAScanOfTheOtherOneMakesItsLists) {
  frm_rd& rd = ScanFirstStick();
  PutInSecondStick();
  Delete(rd);
  EXPECT_EQ(Messages().back(), kAnotherDevice);

  // The same stick again: its own serial number, so Delete goes ahead on it.
  PutBackFirstStick();
  os.ClearMessageBoxes();
  Delete(rd);
  EXPECT_THAT(Messages(), ElementsAre("Are you sure to delete this file(s)?", "Delete complete!"));
  EXPECT_FALSE(os.Exists("E:\\Photos.lnk"));
  EXPECT_FALSE(os.Exists("E:\\autorun.inf"));
  EXPECT_TRUE(os.Exists("E:\\x.exe"));

  // A scan of the other stick makes the lists its own.
  os.EjectMedium('E', "first again");
  os.InsertMedium('E', "second");
  os.ClearMessageBoxes();
  Scan(rd);
  EXPECT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAre("Photos.lnk", "autorun.inf", "new.vbs"));
  Delete(rd);
  EXPECT_EQ(Messages().back(), "Delete complete!");
  EXPECT_FALSE(os.Exists("E:\\new.vbs"));
}

TEST_F(StickSwapTest, AStickChangedDuringTheDeletionStopsIt) {
  for (int i = 0; i < 6; ++i) os.AddFile("E:\\v" + std::to_string(i) + ".lnk");
  frm_rd& rd = Open();
  Scan(rd);
  os.ClearMessageBoxes();
  bool swapped = false;
  os.OnFileOperation([&](std::size_t) {
    // Changed once the last shortcut (deleted first) is gone.
    if (!swapped && os.Exists("E:\\") && !os.Exists("E:\\v5.lnk")) {
      swapped = true;
      os.EjectMedium('E', "first");
      os.InsertNewMedium('E', 0x5EC0ED57u);
      for (int i = 0; i < 6; ++i) os.AddFile("E:\\v" + std::to_string(i) + ".lnk", Attr::Hidden);
    }
  });

  Delete(rd);

  ASSERT_TRUE(swapped);
  EXPECT_THAT(Messages(), ElementsAre("Are you sure to delete this file(s)?",
                                      "The device in E:\\ was changed for another one during the deletion. The "
                                      "deletion has stopped; scan the device to see what is on it.",
                                      kDeleteFailed));
  EXPECT_EQ(os.MessageBoxes()[1].style, MsgStyle::Warning);
  // Not one shortcut of the second stick went, and the lists were not rebuilt from it.
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(os.Exists("E:\\v" + std::to_string(i) + ".lnk")) << i;
  EXPECT_THAT(rd.lst_dir_2.Lines(), ElementsAre("v0.lnk", "v1.lnk", "v2.lnk", "v3.lnk", "v4.lnk", "v5.lnk"));
}

// ---- A device that stops answering is never reported as success ----

TEST_F(DriveCleaner, RemovedDeviceAtTheStartOfACommandChangesNothing) {
  struct Start {
    const char* what;
    void (*act)(DriveCleaner&, frm_rd&);
    std::size_t boxes;  // the question, if any, then the warning
  };
  const Start starts[] = {
      {"scan", [](DriveCleaner& t, frm_rd& rd) { t.Scan(rd); }, 2},
      {"delete", [](DriveCleaner& t, frm_rd& rd) { t.Delete(rd); }, 2},
      {"show all",
       [](DriveCleaner& t, frm_rd& rd) {
         t.os.QueueAnswer(Answer::Yes);
         t.user.Choose(rd.e_sa);
       },
       2},
      {"virus list refresh", [](DriveCleaner& t, frm_rd& rd) { t.user.Click(rd.btn_r_dir2); }, 1},
      {"unknown list refresh", [](DriveCleaner& t, frm_rd& rd) { t.user.Click(rd.btn_r); }, 1},
  };
  for (bool removed : {true, false}) {
    for (const Start& start : starts) {
      SCOPED_TRACE(std::string(start.what) + (removed ? " after removal" : " without medium"));
      os.AddDrive('E');
      os.AddFile("E:\\a.lnk", Attr::Hidden);
      os.AddFile("E:\\a.exe");
      frm_rd& rd = Open();
      Scan(rd);
      os.SetFileAttributesA("E:\\a.lnk", Attr::Hidden);
      const auto linesBefore = rd.lst_dir_2.Lines();
      os.ClearMessageBoxes();
      if (removed) {
        os.RemoveDrive('E');
      } else {
        os.SetDriveReady('E', false);
      }

      start.act(*this, rd);

      ASSERT_EQ(os.MessageBoxes().size(), start.boxes);
      const sim::MessageBoxRecord& warning = os.MessageBoxes().back();
      EXPECT_EQ(warning.style, MsgStyle::Warning);
      EXPECT_NE(warning.text.find("E:\\"), std::string::npos);
      EXPECT_EQ(warning.text.find("complete"), std::string::npos);
      EXPECT_EQ(rd.lst_dir_2.Lines(), linesBefore);
      EXPECT_EQ(rd.lst_dir.Lines(), std::vector<std::string>{"a.exe"});
      if (!removed) {
        os.SetDriveReady('E', true);
        EXPECT_EQ(Attributes("E:\\a.lnk") & 0x07, Attr::Hidden);
      }
      user.Click(rd.btn_x);
      os.RemoveDrive('E');
    }
  }
}

TEST_F(DriveCleaner, ScanWhoseListingBreaksOffNeverSaysNoVirus) {
  for (int i = 0; i < 5; ++i) os.AddFolder("E:\\d" + std::to_string(i), Attr::Hidden);
  os.AddFile("E:\\late.lnk");
  os.FailListingAfter("E:\\", 2);
  frm_rd& rd = Open();
  Scan(rd);

  ASSERT_EQ(os.MessageBoxes().size(), 2u);
  EXPECT_EQ(os.MessageBoxes()[1].style, MsgStyle::Warning);
  for (const std::string& text : Messages()) EXPECT_EQ(text.find("Scan complete"), std::string::npos);
  EXPECT_THAT(rd.lst_dir_2.Lines(), IsEmpty());
}

TEST_F(DriveCleaner, DeviceRemovedDuringDeletionStopsWithTheFailureSummary) {
  for (int i = 0; i < 6; ++i) os.AddFile("E:\\v" + std::to_string(i) + ".lnk");
  os.AddFile("E:\\x.exe");
  frm_rd& rd = Open();
  Scan(rd);
  user.Mark(rd.lst_dir, 0);
  os.ClearMessageBoxes();
  bool pulled = false;
  os.OnFileOperation([&](std::size_t) {
    // Pulled out once two shortcuts are gone.
    if (!pulled && os.Exists("E:\\") && !os.Exists("E:\\v5.lnk") && !os.Exists("E:\\v4.lnk")) {
      pulled = true;
      os.RemoveDrive('E');
    }
  });

  Delete(rd);

  ASSERT_TRUE(pulled);
  const auto texts = Messages();
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts.back(), kDeleteFailed);
  EXPECT_EQ(os.MessageBoxes()[texts.size() - 2].style, MsgStyle::Warning);
  for (const std::string& text : texts) EXPECT_NE(text, "Delete complete!");
  // What was not proven deleted is still listed.
  EXPECT_THAT(rd.lst_dir_2.Lines(), ElementsAre("v0.lnk", "v1.lnk", "v2.lnk", "v3.lnk", "v4.lnk"));
  EXPECT_THAT(rd.lst_dir.Lines(), ElementsAre("x.exe"));
}

// ---- Every name works ----

TEST_F(DriveCleaner, AwkwardNamesAreUnhiddenAndDeletedUnderTheirOwnName) {
  const std::string longName = std::string(240, 'n') + ".lnk";
  const std::vector<std::string> names = {"trailing.lnk.", "space.lnk ", "aux.lnk", "nul.lnk", "ছবি.lnk",
                                          "照片.lnk", "😀.lnk", longName};
  for (const std::string& name : names) os.AddFile("E:\\" + name, Attr::Hidden);
  os.AddFile("E:\\trailing", Attr::Hidden);  // what a path losing its dot would hit
  os.AddFolder("E:\\ছবি", Attr::Hidden | Attr::System);
  frm_rd& rd = Open();
  Scan(rd);

  EXPECT_FALSE(Has(Attributes("E:\\ছবি"), Attr::Hidden));
  EXPECT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAre("aux.lnk", "nul.lnk", "ছবি.lnk", "照片.lnk", "😀.lnk", longName));
  // The two names that do not end with an extension after all are shown, not listed.
  EXPECT_FALSE(Has(Attributes("E:\\trailing.lnk."), Attr::Hidden));
  EXPECT_FALSE(Has(Attributes("E:\\space.lnk "), Attr::Hidden));

  Delete(rd);
  EXPECT_EQ(Messages().back(), "Delete complete!");
  for (const std::string& name : {std::string("aux.lnk"), std::string("ছবি.lnk"), longName}) {
    EXPECT_FALSE(os.Exists("E:\\" + name)) << name;
  }
  EXPECT_TRUE(os.Exists("E:\\trailing.lnk."));
  EXPECT_TRUE(os.Exists("E:\\trailing"));
  EXPECT_TRUE(os.Exists("E:\\ছবি"));
}

// A name holding a character Windows refuses in paths ("|", which another system can write on a
// stick) is listed, but no call given its path reaches it: PathFileExistsA answers that it is not
// there although it stayed. The deletion must report it, not count it as gone.
TEST_F(DriveCleaner, ANameRefusedInPathsIsReportedAsNotDeletedInEitherList) {
  os.AddFile("E:\\a | b.lnk", Attr::Hidden);
  os.AddFile("E:\\tool | x.exe");
  os.AddFile("E:\\c.lnk");
  frm_rd& rd = Open();
  Scan(rd);
  ASSERT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAre("a | b.lnk", "c.lnk"));
  ASSERT_THAT(rd.lst_dir.Lines(), ElementsAre("tool | x.exe"));
  user.Mark(rd.lst_dir, 0);
  os.ClearMessageBoxes();

  Delete(rd);

  EXPECT_THAT(Messages(), ElementsAre("Are you sure to delete this file(s)?",
                                      "Cannot delete file 'E:\\a | b.lnk' because file is being used.",
                                      "Cannot delete file 'E:\\tool | x.exe' because file is being used.",
                                      kDeleteFailed));
  EXPECT_TRUE(os.Exists("E:\\a | b.lnk"));
  EXPECT_TRUE(os.Exists("E:\\tool | x.exe"));
  EXPECT_FALSE(os.Exists("E:\\c.lnk"));
  EXPECT_THAT(rd.lst_dir_2.Lines(), ElementsAre("a | b.lnk"));
  EXPECT_THAT(rd.lst_dir.Lines(), ElementsAre("tool | x.exe"));
}

// After deleting a name that no path reaches, only a listing tells whether it stayed. The check
// lists the whole root and compares names: a pattern holding the name itself can be refused,
// and a listing that fails proves nothing, so the entry then counts as not deleted.
TEST_F(DriveCleaner, TheCheckAfterDeletingAnUnreachableNameTrustsNoFailedListing) {
  int listings = 0;
  struct Case {
    const char* what;
    std::function<bool(std::string_view pattern)> fails;
  };
  const Case cases[] = {
      // As Windows answers ERROR_INVALID_NAME for a pattern holding "|".
      {"a pattern holding the name is refused",
       [](std::string_view pattern) { return pattern.find('|') != std::string_view::npos; }},
      // The device does not answer for a moment, right after the deletion.
      {"the first listing after the deletion fails", [&](std::string_view) { return ++listings == 1; }},
  };
  os.AddFile("E:\\a | b.lnk", Attr::Hidden);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    os.AddFile("E:\\c.lnk");
    frm_rd& rd = Open();
    Scan(rd);
    ASSERT_THAT(rd.lst_dir_2.Lines(), UnorderedElementsAre("a | b.lnk", "c.lnk"));
    os.ClearMessageBoxes();
    listings = 0;
    os.FailListingsWhere(c.fails);

    Delete(rd);

    os.FailListingsWhere(nullptr);
    EXPECT_THAT(Messages(), ElementsAre("Are you sure to delete this file(s)?",
                                        "Cannot delete file 'E:\\a | b.lnk' because file is being used.",
                                        kDeleteFailed));
    EXPECT_TRUE(os.Exists("E:\\a | b.lnk"));
    EXPECT_FALSE(os.Exists("E:\\c.lnk"));
    EXPECT_THAT(rd.lst_dir_2.Lines(), ElementsAre("a | b.lnk"));
    user.Click(rd.btn_x);
  }
}

// ---- Showing hidden files ----

TEST_F(DriveCleaner, ShowAllHiddenMakesEveryRootEntryPlainAndLeavesTheListsAlone) {
  os.AddFolder("E:\\System Volume Information", Attr::HiddenSystem);
  os.AddFolder("E:\\$RECYCLE.BIN", Attr::HiddenSystem);
  os.AddFile("E:\\desktop.ini", Attr::HiddenSystem);
  os.AddFolder("E:\\Work", Attr::Hidden | Attr::ReadOnly);
  os.AddFile("E:\\Work\\inner.txt", Attr::Hidden);
  os.AddFile("E:\\a.lnk");
  frm_rd& rd = Open();
  Scan(rd);
  os.SetFileAttributesA("E:\\Work", Attr::Hidden | Attr::ReadOnly);
  os.ClearMessageBoxes();

  os.QueueAnswer(Answer::Yes);
  user.Choose(rd.e_sa);

  EXPECT_THAT(Messages(), ElementsAre("Are you sure to show all file this device?"));
  for (const char* path : {"E:\\System Volume Information", "E:\\$RECYCLE.BIN", "E:\\desktop.ini", "E:\\Work"}) {
    EXPECT_EQ(Attributes(path) & 0x07, 0u) << path;
  }
  EXPECT_EQ(Attributes("E:\\Work\\inner.txt") & 0x07, Attr::Hidden);
  EXPECT_THAT(rd.lst_dir_2.Lines(), ElementsAre("a.lnk"));
  EXPECT_TRUE(rd.chkAD.Checked());
}

TEST_F(DriveCleaner, ShowAllHiddenAsksForADeviceAndCanBeRefused) {
  os.AddFile("E:\\h.txt", Attr::Hidden);
  frm_rd& rd = Open();
  user.Choose(rd.e_sa);
  EXPECT_THAT(Messages(), ElementsAre("Select device first!"));

  user.Choose(rd.cmb_rd, "E:\\");
  os.QueueAnswer(Answer::No);
  user.Choose(rd.e_sa);
  EXPECT_EQ(Attributes("E:\\h.txt") & 0x07, Attr::Hidden);
  EXPECT_EQ(Messages().size(), 2u);
}

// ---- List commands and navigation ----

TEST_F(DriveCleaner, SelectAndDeselectAllWorkOnTheirOwnList) {
  for (int i = 0; i < 5; ++i) {
    os.AddFile("E:\\u" + std::to_string(i) + ".exe");
    os.AddFile("E:\\v" + std::to_string(i) + ".lnk");
  }
  frm_rd& rd = Open();
  Scan(rd);
  user.Click(rd.chkAD);
  user.Click(rd.btn_ds2);
  EXPECT_EQ(rd.lst_dir_2.MarkedCount(), 0);

  user.Click(rd.btn_dir_sa);
  EXPECT_EQ(rd.lst_dir.MarkedCount(), 5);
  EXPECT_EQ(rd.lst_dir_2.MarkedCount(), 0);
  user.Click(rd.btn_s2);
  EXPECT_EQ(rd.lst_dir_2.MarkedCount(), 5);
  user.Click(rd.btn_dir_usa);
  EXPECT_EQ(rd.lst_dir.MarkedCount(), 0);
  EXPECT_EQ(rd.lst_dir_2.MarkedCount(), 5);
  EXPECT_EQ(os.MessageBoxes().size(), 2u);  // the select commands say nothing
}

// The three ways a person leaves the window.
struct WayOut {
  const char* what;
  void (*leave)(ui::User&, frm_rd&);
};
const WayOut kWaysOut[] = {
    {"Back button", [](ui::User& u, frm_rd& rd) { u.Click(rd.btn_x); }},
    {"File > Back", [](ui::User& u, frm_rd& rd) { u.Choose(rd.f_Back); }},
    {"close box", [](ui::User& u, frm_rd& rd) { u.Close(rd); }},
};

TEST_F(DriveCleaner, EveryWayBackReturnsToTheMainWindowOnceAndTheNextOpeningStartsAfresh) {
  os.AddFile("E:\\a.lnk");
  os.AddFile("E:\\b.exe");
  for (const WayOut& way : kWaysOut) {
    SCOPED_TRACE(way.what);
    frm_rd& rd = Open();
    ui::Form& main = app.Get<MainWindow>();
    ASSERT_FALSE(main.Visible());
    ASSERT_FALSE(main.Enabled());
    Scan(rd);
    user.Click(rd.chkAD);
    const std::size_t windowsBefore = host.WindowLog().size();

    way.leave(user, rd);

    EXPECT_FALSE(rd.Loaded());
    EXPECT_TRUE(main.Visible());
    EXPECT_TRUE(main.Enabled());
    EXPECT_THAT(std::vector<std::string>(host.WindowLog().begin() + static_cast<long>(windowsBefore),
                                         host.WindowLog().end()),
                ElementsAre("destroy frm_rd"));

    frm_rd& again = Open();
    EXPECT_THAT(again.lst_dir_2.Lines(), IsEmpty());
    EXPECT_THAT(again.lst_dir.Lines(), IsEmpty());
    EXPECT_TRUE(again.chkAD.Checked());
    EXPECT_EQ(again.cmb_rd.Text(), "");
    EXPECT_FALSE(again.btn_r.Enabled());
    user.Click(again.btn_x);
  }
}

// The hand-over and each way back, call by call: the main window disables, then hides itself,
// then this window loads and shows; leaving hides this window, enables the main window, shows
// it, and this window is destroyed last.
TEST_F(DriveCleaner, HandOverAndEveryWayBackReachTheWindowsInOrder) {
  const auto since = [this](std::size_t from) {
    return std::vector<std::string>(host.FormLog().begin() + static_cast<long>(from), host.FormLog().end());
  };
  ui::Form& main = app.Get<MainWindow>();
  main.Show();
  for (const WayOut& way : kWaysOut) {
    SCOPED_TRACE(way.what);
    std::size_t before = host.FormLog().size();
    app.HandOver<frm_rd>(main);
    EXPECT_THAT(since(before),
                ElementsAre("frm_first disabled", "frm_first hidden", "create frm_rd", "frm_rd caption", "frm_rd shown"));

    before = host.FormLog().size();
    way.leave(user, app.Get<frm_rd>());
    EXPECT_THAT(since(before), ElementsAre("frm_rd hidden", "frm_first enabled", "frm_first shown", "destroy frm_rd"));
  }
}

TEST_F(DriveCleaner, ExitEndsTheProgramWithoutShowingTheMainWindow) {
  frm_rd& rd = Open();
  EXPECT_THROW(user.Choose(rd.f_Exit), sim::ProgramEnded);
  EXPECT_TRUE(os.Ended());
  EXPECT_FALSE(app.Get<MainWindow>().Visible());
}

}  // namespace
}  // namespace tidewick
