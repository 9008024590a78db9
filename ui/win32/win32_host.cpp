#include "ui/win32/win32_host.h"

#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

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
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);
// Control ids start above IDOK and IDCANCEL, which the keyboard handling sends for Enter and
// Escape; menu command ids lie in a range of their own.
constexpr int kFirstControlId = 100;
constexpr int kFirstMenuId = 1000;
constexpr UINT_PTR kListSubclassId = 1;
// Resource id of the program's icon, used for forms that name none.
constexpr int kDefaultIconResource = 1;

std::wstring Widen(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

// Multi-line text boxes need CR LF; a lone LF shows as a box.
std::wstring WidenLines(std::string_view text) {
  std::wstring wide = Widen(text);
  std::wstring out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == L'\n' && (i == 0 || wide[i - 1] != L'\r')) out.push_back(L'\r');
    out.push_back(wide[i]);
  }
  return out;
}

// Casting through void(*)() keeps GCC's function-type check quiet for GetProcAddress results.
template <class F>
F ProcAddress(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The DPI functions of newer systems, looked up at run time so the program still starts where
// they are missing (it then uses the system DPI).
struct DpiApi {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

  GetDpiForWindowFn getDpiForWindow = nullptr;
  AdjustForDpiFn adjustWindowRectExForDpi = nullptr;
  GetDpiForMonitorFn getDpiForMonitor = nullptr;

  DpiApi() {
    HMODULE user = GetModuleHandleW(L"user32.dll");
    getDpiForWindow = ProcAddress<GetDpiForWindowFn>(user, "GetDpiForWindow");
    adjustWindowRectExForDpi = ProcAddress<AdjustForDpiFn>(user, "AdjustWindowRectExForDpi");
    HMODULE shcore = LoadLibraryW(L"shcore.dll");
    getDpiForMonitor = ProcAddress<GetDpiForMonitorFn>(shcore, "GetDpiForMonitor");
  }

  static UINT SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96u;
  }

  UINT ForMonitor(HMONITOR monitor) const {
    UINT x = 0, y = 0;
    constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
    if (getDpiForMonitor != nullptr && monitor != nullptr &&
        SUCCEEDED(getDpiForMonitor(monitor, kEffectiveDpi, &x, &y)) && x > 0) {
      return x;
    }
    return SystemDpi();
  }

  UINT ForWindow(HWND window) const {
    if (getDpiForWindow != nullptr) {
      const UINT dpi = getDpiForWindow(window);
      if (dpi > 0) return dpi;
    }
    return SystemDpi();
  }

  void AdjustWindowRect(RECT& rect, DWORD style, bool menu, DWORD exStyle, UINT dpi) const {
    if (adjustWindowRectExForDpi != nullptr) {
      adjustWindowRectExForDpi(&rect, style, menu ? TRUE : FALSE, exStyle, dpi);
    } else {
      AdjustWindowRectEx(&rect, style, menu ? TRUE : FALSE, exStyle);
    }
  }
};

