// The Win32 host on real windows (run under Wine): each model becomes the standard control a
// person and a test driver expect, changes travel both ways, and a form can go away in the
// middle of one of its own messages.
#include "platform/simulated/simulated_platform.h"

#include <windows.h>
#include <commctrl.h>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/win32/win32_host.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tidewick::ui {
namespace {

// A form with one control of every kind.
class TestForm final : public Form {
 public:
  TestForm(Application& app, std::string name, bool toolWindow)
      : Form(app, std::move(name)), toolWindow_(toolWindow) {
    button.Click = [this] {
      ++clicks;
      if (onClick) onClick();
    };
    open.Click = [this] { ++menuClicks; };
    timer.Tick = [this] { ++ticks; };
    list.Changed = [this] { ++listChanges; };
  }

  Frame frame{*this, "frame"};
  CommandButton button{*this, "button"};
  CheckBox box{*this, "box"};
  Label label{*this, "label"};
  ComboBox combo{*this, "combo"};
  CheckList list{*this, "list"};
  TextBox text{*this, "text"};
  Picture picture{*this, "picture"};
  CommandButton second{*this, "second"};
  Timer timer{*this, "timer"};
  MenuItem file{*this, "file"};
  MenuItem open{*this, "open", &file};
  MenuItem separator{*this, "separator", &file};
  MenuItem quit{*this, "quit", &file};

  int clicks = 0;
  int menuClicks = 0;
  int ticks = 0;
  int listChanges = 0;
  int unloads = 0;
  std::function<void()> onClick;

 protected:
  void InitializeComponent() override {
    auto& style = MutableStyle();
    style.border = toolWindow_ ? BorderStyle::FixedToolWindow : BorderStyle::FixedSingle;
    style.minButton = !toolWindow_;
    style.showInTaskbar = !toolWindow_;
    style.position = toolWindow_ ? StartPosition::CenterOwner : StartPosition::CenterScreen;
    style.clientWidth = 6000;
    style.clientHeight = 4500;
    SetCaption(Name() + " window");

    frame.SetCaption("Group");
    frame.SetPosition({120, 120, 5700, 4200});
    button.SetCaption("Press");
    button.SetPosition({240, 360, 1215, 375});
    button.SetTabIndex(2);
    second.SetCaption("Other");
    second.SetPosition({1560, 360, 1215, 375});
    second.SetTabIndex(0);
    box.SetCaption("Tick");
    box.SetPosition({240, 840, 1800, 255});
    box.SetTabIndex(1);
    box.SetContainer(&frame);
    label.SetCaption("A label");
    label.SetPosition({240, 1200, 1500, 195});
    combo.SetPosition({240, 1500, 1500, 315});
    combo.SetTabIndex(3);
    list.SetPosition({2400, 840, 3000, 1500});
    list.SetTabIndex(4);
    text.SetPosition({240, 2520, 3000, 1200});
    text.SetTabIndex(5);
    picture.SetPosition({3600, 2520, 1500, 1200});
    file.SetCaption("File");
    open.SetCaption("Open");
    separator.SetCaption("-");
    quit.SetCaption("Quit");
  }
  void Form_Unload() override { ++unloads; }

 private:
  bool toolWindow_;
};

// A form with the kinds of control the windows to come use: a check-box table and a progress
// bar, beside a text box and a picture whose settings change after the load.
class KindsForm final : public Form {
 public:
  explicit KindsForm(Application& app) : Form(app, "kinds") {
    table.Changed = [this] { ++tableChanges; };
  }

  CheckTable table{*this, "table"};
  ProgressBar progress{*this, "progress"};
  TextBox notes{*this, "notes"};
  Picture emblem{*this, "emblem"};
  CommandButton ok{*this, "ok"};
  int tableChanges = 0;

