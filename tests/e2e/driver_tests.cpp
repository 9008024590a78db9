// The driver's own tests: it works the small test window (testwin/testwin.cpp) from this
// process, the way the scenarios work tidewick.exe. The test window writes every effect into
// its "Status" frame, so each action is checked by what it did on the screen.
#include "tests/e2e/driver/driver.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <iterator>
#include <set>

namespace tidewick::e2e {
namespace {

const MenuBar kTestMenu = {
    {"File", {"Press Again", "-", "Greyed Item", "Exit"}},
    {"Tools", {"First Tool", "-", "-", "Second Tool", "Ask"}},
};

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// The message of the DriverError that `action` throws; fails the test when it throws none.
template <typename Action>
std::string ErrorOf(Action action) {
  try {
    action();
  } catch (const DriverError& error) {
    return error.what();
  }
  ADD_FAILURE() << "the driver did not refuse";
  return {};
}

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = env::MakeWorkFolder(TestName(), {"e2e_testwin.exe"});
    app_ = Process::Launch(Program(), folder_);
    main_ = WaitForWindow("Driver Test", app_.Id());
  }

  std::string Program() const { return folder_ + "\\e2e_testwin.exe"; }
  std::string Status() const { return main_.Find({ControlKind::Label, "", "Status"}).Text(); }
  void WaitStatus(const std::string& expected) const {
    WaitFor([&] { return Status() == expected; }, "the status '" + expected + "' (it reads '" + Status() + "')");
  }

  std::string folder_;
  Process app_;
  Window main_;
};

TEST_F(DriverTest, ListsTheControlsAsAPersonSeesThem) {
  EXPECT_EQ(main_.Title(), "Driver Test");
  EXPECT_TRUE(main_.Visible());
  EXPECT_TRUE(main_.Enabled());
  EXPECT_EQ(main_.ProcessId(), app_.Id());

  std::map<std::string, ControlInfo> byText;
  for (const ControlInfo& c : main_.Controls()) byText.emplace(c.text, c);
  ASSERT_TRUE(byText.count("&Press")) << main_.DescribeControls();
  EXPECT_EQ(byText["&Press"].kind, ControlKind::PushButton);
  EXPECT_TRUE(byText["&Press"].enabled);
  EXPECT_TRUE(byText["&Press"].visible);
  EXPECT_EQ(byText["&Press"].className, "Button");
  EXPECT_EQ(byText["&Press"].id, 101);
  EXPECT_LT(byText["&Press"].rect.left, byText["&Press"].rect.right);
  EXPECT_FALSE(byText["Greyed"].enabled);
  EXPECT_EQ(byText["Option"].kind, ControlKind::CheckBox);
  EXPECT_EQ(byText["Lists"].kind, ControlKind::Frame);
  EXPECT_EQ(byText["Open link"].kind, ControlKind::Label);

  // The program runs in the folder it was started in.
  std::string cwd = main_.Label("cwd=" + folder_).Text();
  EXPECT_EQ(cwd, "cwd=" + folder_);

  // A caption matches with or without its shortcut marker; kinds keep check boxes apart.
  EXPECT_EQ(main_.Button("Press").Handle(), main_.Button("&Press").Handle());
  EXPECT_FALSE(main_.TryFind({ControlKind::PushButton, "Option"}).has_value());
  std::string missing = ErrorOf([&] { main_.Button("No Such Button"); });
  EXPECT_NE(missing.find("Open link"), std::string::npos) << "the failure lists the controls: " << missing;
}

