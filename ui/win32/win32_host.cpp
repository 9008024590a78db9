#include "ui/win32/win32_host.h"

#include <windows.h>
#include <commctrl.h>

#include "platform/win32/win32_text.h"
#include "ui/win32/control_view.h"
#include "ui/win32/views.h"
#include "ui/win32/win32_dpi.h"
#include "win32/handles.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tidewick::ui {

namespace {

constexpr wchar_t kFormClass[] = L"TidewickForm";
constexpr wchar_t kOwnerClass[] = L"TidewickOwner";
// Control ids start above IDOK and IDCANCEL, which the keyboard handling sends for Enter and
// Escape; menu command ids lie in a range of their own.
constexpr int kFirstControlId = 100;
constexpr int kFirstMenuId = 1000;
// Resource id of the program's icon, used for forms that name none.
constexpr int kDefaultIconResource = 1;
// The diagnostic channel keeps this many of the latest failures.
constexpr std::size_t kFailuresKept = 100;

// The fonts of the models, by the names the system knows today.
std::wstring SystemFontName(const std::string& name) {
  if (name == "MS Sans Serif") return L"Microsoft Sans Serif";
  return win32::Widen(name);
}

bool EffectiveEnabled(const Control& control) {
  for (const Control* c = &control; c != nullptr; c = c->Container()) {
    if (!c->Enabled()) return false;
  }
  return true;
}

bool EffectiveVisible(const Control& control) {
  for (const Control* c = &control; c != nullptr; c = c->Container()) {
    if (!c->Visible()) return false;
  }
  return true;
}

bool IsInside(const Control& control, const Control& frame) {
  for (const Control* c = control.Container(); c != nullptr; c = c->Container()) {
    if (c == &frame) return true;
  }
  return false;
}

// The system's text for an error code, on one line.
std::string ErrorText(DWORD error) {
  wchar_t buffer[512] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                      buffer, 512, nullptr);
  std::wstring_view text(buffer, length);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.remove_suffix(1);
  return win32::Narrow(text);
}

std::string ClassName(const wchar_t* windowClass) { return win32::Narrow(windowClass); }

}  // namespace

// The window of one loaded form and the views of its controls. The members are declared so
// that the windows go first (the tooltips, then the form window with its controls and its
// menu), then the views that served them, then the fonts the controls used.
struct FormWindow final : ViewHost {
  FormWindow(Win32Host::Impl& host, Form& model) : impl(host), form(model) {}
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  HINSTANCE Instance() const override;
  UINT Dpi() const override { return dpi; }
  bool PersonMayAct(const Control& control) const override;
  void ReportFailure(std::string_view what, DWORD error) override;
  void Recreate(ControlView& view) override;

  ControlView* ViewOf(const Control& control) const {
    auto it = viewOf.find(&control);
    return it == viewOf.end() ? nullptr : it->second;
  }
  ControlView* ViewAt(HWND control) const {
    auto it = viewAt.find(control);
    return it == viewAt.end() ? nullptr : it->second;
  }
  // Destroys the windows now, with their messages still handled: the form window stays known
  // until the window procedure lets go of it at WM_NCDESTROY.
  void Close() {
    tooltip.reset();
    if (hwnd) DestroyWindow(hwnd.get());
  }

  Win32Host::Impl& impl;
  Form& form;
  UINT dpi = 96;
  HWND lastFocus = nullptr;  // borrowed: one of the controls
  std::map<std::pair<std::wstring, double>, win32::UniqueFont> fonts;
  std::vector<std::unique_ptr<ControlView>> views;  // in the order of the form's controls
  std::map<const Control*, ControlView*> viewOf;
  std::map<HWND, ControlView*> viewAt;  // routes the controls' messages
  std::map<int, MenuItem*> menuCommands;
  std::map<const MenuItem*, int> commandIds;
  std::map<const Timer*, UINT_PTR> timerIds;
  win32::UniqueWindow hwnd;     // the form window, with its controls and its menu
  win32::UniqueWindow tooltip;  // the tooltips of its controls
};

struct Win32Host::Impl {
  Impl();
  ~Impl();

  // ---- forms ----
  void Create(Form& form);
  void Destroy(Form& form);
  FormWindow* Find(const Form& form) const;
  FormWindow* FindByTimer(const Timer& timer) const;
  FormWindow* FindByMenu(const MenuItem& item) const;
  HWND HiddenOwner();
  HWND OwnerFor(const Form& form);
  void Center(FormWindow& window);
  void FitClientArea(FormWindow& window);
  void Show(FormWindow& window);