 protected:
  void InitializeComponent() override {
    auto& style = MutableStyle();
    style.clientWidth = 6600;
    style.clientHeight = 4800;
    SetCaption("New kinds");
    table.SetColumns({{"Name", 2400}, {"Size", 900}, {"Found in", 2400}});
    table.SetPosition({120, 120, 6360, 2400});
    table.SetTabIndex(0);
    progress.SetPosition({120, 2640, 6360, 255});
    notes.SetPosition({120, 3000, 4000, 1200});
    notes.SetTabIndex(1);
    emblem.SetPosition({4320, 3000, 1200, 1200});
    ok.SetCaption("Ok");
    ok.SetPosition({5280, 4320, 1200, 375});
    ok.SetTabIndex(2);
  }
};

class Win32HostTest : public ::testing::Test {
 protected:
  Win32HostTest() {
    app.Register("main", [](Application& a) { return std::make_unique<TestForm>(a, "main", false); });
    app.Register("tool", [](Application& a) { return std::make_unique<TestForm>(a, "tool", true); });
    app.Register("kinds", [](Application& a) { return std::make_unique<KindsForm>(a); });
  }
  ~Win32HostTest() override {
    for (Form* form : std::vector<Form*>(app.LoadedForms())) form->Unload();
  }

  TestForm& Main() { return app.Get<TestForm>("main"); }
  KindsForm& Kinds() { return app.Get<KindsForm>("kinds"); }
  TestForm& Tool() { return app.Get<TestForm>("tool"); }
  HWND Window(const Form& form) { return host.WindowOf(form); }
  HWND Window(const Control& control) { return host.WindowOf(control); }

  // Handles messages as the program's loop does until `done` or `milliseconds` have passed.
  bool PumpUntil(const std::function<bool()>& done, ULONGLONG milliseconds = 2000) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    MSG message{};
    while (!done()) {
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (host.PreTranslateMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      if (done()) break;
      if (GetTickCount64() > end) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
  }
  // Handles what is waiting, for a fifth of a second.
  void Pump() { PumpUntil([] { return false; }, 200); }

  std::wstring Text(HWND hwnd) {
    wchar_t buffer[512] = {};
    GetWindowTextW(hwnd, buffer, 512);
    return buffer;
  }
  std::wstring ItemText(HWND list, int index, int column = 0) {
    wchar_t buffer[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 256;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return buffer;
  }
  bool ItemChecked(HWND list, int index) {
    const auto state = SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_STATEIMAGEMASK);
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
  }
  void TickItem(HWND list, int index, bool ticked) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  }
  // A click on a header of a report-view ListView, at the middle of the header item, as the
  // mouse gives it.
  void ClickHeader(HWND list, int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr);
    RECT r{};
    ASSERT_TRUE(SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&r)));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(header, WM_LBUTTONUP, 0, at);
  }
  std::vector<std::wstring> Column(HWND list, int column) {
    std::vector<std::wstring> cells;
    const auto count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) cells.push_back(ItemText(list, i, column));
    return cells;
  }
  int HeaderFormat(HWND list, int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return item.fmt;
  }
  UINT Dpi(HWND hwnd) {
    using Fn = UINT(WINAPI*)(HWND);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (fn != nullptr) return fn(hwnd);
    HDC screen = GetDC(nullptr);
    const UINT dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
    return dpi;
  }

  sim::SimulatedPlatform os;
  Win32Host host;
  Application app{os, host};
};

TEST_F(Win32HostTest, FormWindowHasItsTitleStyleAndClientSizeInTwips) {
  TestForm& form = Main();
  form.Show();
  HWND hwnd = Window(form);
  ASSERT_NE(hwnd, nullptr);
  wchar_t className[64] = {};
  GetClassNameW(hwnd, className, 64);
  EXPECT_STREQ(className, L"TidewickForm");
  EXPECT_EQ(Text(hwnd), L"main window");
  EXPECT_TRUE(IsWindowVisible(hwnd));

  const UINT dpi = Dpi(hwnd);
  RECT client{};
  GetClientRect(hwnd, &client);
  EXPECT_EQ(client.right, MulDiv(6000, static_cast<int>(dpi), 1440));
  EXPECT_EQ(client.bottom, MulDiv(4500, static_cast<int>(dpi), 1440));

  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_EQ(GetWindow(hwnd, GW_OWNER), nullptr);

  form.SetCaption("renamed");
  EXPECT_EQ(Text(hwnd), L"renamed");
  form.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(hwnd));
  form.Hide();
  EXPECT_FALSE(IsWindowVisible(hwnd));
}

