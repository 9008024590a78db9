// A driver for end-to-end tests: it works a Windows program from another process, only
// through window messages, as a person at the screen would. It starts the program, finds its
// windows by title, reads captions, enabled states, message boxes and check-box lists, and
// clicks, ticks, chooses and answers. It also reads check-box tables (cells by column, the
// headers) and progress bars, and clicks table headers. There is no test hook inside the
// program under test.
//
// Every action refuses what a person could not do: a control that is disabled or hidden, or
// whose window is disabled or hidden, cannot be clicked (Wine would deliver the click anyway).
// Actions are posted, never sent, so a handler that opens a modal box cannot block the driver;
// tests then wait for the effect with WaitFor (polling with a timeout).
//
// Failures throw DriverError with what was seen (the visible windows, the controls of a
// window, the lines of a list), so a GoogleTest scenario reads as straight-line steps and
// fails with a message that says what was on the screen.
//
// Text is UTF-8 on this interface and UTF-16 at the Win32 calls.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick::e2e {

using Ms = std::chrono::milliseconds;

// How long an expected window, box or effect may take before a step fails. Wine under Xvfb
// starts a program in well under a second; the margin covers a loaded machine.
inline constexpr Ms kDefaultTimeout{10000};

class DriverError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// Polls `condition` every few milliseconds until it holds (true) or `timeout` passes (false).
bool WaitUntil(const std::function<bool()>& condition, Ms timeout = kDefaultTimeout);
// As WaitUntil, but throws DriverError naming `what` and listing the visible windows.
void WaitFor(const std::function<bool()>& condition, std::string_view what, Ms timeout = kDefaultTimeout);
// Lets a fixed time pass; for checks that something does NOT happen (no window appears).
void Pause(Ms duration);

// ---------------------------------------------------------------------------------------------
// Processes

// What a process did between a start and its end, seen from outside.
struct ExitReport {
  bool exited = false;             // false: still running when the wait timed out
  DWORD exitCode = 0;              // valid when exited
  std::vector<std::string> shown;  // every visible top-level window seen meanwhile ("class 'title'")
};

class Process {
 public:
  // Starts `exe` (a Windows path) in `workingFolder` with `arguments` appended to the quoted
  // program path. Throws when the program cannot be started.
  static Process Launch(const std::string& exe, const std::string& workingFolder, const std::string& arguments = "");

  Process() = default;
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  // Ends a program that is still running, so a failed test leaves nothing behind.
  ~Process();

  DWORD Id() const { return id_; }
  HANDLE Handle() const { return handle_; }
  bool Running() const;
  // The exit code once the process has ended, else nothing.
  std::optional<DWORD> ExitCode() const;
  // Waits for the end; nothing on timeout.
  std::optional<DWORD> WaitForExit(Ms timeout = kDefaultTimeout) const;
  // Waits for the end and notes every visible top-level window the process shows meanwhile:
  // the way to check that a program ends "with no window and no box".
  ExitReport WaitForExitWatching(Ms timeout = kDefaultTimeout) const;
  // Ends the process (TerminateProcess) and waits for it; does nothing when it has ended.
  void Terminate();

 private:
  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Controls

// A CheckList is a ListView with check boxes and no column headers; a CheckTable one with
// column headers (report view).
enum class ControlKind {
  PushButton,
  CheckBox,
  RadioButton,
  Frame,
  Label,
  Picture,
  ComboBox,
  CheckList,
  CheckTable,
  ListView,
  TextBox,
  ProgressBar,
  Other,
  Any
};
std::string_view KindName(ControlKind kind);

// What a person sees of a control, read once.
struct ControlInfo {
  HWND hwnd = nullptr;
  std::string className;
  ControlKind kind = ControlKind::Other;
  std::string text;  // caption as stored (a '&' before a letter is an underline marker)
  int id = 0;
  bool enabled = false;  // the control itself
  bool visible = false;  // the control and every parent
  RECT rect{};           // in screen pixels
};

// Which control: its kind (Any for every kind), its caption (compared without the '&'
// markers; empty matches any), the caption of the frame (group box) whose rectangle holds its
// centre (empty: anywhere), and which one of the matches in the window's order (0: the first).
struct ControlQuery {
  ControlQuery(ControlKind kindWanted, std::string captionWanted = {}, std::string frameWanted = {}, int which = 0)
      : kind(kindWanted), caption(std::move(captionWanted)), frame(std::move(frameWanted)), index(which) {}
  ControlKind kind;
  std::string caption;
  std::string frame;
  int index;
};

struct ListLine {
  std::string text;
  bool marked = false;
  friend bool operator==(const ListLine&, const ListLine&) = default;
};

class Control {
 public:
  explicit Control(HWND hwnd);
  HWND Handle() const { return hwnd_; }
  ControlInfo Info() const;
  ControlKind Kind() const;
  std::string Text() const;  // caption or contents (WM_GETTEXT for text boxes)
  bool Enabled() const;      // the control itself
  bool Visible() const;      // the control and its parents
  // Whether a person could use it: it, its parents and its top-level window are enabled and shown.
  bool Usable() const;
  LONG_PTR Style() const;

