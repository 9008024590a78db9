// The end-to-end driver: see driver.h.
#include "tests/e2e/driver/driver.h"

#include "tests/support/win32_text_for_tests.h"

#include <commctrl.h>
#include <userenv.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace tidewick::e2e {

namespace {

// How long a window may take to answer a message that the driver sends (reads, list marks).
constexpr UINT kAnswerTimeoutMs = 5000;

// Window enumeration callbacks: named functions with the system's calling convention (a
// lambda converts only to the compiler's own, which differs in the 32-bit build).
// Adds each window to the std::vector<HWND> that `list` points to.
BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
  return TRUE;
}

// Sets the bool that `flag` points to when the window waits for painting.
BOOL CALLBACK NotePendingPaint(HWND hwnd, LPARAM flag) {
  if (GetUpdateRect(hwnd, nullptr, FALSE)) *reinterpret_cast<bool*>(flag) = true;
  return TRUE;
}
// How often WaitUntil looks again.
constexpr Ms kPollInterval{15};

std::string Describe(HWND hwnd);

[[noreturn]] void Fail(const std::string& message) { throw DriverError(message); }

std::string ClassOf(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return Utf8(name);
}

bool ClassIs(HWND hwnd, std::wstring_view expected) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return CompareStringOrdinal(name, -1, expected.data(), static_cast<int>(expected.size()), TRUE) == CSTR_EQUAL;
}

// The text a window holds, without asking the window's thread (so a busy program cannot
// stall the driver). Text boxes keep their text elsewhere: they are asked with WM_GETTEXT.
std::string StoredText(HWND hwnd) {
  wchar_t buffer[4096] = {};
  int length = InternalGetWindowText(hwnd, buffer, 4096);
  return Utf8(std::wstring_view(buffer, static_cast<std::size_t>(std::max(length, 0))));
}

LRESULT Ask(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, std::string_view what) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerTimeoutMs, &result)) {
    Fail("the window did not answer " + std::string(what) + " within " + std::to_string(kAnswerTimeoutMs) +
         " ms: " + Describe(hwnd));
  }
  return static_cast<LRESULT>(result);
}

void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!PostMessageW(hwnd, message, wParam, lParam)) {
    Fail("could not post message " + std::to_string(message) + " to " + Describe(hwnd));
  }
}

// The caption as a person reads it: '&' marks the next letter as the shortcut, "&&" is '&'.
std::string Displayed(std::string_view caption) {
  std::string out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += caption[i];
  }
  return out;
}

bool CaptionMatches(std::string_view stored, std::string_view wanted) {
  return stored == wanted || Displayed(stored) == wanted;
}

std::string RectText(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
         std::to_string(r.bottom - r.top);
}

std::string ProcessName(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return "?";
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  std::string name = "?";
  if (QueryFullProcessImageNameW(process, 0, path, &size)) {
    std::wstring_view full(path, size);
    std::size_t slash = full.find_last_of(L"\\/");
    name = Utf8(slash == std::wstring_view::npos ? full : full.substr(slash + 1));
  }
  CloseHandle(process);
  return name;
}

std::string Describe(HWND hwnd) {
  if (!IsWindow(hwnd)) return "(a window that no longer exists)";
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  RECT r{};
  GetWindowRect(hwnd, &r);
  return ClassOf(hwnd) + " '" + StoredText(hwnd) + "' of " + ProcessName(pid) + " (pid " + std::to_string(pid) + ")" +
         (IsWindowVisible(hwnd) ? "" : " hidden") + (IsWindowEnabled(hwnd) ? "" : " disabled") + " at " + RectText(r);
}

ControlKind KindOf(HWND hwnd) {
  LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  if (ClassIs(hwnd, L"Button")) {
    switch (style & BS_TYPEMASK) {
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
        return ControlKind::CheckBox;
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        return ControlKind::RadioButton;
      case BS_GROUPBOX:
        return ControlKind::Frame;
      default:
        return ControlKind::PushButton;  // push, default push, owner-drawn, split, command link
    }
  }
  if (ClassIs(hwnd, L"Static")) {
    switch (style & SS_TYPEMASK) {
      case SS_LEFT:
      case SS_CENTER:
      case SS_RIGHT:
      case SS_SIMPLE:
      case SS_LEFTNOWORDWRAP:
        return ControlKind::Label;
      case SS_OWNERDRAW:
        return StoredText(hwnd).empty() ? ControlKind::Picture : ControlKind::Label;
      default:
        return ControlKind::Picture;
    }
  }
  if (ClassIs(hwnd, L"ComboBox")) return ControlKind::ComboBox;
  if (ClassIs(hwnd, L"Edit")) return ControlKind::TextBox;
  if (ClassIs(hwnd, PROGRESS_CLASSW)) return ControlKind::ProgressBar;
  if (ClassIs(hwnd, WC_LISTVIEWW)) {
    DWORD_PTR ex = 0;
    if (SendMessageTimeoutW(hwnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &ex) &&
        (ex & LVS_EX_CHECKBOXES)) {
      const bool headers = (style & LVS_TYPEMASK) == LVS_REPORT && !(style & LVS_NOCOLUMNHEADER);
      return headers ? ControlKind::CheckTable : ControlKind::CheckList;
    }
    return ControlKind::ListView;
  }
  return ControlKind::Other;
}