TEST_F(Win32HostTest, ToolWindowWithoutTaskbarEntryIsOwnedByItsOwnerFormAndOutlivesIt) {
  TestForm& main = Main();
  main.Show();
  TestForm& tool = Tool();
  tool.SetOwnerForm(&main);
  tool.Show();
  HWND hwnd = Window(tool);
  EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(GetWindow(hwnd, GW_OWNER), Window(main));

  // Centred over the owner.
  RECT ownerRect{}, toolRect{};
  GetWindowRect(Window(main), &ownerRect);
  GetWindowRect(hwnd, &toolRect);
  EXPECT_NEAR((toolRect.left + toolRect.right) / 2, (ownerRect.left + ownerRect.right) / 2, 2);

  // Windows die with their owner; the form's window must not.
  main.Unload();
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_TRUE(tool.Loaded());
  EXPECT_NE(GetWindow(hwnd, GW_OWNER), nullptr);
}

TEST_F(Win32HostTest, ControlsAreStandardWindowsInTabOrderWithFramesUnderneath) {
  TestForm& form = Main();
  form.Show();
  const std::pair<Control*, const wchar_t*> kinds[] = {
      {&form.frame, L"Button"}, {&form.button, L"Button"},  {&form.box, L"Button"},
      {&form.label, L"Static"}, {&form.combo, L"ComboBox"}, {&form.list, L"SysListView32"},
      {&form.text, L"Edit"},    {&form.picture, L"Static"},
  };
  for (const auto& [control, expected] : kinds) {
    wchar_t className[64] = {};
    GetClassNameW(Window(*control), className, 64);
    EXPECT_STREQ(className, expected) << control->Name();
  }
  EXPECT_EQ(GetWindowLongPtrW(Window(form.frame), GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX);
  EXPECT_EQ(GetWindowLongPtrW(Window(form.combo), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
  EXPECT_TRUE(SendMessageW(Window(form.list), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES);

  // Children from the top of the z-order: the tab order, then the rest, frames last.
  std::vector<HWND> order;
  for (HWND child = GetWindow(Window(form), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    order.push_back(child);
  }
  const std::vector<HWND> expected{Window(form.second), Window(form.box),   Window(form.button),
                                   Window(form.combo),  Window(form.list),  Window(form.text),
                                   Window(form.label),  Window(form.picture), Window(form.frame)};
  EXPECT_EQ(order, expected);
  EXPECT_TRUE(GetWindowLongPtrW(Window(form.button), GWL_STYLE) & WS_TABSTOP);
  EXPECT_FALSE(GetWindowLongPtrW(Window(form.label), GWL_STYLE) & WS_TABSTOP);

  // Positions in pixels at the window's DPI.
  const UINT dpi = Dpi(Window(form));
  RECT r{};
  GetWindowRect(Window(form.button), &r);
  MapWindowPoints(nullptr, Window(form), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, MulDiv(240, static_cast<int>(dpi), 1440));
  EXPECT_EQ(r.top, MulDiv(360, static_cast<int>(dpi), 1440));
  EXPECT_EQ(r.right - r.left, MulDiv(1215, static_cast<int>(dpi), 1440));

  // A later change of the tab order moves the windows: without a tab index the list goes
  // among the other such controls, in the order they were declared.
  form.list.SetTabIndex(-1);
  EXPECT_EQ(GetWindow(Window(form.text), GW_HWNDNEXT), Window(form.label));
  EXPECT_EQ(GetWindow(Window(form.label), GW_HWNDNEXT), Window(form.list));
}

TEST_F(Win32HostTest, ClicksReachTheModelOnlyWhileAPersonCouldMakeThem) {
  TestForm& form = Main();
  form.Show();
  SendMessageW(Window(form.button), BM_CLICK, 0, 0);
  EXPECT_EQ(form.clicks, 1);

  form.button.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(Window(form.button)));
  // Wine delivers a click to a disabled button; the host refuses it.
  SendMessageW(Window(form), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(Window(form.button)), BN_CLICKED),
               reinterpret_cast<LPARAM>(Window(form.button)));
  EXPECT_EQ(form.clicks, 1);

  // A frame's state carries over to what it groups.
  form.frame.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(Window(form.box)));
  form.frame.SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(Window(form.box)));
}

TEST_F(Win32HostTest, CheckBoxComboBoxAndTextBoxFollowTheirModelsBothWays) {
  TestForm& form = Main();
  form.Show();
  SendMessageW(Window(form.box), BM_CLICK, 0, 0);
  EXPECT_EQ(form.box.Value(), 1);
  EXPECT_EQ(SendMessageW(Window(form.box), BM_GETCHECK, 0, 0), BST_CHECKED);
  form.box.SetValue(0);
  EXPECT_EQ(SendMessageW(Window(form.box), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  form.combo.AddItem("D:\\");
  form.combo.AddItem("E:\\");
  HWND combo = Window(form.combo);
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  SendMessageW(combo, CB_SETCURSEL, 1, 0);
  SendMessageW(Window(form), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  EXPECT_EQ(form.combo.Text(), "E:\\");
  form.combo.Clear();
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 0);

  form.text.SetText("[3.1]\n-Other\r\n  -fix error.");
  EXPECT_EQ(Text(Window(form.text)), L"[3.1]\r\n-Other\r\n  -fix error.");
  const LONG_PTR style = GetWindowLongPtrW(Window(form.text), GWL_STYLE);
  EXPECT_TRUE(style & ES_MULTILINE);
  EXPECT_TRUE(style & ES_READONLY);
  EXPECT_TRUE(style & WS_VSCROLL);

  // Labels and frames are drawn red on black, text boxes as text boxes.
  HDC dc = GetDC(Window(form));
  const auto brush = SendMessageW(Window(form), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                  reinterpret_cast<LPARAM>(Window(form.label)));
  EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));
  SendMessageW(Window(form), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Window(form.text)));
  EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_WINDOWTEXT));
  ReleaseDC(Window(form), dc);
}

