#include "computer_cleaner/frm_auto.h"

#include "platform/files.h"
#include "platform/journal.h"
#include "platform/messages.h"
#include "platform/product.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "readers/paths.h"

#include <algorithm>
#include <string>

namespace tidewick {

namespace {

using autostart::Entry;
using autostart::Place;

constexpr std::string_view kNewLine = "\r\n";

constexpr int kButtonWidth = 1095;
constexpr int kButtonHeight = 375;

// An entry as the closing summary names it: the Startup file, or the whole key and the value.
std::string Described(const Entry& entry) {
  if (entry.place.kind == Place::Kind::StartupFile) return ShownPath(entry.StartupPath());
  return RegistryKeyName(entry.place.root, entry.place.keyPath) + (entry.place.view32 ? " (32-bit view)" : "") +
         " \"" + (entry.name.empty() ? std::string("(Default)") : entry.name) + "\"";
}

bool Contains(const std::vector<std::uint32_t>& pids, std::uint32_t pid) {
  return std::find(pids.begin(), pids.end(), pid) != pids.end();
}

}  // namespace

std::string OtherAutostartEntriesText(int count) {
  const std::string number = std::to_string(count);
  const std::string what = count == 1 ? number + " more suspicious autostart entry was"
                                      : number + " more suspicious autostart entries were";
  return what + " found that this list does not show. To see " + (count == 1 ? "it" : "them") +
         ", choose \"Extra\" > \"" + frm_auto::kMenuCaption + "\".";
}

frm_auto::frm_auto(ui::Application& app) : Form(app, kFormName, ui::WayBack::Unload), fn_(app.Os()) {
  btn_refresh.Click = [this] { btn_refresh_Click(); };
  btn_delete.Click = [this] { btn_delete_Click(); };
  btn_back.Click = [this] { btn_back_Click(); };
  chk_all.Click = [this] { chk_all_Click(); };
  tbl_entries.Changed = [this] { ApplyEnablingRules(); };
}

void frm_auto::InitializeComponent() {
  ui::FormStyle& style = MutableStyle();
  style.border = ui::BorderStyle::FixedSingle;
  style.minButton = false;
  style.maxButton = false;
  style.closeBox = true;
  style.position = ui::StartPosition::CenterScreen;
  style.clientWidth = 13200;
  style.clientHeight = 5160;
  SetCaption("Autostart");

  tbl_entries.SetPosition({240, 240, 12720, 4080});
  tbl_entries.SetColumns({{"Place", 2160},
                          {"Name", 1320},
                          {"Command", 2760},
                          {"File it starts", 2640},
                          {"Running processes", 1320},
                          {"Why it is listed", 2160}});
  tbl_entries.SetTabIndex(0);

  chk_all.SetCaption("Show every entry");
  chk_all.SetPosition({240, 4500, 2040, 315});
  chk_all.SetTabIndex(1);
  lbl_note.SetCaption(kNote);
  lbl_note.SetPosition({2400, 4560, 4200, 255});

  auto button = [](ui::CommandButton& control, std::string caption, int left, int tabIndex) {
    control.SetCaption(std::move(caption));
    control.SetPosition({left, 4470, kButtonWidth, kButtonHeight});
    control.SetTabIndex(tabIndex);
  };
  button(btn_refresh, "Refresh", 9240, 2);
  button(btn_delete, "Delete", 10500, 3);
  button(btn_back, "Back", 11760, 4);
  btn_back.SetCancel(true);
}

// ---- Window ----

void frm_auto::Form_Load() {
  deleting_ = false;
  SetCaption(WindowTitle("Autostart"));
  ReadPlaces();
  FillTable();
}

void frm_auto::Form_Unload() {
  tbl_entries.Clear();
  App().GiveBack(*this);
}

void frm_auto::btn_back_Click() {
  if (!deleting_) Unload();
}

void frm_auto::btn_refresh_Click() {
  if (deleting_) return;
  ReadPlaces();
  FillTable();
}

void frm_auto::chk_all_Click() {
  if (!deleting_) FillTable();
}

void frm_auto::ApplyEnablingRules() {
  const bool idle = !deleting_;
  btn_delete.SetEnabled(idle && tbl_entries.ListCount() > 0);
  btn_refresh.SetEnabled(idle);
  btn_back.SetEnabled(idle);
  chk_all.SetEnabled(idle);
}

void frm_auto::ReadPlaces() { survey_ = autostart::SurveyAutostart(Os(), fn_); }

void frm_auto::FillTable() {
  tbl_entries.Clear();
  const bool every = chk_all.Checked();
  for (std::size_t i = 0; i < survey_.entries.size(); ++i) {
    const Entry& entry = survey_.entries[i];
    if (!every && !entry.Notable()) continue;
    tbl_entries.AddItem({entry.place.text, entry.name.empty() ? std::string("(Default)") : entry.name, entry.command,
                         entry.file, autostart::ProcessesText(entry.processes), entry.judgement.reason},
                        {std::to_string(i)});
  }
  ApplyEnablingRules();
}

// ---- Deletion ----

bool frm_auto::KillToolAtHand() {
  if (Os().PathFileExistsA(kKillToolFile)) return true;
  Os().MsgBox(msg::kKillToolMissing, MsgStyle::Warning);
  return false;
}

void frm_auto::btn_delete_Click() {
  if (deleting_) return;
  if (tbl_entries.MarkedCount() == 0) {
    Os().MsgBox(msg::kSelectFileToDelete, MsgStyle::Information);
    return;
  }
  if (Os().MsgBox(msg::kConfirmDelete, MsgStyle::YesNoQuestion) != Answer::Yes) return;
  const std::uint64_t opening = LoadGeneration();
  std::vector<Entry> ticked;
  for (int row = 0; row < tbl_entries.ListCount(); ++row) {
    if (tbl_entries.Selected(row)) ticked.push_back(survey_.entries.at(std::stoul(tbl_entries.Fields(row).at(0))));
  }

  deleting_ = true;
  ApplyEnablingRules();
  Outcome outcome;
  bool finished = true;
  {
    CommandScope command(App().Journal(), "Delete (autostart entries)");
    for (const Entry& entry : ticked) {
      if (!DeleteEntry(entry, outcome, opening)) {
        finished = false;
        break;
      }
    }
    if (finished) {
      CommandScope repair(App().Journal(), "Registry repair");
      fn_.FixRegistry();
    }
  }
  // A window that was left meanwhile is not touched again; a new opening is a new window.
  if (!IsCurrentLoad(opening)) return;
  deleting_ = false;
  if (finished) Os().MsgBox(SummaryText(outcome), MsgStyle::Information);
  if (!IsCurrentLoad(opening)) return;
  ReadPlaces();
  FillTable();
}

bool frm_auto::DeleteEntry(const Entry& entry, Outcome& outcome, std::uint64_t opening) {
  if (!EndProcesses(entry, opening)) return false;
  const bool isStartupFile = entry.place.kind == Place::Kind::StartupFile;
  // The file it starts, only where a worm puts its copies (for a host, the script or library
  // the survey found, never the host). A Startup file that is itself what runs goes below.
  if (entry.judgement.suspicious && !(isStartupFile && readers::SamePath(entry.file, entry.StartupPath()))) {
    if (!RemoveFile(entry.file, entry, ShownPath(entry.file), outcome, opening)) return false;
  }
  if (isStartupFile) return RemoveFile(entry.StartupPath(), entry, Described(entry), outcome, opening);
  RemoveRegistryEntry(entry, outcome);
  return true;
}

bool frm_auto::EndProcesses(const Entry& entry, std::uint64_t opening) {
  std::vector<std::uint32_t> pids;
  for (const autostart::RunningProcess& process : autostart::ProcessesRunning(Os(), entry, survey_.environment)) {
    pids.push_back(process.pid);
  }
  if (pids.empty()) return true;
  if (!KillToolAtHand()) return false;
  // Each process is asked again as the snapshot is walked: only one still running the file goes.
  fn_.KillProcessesWhere([&](const ProcessEntry32& process) {
    return Contains(pids, process.th32ProcessID) &&
           autostart::RunsTheFile(autostart::FactsOf(Os(), process), entry.file, entry.runs, survey_.environment);
  });
  // Waits for them, bounded, serving the window.
  const std::uint32_t start = Os().GetTickCount();
  while (Os().GetTickCount() - start < kEndWaitMs) {
    fn_.Delay(kPauseMs);
    if (!IsCurrentLoad(opening)) return false;
    const std::vector<autostart::RunningProcess> still = autostart::ProcessesRunning(Os(), entry, survey_.environment);
    if (std::none_of(still.begin(), still.end(), [&](const autostart::RunningProcess& p) { return Contains(pids, p.pid); })) {
      break;
    }
  }
  return true;
}

bool frm_auto::RemoveFile(const std::string& path, const Entry& entry, const std::string& what, Outcome& outcome,
                          std::uint64_t opening) {
  const auto attempt = [&](std::uint32_t& error) {
    Os().SetFileAttributesA(path, Attr::Normal);
    if (Os().DeleteFileA(path)) return true;
    error = Os().GetLastError();
    return error == static_cast<std::uint32_t>(StatusCode::FileNotFound) ||
           error == static_cast<std::uint32_t>(StatusCode::PathNotFound);
  };
  std::uint32_t error = 0;
  bool gone = attempt(error);
  const std::uint32_t start = Os().GetTickCount();
  // A program that is ending may hold its file a moment longer (Windows refuses to delete the
  // file of a running program with ERROR_ACCESS_DENIED too).
  while (!gone && Os().GetTickCount() - start < kRetryLimitMs) {
    if (!EndProcesses(entry, opening)) return false;
    fn_.Delay(kPauseMs);
    if (!IsCurrentLoad(opening)) return false;
    gone = attempt(error);
  }
  if (gone) return true;
  // Refused while nothing that can be seen runs it: the folder is not the user's to change
  // (all users' Startup folder without administrator rights).
  if (error == static_cast<std::uint32_t>(StatusCode::AccessDenied) && Os().PathFileExistsA(path) &&
      autostart::ProcessesRunning(Os(), entry, survey_.environment).empty()) {
    outcome.needAdministrator.push_back(what);
  } else {
    outcome.failed = true;
  }
  return true;
}

void frm_auto::RemoveRegistryEntry(const Entry& entry, Outcome& outcome) {
  const bool winlogon = entry.place.kind == Place::Kind::Winlogon;
  const std::uint32_t access = KeyAccess::Open | (entry.place.view32 ? KeyAccess::View32 : 0);
  const KeyResult opened = OpenKeyEx(Os(), entry.place.root, entry.place.keyPath, access);
  Status status = opened.status;
  if (status == StatusCode::Success) {
    if (winlogon) {
      // Winlogon's values go back to the Windows defaults; without them no one could log on.
      const std::string value = LowerCase(entry.name) == "shell" ? autostart::DefaultShell()
                                                                 : autostart::DefaultUserinit(survey_.folders.windows);
      status = Os().RegSetValueExA(opened.key.Get(), entry.name, 0, RegType::Sz, value.c_str(),
                                   static_cast<std::uint32_t>(value.size() + 1));
    } else {
      status = Os().RegDeleteValueA(opened.key.Get(), entry.name);
    }
  }
  // A value or key already gone is what was asked for.
  if (status == StatusCode::Success || (!winlogon && status == StatusCode::FileNotFound)) return;
  if (status == StatusCode::AccessDenied) {
    outcome.needAdministrator.push_back(Described(entry));
  } else {
    outcome.failed = true;
  }
}

std::string frm_auto::SummaryText(const Outcome& outcome) const {
  if (outcome.needAdministrator.empty() && !outcome.failed) return std::string(msg::kDeleteComplete);
  std::string text(msg::kDeleteUnsuccessful);
  if (!outcome.needAdministrator.empty()) {
    text.append(kNewLine).append(kNewLine).append(
        "Windows refused these changes for lack of rights; each needs \"Run As Administrator\":");
    for (const std::string& what : outcome.needAdministrator) text.append(kNewLine).append(what);
  }
  return text;
}

}  // namespace tidewick