// The usable state a person would judge: this window and every parent up to the top-level
// window are shown and enabled.
std::string WhyUnusable(HWND hwnd) {
  for (HWND w = hwnd; w; w = (GetWindowLongPtrW(w, GWL_STYLE) & WS_CHILD) ? GetParent(w) : nullptr) {
    if (!IsWindowVisible(w)) return w == hwnd ? "it is hidden" : "its window " + Describe(w) + " is hidden";
    if (!IsWindowEnabled(w)) return w == hwnd ? "it is disabled" : "its window " + Describe(w) + " is disabled";
  }
  return {};
}

// A block of memory inside another process, for the messages whose arguments point to memory
// (the list-view item messages). The target reads and writes it; the driver copies in and out.
class RemoteMemory {
 public:
  RemoteMemory(HWND owner, std::size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process_) Fail("cannot open the process of " + Describe(owner) + " for its memory");
    address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!address_) {
      CloseHandle(process_);
      Fail("cannot allocate memory in the process of " + Describe(owner));
    }
  }
  ~RemoteMemory() {
    if (!keep_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    CloseHandle(process_);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  std::uintptr_t Address() const { return reinterpret_cast<std::uintptr_t>(address_); }
  void Write(std::size_t offset, const void* data, std::size_t size) {
    SIZE_T done = 0;
    if (offset + size > size_ || !WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &done) ||
        done != size) {
      Fail("cannot write to the memory of another process");
    }
  }
  void Read(std::size_t offset, void* data, std::size_t size) const {
    SIZE_T done = 0;
    if (offset + size > size_ || !ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &done) ||
        done != size) {
      Fail("cannot read the memory of another process");
    }
  }
  // Leaves the block allocated: for a message that timed out and may still be read later.
  void Keep() { keep_ = true; }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  std::size_t size_;
  bool keep_ = false;
};

std::wstring EnvVar(const wchar_t* name) {
  wchar_t buffer[4096] = {};
  DWORD length = GetEnvironmentVariableW(name, buffer, 4096);
  if (length == 0 || length >= 4096) return {};
  return std::wstring(buffer, length);
}

std::wstring RequiredEnv(const wchar_t* name) {
  std::wstring value = EnvVar(name);
  if (value.empty()) {
    Fail("the environment variable " + Utf8(name) +
         " is not set: run the scenario through tests/e2e/run-scenario.sh, which prepares its folders");
  }
  return value;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) return folder + name;
  return folder + L"\\" + name;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Text and waiting

std::wstring Wide(std::string_view utf8) { return testsupport::Wide(utf8); }

std::string Utf8(std::wstring_view wide) { return testsupport::Utf8(wide); }

bool WaitUntil(const std::function<bool()>& condition, Ms timeout) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

void WaitFor(const std::function<bool()>& condition, std::string_view what, Ms timeout) {
  if (!WaitUntil(condition, timeout)) {
    Fail("timed out after " + std::to_string(timeout.count()) + " ms waiting for " + std::string(what) +
         "\nvisible windows:\n" + DescribeVisibleWindows());
  }
}

void Pause(Ms duration) { std::this_thread::sleep_for(duration); }

// ---------------------------------------------------------------------------------------------
// Processes

Process Process::Launch(const std::string& exe, const std::string& workingFolder, const std::string& arguments) {
  std::wstring commandLine = L"\"" + Wide(exe) + L"\"";
  if (!arguments.empty()) commandLine += L" " + Wide(arguments);
  std::wstring folder = Wide(workingFolder);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    Fail("cannot start " + exe + " in " + workingFolder + " (error " + std::to_string(GetLastError()) + ")");
  }
  CloseHandle(info.hThread);
  Process process;
  process.handle_ = info.hProcess;
  process.id_ = info.dwProcessId;
  return process;
}

Process::Process(Process&& other) noexcept : handle_(other.handle_), id_(other.id_) {
  other.handle_ = nullptr;
  other.id_ = 0;
}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Terminate();
    if (handle_) CloseHandle(handle_);
    handle_ = other.handle_;
    id_ = other.id_;
    other.handle_ = nullptr;
    other.id_ = 0;
  }
  return *this;
}

Process::~Process() {
  Terminate();
  if (handle_) CloseHandle(handle_);
}

bool Process::Running() const { return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }

std::optional<DWORD> Process::ExitCode() const {
  if (!handle_ || Running()) return std::nullopt;
  DWORD code = 0;
  if (!GetExitCodeProcess(handle_, &code)) return std::nullopt;
  return code;
}

std::optional<DWORD> Process::WaitForExit(Ms timeout) const {
  if (!handle_) Fail("no process was started");
  if (WaitForSingleObject(handle_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return std::nullopt;
  return ExitCode();
}

ExitReport Process::WaitForExitWatching(Ms timeout) const {
  if (!handle_) Fail("no process was started");
  ExitReport report;
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
  for (;;) {
    for (const WindowInfo& w : TopLevelWindows(id_)) {
      std::string seen = w.className + " '" + w.title + "'";
      if (std::find(report.shown.begin(), report.shown.end(), seen) == report.shown.end()) report.shown.push_back(seen);
    }
    if (WaitForSingleObject(handle_, 10) == WAIT_OBJECT_0) break;
    if (GetTickCount64() >= end) return report;
  }
  report.exited = true;
  GetExitCodeProcess(handle_, &report.exitCode);
  return report;
}

void Process::Terminate() {
  if (Running()) {
    TerminateProcess(handle_, 1);
    WaitForSingleObject(handle_, 5000);
  }
}

// ---------------------------------------------------------------------------------------------
// Controls

std::string_view KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::PushButton: return "button";
    case ControlKind::CheckBox: return "check box";
    case ControlKind::RadioButton: return "option button";
    case ControlKind::Frame: return "frame";
    case ControlKind::Label: return "label";
    case ControlKind::Picture: return "picture";
    case ControlKind::ComboBox: return "drop-down list";
    case ControlKind::CheckList: return "check-box list";
    case ControlKind::CheckTable: return "check-box table";
    case ControlKind::ProgressBar: return "progress bar";
    case ControlKind::ListView: return "list view";
    case ControlKind::TextBox: return "text box";
    case ControlKind::Other: return "control";
    case ControlKind::Any: return "control";
  }
  return "control";
}

