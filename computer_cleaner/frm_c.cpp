#include "computer_cleaner/frm_c.h"

#include "app/report_window.h"
#include "computer_cleaner/autostart.h"
#include "computer_cleaner/frm_auto.h"
#include "platform/journal.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/product.h"
#include "platform/registry.h"
#include "platform/registry_paths.h"
#include "platform/text.h"
#include "registry_manager/frm_RM.h"

namespace tidewick {

namespace {

// The largest value the autostart enumeration reads: 1024 bytes of name (terminator
// included) and of data. A value that does not fit ends the enumeration.
constexpr ValueLimits kRunValueLimits{1024, 1024};

// What the malware list shows for the key's unnamed value.
constexpr std::string_view kDefaultValueName = "[Default]";
constexpr std::string_view kFieldSeparator = " | ";

constexpr std::string_view kBlockScriptWorms = "Block Script Worms For This User";
constexpr std::string_view kBlockQuestion =
    "Block Script Worms For This User turns Windows Script Host off for your account: scripts such as .vbs and .js "
    "will no longer run for your account; some older programs and logon scripts use them.\r\n\r\n"
    "Choose the item again to let them run again.\r\n\r\nBlock scripts for your account?";
constexpr std::string_view kUnblockQuestion =
    "Scripts such as .vbs and .js are blocked for your account (Block Script Worms For This User).\r\n\r\n"
    "Let them run again? The setting goes back to what it was before.";

constexpr int kButtonWidth = 1095;
constexpr int kButtonHeight = 375;

ui::Font SansSerif() { return ui::Font{"MS Sans Serif", 8.25}; }

}  // namespace

bool IsAbsolutePath(std::string_view path) {
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return true;
  if (path.size() < 3) return false;
  const char drive = path[0];
  const bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
  return letter && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

std::optional<std::string> ProgramOfCommandLine(std::string_view commandLine) {
  std::size_t start = 0;
  while (start < commandLine.size() && IsBlank(commandLine[start])) ++start;
  if (start == commandLine.size()) return std::nullopt;
  const std::string_view rest = commandLine.substr(start);

  if (rest.front() == '"') {
    const std::size_t close = rest.find('"', 1);
    const std::string_view quoted = rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    if (quoted.empty()) return std::nullopt;
    return std::string(quoted);
  }

  // Unquoted: the program ends at the first blank (or the end) that follows ".exe", so a path
  // with blanks in its folder names is read whole.
  for (std::size_t dot = rest.find('.'); dot != std::string_view::npos; dot = rest.find('.', dot + 1)) {
    const std::size_t end = dot + 4;
    if (end > rest.size()) break;
    if (LowerCase(rest.substr(dot, 4)) != ".exe") continue;
    if (end == rest.size() || IsBlank(rest[end])) return std::string(rest.substr(0, end));
  }
  // No such name: the first blank-separated token.
  std::size_t end = 0;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  return std::string(rest.substr(0, end));
}

// Marks the window as busy deleting for as long as it lives: the commands that would change
// the lists or leave the window wait until the deletion has ended.
class frm_c::DeletionScope {
 public:
  explicit DeletionScope(frm_c& form) : form_(form), opening_(form.LoadGeneration()) {
    form_.deleting_ = true;
    form_.ApplyEnablingRules();
  }
  ~DeletionScope() {
    // A window that was left and opened again meanwhile is a new one; leave it alone.
    if (form_.LoadGeneration() != opening_) return;
    form_.deleting_ = false;
    form_.ApplyEnablingRules();
  }
  DeletionScope(const DeletionScope&) = delete;
  DeletionScope& operator=(const DeletionScope&) = delete;

 private:
  frm_c& form_;  // borrowed
  std::uint64_t opening_;  // the load this deletion started in
};

frm_c::frm_c(ui::Application& app) : Form(app, kFormName, ui::WayBack::Unload), fn_(app.Os()) {
  btn_scan.Click = [this] { btn_scan_Click(); };
  btn_d.Click = [this] { btn_d_Click(); };
  btn_c_ma.Click = [this] { btn_c_ma_Click(); };
  btn_c_uma.Click = [this] { btn_c_uma_Click(); };
  btn_c_r.Click = [this] { btn_c_r_Click(); };
  btn_Esa.Click = [this] { btn_Esa_Click(); };
  btn_Edsa.Click = [this] { btn_Edsa_Click(); };
  btn_Er.Click = [this] { btn_Er_Click(); };
  T2.Tick = [this] { T2_Timer(); };
  btn_x.Click = [this] { btn_x_Click(); };
  f2_Back.Click = [this] { f2_Back_Click(); };
  f2_Exit.Click = [this] { f2_Exit_Click(); };
  ex_fReg.Click = [this] { ex_fReg_Click(); };
  ex_report.Click = [this] { ex_report_Click(); };
  ex_auto.Click = [this] { ex_auto_Click(); };
  ex_block.Click = [this] { ex_block_Click(); };
  lst_V.Changed = [this] { ApplyEnablingRules(); };
  lst_P.Changed = [this] { ApplyEnablingRules(); };
}

void frm_c::InitializeComponent() {
  ui::FormStyle& style = MutableStyle();
  style.border = ui::BorderStyle::FixedSingle;
  style.minButton = false;
  style.maxButton = false;
  style.closeBox = true;
  style.position = ui::StartPosition::CenterScreen;
  style.clientWidth = 12720;
  style.clientHeight = 3090;
  SetCaption("Computer");

  // Every control is in the default font, Tahoma, but for the three buttons of "Main".
  auto place = [](ui::Control& control, ui::Control* frame, ui::Twips position, int tabIndex) {
    control.SetContainer(frame);
    control.SetPosition(position);
    control.SetTabIndex(tabIndex);
  };
  auto button = [&](ui::CommandButton& control, ui::Control* frame, std::string caption, int left, int top,
                    int tabIndex) {
    control.SetCaption(std::move(caption));
    place(control, frame, {left, top, kButtonWidth, kButtonHeight}, tabIndex);
  };

  Framenufgis.SetCaption("Main");
  place(Framenufgis, nullptr, {240, 135, 1485, 1950}, 10);
  button(btn_scan, nullptr, "Scan", 435, 450, 0);
  button(btn_x, nullptr, "Back", 435, 990, 1);
  button(btn_d, nullptr, "Delete", 435, 1515, 2);
  for (ui::CommandButton* mainButton : {&btn_scan, &btn_x, &btn_d}) mainButton->SetFont(SansSerif());

  frameM.SetCaption("Malware:");
  place(frameM, nullptr, {2025, 150, 5550, 2745}, 8);
  place(lst_V, nullptr, {2355, 465, 4815, 1635}, 6);
  button(btn_c_ma, nullptr, "Select All", 3120, 2250, 4);
  button(btn_c_uma, nullptr, "Deselect All", 4260, 2250, 5);
  button(btn_c_r, nullptr, "Refresh", 5400, 2250, 3);

  // The three buttons under the profile list sit inside `Frame`, 615, 1755 and 2895 twips from
  // its left edge and 2100 from its top; positions here are in window coordinates.
  constexpr int frameLeft = 7920;
  constexpr int frameTop = 150;
  Frame.SetCaption("Detect extention EXE at Personal Folder:");
  place(Frame, nullptr, {frameLeft, frameTop, 4485, 2745}, 9);
  place(lst_P, nullptr, {8235, 465, 3870, 1635}, 7);
  button(btn_Esa, &Frame, "Select All", frameLeft + 615, frameTop + 2100, 11);
  button(btn_Edsa, &Frame, "Deselect All", frameLeft + 1755, frameTop + 2100, 12);
  button(btn_Er, &Frame, "Refresh", frameLeft + 2895, frameTop + 2100, 13);

  f_2.SetCaption("File");
  f2_Back.SetCaption("Back");
  f2_1.SetCaption("-");
  f2_Exit.SetCaption("Exit");
  ex_0.SetCaption("Extra");
  ex_fReg.SetCaption("Registry Manager");
  ex_auto.SetCaption(frm_auto::kMenuCaption);
  ex_block.SetCaption(std::string(kBlockScriptWorms));
  ex_report.SetCaption(frm_report::kMenuCaption);

  T2.SetInterval(kRulesTimerInterval);
  T2.SetEnabled(true);
}

// ---- Window ----

void frm_c::Form_Load() {
  deleting_ = false;
  scanned_ = false;
  SetCaption(WindowTitle("Computer"));
  btn_c_r.SetEnabled(false);
  btn_Er.SetEnabled(false);
  ex_block.SetChecked(ScriptHostSwitch::Off(Os()));
  ApplyEnablingRules();
}

void frm_c::T2_Timer() { ApplyEnablingRules(); }

void frm_c::ApplyEnablingRules() {
  const bool idle = !deleting_;
  const bool malware = lst_V.ListCount() > 0;
  const bool profile = lst_P.ListCount() > 0;
  btn_d.SetEnabled(idle && (malware || profile));
  btn_c_ma.SetEnabled(idle && malware);
  btn_c_uma.SetEnabled(idle && malware);
  btn_Esa.SetEnabled(idle && profile);
  btn_Edsa.SetEnabled(idle && profile);
  // Outside a deletion these follow nothing but the first scan.
  btn_scan.SetEnabled(idle);
  btn_x.SetEnabled(idle);
  btn_c_r.SetEnabled(idle && scanned_);
  btn_Er.SetEnabled(idle && scanned_);
  f2_Back.SetEnabled(idle);
  ex_fReg.SetEnabled(idle);
  ex_auto.SetEnabled(idle);
  ex_block.SetEnabled(idle);
  ex_report.SetEnabled(idle);
}

void frm_c::btn_c_ma_Click() {
  if (!deleting_) lst_V.SetAllSelected(true);
}

void frm_c::btn_c_uma_Click() {
  if (!deleting_) lst_V.SetAllSelected(false);
}

void frm_c::btn_Esa_Click() {
  if (!deleting_) lst_P.SetAllSelected(true);
}

void frm_c::btn_Edsa_Click() {
  if (!deleting_) lst_P.SetAllSelected(false);
}

void frm_c::btn_c_r_Click() {
  if (deleting_) return;
  FillMalwareList();
}

void frm_c::btn_Er_Click() {
  if (deleting_) return;
  FillProfileList();
}

void frm_c::btn_x_Click() {
  if (!deleting_) Unload();
}

void frm_c::f2_Back_Click() { btn_x_Click(); }

// Runs once however the window is left (Back, the menu, the close box). The close box stays
// usable during a deletion; the deletion notices that its window is gone and stops.
void frm_c::Form_Unload() {
  lst_V.Clear();
  lst_P.Clear();
  App().GiveBack(*this);
}

void frm_c::f2_Exit_Click() { Os().EndProgram(); }

void frm_c::ex_fReg_Click() {
  if (deleting_) return;
  App().HandOver(*this, frm_RM::kFormName);
}

void frm_c::ex_report_Click() {
  if (deleting_) return;
  App().HandOver<frm_report>(*this);
}

void frm_c::ex_auto_Click() {
  if (deleting_) return;
  App().HandOver<frm_auto>(*this);
}

// Turns the script hosts off for this user, or back on; the item's mark shows the setting as
// it is afterwards.
void frm_c::ex_block_Click() {
  if (deleting_) return;
  const bool blocked = ScriptHostSwitch::Off(Os());
  if (Os().MsgBox(blocked ? kUnblockQuestion : kBlockQuestion, MsgStyle::YesNoQuestion) != Answer::Yes) return;
  Status status = StatusCode::Success;
  {
    CommandScope command(App().Journal(), blocked ? std::string(kBlockScriptWorms) + " (undone)"
                                                  : std::string(kBlockScriptWorms));
    status = blocked ? scriptHosts_.TurnOn(Os()) : scriptHosts_.TurnOff(Os());
  }
  ex_block.SetChecked(ScriptHostSwitch::Off(Os()));
  if (status != StatusCode::Success) {
    Os().MsgBox("The setting of the script hosts could not be changed: " + ErrorInWords(static_cast<std::uint32_t>(status)),
                MsgStyle::Critical);
  }
}

// ---- Detection ----

void frm_c::btn_scan_Click() {
  if (deleting_) return;
  lst_V.Clear();
  lst_P.Clear();
  int others = 0;
  {
    CommandScope command(App().Journal(), "Scan of the computer");
    FillProfileList();
    FillMalwareList();
    others = OtherSuspiciousEntries();
  }
  if (lst_V.ListCount() > 0) {
    Os().MsgBox("Done. Shortcut virus detect!", MsgStyle::Critical);
  } else {
    Os().MsgBox("Done. Shortcut virus not detect!", MsgStyle::Information);
  }
  // The wider search of every autostart place, told after the verdict.
  if (others > 0) Os().MsgBox(OtherAutostartEntriesText(others), MsgStyle::Information);
  scanned_ = true;
  ApplyEnablingRules();
}

int frm_c::OtherSuspiciousEntries() {
  std::vector<std::string> shown;
  for (int i = 0; i < lst_V.ListCount(); ++i) {
    const std::vector<std::string>& fields = lst_V.Fields(i);
    if (fields.size() > static_cast<std::size_t>(kValueName)) shown.push_back(fields[kValueName]);
  }
  return autostart::SuspiciousNotShown(autostart::SurveyAutostart(Os(), fn_, false).entries, shown);
}

std::vector<std::string> frm_c::ExecutableProfileEntries() {
  std::vector<std::string> names;
  const std::string folder = fn_.GetUserProfilePath();
  // Without a profile folder the pattern would name the root of the current drive.
  if (folder.empty()) return names;
  for (std::string& name : ListFolder(Os(), folder + "\\*", ListMask::All).names) {
    if (Contains(LowerCase(name), ".exe")) names.push_back(std::move(name));
  }
  return names;
}

void frm_c::FillProfileList() {
  lst_P.Clear();
  for (std::string& name : ExecutableProfileEntries()) lst_P.AddItem(std::move(name));
}

void frm_c::FillMalwareList() {
  lst_V.Clear();
  for (const std::string& name : ExecutableProfileEntries()) CheckRunKey(Root::CurrentUser, regpath::kRun, name);
}

void frm_c::CheckRunKey(Handle root, std::string_view subKey, const std::string& name) {
  const KeyResult run = OpenKeyEx(Os(), root, subKey, KeyAccess::Open);
  if (run.status != StatusCode::Success) {
    Os().MsgBox("Unable to open a subkey", MsgStyle::Ok);
    return;
  }
  // `run` stays open while the values are read through a second opening, and closes after it.
  AddMatchingRunValues(root, subKey, name);
}

void frm_c::AddMatchingRunValues(Handle root, std::string_view subKey, const std::string& name) {
  const KeyResult run = OpenKeyEx(Os(), root, subKey, KeyAccess::Open);
  if (run.status != StatusCode::Success) {
    Os().MsgBox("Error RegOpenKeyEx for " + std::string(subKey), MsgStyle::Ok);
    return;
  }
  const std::string pattern = LowerCase(name);
  // Any failure ends the enumeration: no more values, or one too large for the limits.
  ForEachValue(
      run.key,
      [&](const RegValue& value) {
        if (value.type != RegType::Sz) return Visit::Next;
        const std::string data = value.Text();
        const std::optional<int> found = fn_.FindLike(LowerCase(data), pattern, 1);
        // A name that is no valid pattern (a "[" without its "]") cannot be looked for: this
        // entry is passed over.
        if (!found) return Visit::Stop;
        if (*found == 0) return Visit::Next;
        const std::string shownName = value.name.empty() ? std::string(kDefaultValueName) : value.name;
        std::string text = name;
        text.append(kFieldSeparator).append(shownName).append(kFieldSeparator).append(data);
        lst_V.AddItem(std::move(text), {name, value.name, data});
        return Visit::Next;
      },
      kRunValueLimits);
}

// ---- Deletion ----

bool frm_c::KillToolAtHand() {
  if (Os().PathFileExistsA(kKillToolFile)) return true;
  Os().MsgBox(msg::kKillToolMissing, MsgStyle::Warning);
  return false;
}

void frm_c::btn_d_Click() {
  if (deleting_) return;
  if (lst_V.MarkedCount() == 0 && lst_P.MarkedCount() == 0) {
    Os().MsgBox(msg::kSelectFileToDelete, MsgStyle::Information);
    return;
  }
  if (Os().MsgBox(msg::kConfirmDelete, MsgStyle::YesNoQuestion) != Answer::Yes) return;

  DeletionScope scope(*this);
  CommandScope command(App().Journal(), "Delete");
  bool succeeded = true;
  if (lst_P.MarkedCount() > 0 && !DeleteProfileEntries(succeeded)) return;
  if (lst_V.MarkedCount() > 0 && !DeleteAutostartEntries()) return;
  Os().MsgBox(succeeded ? msg::kDeleteComplete : msg::kDeleteUnsuccessful, MsgStyle::Information);
}

bool frm_c::DeleteProfileEntries(bool& succeeded) {
  const std::uint64_t opening = LoadGeneration();
  for (int i = lst_P.ListCount() - 1; i >= 0; --i) {
    if (i >= lst_P.ListCount() || !lst_P.Selected(i)) continue;
    if (!KillToolAtHand()) return false;
    const std::string name = lst_P.List(i);
    EndProfileProgram(name);
    fn_.Delay(kKillWaitMs);
    if (!IsCurrentLoad(opening)) return false;

    const std::string folder = fn_.GetUserProfilePath();
    const std::string path = folder + "\\" + name;
    // Without a profile folder the path would name the root of the current drive: nothing is
    // touched, and the entry counts as not deleted.
    if (folder.empty() || MakePlainAndDelete(Os(), path) == FileRemoval::StillThere) {
      Os().MsgBox("Cannot delete file '" + path + "' because file is being used. Try again.", MsgStyle::Critical);
      succeeded = false;
    } else {
      lst_P.RemoveItem(i);
    }
  }
  FillProfileList();
  return true;
}

std::string frm_c::ProfileProgram(const std::string& entryName) {
  const std::string folder = fn_.GetUserProfilePath();
  return folder.empty() ? std::string() : folder + "\\" + entryName;
}

void frm_c::EndProfileProgram(const std::string& entryName) {
  const std::string image = ProfileProgram(entryName);
  if (!image.empty()) fn_.KillProcessByImage(image);
}

std::string frm_c::AutostartProgramFile(const std::string& entryName, const std::string& valueData) {
  // The program the value names: the whole data when that is an existing file, else the
  // program of the command line. Either is deleted only when it is the line's own profile
  // entry, directly in the profile folder: the entry's name found inside another path
  // ("a.exe" in "C:\Program Files\Java\bin\java.exe") makes no file the worm's.
  const std::string own = ProfileProgram(entryName);
  if (own.empty()) return {};
  std::optional<std::string> program;
  if (IsAbsolutePath(valueData) && Os().PathFileExistsA(valueData)) {
    program = valueData;
  } else {
    program = ProgramOfCommandLine(valueData);
  }
  if (!program || ComparablePath(*program) != ComparablePath(own)) return {};
  return *program;
}

// The program may take a moment to end: while the file stays, the deletion is tried again for
// a while, ending the program again and serving the window between two attempts.
bool frm_c::DeleteWithRetry(const std::string& file, std::uint64_t opening) {
  FileRemoval removal = MakePlainAndDelete(Os(), file);
  const std::uint32_t start = Os().GetTickCount();
  while (removal == FileRemoval::StillThere && Os().GetTickCount() - start < kRetryLimitMs) {
    removal = MakePlainAndDelete(Os(), file);
    fn_.KillProcessByImage(file);
    fn_.Delay(kRetryPauseMs);
    if (!IsCurrentLoad(opening)) return false;
  }
  return true;
}

bool frm_c::DeleteAutostartEntries() {
  const std::uint64_t opening = LoadGeneration();
  // Every listed profile executable is ended first, marked or not: what runs from the profile
  // folder under that name.
  for (int i = lst_P.ListCount() - 1; i >= 0; --i) {
    if (!KillToolAtHand()) return false;
    EndProfileProgram(lst_P.List(i));
  }

  for (int j = lst_V.ListCount() - 1; j >= 0; --j) {
    if (j >= lst_V.ListCount() || !lst_V.Selected(j)) continue;
    const std::vector<std::string> fields = lst_V.Fields(j);
    if (fields.size() <= static_cast<std::size_t>(kValueData)) continue;
    const std::string& entryName = fields[kEntryName];
    const std::string& valueName = fields[kValueName];
    const std::string& valueData = fields[kValueData];

    if (!KillToolAtHand()) return false;
    EndProfileProgram(entryName);
    fn_.Delay(kKillWaitMs);
    if (!IsCurrentLoad(opening)) return false;

    const std::string file = AutostartProgramFile(entryName, valueData);
    if (!file.empty() && !DeleteWithRetry(file, opening)) return false;

    fn_.DeleteRegValue(Root::CurrentUser, regpath::kRun, valueName);
    {
      CommandScope repair(App().Journal(), "Registry repair");
      fn_.FixRegistry();
    }
    if (!IsCurrentLoad(opening)) return false;
    if (!file.empty() && Os().PathFileExistsA(file)) {
      Os().MsgBox("Error! Please login do safe mode.", MsgStyle::Critical);
      return false;
    }
  }
  FillMalwareList();
  return true;
}

}  // namespace tidewick