TEST_F(Win32HostTest, CheckListShowsTheModelsLinesAndMarksAndPassesTicksBack) {
  TestForm& form = Main();
  form.Show();
  HWND list = Window(form.list);
  for (const char* name : {"autorun.inf", "Photos.lnk", "x.vbs"}) form.list.AddItem(name);
  form.list.SetSelected(1, true);
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(ItemText(list, 0), L"autorun.inf");
  EXPECT_EQ(ItemText(list, 2), L"x.vbs");
  EXPECT_FALSE(ItemChecked(list, 0));
  EXPECT_TRUE(ItemChecked(list, 1));

  // A tick by the user (or a driver) marks the line in the model, and is not echoed back.
  const int changesBefore = form.listChanges;
  TickItem(list, 2, true);
  EXPECT_TRUE(form.list.Selected(2));
  EXPECT_EQ(form.listChanges, changesBefore + 1);
  TickItem(list, 1, false);
  EXPECT_FALSE(form.list.Selected(1));

  // Removing a line moves the marks with their lines.
  form.list.RemoveItem(0);
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(ItemText(list, 0), L"Photos.lnk");
  EXPECT_FALSE(ItemChecked(list, 0));
  EXPECT_TRUE(ItemChecked(list, 1));

  // While the list is disabled a tick is not the user's to give: the box goes back.
  form.list.SetEnabled(false);
  TickItem(list, 0, true);
  EXPECT_FALSE(form.list.Selected(0));
  EXPECT_FALSE(ItemChecked(list, 0));

  form.list.Clear();
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
}