Control::Control(HWND hwnd) : hwnd_(hwnd) {}

ControlInfo Control::Info() const {
  ControlInfo info;
  info.hwnd = hwnd_;
  info.className = ClassOf(hwnd_);
  info.kind = KindOf(hwnd_);
  info.text = info.kind == ControlKind::TextBox ? std::string() : StoredText(hwnd_);
  info.id = GetDlgCtrlID(hwnd_);
  info.enabled = IsWindowEnabled(hwnd_) != FALSE;
  info.visible = IsWindowVisible(hwnd_) != FALSE;
  GetWindowRect(hwnd_, &info.rect);
  return info;
}

ControlKind Control::Kind() const { return KindOf(hwnd_); }

std::string Control::Text() const {
  if (!ClassIs(hwnd_, L"Edit")) return StoredText(hwnd_);
  auto length = static_cast<std::size_t>(Ask(hwnd_, WM_GETTEXTLENGTH, 0, 0, "WM_GETTEXTLENGTH"));
  std::wstring buffer(length + 1, L'\0');
  auto got = static_cast<std::size_t>(
      Ask(hwnd_, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(buffer.data()), "WM_GETTEXT"));
  buffer.resize(std::min(got, length));
  return Utf8(buffer);
}

bool Control::Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
bool Control::Visible() const { return IsWindowVisible(hwnd_) != FALSE; }
bool Control::Usable() const { return IsWindow(hwnd_) && WhyUnusable(hwnd_).empty(); }
LONG_PTR Control::Style() const { return GetWindowLongPtrW(hwnd_, GWL_STYLE); }

void Control::RequireUsable(std::string_view action) const {
  if (!IsWindow(hwnd_)) Fail("cannot " + std::string(action) + ": the control no longer exists");
  std::string why = WhyUnusable(hwnd_);
  if (!why.empty()) {
    Fail("refused to " + std::string(action) + " " + Describe(hwnd_) + ": " + why + ", so a person could not");
  }
}

void Control::Click() const {
  ControlKind kind = Kind();
  if (kind != ControlKind::PushButton && kind != ControlKind::CheckBox && kind != ControlKind::RadioButton) {
    Fail("cannot click " + Describe(hwnd_) + ": it is a " + std::string(KindName(kind)) + ", not a button");
  }
  RequireUsable("click");
  Post(hwnd_, BM_CLICK, 0, 0);
}

void Control::ClickLabel() const {
  if (Kind() != ControlKind::Label && Kind() != ControlKind::Picture) Fail("not a label: " + Describe(hwnd_));
  RequireUsable("click");
  if (!(Style() & SS_NOTIFY)) {
    Fail("a click on " + Describe(hwnd_) + " would not reach its window: the label does not notify (no SS_NOTIFY)");
  }
  Post(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(hwnd_)), STN_CLICKED),
       reinterpret_cast<LPARAM>(hwnd_));
}

bool Control::Checked() const {
  if (Kind() != ControlKind::CheckBox && Kind() != ControlKind::RadioButton) Fail("not a check box: " + Describe(hwnd_));
  return Ask(hwnd_, BM_GETCHECK, 0, 0, "BM_GETCHECK") == BST_CHECKED;
}

void Control::SetChecked(bool checked) const {
  if (Checked() == checked) return;
  Click();
  WaitFor([&] { return Checked() == checked; }, "the check box " + Describe(hwnd_) + " to become " +
                                                     (checked ? "checked" : "unchecked"));
}

std::vector<std::string> Control::Items() const {
  if (Kind() != ControlKind::ComboBox) Fail("not a drop-down list: " + Describe(hwnd_));
  std::vector<std::string> items;
  auto count = Ask(hwnd_, CB_GETCOUNT, 0, 0, "CB_GETCOUNT");
  for (LRESULT i = 0; i < count; ++i) {
    auto length = Ask(hwnd_, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, "CB_GETLBTEXTLEN");
    if (length < 0) Fail("cannot read item " + std::to_string(i) + " of " + Describe(hwnd_));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    auto got = Ask(hwnd_, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()), "CB_GETLBTEXT");
    text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, length)));
    items.push_back(Utf8(text));
  }
  return items;
}

int Control::Selection() const {
  if (Kind() != ControlKind::ComboBox) Fail("not a drop-down list: " + Describe(hwnd_));
  return static_cast<int>(Ask(hwnd_, CB_GETCURSEL, 0, 0, "CB_GETCURSEL"));
}

std::string Control::SelectionText() const {
  int index = Selection();
  if (index < 0) return {};
  std::vector<std::string> items = Items();
  return static_cast<std::size_t>(index) < items.size() ? items[static_cast<std::size_t>(index)] : std::string();
}

