// The application shell on the simulated platform and the headless host: start-up, the main
// window's commands, the hand-over to and from the information windows, and the history text.
#include "app/forms.h"
#include "app/info_windows.h"
#include "app/main_window.h"
#include "app/web_pages.h"
#include "platform/simulated/simulated_platform.h"
#include "ui/headless/headless_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace tidewick {
namespace {

using sim::ProgramEnded;

// The simulated platform with two calls that can be made to fail, as a broken shell or file
// system would make them fail. Everything else goes straight through.
class FailingPlatform final : public PlatformOperations {
 public:
  explicit FailingPlatform(sim::SimulatedPlatform& inner) : s_(inner) {}
  bool failShellExecute = false;

  Status RegOpenKeyA(Handle r, std::string_view k, Handle& h) override { return s_.RegOpenKeyA(r, k, h); }
  Status RegOpenKeyExA(Handle r, std::string_view k, std::uint32_t o, std::uint32_t a, Handle& h) override {
    return s_.RegOpenKeyExA(r, k, o, a, h);
  }
  Status RegCreateKeyA(Handle r, std::string_view k, Handle& h) override { return s_.RegCreateKeyA(r, k, h); }
  Status RegQueryValueExA(Handle k, std::string_view v, std::uint32_t* t, void* d, std::uint32_t* n) override {
    return s_.RegQueryValueExA(k, v, t, d, n);
  }
  Status RegSetValueExA(Handle k, std::string_view v, std::uint32_t r, std::uint32_t t, const void* d,
                        std::uint32_t n) override {
    return s_.RegSetValueExA(k, v, r, t, d, n);
  }
  Status RegDeleteValueA(Handle k, std::string_view v) override { return s_.RegDeleteValueA(k, v); }
  Status RegEnumValueA(Handle k, std::uint32_t i, char* n, std::uint32_t& nl, std::uint32_t* t, std::uint8_t* d,
                       std::uint32_t& dl) override {
    return s_.RegEnumValueA(k, i, n, nl, t, d, dl);
  }
  Status RegCloseKey(Handle k) override { return s_.RegCloseKey(k); }
  bool PathFileExistsA(std::string_view p) override { return s_.PathFileExistsA(p); }
  bool SetFileAttributesA(std::string_view p, std::uint32_t a) override { return s_.SetFileAttributesA(p, a); }
  bool DeleteFileA(std::string_view p) override { return s_.DeleteFileA(p); }
  bool GetDiskFreeSpaceA(std::string_view r, DiskFreeSpace& c) override { return s_.GetDiskFreeSpaceA(r, c); }
  bool GetVolumeInformationA(std::string_view r, std::uint32_t& n) override { return s_.GetVolumeInformationA(r, n); }
  Handle CreateToolhelp32Snapshot(std::uint32_t f, std::uint32_t p) override { return s_.CreateToolhelp32Snapshot(f, p); }
  bool Process32First(Handle h, ProcessEntry32& e) override { return s_.Process32First(h, e); }
  bool Process32Next(Handle h, ProcessEntry32& e) override { return s_.Process32Next(h, e); }
  bool CloseHandle(Handle h) override { return s_.CloseHandle(h); }
  bool QueryFullProcessImageNameA(std::uint32_t i, std::string& p) override { return s_.QueryFullProcessImageNameA(i, p); }
  Handle GetCurrentProcess() override { return s_.GetCurrentProcess(); }
  bool OpenProcessToken(Handle p, std::uint32_t a, Handle& t) override { return s_.OpenProcessToken(p, a, t); }
  bool GetUserProfileDirectoryA(Handle t, std::string& b, std::uint32_t& n) override {
    return s_.GetUserProfileDirectoryA(t, b, n);
  }
  std::uint32_t GetTickCount() override { return s_.GetTickCount(); }
  void ShellExecuteA(Handle o, const char* v, std::string_view f, const char* p, const char* d, int s) override {
    if (failShellExecute) throw std::runtime_error("no program is registered for the address");
    s_.ShellExecuteA(o, v, f, p, d, s);
  }
  int MsgBox(std::string_view t, int s) override { return s_.MsgBox(t, s); }
  std::string DirFirst(std::string_view p, std::uint32_t m) override { return s_.DirFirst(p, m); }
  std::string DirNext() override { return s_.DirNext(); }
  bool DirFailed() override { return s_.DirFailed(); }
  void StartCommandLine(std::string_view c, int w) override { s_.StartCommandLine(c, w); }
  void DoEvents() override { s_.DoEvents(); }
  void WaitForEvents(std::uint32_t ms) override { s_.WaitForEvents(ms); }
  [[noreturn]] void EndProgram() override { s_.EndProgram(); }
  bool PrevInstance() override { return s_.PrevInstance(); }
  std::string AppExeName() override { return s_.AppExeName(); }
  bool GetFileAttributesExA(std::string_view p, FileAttributeData& d) override { return s_.GetFileAttributesExA(p, d); }
  std::uint32_t GetLastError() override { return s_.GetLastError(); }
  Status RegDeleteKeyA(Handle k, std::string_view s) override { return s_.RegDeleteKeyA(k, s); }
  void GetLocalTime(SystemTime& t) override { s_.GetLocalTime(t); }
  bool SetClipboardText(std::string_view t) override { return s_.SetClipboardText(t); }
  std::string GetSaveFileNameA(std::string_view n) override { return s_.GetSaveFileNameA(n); }
  bool WriteTextFile(std::string_view p, std::string_view t, bool r) override { return s_.WriteTextFile(p, t, r); }
  bool ReadFileBytes(std::string_view p, std::size_t m, std::vector<std::uint8_t>& b) override {
    return s_.ReadFileBytes(p, m, b);
  }
  bool MoveFileExA(std::string_view e, std::string_view n) override { return s_.MoveFileExA(e, n); }
  bool RemoveDirectoryA(std::string_view p) override { return s_.RemoveDirectoryA(p); }
  std::vector<std::string> GetEnvironmentStringsA() override { return s_.GetEnvironmentStringsA(); }
  bool SHGetFolderPathA(int f, std::string& p) override { return s_.SHGetFolderPathA(f, p); }
  bool GetTempPathA(std::string& p) override { return s_.GetTempPathA(p); }
  std::uint32_t GetDriveTypeA(std::string_view r) override { return s_.GetDriveTypeA(r); }
  bool NtQueryInformationProcess(std::uint32_t id, std::string& c) override {
    return s_.NtQueryInformationProcess(id, c);
  }