  // Push button or check box: a click (BM_CLICK, posted). Refuses unusable controls.
  void Click() const;
  // Label: a click on a label that notifies its window (SS_NOTIFY): STN_CLICKED to the parent.
  // Refuses a label that would not tell its window about a click.
  void ClickLabel() const;
  // Check box: the tick, and setting it by clicking when it differs.
  bool Checked() const;
  void SetChecked(bool checked) const;

  // Drop-down list.
  std::vector<std::string> Items() const;
  int Selection() const;             // -1 when nothing is chosen
  std::string SelectionText() const; // empty when nothing is chosen
  // Chooses the item with this exact text: CB_SETCURSEL, then CBN_SELCHANGE to the parent.
  void Choose(const std::string& item) const;
  // Text box or drop-down with a text field (the file name of a save dialog): puts `text` in
  // its field as typing it would (WM_SETTEXT). Refuses when unusable.
  void Type(const std::string& text) const;

  // Check-box list or table (ListView with LVS_EX_CHECKBOXES), read across processes; a
  // line's text is the text of its first column.
  std::vector<ListLine> Lines() const;
  // Sets the mark of one line (LVM_SETITEMSTATE with the state image). Refuses when unusable.
  void SetMark(int line, bool marked) const;
  void SetMark(const std::string& lineText, bool marked) const;

  // Check-box table (or any ListView in report view): the column headers, and the text of
  // one column in every row.
  std::vector<std::string> Headers() const;
  std::vector<std::string> Cells(int column) const;
  // Clicks the header of `column` with the mouse (button down and up, posted to the header
  // control at the middle of the item). Refuses when unusable.
  void ClickHeader(int column) const;

  // Progress bar: its position (PBM_GETPOS) and its range (PBM_GETRANGE), lowest first.
  int Position() const;
  std::pair<int, int> Range() const;

 private:
  void RequireUsable(std::string_view action) const;
  void RequireReportList() const;
  HWND Header() const;
  HWND hwnd_;
};

// ---------------------------------------------------------------------------------------------
// Windows

// A menu bar as the scenario knows it: the bar's captions and, for each, its items in display
// order, "-" for a separator. Needed because Wine cannot read another process's menus.
struct Menu {
  std::string caption;
  std::vector<std::string> items;
};
using MenuBar = std::vector<Menu>;

struct WindowInfo {
  HWND hwnd = nullptr;
  DWORD processId = 0;
  std::string className;
  std::string title;
  bool visible = false;
  bool enabled = false;
  RECT rect{};
};

class Window {
 public:
  Window() = default;
  explicit Window(HWND hwnd) : hwnd_(hwnd) {}
  HWND Handle() const { return hwnd_; }
  WindowInfo Info() const;
  bool Exists() const;
  std::string Title() const;
  std::string ClassName() const;
  bool Visible() const;
  bool Enabled() const;
  DWORD ProcessId() const;
  RECT Rect() const;

  // Every descendant control, in creation order.
  std::vector<ControlInfo> Controls() const;
  std::string DescribeControls() const;
  // The control the query names; throws with the window's controls listed when there is none.
  Control Find(const ControlQuery& query) const;
  std::optional<Control> TryFind(const ControlQuery& query) const;
  // Short forms.
  Control Button(const std::string& caption, const std::string& frame = "") const;
  Control CheckBox(const std::string& caption, const std::string& frame = "") const;
  Control Label(const std::string& caption, const std::string& frame = "") const;
  Control ComboBox(const std::string& frame = "", int index = 0) const;
  Control CheckList(const std::string& frame = "", int index = 0) const;
  Control CheckTable(const std::string& frame = "", int index = 0) const;
  Control ProgressBar(const std::string& frame = "", int index = 0) const;
  Control TextBox(const std::string& frame = "", int index = 0) const;
  // Clicks the push button (or check box) with this caption.
  void Click(const std::string& caption, const std::string& frame = "") const;

