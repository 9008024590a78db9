#include "drive_cleaner/frm_rd.h"

#include "app/report_window.h"
#include "drive_cleaner/frm_lnk.h"
#include "drive_cleaner/frm_restore.h"
#include "drive_cleaner/scanned_medium.h"
#include "drive_cleaner/stick_survey.h"
#include "platform/journal.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/platform_operations.h"
#include "platform/product.h"
#include "platform/text.h"
#include "readers/visible_text.h"

#include <algorithm>
#include <array>
#include <optional>

namespace tidewick {

namespace {

// Extensions of what the virus leaves beside the entries it hides: batch, shortcut, autorun,
// screen saver, script, old-style program, program information and command files.
constexpr std::array<std::string_view, 8> kVirusExtensions = {".bat", ".lnk", ".inf", ".scr",
                                                              ".vbs", ".com", ".pif", ".cmd"};

// The drive's own system entries (lower case): the scan hides them again after unhiding all.
constexpr std::array<std::string_view, 6> kSystemNames = {
    "$recycle.bin", "desktop.ini", "folder settings", "recycler", "config.msi", "system volume information"};

constexpr std::string_view kDrives = "A,B,C,D,E,F,G,H,I,J,K,L,M,N,O,P,Q,R,S,T,U,V,W,X,Y,Z";

// A long command repaints the windows, looking at the clock every few dozen entries: often
// enough to stay drawn on a slow stick, seldom enough that redrawing long lists does not slow a
// fast one down. Between two paints pass at least kPaintIntervalMs and kWorkPerPaint times
// what the last paint took (bringing long lists up to date takes longer as they grow), but
// never more than kLongestPaintIntervalMs (milliseconds), so that the windows answer throughout.
constexpr std::uint32_t kPaintIntervalMs = 100;
constexpr std::uint32_t kLongestPaintIntervalMs = 500;
constexpr std::uint64_t kWorkPerPaint = 20;
constexpr std::size_t kEntriesPerClockLook = 32;

constexpr std::string_view kSelectDeviceFirst = "Select device first!";

constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;

}  // namespace

bool HasVirusExtension(std::string_view lowerName) {
  for (std::string_view extension : kVirusExtensions) {
    if (EndsWith(lowerName, extension)) return true;
  }
  return false;
}

EntryClass ClassifyEntry(std::string_view name, std::string_view ownExeLower) {
  const std::string lower = LowerCase(name);
  if (Contains(lower, ".exe")) return lower == ownExeLower ? EntryClass::Nothing : EntryClass::Unknown;
  if (HasVirusExtension(lower)) return EntryClass::Virus;
  for (std::string_view systemName : kSystemNames) {
    if (lower == systemName) return EntryClass::SystemName;
  }
  return EntryClass::Nothing;
}

// Holds back the enabling rules while a command changes the lists many times over; they run
// once when the outermost scope ends. This is about one command's batch of list changes inside
// one load, not about which load of the window is current: no command of this window lets
// events run midway (it paints only), so it never finds itself in another load afterwards.
class frm_rd::RulesDeferred {
 public:
  explicit RulesDeferred(frm_rd& form) : form_(form) { ++form_.rulesDeferred_; }
  ~RulesDeferred() {
    if (--form_.rulesDeferred_ == 0) form_.ListsChanged();
  }
  RulesDeferred(const RulesDeferred&) = delete;
  RulesDeferred& operator=(const RulesDeferred&) = delete;