TEST_F(Win32HostTest, CheckListTakesThousandsOfLinesInOneUpdate) {
  TestForm& form = Main();
  form.Show();
  for (int i = 0; i < 3000; ++i) form.list.AddItem("entry " + std::to_string(i));
  for (int i = 2999; i >= 0; --i) form.list.SetSelected(i, i % 2 == 0);
  HWND list = Window(form.list);
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3000);
  EXPECT_EQ(ItemText(list, 2999), L"entry 2999");
  EXPECT_TRUE(ItemChecked(list, 2998));
  EXPECT_FALSE(ItemChecked(list, 2999));
  form.list.RemoveItem(1500);
  EXPECT_EQ(ItemText(list, 1500), L"entry 1501");
}

TEST_F(Win32HostTest, MenuIsBuiltFromTheItemsAndChoosesThem) {
  TestForm& form = Main();
  form.Show();
  HMENU bar = GetMenu(Window(form));
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(GetMenuItemCount(bar), 1);
  HMENU popup = GetSubMenu(bar, 0);
  ASSERT_EQ(GetMenuItemCount(popup), 3);
  EXPECT_TRUE(GetMenuState(popup, 1, MF_BYPOSITION) & MF_SEPARATOR);

  // The command of "Open", as the window's menu holds it.
  const UINT open = GetMenuItemID(popup, 0);
  SendMessageW(Window(form), WM_COMMAND, MAKEWPARAM(open, 0), 0);
  EXPECT_EQ(form.menuClicks, 1);

  form.open.SetEnabled(false);
  popup = GetSubMenu(GetMenu(Window(form)), 0);
  EXPECT_TRUE(GetMenuState(popup, open, MF_BYCOMMAND) & MF_GRAYED);
  SendMessageW(Window(form), WM_COMMAND, MAKEWPARAM(open, 0), 0);
  EXPECT_EQ(form.menuClicks, 1);

  // A check mark beside an item follows the model.
  EXPECT_FALSE(GetMenuState(popup, open, MF_BYCOMMAND) & MF_CHECKED);
  form.open.SetChecked(true);
  popup = GetSubMenu(GetMenu(Window(form)), 0);
  EXPECT_TRUE(GetMenuState(popup, open, MF_BYCOMMAND) & MF_CHECKED);
  form.open.SetChecked(false);
  popup = GetSubMenu(GetMenu(Window(form)), 0);
  EXPECT_FALSE(GetMenuState(popup, open, MF_BYCOMMAND) & MF_CHECKED);

  form.quit.SetVisible(false);
  popup = GetSubMenu(GetMenu(Window(form)), 0);
  EXPECT_EQ(GetMenuItemCount(popup), 2);
}

TEST_F(Win32HostTest, TimerTicksThroughTheMessageLoopWhileEnabled) {
  TestForm& form = Main();
  form.Show();
  form.timer.SetInterval(1);
  form.timer.SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return form.ticks >= 3; }));
  form.timer.SetEnabled(false);
  Pump();  // a tick already queued may still arrive
  const int stopped = form.ticks;
  Sleep(100);
  Pump();
  EXPECT_EQ(form.ticks, stopped);
}

TEST_F(Win32HostTest, CloseBoxUnloadsTheForm) {
  TestForm& form = Main();
  form.Show();
  HWND hwnd = Window(form);
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(form.unloads, 1);
  EXPECT_FALSE(form.Loaded());
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(Window(form.button), nullptr);
}

TEST_F(Win32HostTest, FormCanUnloadItselfInsideItsOwnClickAndLoadAgain) {
  TestForm& form = Main();
  form.onClick = [&form] { form.Unload(); };
  form.Show();
  HWND button = Window(form.button);
  HWND hwnd = Window(form);
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_EQ(form.unloads, 1);
  EXPECT_FALSE(IsWindow(hwnd));
  Pump();

  form.onClick = nullptr;
  form.Show();
  ASSERT_NE(Window(form), nullptr);
  SendMessageW(Window(form.button), BM_CLICK, 0, 0);
  EXPECT_EQ(form.clicks, 2);
}