TEST_F(DriverTest, ClicksButtonsAndRefusesWhatAPersonCouldNotClick) {
  main_.Click("Press");
  WaitStatus("pressed 1");
  main_.Button("Press").Click();
  WaitStatus("pressed 2");

  std::string refusal = ErrorOf([&] { main_.Click("Greyed"); });
  EXPECT_NE(refusal.find("disabled"), std::string::npos) << refusal;
  Pause(Ms(300));
  EXPECT_EQ(Status(), "pressed 2") << "a disabled button must not receive the click";

  // A hidden window's buttons cannot be clicked either.
  main_.Click("Hide for a while");
  Window second = WaitForWindow("Second Window", app_.Id());
  main_.WaitHidden();
  refusal = ErrorOf([&] { main_.Click("Press"); });
  EXPECT_NE(refusal.find("hidden"), std::string::npos) << refusal;
  second.Click("Back");
  WaitFor([&] { return main_.Visible(); }, "the main window to come back");
  WaitStatus("back");
  EXPECT_FALSE(second.Visible());
}

TEST_F(DriverTest, FramesTellControlsWithTheSameCaptionApart) {
  main_.Button("Press", "Lists").Click();
  WaitStatus("framed press");
  main_.Find({ControlKind::PushButton, "Press", "", 1}).Click();
  WaitStatus("framed press");
  main_.Find({ControlKind::PushButton, "Press", "", 0}).Click();
  WaitStatus("pressed 1");
  EXPECT_FALSE(main_.TryFind({ControlKind::PushButton, "Ask", "Lists"}).has_value());
  EXPECT_FALSE(main_.TryFind({ControlKind::PushButton, "Press", "No Such Frame"}).has_value());
}

TEST_F(DriverTest, ClicksLinkLabelsAndTicksCheckBoxes) {
  main_.Label("Open link").ClickLabel();
  WaitStatus("link");
  std::string refusal = ErrorOf([&] { main_.Label("Plain").ClickLabel(); });
  EXPECT_NE(refusal.find("SS_NOTIFY"), std::string::npos) << refusal;

  Control option = main_.CheckBox("Option");
  EXPECT_FALSE(option.Checked());
  option.SetChecked(true);
  EXPECT_TRUE(option.Checked());
  WaitStatus("option 1");
  option.SetChecked(false);
  WaitStatus("option 0");
}

TEST_F(DriverTest, ChoosesInADropDownList) {
  Control combo = main_.ComboBox();
  EXPECT_EQ(combo.Items(), (std::vector<std::string>{"A:\\", "E:\\", "F:\\"}));
  EXPECT_EQ(combo.Selection(), -1);
  EXPECT_EQ(combo.SelectionText(), "");
  combo.Choose("E:\\");
  WaitStatus("chose E:\\");
  EXPECT_EQ(combo.SelectionText(), "E:\\");
  std::string refusal = ErrorOf([&] { combo.Choose("Q:\\"); });
  EXPECT_NE(refusal.find("F:\\"), std::string::npos) << "the failure lists the items: " << refusal;
}

TEST_F(DriverTest, ReadsAndMarksCheckBoxListsInAnotherProcess) {
  Control list = main_.CheckList("Lists");
  const std::string unicodeLine = "\u00fcn\u00ef \u2603 \u540d\u524d";
  EXPECT_EQ(list.Lines(), (std::vector<ListLine>{{"alpha", false}, {"beta", false}, {"gamma", false}, {unicodeLine, false}}));

  list.SetMark(1, true);
  WaitStatus("marks 0100");
  list.SetMark(unicodeLine, true);
  WaitStatus("marks 0101");
  EXPECT_EQ(list.Lines(), (std::vector<ListLine>{{"alpha", false}, {"beta", true}, {"gamma", false}, {unicodeLine, true}}));
  list.SetMark("beta", false);
  WaitStatus("marks 0001");

  std::string refusal = ErrorOf([&] { list.SetMark("delta", true); });
  EXPECT_NE(refusal.find("gamma"), std::string::npos) << "the failure lists the lines: " << refusal;

  Control locked = main_.CheckList("Locked");
  EXPECT_EQ(locked.Lines(), (std::vector<ListLine>{{"kept", false}}));
  refusal = ErrorOf([&] { locked.SetMark(0, true); });
  EXPECT_NE(refusal.find("disabled"), std::string::npos) << refusal;
  EXPECT_EQ(locked.Lines(), (std::vector<ListLine>{{"kept", false}}));

  EXPECT_EQ(main_.TextBox().Text(), "line one\r\nline two\r\n");
}