  // ---- controls ----
  void CreateControls(FormWindow& window);
  void CreateControlWindow(FormWindow& window, ControlView& view);
  std::vector<ControlView*> ZOrder(const FormWindow& window) const;
  void ApplyZOrder(FormWindow& window);
  void Place(FormWindow& window, ControlView& view);
  void UpdateEnabled(FormWindow& window, Control& changed);
  void UpdateVisible(FormWindow& window, Control& changed);
  void UpdateTooltip(FormWindow& window, ControlView& view);
  void RemoveTooltip(FormWindow& window, HWND control);
  HFONT FontFor(FormWindow& window, const Font& font);
  void RescaleFonts(FormWindow& window);

  // ---- menus and timers ----
  win32::UniqueMenu BuildMenuBar(const FormWindow& window);
  void AppendMenuItem(const FormWindow& window, HMENU parent, const MenuItem& item);
  void ApplyTimer(FormWindow& window, Timer& timer);

  // ---- messages ----
  static LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleFormMessage(FormWindow& window, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(FormWindow& window, WPARAM wParam, LPARAM lParam);
  LRESULT OnNotify(FormWindow& window, const NMHDR& header);
  void OnTimer(FormWindow& window, UINT_PTR id);
  LRESULT OnColor(FormWindow& window, HDC dc, HWND control);
  void OnDrawItem(FormWindow& window, const DRAWITEMSTRUCT& item);
  bool OnSetCursor(FormWindow& window, HWND over, UINT hitTest);
  void OnActivate(FormWindow& window, bool active);
  void OnDpiChanged(FormWindow& window, UINT dpi, const RECT& suggested);

  // ---- diagnostics ----
  // A Win32 call failed: the debugger's output and the host's list of failures tell what, with
  // the error it left.
  void ReportFailure(std::string_view what, DWORD error);

  // Windows whose form was unloaded while one of their messages was being handled live on
  // until the outermost message handler returns.
  struct DispatchScope {
    explicit DispatchScope(Impl& impl) : impl_(impl) { ++impl_.depth; }
    ~DispatchScope() {
      if (--impl_.depth == 0) impl_.graveyard.clear();
    }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;
    Impl& impl_;
  };

  HINSTANCE instance = nullptr;  // borrowed: the program's module
  DpiApi dpiApi;
  std::vector<std::string> failures;
  win32::UniqueWindow owner;  // the hidden owner; declared before the form windows, so it outlives them
  std::map<const Form*, std::unique_ptr<FormWindow>> windows;
  std::vector<std::unique_ptr<FormWindow>> graveyard;
  int depth = 0;
  int busy = 0;
};

// ---- FormWindow --------------------------------------------------------------------------

// A window still open when its FormWindow goes (the host is closing, and the forms may be gone
// already) is closed without a word to its form.
FormWindow::~FormWindow() {
  if (!hwnd) return;
  SetWindowLongPtrW(hwnd.get(), GWLP_USERDATA, 0);
  for (auto& view : views) view->Forget();
}

HINSTANCE FormWindow::Instance() const { return impl.instance; }

// The one rule of both hosts, and what only the window system knows: the control has a window.
bool FormWindow::PersonMayAct(const Control& control) const {
  const ControlView* view = ViewOf(control);
  return view != nullptr && view->Window() != nullptr && CanUserAct(control);
}

void FormWindow::ReportFailure(std::string_view what, DWORD error) { impl.ReportFailure(what, error); }

void FormWindow::Recreate(ControlView& view) {
  HWND old = view.Window();
  if (old == nullptr) return;
  const bool focused = GetFocus() == old;
  impl.RemoveTooltip(*this, old);
  viewAt.erase(old);
  if (lastFocus == old) lastFocus = nullptr;
  view.Attach(nullptr, view.Id());
  DestroyWindow(old);
  impl.CreateControlWindow(*this, view);
  impl.ApplyZOrder(*this);
  if (focused && view.Window() != nullptr) SetFocus(view.Window());
}

// ---- Impl --------------------------------------------------------------------------------

Win32Host::Impl::Impl() : instance(GetModuleHandleW(nullptr)) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES |
                                                                  ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  // A class registered already (by an earlier host of this program) serves as it is.
  auto registerClass = [this](const WNDCLASSEXW& windowClass) {
    if (RegisterClassExW(&windowClass) != 0) return;
    const DWORD error = GetLastError();
    if (error != ERROR_CLASS_ALREADY_EXISTS) {
      ReportFailure("RegisterClassExW of " + ClassName(windowClass.lpszClassName), error);
    }
  };

