#include "drive_cleaner/frm_lnk.h"

#include "drive_cleaner/frm_rd.h"
#include "drive_cleaner/stick_pacer.h"
#include "drive_cleaner/stick_survey.h"
#include "platform/files.h"
#include "platform/journal.h"
#include "platform/messages.h"
#include "platform/platform_operations.h"
#include "platform/product.h"
#include "platform/text.h"
#include "readers/visible_text.h"

#include <algorithm>

namespace tidewick {

namespace {

constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;
constexpr int kButtonTop = 6000;

// "a, b, c" of the visible forms of some names.
std::string Listed(const std::vector<std::string>& names, bool rootEntries) {
  std::string text;
  for (const std::string& name : names) {
    if (!text.empty()) text += ", ";
    text += rootEntries ? stick::ShownName(name) : readers::VisibleText(name);
  }
  return text;
}

std::string RunsCell(const stick::Judgement& judgement) {
  if (judgement.note.empty()) return judgement.runs;
  return judgement.runs + (judgement.runs.empty() ? "(" : " (") + judgement.note + ")";
}

}  // namespace

frm_lnk::frm_lnk(ui::Application& app) : ui::Form(app, kFormName, ui::WayBack::Unload) {
  btn_sa.Click = [this] { btn_sa_Click(); };
  btn_dsa.Click = [this] { btn_dsa_Click(); };
  btn_del.Click = [this] { btn_del_Click(); };
  btn_back.Click = [this] { btn_back_Click(); };
  tbl_items.Changed = [this] { UpdateButtons(); };
  tbl_worm.Changed = [this] { UpdateButtons(); };
}

void frm_lnk::InitializeComponent() {
  ui::FormStyle& style = MutableStyle();
  style.border = ui::BorderStyle::FixedSingle;
  style.minButton = true;
  style.maxButton = false;
  style.closeBox = true;
  style.position = ui::StartPosition::CenterScreen;
  style.clientWidth = 12000;
  style.clientHeight = 6615;
  SetCaption("Shortcuts");

  int tab = 0;
  const auto place = [&](ui::Control& control, ui::Control* frame, ui::Twips position) {
    control.SetContainer(frame);
    control.SetPosition(position);
    if (control.Kind() != ui::ControlKind::Frame && control.Kind() != ui::ControlKind::Label) control.SetTabIndex(tab++);
  };
  fra_items.SetCaption(kItemsFrame);
  place(fra_items, nullptr, {240, 120, 11520, 3120});
  place(tbl_items, &fra_items, {360, 400, 11280, 2700});
  tbl_items.SetColumns({{"Name", 2100},
                        {"Verdict", 3300},
                        {"What it runs", 3000},
                        {"File of the stick it starts", 1560},
                        {"Root entry it opens", 1320}});
  fra_worm.SetCaption(kWormFrame);
  place(fra_worm, nullptr, {240, 3360, 11520, 2520});
  place(tbl_worm, &fra_worm, {360, 3640, 11280, 2100});
  tbl_worm.SetColumns({{"File", 4200}, {"Why it is listed", 7080}});

  const auto button = [&](ui::CommandButton& control, std::string caption, int left) {
    control.SetCaption(std::move(caption));
    place(control, nullptr, {left, kButtonTop, kButtonWidth, kButtonHeight});
  };
  button(btn_sa, "Select All", 240);
  button(btn_dsa, "Deselect All", 240 + kButtonWidth + 120);
  button(btn_del, "Delete", 240 + 2 * (kButtonWidth + 120));
  place(lbl_device, nullptr, {240 + 3 * (kButtonWidth + 120) + 120, kButtonTop + 60, 4000, 255});
  button(btn_back, "Back", 11760 - kButtonWidth);
  btn_back.SetCancel(true);
}

void frm_lnk::Form_Load() {
  SetCaption(WindowTitle("Shortcuts"));
  // The window is about the medium the Pen Drive window scanned.
  const frm_rd& rd = App().Get<frm_rd>();
  medium_ = ScannedMedium{rd.ScannedRoot(), rd.ScannedSerial()};
  changed_ = false;
  lbl_device.SetCaption("Device: " + medium_.root);
  Fill();
}

void frm_lnk::Fill() {
  ui::BusyScope busy(App().GetHost());
  StickPacer pacer(Os());
  const stick::StickPlace place{medium_.root, medium_.serial, stick::PlatformLookup(Os(), medium_.root)};
  const stick::ShortcutSurvey survey = stick::SurveyShortcuts(Os(), place, [&] {
    if (pacer.Turn()) App().GetHost().KeepPainting();
  });
  tbl_items.Clear();
  for (const stick::ItemRow& item : survey.items) {
    const stick::Judgement& judgement = item.judgement;
    std::vector<std::string> starts;
    for (const stick::StartedOnStick& started : judgement.starts) starts.push_back(started.path);
    tbl_items.AddItem({readers::VisibleText(item.name), std::string(judgement.verdict), RunsCell(judgement),
                       Listed(starts, false), Listed(judgement.opens, true)},
                      {item.name});
  }
  tbl_worm.Clear();
  for (const stick::WormFile& file : survey.wormFiles) {
    std::string why;
    for (const std::string& reason : file.why) why += (why.empty() ? "" : "; ") + reason;
    tbl_worm.AddItem({readers::VisibleText(file.path), why}, {file.path});
  }
  UpdateButtons();
  if (!survey.complete) {
    Os().MsgBox("The device " + medium_.root + " stopped answering; the lists may be incomplete.", MsgStyle::Warning);
  }
}

void frm_lnk::UpdateButtons() {
  const bool any = tbl_items.ListCount() > 0 || tbl_worm.ListCount() > 0;
  btn_sa.SetEnabled(any);
  btn_dsa.SetEnabled(any);
  btn_del.SetEnabled(any);
}

void frm_lnk::btn_sa_Click() {
  tbl_items.SetAllSelected(true);
  tbl_worm.SetAllSelected(true);
}

void frm_lnk::btn_dsa_Click() {
  tbl_items.SetAllSelected(false);
  tbl_worm.SetAllSelected(false);
}

std::vector<std::string> frm_lnk::TickedPaths() const {
  std::vector<std::string> paths;
  std::vector<std::string> folded;
  const auto collect = [&](const ui::CheckTable& table) {
    for (int i = 0; i < table.ListCount(); ++i) {
      if (!table.Selected(i)) continue;
      const std::string& path = table.Fields(i).front();
      const std::string key = LowerCase(path);
      if (std::find(folded.begin(), folded.end(), key) != folded.end()) continue;
      folded.push_back(key);
      paths.push_back(path);
    }
  };
  collect(tbl_items);
  collect(tbl_worm);
  return paths;
}

bool frm_lnk::DeleteOne(const std::string& path) {
  const std::string full = medium_.root + path;
  FileAttributeData data;
  const bool reachable = Os().GetFileAttributesExA(full, data);
  // A folder is never deleted, whatever stands at the path now.
  if (reachable && (data.attributes & Attr::Directory) != 0) return false;
  if (MakePlainAndDelete(Os(), full) == FileRemoval::StillThere) return false;
  if (reachable) return true;
  // A name that no path reaches answers "not there", deleted or not: only a listing of its
  // folder tells, and one that failed proves nothing.
  const std::size_t slash = full.rfind('\\');
  const std::string name = full.substr(slash + 1);
  const FolderListing listing = ListFolder(Os(), full.substr(0, slash + 1) + "*", ListMask::All);
  return !listing.failed && std::find(listing.names.begin(), listing.names.end(), name) == listing.names.end();
}

void frm_lnk::btn_del_Click() {
  const std::vector<std::string> paths = TickedPaths();
  if (paths.empty()) {
    Os().MsgBox(msg::kSelectFileToDelete, MsgStyle::Information);
    return;
  }
  if (Os().MsgBox(msg::kConfirmDelete, MsgStyle::YesNoQuestion) != Answer::Yes) return;
  if (!ScannedMediumThere(Os(), medium_)) return;

  bool succeeded = true;
  MediumState stop = MediumState::Same;
  {
    CommandScope command(App().Journal(), "Delete");
    ui::BusyScope busy(App().GetHost());
    StickPacer pacer(Os());
    for (const std::string& path : paths) {
      if (pacer.Turn()) App().GetHost().KeepPainting();
      // Nothing is touched on a medium other than the scanned one, and what a check after the
      // deletion saw may belong to a medium put in meanwhile.
      if ((stop = CheckMedium(Os(), medium_)) != MediumState::Same) break;
      const bool deleted = DeleteOne(path);
      if ((stop = CheckMedium(Os(), medium_)) != MediumState::Same) break;
      if (!deleted) {
        Os().MsgBox("Cannot delete file '" + medium_.root + path + "' because file is being used.", MsgStyle::Critical);
        succeeded = false;
      }
    }
  }
  changed_ = true;
  if (stop != MediumState::Same) {
    succeeded = false;
    Os().MsgBox(DeletionStoppedText(medium_.root, stop), MsgStyle::Warning);
  }
  Os().MsgBox(succeeded ? msg::kDeleteComplete : msg::kDeleteUnsuccessful, MsgStyle::Information);
  if (stop == MediumState::Same) {
    Fill();
  } else {
    tbl_items.Clear();
    tbl_worm.Clear();
    UpdateButtons();
  }
}

void frm_lnk::btn_back_Click() { Unload(); }

// Runs once however the window is left (Back, Esc, the close box): the Pen Drive window reads
// its lists again when something was deleted here, then has control back.
void frm_lnk::Form_Unload() {
  tbl_items.Clear();
  tbl_worm.Clear();
  if (changed_) App().Get<frm_rd>().StickChanged();
  App().GiveBack(*this);
}

}  // namespace tidewick
