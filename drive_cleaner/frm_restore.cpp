#include "drive_cleaner/frm_restore.h"

#include "drive_cleaner/frm_rd.h"
#include "drive_cleaner/stick_pacer.h"
#include "platform/files.h"
#include "platform/journal.h"
#include "platform/platform_operations.h"
#include "platform/product.h"
#include "platform/text.h"
#include "readers/visible_text.h"

#include <algorithm>
#include <map>

namespace tidewick {

namespace {

constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;
constexpr int kButtonTop = 4260;
// The summary names at most this many kept entries one by one.
constexpr std::size_t kKeptShown = 20;

constexpr std::uint32_t kMarks = Attr::ReadOnly | Attr::Hidden | Attr::System;

constexpr std::string_view kNameTaken = "a root entry has this name";
constexpr std::string_view kNewLine = "\r\n";

std::string Count(std::size_t count, std::string_view one, std::string_view many) {
  return readers::GroupedNumber(count) + " " + std::string(count == 1 ? one : many);
}

std::string SizeText(std::uint64_t bytes) {
  constexpr std::uint64_t kKiB = 1024;
  if (bytes < kKiB) return Count(static_cast<std::size_t>(bytes), "byte", "bytes");
  const char* units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / kKiB;
  int unit = 0;
  while (value >= 1024 && unit < 3) {
    value /= 1024;
    ++unit;
  }
  const int tenths = static_cast<int>(value * 10 + 0.5);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + units[unit];
}

std::string Quoted(std::string_view name) { return "'" + stick::ShownName(name) + "'"; }

}  // namespace

// One restore as it runs: the progress bar, the events between entries (so "Cancel" and the
// window stay live), and the checks that the scanned medium is still there.
class frm_restore::Run {
 public:
  Run(frm_restore& form, std::size_t total)
      : form_(form), pacer_(form.Os()), generation_(form.LoadGeneration()), total_(total) {
    form_.cancelRequested_ = false;
    form_.changed_ = true;
    form_.SetRunning(true);
    form_.prg_restore.SetRange(0, static_cast<int>(std::min<std::size_t>(total_, std::size_t{1} << 30)));
    form_.prg_restore.SetValue(0);
  }
  ~Run() {
    if (!form_.IsCurrentLoad(generation_)) return;
    form_.prg_restore.SetValue(static_cast<int>(done_));
    form_.SetRunning(false);
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // Before each entry: false when the restore ends here (cancelled, the window left, or the
  // medium gone), with `outcome` saying so.
  bool Next(Outcome& outcome) {
    if (pacer_.Turn()) {
      form_.prg_restore.SetValue(static_cast<int>(done_));
      form_.lbl_status.SetCaption(readers::GroupedNumber(done_) + " of " + readers::GroupedNumber(total_) + " done");
      form_.Os().DoEvents();
      if (!form_.IsCurrentLoad(generation_) || form_.cancelRequested_) {
        outcome.ending = Ending::Cancelled;
        return false;
      }
      if (!MediumStays(outcome)) return false;
    }
    ++done_;
    return true;
  }

  // Whether the scanned medium is still in its drive; when not, `outcome` is a stopped one.
  bool MediumStays(Outcome& outcome) {
    const ScannedMedium& medium = form_.medium_;
    switch (CheckMedium(form_.Os(), medium)) {
      case MediumState::Same:
        return true;
      case MediumState::Gone:
        outcome.stopReason = "the device " + medium.root + " stopped answering";
        break;
      case MediumState::Another:
        outcome.stopReason = "another device was put into " + medium.root;
        break;
    }
    outcome.ending = Ending::Stopped;
    return false;
  }

  std::size_t Done() const { return done_; }

 private:
  frm_restore& form_;  // borrowed
  StickPacer pacer_;
  std::uint64_t generation_;
  std::size_t total_;
  std::size_t done_ = 0;
};

frm_restore::frm_restore(ui::Application& app) : ui::Form(app, kFormName, ui::WayBack::Unload) {
  btn_rename.Click = [this] { btn_rename_Click(); };
  btn_move.Click = [this] { btn_move_Click(); };
  btn_cancel.Click = [this] { btn_cancel_Click(); };
  btn_back.Click = [this] { btn_back_Click(); };
}

void frm_restore::InitializeComponent() {
  ui::FormStyle& style = MutableStyle();
  style.border = ui::BorderStyle::FixedSingle;
  style.minButton = true;
  style.maxButton = false;
  style.closeBox = true;
  style.position = ui::StartPosition::CenterScreen;
  style.clientWidth = 9600;
  style.clientHeight = 4875;
  SetCaption("Restore Files");

  fra_folders.SetCaption(kFoldersFrame);
  fra_folders.SetPosition({240, 120, 9120, 3120});
  tbl_folders.SetContainer(&fra_folders);
  tbl_folders.SetPosition({360, 400, 8880, 2700});
  tbl_folders.SetColumns({{"Folder", 1800}, {"Files", 900}, {"Folders", 900}, {"Size", 1080}, {"Signs", 4140}});
  tbl_folders.SetTabIndex(0);
  prg_restore.SetPosition({240, 3420, 9120, 255});
  lbl_status.SetPosition({240, 3780, 9120, 255});

  const auto button = [](ui::CommandButton& control, std::string caption, int left, int tab) {
    control.SetCaption(std::move(caption));
    control.SetPosition({left, kButtonTop, kButtonWidth, kButtonHeight});
    control.SetTabIndex(tab);
  };
  button(btn_rename, "Rename", 240, 1);
  button(btn_move, "Move To Root", 240 + kButtonWidth + 120, 2);
  button(btn_cancel, "Cancel", 240 + 2 * (kButtonWidth + 120), 3);
  button(btn_back, "Back", 9360 - kButtonWidth, 4);
  btn_rename.SetDefault(true);
  btn_cancel.SetEnabled(false);
  running_ = false;
  cancelRequested_ = false;
}

void frm_restore::Form_Load() {
  SetCaption(WindowTitle("Restore Files"));
  const frm_rd& rd = App().Get<frm_rd>();
  medium_ = ScannedMedium{rd.ScannedRoot(), rd.ScannedSerial()};
  changed_ = false;
  Fill();
}

void frm_restore::Fill() {
  ui::BusyScope busy(App().GetHost());
  StickPacer pacer(Os());
  const stick::Pacer pace = [&] {
    if (pacer.Turn()) App().GetHost().KeepPainting();
  };
  const stick::StickPlace place{medium_.root, medium_.serial, stick::PlatformLookup(Os(), medium_.root)};
  stick::ShortcutSurvey survey = stick::SurveyShortcuts(Os(), place, pace);
  items_ = std::move(survey.items);
  const frm_rd& rd = App().Get<frm_rd>();
  bool complete = true;
  const std::vector<stick::Candidate> candidates = stick::FindCandidates(
      Os(), place, items_, [&rd](std::string_view name) { return rd.AttributesBeforeScan(name); }, complete, pace);

  tbl_folders.Clear();
  for (const stick::Candidate& candidate : candidates) {
    const std::string more = candidate.count.complete ? "" : "+";
    std::string signs;
    for (const std::string& sign : candidate.signs) signs += (signs.empty() ? "" : "; ") + sign;
    tbl_folders.AddItem({stick::ShownName(candidate.name), readers::GroupedNumber(candidate.count.files) + more,
                         readers::GroupedNumber(candidate.count.folders) + more, SizeText(candidate.count.bytes) + more,
                         signs.empty() ? "no second sign" : signs},
                        {candidate.name});
    if (!candidate.signs.empty()) tbl_folders.SetSelected(tbl_folders.ListCount() - 1, true);
  }
  lbl_status.SetCaption(candidates.empty() ? "No folder in the root of " + medium_.root +
                                                 " has a name of blanks, invisible characters or \"_\"."
                                           : "Device: " + medium_.root);
  SetRunning(false);
  if (!complete || !survey.complete) {
    Os().MsgBox("The device " + medium_.root + " stopped answering; the list may be incomplete.", MsgStyle::Warning);
  }
}

void frm_restore::SetRunning(bool running) {
  running_ = running;
  const bool any = tbl_folders.ListCount() > 0;
  tbl_folders.SetEnabled(!running);
  btn_rename.SetEnabled(!running && any);
  btn_move.SetEnabled(!running && any);
  btn_back.SetEnabled(!running);
  btn_cancel.SetEnabled(running);
}

std::vector<std::string> frm_restore::TickedFolders() const {
  std::vector<std::string> folders;
  for (int i = 0; i < tbl_folders.ListCount(); ++i) {
    if (tbl_folders.Selected(i)) folders.push_back(tbl_folders.Fields(i).front());
  }
  return folders;
}

void frm_restore::MakeVisible(const std::string& path, std::uint32_t attributes) {
  // A folder is always set: Wine answers 0x10 for a folder that it keeps hidden and system.
  if ((attributes & kMarks) == 0 && (attributes & Attr::Directory) == 0) return;
  const std::uint32_t kept = attributes & ~(kMarks | Attr::Directory | Attr::Normal);
  Os().SetFileAttributesA(path, kept == 0 ? Attr::Normal : kept);
}

frm_restore::Outcome frm_restore::RenameTicked() {
  Outcome outcome;
  const std::vector<std::string> folders = TickedFolders();
  const std::string& root = medium_.root;
  Run run(*this, folders.size());
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (!run.Next(outcome)) {
      outcome.left = folders.size() - i;
      break;
    }
    const std::string& folder = folders[i];
    FileAttributeData data;
    if (!Os().GetFileAttributesExA(root + folder, data)) {
      if (!run.MediumStays(outcome)) {
        outcome.left = folders.size() - i;
        break;
      }
      outcome.kept.push_back({folder, "", "it is not there any more"});
      continue;
    }
    // The name is taken between the look and the rename only when another program makes it:
    // the rename then refuses, and the next free name is tried.
    std::string target;
    bool renamed = false;
    std::uint32_t error = 0;
    for (int attempt = 0; attempt < 4 && !renamed; ++attempt) {
      target = stick::FreeRecoveredName([&](std::string_view name) { return Os().PathFileExistsA(root + std::string(name)); });
      renamed = Os().MoveFileExA(root + folder, root + target);
      if (!renamed) error = Os().GetLastError();
      if (!renamed && error != StatusCode::AlreadyExists && error != StatusCode::FileExists) break;
    }
    if (!renamed) {
      if (!run.MediumStays(outcome)) {
        outcome.left = folders.size() - i;
        break;
      }
      outcome.kept.push_back({folder, "", ErrorInWords(error)});
      continue;
    }
    MakeVisible(root + target, data.attributes);
    outcome.renamed.emplace_back(folder, target);
  }
  return outcome;
}

frm_restore::Outcome frm_restore::MoveTickedToRoot() {
  Outcome outcome;
  const std::string& root = medium_.root;
  const std::vector<std::string> started = stick::StartedPaths(items_);
  // Every folder's top-level entries, read first: nothing is listed while entries move.
  std::vector<std::pair<std::string, std::vector<std::string>>> plan;
  std::size_t total = 0;
  for (const std::string& folder : TickedFolders()) {
    FolderListing listing = ListFolder(Os(), root + folder + "\\*", ListMask::All);
    if (listing.failed && !DeviceAnswers(Os(), root)) {
      outcome.ending = Ending::Stopped;
      outcome.stopReason = "the device " + root + " stopped answering";
      return outcome;
    }
    total += listing.names.size();
    plan.emplace_back(folder, std::move(listing.names));
  }

  Run run(*this, total);
  std::size_t lookedAt = 0;
  for (const auto& [folder, names] : plan) {
    for (const std::string& name : names) {
      if (!run.Next(outcome)) {
        outcome.left = total - lookedAt;
        return outcome;
      }
      ++lookedAt;
      const std::string from = root + folder + "\\" + name;
      FileAttributeData data;
      if (!Os().GetFileAttributesExA(from, data)) {
        if (!run.MediumStays(outcome)) {
          outcome.left = total - lookedAt + 1;
          return outcome;
        }
        continue;  // gone meanwhile: nothing to move
      }
      stick::InsideEntry entry;
      entry.name = name;
      entry.folder = (data.attributes & Attr::Directory) != 0;
      entry.startedByShortcut =
          std::find(started.begin(), started.end(), LowerCase(folder + "\\" + name)) != started.end();
      if (!entry.folder && LowerCase(name) == "desktop.ini") {
        std::vector<std::uint8_t> bytes;
        entry.desktopIniLook = Os().ReadFileBytes(from, 64 * 1024, bytes) && stick::DesktopIniGivesALook(bytes);
      }
      if (const std::optional<std::string> why = stick::WhyKeptInside(entry)) {
        outcome.kept.push_back({folder, name, *why});
        continue;
      }
      if (Os().MoveFileExA(from, root + name)) {
        MakeVisible(root + name, data.attributes);
        ++outcome.moved;
        continue;
      }
      const std::uint32_t error = Os().GetLastError();
      if (error == StatusCode::AlreadyExists || error == StatusCode::FileExists) {
        outcome.kept.push_back({folder, name, std::string(kNameTaken)});
      } else if (!run.MediumStays(outcome)) {
        outcome.left = total - lookedAt + 1;
        return outcome;
      } else {
        outcome.kept.push_back({folder, name, ErrorInWords(error)});
      }
    }
    // The folder goes only when nothing is left in it; RemoveDirectoryA refuses any other.
    const FolderListing left = ListFolder(Os(), root + folder + "\\*", ListMask::All);
    if (!left.failed && left.names.empty()) {
      Os().SetFileAttributesA(root + folder, Attr::Normal);
      if (Os().RemoveDirectoryA(root + folder)) outcome.removedFolders.push_back(folder);
    }
  }
  return outcome;
}

std::string frm_restore::Summary(const Outcome& outcome, bool renaming) const {
  const std::string& root = medium_.root;
  std::string text;
  const auto line = [&](const std::string& part) { text.append(part).append(kNewLine); };
  switch (outcome.ending) {
    case Ending::Complete:
      line("Restore complete.");
      break;
    case Ending::Cancelled:
      line("Restore cancelled.");
      break;
    case Ending::Stopped:
      line("The restore stopped: " + outcome.stopReason + ".");
      break;
  }
  if (renaming) {
    for (const auto& [folder, name] : outcome.renamed) {
      line("The folder " + Quoted(folder) + " is now '" + name + "' in " + root + ", visible.");
    }
    if (outcome.renamed.empty()) line("No folder was renamed.");
    for (const Kept& kept : outcome.kept) line("The folder " + Quoted(kept.folder) + " was not renamed: " + kept.why);
    if (outcome.left > 0) line(Count(outcome.left, "folder was", "folders were") + " not renamed yet.");
  } else {
    line(Count(outcome.moved, "entry", "entries") + " moved into the root of " + root + " and made visible.");
    if (!outcome.kept.empty()) {
      std::map<std::string, std::size_t> reasons;
      for (const Kept& kept : outcome.kept) ++reasons[kept.why];
      std::string why;
      for (const auto& [reason, count] : reasons) {
        why += (why.empty() ? "" : "; ") + readers::GroupedNumber(count) + ": " + reason;
      }
      line(Count(outcome.kept.size(), "entry", "entries") + " kept inside (" + why + "):");
      for (std::size_t i = 0; i < outcome.kept.size() && i < kKeptShown; ++i) {
        const Kept& kept = outcome.kept[i];
        line("    " + stick::ShownName(kept.folder) + "\\" + readers::VisibleText(kept.name) + " - " + kept.why);
      }
      if (outcome.kept.size() > kKeptShown) line("    ... and " + readers::GroupedNumber(outcome.kept.size() - kKeptShown) + " more");
    }
    if (outcome.left > 0) line(Count(outcome.left, "entry is", "entries are") + " still inside, not looked at.");
    for (const std::string& folder : outcome.removedFolders) line("The emptied folder " + Quoted(folder) + " was removed.");
  }
  if (outcome.ending == Ending::Stopped) line("Scan the device again when it is back to see where the entries are.");
  return text;
}

void frm_restore::Restore(bool renaming) {
  if (TickedFolders().empty()) {
    Os().MsgBox("Please select folder to restore!", MsgStyle::Information);
    return;
  }
  const std::string question =
      renaming ? "Rename the ticked folder(s) to \"" + std::string(stick::kRecoveredName) +
                     "\" and make them visible? Nothing inside them is moved or changed."
               : "Move every entry of the ticked folder(s) into the root of " + medium_.root +
                     " and make it visible? Each entry is renamed, never copied, and nothing is replaced: an entry "
                     "whose name the root has already, and the worm's own files, stay inside. A folder left empty is "
                     "removed.";
  if (Os().MsgBox(question, MsgStyle::YesNoQuestion) != Answer::Yes) return;
  if (!ScannedMediumThere(Os(), medium_)) return;
  const std::uint64_t generation = LoadGeneration();
  Outcome outcome;
  {
    CommandScope command(App().Journal(), "Restore files of " + medium_.root);
    outcome = renaming ? RenameTicked() : MoveTickedToRoot();
  }
  Os().MsgBox(Summary(outcome, renaming), outcome.ending == Ending::Stopped ? MsgStyle::Warning : MsgStyle::Information);
  if (!IsCurrentLoad(generation)) return;
  if (outcome.ending == Ending::Stopped) {
    tbl_folders.Clear();
    SetRunning(false);
    lbl_status.SetCaption("Stopped: scan the device " + medium_.root + " again when it is back.");
    return;
  }
  Fill();
}

void frm_restore::btn_rename_Click() { Restore(true); }

void frm_restore::btn_move_Click() { Restore(false); }

void frm_restore::btn_cancel_Click() { cancelRequested_ = true; }

void frm_restore::btn_back_Click() { Unload(); }

// Runs once however the window is left. A restore that is running stops at its next entry.
void frm_restore::Form_Unload() {
  cancelRequested_ = true;
  tbl_folders.Clear();
  items_.clear();
  if (changed_) App().Get<frm_rd>().StickChanged();
  App().GiveBack(*this);
}

}  // namespace tidewick
