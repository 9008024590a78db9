// tidewick.exe under Wine, worked from outside as a person would: start-up with and without the
// kill tool, the single instance, Exit, the web pages, and the information windows (about,
// history, help picture) with their ways back to the main window.
#include "tests/e2e/driver/driver.h"
#include "tests/e2e/tidewick_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace tidewick::e2e {
namespace {

using app::kMainMenu;
using app::kMainTitle;

// Every visible top-level window of the process, as "class 'title'".
std::vector<std::string> ShownBy(const Process& process) {
  std::vector<std::string> shown;
  for (const WindowInfo& w : TopLevelWindows(process.Id())) shown.push_back(w.className + " '" + w.title + "'");
  return shown;
}

// The pages recorded after the first `before` ones, once `count` of them have come.
std::vector<env::OpenedPage> NewPages(std::size_t before, std::size_t count) {
  std::vector<env::OpenedPage> pages;
  WaitUntil([&] {
    pages = env::OpenedPages();
    return pages.size() >= before + count;
  });
  EXPECT_EQ(pages.size(), before + count) << "pages opened:\n" << env::DescribeOpenedPages();
  return std::vector<env::OpenedPage>(pages.begin() + static_cast<std::ptrdiff_t>(std::min(before, pages.size())),
                                      pages.end());
}

// The main window as the hand-over leaves it while another window is open: hidden and disabled.
void ExpectHandedOver(const Window& main) {
  main.WaitHidden();
  EXPECT_FALSE(main.Enabled()) << "the main window stays disabled while another window is open";
}

// The main window back after a window returned: visible and enabled.
void ExpectBack(const Window& main) {
  WaitFor([&] { return main.Visible() && main.Enabled(); }, "the main window to be visible and enabled again");
  EXPECT_TRUE(main.Button("Pen Drive").Usable());
}

// ---------------------------------------------------------------------------------------------
// Start-up

TEST(Startup, WithTheKillToolBesideShowsTheMainWindowWithoutAQuestion) {
  app::Running tidewick = app::Start(app::MakeFolder(true));
  const Window& main = tidewick.main;
  Pause(Ms(500));  // time for a box that should not come
  EXPECT_EQ(ShownBy(tidewick.process), (std::vector<std::string>{main.ClassName() + " '" + kMainTitle + "'"}));
  EXPECT_TRUE(main.Enabled());

  EXPECT_TRUE(main.Button("Pen Drive").Usable());
  EXPECT_TRUE(main.Button("Computer").Usable());
  Control version = main.Label("v3.1");
  EXPECT_TRUE(version.Visible());
  // The version label sits at the bottom right, right of and below the two buttons.
  RECT client{};
  GetClientRect(main.Handle(), &client);
  EXPECT_GT(version.Info().rect.left, main.Button("Computer").Info().rect.left);
  EXPECT_GT(version.Info().rect.top, main.Button("Computer").Info().rect.bottom);
  EXPECT_LT(main.Button("Pen Drive").Info().rect.left, main.Button("Computer").Info().rect.left);
  main.Screenshot("main-window");

  // "Update" is greyed: choosing it opens nothing, and the main window stays as it was.
  if (main.MenuReadable()) {
    EXPECT_THROW(main.ChooseMenu(kMainMenu, "Help", "Update"), DriverError);
  } else {
    main.ChooseMenu(kMainMenu, "Help", "Update");
  }
  Pause(Ms(700));
  EXPECT_TRUE(WindowsByTitle("Update", tidewick.process.Id(), true).empty());
  EXPECT_TRUE(main.Visible());
  EXPECT_TRUE(main.Enabled());
}

TEST(Startup, WithoutTheKillToolAsksAndNoDisablesComputerForTheRun) {
  Process tidewick = app::Launch(app::MakeFolder(false));
  MsgBox box = WaitForMessageBox(tidewick.Id(), app::kBoxTitle);
  EXPECT_EQ(box.Text(), app::kMissingKillTool);
  EXPECT_EQ(box.Buttons(), (std::vector<std::string>{"Yes", "No"}));
  EXPECT_FALSE(FindWindowByTitle(kMainTitle, tidewick.Id()).has_value()) << "the main window shows after the question";
  box.Screenshot("question-kill-tool-missing");

  box.Answer("No");
  Window main = WaitForWindow(kMainTitle, tidewick.Id());
  EXPECT_TRUE(WaitUntil([&] { return main.Enabled(); }));
  EXPECT_FALSE(main.Button("Computer").Enabled());
  EXPECT_TRUE(main.Button("Computer").Visible());
  EXPECT_TRUE(main.Button("Pen Drive").Usable());
  main.Screenshot("main-window-computer-disabled");
  EXPECT_THROW(main.Click("Computer"), DriverError);
  Pause(Ms(300));
  EXPECT_FALSE(FindWindowByTitle(app::kComputerTitle, tidewick.Id()).has_value());

  // The rest of the program works: an information window and back leave "Computer" greyed.
  main.ChooseMenu(kMainMenu, "Help", "About");
  Window about = WaitForWindow(app::kAboutTitle, tidewick.Id());
  about.Click("Ok");
  ExpectBack(main);
  EXPECT_FALSE(main.Button("Computer").Enabled());
  EXPECT_TRUE(tidewick.Running());
}

TEST(Startup, WithoutTheKillToolYesOpensTheDownloadPageAndEndsWithoutAWindow) {
  // The download page, as "Download new version" opens it.
  const std::size_t before = env::OpenedPages().size();
  {
    app::Running reference = app::Start(app::MakeFolder(true, ".reference"));
    reference.main.ChooseMenu(kMainMenu, "Help", "Download new version");
    NewPages(before, 1);
  }
  const std::string download = env::OpenedPages().at(before).address;

  Process tidewick = app::Launch(app::MakeFolder(false));
  MsgBox box = WaitForMessageBox(tidewick.Id(), app::kBoxTitle);
  EXPECT_EQ(box.Text(), app::kMissingKillTool);
  box.Answer("Yes");
  ExitReport report = tidewick.WaitForExitWatching();
  ASSERT_TRUE(report.exited) << "the program keeps running after Yes";
  EXPECT_LT(report.exitCode, 0xC0000000u) << "the program crashed";
  for (const std::string& shown : report.shown) {
    EXPECT_EQ(shown.find(kMainTitle), std::string::npos) << "the main window was shown: " << shown;
  }

  std::vector<env::OpenedPage> pages = NewPages(before + 1, 1);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].address, download);
  EXPECT_EQ(pages[0].showMode, SW_SHOWMAXIMIZED);
}

