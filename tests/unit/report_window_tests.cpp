// The report window (app/report_window.cpp) on the headless host, with the journal composed as
// the program composes it: the simulated platform wrapped in a JournalingPlatform, the journal
// given to the application. Opened from both cleaners' "Extra" menus after they changed things.
#include "app/report_window.h"

#include "computer_cleaner/frm_c.h"
#include "drive_cleaner/frm_rd.h"
#include "platform/journal.h"
#include "platform/simulated/simulated_platform.h"
#include "tests/support/stand_in_windows.h"
#include "ui/form.h"
#include "ui/headless/headless_host.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tidewick {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using sim::RegistryValue;

constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kProfile = "C:\\Users\\u";
constexpr const char* kDocuments = "C:\\Users\\u\\Documents";
constexpr const char* kUndoWarning =
    "Undoing may turn a removed autostart entry back on: its program would start again with Windows.";

class ReportWindow : public ::testing::Test {
 protected:
  ReportWindow() {
    app.SetJournal(&os.Journal());
    stand_in::Register<stand_in::StandInMain>(app);
    stand_in::Register<stand_in::StandInRegistryManager>(app);
    stand_in::Register<frm_rd>(app);
    stand_in::Register<frm_c>(app);
    stand_in::Register<frm_report>(app);

    sim.AddDrive('C');
    sim.AddFolder("C:\\Windows");
    sim.AddFolder("C:\\Program Files");
    sim.AddFolder(kDocuments);
    sim.SetProfileFolder(kProfile);
    sim.AddFolder("C:\\Tidewick");
    sim.AddFile("C:\\Tidewick\\pskill.exe");
    sim.SetCurrentFolder("C:\\Tidewick");
    sim.CreateRegistryKey(Root::CurrentUser, kRun);

    // An infected stick.
    sim.AddDrive('E');
    sim.AddFolder("E:\\Photos", Attr::HiddenSystem);
    sim.AddFile("E:\\Photos.lnk");
    sim.SetFileContent("E:\\Photos.lnk", "LNK");
    sim.AddFile("E:\\x7kq.vbs", Attr::HiddenSystem);
  }

  ui::Form& Main() { return app.Get<stand_in::StandInMain>(); }
  frm_report& Report() { return app.Get<frm_report>(); }

  // "Pen Drive", Scan of E:\ and Delete of the virus list, answering Yes to both questions.
  frm_rd& CleanTheStick() {
    Main().Show();
    app.HandOver<frm_rd>(Main());
    frm_rd& rd = app.Get<frm_rd>();
    user.Choose(rd.cmb_rd, "E:\\");
    sim.QueueAnswer(Answer::Yes);
    user.Click(rd.btn_scan);
    sim.QueueAnswer(Answer::Yes);
    user.Click(rd.btn_del);
    return rd;
  }

  // A running program in the profile folder that an autostart value starts.
  void PutWorm() {
    sim.AddFile(std::string(kProfile) + "\\evil.exe");
    sim.StartProcess("evil.exe", std::string(kProfile) + "\\evil.exe");
    sim.SetRegistryValue(Root::CurrentUser, kRun, "evil", RegistryValue::Text(std::string(kProfile) + "\\evil.exe"));
  }

  // "Computer", Scan and Delete of the worm's autostart line.
  frm_c& CleanTheComputer() {
    PutWorm();
    Main().Show();
    app.HandOver<frm_c>(Main());
    frm_c& c = app.Get<frm_c>();
    user.Click(c.btn_scan);
    user.Mark(c.lst_V, 0);
    sim.QueueAnswer(Answer::Yes);
    user.Click(c.btn_d);
    return c;
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& box : sim.MessageBoxes()) texts.push_back(box.text);
    return texts;
  }

  sim::SimulatedPlatform sim;
  JournalingPlatform os{sim};
  ui::HeadlessHost host;
  ui::Application app{os, host};
  ui::User user;
};