void Control::Choose(const std::string& item) const {
  std::vector<std::string> items = Items();
  auto found = std::find(items.begin(), items.end(), item);
  if (found == items.end()) {
    std::string list;
    for (const std::string& i : items) list += " '" + i + "'";
    Fail("the drop-down list " + Describe(hwnd_) + " has no item '" + item + "'; it has:" + (list.empty() ? " nothing" : list));
  }
  RequireUsable("choose '" + item + "' in");
  auto index = static_cast<WPARAM>(found - items.begin());
  Ask(hwnd_, CB_SETCURSEL, index, 0, "CB_SETCURSEL");
  Post(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(hwnd_)), CBN_SELCHANGE),
       reinterpret_cast<LPARAM>(hwnd_));
}

namespace {

constexpr std::size_t kItemTextChars = 2048;

// The text of one cell of a ListView in another process; `memory` holds an LVITEMW and its text.
std::string ItemText(HWND list, RemoteMemory& memory, int row, int column) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = reinterpret_cast<LPWSTR>(memory.Address() + sizeof(LVITEMW));
  item.cchTextMax = static_cast<int>(kItemTextChars);
  memory.Write(0, &item, sizeof item);
  auto length = Ask(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), static_cast<LPARAM>(memory.Address()),
                    "LVM_GETITEMTEXTW");
  std::wstring text(static_cast<std::size_t>(std::clamp<LRESULT>(length, 0, kItemTextChars - 1)), L'\0');
  if (!text.empty()) memory.Read(sizeof(LVITEMW), text.data(), text.size() * sizeof(wchar_t));
  return Utf8(text);
}

}  // namespace

std::vector<ListLine> Control::Lines() const {
  if (!ClassIs(hwnd_, WC_LISTVIEWW)) Fail("not a list view: " + Describe(hwnd_));
  RemoteMemory memory(hwnd_, sizeof(LVITEMW) + kItemTextChars * sizeof(wchar_t));
  std::vector<ListLine> lines;
  auto count = Ask(hwnd_, LVM_GETITEMCOUNT, 0, 0, "LVM_GETITEMCOUNT");
  for (LRESULT i = 0; i < count; ++i) {
    std::string text = ItemText(hwnd_, memory, static_cast<int>(i), 0);
    auto state = static_cast<UINT>(
        Ask(hwnd_, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK, "LVM_GETITEMSTATE"));
    lines.push_back({std::move(text), (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2)});
  }
  return lines;
}

void Control::RequireReportList() const {
  if (!ClassIs(hwnd_, WC_LISTVIEWW) || (Style() & LVS_TYPEMASK) != LVS_REPORT) {
    Fail("not a list view in report view: " + Describe(hwnd_));
  }
}

HWND Control::Header() const {
  RequireReportList();
  HWND header = reinterpret_cast<HWND>(Ask(hwnd_, LVM_GETHEADER, 0, 0, "LVM_GETHEADER"));
  if (header == nullptr) Fail("the list " + Describe(hwnd_) + " has no header control");
  return header;
}

std::vector<std::string> Control::Headers() const {
  HWND header = Header();
  if (Style() & LVS_NOCOLUMNHEADER) return {};
  auto count = Ask(header, HDM_GETITEMCOUNT, 0, 0, "HDM_GETITEMCOUNT");
  RemoteMemory memory(hwnd_, sizeof(LVCOLUMNW) + kItemTextChars * sizeof(wchar_t));
  std::vector<std::string> headers;
  for (LRESULT c = 0; c < count; ++c) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = reinterpret_cast<LPWSTR>(memory.Address() + sizeof(LVCOLUMNW));
    column.cchTextMax = static_cast<int>(kItemTextChars);
    memory.Write(0, &column, sizeof column);
    wchar_t empty = L'\0';
    memory.Write(sizeof(LVCOLUMNW), &empty, sizeof empty);
    if (!Ask(hwnd_, LVM_GETCOLUMNW, static_cast<WPARAM>(c), static_cast<LPARAM>(memory.Address()), "LVM_GETCOLUMNW")) {
      Fail("cannot read column " + std::to_string(c) + " of " + Describe(hwnd_));
    }
    std::wstring text(kItemTextChars, L'\0');
    memory.Read(sizeof(LVCOLUMNW), text.data(), text.size() * sizeof(wchar_t));
    text.resize(std::wcslen(text.c_str()));
    headers.push_back(Utf8(text));
  }
  return headers;
}

std::vector<std::string> Control::Cells(int column) const {
  RequireReportList();
  RemoteMemory memory(hwnd_, sizeof(LVITEMW) + kItemTextChars * sizeof(wchar_t));
  std::vector<std::string> cells;
  auto count = Ask(hwnd_, LVM_GETITEMCOUNT, 0, 0, "LVM_GETITEMCOUNT");
  for (LRESULT i = 0; i < count; ++i) cells.push_back(ItemText(hwnd_, memory, static_cast<int>(i), column));
  return cells;
}

void Control::Type(const std::string& text) const {
  if (Kind() != ControlKind::TextBox && Kind() != ControlKind::ComboBox) {
    Fail("cannot type into " + Describe(hwnd_) + ": it is a " + std::string(KindName(Kind())) + ", not a text field");
  }
  RequireUsable("type into");
  const std::wstring wide = Wide(text);
  // Sent, not posted: the text crosses to the other process with the message.
  if (!Ask(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), "WM_SETTEXT")) {
    Fail("the field " + Describe(hwnd_) + " refused the text '" + text + "'");
  }
}