 private:
  sim::SimulatedPlatform& s_;
};

constexpr const char* kToolFolder = "C:\\Tools\\Tidewick";

class AppTest : public ::testing::Test {
 protected:
  AppTest() {
    RegisterForms(app);
    sim.AddDrive('C');
    sim.AddFolder(kToolFolder);
    sim.SetCurrentFolder(kToolFolder);
  }

  void PutKillTool() { sim.AddFile(std::string(kToolFolder) + "\\pskill.exe"); }

  frm_first& Main() { return app.Get<frm_first>("frm_first"); }
  template <class F>
  F& Window(const char* name) {
    return app.Get<F>(name);
  }

  // Starts the program as Windows would: the start-up window is shown, loading it first.
  void Start() { Main().Show(); }
  void StartReady() {
    PutKillTool();
    Start();
  }

  int Count(const std::string& entry) const {
    const auto& log = host.WindowLog();
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
  }

  sim::SimulatedPlatform sim;
  FailingPlatform os{sim};
  ui::HeadlessHost host;
  ui::Application app{os, host};
  ui::User user;
};

// ---- start-up ------------------------------------------------------------------------------

TEST_F(AppTest, StartsWithTitleVersionAndUpdateGreyedWhenTheKillToolIsThere) {
  StartReady();
  frm_first& main = Main();
  EXPECT_EQ(main.Caption(), "Tidewick v3.1");
  EXPECT_EQ(main.lbl_V.Caption(), "v3.1");
  EXPECT_FALSE(main.help_3.Enabled());
  EXPECT_TRUE(main.help_3.Visible());
  EXPECT_TRUE(main.btn_c.Usable());
  EXPECT_TRUE(main.btn_rd.Usable());
  EXPECT_TRUE(main.Visible());
  EXPECT_TRUE(main.Enabled());
  EXPECT_TRUE(sim.MessageBoxes().empty());
  EXPECT_TRUE(sim.PagesOpened().empty());
  EXPECT_FALSE(sim.Ended());
  EXPECT_THROW(user.Choose(main.help_3), ui::NotUsable);
}

TEST_F(AppTest, MissingKillToolAnsweredNoDisablesComputerForTheRun) {
  sim.QueueAnswer(Answer::No);
  Start();
  frm_first& main = Main();
  ASSERT_EQ(sim.MessageBoxes().size(), 1u);
  EXPECT_EQ(sim.MessageBoxes()[0].text,
            "Some file not found. Button 'computer' has been disable. Are you sure to download new version?");
  EXPECT_EQ(sim.MessageBoxes()[0].style, MsgStyle::YesNoQuestion);
  EXPECT_TRUE(main.Visible());
  EXPECT_FALSE(main.btn_c.Enabled());
  EXPECT_THROW(user.Click(main.btn_c), ui::NotUsable);
  EXPECT_TRUE(sim.PagesOpened().empty());
  for (ui::MenuItem* item : main.MenuItems()) {
    if (item->IsSeparator() || item == &main.help_3 || !item->Children().empty()) continue;
    EXPECT_TRUE(item->Usable()) << item->Name();
  }

  // "Pen Drive" still works, and "Computer" stays greyed after coming back.
  user.Click(main.btn_rd);
  EXPECT_FALSE(main.Visible());
  ui::Form& drive = app.Get("frm_rd");
  EXPECT_TRUE(drive.Visible());
  drive.Hide();
  main.SetEnabled(true);
  main.Show();
  EXPECT_FALSE(main.btn_c.Enabled());
}

TEST_F(AppTest, MissingKillToolAnsweredYesOpensTheDownloadPageAndEndsUnseen) {
  sim.QueueAnswer(Answer::Yes);
  EXPECT_THROW(Start(), ProgramEnded);
  EXPECT_TRUE(sim.Ended());
  ASSERT_EQ(sim.PagesOpened().size(), 1u);
  EXPECT_EQ(sim.PagesOpened()[0].target, PageAddress(WebPage::Download));
  EXPECT_EQ(sim.PagesOpened()[0].show, ShowCommand::Maximized);
  EXPECT_FALSE(Main().Visible());
}

TEST_F(AppTest, KillToolIsLookedForInTheCurrentFolderOnly) {
  PutKillTool();
  sim.AddFolder("C:\\Users\\User");
  sim.SetCurrentFolder("C:\\Users\\User");
  sim.QueueAnswer(Answer::No);
  Start();
  ASSERT_EQ(sim.MessageBoxes().size(), 1u);
  EXPECT_FALSE(Main().btn_c.Enabled());
}

TEST_F(AppTest, SecondInstanceEndsSilentlyBeforeShowing) {
  // The kill tool is missing too: the end comes before its question.
  sim.SetPrevInstance(true);
  EXPECT_THROW(Start(), ProgramEnded);
  EXPECT_TRUE(sim.Ended());
  EXPECT_TRUE(sim.MessageBoxes().empty());
  EXPECT_TRUE(sim.PagesOpened().empty());
  EXPECT_FALSE(Main().Visible());
  EXPECT_EQ(host.WindowLog(), (std::vector<std::string>{"create frm_first"}));
}

TEST_F(AppTest, FailingKillToolCheckCountsAsFound) {
  sim.OnFileOperation([](std::size_t) { throw std::runtime_error("the folder cannot be read"); });
  Start();
  EXPECT_TRUE(sim.MessageBoxes().empty());
  EXPECT_TRUE(Main().Visible());
  EXPECT_TRUE(Main().btn_c.Enabled());
  EXPECT_EQ(Main().Caption(), "Tidewick v3.1");
}

TEST_F(AppTest, FailingDownloadPageUnderYesStillEnds) {
  os.failShellExecute = true;
  sim.QueueAnswer(Answer::Yes);
  EXPECT_THROW(Start(), ProgramEnded);
  EXPECT_TRUE(sim.Ended());
  EXPECT_TRUE(sim.PagesOpened().empty());
}

// ---- the main window ---------------------------------------------------------------------

TEST_F(AppTest, MainWindowLayoutMenusAndTooltips) {
  StartReady();
  frm_first& main = Main();
  const ui::FormStyle& style = main.Style();
  EXPECT_EQ(style.border, ui::BorderStyle::FixedSingle);
  EXPECT_FALSE(style.maxButton);
  EXPECT_EQ(style.position, ui::StartPosition::CenterScreen);
  EXPECT_EQ(style.clientWidth, 4560);
  EXPECT_EQ(style.clientHeight, 1920);

  const std::pair<ui::Control*, const char*> tooltips[] = {
      {&main.btn_rd, "Example: pen drive, thum drive, etc"},
      {&main.btn_c, "For computer only"},
      {&main.lbl_V, "Click to download new version"},
      {&main.Label1, "Press it"},
  };
  for (const auto& [control, tooltip] : tooltips) EXPECT_EQ(control->Tooltip(), tooltip) << control->Name();
  EXPECT_EQ(main.btn_rd.Position(), (ui::Twips{713, 713, 1455, 495}));
  EXPECT_EQ(main.btn_c.Position(), (ui::Twips{2513, 713, 1335, 495}));
  // The labels keep their places; they may be wider than the classic sizes to fit their text:
  // the version label grows to the left (right-aligned), the credit line to the right.
  const ui::Twips version = main.lbl_V.Position();
  EXPECT_EQ(version.left + version.width, 4125 + 330);
  EXPECT_EQ(version.top, 1650);
  EXPECT_GE(version.width, 330);
  EXPECT_EQ(main.lbl_V.Alignment(), ui::Label::Align::Right);
  const ui::Twips credit = main.Label1.Position();
  EXPECT_EQ(credit.left, 120);
  EXPECT_EQ(credit.top, 1680);
  EXPECT_LE(credit.left + credit.width, version.left);
  EXPECT_EQ(main.btn_rd.Caption(), "Pen Drive");
  EXPECT_EQ(main.btn_c.Caption(), "Computer");
  EXPECT_EQ(main.lbl_V.GetFont(), (ui::Font{"Tahoma", 8.25}));
  EXPECT_FALSE(main.Label1.Caption().empty());

  std::vector<std::string> menu;
  for (const ui::MenuItem* item : main.MenuItems()) {
    menu.push_back(std::string(item->Parent() ? "  " : "") + item->Name() + " " + item->Caption());
  }
  EXPECT_EQ(menu, (std::vector<std::string>{
                      "file_0 File",
                      "  file_1 Exit",
                      "help_0 Help",
                      "  h_iii Infomation About 'Shortcut Virus'",
                      "  frmfist_htraa How To 'Run As Administrator'?",
                      "  h_1xxx How To Use This Program?",
                      "  help_0a -",
                      "  help_his History",
                      "  help_3 Update",
                      "  help_d Download new version",
                      "  help_0b -",
                      "  help_comment Comment About This Program",
                      "  help_2 About",
                  }));
}

TEST_F(AppTest, LinksAndMenuItemsOpenTheirPagesMaximized) {
  StartReady();
  frm_first& main = Main();
  struct Case {
    const char* what;
    std::function<void()> act;
    WebPage page;
  };
  const Case cases[] = {
      {"help_d", [&] { user.Choose(main.help_d); }, WebPage::Download},
      {"lbl_V", [&] { user.Click(main.lbl_V); }, WebPage::Download},
      {"h_iii", [&] { user.Choose(main.h_iii); }, WebPage::AboutMalware},
      {"h_1xxx", [&] { user.Choose(main.h_1xxx); }, WebPage::HowTo},
      {"help_comment", [&] { user.Choose(main.help_comment); }, WebPage::Comment},
      {"Label1", [&] { user.Click(main.Label1); }, WebPage::Authors},
  };
  for (const Case& c : cases) {
    const std::size_t before = sim.PagesOpened().size();
    c.act();
    ASSERT_EQ(sim.PagesOpened().size(), before + 1) << c.what;
    EXPECT_EQ(sim.PagesOpened().back().target, PageAddress(c.page)) << c.what;
    EXPECT_EQ(sim.PagesOpened().back().show, ShowCommand::Maximized) << c.what;
    EXPECT_TRUE(main.Visible() && main.Enabled()) << c.what;
  }

  // The about window's labels.
  user.Choose(main.help_2);
  auto& about = Window<frm_about>("frm_about");
  const std::pair<ui::Label*, WebPage> labels[] = {
      {&about.lbl_0, WebPage::Authors}, {&about.Label2, WebPage::Authors}, {&about.lbl_version, WebPage::Download}};
  for (const auto& [label, page] : labels) {
    user.Click(*label);
    EXPECT_EQ(sim.PagesOpened().back().target, PageAddress(page)) << label->Name();
    EXPECT_EQ(sim.PagesOpened().back().show, ShowCommand::Maximized) << label->Name();
  }
  EXPECT_TRUE(sim.MessageBoxes().empty());
}

TEST_F(AppTest, FivePagesHaveFiveDistinctSecureAddresses) {
  std::set<std::string_view> addresses;
  for (WebPage page : {WebPage::Download, WebPage::AboutMalware, WebPage::HowTo, WebPage::Comment, WebPage::Authors}) {
    const std::string_view address = PageAddress(page);
    EXPECT_EQ(address.substr(0, 8), "https://") << address;
    addresses.insert(address);
  }
  EXPECT_EQ(addresses.size(), 5u);
}

TEST_F(AppTest, ExitAndTheCloseBoxEndAtOnceWithoutOtherHandlers) {
  for (bool closeBox : {false, true}) {
    sim::SimulatedPlatform world;
    world.AddDrive('C');
    world.AddFolder(kToolFolder);
    world.SetCurrentFolder(kToolFolder);
    world.AddFile(std::string(kToolFolder) + "\\pskill.exe");
    ui::HeadlessHost windows;
    ui::Application program(world, windows);
    RegisterForms(program);
    auto& main = program.Get<frm_first>("frm_first");
    main.Show();
    // History opened and closed with "Ok": loaded and hidden while the program ends.
    user.Choose(main.help_his);
    user.Click(program.Get<frm_h>("frm_h").btn_k);
    ASSERT_TRUE(program.Get("frm_h").Loaded());

    if (closeBox) {
      EXPECT_THROW(user.Close(main), ProgramEnded);
    } else {
      EXPECT_THROW(user.Choose(main.file_1), ProgramEnded);
    }
    EXPECT_TRUE(world.Ended());
    const auto& log = windows.WindowLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "destroy frm_h"), 0) << "close box: " << closeBox;
    EXPECT_TRUE(program.Get("frm_h").Loaded());
  }
}