TEST_F(ReportWindow, OpensFromThePenDriveWindowAndOkGivesBack) {
  frm_rd& rd = CleanTheStick();
  ASSERT_EQ(rd.e_1.Children().back(), &rd.e_report) << "the last item of the Extra menu";
  EXPECT_EQ(rd.e_report.Caption(), "Report Of Changes...");

  user.Choose(rd.e_report);
  frm_report& report = Report();
  EXPECT_TRUE(report.Visible());
  EXPECT_EQ(report.Caption(), "Report | Tidewick v3.1");
  EXPECT_FALSE(rd.Visible());
  EXPECT_FALSE(rd.Enabled());
  EXPECT_EQ(report.txt_report.Text(), ReportText(os.Journal()));
  EXPECT_TRUE(report.txt_report.ReadOnly());
  EXPECT_TRUE(report.txt_report.MultiLine());
  EXPECT_TRUE(report.txt_report.VerticalScrollBar());
  EXPECT_THAT(report.txt_report.Text(), HasSubstr("  Scan of E:\\ - 2 hidden entries made visible.\r\n"));
  EXPECT_THAT(report.txt_report.Text(), HasSubstr("  Delete - 1 shortcut and 1 script deleted.\r\n"));
  EXPECT_THAT(report.txt_report.Text(), HasSubstr("    Deleted: E:\\Photos.lnk (3 bytes)\r\n"));

  user.Click(report.btn_ok);
  EXPECT_FALSE(report.Loaded());
  EXPECT_TRUE(rd.Visible());
  EXPECT_TRUE(rd.Enabled());
  EXPECT_EQ(rd.ScannedRoot(), "E:\\") << "the drive cleaner was only hidden meanwhile";
}

TEST_F(ReportWindow, OpensFromTheComputerWindowAndEscGivesBack) {
  frm_c& c = CleanTheComputer();
  ASSERT_EQ(c.ex_0.Children().back(), &c.ex_report);
  user.Choose(c.ex_report);
  frm_report& report = Report();
  EXPECT_TRUE(report.Visible());
  EXPECT_FALSE(c.Visible());
  const std::string text = report.txt_report.Text();
  EXPECT_THAT(text, HasSubstr("  Scan of the computer - Nothing was changed.\r\n"));
  EXPECT_THAT(text, HasSubstr("    Handed to the kill tool: process 1000 (C:\\Users\\u\\evil.exe)"));
  EXPECT_THAT(text, HasSubstr("    Deleted: C:\\Users\\u\\evil.exe (0 bytes)\r\n"));
  EXPECT_THAT(text, HasSubstr("    Registry value HKEY_CURRENT_USER\\" + std::string(kRun) +
                              " \"evil\": REG_SZ \"C:\\Users\\u\\evil.exe\" -> no value\r\n"));
  EXPECT_THAT(text, HasSubstr("  Registry repair - "));

  user.PressEscape(report);
  EXPECT_FALSE(report.Loaded());
  EXPECT_TRUE(c.Visible());
  EXPECT_TRUE(c.Enabled());
}

TEST_F(ReportWindow, KeyboardOrderAndEnter) {
  CleanTheStick();
  user.Choose(app.Get<frm_rd>().e_report);
  frm_report& report = Report();
  EXPECT_EQ(report.btn_ok.TabIndex(), 0) << "the window opens on Ok";
  EXPECT_EQ(report.txt_report.TabIndex(), 1);
  EXPECT_EQ(report.btn_copy.TabIndex(), 2);
  EXPECT_EQ(report.btn_save.TabIndex(), 3);
  EXPECT_EQ(report.btn_undo.TabIndex(), 4);
  EXPECT_EQ(report.DefaultButton(), &report.btn_ok);
  EXPECT_EQ(report.CancelButton(), &report.btn_ok);
  user.PressEnter(report);
  EXPECT_FALSE(report.Loaded());
  EXPECT_TRUE(app.Get<frm_rd>().Visible());
}

TEST_F(ReportWindow, TheCloseBoxGivesBackToo) {
  CleanTheStick();
  user.Choose(app.Get<frm_rd>().e_report);
  user.Close(Report());
  EXPECT_FALSE(Report().Loaded());
  EXPECT_TRUE(app.Get<frm_rd>().Visible());
  EXPECT_TRUE(app.Get<frm_rd>().Enabled());
}

TEST_F(ReportWindow, CopyPutsTheTextOnTheClipboard) {
  CleanTheStick();
  user.Choose(app.Get<frm_rd>().e_report);
  user.Click(Report().btn_copy);
  EXPECT_EQ(sim.ClipboardText(), Report().txt_report.Text());
  EXPECT_THAT(sim.ClipboardText(), HasSubstr("Deleted: E:\\Photos.lnk"));

  sim.HoldClipboard();
  sim.ClearMessageBoxes();
  user.Click(Report().btn_copy);
  EXPECT_THAT(Messages(), ElementsAre("The clipboard is in use by another program. Try again."));
}