 private:
  frm_rd& form_;  // borrowed
};

frm_rd::frm_rd(ui::Application& app) : Form(app, kFormName, ui::WayBack::Unload) {
  btn_rsd.Click = [this] { btn_rsd_Click(); };
  T1.Tick = [this] { T1_Timer(); };
  btn_scan.Click = [this] { btn_scan_Click(); };
  btn_r.Click = [this] { btn_r_Click(); };
  btn_r_dir2.Click = [this] { btn_r_dir2_Click(); };
  btn_del.Click = [this] { btn_del_Click(); };
  e_sa.Click = [this] { e_sa_Click(); };
  e_lnk.Click = [this] { e_lnk_Click(); };
  e_restore.Click = [this] { e_restore_Click(); };
  e_report.Click = [this] { e_report_Click(); };
  btn_dir_sa.Click = [this] { btn_dir_sa_Click(); };
  btn_dir_usa.Click = [this] { btn_dir_usa_Click(); };
  btn_s2.Click = [this] { btn_s2_Click(); };
  btn_ds2.Click = [this] { btn_ds2_Click(); };
  btn_x.Click = [this] { btn_x_Click(); };
  f_Back.Click = [this] { f_Back_Click(); };
  f_Exit.Click = [this] { f_Exit_Click(); };
  cmb_rd.Click = [this] { cmb_rd_Click(); };
  chkAD.Click = [this] { chkAD_Click(); };
  lst_dir.Changed = [this] { ListsChanged(); };
  lst_dir_2.Changed = [this] { ListsChanged(); };
}

void frm_rd::InitializeComponent() {
  ui::FormStyle& style = MutableStyle();
  style.border = ui::BorderStyle::FixedSingle;
  style.minButton = true;
  style.maxButton = false;
  style.closeBox = true;
  style.position = ui::StartPosition::CenterScreen;
  style.clientWidth = 11565;
  style.clientHeight = 4320;

  int tab = 0;
  auto place = [&](ui::Control& control, ui::Control* frame, ui::Twips position, bool tabStop) {
    control.SetContainer(frame);
    control.SetPosition(position);
    if (tabStop) control.SetTabIndex(tab++);
  };
  auto button = [&](ui::CommandButton& control, ui::Control& frame, std::string caption, int left, int top) {
    control.SetCaption(std::move(caption));
    place(control, &frame, {left, top, kButtonWidth, kButtonHeight}, true);
  };

  fmSD.SetCaption("Select Device");
  place(fmSD, nullptr, {240, 240, 1815, 1815}, false);
  place(cmb_rd, &fmSD, {540, 525, 975, 315}, true);
  button(btn_scan, fmSD, "Scan", 540, 990);
  button(btn_rsd, fmSD, "Refresh", 540, 1515);

  Frameddfgre34.SetCaption("Main");
  place(Frameddfgre34, nullptr, {240, 2280, 1830, 1470}, false);
  button(btn_x, Frameddfgre34, "Back", 540, 2550);
  button(btn_del, Frameddfgre34, "Delete", 570, 3105);

  Framec.SetCaption("Select file to delete: (VIRUS)");
  place(Framec, nullptr, {2400, 255, 4200, 3495}, false);
  place(lst_dir_2, &Framec, {2640, 555, 3735, 2085}, true);
  lst_dir_2.SetEnabled(false);
  chkAD.SetCaption("Delete All Virus (Recommended)");
  place(chkAD, &Framec, {2670, 2760, 3720, 255}, true);
  chkAD.SetValue(1);
  button(btn_s2, Framec, "Select All", 2625, 3180);
  button(btn_ds2, Framec, "Deselect All", 3885, 3180);
  button(btn_r_dir2, Framec, "Refresh", 5145, 3180);

  Framed.SetCaption("If you don't know that file, just mark and delete:");
  place(Framed, nullptr, {6960, 255, 4365, 3480}, false);
  place(lst_dir, &Framed, {7290, 555, 3735, 2310}, true);
  button(btn_dir_sa, Framed, "Select All", 7320, 3180);
  button(btn_dir_usa, Framed, "Deselect All", 8565, 3180);
  button(btn_r, Framed, "Refresh", 9825, 3180);

  Label2.SetCaption("");
  place(Label2, nullptr, {2205, 3885, 3690, 195}, false);

  f_1.SetCaption("File");
  f_Back.SetCaption("Back");
  f_1_1.SetCaption("-");
  f_Exit.SetCaption("Exit");
  e_1.SetCaption("Extra");
  e_sa.SetCaption("Show all hidden file for this device");
  e_lnk.SetCaption(frm_lnk::kMenuCaption);
  e_restore.SetCaption(frm_restore::kMenuCaption);
  e_report.SetCaption(frm_report::kMenuCaption);

  // The rules also run on every change they depend on; the timer is only a safety net.
  T1.SetInterval(kRulesTimerInterval);
  T1.SetEnabled(true);

  // A fresh window shows no scan.
  scannedRoot_.clear();
  attributesBeforeScan_.clear();
  rulesDeferred_ = 0;
  applyingRules_ = false;
}

// ---- Device list and window state ----

void frm_rd::Form_Load() {
  SetCaption(WindowTitle("Pen Drive"));
  {
    RulesDeferred deferred(*this);
    cmb_rd.Clear();
    for (std::size_t i = 0; i < kDrives.size(); i += 2) {
      const char letter = kDrives[i];
      const std::string root = std::string(1, letter) + ":\\";
      DiskFreeSpace counts;
      if (!Os().GetDiskFreeSpaceA(root, counts)) continue;
      const bool hasWindows = Os().PathFileExistsA(std::string(1, letter) + ":\\Windows");
      const bool hasProgramFiles = Os().PathFileExistsA(std::string(1, letter) + ":\\Program Files");
      if (!(hasWindows && hasProgramFiles)) cmb_rd.AddItem(root);
    }
    chkAD.SetValue(1);
    DisableListRefresh();
  }
}

void frm_rd::btn_rsd_Click() {
  Form_Load();
  SetFocus(cmb_rd);
}

void frm_rd::T1_Timer() {
  if (applyingRules_) return;
  applyingRules_ = true;
  btn_scan.SetEnabled(!cmb_rd.Text().empty());
  btn_del.SetEnabled(lst_dir.ListCount() > 0 || lst_dir_2.ListCount() > 0);
  btn_dir_sa.SetEnabled(lst_dir.ListCount() > 0);
  btn_dir_usa.SetEnabled(lst_dir.ListCount() > 0);
  if (lst_dir_2.ListCount() == 0) {
    btn_s2.SetEnabled(false);
    btn_ds2.SetEnabled(false);
  } else {
    const bool userMarks = !chkAD.Checked();
    lst_dir_2.SetEnabled(userMarks);
    btn_s2.SetEnabled(userMarks);
    btn_ds2.SetEnabled(userMarks);
  }
  if (chkAD.Checked()) MarkForDeleteAll();
  // The stick's other windows work on the scanned medium.
  e_lnk.SetEnabled(!scannedRoot_.empty());
  e_restore.SetEnabled(!scannedRoot_.empty());
  applyingRules_ = false;
}

void frm_rd::ListsChanged() {
  if (rulesDeferred_ > 0 || !Loaded()) return;
  T1_Timer();
}

void frm_rd::chkAD_Click() { ListsChanged(); }

void frm_rd::cmb_rd_Click() {
  // The lists show the entries of the scanned root; another device makes them meaningless.
  if (!scannedRoot_.empty() && cmb_rd.Text() != scannedRoot_) {
    RulesDeferred deferred(*this);
    lst_dir.Clear();
    lst_dir_2.Clear();
    scannedRoot_.clear();
    attributesBeforeScan_.clear();
    DisableListRefresh();
  }
  ListsChanged();
}

void frm_rd::DisableListRefresh() {
  btn_r_dir2.SetEnabled(false);
  btn_r.SetEnabled(false);
}

bool frm_rd::DeviceAnswers(const std::string& root) { return tidewick::DeviceAnswers(Os(), root); }

void frm_rd::ReportDeviceNotAnswering(const std::string& root) {
  Os().MsgBox(DeviceNotAnsweringText(root), MsgStyle::Warning);
}

std::optional<std::uint32_t> frm_rd::VolumeSerialAt(const std::string& root) {
  return tidewick::VolumeSerialAt(Os(), root);
}

bool frm_rd::ScannedVolumeAt(const std::string& root) { return VolumeSerialAt(root) == scannedSerial_; }

std::optional<frm_rd::Removal> frm_rd::ScannedMediumGone(const std::string& root) {
  if (ScannedVolumeAt(root)) return std::nullopt;
  return DeviceAnswers(root) ? Removal::AnotherDevice : Removal::DeviceGone;
}

void frm_rd::ReportAnotherDevice(const std::string& root) { Os().MsgBox(AnotherDeviceText(root), MsgStyle::Warning); }

// Keeps the windows painted during a long command.
class frm_rd::PaintPacer {
 public:
  explicit PaintPacer(frm_rd& form) : form_(form), lastPaint_(form.Os().GetTickCount()) {}
  // One more entry handled.
  void Entry() {
    if (++entries_ % kEntriesPerClockLook != 0) return;
    const std::uint32_t now = form_.Os().GetTickCount();
    if (now - lastPaint_ < interval_) return;
    form_.App().GetHost().KeepPainting();
    lastPaint_ = form_.Os().GetTickCount();
    const std::uint64_t took = lastPaint_ - now;
    interval_ = static_cast<std::uint32_t>(
        std::clamp<std::uint64_t>(took * kWorkPerPaint, kPaintIntervalMs, kLongestPaintIntervalMs));
  }