TEST(Startup, KillToolBesideTheProgramButAnotherWorkingFolderCountsAsMissing) {
  std::string folder = app::MakeFolder(true);
  std::string elsewhere = env::MakeWorkFolder("Startup.elsewhere");
  Process tidewick = app::Launch(folder, elsewhere);
  MsgBox box = WaitForMessageBox(tidewick.Id(), app::kBoxTitle);
  EXPECT_EQ(box.Text(), app::kMissingKillTool);
  box.Answer("No");
  Window main = WaitForWindow(kMainTitle, tidewick.Id());
  EXPECT_FALSE(main.Button("Computer").Enabled());
}

TEST(Startup, ASecondInstanceEndsSilentlyAndTheFirstStays) {
  std::string folder = app::MakeFolder(true);
  app::Running first = app::Start(folder);

  Process second = app::Launch(folder);
  ExitReport report = second.WaitForExitWatching();
  ASSERT_TRUE(report.exited) << "the second instance keeps running";
  EXPECT_TRUE(report.shown.empty()) << "the second instance showed: " << report.shown.front();
  EXPECT_LT(report.exitCode, 0xC0000000u) << "the second instance crashed";

  // It ends before its kill-tool check: started where pskill.exe is missing, it asks nothing.
  std::string bare = app::MakeFolder(false, ".bare");
  Process third = app::Launch(bare);
  report = third.WaitForExitWatching();
  ASSERT_TRUE(report.exited) << "the instance without the kill tool keeps running";
  EXPECT_TRUE(report.shown.empty()) << "the instance without the kill tool showed: " << report.shown.front();

  EXPECT_TRUE(first.process.Running());
  EXPECT_TRUE(first.main.Visible());
  EXPECT_TRUE(first.main.Enabled());
  EXPECT_EQ(WindowsByTitle(kMainTitle).size(), 1u);
  EXPECT_TRUE(first.main.Button("Computer").Usable());
}

// ---------------------------------------------------------------------------------------------
// The main window