TEST_F(DriverTest, ReadsTablesAndProgressBarsAndClicksTableHeaders) {
  Process tables = Process::Launch(Program(), folder_, "--table");
  Window window = WaitForWindow("Driver Table", tables.Id());
  auto status = [&] { return window.Find({ControlKind::Label}).Text(); };
  auto waitStatus = [&](const std::string& expected) {
    WaitFor([&] { return status() == expected; }, "the status '" + expected + "' (it reads '" + status() + "')");
  };

  Control table = window.CheckTable();
  EXPECT_EQ(table.Kind(), ControlKind::CheckTable);
  EXPECT_EQ(table.Headers(), (std::vector<std::string>{"Name", "Size", "Found in"}));
  const std::string unicodeName = "\u540d\u524d.lnk";
  EXPECT_EQ(table.Cells(0), (std::vector<std::string>{"x.vbs", "Photos.lnk", unicodeName}));
  EXPECT_EQ(table.Cells(2), (std::vector<std::string>{"E:\\", "E:\\DCIM", "E:\\"}));
  EXPECT_EQ(table.Lines(), (std::vector<ListLine>{{"x.vbs", false}, {"Photos.lnk", false}, {unicodeName, false}}));
  // A list without headers stays a check-box list.
  EXPECT_EQ(main_.CheckList("Lists").Kind(), ControlKind::CheckList);

  table.SetMark("Photos.lnk", true);
  waitStatus("marks 010");
  table.ClickHeader(1);
  waitStatus("header 1");
  table.ClickHeader(0);
  waitStatus("header 0");
  std::string refusal = ErrorOf([&] { table.ClickHeader(3); });
  EXPECT_NE(refusal.find("3 columns"), std::string::npos) << refusal;

  Control locked = window.CheckTable("", 1);
  refusal = ErrorOf([&] { locked.ClickHeader(0); });
  EXPECT_NE(refusal.find("disabled"), std::string::npos) << refusal;
  refusal = ErrorOf([&] { locked.SetMark(0, true); });
  EXPECT_NE(refusal.find("disabled"), std::string::npos) << refusal;

  Control progress = window.ProgressBar();
  EXPECT_EQ(progress.Position(), 40);
  EXPECT_EQ(progress.Range(), std::make_pair(10, 90));
  refusal = ErrorOf([&] { table.Position(); });
  EXPECT_NE(refusal.find("not a progress bar"), std::string::npos) << refusal;
}

TEST_F(DriverTest, ReadsAndAnswersMessageBoxes) {
  EXPECT_FALSE(FindMessageBox(app_.Id(), "Tidewick").has_value());
  main_.Click("Ask");
  MsgBox box = WaitForMessageBox(app_.Id(), "Tidewick");
  EXPECT_EQ(box.Title(), "Tidewick");
  EXPECT_EQ(box.Text(), "Proceed with the test?");
  EXPECT_EQ(box.Buttons(), (std::vector<std::string>{"Yes", "No"}));
  box.Screenshot("driver-message-box");
  // The box's owner is disabled while it is open: no click gets through to it.
  EXPECT_TRUE(WaitUntil([&] { return !main_.Enabled(); })) << "the owner of the box stays enabled";
  EXPECT_NE(ErrorOf([&] { main_.Click("Press"); }).find("disabled"), std::string::npos);
  std::string refusal = ErrorOf([&] { box.Answer("Maybe"); });
  EXPECT_NE(refusal.find("'No'"), std::string::npos) << refusal;
  box.Answer("No");
  WaitStatus("answer no");
  EXPECT_FALSE(box.AsWindow().Exists() && box.AsWindow().Visible());

  main_.Click("Ask");
  WaitForMessageBox(app_.Id(), "Tidewick").Answer("Yes");
  WaitStatus("answer yes");
}