 private:
  frm_rd& form_;  // borrowed
  std::uint32_t lastPaint_;  // when the last paint ended
  std::uint32_t interval_ = kPaintIntervalMs;
  std::size_t entries_ = 0;
};

// ---- Scan ----

void frm_rd::btn_scan_Click() {
  const std::string root = cmb_rd.Text();
  if (root.empty()) {
    Os().MsgBox(kSelectDeviceFirst, MsgStyle::Information);
    return;
  }
  if (Os().MsgBox("Are you sure to scan this device(" + root + ")?", MsgStyle::YesNoQuestion) != Answer::Yes) return;
  if (!DeviceAnswers(root)) {
    ReportDeviceNotAnswering(root);
    return;
  }
  bool complete = false;
  {
    CommandScope command(App().Journal(), "Scan of " + root);
    complete = ScanDevice();
  }
  if (!complete) {
    Os().MsgBox("The device " + root +
                    " stopped answering during the scan. The lists show only the entries read before "
                    "that; scan again when the device is back.",
                MsgStyle::Warning);
  } else if (lst_dir.ListCount() > 0 || lst_dir_2.ListCount() > 0) {
    Os().MsgBox("Scan complete. Delete file that you don't know.", MsgStyle::Information);
  } else {
    Os().MsgBox("Scan complete. No virus detect.", MsgStyle::Information);
  }
  if (complete) TellAboutHiddenFolders(root);
  btn_r.SetEnabled(true);
  btn_r_dir2.SetEnabled(true);
}

bool frm_rd::ScanDevice() {
  ui::BusyScope busy(App().GetHost());
  RulesDeferred deferred(*this);
  const std::string root = cmb_rd.Text();
  if (root.empty()) return false;
  lst_dir.Clear();
  lst_dir_2.Clear();
  scannedRoot_ = root;
  scannedSerial_ = VolumeSerialAt(root);
  attributesBeforeScan_.clear();
  const std::string ownExe = LowerCase(Os().AppExeName() + ".exe");
  return ForEachRootEntry(root, [&](const std::string& name) {
    const std::string path = root + name;
    // What an entry that may be the worm's folder looked like before it is made plain: the
    // Restore Files window weighs it.
    if (stick::IsCandidateName(name)) {
      FileAttributeData before;
      if (Os().GetFileAttributesExA(path, before)) attributesBeforeScan_[name] = before.attributes;
    }
    Os().SetFileAttributesA(path, Attr::Normal);
    switch (ClassifyEntry(name, ownExe)) {
      case EntryClass::Unknown:
        lst_dir.AddItem(name);
        break;
      case EntryClass::Virus:
        lst_dir_2.AddItem(name, VirusLineFields(root, name));
        break;
      case EntryClass::SystemName:
        Os().SetFileAttributesA(path, Attr::HiddenSystem);
        break;
      case EntryClass::Nothing:
        break;
    }
  });
}

bool frm_rd::FillUnknownList(const std::string& root) {
  RulesDeferred deferred(*this);
  lst_dir.Clear();
  const std::string ownExe = LowerCase(Os().AppExeName() + ".exe");
  return ForEachRootEntry(root, [&](const std::string& name) {
    const std::string lower = LowerCase(name);
    if (Contains(lower, ".exe") && lower != ownExe) lst_dir.AddItem(name);
  });
}

bool frm_rd::FillVirusList(const std::string& root) {
  RulesDeferred deferred(*this);
  lst_dir_2.Clear();
  return ForEachRootEntry(root, [&](const std::string& name) {
    if (HasVirusExtension(LowerCase(name))) lst_dir_2.AddItem(name, VirusLineFields(root, name));
  });
}

bool frm_rd::ForEachRootEntry(const std::string& root, const std::function<void(const std::string&)>& handle) {
  PaintPacer pacer(*this);
  const FolderListing listing = ListFolder(Os(), root + "*", ListMask::All, [&] { pacer.Entry(); });
  for (const std::string& name : listing.names) {
    pacer.Entry();
    handle(name);
  }
  return !listing.failed;
}

void frm_rd::btn_r_Click() { RefreshList(&frm_rd::FillUnknownList); }

void frm_rd::btn_r_dir2_Click() { RefreshList(&frm_rd::FillVirusList); }

bool frm_rd::ScannedMediumReady() {
  if (!DeviceAnswers(scannedRoot_)) {
    ReportDeviceNotAnswering(scannedRoot_);
    return false;
  }
  if (!ScannedVolumeAt(scannedRoot_)) {
    ReportAnotherDevice(scannedRoot_);
    return false;
  }
  return true;
}

void frm_rd::RefreshList(bool (frm_rd::*fill)(const std::string& root)) {
  if (scannedRoot_.empty() || !ScannedMediumReady()) return;
  ui::BusyScope busy(App().GetHost());
  if (!(this->*fill)(scannedRoot_)) {
    Os().MsgBox("The device " + scannedRoot_ + " stopped answering; the list may be incomplete.",
                MsgStyle::Warning);
  }
}

// ---- Deletion ----

// The whole root is listed ("*"), never the name itself: a pattern holding the entry's name can
// be refused, or match other entries, and a listing that failed shows nothing either way.
std::optional<bool> frm_rd::StillListed(const std::string& root, const std::string& name) {
  const FolderListing listing = ListFolder(Os(), root + "*", ListMask::All);
  if (listing.failed) return std::nullopt;
  return std::find(listing.names.begin(), listing.names.end(), name) != listing.names.end();
}

frm_rd::Removal frm_rd::DeleteListed(ui::CheckList& list, int index, const std::string& root) {
  const std::string name = list.List(index);
  const std::string path = root + name;
  // Nothing is touched on a medium other than the scanned one; and what the checks after the
  // deletion saw may belong to a medium put in meanwhile.
  if (const std::optional<Removal> gone = ScannedMediumGone(root)) return *gone;
  // A name holding a character that Windows refuses in paths ("|" written by another system)
  // answers "not there" to every call given its path, deleted or not: for such a name only the
  // listing tells whether it stayed.
  const bool reachable = Os().PathFileExistsA(path);
  bool stayed = MakePlainAndDelete(Os(), path) == FileRemoval::StillThere;
  if (const std::optional<Removal> gone = ScannedMediumGone(root)) return *gone;
  if (!stayed && !reachable) {
    // A listing that failed proves nothing: the entry counts as not deleted, unless the
    // device itself has gone.
    const std::optional<bool> listed = StillListed(root, name);
    if (!listed && !DeviceAnswers(root)) return Removal::DeviceGone;
    stayed = listed.value_or(true);
  }
  if (stayed) {
    Os().MsgBox("Cannot delete file '" + path + "' because file is being used.", MsgStyle::Critical);
    deleteSucceeded_ = false;
    return Removal::Survived;
  }
  // Gone, or the whole device went away: only a device that still answers proves the deletion.
  if (!DeviceAnswers(root)) return Removal::DeviceGone;
  list.RemoveItem(index);
  return Removal::Deleted;
}

void frm_rd::btn_del_Click() {
  deleteSucceeded_ = true;
  if (cmb_rd.Text().empty()) {
    Os().MsgBox(kSelectDeviceFirst, MsgStyle::Information);
    return;
  }
  const bool takeAllVirus = chkAD.Checked();
  // Delete-all takes every virus-list line but a plain shortcut and an icon-only autorun.inf.
  const auto taken = [&](int i) { return takeAllVirus ? !KeptByDeleteAll(i) : lst_dir_2.Selected(i); };
  bool anythingTaken = lst_dir.MarkedCount() > 0;
  for (int i = 0; i < lst_dir_2.ListCount() && !anythingTaken; ++i) anythingTaken = taken(i);
  if (!anythingTaken) {
    Os().MsgBox(msg::kSelectFileToDelete, MsgStyle::Information);
    return;
  }
  if (Os().MsgBox(msg::kConfirmDelete, MsgStyle::YesNoQuestion) != Answer::Yes) return;

  // The lists were filled from this root, and only this root is touched.
  const std::string root = scannedRoot_;
  if (root.empty() || !DeviceAnswers(root)) {
    ReportDeviceNotAnswering(root.empty() ? cmb_rd.Text() : root);
    return;
  }
  if (!ScannedVolumeAt(root)) {
    ReportAnotherDevice(root);
    return;
  }

  // What ended the deletion early: the device stopped answering, or another medium took the
  // scanned one's place. Each deletion and each rebuild of a list checks both.
  Removal stop = Removal::Deleted;
  const auto stopped = [&] { return stop == Removal::DeviceGone || stop == Removal::AnotherDevice; };
  const auto take = [&](ui::CheckList& list, int i) {
    const Removal removal = DeleteListed(list, i, root);
    if (removal == Removal::DeviceGone || removal == Removal::AnotherDevice) stop = removal;
  };
  const auto rebuild = [&](bool (frm_rd::*fill)(const std::string& root)) {
    if (stopped()) return;
    if (const std::optional<Removal> gone = ScannedMediumGone(root)) {
      stop = *gone;
    } else if (!(this->*fill)(root)) {
      stop = Removal::DeviceGone;
    }
  };
  {
    CommandScope command(App().Journal(), "Delete");
    ui::BusyScope busy(App().GetHost());
    RulesDeferred deferred(*this);
    PaintPacer pacer(*this);
    for (int i = lst_dir_2.ListCount() - 1; i >= 0 && !stopped(); --i) {
      pacer.Entry();
      if (taken(i)) take(lst_dir_2, i);
    }
    rebuild(&frm_rd::FillVirusList);
    for (int i = lst_dir.ListCount() - 1; i >= 0 && !stopped(); --i) {
      pacer.Entry();
      if (lst_dir.Selected(i)) take(lst_dir, i);
    }
    rebuild(&frm_rd::FillUnknownList);
  }

  if (stop == Removal::DeviceGone) {
    deleteSucceeded_ = false;
    Os().MsgBox(DeletionStoppedText(root, MediumState::Gone), MsgStyle::Warning);
  } else if (stop == Removal::AnotherDevice) {
    deleteSucceeded_ = false;
    Os().MsgBox(DeletionStoppedText(root, MediumState::Another), MsgStyle::Warning);
  }
  Os().MsgBox(deleteSucceeded_ ? msg::kDeleteComplete : msg::kDeleteUnsuccessful, MsgStyle::Information);
}

// ---- Showing hidden files ----

void frm_rd::e_sa_Click() {
  const std::string root = cmb_rd.Text();
  if (root.empty()) {
    Os().MsgBox(kSelectDeviceFirst, MsgStyle::Information);
    return;
  }
  if (Os().MsgBox("Are you sure to show all file this device?", MsgStyle::YesNoQuestion) != Answer::Yes) return;
  if (!DeviceAnswers(root)) {
    ReportDeviceNotAnswering(root);
    return;
  }
  // The chosen device is the scanned one by its letter (choosing another empties the lists);
  // it must also be the same medium.
  if (root == scannedRoot_ && !ScannedVolumeAt(root)) {
    ReportAnotherDevice(root);
    return;
  }
  bool complete = false;
  {
    CommandScope command(App().Journal(), "Show all hidden files of " + root);
    ui::BusyScope busy(App().GetHost());
    complete = ForEachRootEntry(root, [&](const std::string& name) { Os().SetFileAttributesA(root + name, Attr::Normal); });
  }
  if (!complete) {
    Os().MsgBox("The device " + root +
                    " stopped answering before every entry was shown; some entries may still be hidden.",
                MsgStyle::Warning);
  }
}

// ---- What a shortcut runs, and the worm's folder ----

std::vector<std::string> frm_rd::VirusLineFields(const std::string& root, const std::string& name) {
  if (!stick::IsShortcutOrAutorunName(name)) return {};
  const stick::StickPlace place{root, scannedSerial_, stick::PlatformLookup(Os(), root)};
  const std::optional<stick::Judgement> judgement = stick::JudgeRootFile(Os(), place, name);
  if (!judgement || !stick::KeptByDeleteAll(*judgement)) return {};
  return {std::string(judgement->verdict)};
}

bool frm_rd::KeptByDeleteAll(int virusLine) const { return !lst_dir_2.Fields(virusLine).empty(); }

void frm_rd::MarkForDeleteAll() {
  for (int i = lst_dir_2.ListCount() - 1; i >= 0; --i) lst_dir_2.SetSelected(i, !KeptByDeleteAll(i));
}

std::optional<std::uint32_t> frm_rd::AttributesBeforeScan(std::string_view name) const {
  const auto found = attributesBeforeScan_.find(name);
  if (found == attributesBeforeScan_.end()) return std::nullopt;
  return found->second;
}

void frm_rd::TellAboutHiddenFolders(const std::string& root) {
  std::vector<std::string> folders;
  for (const auto& [name, attributes] : attributesBeforeScan_) {
    if ((attributes & Attr::Directory) == 0 || !Os().PathFileExistsA(root + name)) continue;
    ui::BusyScope busy(App().GetHost());
    const stick::FolderCount count = stick::CountFolder(Os(), root + name);
    const std::string files = readers::GroupedNumber(count.files) + (count.complete ? "" : "+") +
                              (count.files == 1 && count.complete ? " file" : " files");
    folders.push_back("'" + stick::ShownName(name) + "' (" + files + ")");
  }
  if (folders.empty()) return;
  std::string named;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (i > 0) named += i + 1 == folders.size() ? " and " : ", ";
    named += folders[i];
  }
  Os().MsgBox(std::string(folders.size() == 1 ? "The folder " : "The folders ") + named + " in " + root +
                  (folders.size() == 1 ? " has" : " have") +
                  " a name of blanks, invisible characters or \"_\": the virus may have moved your files there. "
                  "To get them back, choose \"Extra\" > \"" + frm_restore::kMenuCaption + "\" in this window.",
              MsgStyle::Information);
}