  // Chooses `item` of the menu `menu`. Where the menu can be read (Windows), the declared
  // layout is checked against it and the item's command is posted (refused when the item is
  // greyed). Where it cannot (Wine), the keyboard does it: menu mode, Right to the menu, Down
  // to the item, Enter; the driver then waits for the menu to close. Refuses a disabled or
  // hidden window.
  void ChooseMenu(const MenuBar& bar, const std::string& menu, const std::string& item) const;
  // Whether the menu of this window can be read from this process.
  bool MenuReadable() const;

  // Posts WM_CLOSE, as the close box does.
  void Close() const;
  // Waits until the window is hidden or gone.
  void WaitHidden(Ms timeout = kDefaultTimeout) const;
  void WaitGone(Ms timeout = kDefaultTimeout) const;

  // Saves what the screen shows of this window as shots\<name>.bmp (see ShotsFolder).
  // Answers the file's path.
  std::string Screenshot(const std::string& name) const;

 private:
  HWND hwnd_ = nullptr;
};

// Top-level windows, optionally of one process only (pid 0: all), hidden ones too when asked.
std::vector<WindowInfo> TopLevelWindows(DWORD processId = 0, bool includeHidden = false);
// One line per visible top-level window: for failure messages.
std::string DescribeVisibleWindows();
// The visible top-level window with exactly this title (of one process when pid != 0).
std::optional<Window> FindWindowByTitle(const std::string& title, DWORD processId = 0);
// Waits for it; throws with the visible windows listed on timeout.
Window WaitForWindow(const std::string& title, DWORD processId = 0, Ms timeout = kDefaultTimeout);
// Top-level windows with this title, hidden ones included.
std::vector<Window> WindowsByTitle(const std::string& title, DWORD processId = 0, bool includeHidden = false);

// ---------------------------------------------------------------------------------------------
// Message boxes (dialog class #32770 with a text and buttons)

class MsgBox {
 public:
  explicit MsgBox(Window window) : window_(window) {}
  Window AsWindow() const { return window_; }
  std::string Title() const { return window_.Title(); }
  std::string Text() const;
  // Captions of the visible buttons without their '&' markers, e.g. {"Yes", "No"}.
  std::vector<std::string> Buttons() const;
  // Clicks the button with this caption ("Yes", "No", "OK") and waits for the box to close.
  void Answer(const std::string& button, Ms timeout = kDefaultTimeout) const;
  std::string Screenshot(const std::string& name) const { return window_.Screenshot(name); }

 private:
  Window window_;
};

// A visible message box of the process (pid 0: any) titled `title`.
std::optional<MsgBox> FindMessageBox(DWORD processId, const std::string& title);
MsgBox WaitForMessageBox(DWORD processId, const std::string& title, Ms timeout = kDefaultTimeout);

// ---------------------------------------------------------------------------------------------
// The run's folders and records, prepared by tests/e2e/run-scenario.sh

namespace env {
// Folder with the programs under test (tidewick.exe, pskill.exe, ...): TIDEWICK_E2E_SUPPLY.
std::string SupplyFolder();
std::string Supply(const std::string& fileName);  // its full path; throws when missing
// A fresh, empty folder under TIDEWICK_E2E_WORK named `name`, holding copies of the given
// supply files. Answers its path.
std::string MakeWorkFolder(const std::string& name, const std::vector<std::string>& supplyFiles = {});
// Folder where screenshots are written: TIDEWICK_E2E_SHOTS.
std::string ShotsFolder();
// The current user's profile folder, asked for as tidewick.exe asks for it.
std::string ProfileFolder();
// Pages opened through the system's URL handler during the run, oldest first; each as
// "<show mode>\t<command line>" (the handler records them in TIDEWICK_E2E_URL_LOG).
struct OpenedPage {
  int showMode = -1;     // how the page was asked to be shown (3 = maximized), -1 unknown
  std::string address;   // what the handler was given
};
std::vector<OpenedPage> OpenedPages();
std::string DescribeOpenedPages();
}  // namespace env

}  // namespace tidewick::e2e