void Control::ClickHeader(int column) const {
  HWND header = Header();
  auto count = Ask(header, HDM_GETITEMCOUNT, 0, 0, "HDM_GETITEMCOUNT");
  if (column < 0 || column >= count) {
    Fail("the list " + Describe(hwnd_) + " has " + std::to_string(count) + " columns, no column " + std::to_string(column));
  }
  RequireUsable("click a header of");
  RemoteMemory memory(hwnd_, sizeof(RECT));
  if (!Ask(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), static_cast<LPARAM>(memory.Address()), "HDM_GETITEMRECT")) {
    Fail("cannot find the header of column " + std::to_string(column) + " of " + Describe(hwnd_));
  }
  RECT r{};
  memory.Read(0, &r, sizeof r);
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Post(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  Post(header, WM_LBUTTONUP, 0, at);
}

int Control::Position() const {
  if (Kind() != ControlKind::ProgressBar) Fail("not a progress bar: " + Describe(hwnd_));
  return static_cast<int>(Ask(hwnd_, PBM_GETPOS, 0, 0, "PBM_GETPOS"));
}

std::pair<int, int> Control::Range() const {
  if (Kind() != ControlKind::ProgressBar) Fail("not a progress bar: " + Describe(hwnd_));
  return {static_cast<int>(Ask(hwnd_, PBM_GETRANGE, TRUE, 0, "PBM_GETRANGE")),
          static_cast<int>(Ask(hwnd_, PBM_GETRANGE, FALSE, 0, "PBM_GETRANGE"))};
}

void Control::SetMark(int line, bool marked) const {
  if (Kind() != ControlKind::CheckList && Kind() != ControlKind::CheckTable) {
    Fail("not a list with check boxes: " + Describe(hwnd_));
  }
  std::vector<ListLine> lines = Lines();
  if (line < 0 || static_cast<std::size_t>(line) >= lines.size()) {
    Fail("the list " + Describe(hwnd_) + " has " + std::to_string(lines.size()) + " lines, no line " + std::to_string(line));
  }
  RequireUsable(std::string(marked ? "mark" : "unmark") + " a line of");
  if (lines[static_cast<std::size_t>(line)].marked == marked) return;
  RemoteMemory memory(hwnd_, sizeof(LVITEMW));
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(marked ? 2 : 1);
  memory.Write(0, &item, sizeof item);
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(line), static_cast<LPARAM>(memory.Address()),
                           SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerTimeoutMs, &result)) {
    memory.Keep();
    Fail("the list " + Describe(hwnd_) + " did not answer LVM_SETITEMSTATE");
  }
  WaitFor([&] {
            std::vector<ListLine> now = Lines();
            return static_cast<std::size_t>(line) < now.size() && now[static_cast<std::size_t>(line)].marked == marked;
          },
          "line " + std::to_string(line) + " of " + Describe(hwnd_) + " to become " + (marked ? "marked" : "unmarked"));
}

void Control::SetMark(const std::string& lineText, bool marked) const {
  std::vector<ListLine> lines = Lines();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].text == lineText) return SetMark(static_cast<int>(i), marked);
  }
  std::string list;
  for (const ListLine& l : lines) list += "\n  " + std::string(l.marked ? "[x] " : "[ ] ") + l.text;
  Fail("the list " + Describe(hwnd_) + " has no line '" + lineText + "'; its lines:" + (list.empty() ? " none" : list));
}

// ---------------------------------------------------------------------------------------------
// Windows

WindowInfo Window::Info() const {
  WindowInfo info;
  info.hwnd = hwnd_;
  GetWindowThreadProcessId(hwnd_, &info.processId);
  info.className = ClassOf(hwnd_);
  info.title = StoredText(hwnd_);
  info.visible = IsWindowVisible(hwnd_) != FALSE;
  info.enabled = IsWindowEnabled(hwnd_) != FALSE;
  GetWindowRect(hwnd_, &info.rect);
  return info;
}

bool Window::Exists() const { return hwnd_ && IsWindow(hwnd_); }
std::string Window::Title() const { return StoredText(hwnd_); }
std::string Window::ClassName() const { return ClassOf(hwnd_); }
bool Window::Visible() const { return IsWindowVisible(hwnd_) != FALSE; }
bool Window::Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }

DWORD Window::ProcessId() const {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd_, &pid);
  return pid;
}

RECT Window::Rect() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return r;
}

std::vector<ControlInfo> Window::Controls() const {
  std::vector<HWND> children;
  EnumChildWindows(hwnd_, CollectWindow, reinterpret_cast<LPARAM>(&children));
  std::vector<ControlInfo> controls;
  controls.reserve(children.size());
  for (HWND child : children) controls.push_back(Control(child).Info());
  return controls;
}

std::string Window::DescribeControls() const {
  std::ostringstream out;
  out << "controls of " << Describe(hwnd_) << ":";
  for (const ControlInfo& c : Controls()) {
    out << "\n  " << KindName(c.kind) << " (" << c.className << " #" << c.id << ") '" << c.text << "'"
        << (c.visible ? "" : " hidden") << (c.enabled ? "" : " disabled") << " at " << RectText(c.rect);
  }
  return out.str();
}