TEST_F(Win32HostTest, TabMovesTheFocusAlongTheTabOrder) {
  TestForm& form = Main();
  form.Show();
  SetForegroundWindow(Window(form));
  Pump();
  SetFocus(Window(form.second));
  ASSERT_EQ(GetFocus(), Window(form.second));
  MSG tab{};
  tab.hwnd = Window(form.second);
  tab.message = WM_KEYDOWN;
  tab.wParam = VK_TAB;
  EXPECT_TRUE(host.PreTranslateMessage(tab));
  EXPECT_EQ(GetFocus(), Window(form.box));
}

TEST_F(Win32HostTest, EnterAndEscPressTheDefaultAndTheCancelButton) {
  TestForm& form = Main();
  form.Show();
  form.button.SetDefault(true);
  form.button.SetCancel(true);
  EXPECT_EQ(GetWindowLongPtrW(Window(form.button), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(GetWindowLongPtrW(Window(form.second), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  SetForegroundWindow(Window(form));
  Pump();
  SetFocus(Window(form.box));  // the focus on no push button
  ASSERT_EQ(GetFocus(), Window(form.box));
  const auto press = [&](WPARAM key) {
    MSG down{};
    down.hwnd = Window(form.box);
    down.message = WM_KEYDOWN;
    down.wParam = key;
    EXPECT_TRUE(host.PreTranslateMessage(down));
  };
  press(VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return form.clicks == 1; }));
  press(VK_ESCAPE);
  EXPECT_TRUE(PumpUntil([&] { return form.clicks == 2; }));
  // In the read-only text box too, which otherwise takes every key.
  SetFocus(Window(form.text));
  ASSERT_EQ(GetFocus(), Window(form.text));
  MSG inText{};
  inText.hwnd = Window(form.text);
  inText.message = WM_KEYDOWN;
  inText.wParam = VK_RETURN;
  EXPECT_TRUE(host.PreTranslateMessage(inText));
  EXPECT_TRUE(PumpUntil([&] { return form.clicks == 3; }));
  inText.wParam = VK_ESCAPE;
  EXPECT_TRUE(host.PreTranslateMessage(inText));
  EXPECT_TRUE(PumpUntil([&] { return form.clicks == 4; }));
  SetFocus(Window(form.box));
  // A person cannot press a disabled button, with the keyboard either.
  form.button.SetEnabled(false);
  press(VK_RETURN);
  press(VK_ESCAPE);
  Pump();
  EXPECT_EQ(form.clicks, 4);
}

TEST_F(Win32HostTest, CheckTableShowsColumnsRowsAndMarksAndPassesTicksBack) {
  KindsForm& form = Kinds();
  form.Show();
  HWND table = Window(form.table);
  ASSERT_NE(table, nullptr);
  wchar_t className[64] = {};
  GetClassNameW(table, className, 64);
  EXPECT_STREQ(className, L"SysListView32");
  const LONG_PTR style = GetWindowLongPtrW(table, GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_FALSE(style & LVS_NOCOLUMNHEADER);
  EXPECT_TRUE(SendMessageW(table, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES);

  // The headers and their widths in pixels at the window's DPI.
  HWND header = reinterpret_cast<HWND>(SendMessageW(table, LVM_GETHEADER, 0, 0));
  ASSERT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
  const UINT dpi = Dpi(Window(form));
  const std::pair<const wchar_t*, int> columns[] = {{L"Name", 2400}, {L"Size", 900}, {L"Found in", 2400}};
  for (int c = 0; c < 3; ++c) {
    wchar_t text[64] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text;
    column.cchTextMax = 64;
    ASSERT_TRUE(SendMessageW(table, LVM_GETCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(text, columns[c].first);
    EXPECT_EQ(column.cx, MulDiv(columns[c].second, static_cast<int>(dpi), 1440)) << c;
  }

  form.table.AddItem({"x.vbs", "12", "E:\\"}, {"E:\\x.vbs"});
  form.table.AddItem({"autorun.inf", "1", "E:\\"});
  form.table.AddItem({"Photos.lnk", "3", "E:\\DCIM"});
  form.table.SetSelected(2, true);
  ASSERT_EQ(SendMessageW(table, LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(ItemText(table, 0, 0), L"x.vbs");
  EXPECT_EQ(ItemText(table, 0, 1), L"12");
  EXPECT_EQ(ItemText(table, 2, 2), L"E:\\DCIM");
  EXPECT_TRUE(ItemChecked(table, 2));
  EXPECT_FALSE(ItemChecked(table, 0));

  // A tick from the window marks the row in the model.
  const int changes = form.tableChanges;
  TickItem(table, 1, true);
  EXPECT_TRUE(form.table.Selected(1));
  EXPECT_EQ(form.tableChanges, changes + 1);
  form.table.SetEnabled(false);
  TickItem(table, 0, true);
  EXPECT_FALSE(form.table.Selected(0));
  EXPECT_FALSE(ItemChecked(table, 0));
}

TEST_F(Win32HostTest, ClickingAHeaderSortsTheModelAndTheWindowShowsTheSameOrder) {
  KindsForm& form = Kinds();
  form.Show();
  HWND table = Window(form.table);
  for (const char* name : {"b.vbs", "c.lnk", "a.inf"}) form.table.AddItem({name, "1", "E:\\"});
  form.table.SetSelected(0, true);  // b.vbs

  ClickHeader(table, 0);
  EXPECT_EQ(form.table.SortColumn(), 0);
  EXPECT_TRUE(form.table.SortAscending());
  EXPECT_EQ(Column(table, 0), (std::vector<std::wstring>{L"a.inf", L"b.vbs", L"c.lnk"}));
  EXPECT_EQ(form.table.Cell(1, 0), "b.vbs");
  EXPECT_TRUE(form.table.Selected(1));
  EXPECT_TRUE(ItemChecked(table, 1));
  EXPECT_FALSE(ItemChecked(table, 0));
  EXPECT_TRUE(HeaderFormat(table, 0) & HDF_SORTUP);

  // The same header again: the other way round.
  ClickHeader(table, 0);
  EXPECT_FALSE(form.table.SortAscending());
  EXPECT_EQ(Column(table, 0), (std::vector<std::wstring>{L"c.lnk", L"b.vbs", L"a.inf"}));
  EXPECT_TRUE(HeaderFormat(table, 0) & HDF_SORTDOWN);
  EXPECT_FALSE(HeaderFormat(table, 0) & HDF_SORTUP);

  // A tick after the sort reaches the row it was given on.
  TickItem(table, 0, true);
  EXPECT_EQ(form.table.Cell(0, 0), "c.lnk");
  EXPECT_TRUE(form.table.Selected(0));

  // Not the person's to sort while the table is disabled (Wine delivers the click anyway).
  form.table.SetEnabled(false);
  NMLISTVIEW click{};
  click.hdr.hwndFrom = table;
  click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(table));
  click.hdr.code = LVN_COLUMNCLICK;
  click.iItem = -1;
  click.iSubItem = 0;
  SendMessageW(Window(form), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
  EXPECT_FALSE(form.table.SortAscending());
  EXPECT_EQ(Column(table, 0), (std::vector<std::wstring>{L"c.lnk", L"b.vbs", L"a.inf"}));
}

TEST_F(Win32HostTest, ProgressBarShowsTheModelsRangeAndValue) {
  KindsForm& form = Kinds();
  form.Show();
  HWND bar = Window(form.progress);
  ASSERT_NE(bar, nullptr);
  wchar_t className[64] = {};
  GetClassNameW(bar, className, 64);
  EXPECT_STREQ(className, L"msctls_progress32");
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, 0), 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 100);

  form.progress.SetValue(37);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 37);
  form.progress.SetRange(10, 20);  // the value follows into the range
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, 0), 10);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 20);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 20);
  form.progress.SetValue(15);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 15);
}