// ---- hand-over to the history and about windows ---------------------------------------------

struct HandOverCase {
  const char* form;
  const char* title;
};

class HandOverTest : public AppTest, public ::testing::WithParamInterface<HandOverCase> {
 protected:
  ui::MenuItem& Opener() {
    return std::string(GetParam().form) == "frm_h" ? Main().help_his : Main().help_2;
  }
  ui::CommandButton& OkButton() {
    if (std::string(GetParam().form) == "frm_h") return Window<frm_h>("frm_h").btn_k;
    return Window<frm_about>("frm_about").btn_ok;
  }
  // What the window shows, to compare two openings.
  std::vector<std::string> Content() {
    ui::Form& form = app.Get(GetParam().form);
    std::vector<std::string> content{form.Caption()};
    for (ui::Control* control : form.Controls()) {
      if (auto* captioned = dynamic_cast<ui::CaptionedControl*>(control)) content.push_back(captioned->Caption());
      if (auto* text = dynamic_cast<ui::TextBox*>(control)) content.push_back(text->Text());
    }
    return content;
  }
  void ExpectOpen() {
    ui::Form& form = app.Get(GetParam().form);
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(form.Caption(), GetParam().title);
    EXPECT_FALSE(Main().Visible());
    EXPECT_FALSE(Main().Enabled());
    EXPECT_THROW(user.Click(Main().btn_rd), ui::NotUsable);
  }
  void ExpectBackAtMain() {
    EXPECT_FALSE(app.Get(GetParam().form).Visible());
    EXPECT_TRUE(Main().Visible());
    EXPECT_TRUE(Main().Enabled());
    EXPECT_TRUE(Main().btn_rd.Usable());
  }
};