std::optional<Control> Window::TryFind(const ControlQuery& query) const {
  std::vector<ControlInfo> controls = Controls();
  std::optional<RECT> frame;
  if (!query.frame.empty()) {
    for (const ControlInfo& c : controls) {
      if (c.kind == ControlKind::Frame && CaptionMatches(c.text, query.frame)) {
        frame = c.rect;
        break;
      }
    }
    if (!frame) return std::nullopt;
  }
  int seen = 0;
  for (const ControlInfo& c : controls) {
    if (query.kind != ControlKind::Any && c.kind != query.kind) continue;
    if (!query.caption.empty() && !CaptionMatches(c.text, query.caption)) continue;
    if (frame) {
      POINT centre{(c.rect.left + c.rect.right) / 2, (c.rect.top + c.rect.bottom) / 2};
      if (c.hwnd == nullptr || !PtInRect(&*frame, centre) || (c.kind == ControlKind::Frame && EqualRect(&c.rect, &*frame))) {
        continue;
      }
    }
    if (seen++ == query.index) return Control(c.hwnd);
  }
  return std::nullopt;
}

Control Window::Find(const ControlQuery& query) const {
  if (!Exists()) Fail("the window is gone; visible windows:\n" + DescribeVisibleWindows());
  if (std::optional<Control> found = TryFind(query)) return *found;
  std::string what(KindName(query.kind));
  if (!query.caption.empty()) what += " '" + query.caption + "'";
  if (!query.frame.empty()) what += " in the frame '" + query.frame + "'";
  if (query.index) what += " (match " + std::to_string(query.index) + ")";
  Fail("no " + what + " in " + Describe(hwnd_) + "\n" + DescribeControls());
}

Control Window::Button(const std::string& caption, const std::string& frame) const {
  return Find({ControlKind::PushButton, caption, frame});
}
Control Window::CheckBox(const std::string& caption, const std::string& frame) const {
  return Find({ControlKind::CheckBox, caption, frame});
}
Control Window::Label(const std::string& caption, const std::string& frame) const {
  return Find({ControlKind::Label, caption, frame});
}
Control Window::ComboBox(const std::string& frame, int index) const { return Find({ControlKind::ComboBox, "", frame, index}); }
Control Window::CheckList(const std::string& frame, int index) const {
  return Find({ControlKind::CheckList, "", frame, index});
}
Control Window::CheckTable(const std::string& frame, int index) const {
  return Find({ControlKind::CheckTable, "", frame, index});
}
Control Window::ProgressBar(const std::string& frame, int index) const {
  return Find({ControlKind::ProgressBar, "", frame, index});
}
Control Window::TextBox(const std::string& frame, int index) const { return Find({ControlKind::TextBox, "", frame, index}); }

void Window::Click(const std::string& caption, const std::string& frame) const {
  std::optional<Control> control = TryFind({ControlKind::PushButton, caption, frame});
  if (!control) control = TryFind({ControlKind::CheckBox, caption, frame});
  if (!control) control = Find({ControlKind::PushButton, caption, frame});  // throws with the list
  control->Click();
}

bool Window::MenuReadable() const {
  HMENU menu = GetMenu(hwnd_);
  return menu && GetMenuItemCount(menu) >= 0;
}

namespace {

std::string MenuText(HMENU menu, UINT position) {
  wchar_t text[512] = {};
  int n = GetMenuStringW(menu, position, text, 512, MF_BYPOSITION);
  return Utf8(std::wstring_view(text, static_cast<std::size_t>(std::max(n, 0))));
}

std::string DescribeMenu(HMENU bar) {
  std::string out;
  int count = GetMenuItemCount(bar);
  for (int i = 0; i < count; ++i) {
    out += "\n  " + Displayed(MenuText(bar, static_cast<UINT>(i))) + ":";
    HMENU popup = GetSubMenu(bar, i);
    int items = popup ? GetMenuItemCount(popup) : 0;
    for (int j = 0; j < items; ++j) {
      MENUITEMINFOW info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_FTYPE;
      GetMenuItemInfoW(popup, static_cast<UINT>(j), TRUE, &info);
      out += (info.fType & MFT_SEPARATOR) ? " | -" : " | " + Displayed(MenuText(popup, static_cast<UINT>(j)));
    }
  }
  return out;
}

// Whether the thread of `hwnd` is in menu mode or shows a popup menu.
bool InMenu(HWND hwnd) {
  DWORD pid = 0;
  DWORD thread = GetWindowThreadProcessId(hwnd, &pid);
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  if (GetGUIThreadInfo(thread, &gui) && (gui.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE))) return true;
  for (const WindowInfo& w : TopLevelWindows(pid)) {
    if (w.className == "#32768") return true;
  }
  return false;
}

}  // namespace