TEST_F(DriverTest, ChoosesMenuItemsAcrossSeparators) {
  main_.ChooseMenu(kTestMenu, "Tools", "Second Tool");
  WaitStatus("tool 2");
  main_.ChooseMenu(kTestMenu, "File", "Press Again");
  WaitStatus("menu press");
  main_.ChooseMenu(kTestMenu, "Tools", "First Tool");
  WaitStatus("tool 1");

  // A greyed item runs nothing. Where the menu can be read, the driver refuses it outright.
  if (main_.MenuReadable()) {
    EXPECT_NE(ErrorOf([&] { main_.ChooseMenu(kTestMenu, "File", "Greyed Item"); }).find("greyed"), std::string::npos);
  } else {
    main_.ChooseMenu(kTestMenu, "File", "Greyed Item");
    Pause(Ms(300));
  }
  EXPECT_EQ(Status(), "tool 1");
  EXPECT_TRUE(main_.Enabled());

  // A command that opens a modal box from the menu does not block the driver.
  main_.ChooseMenu(kTestMenu, "Tools", "Ask");
  WaitForMessageBox(app_.Id(), "Tidewick").Answer("Yes");
  WaitStatus("answer yes");

  EXPECT_THROW(main_.ChooseMenu(kTestMenu, "Edit", "Undo"), DriverError);
  EXPECT_THROW(main_.ChooseMenu(kTestMenu, "File", "-"), DriverError);

  main_.ChooseMenu(kTestMenu, "File", "Exit");
  EXPECT_EQ(app_.WaitForExit(), 0u);
}

TEST_F(DriverTest, RefusesTheMenuOfAHiddenWindow) {
  main_.Click("Hide for a while");
  main_.WaitHidden();
  std::string refusal = ErrorOf([&] { main_.ChooseMenu(kTestMenu, "Tools", "First Tool"); });
  EXPECT_NE(refusal.find("hidden"), std::string::npos) << refusal;
}

TEST_F(DriverTest, ClosesWindowsAndReportsExitCodes) {
  main_.Close();
  EXPECT_EQ(app_.WaitForExit(), 5u);
  EXPECT_FALSE(app_.Running());
  EXPECT_FALSE(main_.Exists());

  Process quick = Process::Launch(Program(), folder_, "--exit 42");
  EXPECT_EQ(quick.WaitForExit(), 42u);
}

TEST_F(DriverTest, WatchesWhatAProgramShowsBeforeItEnds) {
  Process flash = Process::Launch(Program(), folder_, "--flash");
  ExitReport report = flash.WaitForExitWatching();
  EXPECT_TRUE(report.exited);
  EXPECT_EQ(report.exitCode, 9u);
  EXPECT_EQ(report.shown, (std::vector<std::string>{"DriverTestWindow 'Driver Test'"}));

  Process asking = Process::Launch(Program(), folder_, "--ask-first");
  WaitForMessageBox(asking.Id(), "Tidewick").Answer("Yes");
  report = asking.WaitForExitWatching();
  EXPECT_TRUE(report.exited);
  EXPECT_EQ(report.exitCode, 7u);
  for (const std::string& shown : report.shown) EXPECT_EQ(shown.find("Driver Test"), std::string::npos) << shown;

  Process staying = Process::Launch(Program(), folder_);
  WaitForWindow("Driver Test", staying.Id());
  report = staying.WaitForExitWatching(Ms(300));
  EXPECT_FALSE(report.exited);
  EXPECT_NE(std::find(report.shown.begin(), report.shown.end(), "DriverTestWindow 'Driver Test'"), report.shown.end());
}