TEST_P(HandOverTest, OkHidesAndReturnsAndTheNextOpeningShowsTheSameWindow) {
  StartReady();
  const std::string created = std::string("create ") + GetParam().form;
  user.Choose(Opener());
  ExpectOpen();
  const std::vector<std::string> first = Content();

  user.Click(OkButton());
  ExpectBackAtMain();
  EXPECT_TRUE(app.Get(GetParam().form).Loaded());

  user.Choose(Opener());
  ExpectOpen();
  EXPECT_EQ(Content(), first);
  EXPECT_EQ(Count(created), 1) << "Form_Load ran again after Ok";
  EXPECT_TRUE(sim.MessageBoxes().empty());
}

TEST_P(HandOverTest, CloseBoxReturnsLikeOkThenUnloadsAndTheNextOpeningLoadsAgain) {
  StartReady();
  const std::string created = std::string("create ") + GetParam().form;
  ui::Form& form = app.Get(GetParam().form);
  user.Choose(Opener());
  const std::vector<std::string> first = Content();

  user.Close(form);
  ExpectBackAtMain();
  EXPECT_FALSE(form.Loaded());
  EXPECT_EQ(Count(std::string("destroy ") + GetParam().form), 1);

  user.Choose(Opener());
  ExpectOpen();
  EXPECT_EQ(Count(created), 2);
  EXPECT_EQ(Content(), first);
}