  WNDCLASSEXW form{};
  form.cbSize = sizeof(form);
  form.lpfnWndProc = &Impl::FormProc;
  form.hInstance = instance;
  form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kDefaultIconResource));
  form.lpszClassName = kFormClass;
  registerClass(form);

  WNDCLASSEXW hidden{};
  hidden.cbSize = sizeof(hidden);
  hidden.lpfnWndProc = DefWindowProcW;
  hidden.hInstance = instance;
  hidden.lpszClassName = kOwnerClass;
  registerClass(hidden);
}

// The windows still open go with their FormWindows, then the hidden owner.
Win32Host::Impl::~Impl() {
  windows.clear();
  graveyard.clear();
}

void Win32Host::Impl::ReportFailure(std::string_view what, DWORD error) {
  std::string line = std::string(what) + " failed: " + ErrorText(error) + " (error " + std::to_string(error) + ")";
  OutputDebugStringW(win32::Widen("Tidewick: " + line + "\n").c_str());
  if (failures.size() == kFailuresKept) failures.erase(failures.begin());
  failures.push_back(std::move(line));
}

FormWindow* Win32Host::Impl::Find(const Form& form) const {
  auto it = windows.find(&form);
  return it == windows.end() ? nullptr : it->second.get();
}

FormWindow* Win32Host::Impl::FindByTimer(const Timer& timer) const {
  for (const auto& [form, window] : windows) {
    if (window->timerIds.count(&timer) != 0) return window.get();
  }
  return nullptr;
}

FormWindow* Win32Host::Impl::FindByMenu(const MenuItem& item) const {
  for (const auto& [form, window] : windows) {
    if (window->commandIds.count(&item) != 0) return window.get();
  }
  return nullptr;
}

// Windows without a taskbar entry are owned; when their form names no owner, this hidden
// window owns them.
HWND Win32Host::Impl::HiddenOwner() {
  if (!owner) {
    owner.reset(CreateWindowExW(0, kOwnerClass, L"Tidewick", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                                nullptr));
    if (!owner) ReportFailure("CreateWindowExW of the hidden owner window", GetLastError());
  }
  return owner.get();
}

HWND Win32Host::Impl::OwnerFor(const Form& form) {
  if (form.OwnerForm() != nullptr) {
    if (FormWindow* w = Find(*form.OwnerForm())) return w->hwnd.get();
  }
  return HiddenOwner();
}

// ---- forms ---------------------------------------------------------------------------------

void Win32Host::Impl::Create(Form& form) {
  if (Find(form) != nullptr) return;
  auto window = std::make_unique<FormWindow>(*this, form);
  const FormStyle& style = form.Style();

  DWORD ws = WS_CAPTION;
  DWORD ex = 0;
  switch (style.border) {
    case BorderStyle::FixedSingle:
      break;
    case BorderStyle::FixedToolWindow:
      ex |= WS_EX_TOOLWINDOW;
      break;
    case BorderStyle::SizableToolWindow:
      ex |= WS_EX_TOOLWINDOW;
      ws |= WS_THICKFRAME;
      break;
    case BorderStyle::None:
      ws = WS_POPUP;
      break;
  }
  if (style.closeBox && style.border != BorderStyle::None) ws |= WS_SYSMENU;
  if (style.minButton) ws |= WS_MINIMIZEBOX;
  if (style.maxButton) ws |= WS_MAXIMIZEBOX;
  if (!form.Enabled()) ws |= WS_DISABLED;

  HWND ownerWindow = style.showInTaskbar ? nullptr : OwnerFor(form);

  // The window is made at the DPI of the monitor it will appear on.
  HMONITOR monitor = nullptr;
  FormWindow* ownerForm = form.OwnerForm() != nullptr ? Find(*form.OwnerForm()) : nullptr;
  if (style.position == StartPosition::CenterOwner && ownerForm != nullptr) {
    monitor = MonitorFromWindow(ownerForm->hwnd.get(), MONITOR_DEFAULTTOPRIMARY);
  } else {
    monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  }
  window->dpi = dpiApi.ForMonitor(monitor);

  int id = kFirstMenuId;
  for (MenuItem* item : form.MenuItems()) {
    window->commandIds[item] = id;
    window->menuCommands[id] = item;
    ++id;
  }
  win32::UniqueMenu menu = BuildMenuBar(*window);

  RECT frame{0, 0, Px(style.clientWidth, window->dpi), Px(style.clientHeight, window->dpi)};
  dpiApi.AdjustWindowRect(frame, ws, menu.valid(), ex, window->dpi);

  // The window procedure takes the window into window->hwnd as it is made.
  HWND hwnd = CreateWindowExW(ex, kFormClass, win32::Widen(form.Caption()).c_str(), ws, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, ownerWindow, menu.get(), instance,
                              window.get());
  if (hwnd == nullptr) {
    ReportFailure("CreateWindowExW for form " + form.Name(), GetLastError());
    return;
  }
  menu.release();  // the window's now
  window->dpi = dpiApi.ForWindow(hwnd);

  const int iconId = style.iconResource != 0 ? style.iconResource : kDefaultIconResource;
  auto icon = [&](int metric) {
    const int size = GetSystemMetrics(metric);
    // Shared: the system keeps it, nobody destroys it.
    HANDLE loaded = LoadImageW(instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, size, size, LR_SHARED);
    // A program without an icon of its own (a test program) shows the system's.
    if (loaded == nullptr && style.iconResource != 0) {
      ReportFailure("LoadImageW of icon " + std::to_string(iconId) + " for form " + form.Name(), GetLastError());
    }
    return reinterpret_cast<LPARAM>(loaded);
  };
  SendMessageW(hwnd, WM_SETICON, ICON_BIG, icon(SM_CXICON));
  SendMessageW(hwnd, WM_SETICON, ICON_SMALL, icon(SM_CXSMICON));

  window->tooltip.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, instance, nullptr));
  if (!window->tooltip) ReportFailure("CreateWindowExW of the tooltips for form " + form.Name(), GetLastError());

  FormWindow& w = *window;
  windows[&form] = std::move(window);
  CreateControls(w);
  FitClientArea(w);
  Center(w);

  UINT_PTR timerId = 1;
  for (Timer* timer : form.Timers()) {
    w.timerIds[timer] = timerId++;
    ApplyTimer(w, *timer);
  }
}