TEST_F(ReportWindow, SaveAsWritesOnlyTheChosenFile) {
  CleanTheStick();
  user.Choose(app.Get<frm_rd>().e_report);
  const std::string shown = Report().txt_report.Text();
  const std::vector<std::string> before = sim.EntriesOf(kDocuments);
  const std::vector<std::string> stick = sim.EntriesOf("E:\\");
  sim.ClearMessageBoxes();
  sim.QueueSaveDialogAnswer(std::string(kDocuments) + "\\report.txt");
  user.Click(Report().btn_save);

  EXPECT_THAT(sim.SaveDialogs(), ElementsAre("Tidewick report.txt"));
  EXPECT_EQ(sim.FileContent(std::string(kDocuments) + "\\report.txt"), shown);
  std::vector<std::string> after = sim.EntriesOf(kDocuments);
  EXPECT_THAT(after, ElementsAre("report.txt"));
  EXPECT_TRUE(before.empty());
  EXPECT_EQ(sim.EntriesOf("E:\\"), stick);
  EXPECT_THAT(Messages(), ElementsAre("The report is saved in 'C:\\Users\\u\\Documents\\report.txt'."));
  // Saving is a command of its own, shown at once.
  EXPECT_THAT(Report().txt_report.Text(),
              HasSubstr("    Written: C:\\Users\\u\\Documents\\report.txt (" + std::to_string(shown.size()) + " bytes)"));
}

TEST_F(ReportWindow, ACancelledSaveDialogWritesNothing) {
  CleanTheStick();
  user.Choose(app.Get<frm_rd>().e_report);
  const std::string shown = Report().txt_report.Text();
  const std::size_t commands = os.Journal().Commands().size();
  sim.ClearMessageBoxes();
  sim.QueueSaveDialogAnswer("");
  user.Click(Report().btn_save);
  EXPECT_THAT(sim.EntriesOf(kDocuments), IsEmpty());
  EXPECT_THAT(Messages(), IsEmpty());
  EXPECT_EQ(os.Journal().Commands().size(), commands);
  EXPECT_EQ(Report().txt_report.Text(), shown);
}

TEST_F(ReportWindow, SaveAsReplacesOnlyAFileTheDialogConfirmedAndReportsARefusal) {
  CleanTheStick();
  user.Choose(app.Get<frm_rd>().e_report);
  const std::string chosen = std::string(kDocuments) + "\\old.txt";
  sim.AddFile(chosen);
  sim.SetFileContent(chosen, "old");
  sim.QueueSaveDialogAnswer(chosen);  // the dialog asked, and the user said Yes
  user.Click(Report().btn_save);
  EXPECT_THAT(*sim.FileContent(chosen), HasSubstr("Deleted: E:\\Photos.lnk"));
  EXPECT_THAT(Report().txt_report.Text(), HasSubstr("replacing the file"));

  sim.ClearMessageBoxes();
  sim.QueueSaveDialogAnswer("C:\\Missing\\r.txt");
  user.Click(Report().btn_save);
  EXPECT_THAT(Messages(), ElementsAre("The report could not be saved in 'C:\\Missing\\r.txt': The system cannot find "
                                      "the path specified. (error 3)"));
  EXPECT_EQ(sim.MessageBoxes().back().style, MsgStyle::Critical);
  EXPECT_FALSE(sim.Exists("C:\\Missing\\r.txt"));
}