int Px(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

// The fonts of the models, by the names the system knows today.
std::wstring SystemFontName(const std::string& name) {
  if (name == "MS Sans Serif") return L"Microsoft Sans Serif";
  return Widen(name);
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

// The visual style draws check-box and frame captions in its own colour; classic drawing
// honours the red of WM_CTLCOLORSTATIC. A class list that names no class turns the style off
// for one window (Wine refuses the empty list, which Windows would also take).
void WithoutVisualStyle(HWND hwnd) { SetWindowTheme(hwnd, L" ", L" "); }

HWND ControlWindow(const Control& control) { return reinterpret_cast<HWND>(control.hostHandle); }

// A person's action runs the model's event; nothing thrown by a handler may unwind through the
// system's window procedures, so it stops here.
template <class F>
void Raise(F&& action) {
  try {
    action();
  } catch (const std::exception& error) {
    OutputDebugStringA("Tidewick: a handler failed: ");
    OutputDebugStringA(error.what());
    OutputDebugStringA("\n");
  } catch (...) {
    OutputDebugStringA("Tidewick: a handler failed\n");
  }
}

}  // namespace

// The lines and marks a ListView shows, kept to bring it in step with its CheckList. Changes
// of the model only mark the view stale; the view catches up before it handles its next
// message (painting, a click, a query from another program), so a command that adds thousands
// of lines updates the view once.
struct ListSync {
  Win32Host::Impl* impl = nullptr;
  CheckList* model = nullptr;
  HWND hwnd = nullptr;
  std::vector<std::string> lines;
  std::vector<signed char> marks;  // -1: not known yet
  int widestLine = 0;              // pixels of the widest text shown (never less than now)
  bool stale = false;
  bool syncing = false;
};

struct FormWindow {
  Win32Host::Impl* impl = nullptr;
  Form* form = nullptr;
  HWND hwnd = nullptr;
  HWND tooltip = nullptr;
  UINT dpi = 96;
  HWND lastFocus = nullptr;
  std::map<std::pair<std::wstring, double>, HFONT> fonts;
  std::map<HWND, Control*> controls;
  std::map<const Control*, std::unique_ptr<ListSync>> lists;
  std::map<const Control*, HBITMAP> bitmaps;
};

struct Win32Host::Impl {
  explicit Impl(Win32Host& self);
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
  void CreateControl(FormWindow& window, Control& control, int id);
  std::vector<Control*> ZOrder(const Form& form) const;
  void ApplyZOrder(FormWindow& window);
  void Place(FormWindow& window, Control& control);
  void UpdateEnabled(FormWindow& window, Control& changed);
  void UpdateVisible(FormWindow& window, Control& changed);
  void UpdateTooltip(FormWindow& window, Control& control);
  void FillComboBox(Control& control);
  HFONT FontFor(FormWindow& window, const Font& font);
  void RescaleFonts(FormWindow& window);

  // ---- check-box lists ----
  void MarkStale(ListSync& list);
  void Sync(ListSync& list);
  void FitColumn(ListSync& list);

  // ---- menus and timers ----
  HMENU BuildMenuBar(const Form& form);
  void AppendMenuItem(HMENU parent, const MenuItem& item);
  void ApplyTimer(FormWindow& window, Timer& timer);

  // ---- messages ----
  static LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR data);
  LRESULT HandleFormMessage(FormWindow& window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(FormWindow& window, WPARAM wParam, LPARAM lParam);
  void OnNotify(FormWindow& window, const NMHDR& header, LPARAM lParam);
  void OnTimer(FormWindow& window, UINT_PTR id);
  LRESULT OnColor(FormWindow& window, HDC dc, HWND control);
  void OnDrawItem(FormWindow& window, const DRAWITEMSTRUCT& item);
  bool OnSetCursor(FormWindow& window, HWND over, UINT hitTest);
  void OnActivate(FormWindow& window, bool active);
  void OnDpiChanged(FormWindow& window, UINT dpi, const RECT& suggested);

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

  Win32Host& self;
  HINSTANCE instance = nullptr;
  DpiApi dpiApi;
  HWND owner = nullptr;
  std::map<const Form*, std::unique_ptr<FormWindow>> windows;
  std::vector<std::unique_ptr<FormWindow>> graveyard;
  int depth = 0;
  int busy = 0;
};

Win32Host::Impl::Impl(Win32Host& host) : self(host), instance(GetModuleHandleW(nullptr)) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSEXW form{};
  form.cbSize = sizeof(form);
  form.lpfnWndProc = &Impl::FormProc;
  form.hInstance = instance;
  form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kDefaultIconResource));
  form.lpszClassName = kFormClass;
  RegisterClassExW(&form);

  WNDCLASSEXW hidden{};
  hidden.cbSize = sizeof(hidden);
  hidden.lpfnWndProc = DefWindowProcW;
  hidden.hInstance = instance;
  hidden.lpszClassName = kOwnerClass;
  RegisterClassExW(&hidden);
}

// Windows still open when the host goes (the forms may be gone already): closed without a
// word to their forms.
Win32Host::Impl::~Impl() {
  for (auto& [form, window] : windows) {
    SetWindowLongPtrW(window->hwnd, GWLP_USERDATA, 0);
    for (auto& [control, list] : window->lists) list->syncing = true;  // the models may be gone
    DestroyWindow(window->hwnd);
    for (auto& [key, font] : window->fonts) DeleteObject(font);
    for (auto& [control, bitmap] : window->bitmaps) DeleteObject(bitmap);
  }
  windows.clear();
  graveyard.clear();
  if (owner != nullptr) DestroyWindow(owner);
}

FormWindow* Win32Host::Impl::Find(const Form& form) const {
  auto it = windows.find(&form);
  return it == windows.end() ? nullptr : it->second.get();
}

FormWindow* Win32Host::Impl::FindByTimer(const Timer& timer) const {
  for (const auto& [form, window] : windows) {
    const auto& timers = form->Timers();
    if (std::find(timers.begin(), timers.end(), &timer) != timers.end()) return window.get();
  }
  return nullptr;
}

FormWindow* Win32Host::Impl::FindByMenu(const MenuItem& item) const {
  for (const auto& [form, window] : windows) {
    const auto& items = form->MenuItems();
    if (std::find(items.begin(), items.end(), &item) != items.end()) return window.get();
  }
  return nullptr;
}

// Windows without a taskbar entry are owned; when their form names no owner, this hidden
// window owns them.
HWND Win32Host::Impl::HiddenOwner() {
  if (owner == nullptr) {
    owner = CreateWindowExW(0, kOwnerClass, L"Tidewick", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            instance, nullptr);
  }
  return owner;
}

HWND Win32Host::Impl::OwnerFor(const Form& form) {
  if (form.OwnerForm() != nullptr) {
    if (FormWindow* w = Find(*form.OwnerForm())) return w->hwnd;
  }
  return HiddenOwner();
}

// ---- forms ---------------------------------------------------------------------------------