TEST(MainWindow, ExitEndsTheProgramAtOnceEvenWithAHiddenWindowLoaded) {
  app::Running tidewick = app::Start(app::MakeFolder(true));
  // About, then Ok: the about window stays loaded and hidden.
  tidewick.main.ChooseMenu(kMainMenu, "Help", "About");
  Window about = WaitForWindow(app::kAboutTitle, tidewick.process.Id());
  about.Click("Ok");
  ExpectBack(tidewick.main);
  ASSERT_TRUE(about.Exists());

  tidewick.main.ChooseMenu(kMainMenu, "File", "Exit");
  ExitReport report = tidewick.process.WaitForExitWatching();
  ASSERT_TRUE(report.exited) << "Exit did not end the program";
  EXPECT_LT(report.exitCode, 0xC0000000u) << "the program crashed";
  for (const std::string& shown : report.shown) {
    EXPECT_NE(shown.find(kMainTitle), std::string::npos) << "a window came up on Exit: " << shown;
  }
}

TEST(MainWindow, ClosingTheMainWindowEndsTheProgram) {
  app::Running tidewick = app::Start(app::MakeFolder(true));
  tidewick.main.Close();
  ExitReport report = tidewick.process.WaitForExitWatching();
  ASSERT_TRUE(report.exited) << "closing the main window did not end the program";
  EXPECT_LT(report.exitCode, 0xC0000000u) << "the program crashed";
}

TEST(MainWindow, PagesOpenMaximizedAndTheVersionLabelDoesWhatDownloadDoes) {
  app::Running tidewick = app::Start(app::MakeFolder(true));
  const Window& main = tidewick.main;
  const std::size_t before = env::OpenedPages().size();
  main.ChooseMenu(kMainMenu, "Help", "Download new version");
  NewPages(before, 1);
  main.Label("v3.1").ClickLabel();
  NewPages(before, 2);
  main.ChooseMenu(kMainMenu, "Help", "Infomation About 'Shortcut Virus'");
  NewPages(before, 3);
  main.ChooseMenu(kMainMenu, "Help", "How To Use This Program?");
  NewPages(before, 4);
  main.ChooseMenu(kMainMenu, "Help", "Comment About This Program");
  NewPages(before, 5);
  // The credit line: the label at the bottom left, left of the version label.
  std::optional<Control> credit;
  for (const ControlInfo& c : main.Controls()) {
    if (c.kind == ControlKind::Label && c.text != "v3.1" && !c.text.empty()) credit = Control(c.hwnd);
  }
  ASSERT_TRUE(credit.has_value()) << main.DescribeControls();
  credit->ClickLabel();
  std::vector<env::OpenedPage> pages = NewPages(before, 6);
  ASSERT_EQ(pages.size(), 6u);

  EXPECT_EQ(pages[1].address, pages[0].address) << "the version label opens the download page";
  std::set<std::string> distinct;
  for (const env::OpenedPage& page : pages) {
    EXPECT_EQ(page.showMode, SW_SHOWMAXIMIZED) << page.address;
    EXPECT_EQ(page.address.rfind("http", 0), 0u) << page.address;
    distinct.insert(page.address);
  }
  EXPECT_EQ(distinct.size(), 5u) << "download, the malware, how-to, comment and the author's page differ";
  EXPECT_TRUE(tidewick.process.Running());
  EXPECT_TRUE(main.Visible());
  EXPECT_TRUE(main.Enabled());
}

// ---------------------------------------------------------------------------------------------
// Information windows

TEST(InformationWindows, AboutHidesTheMainWindowAndOkOrTheCloseBoxReturns) {
  app::Running tidewick = app::Start(app::MakeFolder(true));
  const Window& main = tidewick.main;
  const DWORD pid = tidewick.process.Id();

  main.ChooseMenu(kMainMenu, "Help", "About");
  Window about = WaitForWindow(app::kAboutTitle, pid);
  ExpectHandedOver(main);
  EXPECT_TRUE(about.Label("Tidewick").Visible());
  EXPECT_TRUE(about.Label("v3.1").Visible());
  EXPECT_TRUE(about.Label("Thanks To:").Visible());
  std::string thanks = about.TextBox().Text();
  EXPECT_FALSE(thanks.empty());
  EXPECT_TRUE(about.TextBox().Style() & ES_READONLY);
  EXPECT_TRUE(about.Find(ControlQuery(ControlKind::Picture)).Visible()) << about.DescribeControls();
  about.Screenshot("about");

  about.Click("Ok");
  about.WaitHidden();
  ExpectBack(main);

  // Again: the same window and content, the main window handed over again.
  main.ChooseMenu(kMainMenu, "Help", "About");
  Window again = WaitForWindow(app::kAboutTitle, pid);
  ExpectHandedOver(main);
  EXPECT_EQ(again.TextBox().Text(), thanks);
  EXPECT_TRUE(again.Label("v3.1").Visible());
  EXPECT_EQ(WindowsByTitle(app::kAboutTitle, pid, true).size(), 1u);

  // The close box does what Ok does.
  again.Close();
  WaitFor([&] { return !again.Exists() || !again.Visible(); }, "the about window to close");
  ExpectBack(main);
  EXPECT_TRUE(tidewick.process.Running());
}