TEST_F(DriverTest, TimeoutsSayWhatWasOnTheScreen) {
  std::string failure = ErrorOf([&] { WaitForWindow("No Such Window", 0, Ms(300)); });
  EXPECT_NE(failure.find("No Such Window"), std::string::npos) << failure;
  EXPECT_NE(failure.find("'Driver Test'"), std::string::npos) << "the visible windows are listed: " << failure;
}

TEST_F(DriverTest, SavesAPictureOfAWindow) {
  std::string path = main_.Screenshot("driver-test-window");
  std::ifstream file(std::filesystem::path(Wide(path)), std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER));
  BITMAPFILEHEADER fileHeader;
  BITMAPINFOHEADER header;
  std::memcpy(&fileHeader, bytes.data(), sizeof fileHeader);
  std::memcpy(&header, bytes.data() + sizeof fileHeader, sizeof header);
  RECT r = main_.Rect();
  EXPECT_EQ(fileHeader.bfType, 0x4D42);
  EXPECT_EQ(header.biWidth, r.right - r.left);
  EXPECT_EQ(header.biHeight, r.bottom - r.top);
  EXPECT_EQ(fileHeader.bfSize, bytes.size());
  // A window with controls shows many colours, not a blank area.
  std::set<std::uint32_t> colours;
  for (std::size_t i = fileHeader.bfOffBits; i + 3 <= bytes.size(); i += 3) {
    colours.insert(static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 2])) << 16);
  }
  EXPECT_GT(colours.size(), 3u);
}

// The run's URL handler records pages instead of opening a browser.
TEST_F(DriverTest, RecordsThePagesThatAreOpened) {
  const std::string address = "https://example.invalid/driver-test";
  ShellExecuteW(nullptr, nullptr, Wide(address).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
  auto recorded = [&]() -> std::optional<env::OpenedPage> {
    for (const env::OpenedPage& page : env::OpenedPages()) {
      if (page.address == address) return page;
    }
    return std::nullopt;
  };
  ASSERT_TRUE(WaitUntil([&] { return recorded().has_value(); })) << "recorded:\n" << env::DescribeOpenedPages();
  EXPECT_EQ(recorded()->showMode, SW_SHOWMAXIMIZED);
}

// What run-scenario.sh prepares: supplies, fresh work folders, and a mapped drive letter.
TEST(RunFolders, SuppliesWorkFoldersAndMappedDrivesAreReady) {
  EXPECT_NO_THROW(env::Supply("e2e_testwin.exe"));
  EXPECT_THROW(env::Supply("no-such-program.exe"), DriverError);

  std::string folder = env::MakeWorkFolder("RunFolders", {"e2e_testwin.exe"});
  std::wstring stray = Wide(folder) + L"\\stray.txt";
  HANDLE file = CreateFileW(stray.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  folder = env::MakeWorkFolder("RunFolders", {"e2e_testwin.exe"});
  EXPECT_EQ(GetFileAttributesW(stray.c_str()), INVALID_FILE_ATTRIBUTES) << "a work folder starts afresh";
  EXPECT_NE(GetFileAttributesW((Wide(folder) + L"\\e2e_testwin.exe").c_str()), INVALID_FILE_ATTRIBUTES);

  // The test is registered with DRIVES x: X: is an empty folder that answers a free-space query.
  wchar_t drives[64] = {};
  GetEnvironmentVariableW(L"TIDEWICK_E2E_DRIVES", drives, 64);
  EXPECT_EQ(Utf8(drives), "X:");
  ULARGE_INTEGER free{}, total{}, totalFree{};
  EXPECT_TRUE(GetDiskFreeSpaceExW(L"X:\\", &free, &total, &totalFree));
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(L"X:\\*", &found);
  int entries = 0;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") ++entries;
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  EXPECT_EQ(entries, 0);
  EXPECT_TRUE(CreateDirectoryW(L"X:\\seeded", nullptr));
  EXPECT_TRUE(SetFileAttributesW(L"X:\\seeded", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(GetFileAttributesW(L"X:\\seeded") & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

}  // namespace
}  // namespace tidewick::e2e
