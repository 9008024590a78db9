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

class Win32HostTest : public ::testing::Test {
 protected:
  Win32HostTest() {
    app.Register("main", [](Application& a) { return std::make_unique<TestForm>(a, "main", false); });
    app.Register("tool", [](Application& a) { return std::make_unique<TestForm>(a, "tool", true); });
  }
  ~Win32HostTest() override {
    for (Form* form : std::vector<Form*>(app.LoadedForms())) form->Unload();
  }

  TestForm& Main() { return app.Get<TestForm>("main"); }
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
  std::wstring ItemText(HWND list, int index) {
    wchar_t buffer[256] = {};
    LVITEMW item{};
    item.iSubItem = 0;
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

  SendMessageW(Window(form), WM_COMMAND, MAKEWPARAM(form.open.commandId, 0), 0);
  EXPECT_EQ(form.menuClicks, 1);

  form.open.SetEnabled(false);
  popup = GetSubMenu(GetMenu(Window(form)), 0);
  EXPECT_TRUE(GetMenuState(popup, static_cast<UINT>(form.open.commandId), MF_BYCOMMAND) & MF_GRAYED);
  SendMessageW(Window(form), WM_COMMAND, MAKEWPARAM(form.open.commandId, 0), 0);
  EXPECT_EQ(form.menuClicks, 1);

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
  EXPECT_EQ(form.button.hostHandle, 0u);
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

}  // namespace
}  // namespace tidewick::ui