// Call by call: the main window disables, then hides itself, then the window shows (loading
// first when it is not loaded); its Ok hides it, then enables and shows the main window; its
// close box does the same and destroys the window last.
TEST_P(HandOverTest, HandOverAndGiveBackReachTheWindowsInOrder) {
  StartReady();
  const std::string form = GetParam().form;
  const auto since = [this](std::size_t from) {
    return std::vector<std::string>(host.FormLog().begin() + static_cast<std::ptrdiff_t>(from), host.FormLog().end());
  };
  // frm_h sets its title when it loads; frm_about keeps the one of its design.
  std::vector<std::string> firstOpening{"frm_first disabled", "frm_first hidden", "create " + form};
  if (form == "frm_h") firstOpening.push_back(form + " caption");
  firstOpening.push_back(form + " shown");

  std::size_t before = host.FormLog().size();
  user.Choose(Opener());
  EXPECT_EQ(since(before), firstOpening);

  before = host.FormLog().size();
  user.Click(OkButton());
  EXPECT_EQ(since(before), (std::vector<std::string>{form + " hidden", "frm_first enabled", "frm_first shown"}));

  before = host.FormLog().size();
  user.Choose(Opener());
  EXPECT_EQ(since(before), (std::vector<std::string>{"frm_first disabled", "frm_first hidden", form + " shown"}));

  before = host.FormLog().size();
  user.Close(app.Get(form));
  EXPECT_EQ(since(before), (std::vector<std::string>{form + " hidden", "frm_first enabled", "frm_first shown",
                                                     "destroy " + form}));
}