TEST_F(Win32HostTest, TextBoxSettingsChangedAfterTheLoadReachTheWindow) {
  KindsForm& form = Kinds();
  form.Show();
  form.notes.SetText("line one\nline two");
  HWND before = Window(form.notes);
  const int id = GetDlgCtrlID(before);
  form.notes.SetReadOnly(false);
  EXPECT_EQ(Window(form.notes), before);  // changed in place
  EXPECT_FALSE(GetWindowLongPtrW(before, GWL_STYLE) & ES_READONLY);

  // Without a scroll bar the window is made again, with the same text, id and place in the
  // tab order.
  form.notes.SetVerticalScrollBar(false);
  HWND after = Window(form.notes);
  ASSERT_NE(after, nullptr);
  EXPECT_FALSE(IsWindow(before));
  const LONG_PTR style = GetWindowLongPtrW(after, GWL_STYLE);
  EXPECT_FALSE(style & WS_VSCROLL);
  EXPECT_TRUE(style & ES_MULTILINE);
  EXPECT_FALSE(style & ES_READONLY);
  EXPECT_EQ(Text(after), L"line one\r\nline two");
  EXPECT_EQ(GetDlgCtrlID(after), id);
  EXPECT_EQ(GetWindow(Window(form.table), GW_HWNDNEXT), after);
  EXPECT_EQ(GetWindow(after, GW_HWNDNEXT), Window(form.ok));
  form.notes.SetText("changed");
  EXPECT_EQ(Text(after), L"changed");
}