void frm_rd::StickChanged() {
  if (scannedRoot_.empty() || !Loaded() || CheckMedium(Os(), {scannedRoot_, scannedSerial_}) != MediumState::Same) {
    return;
  }
  ui::BusyScope busy(App().GetHost());
  RulesDeferred deferred(*this);
  FillVirusList(scannedRoot_);
  FillUnknownList(scannedRoot_);
}

void frm_rd::OpenStickWindow(std::string_view formName) {
  if (scannedRoot_.empty() || !ScannedMediumReady()) return;
  App().HandOver(*this, formName);
}

void frm_rd::e_lnk_Click() { OpenStickWindow(frm_lnk::kFormName); }

void frm_rd::e_restore_Click() { OpenStickWindow(frm_restore::kFormName); }

// ---- The report of changes ----

void frm_rd::e_report_Click() { App().HandOver<frm_report>(*this); }

// ---- List commands ----

void frm_rd::btn_dir_sa_Click() {
  lst_dir.SetAllSelected(true);
}

void frm_rd::btn_dir_usa_Click() {
  lst_dir.SetAllSelected(false);
}

void frm_rd::btn_s2_Click() {
  lst_dir_2.SetAllSelected(true);
}

void frm_rd::btn_ds2_Click() {
  lst_dir_2.SetAllSelected(false);
}

// ---- Navigation ----

void frm_rd::btn_x_Click() { Unload(); }

void frm_rd::f_Back_Click() { btn_x_Click(); }

// Runs once however the window is left (Back, the menu, the close box, the system): the close
// that Unload makes does not come back here. The give-back hides this window, then enables and
// shows the main window; the window is destroyed when the unload ends.
void frm_rd::Form_Unload() {
  {
    RulesDeferred deferred(*this);
    lst_dir.Clear();
    lst_dir_2.Clear();
    scannedRoot_.clear();
    attributesBeforeScan_.clear();
  }
  App().GiveBack(*this);
}

void frm_rd::f_Exit_Click() { Os().EndProgram(); }

}  // namespace tidewick