INSTANTIATE_TEST_SUITE_P(InformationWindows, HandOverTest,
                         ::testing::Values(HandOverCase{"frm_h", "History | Tidewick v3.1"},
                                           HandOverCase{"frm_about", "About"}),
                         [](const auto& test) { return std::string(test.param.form); });

TEST_F(AppTest, AboutWindowShowsNameVersionAndPicture) {
  StartReady();
  user.Choose(Main().help_2);
  auto& about = Window<frm_about>("frm_about");
  EXPECT_EQ(about.lbl_0.Caption(), "Tidewick");
  EXPECT_EQ(about.lbl_version.Caption(), "v3.1");
  EXPECT_EQ(about.Label12345.Caption(), "Thanks To:");
  EXPECT_EQ(about.txtThx.Text(), ThanksText());
  EXPECT_TRUE(about.txtThx.ReadOnly());
  EXPECT_NE(about.Image1.ResourceId(), 0);
  EXPECT_EQ(about.Style().border, ui::BorderStyle::FixedToolWindow);
  EXPECT_FALSE(about.Style().showInTaskbar);
}

TEST_F(AppTest, ThanksListHasTheFormOfItsLines) {
  const std::string text(ThanksText());
  ASSERT_TRUE(text.size() >= 2 && text.substr(text.size() - 2) == "\r\n");
  std::size_t start = 0;
  int lines = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = text.substr(start, end - start);
    const std::size_t open = line.find(" [");
    const std::size_t close = line.find("] (");
    EXPECT_TRUE(open != std::string::npos && close != std::string::npos && open < close && line.back() == ')')
        << line;
    EXPECT_NE(line.find("Tidewick"), std::string::npos) << line;
    start = end + 2;
    ++lines;
  }
  EXPECT_GE(lines, 2);
}

