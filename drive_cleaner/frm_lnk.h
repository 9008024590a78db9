// The Shortcuts window ("Shortcuts | Tidewick v3.1"), opened by the hand-over from the Pen Drive
// window's "Extra" menu ("Shortcuts and Autorun...") once a device has been scanned. It is about
// the scanned medium only:
//  - a table of every shortcut and autorun.inf in its root: the name, the verdict (stick_analysis.h),
//    what it runs, the file of the stick it starts and the root entry it opens;
//  - "Files the worm starts:", the files of the stick a worm shortcut or autorun.inf starts and the
//    programs, scripts and libraries inside the drive's own system folders, each with its path
//    from the root and why it is listed;
//  - "Select All" and "Deselect All" (both lists), "Delete" (the ticked files of both lists; never
//    a folder), "Back" (also the close box), which gives control back to the Pen Drive window.
// Nothing is ticked beforehand. Delete acts only while the scanned medium is in its drive, and
// stops when it goes or another one takes its place; afterwards both lists are read again, and
// the Pen Drive window's lists when the window is left.
#pragma once

#include "drive_cleaner/scanned_medium.h"
#include "ui/controls.h"
#include "ui/form.h"

#include <string>
#include <vector>

namespace tidewick {

class frm_lnk final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_lnk";
  // The menu item of the Pen Drive window that opens this window.
  static constexpr const char* kMenuCaption = "Shortcuts and Autorun...";
  // The frame captions, which name the two lists.
  static constexpr const char* kItemsFrame = "Shortcuts and autorun.inf in the root:";
  static constexpr const char* kWormFrame = "Files the worm starts:";

  explicit frm_lnk(ui::Application& app);

  ui::Frame fra_items{*this, "fra_items"};       // frame of the shortcuts and autorun.inf
  ui::CheckTable tbl_items{*this, "tbl_items"};  // name, verdict, runs, starts, opens
  ui::Frame fra_worm{*this, "fra_worm"};         // frame "Files the worm starts:"
  ui::CheckTable tbl_worm{*this, "tbl_worm"};    // path from the root, why it is listed
  ui::CommandButton btn_sa{*this, "btn_sa"};     // "Select All"
  ui::CommandButton btn_dsa{*this, "btn_dsa"};   // "Deselect All"
  ui::CommandButton btn_del{*this, "btn_del"};   // "Delete"
  ui::Label lbl_device{*this, "lbl_device"};     // "Device: E:\"
  ui::CommandButton btn_back{*this, "btn_back"};  // "Back"

  void btn_sa_Click();
  void btn_dsa_Click();
  void btn_del_Click();
  void btn_back_Click();

  // The medium the lists were read from.
  const ScannedMedium& Medium() const { return medium_; }

 protected:
  void InitializeComponent() override;
  void Form_Load() override;
  void Form_Unload() override;

 private:
  // Reads the stick and fills both tables.
  void Fill();
  void UpdateButtons();
  // The ticked paths of both tables, each once (letter case aside), relative to the root.
  std::vector<std::string> TickedPaths() const;
  // Makes one file plain and deletes it, reporting a survivor; false when it stayed.
  bool DeleteOne(const std::string& path);

  ScannedMedium medium_;
  bool changed_ = false;  // a deletion happened: the Pen Drive window reads its lists again
};

}  // namespace tidewick