void Win32Host::Impl::Create(Form& form) {
  if (Find(form) != nullptr) return;
  auto window = std::make_unique<FormWindow>();
  window->impl = this;
  window->form = &form;
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
  if (style.position == StartPosition::CenterOwner && form.OwnerForm() != nullptr &&
      Find(*form.OwnerForm()) != nullptr) {
    monitor = MonitorFromWindow(Find(*form.OwnerForm())->hwnd, MONITOR_DEFAULTTOPRIMARY);
  } else {
    monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  }
  window->dpi = dpiApi.ForMonitor(monitor);

  int id = kFirstMenuId;
  for (MenuItem* item : form.MenuItems()) item->commandId = id++;
  HMENU menu = BuildMenuBar(form);

  RECT frame{0, 0, Px(style.clientWidth, window->dpi), Px(style.clientHeight, window->dpi)};
  dpiApi.AdjustWindowRect(frame, ws, menu != nullptr, ex, window->dpi);

  HWND hwnd = CreateWindowExW(ex, kFormClass, Widen(form.Caption()).c_str(), ws, CW_USEDEFAULT,
                              CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                              ownerWindow, menu, instance, window.get());
  if (hwnd == nullptr) {
    if (menu != nullptr) DestroyMenu(menu);
    return;
  }
  window->dpi = dpiApi.ForWindow(hwnd);

  const int iconId = style.iconResource != 0 ? style.iconResource : kDefaultIconResource;
  auto icon = [&](int metric) {
    const int size = GetSystemMetrics(metric);
    return reinterpret_cast<LPARAM>(
        LoadImageW(instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, size, size, LR_SHARED));
  };
  SendMessageW(hwnd, WM_SETICON, ICON_BIG, icon(SM_CXICON));
  SendMessageW(hwnd, WM_SETICON, ICON_SMALL, icon(SM_CXSMICON));

  window->tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                    WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr,
                                    instance, nullptr);

  FormWindow& w = *window;
  windows[&form] = std::move(window);
  CreateControls(w);
  FitClientArea(w);
  Center(w);

  int timerId = 1;
  for (Timer* timer : form.Timers()) {
    timer->hostHandle = static_cast<std::uintptr_t>(timerId++);
    ApplyTimer(w, *timer);
  }
}

void Win32Host::Impl::Destroy(Form& form) {
  auto it = windows.find(&form);
  if (it == windows.end()) return;
  std::unique_ptr<FormWindow> window = std::move(it->second);
  windows.erase(it);
  HWND hwnd = window->hwnd;

  for (Timer* timer : form.Timers()) {
    if (timer->hostHandle != 0) KillTimer(hwnd, timer->hostHandle);
    timer->hostHandle = 0;
  }
  // A window is destroyed with its owner: windows that this one owns move to the hidden owner.
  for (auto& [other, otherWindow] : windows) {
    if (GetWindow(otherWindow->hwnd, GW_OWNER) == hwnd) {
      SetWindowLongPtrW(otherWindow->hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(HiddenOwner()));
    }
  }
  DestroyWindow(hwnd);
  for (Control* control : form.Controls()) control->hostHandle = 0;
  for (auto& [key, font] : window->fonts) DeleteObject(font);
  window->fonts.clear();
  for (auto& [control, bitmap] : window->bitmaps) DeleteObject(bitmap);
  window->bitmaps.clear();
  window->hwnd = nullptr;
  if (depth > 0) graveyard.push_back(std::move(window));

  // Nothing left to show: the message loop ends rather than running on without a window.
  if (windows.empty()) PostQuitMessage(0);
}