// ---- the help picture window ---------------------------------------------------------------

TEST_F(AppTest, HelpOpensOverTheMainWindowWhichStaysUsable) {
  StartReady();
  frm_first& main = Main();
  auto& help = Window<frm_help>("frm_help");
  user.Choose(main.frmfist_htraa);
  EXPECT_TRUE(help.Visible());
  EXPECT_EQ(help.Caption(), "How To 'Run As Administrator'? | Tidewick v3.1");
  EXPECT_EQ(help.OwnerForm(), &main);
  EXPECT_TRUE(main.Visible());
  EXPECT_TRUE(main.Enabled());
  EXPECT_TRUE(main.btn_rd.Usable());

  // Chosen again while open: the same window, not loaded a second time.
  user.Choose(main.frmfist_htraa);
  EXPECT_EQ(Count("create frm_help"), 1);

  user.Click(help.btn_ok);
  EXPECT_FALSE(help.Visible());
  EXPECT_TRUE(help.Loaded());
  EXPECT_TRUE(main.Visible() && main.Enabled());

  // The close box hides it as Back does, then unloads it; the main window is untouched.
  user.Choose(main.frmfist_htraa);
  user.Close(help);
  EXPECT_FALSE(help.Loaded());
  EXPECT_TRUE(main.Visible() && main.Enabled());
  user.Choose(main.frmfist_htraa);
  EXPECT_EQ(Count("create frm_help"), 2);
  EXPECT_EQ(help.Caption(), "How To 'Run As Administrator'? | Tidewick v3.1");
}

TEST_F(AppTest, HelpOverTheRegistryManagerLeavesItOpenAndTheMainWindowHidden) {
  StartReady();
  frm_first& main = Main();
  user.Click(main.btn_c);
  ui::Form& computer = app.Get("frm_c");
  ASSERT_TRUE(computer.Visible());
  user.Choose(*computer.FindMenuItem("ex_fReg"));
  ui::Form& registry = app.Get("frm_RM");
  ASSERT_TRUE(registry.Visible());

  auto& help = Window<frm_help>("frm_help");
  user.Choose(*registry.FindMenuItem("RM_h_htraa"));
  EXPECT_TRUE(help.Visible());
  EXPECT_EQ(help.OwnerForm(), &registry);
  user.Click(help.btn_ok);

  EXPECT_FALSE(help.Visible());
  EXPECT_TRUE(registry.Visible());
  EXPECT_TRUE(registry.Enabled());
  EXPECT_FALSE(main.Visible());
  EXPECT_FALSE(main.Enabled());
}