void Window::ChooseMenu(const MenuBar& bar, const std::string& menu, const std::string& item) const {
  if (!Exists()) Fail("cannot choose " + menu + " > " + item + ": the window is gone");
  std::string why = WhyUnusable(hwnd_);
  if (!why.empty()) Fail("refused to choose " + menu + " > " + item + " in " + Describe(hwnd_) + ": " + why);
  HMENU handle = GetMenu(hwnd_);
  if (!handle) Fail(Describe(hwnd_) + " has no menu bar");

  auto menuAt = std::find_if(bar.begin(), bar.end(), [&](const Menu& m) { return m.caption == menu; });
  if (menuAt == bar.end()) Fail("the declared menu bar has no menu '" + menu + "'");
  auto itemAt = std::find(menuAt->items.begin(), menuAt->items.end(), item);
  if (itemAt == menuAt->items.end() || item == "-") Fail("the declared menu '" + menu + "' has no item '" + item + "'");
  const auto menuIndex = static_cast<int>(menuAt - bar.begin());
  const auto itemIndex = static_cast<int>(itemAt - menuAt->items.begin());

  if (MenuReadable()) {
    // Check the declared layout against the real one, then post the item's command.
    bool same = GetMenuItemCount(handle) == static_cast<int>(bar.size());
    for (std::size_t i = 0; same && i < bar.size(); ++i) {
      HMENU popup = GetSubMenu(handle, static_cast<int>(i));
      same = Displayed(MenuText(handle, static_cast<UINT>(i))) == bar[i].caption && popup &&
             GetMenuItemCount(popup) == static_cast<int>(bar[i].items.size());
      for (std::size_t j = 0; same && j < bar[i].items.size(); ++j) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE;
        GetMenuItemInfoW(popup, static_cast<UINT>(j), TRUE, &info);
        same = (info.fType & MFT_SEPARATOR) ? bar[i].items[j] == "-"
                                            : Displayed(MenuText(popup, static_cast<UINT>(j))) == bar[i].items[j];
      }
    }
    if (!same) Fail("the menu bar of " + Describe(hwnd_) + " is not the declared one; it is:" + DescribeMenu(handle));
    HMENU popup = GetSubMenu(handle, menuIndex);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE;
    GetMenuItemInfoW(popup, static_cast<UINT>(itemIndex), TRUE, &info);
    if (info.fState & MFS_DISABLED) Fail("refused to choose " + menu + " > " + item + ": the item is greyed");
    Post(hwnd_, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(info.wID), 0), 0);
    return;
  }

  // The keyboard, as a person without a mouse: menu mode selects the first menu of the bar,
  // Right moves along the bar, Down opens the menu on its first item, Down moves past items
  // (separators are skipped by the menu itself), Enter chooses. The keys are posted to the
  // window's thread; the menu's own loop reads them in order.
  int steps = 0;
  for (int j = 0; j < itemIndex; ++j) {
    if (menuAt->items[static_cast<std::size_t>(j)] != "-") ++steps;
  }
  SetForegroundWindow(hwnd_);
  Post(hwnd_, WM_SYSCOMMAND, SC_KEYMENU, 0);
  for (int i = 0; i < menuIndex; ++i) Post(hwnd_, WM_KEYDOWN, VK_RIGHT, 0);
  Post(hwnd_, WM_KEYDOWN, VK_DOWN, 0);
  for (int j = 0; j < steps; ++j) Post(hwnd_, WM_KEYDOWN, VK_DOWN, 0);
  Post(hwnd_, WM_CHAR, L'\r', 0);

  // Enter closes the menu, on a greyed item too (it then runs nothing). A menu still open
  // after that means the keys went astray: close it and say so.
  WaitUntil([&] { return InMenu(hwnd_); }, Ms(200));
  if (!WaitUntil([&] { return !IsWindow(hwnd_) || !InMenu(hwnd_); }, Ms(3000))) {
    for (int i = 0; i < 3; ++i) Post(hwnd_, WM_KEYDOWN, VK_ESCAPE, 0);
    Fail("the menu of " + Describe(hwnd_) + " stayed open after choosing " + menu + " > " + item);
  }
}

void Window::Close() const {
  if (!Exists()) Fail("cannot close a window that is gone");
  Post(hwnd_, WM_CLOSE, 0, 0);
}

void Window::WaitHidden(Ms timeout) const {
  std::string who = Describe(hwnd_);
  WaitFor([&] { return !IsWindow(hwnd_) || !IsWindowVisible(hwnd_); }, who + " to be hidden", timeout);
}

void Window::WaitGone(Ms timeout) const {
  std::string who = Describe(hwnd_);
  WaitFor([&] { return !IsWindow(hwnd_); }, who + " to be destroyed", timeout);
}

std::string Window::Screenshot(const std::string& name) const {
  if (!Exists()) Fail("cannot take a picture of a window that is gone: " + name);
  // Let the program paint what it just changed, as the eye would wait for it: until no part of
  // the window or its controls waits for painting (a loaded machine may take a while).
  auto painted = [&] {
    bool pending = GetUpdateRect(hwnd_, nullptr, FALSE) != FALSE;
    EnumChildWindows(hwnd_, NotePendingPaint, reinterpret_cast<LPARAM>(&pending));
    return !pending;
  };
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(hwnd_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &ignored);
  WaitUntil(painted, Ms(3000));
  Pause(Ms(150));
  RECT r = Rect();
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) Fail("the window has no area to take a picture of: " + Describe(hwnd_));

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
  SelectObject(memory, old);

  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // bottom-up rows, as BMP files keep them
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const auto stride = static_cast<std::size_t>((width * 3 + 3) & ~3);
  std::vector<char> pixels(stride * static_cast<std::size_t>(height));
  BITMAPINFO info{};
  info.bmiHeader = header;
  int rows = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (rows != height) Fail("could not read the screen for the picture " + name);

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
  header.biSizeImage = static_cast<DWORD>(pixels.size());

  std::wstring path = Join(Wide(env::ShotsFolder()), Wide(name) + L".bmp");
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  if (!out) Fail("could not write the picture " + Utf8(path));
  return Utf8(path);
}

std::vector<WindowInfo> TopLevelWindows(DWORD processId, bool includeHidden) {
  std::vector<HWND> all;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
  std::vector<WindowInfo> windows;
  for (HWND hwnd : all) {
    if (!includeHidden && !IsWindowVisible(hwnd)) continue;
    WindowInfo info = Window(hwnd).Info();
    if (processId && info.processId != processId) continue;
    // A window destroyed while it was being read answers no class: it is not on the screen.
    if (info.className.empty() || !IsWindow(hwnd)) continue;
    windows.push_back(info);
  }
  return windows;
}