// Refuses to make windows of one class, as a system short of resources would.
class RefuseWindows {
 public:
  explicit RefuseWindows(const wchar_t* windowClass) {
    refused_ = windowClass;
    hook_ = SetWindowsHookExW(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
  }
  ~RefuseWindows() {
    UnhookWindowsHookEx(hook_);
    refused_ = nullptr;
  }
  RefuseWindows(const RefuseWindows&) = delete;
  RefuseWindows& operator=(const RefuseWindows&) = delete;
  bool Active() const { return hook_ != nullptr; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && refused_ != nullptr) {
      const wchar_t* windowClass = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->lpszClass;
      if (!IS_INTRESOURCE(windowClass) && lstrcmpiW(windowClass, refused_) == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static inline const wchar_t* refused_ = nullptr;
  HHOOK hook_ = nullptr;
};

bool Reported(const std::vector<std::string>& failures, const std::string& part) {
  for (const std::string& line : failures) {
    if (line.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST_F(Win32HostTest, AControlWhoseWindowCannotBeMadeIsReportedAndKnownToHaveNone) {
  KindsForm& form = Kinds();
  {
    RefuseWindows refuse(L"msctls_progress32");
    ASSERT_TRUE(refuse.Active());
    form.Show();
  }
  ASSERT_NE(Window(form), nullptr);
  EXPECT_TRUE(Reported(host.Failures(), "CreateWindowExW of msctls_progress32 for control progress failed"))
      << (host.Failures().empty() ? std::string("no failure reported") : host.Failures().back());
  EXPECT_EQ(Window(form.progress), nullptr);
  // The other controls are there and work; changes of the one without a window go nowhere.
  EXPECT_NE(Window(form.table), nullptr);
  EXPECT_NE(Window(form.ok), nullptr);
  form.progress.SetValue(50);
  form.progress.SetRange(0, 10);
  form.table.AddItem({"x.vbs"});
  EXPECT_EQ(SendMessageW(Window(form.table), LVM_GETITEMCOUNT, 0, 0), 1);

  // The next load makes it.
  form.Unload();
  form.Show();
  EXPECT_NE(Window(form.progress), nullptr);
}

TEST_F(Win32HostTest, AFormWindowOrAPictureThatCannotBeMadeIsReported) {
  KindsForm& form = Kinds();
  {
    RefuseWindows refuse(L"TidewickForm");
    form.Show();
  }
  EXPECT_TRUE(form.Loaded());
  EXPECT_EQ(Window(form), nullptr);
  EXPECT_EQ(Window(form.ok), nullptr);
  EXPECT_TRUE(Reported(host.Failures(), "CreateWindowExW for form kinds failed"));
  form.Unload();

  // This program holds no bitmap resources.
  form.Show();
  form.emblem.SetResourceId(4242);
  EXPECT_TRUE(Reported(host.Failures(), "LoadImageW of bitmap 4242 for emblem failed"));
}

}  // namespace
}  // namespace tidewick::ui