TEST(InformationWindows, HistoryShowsTheVersionHistoryAndReturns) {
  app::Running tidewick = app::Start(app::MakeFolder(true));
  const Window& main = tidewick.main;
  const DWORD pid = tidewick.process.Id();

  main.ChooseMenu(kMainMenu, "Help", "History");
  Window history = WaitForWindow(app::kHistoryTitle, pid);
  ExpectHandedOver(main);
  Control box = history.TextBox();
  std::string text = box.Text();
  EXPECT_EQ(Wide(text).size(), 1091u);
  EXPECT_EQ(text.rfind("[3.1]\r\n-Computer\r\n  change design.\r\n  and more.\r\n\r\n-Pen Drive\r\n  change design.\r\n"
                      "  and more.\r\n\r\n-Other\r\n  -fix error.\r\n",
                      0),
            0u)
      << text;
  const std::string lastLine = "  add 'History' at menu.\r\n";
  ASSERT_GE(text.size(), lastLine.size());
  EXPECT_EQ(text.substr(text.size() - lastLine.size()), lastLine);
  std::size_t at = 0;
  for (const char* version : {"[3.1]", "[3.0]", "[2.4]", "[2.3]", "[2.2]", "[2.1]"}) {
    std::size_t found = text.find(version, at);
    EXPECT_NE(found, std::string::npos) << version << " missing or out of order";
    if (found != std::string::npos) at = found;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "a line ends without CR LF at " << i;
    }
  }
  EXPECT_TRUE(box.Style() & ES_READONLY) << "the history cannot be edited";
  EXPECT_TRUE(box.Style() & WS_VSCROLL);
  EXPECT_TRUE(history.Button("Ok").Usable());
  history.Screenshot("history");

  // The close box returns as Ok does; the next opening loads the window again.
  history.Close();
  WaitFor([&] { return !history.Exists() || !history.Visible(); }, "the history window to close");
  ExpectBack(main);

  main.ChooseMenu(kMainMenu, "Help", "History");
  Window again = WaitForWindow(app::kHistoryTitle, pid);
  ExpectHandedOver(main);
  EXPECT_EQ(again.TextBox().Text(), text);
  again.Click("Ok");
  again.WaitHidden();
  ExpectBack(main);
}

TEST(InformationWindows, HelpPictureOpensOverTheMainWindowWhichStaysUsable) {
  app::Running tidewick = app::Start(app::MakeFolder(true));
  const Window& main = tidewick.main;
  const DWORD pid = tidewick.process.Id();

  main.ChooseMenu(kMainMenu, "Help", "How To 'Run As Administrator'?");
  Window help = WaitForWindow(app::kHelpTitle, pid);
  Pause(Ms(300));
  EXPECT_TRUE(main.Visible()) << "the main window stays visible under the help picture";
  EXPECT_TRUE(main.Enabled()) << "the main window stays enabled under the help picture";
  Control frame = help.Find({ControlKind::Frame, "How To 'Run As Administrator'?"});
  EXPECT_TRUE(frame.Visible());
  EXPECT_TRUE(help.Find({ControlKind::Picture, "", "How To 'Run As Administrator'?"}).Visible()) << help.DescribeControls();
  EXPECT_TRUE(help.Button("Back").Usable());
  help.Screenshot("help-picture");

  // Chosen again while it is open: the same window, not a second one.
  main.ChooseMenu(kMainMenu, "Help", "How To 'Run As Administrator'?");
  Pause(Ms(500));
  std::vector<Window> helps = WindowsByTitle(app::kHelpTitle, pid, true);
  ASSERT_EQ(helps.size(), 1u);
  EXPECT_EQ(helps[0].Handle(), help.Handle());
  EXPECT_TRUE(help.Visible());

  help.Click("Back");
  help.WaitHidden();
  EXPECT_TRUE(main.Visible());
  EXPECT_TRUE(main.Enabled());
  EXPECT_TRUE(main.Button("Computer").Usable());
}

}  // namespace
}  // namespace tidewick::e2e