TEST_F(ReportWindow, UndoAsksAndPutsTheRegistryBack) {
  sim.SetRegistryValue(Root::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced",
                       "Hidden", RegistryValue::Dword(2));
  CleanTheComputer();
  ASSERT_FALSE(sim.RegistryValueAt(Root::CurrentUser, kRun, "evil").has_value());
  user.Choose(app.Get<frm_c>().ex_report);
  frm_report& report = Report();

  // No: nothing changes.
  sim.ClearMessageBoxes();
  sim.QueueAnswer(Answer::No);
  user.Click(report.btn_undo);
  ASSERT_EQ(sim.MessageBoxes().size(), 1u);
  const sim::MessageBoxRecord question = sim.MessageBoxes()[0];
  EXPECT_EQ(question.style, MsgStyle::YesNoQuestion);
  EXPECT_THAT(question.text, HasSubstr(kUndoWarning));
  // The autostart value first; the box names eight values and counts the rest, and the keys.
  EXPECT_THAT(question.text, HasSubstr("Undo Registry Changes puts back 14 registry values this run changed, as before "
                                       "its first change:\r\n\r\nHKEY_CURRENT_USER\\" +
                                       std::string(kRun) + " \"evil\": back to REG_SZ \"C:\\Users\\u\\evil.exe\"\r\n"));
  EXPECT_THAT(question.text, HasSubstr("\"DisableCMD\": deleted (there was no such value before)\r\n"));
  EXPECT_THAT(question.text, HasSubstr("\r\n... and 6 more (the report lists them).\r\n"));
  EXPECT_THAT(question.text, HasSubstr("It also removes the 23 registry keys this run created, when nothing else is in them."));
  EXPECT_EQ(std::count(question.text.begin(), question.text.end(), '\n'), 16) << question.text;
  EXPECT_FALSE(sim.RegistryValueAt(Root::CurrentUser, kRun, "evil").has_value());

  // Yes: every value as before the run, the keys it created gone, and the undo in the report.
  const std::size_t valuesBefore = sim.RegistryValueCount(Root::LocalMachine);
  EXPECT_GT(valuesBefore, 0u) << "the repair wrote under HKEY_LOCAL_MACHINE";
  sim.ClearMessageBoxes();
  sim.QueueAnswer(Answer::Yes);
  user.Click(report.btn_undo);
  EXPECT_THAT(Messages().back(), "The registry changes of this run are undone.");
  const auto evil = sim.RegistryValueAt(Root::CurrentUser, kRun, "evil");
  ASSERT_TRUE(evil.has_value());
  EXPECT_EQ(evil->data, RegistryValue::Text(std::string(kProfile) + "\\evil.exe").data);
  const auto hidden = sim.RegistryValueAt(Root::CurrentUser,
                                          "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "Hidden");
  ASSERT_TRUE(hidden.has_value());
  EXPECT_EQ(hidden->data, RegistryValue::Dword(2).data);
  EXPECT_EQ(sim.RegistryValueCount(Root::LocalMachine), 0u);
  EXPECT_FALSE(sim.RegistryKeyExists(Root::LocalMachine, "Software\\Policies"));
  EXPECT_FALSE(sim.RegistryKeyExists(Root::CurrentUser, "Software\\Policies"));
  EXPECT_TRUE(sim.RegistryKeyExists(Root::CurrentUser, kRun));
  EXPECT_THAT(report.txt_report.Text(), HasSubstr("  Undo Registry Changes - "));

  // Nothing is left to undo.
  sim.ClearMessageBoxes();
  user.Click(report.btn_undo);
  EXPECT_THAT(Messages(), ElementsAre("There are no registry changes to undo."));
  EXPECT_EQ(sim.MessageBoxes()[0].style, MsgStyle::Information);
}

TEST_F(ReportWindow, NothingToUndoAfterAStickOnly) {
  CleanTheStick();
  user.Choose(app.Get<frm_rd>().e_report);
  sim.ClearMessageBoxes();
  user.Click(Report().btn_undo);
  EXPECT_THAT(Messages(), ElementsAre("There are no registry changes to undo."));
}

TEST_F(ReportWindow, ShowAllHiddenFilesIsACommandOfItsOwn) {
  Main().Show();
  app.HandOver<frm_rd>(Main());
  frm_rd& rd = app.Get<frm_rd>();
  user.Choose(rd.cmb_rd, "E:\\");
  sim.QueueAnswer(Answer::Yes);
  user.Choose(rd.e_sa);
  user.Choose(rd.e_report);
  EXPECT_THAT(Report().txt_report.Text(), HasSubstr("  Show all hidden files of E:\\ - 2 hidden entries made visible.\r\n"));
}

TEST_F(ReportWindow, TheComputerWindowOffersTheReportOnlyWhenNoDeletionRuns) {
  PutWorm();
  Main().Show();
  app.HandOver<frm_c>(Main());
  frm_c& c = app.Get<frm_c>();
  user.Click(c.btn_scan);
  EXPECT_TRUE(c.ex_report.Usable());
  user.Mark(c.lst_V, 0);
  bool usableDuringDeletion = true;
  sim.OnDoEvents([&] { usableDuringDeletion = c.ex_report.Enabled(); });
  sim.QueueAnswer(Answer::Yes);
  user.Click(c.btn_d);
  EXPECT_FALSE(usableDuringDeletion);
  EXPECT_TRUE(c.ex_report.Usable());
}

TEST_F(ReportWindow, WithoutAJournalTheWindowSaysSo) {
  app.SetJournal(nullptr);
  Main().Show();
  app.HandOver<frm_report>(Main());
  EXPECT_EQ(Report().txt_report.Text(), "Tidewick keeps no record of changes in this run.\r\n");
  sim.ClearMessageBoxes();
  user.Click(Report().btn_undo);
  EXPECT_THAT(Messages(), ElementsAre("There are no registry changes to undo."));
}

}  // namespace
}  // namespace tidewick