TEST_F(AppTest, PenDriveAndComputerHandOverToTheCleaners) {
  StartReady();
  for (const char* target : {"frm_rd", "frm_c"}) {
    frm_first& main = Main();
    user.Click(std::string(target) == "frm_rd" ? main.btn_rd : main.btn_c);
    ui::Form& cleaner = app.Get(target);
    EXPECT_TRUE(cleaner.Visible()) << target;
    EXPECT_FALSE(main.Visible()) << target;
    EXPECT_FALSE(main.Enabled()) << target;
    // Back to the main window the way every window returns.
    cleaner.Unload();
    main.SetEnabled(true);
    main.Show();
  }
}

// ---- the history text ----------------------------------------------------------------------

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST(HistoryText, LengthLineEndsAndTheGivenFirstBlockAndLastLine) {
  const std::string text(HistoryText());
  EXPECT_EQ(text.size(), 1091u);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "lone LF at " << i;
    }
    if (text[i] == '\r') {
      EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "lone CR at " << i;
    }
  }
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");

  const std::vector<std::string> lines = SplitLines(text);
  const std::vector<std::string> first{"[3.1]",          "-Computer", "  change design.", "  and more.", "",
                                       "-Pen Drive",     "  change design.", "  and more.", "", "-Other",
                                       "  -fix error."};
  ASSERT_GT(lines.size(), first.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(first.size())), first);
  EXPECT_EQ(lines.back(), "  add 'History' at menu.");
}

TEST(HistoryText, SixBlocksNewestFirstEachLaidOutByAreas) {
  const std::vector<std::string> lines = SplitLines(std::string(HistoryText()));
  const std::set<std::string> areas{"-Computer", "-Pen Drive", "-Other"};
  std::vector<std::string> versions;

  // Walk the lines as a small grammar: version, then areas separated by one empty line, each
  // with at least one entry; two empty lines before the next version.
  std::size_t i = 0;
  while (i < lines.size()) {
    const std::string& version = lines[i];
    ASSERT_TRUE(version.size() == 5 && version.front() == '[' && version.back() == ']') << version;
    versions.push_back(version);
    ++i;
    bool firstArea = true;
    while (true) {
      ASSERT_LT(i, lines.size()) << "block " << version << " ends without an area";
      ASSERT_EQ(areas.count(lines[i]), 1u) << "not an area header: '" << lines[i] << "' in " << version;
      ++i;
      int entries = 0;
      while (i < lines.size() && !lines[i].empty()) {
        const std::string& entry = lines[i];
        EXPECT_TRUE(entry.size() > 3 && entry.substr(0, 2) == "  " && entry[2] != ' ' && entry.back() == '.')
            << "entry '" << entry << "' in " << version;
        ++entries;
        ++i;
      }
      EXPECT_GE(entries, 1) << "empty area in " << version;
      firstArea = false;
      if (i == lines.size()) break;  // the last block
      ASSERT_TRUE(lines[i].empty());
      if (i + 1 < lines.size() && lines[i + 1].empty()) {
        // Two empty lines: the next version follows.
        i += 2;
        ASSERT_LT(i, lines.size());
        ASSERT_FALSE(lines[i].empty()) << "three empty lines after " << version;
        break;
      }
      ++i;  // one empty line: the next area of this block
    }
    EXPECT_FALSE(firstArea);
  }
  EXPECT_EQ(versions, (std::vector<std::string>{"[3.1]", "[3.0]", "[2.4]", "[2.3]", "[2.2]", "[2.1]"}));
}

TEST_F(AppTest, HistoryWindowShowsTheTextReadOnlyWithAScrollBar) {
  StartReady();
  user.Choose(Main().help_his);
  auto& history = Window<frm_h>("frm_h");
  EXPECT_EQ(history.txt1.Text(), HistoryText());
  EXPECT_TRUE(history.txt1.MultiLine());
  EXPECT_TRUE(history.txt1.ReadOnly());
  EXPECT_TRUE(history.txt1.VerticalScrollBar());
  EXPECT_EQ(history.OwnerForm(), &Main());
}

}  // namespace
}  // namespace tidewick