void Win32Host::Impl::Destroy(Form& form) {
  auto it = windows.find(&form);
  if (it == windows.end()) return;
  std::unique_ptr<FormWindow> window = std::move(it->second);
  windows.erase(it);
  HWND hwnd = window->hwnd.get();

  for (const auto& [timer, id] : window->timerIds) KillTimer(hwnd, id);
  window->timerIds.clear();
  // A window is destroyed with its owner: windows that this one owns move to the hidden owner.
  for (auto& [other, otherWindow] : windows) {
    if (GetWindow(otherWindow->hwnd.get(), GW_OWNER) == hwnd) {
      SetWindowLongPtrW(otherWindow->hwnd.get(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(HiddenOwner()));
    }
  }
  window->Close();
  if (depth > 0) graveyard.push_back(std::move(window));

  // Nothing left to show: the message loop ends rather than running on without a window.
  if (windows.empty()) PostQuitMessage(0);
}

void Win32Host::Impl::Center(FormWindow& window) {
  const Form& form = window.form;
  HWND hwnd = window.hwnd.get();
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;

  RECT area{};
  HMONITOR monitor = nullptr;
  FormWindow* ownerWindow = form.OwnerForm() != nullptr ? Find(*form.OwnerForm()) : nullptr;
  if (form.Style().position == StartPosition::CenterOwner && ownerWindow != nullptr) {
    GetWindowRect(ownerWindow->hwnd.get(), &area);
    monitor = MonitorFromWindow(ownerWindow->hwnd.get(), MONITOR_DEFAULTTOPRIMARY);
  } else {
    monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  }
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  GetMonitorInfoW(monitor, &info);
  if (form.Style().position != StartPosition::CenterOwner || ownerWindow == nullptr) area = info.rcWork;

  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  // Keep the title bar on the screen.
  x = std::max<int>(info.rcWork.left, std::min<int>(x, info.rcWork.right - width));
  y = std::max<int>(info.rcWork.top, std::min<int>(y, info.rcWork.bottom - height));
  SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The client area is exactly the form's size, also when the menu bar takes two rows.
void Win32Host::Impl::FitClientArea(FormWindow& window) {
  const FormStyle& style = window.form.Style();
  HWND hwnd = window.hwnd.get();
  RECT client{};
  GetClientRect(hwnd, &client);
  const int dx = Px(style.clientWidth, window.dpi) - client.right;
  const int dy = Px(style.clientHeight, window.dpi) - client.bottom;
  if (dx == 0 && dy == 0) return;
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  SetWindowPos(hwnd, nullptr, 0, 0, outer.right - outer.left + dx, outer.bottom - outer.top + dy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Host::Impl::Show(FormWindow& window) {
  const Form& form = window.form;
  HWND hwnd = window.hwnd.get();
  const bool wasVisible = IsWindowVisible(hwnd) != FALSE;
  if (!wasVisible) {
    if (!form.Style().showInTaskbar) {
      HWND wanted = OwnerFor(form);
      if (GetWindow(hwnd, GW_OWNER) != wanted) {
        SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(wanted));
      }
    }
    if (form.Style().position == StartPosition::CenterOwner) Center(window);
    ShowWindow(hwnd, SW_SHOW);
  } else if (IsIconic(hwnd)) {
    ShowWindow(hwnd, SW_RESTORE);
  }
  BringWindowToTop(hwnd);
  SetForegroundWindow(hwnd);
}

// ---- controls ------------------------------------------------------------------------------

// Tab order is z-order: controls by TabIndex, those without one in the order they were
// declared, and frames last, so that they lie under the controls they group.
std::vector<ControlView*> Win32Host::Impl::ZOrder(const FormWindow& window) const {
  std::vector<ControlView*> order;
  order.reserve(window.views.size());
  for (const auto& view : window.views) order.push_back(view.get());
  std::stable_sort(order.begin(), order.end(), [](const ControlView* a, const ControlView* b) {
    if (a->LiesUnderOthers() != b->LiesUnderOthers()) return b->LiesUnderOthers();
    const int tabA = a->Model().TabIndex() < 0 ? INT_MAX : a->Model().TabIndex();
    const int tabB = b->Model().TabIndex() < 0 ? INT_MAX : b->Model().TabIndex();
    return tabA < tabB;
  });
  return order;
}

void Win32Host::Impl::CreateControls(FormWindow& window) {
  int id = kFirstControlId;
  for (Control* control : window.form.Controls()) {
    std::unique_ptr<ControlView> view = MakeView(*control, window);
    view->Attach(nullptr, id++);
    window.viewOf[control] = view.get();
    window.views.push_back(std::move(view));
  }
  for (ControlView* view : ZOrder(window)) CreateControlWindow(window, *view);
}

// A control whose window cannot be made is reported and stays without one: every later change
// of its model reaches no window, and WindowOf answers null for it.
void Win32Host::Impl::CreateControlWindow(FormWindow& window, ControlView& view) {
  const Control& control = view.Model();
  const WindowSpec spec = view.Spec();
  DWORD ws = WS_CHILD | WS_CLIPSIBLINGS | spec.style;
  if (EffectiveVisible(control)) ws |= WS_VISIBLE;
  if (!EffectiveEnabled(control)) ws |= WS_DISABLED;
  HWND hwnd = CreateWindowExW(spec.exStyle, spec.windowClass, spec.text.c_str(), ws, 0, 0, 0, 0, window.hwnd.get(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(view.Id())), instance, nullptr);
  if (hwnd == nullptr) {
    const DWORD error = GetLastError();
    ReportFailure("CreateWindowExW of " + ClassName(spec.windowClass) + " for control " + control.Name(), error);
    return;
  }
  view.Attach(hwnd, view.Id());
  window.viewAt[hwnd] = &view;
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(window, control.GetFont())), FALSE);
  view.Created();
  Place(window, view);
  view.CatchUp();
  UpdateTooltip(window, view);
}

void Win32Host::Impl::Place(FormWindow& window, ControlView& view) {
  HWND hwnd = view.Window();
  if (hwnd == nullptr) return;
  const Twips& t = view.Model().Position();
  const UINT dpi = window.dpi;
  MoveWindow(hwnd, Px(t.left, dpi), Px(t.top, dpi), Px(t.width, dpi), view.WindowHeight(Px(t.height, dpi)), TRUE);
  view.Placed();
}

void Win32Host::Impl::ApplyZOrder(FormWindow& window) {
  HWND previous = HWND_TOP;
  for (ControlView* view : ZOrder(window)) {
    HWND hwnd = view->Window();
    if (hwnd == nullptr) continue;
    SetWindowPos(hwnd, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = hwnd;
  }
}

// A frame's state carries over to the controls it groups.
void Win32Host::Impl::UpdateEnabled(FormWindow& window, Control& changed) {
  for (Control* control : window.form.Controls()) {
    if (control != &changed && !IsInside(*control, changed)) continue;
    ControlView* view = window.ViewOf(*control);
    if (view != nullptr && view->Window() != nullptr) {
      EnableWindow(view->Window(), EffectiveEnabled(*control) ? TRUE : FALSE);
    }
  }
}

void Win32Host::Impl::UpdateVisible(FormWindow& window, Control& changed) {
  for (Control* control : window.form.Controls()) {
    if (control != &changed && !IsInside(*control, changed)) continue;
    ControlView* view = window.ViewOf(*control);
    if (view != nullptr && view->Window() != nullptr) {
      ShowWindow(view->Window(), EffectiveVisible(*control) ? SW_SHOWNA : SW_HIDE);
    }
  }
}

void Win32Host::Impl::RemoveTooltip(FormWindow& window, HWND control) {
  if (!window.tooltip) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window.hwnd.get();
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  SendMessageW(window.tooltip.get(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32Host::Impl::UpdateTooltip(FormWindow& window, ControlView& view) {
  HWND hwnd = view.Window();
  if (!window.tooltip || hwnd == nullptr) return;
  RemoveTooltip(window, hwnd);
  const Control& control = view.Model();
  if (control.Tooltip().empty()) return;
  std::wstring text = win32::Widen(control.Tooltip());
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window.hwnd.get();
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
  tool.lpszText = text.data();
  SendMessageW(window.tooltip.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

HFONT Win32Host::Impl::FontFor(FormWindow& window, const Font& font) {
  auto key = std::make_pair(SystemFontName(font.name), font.points);
  if (auto it = window.fonts.find(key); it != window.fonts.end()) return it->second.get();
  LOGFONTW logFont{};
  logFont.lfHeight = -static_cast<LONG>(std::lround(font.points * window.dpi / 72.0));
  logFont.lfWeight = FW_NORMAL;
  logFont.lfCharSet = DEFAULT_CHARSET;
  logFont.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(logFont.lfFaceName, key.first.c_str(), LF_FACESIZE);
  win32::UniqueFont handle(CreateFontIndirectW(&logFont));
  if (!handle) {
    // The control keeps the system font.
    ReportFailure("CreateFontIndirectW of " + font.name, GetLastError());
    return nullptr;
  }
  return window.fonts.emplace(std::move(key), std::move(handle)).first->second.get();
}

// The fonts at the new DPI replace the old ones, which go once no control uses them.
void Win32Host::Impl::RescaleFonts(FormWindow& window) {
  auto old = std::move(window.fonts);
  window.fonts.clear();
  for (Control* control : window.form.Controls()) {
    ControlView* view = window.ViewOf(*control);
    if (view != nullptr && view->Window() != nullptr) {
      SendMessageW(view->Window(), WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(window, control->GetFont())), TRUE);
    }
  }
}

// ---- menus and timers ----------------------------------------------------------------------

win32::UniqueMenu Win32Host::Impl::BuildMenuBar(const FormWindow& window) {
  if (window.form.MenuBar().empty()) return {};
  win32::UniqueMenu bar(CreateMenu());
  for (const MenuItem* item : window.form.MenuBar()) AppendMenuItem(window, bar.get(), *item);
  return bar;
}

void Win32Host::Impl::AppendMenuItem(const FormWindow& window, HMENU parent, const MenuItem& item) {
  if (!item.Visible()) return;
  if (item.IsSeparator()) {
    AppendMenuW(parent, MF_SEPARATOR, 0, nullptr);
    return;
  }
  const UINT state = (item.Enabled() ? MF_ENABLED : MF_GRAYED) | (item.Checked() ? MF_CHECKED : MF_UNCHECKED);
  const std::wstring caption = win32::Widen(item.Caption());
  if (!item.Children().empty()) {
    win32::UniqueMenu popup(CreatePopupMenu());
    for (const MenuItem* child : item.Children()) AppendMenuItem(window, popup.get(), *child);
    if (AppendMenuW(parent, MF_STRING | MF_POPUP | state, reinterpret_cast<UINT_PTR>(popup.get()), caption.c_str())) {
      popup.release();  // the parent menu's now
    }
  } else {
    const auto id = window.commandIds.find(&item);
    if (id == window.commandIds.end()) return;
    AppendMenuW(parent, MF_STRING | state, static_cast<UINT_PTR>(id->second), caption.c_str());
  }
}

void Win32Host::Impl::ApplyTimer(FormWindow& window, Timer& timer) {
  const auto it = window.timerIds.find(&timer);
  if (it == window.timerIds.end()) return;
  if (timer.Enabled() && timer.Interval() > 0) {
    SetTimer(window.hwnd.get(), it->second, timer.Interval(), nullptr);
  } else {
    KillTimer(window.hwnd.get(), it->second);
  }
}

// ---- messages ------------------------------------------------------------------------------

LRESULT CALLBACK Win32Host::Impl::FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* window = static_cast<FormWindow*>(create->lpCreateParams);
    window->hwnd.reset(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    // Gone: by Close, or by the system (a failed creation); nothing is left to destroy.
    if (window->hwnd.get() == hwnd) window->hwnd.release();
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  DispatchScope scope(window->impl);
  return window->impl.HandleFormMessage(*window, hwnd, message, wParam, lParam);
}

LRESULT Win32Host::Impl::HandleFormMessage(FormWindow& window, HWND hwnd, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(window, wParam, lParam);
      return 0;
    case WM_NOTIFY:
      return OnNotify(window, *reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:
      OnTimer(window, wParam);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return OnColor(window, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
      OnDrawItem(window, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_SETCURSOR:
      if (OnSetCursor(window, reinterpret_cast<HWND>(wParam), LOWORD(lParam))) return TRUE;
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        OnActivate(window, true);
        return 0;
      }
      OnActivate(window, false);
      break;
    case WM_DPICHANGED:
      OnDpiChanged(window, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE: {
      Form* form = &window.form;
      SkipOnError([form] { form->UserClose(); });
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Win32Host::Impl::OnCommand(FormWindow& window, WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  if (lParam == 0) {
    if (code != 0) return;  // accelerators: none
    // Enter and Esc with the focus on no button: the form's default or cancel button, as a
    // person would press it.
    if (id == IDOK || id == IDCANCEL) {
      CommandButton* button = id == IDOK ? window.form.DefaultButton() : window.form.CancelButton();
      if (button == nullptr || !EffectiveVisible(*button) || !window.PersonMayAct(*button) || !button->Click) return;
      SkipOnError([button] { button->Click(); });
      return;
    }
    const auto it = window.menuCommands.find(id);
    if (it == window.menuCommands.end()) return;
    MenuItem* item = it->second;
    if (!item->Children().empty()) return;
    if (CanUserAct(*item) && item->Click) SkipOnError([item] { item->Click(); });
    return;
  }
  ControlView* view = window.ViewAt(reinterpret_cast<HWND>(lParam));
  if (view == nullptr || !window.PersonMayAct(view->Model())) return;
  view->OnCommand(code);
}

LRESULT Win32Host::Impl::OnNotify(FormWindow& window, const NMHDR& header) {
  ControlView* view = window.ViewAt(header.hwndFrom);
  return view != nullptr ? view->OnNotify(header) : 0;
}

void Win32Host::Impl::OnTimer(FormWindow& window, UINT_PTR id) {
  for (const auto& [timer, timerId] : window.timerIds) {
    if (timerId != id) continue;
    Timer* ticking = const_cast<Timer*>(timer);
    if (ticking->Enabled() && ticking->Tick) SkipOnError([ticking] { ticking->Tick(); });
    return;
  }
}

LRESULT Win32Host::Impl::OnColor(FormWindow& window, HDC dc, HWND control) {
  ControlView* view = window.ViewAt(control);
  return view != nullptr ? view->OnColor(dc) : FormColors(dc);
}

void Win32Host::Impl::OnDrawItem(FormWindow& window, const DRAWITEMSTRUCT& item) {
  if (ControlView* view = window.ViewAt(item.hwndItem)) view->OnDrawItem(item);
}

bool Win32Host::Impl::OnSetCursor(FormWindow& window, HWND over, UINT hitTest) {
  if (busy > 0) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return true;
  }
  if (hitTest != HTCLIENT) return false;
  ControlView* view = window.ViewAt(over);
  return view != nullptr && view->OnSetCursor();
}

// The keyboard focus comes back to the control that had it when the window was left.
void Win32Host::Impl::OnActivate(FormWindow& window, bool active) {
  HWND hwnd = window.hwnd.get();
  if (!active) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd, focus)) window.lastFocus = focus;
    return;
  }
  HWND target = window.lastFocus;
  if (target == nullptr || !IsWindow(target) || !IsChild(hwnd, target) || !IsWindowEnabled(target) ||
      !IsWindowVisible(target)) {
    target = GetNextDlgTabItem(hwnd, nullptr, FALSE);
  }
  SetFocus(target != nullptr ? target : hwnd);
}

void Win32Host::Impl::OnDpiChanged(FormWindow& window, UINT dpi, const RECT& suggested) {
  window.dpi = dpi;
  RescaleFonts(window);
  for (const auto& view : window.views) Place(window, *view);
  SetWindowPos(window.hwnd.get(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  FitClientArea(window);
}

// ---- Win32Host -----------------------------------------------------------------------------

Win32Host::Win32Host() : impl_(std::make_unique<Impl>()) {}

Win32Host::~Win32Host() = default;

void Win32Host::CreateFormWindow(Form& form) { impl_->Create(form); }

void Win32Host::DestroyFormWindow(Form& form) { impl_->Destroy(form); }

void Win32Host::FormChanged(Form& form, FormProperty property) {
  FormWindow* window = impl_->Find(form);
  if (window == nullptr) return;
  HWND hwnd = window->hwnd.get();
  switch (property) {
    case FormProperty::Caption:
      SetWindowTextW(hwnd, win32::Widen(form.Caption()).c_str());
      break;
    case FormProperty::Enabled:
      EnableWindow(hwnd, form.Enabled() ? TRUE : FALSE);
      break;
    case FormProperty::Visible:
      if (form.Visible()) {
        impl_->Show(*window);
      } else {
        ShowWindow(hwnd, SW_HIDE);
      }
      break;
  }
}

// What is the same for every kind is done here; the rest is the view's.
void Win32Host::ControlChanged(Control& control, Property property) {
  FormWindow* window = impl_->Find(control.Owner());
  ControlView* view = window != nullptr ? window->ViewOf(control) : nullptr;
  if (view == nullptr || view->Window() == nullptr) return;
  switch (property) {
    case Property::Enabled:
      impl_->UpdateEnabled(*window, control);
      break;
    case Property::Visible:
      impl_->UpdateVisible(*window, control);
      break;
    case Property::Position:
      impl_->Place(*window, *view);
      break;
    case Property::Font:
      SendMessageW(view->Window(), WM_SETFONT,
                   reinterpret_cast<WPARAM>(impl_->FontFor(*window, control.GetFont())), TRUE);
      break;
    case Property::Tooltip:
      impl_->UpdateTooltip(*window, *view);
      break;
    case Property::TabIndex:
      impl_->ApplyZOrder(*window);
      break;
    default:
      view->Apply(property);
      break;
  }
}

void Win32Host::MenuChanged(MenuItem& item) {
  FormWindow* window = impl_->FindByMenu(item);
  if (window == nullptr) return;
  HWND hwnd = window->hwnd.get();
  win32::UniqueMenu bar = impl_->BuildMenuBar(*window);
  HMENU old = GetMenu(hwnd);  // the window's until it is replaced
  if (SetMenu(hwnd, bar.get())) {
    bar.release();
    win32::UniqueMenu replaced(old);
  }
  DrawMenuBar(hwnd);
  impl_->FitClientArea(*window);
}

void Win32Host::TimerChanged(Timer& timer) {
  if (FormWindow* window = impl_->FindByTimer(timer)) impl_->ApplyTimer(*window, timer);
}

void Win32Host::FocusControl(Control& control) {
  FormWindow* window = impl_->Find(control.Owner());
  HWND hwnd = WindowOf(control);
  if (window == nullptr || hwnd == nullptr) return;
  window->lastFocus = hwnd;
  if (GetActiveWindow() == window->hwnd.get()) SetFocus(hwnd);
}

void Win32Host::SetBusy(bool busy) {
  impl_->busy = std::max(0, impl_->busy + (busy ? 1 : -1));
  if (impl_->busy > 0) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  } else {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    // Lets the window under the pointer choose its cursor again.
    POINT at{};
    if (GetCursorPos(&at)) SetCursorPos(at.x, at.y);
  }
}

void Win32Host::KeepPainting() {
  // The windows keep answering: messages sent to them from other threads and programs (the
  // system asking whether the program still responds, among them) are handled before the
  // painting, which can take a while for long lists, and again after it; the input waiting in
  // the queue stays there until the command is over.
  MSG pending{};
  PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  for (auto& [form, window] : impl_->windows) {
    if (!IsWindowVisible(window->hwnd.get())) continue;
    for (const auto& view : window->views) {
      if (view->Window() != nullptr) view->CatchUp();
    }
    RedrawWindow(window->hwnd.get(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

bool Win32Host::PreTranslateMessage(tagMSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST || message.hwnd == nullptr) return false;
  HWND root = GetAncestor(message.hwnd, GA_ROOT);
  for (auto& [form, window] : impl_->windows) {
    if (window->hwnd.get() != root) continue;
    // A multi-line text box asks for every key, but in a read-only one Enter and Esc would do
    // nothing: they press the window's default and cancel buttons, as from any other control.
    const bool enterOrEsc = message.message == WM_KEYDOWN && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE);
    wchar_t className[8] = {};
    if (enterOrEsc && GetClassNameW(message.hwnd, className, 8) > 0 && lstrcmpiW(className, L"Edit") == 0 &&
        (GetWindowLongPtrW(message.hwnd, GWL_STYLE) & ES_READONLY) != 0) {
      SendMessageW(root, WM_COMMAND, MAKEWPARAM(message.wParam == VK_RETURN ? IDOK : IDCANCEL, 0), 0);
      return true;
    }
    return IsDialogMessageW(root, &message) != FALSE;
  }
  return false;
}

int Win32Host::RunMessageLoop() {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (PreTranslateMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

HWND__* Win32Host::WindowOf(const Form& form) const {
  FormWindow* window = impl_->Find(form);
  return window != nullptr ? window->hwnd.get() : nullptr;
}

HWND__* Win32Host::WindowOf(const Control& control) const {
  FormWindow* window = impl_->Find(control.Owner());
  ControlView* view = window != nullptr ? window->ViewOf(control) : nullptr;
  return view != nullptr ? view->Window() : nullptr;
}

const std::vector<std::string>& Win32Host::Failures() const { return impl_->failures; }

}  // namespace tidewick::ui