void Win32Host::Impl::Center(FormWindow& window) {
  const Form& form = *window.form;
  RECT outer{};
  GetWindowRect(window.hwnd, &outer);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;

  RECT area{};
  HMONITOR monitor = nullptr;
  FormWindow* ownerWindow = form.OwnerForm() != nullptr ? Find(*form.OwnerForm()) : nullptr;
  if (form.Style().position == StartPosition::CenterOwner && ownerWindow != nullptr) {
    GetWindowRect(ownerWindow->hwnd, &area);
    monitor = MonitorFromWindow(ownerWindow->hwnd, MONITOR_DEFAULTTOPRIMARY);
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
  SetWindowPos(window.hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The client area is exactly the form's size, also when the menu bar takes two rows.
void Win32Host::Impl::FitClientArea(FormWindow& window) {
  const FormStyle& style = window.form->Style();
  RECT client{};
  GetClientRect(window.hwnd, &client);
  const int dx = Px(style.clientWidth, window.dpi) - client.right;
  const int dy = Px(style.clientHeight, window.dpi) - client.bottom;
  if (dx == 0 && dy == 0) return;
  RECT outer{};
  GetWindowRect(window.hwnd, &outer);
  SetWindowPos(window.hwnd, nullptr, 0, 0, outer.right - outer.left + dx, outer.bottom - outer.top + dy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Host::Impl::Show(FormWindow& window) {
  const Form& form = *window.form;
  HWND hwnd = window.hwnd;
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
std::vector<Control*> Win32Host::Impl::ZOrder(const Form& form) const {
  std::vector<Control*> order(form.Controls().begin(), form.Controls().end());
  std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
    const bool frameA = a->Kind() == ControlKind::Frame;
    const bool frameB = b->Kind() == ControlKind::Frame;
    if (frameA != frameB) return frameB;
    const int tabA = a->TabIndex() < 0 ? INT_MAX : a->TabIndex();
    const int tabB = b->TabIndex() < 0 ? INT_MAX : b->TabIndex();
    return tabA < tabB;
  });
  return order;
}

void Win32Host::Impl::CreateControls(FormWindow& window) {
  const auto& all = window.form->Controls();
  for (Control* control : ZOrder(*window.form)) {
    const auto index = std::find(all.begin(), all.end(), control) - all.begin();
    CreateControl(window, *control, kFirstControlId + static_cast<int>(index));
  }
}

void Win32Host::Impl::CreateControl(FormWindow& window, Control& control, int id) {
  DWORD ws = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ex = 0;
  if (EffectiveVisible(control)) ws |= WS_VISIBLE;
  if (!EffectiveEnabled(control)) ws |= WS_DISABLED;
  const wchar_t* windowClass = WC_STATICW;
  std::wstring text;

  switch (control.Kind()) {
    case ControlKind::Button:
      windowClass = WC_BUTTONW;
      ws |= BS_PUSHBUTTON | WS_TABSTOP;
      text = Widen(static_cast<CaptionedControl&>(control).Caption());
      break;
    case ControlKind::CheckBox:
      windowClass = WC_BUTTONW;
      ws |= BS_CHECKBOX | WS_TABSTOP;
      text = Widen(static_cast<CaptionedControl&>(control).Caption());
      break;
    case ControlKind::Frame:
      windowClass = WC_BUTTONW;
      ws |= BS_GROUPBOX;
      text = Widen(static_cast<CaptionedControl&>(control).Caption());
      break;
    case ControlKind::Label: {
      auto& label = static_cast<Label&>(control);
      windowClass = WC_STATICW;
      // SS_NOTIFY: clicks for link labels, mouse messages for tooltips.
      ws |= SS_NOTIFY | SS_NOPREFIX;
      ws |= label.Alignment() == Label::Align::Right    ? SS_RIGHT
            : label.Alignment() == Label::Align::Center ? SS_CENTER
                                                        : SS_LEFT;
      text = Widen(label.Caption());
      break;
    }
    case ControlKind::Picture:
      windowClass = WC_STATICW;
      ws |= SS_OWNERDRAW;
      break;
    case ControlKind::ComboBox:
      windowClass = WC_COMBOBOXW;
      ws |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
      break;
    case ControlKind::CheckList:
      windowClass = WC_LISTVIEWW;
      ws |= LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP;
      ex |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::TextBox: {
      auto& box = static_cast<TextBox&>(control);
      windowClass = WC_EDITW;
      ws |= WS_TABSTOP | ES_AUTOVSCROLL;
      if (box.MultiLine) ws |= ES_MULTILINE;
      if (box.ReadOnly) ws |= ES_READONLY;
      if (box.VerticalScrollBar) ws |= WS_VSCROLL;
      ex |= WS_EX_CLIENTEDGE;
      text = WidenLines(box.Text());
      break;
    }
  }

  HWND hwnd = CreateWindowExW(ex, windowClass, text.c_str(), ws, 0, 0, 0, 0, window.hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (hwnd == nullptr) return;
  control.hostHandle = reinterpret_cast<std::uintptr_t>(hwnd);
  window.controls[hwnd] = &control;
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(window, control.GetFont())), FALSE);

  switch (control.Kind()) {
    case ControlKind::CheckBox:
      WithoutVisualStyle(hwnd);
      SendMessageW(hwnd, BM_SETCHECK, static_cast<CheckBox&>(control).Value() == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case ControlKind::Frame:
      WithoutVisualStyle(hwnd);
      break;
    case ControlKind::ComboBox:
      FillComboBox(control);
      break;
    case ControlKind::CheckList: {
      SendMessageW(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                   LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
      LVCOLUMNW column{};
      column.mask = LVCF_WIDTH;
      column.cx = 100;
      SendMessageW(hwnd, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
      auto list = std::make_unique<ListSync>();
      list->impl = this;
      list->model = &static_cast<CheckList&>(control);
      list->hwnd = hwnd;
      list->stale = true;
      SetWindowSubclass(hwnd, &Impl::ListProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(list.get()));
      window.lists[&control] = std::move(list);
      break;
    }
    case ControlKind::Picture: {
      const auto& picture = static_cast<Picture&>(control);
      if (picture.ResourceId != 0) {
        HANDLE bitmap = LoadImageW(instance, MAKEINTRESOURCEW(picture.ResourceId), IMAGE_BITMAP, 0, 0,
                                   LR_CREATEDIBSECTION);
        if (bitmap != nullptr) window.bitmaps[&control] = static_cast<HBITMAP>(bitmap);
      }
      break;
    }
    default:
      break;
  }
  Place(window, control);
  if (auto it = window.lists.find(&control); it != window.lists.end()) Sync(*it->second);
  UpdateTooltip(window, control);
}

void Win32Host::Impl::Place(FormWindow& window, Control& control) {
  HWND hwnd = ControlWindow(control);
  if (hwnd == nullptr) return;
  const Twips& t = control.Position();
  const UINT dpi = window.dpi;
  int height = Px(t.height, dpi);
  // A drop-down list's window includes its list; the closed box takes the font's height.
  if (control.Kind() == ControlKind::ComboBox) height = std::max(height, 1) * 8;
  MoveWindow(hwnd, Px(t.left, dpi), Px(t.top, dpi), Px(t.width, dpi), height, TRUE);
  if (auto it = window.lists.find(&control); it != window.lists.end()) FitColumn(*it->second);
}

void Win32Host::Impl::ApplyZOrder(FormWindow& window) {
  HWND previous = HWND_TOP;
  for (Control* control : ZOrder(*window.form)) {
    HWND hwnd = ControlWindow(*control);
    if (hwnd == nullptr) continue;
    SetWindowPos(hwnd, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = hwnd;
  }
}

// A frame's state carries over to the controls it groups.
void Win32Host::Impl::UpdateEnabled(FormWindow& window, Control& changed) {
  for (Control* control : window.form->Controls()) {
    if (control != &changed && !IsInside(*control, changed)) continue;
    if (HWND hwnd = ControlWindow(*control)) EnableWindow(hwnd, EffectiveEnabled(*control) ? TRUE : FALSE);
  }
}

void Win32Host::Impl::UpdateVisible(FormWindow& window, Control& changed) {
  for (Control* control : window.form->Controls()) {
    if (control != &changed && !IsInside(*control, changed)) continue;
    if (HWND hwnd = ControlWindow(*control)) ShowWindow(hwnd, EffectiveVisible(*control) ? SW_SHOWNA : SW_HIDE);
  }
}

void Win32Host::Impl::UpdateTooltip(FormWindow& window, Control& control) {
  HWND hwnd = ControlWindow(control);
  if (window.tooltip == nullptr || hwnd == nullptr) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window.hwnd;
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
  SendMessageW(window.tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  if (control.Tooltip().empty()) return;
  std::wstring text = Widen(control.Tooltip());
  tool.lpszText = text.data();
  SendMessageW(window.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32Host::Impl::FillComboBox(Control& control) {
  HWND hwnd = ControlWindow(control);
  if (hwnd == nullptr) return;
  auto& combo = static_cast<ComboBox&>(control);
  SendMessageW(hwnd, CB_RESETCONTENT, 0, 0);
  for (const std::string& item : combo.Items()) {
    std::wstring text = Widen(item);
    SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(combo.ListIndex()), 0);
}

HFONT Win32Host::Impl::FontFor(FormWindow& window, const Font& font) {
  auto key = std::make_pair(SystemFontName(font.name), font.points);
  if (auto it = window.fonts.find(key); it != window.fonts.end()) return it->second;
  LOGFONTW logFont{};
  logFont.lfHeight = -static_cast<LONG>(std::lround(font.points * window.dpi / 72.0));
  logFont.lfWeight = FW_NORMAL;
  logFont.lfCharSet = DEFAULT_CHARSET;
  logFont.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(logFont.lfFaceName, key.first.c_str(), LF_FACESIZE);
  HFONT handle = CreateFontIndirectW(&logFont);
  window.fonts[key] = handle;
  return handle;
}

void Win32Host::Impl::RescaleFonts(FormWindow& window) {
  auto old = std::move(window.fonts);
  window.fonts.clear();
  for (Control* control : window.form->Controls()) {
    if (HWND hwnd = ControlWindow(*control)) {
      SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(window, control->GetFont())), TRUE);
    }
  }
  for (auto& [key, font] : old) DeleteObject(font);
}

// ---- check-box lists -----------------------------------------------------------------------

void Win32Host::Impl::MarkStale(ListSync& list) {
  if (list.stale) return;
  list.stale = true;
  InvalidateRect(list.hwnd, nullptr, FALSE);
}

namespace {

// The ListView's own window procedure. Bringing a list in step with its model sends thousands
// of messages; they go straight to the control instead of through the subclass chain, which
// under Wine costs a trip to the server per message.
LRESULT ListCall(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static const WNDPROC listViewProc = [] {
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    GetClassInfoExW(nullptr, WC_LISTVIEWW, &info);
    return info.lpfnWndProc;
  }();
  return CallWindowProcW(listViewProc, hwnd, message, wParam, lParam);
}

}  // namespace

// Brings the ListView in step with its model: the lines that differ between the common head
// and the common tail are replaced, then every mark that differs is set.
void Win32Host::Impl::Sync(ListSync& list) {
  if (list.syncing) return;
  list.syncing = true;
  list.stale = false;
  const CheckList& model = *list.model;
  HWND hwnd = list.hwnd;
  const std::size_t count = static_cast<std::size_t>(model.ListCount());
  const std::size_t shown = list.lines.size();

  std::size_t head = 0;
  while (head < shown && head < count && list.lines[head] == model.List(static_cast<int>(head))) ++head;
  std::size_t tail = 0;
  while (tail < shown - head && tail < count - head &&
         list.lines[shown - 1 - tail] == model.List(static_cast<int>(count - 1 - tail))) {
    ++tail;
  }
  const std::size_t removed = shown - head - tail;
  const std::size_t added = count - head - tail;
  std::vector<std::size_t> remarked;
  for (std::size_t i = 0; i < count; ++i) {
    const bool isNew = i >= head && i < head + added;
    const std::size_t old = i < head + added ? i : i - added + removed;
    const signed char wanted = model.Selected(static_cast<int>(i)) ? 1 : 0;
    if (isNew ? wanted == 1 : list.marks[old] != wanted) remarked.push_back(i);
  }
  if (removed == 0 && added == 0 && remarked.empty()) {
    list.syncing = false;
    return;
  }
  // Without drawing between the steps: a ListView that repaints after every insertion takes
  // minutes for a few thousand lines.
  ListCall(hwnd, WM_SETREDRAW, FALSE, 0);

  if (head == 0 && tail == 0 && removed > 0) {
    ListCall(hwnd, LVM_DELETEALLITEMS, 0, 0);
    list.widestLine = 0;
  } else {
    for (std::size_t i = head + removed; i-- > head;) ListCall(hwnd, LVM_DELETEITEM, i, 0);
  }
  list.lines.erase(list.lines.begin() + static_cast<std::ptrdiff_t>(head),
                   list.lines.begin() + static_cast<std::ptrdiff_t>(head + removed));
  list.marks.erase(list.marks.begin() + static_cast<std::ptrdiff_t>(head),
                   list.marks.begin() + static_cast<std::ptrdiff_t>(head + removed));

  HDC dc = GetDC(hwnd);
  HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(ListCall(hwnd, WM_GETFONT, 0, 0)));
  std::vector<std::string> inserted;
  inserted.reserve(added);
  for (std::size_t i = head; i < head + added; ++i) {
    const std::string& line = model.List(static_cast<int>(i));
    std::wstring text = Widen(line);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_STATE;
    item.iItem = static_cast<int>(i);
    item.pszText = text.data();
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(1);
    ListCall(hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    list.widestLine = std::max<int>(list.widestLine, extent.cx);
    inserted.push_back(line);
  }
  SelectObject(dc, oldFont);
  ReleaseDC(hwnd, dc);
  list.lines.insert(list.lines.begin() + static_cast<std::ptrdiff_t>(head), inserted.begin(), inserted.end());
  list.marks.insert(list.marks.begin() + static_cast<std::ptrdiff_t>(head), added, 0);

  for (const std::size_t i : remarked) {
    const bool marked = model.Selected(static_cast<int>(i));
    LVITEMW state{};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(marked ? 2 : 1);
    ListCall(hwnd, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
    list.marks[i] = marked ? 1 : 0;
  }

  if (removed > 0 || added > 0) FitColumn(list);
  ListCall(hwnd, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hwnd, nullptr, TRUE);
  list.syncing = false;
}

// One column, at least as wide as the list, wider when a line needs it.
void Win32Host::Impl::FitColumn(ListSync& list) {
  HWND hwnd = list.hwnd;
  RECT client{};
  GetClientRect(hwnd, &client);
  int width = client.right;
  if (!list.lines.empty()) {
    // The line's text, its mark box and the margins around both.
    int boxWidth = 16;
    if (auto images = reinterpret_cast<HIMAGELIST>(ListCall(hwnd, LVM_GETIMAGELIST, LVSIL_STATE, 0))) {
      int boxHeight = 0;
      ImageList_GetIconSize(images, &boxWidth, &boxHeight);
    }
    width = std::max(width, list.widestLine + boxWidth + 16);
  }
  ListCall(hwnd, LVM_SETCOLUMNWIDTH, 0, width);
}

// ---- menus and timers ----------------------------------------------------------------------

HMENU Win32Host::Impl::BuildMenuBar(const Form& form) {
  if (form.MenuBar().empty()) return nullptr;
  HMENU bar = CreateMenu();
  for (const MenuItem* item : form.MenuBar()) AppendMenuItem(bar, *item);
  return bar;
}

void Win32Host::Impl::AppendMenuItem(HMENU parent, const MenuItem& item) {
  if (!item.Visible()) return;
  if (item.IsSeparator()) {
    AppendMenuW(parent, MF_SEPARATOR, 0, nullptr);
    return;
  }
  const UINT state = item.Enabled() ? MF_ENABLED : MF_GRAYED;
  const std::wstring caption = Widen(item.Caption());
  if (!item.Children().empty()) {
    HMENU popup = CreatePopupMenu();
    for (const MenuItem* child : item.Children()) AppendMenuItem(popup, *child);
    AppendMenuW(parent, MF_STRING | MF_POPUP | state, reinterpret_cast<UINT_PTR>(popup), caption.c_str());
  } else {
    AppendMenuW(parent, MF_STRING | state, static_cast<UINT_PTR>(item.commandId), caption.c_str());
  }
}

void Win32Host::Impl::ApplyTimer(FormWindow& window, Timer& timer) {
  if (timer.hostHandle == 0) return;
  if (timer.Enabled() && timer.Interval() > 0) {
    SetTimer(window.hwnd, timer.hostHandle, timer.Interval(), nullptr);
  } else {
    KillTimer(window.hwnd, timer.hostHandle);
  }
}

// ---- messages ------------------------------------------------------------------------------

LRESULT CALLBACK Win32Host::Impl::FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* window = static_cast<FormWindow*>(create->lpCreateParams);
    window->hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  DispatchScope scope(*window->impl);
  return window->impl->HandleFormMessage(*window, message, wParam, lParam);
}

LRESULT CALLBACK Win32Host::Impl::ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR data) {
  auto* list = reinterpret_cast<ListSync*>(data);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, &Impl::ListProc, kListSubclassId);
  } else if (message != WM_DESTROY && list->stale && !list->syncing) {
    list->impl->Sync(*list);
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT Win32Host::Impl::HandleFormMessage(FormWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = window.hwnd;
  switch (message) {
    case WM_COMMAND:
      OnCommand(window, wParam, lParam);
      return 0;
    case WM_NOTIFY:
      OnNotify(window, *reinterpret_cast<const NMHDR*>(lParam), lParam);
      return 0;
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
      Form* form = window.form;
      Raise([form] { form->UserClose(); });
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
  Form* form = window.form;
  if (lParam == 0) {
    if (code != 0) return;  // accelerators: none
    for (MenuItem* item : form->MenuItems()) {
      if (item->commandId != id || item->Children().size() > 0) continue;
      if (item->Enabled() && item->Visible() && !item->IsSeparator() && item->Click) {
        Raise([item] { item->Click(); });
      }
      return;
    }
    return;  // IDOK and IDCANCEL from Enter and Escape: nothing to do
  }
  auto it = window.controls.find(reinterpret_cast<HWND>(lParam));
  if (it == window.controls.end()) return;
  Control* control = it->second;
  // A person cannot use a disabled control; a click sent to one is refused.
  if (!EffectiveEnabled(*control) || !form->Enabled()) return;
  switch (control->Kind()) {
    case ControlKind::Button:
      if (code == BN_CLICKED) {
        auto* button = static_cast<CommandButton*>(control);
        if (button->Click) Raise([button] { button->Click(); });
      }
      break;
    case ControlKind::CheckBox:
      if (code == BN_CLICKED) {
        auto* box = static_cast<CheckBox*>(control);
        Raise([box] { box->SetValue(box->Value() == 1 ? 0 : 1); });
      }
      break;
    case ControlKind::Label:
      if (code == STN_CLICKED || code == STN_DBLCLK) {
        auto* label = static_cast<Label*>(control);
        if (label->Click) Raise([label] { label->Click(); });
      }
      break;
    case ControlKind::ComboBox:
      if (code == CBN_SELCHANGE) {
        auto* combo = static_cast<ComboBox*>(control);
        const int index = static_cast<int>(SendMessageW(reinterpret_cast<HWND>(lParam), CB_GETCURSEL, 0, 0));
        Raise([combo, index] { combo->SetListIndex(index); });
      }
      break;
    default:
      break;
  }
}

void Win32Host::Impl::OnNotify(FormWindow& window, const NMHDR& header, LPARAM lParam) {
  if (header.code != LVN_ITEMCHANGED) return;
  auto it = window.controls.find(header.hwndFrom);
  if (it == window.controls.end() || it->second->Kind() != ControlKind::CheckList) return;
  Control* control = it->second;
  auto listIt = window.lists.find(control);
  if (listIt == window.lists.end()) return;
  ListSync& list = *listIt->second;
  if (list.syncing) return;
  const auto& change = *reinterpret_cast<const NMLISTVIEW*>(lParam);
  if ((change.uChanged & LVIF_STATE) == 0) return;
  const UINT before = (change.uOldState & LVIS_STATEIMAGEMASK) >> 12;
  const UINT after = (change.uNewState & LVIS_STATEIMAGEMASK) >> 12;
  // 0 is an item without its box yet (just inserted); 1 unticked, 2 ticked.
  if (before == 0 || after == 0 || before == after) return;
  if (change.iItem < 0 || static_cast<std::size_t>(change.iItem) >= list.lines.size()) return;
  const bool marked = after == 2;
  list.marks[static_cast<std::size_t>(change.iItem)] = marked ? 1 : 0;
  if (!EffectiveEnabled(*control) || !window.form->Enabled()) {
    // Not the user's to change now: the box goes back to the model's mark.
    list.marks[static_cast<std::size_t>(change.iItem)] = -1;
    MarkStale(list);
    return;
  }
  auto* model = list.model;
  const int index = change.iItem;
  Raise([model, index, marked] { model->SetSelected(index, marked); });
}

void Win32Host::Impl::OnTimer(FormWindow& window, UINT_PTR id) {
  for (Timer* timer : window.form->Timers()) {
    if (timer->hostHandle != id) continue;
    if (timer->Enabled() && timer->Tick) Raise([timer] { timer->Tick(); });
    return;
  }
}

LRESULT Win32Host::Impl::OnColor(FormWindow& window, HDC dc, HWND control) {
  auto it = window.controls.find(control);
  if (it != window.controls.end() && it->second->Kind() == ControlKind::TextBox) {
    // Read-only text boxes keep the look of an ordinary text box.
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
  }
  SetTextColor(dc, kRed);
  SetBkColor(dc, kBlack);
  return reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH));
}

void Win32Host::Impl::OnDrawItem(FormWindow& window, const DRAWITEMSTRUCT& item) {
  auto it = window.controls.find(item.hwndItem);
  if (it == window.controls.end() || it->second->Kind() != ControlKind::Picture) return;
  const RECT& r = item.rcItem;
  FillRect(item.hDC, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  auto bitmapIt = window.bitmaps.find(it->second);
  if (bitmapIt == window.bitmaps.end()) return;
  BITMAP info{};
  GetObjectW(bitmapIt->second, sizeof(info), &info);
  HDC memory = CreateCompatibleDC(item.hDC);
  HGDIOBJ old = SelectObject(memory, bitmapIt->second);
  SetStretchBltMode(item.hDC, HALFTONE);
  SetBrushOrgEx(item.hDC, 0, 0, nullptr);
  StretchBlt(item.hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, 0, 0, info.bmWidth,
             info.bmHeight, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

bool Win32Host::Impl::OnSetCursor(FormWindow& window, HWND over, UINT hitTest) {
  if (busy > 0) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return true;
  }
  if (hitTest != HTCLIENT) return false;
  auto it = window.controls.find(over);
  if (it == window.controls.end() || it->second->Kind() != ControlKind::Label) return false;
  if (!static_cast<Label*>(it->second)->Click || !EffectiveEnabled(*it->second)) return false;
  SetCursor(LoadCursorW(nullptr, IDC_HAND));
  return true;
}

// The keyboard focus comes back to the control that had it when the window was left.
void Win32Host::Impl::OnActivate(FormWindow& window, bool active) {
  HWND hwnd = window.hwnd;
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
  for (Control* control : window.form->Controls()) Place(window, *control);
  SetWindowPos(window.hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  FitClientArea(window);
}

// ---- Win32Host -----------------------------------------------------------------------------

Win32Host::Win32Host() : impl_(std::make_unique<Impl>(*this)) {}

Win32Host::~Win32Host() = default;

void Win32Host::CreateFormWindow(Form& form) { impl_->Create(form); }

void Win32Host::DestroyFormWindow(Form& form) { impl_->Destroy(form); }

void Win32Host::FormChanged(Form& form, FormProperty property) {
  FormWindow* window = impl_->Find(form);
  if (window == nullptr) return;
  switch (property) {
    case FormProperty::Caption:
      SetWindowTextW(window->hwnd, Widen(form.Caption()).c_str());
      break;
    case FormProperty::Enabled:
      EnableWindow(window->hwnd, form.Enabled() ? TRUE : FALSE);
      break;
    case FormProperty::Visible:
      if (form.Visible()) {
        impl_->Show(*window);
      } else {
        ShowWindow(window->hwnd, SW_HIDE);
      }
      break;
  }
}

void Win32Host::ControlChanged(Control& control, Property property) {
  FormWindow* window = impl_->Find(control.Owner());
  HWND hwnd = ControlWindow(control);
  if (window == nullptr || hwnd == nullptr) return;
  switch (property) {
    case Property::Caption:
      SetWindowTextW(hwnd, Widen(static_cast<CaptionedControl&>(control).Caption()).c_str());
      break;
    case Property::Enabled:
      impl_->UpdateEnabled(*window, control);
      break;
    case Property::Visible:
      impl_->UpdateVisible(*window, control);
      break;
    case Property::Position:
      impl_->Place(*window, control);
      break;
    case Property::Font:
      SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(impl_->FontFor(*window, control.GetFont())), TRUE);
      break;
    case Property::Tooltip:
      impl_->UpdateTooltip(*window, control);
      break;
    case Property::TabIndex:
      impl_->ApplyZOrder(*window);
      break;
    case Property::Value:
      if (control.Kind() == ControlKind::CheckBox) {
        SendMessageW(hwnd, BM_SETCHECK, static_cast<CheckBox&>(control).Value() == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
      }
      break;
    case Property::Items:
    case Property::Marks:
      if (control.Kind() == ControlKind::ComboBox) {
        impl_->FillComboBox(control);
      } else if (auto it = window->lists.find(&control); it != window->lists.end()) {
        impl_->MarkStale(*it->second);
      }
      break;
    case Property::Selection:
      if (control.Kind() == ControlKind::ComboBox) {
        SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(static_cast<ComboBox&>(control).ListIndex()), 0);
      }
      break;
    case Property::Text:
      if (control.Kind() == ControlKind::TextBox) {
        SetWindowTextW(hwnd, WidenLines(static_cast<TextBox&>(control).Text()).c_str());
      }
      break;
  }
}

void Win32Host::MenuChanged(MenuItem& item) {
  FormWindow* window = impl_->FindByMenu(item);
  if (window == nullptr) return;
  HMENU old = GetMenu(window->hwnd);
  SetMenu(window->hwnd, impl_->BuildMenuBar(*window->form));
  if (old != nullptr) DestroyMenu(old);
  DrawMenuBar(window->hwnd);
  impl_->FitClientArea(*window);
}

void Win32Host::TimerChanged(Timer& timer) {
  if (FormWindow* window = impl_->FindByTimer(timer)) impl_->ApplyTimer(*window, timer);
}

void Win32Host::FocusControl(Control& control) {
  FormWindow* window = impl_->Find(control.Owner());
  HWND hwnd = ControlWindow(control);
  if (window == nullptr || hwnd == nullptr) return;
  window->lastFocus = hwnd;
  if (GetActiveWindow() == window->hwnd) SetFocus(hwnd);
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
  for (auto& [form, window] : impl_->windows) {
    if (!IsWindowVisible(window->hwnd)) continue;
    for (auto& [control, list] : window->lists) {
      if (list->stale) impl_->Sync(*list);
    }
    RedrawWindow(window->hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
}

bool Win32Host::PreTranslateMessage(tagMSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST || message.hwnd == nullptr) return false;
  HWND root = GetAncestor(message.hwnd, GA_ROOT);
  for (auto& [form, window] : impl_->windows) {
    if (window->hwnd == root) return IsDialogMessageW(root, &message) != FALSE;
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
  return window != nullptr ? window->hwnd : nullptr;
}

HWND__* Win32Host::WindowOf(const Control& control) const { return ControlWindow(control); }

}  // namespace tidewick::ui