std::string DescribeVisibleWindows() {
  std::string out;
  for (const WindowInfo& w : TopLevelWindows()) out += "  " + Describe(w.hwnd) + "\n";
  return out.empty() ? "  (none)\n" : out;
}

std::vector<Window> WindowsByTitle(const std::string& title, DWORD processId, bool includeHidden) {
  std::vector<Window> found;
  for (const WindowInfo& w : TopLevelWindows(processId, includeHidden)) {
    if (w.title == title) found.emplace_back(w.hwnd);
  }
  return found;
}

std::optional<Window> FindWindowByTitle(const std::string& title, DWORD processId) {
  std::vector<Window> found = WindowsByTitle(title, processId);
  if (found.empty()) return std::nullopt;
  return found.front();
}

Window WaitForWindow(const std::string& title, DWORD processId, Ms timeout) {
  std::optional<Window> found;
  WaitFor([&] { return (found = FindWindowByTitle(title, processId)).has_value(); },
          "a visible window titled '" + title + "'" + (processId ? " of pid " + std::to_string(processId) : ""), timeout);
  return *found;
}

// ---------------------------------------------------------------------------------------------
// Message boxes

std::string MsgBox::Text() const {
  std::string text;
  for (const ControlInfo& c : window_.Controls()) {
    if (c.kind != ControlKind::Label || !c.visible) continue;
    if (c.id == 0xFFFF) return c.text;  // the text control of the system's message box
    if (!c.text.empty()) text += (text.empty() ? "" : "\n") + c.text;
  }
  return text;
}

std::vector<std::string> MsgBox::Buttons() const {
  std::vector<std::string> buttons;
  for (const ControlInfo& c : window_.Controls()) {
    if (c.kind == ControlKind::PushButton && c.visible) buttons.push_back(Displayed(c.text));
  }
  return buttons;
}

void MsgBox::Answer(const std::string& button, Ms timeout) const {
  std::optional<Control> control;
  for (const ControlInfo& c : window_.Controls()) {
    if (c.kind == ControlKind::PushButton && c.visible && Displayed(c.text) == button) control = Control(c.hwnd);
  }
  if (!control) {
    std::string have;
    for (const std::string& b : Buttons()) have += " '" + b + "'";
    Fail("the message box '" + Text() + "' has no button '" + button + "'; it has:" + have);
  }
  control->Click();
  window_.WaitHidden(timeout);
}

std::optional<MsgBox> FindMessageBox(DWORD processId, const std::string& title) {
  for (const WindowInfo& w : TopLevelWindows(processId)) {
    if (w.className == "#32770" && w.title == title) return MsgBox(Window(w.hwnd));
  }
  return std::nullopt;
}

MsgBox WaitForMessageBox(DWORD processId, const std::string& title, Ms timeout) {
  std::optional<MsgBox> found;
  WaitFor([&] { return (found = FindMessageBox(processId, title)).has_value(); },
          "a message box titled '" + title + "'" + (processId ? " of pid " + std::to_string(processId) : ""), timeout);
  return *found;
}

// ---------------------------------------------------------------------------------------------
// The run's folders and records

namespace env {

std::string SupplyFolder() { return Utf8(RequiredEnv(L"TIDEWICK_E2E_SUPPLY")); }

std::string Supply(const std::string& fileName) {
  std::wstring path = Join(RequiredEnv(L"TIDEWICK_E2E_SUPPLY"), Wide(fileName));
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Fail("the supply " + Utf8(path) + " is missing: give it to run-scenario.sh with --supply");
  }
  return Utf8(path);
}

std::string MakeWorkFolder(const std::string& name, const std::vector<std::string>& supplyFiles) {
  std::filesystem::path folder = std::filesystem::path(Join(RequiredEnv(L"TIDEWICK_E2E_WORK"), Wide(name)));
  std::error_code error;
  std::filesystem::remove_all(folder, error);
  std::filesystem::create_directories(folder, error);
  if (error) Fail("cannot make the folder " + Utf8(folder.wstring()) + ": " + error.message());
  for (const std::string& file : supplyFiles) {
    std::wstring from = Wide(Supply(file));
    std::wstring to = Join(folder.wstring(), Wide(file));
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) Fail("cannot copy " + Utf8(from) + " to " + Utf8(to));
  }
  return Utf8(folder.wstring());
}

std::string ShotsFolder() { return Utf8(RequiredEnv(L"TIDEWICK_E2E_SHOTS")); }

std::vector<OpenedPage> OpenedPages() {
  std::ifstream in(std::filesystem::path(RequiredEnv(L"TIDEWICK_E2E_URL_LOG")));
  std::vector<OpenedPage> pages;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    OpenedPage page;
    page.showMode = std::atoi(line.substr(0, tab).c_str());
    page.address = line.substr(tab + 1);
    pages.push_back(page);
  }
  return pages;
}

std::string DescribeOpenedPages() {
  std::string out;
  for (const OpenedPage& p : OpenedPages()) out += "  show " + std::to_string(p.showMode) + ": " + p.address + "\n";
  return out.empty() ? "  (none)\n" : out;
}

std::string ProfileFolder() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) throw DriverError("no process token");
  wchar_t buffer[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  const BOOL got = GetUserProfileDirectoryW(token, buffer, &size);
  CloseHandle(token);
  if (!got) throw DriverError("no profile folder");
  return Utf8(buffer);
}

}  // namespace env

}  // namespace tidewick::e2e
