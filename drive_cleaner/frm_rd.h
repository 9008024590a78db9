// The drive-cleaner window ("Pen Drive"): lists the removable-looking drives, scans the root
// folder of one of them, makes its entries visible again and sorts what the shortcut virus left
// there into a virus list and a list of files for the user to judge, deletes what is taken, and
// can unhide every root entry without scanning.
//
// The two result lists always belong to the root whose scan filled them (`scannedRoot_`):
// choosing another device empties them, and deletion and the list refreshes act on that root
// only. Paths are the root joined to the entry name exactly as the listing returned it, so names
// with trailing dots or spaces, device names and names outside the ANSI code page survive; the
// platform passes them on in \\?\ form. Only the root is read: folders are never entered, and an
// entry that is a reparse point is judged by its name like any other.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick {

// Where a root entry goes, decided by its name alone.
enum class EntryClass {
  Nothing,    // left alone
  Unknown,    // contains ".exe": the user judges it
  Virus,      // ends with a shortcut, script, autorun or old program extension
  SystemName  // one of the drive's own system entries: hidden again
};

// Sorts one root entry name. `ownExeLower` is the program's own file name, lower-cased, with
// ".exe" appended: the program lying in the root is never listed. Comparisons are done on the
// lower-cased name (all of Unicode, not only A to Z).
EntryClass ClassifyEntry(std::string_view name, std::string_view ownExeLower);
// Whether the lower-cased name ends with one of the eight virus extensions.
bool HasVirusExtension(std::string_view lowerName);

class frm_rd final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_rd";

  explicit frm_rd(ui::Application& app);

  // ---- Controls, in the order of the window ----
  ui::Frame fmSD{*this, "fmSD"};                        // frame "Select Device"
  ui::ComboBox cmb_rd{*this, "cmb_rd"};                 // the device list
  ui::CommandButton btn_scan{*this, "btn_scan"};        // "Scan"
  ui::CommandButton btn_rsd{*this, "btn_rsd"};          // "Refresh" of the device list
  ui::Frame Frameddfgre34{*this, "Frameddfgre34"};      // frame "Main", around Back and Delete
  ui::CommandButton btn_x{*this, "btn_x"};              // "Back": leaves the window
  ui::CommandButton btn_del{*this, "btn_del"};          // "Delete"
  ui::Frame Framec{*this, "Framec"};                    // frame of the virus list
  ui::CheckList lst_dir_2{*this, "lst_dir_2"};          // virus list
  ui::CheckBox chkAD{*this, "chkAD"};                   // delete-all switch
  ui::CommandButton btn_s2{*this, "btn_s2"};            // "Select All" of the virus list
  ui::CommandButton btn_ds2{*this, "btn_ds2"};          // "Deselect All" of the virus list
  ui::CommandButton btn_r_dir2{*this, "btn_r_dir2"};    // "Refresh" of the virus list
  ui::Frame Framed{*this, "Framed"};                    // frame of the unknown list
  ui::CheckList lst_dir{*this, "lst_dir"};              // unknown list
  ui::CommandButton btn_dir_sa{*this, "btn_dir_sa"};    // "Select All" of the unknown list
  ui::CommandButton btn_dir_usa{*this, "btn_dir_usa"};  // "Deselect All" of the unknown list
  ui::CommandButton btn_r{*this, "btn_r"};              // "Refresh" of the unknown list
  ui::Label Label2{*this, "Label2"};                    // an empty label under the lists, never changed
  ui::Timer T1{*this, "T1"};                            // safety timer of the enabling rules

  // ---- Menus ----
  ui::MenuItem f_1{*this, "f_1"};              // menu "File"
  ui::MenuItem f_Back{*this, "f_Back", &f_1};  // "Back"
  ui::MenuItem f_1_1{*this, "f_1_1", &f_1};    // separator
  ui::MenuItem f_Exit{*this, "f_Exit", &f_1};  // "Exit"
  ui::MenuItem e_1{*this, "e_1"};              // menu "Extra"
  ui::MenuItem e_sa{*this, "e_sa", &e_1};      // "Show all hidden file for this device"
  ui::MenuItem e_lnk{*this, "e_lnk", &e_1};    // "Shortcuts and Autorun..." (frm_lnk)
  ui::MenuItem e_restore{*this, "e_restore", &e_1};  // "Restore Files From Hidden Folder..." (frm_restore)
  ui::MenuItem e_report{*this, "e_report", &e_1};  // "Report Of Changes..." (frm_report)

  // ---- Handlers ----
  void btn_rsd_Click();
  // The enabling rules of the commands, from the lists, the switch and the device choice. Runs
  // on the slow safety timer and whenever one of those changes.
  void T1_Timer();
  void btn_scan_Click();
  // Scans the root of the chosen device: unhides every entry, hides the system entries again
  // and fills both lists. False when the listing broke off (the device stopped answering).
  bool ScanDevice();
  void btn_r_Click();
  void btn_r_dir2_Click();
  void btn_del_Click();
  void e_sa_Click();
  void e_lnk_Click();
  void e_restore_Click();
  void e_report_Click();
  void btn_dir_sa_Click();
  void btn_dir_usa_Click();
  void btn_s2_Click();
  void btn_ds2_Click();
  void btn_x_Click();
  void f_Back_Click();
  void f_Exit_Click();
  void cmb_rd_Click();
  void chkAD_Click();

  // The root whose entries the lists show; empty before the first scan.
  const std::string& ScannedRoot() const { return scannedRoot_; }
  // The volume serial number of the scanned medium, when it answered one.
  std::optional<std::uint32_t> ScannedSerial() const { return scannedSerial_; }
  // The attributes the last scan found on a root entry that may be the worm's folder (a name
  // of blanks, invisible characters or "_"), before it changed them; nullopt for any other.
  std::optional<std::uint32_t> AttributesBeforeScan(std::string_view name) const;
  // Another window changed the scanned stick: both lists are read again from it, when it is
  // still the scanned medium, without a word.
  void StickChanged();
  // The field a virus-list line carries when "Delete All Virus (Recommended)" leaves it alone:
  // the verdict of a plain shortcut or of an autorun.inf that shows only an icon and a label.
  bool KeptByDeleteAll(int virusLine) const;

  // Interval of the safety timer behind the change-driven enabling rules.
  static constexpr std::uint32_t kRulesTimerInterval = 250;

 protected:
  void InitializeComponent() override;
  void Form_Load() override;
  void Form_Unload() override;

 private:
  // DeviceGone: the device stopped answering; AnotherDevice: another medium is in its drive.
  enum class Removal { Deleted, Survived, DeviceGone, AnotherDevice };
  class RulesDeferred;
  class PaintPacer;

  // Whether `root` still holds a readable medium.
  bool DeviceAnswers(const std::string& root);
  void ReportDeviceNotAnswering(const std::string& root);
  // Whether the medium in `root` is the one the lists were read from: its volume serial number
  // is the one kept at the scan. Where no serial number could be read at the scan, a medium
  // that answers none now counts as the same (there is nothing to tell them apart by).
  bool ScannedVolumeAt(const std::string& root);
  std::optional<std::uint32_t> VolumeSerialAt(const std::string& root);
  // DeviceGone or AnotherDevice when `root` no longer holds the scanned medium; no answer
  // while it does.
  std::optional<Removal> ScannedMediumGone(const std::string& root);
  void ReportAnotherDevice(const std::string& root);
  // Whether the scanned medium still answers in its drive; warns when it does not.
  bool ScannedMediumReady();
  // Rebuild one list from `root` without changing attributes; false when the listing broke off.
  bool FillUnknownList(const std::string& root);
  bool FillVirusList(const std::string& root);
  // A list's "Refresh": refills it from the scanned root with `fill` when the device answers,
  // and warns when the listing broke off.
  void RefreshList(bool (frm_rd::*fill)(const std::string& root));
  // Reads the whole listing of `root` first, then hands every entry name but "." and ".." to
  // `handle`, keeping the windows painted meanwhile. False when the listing broke off; the
  // names read before that are still handed on.
  bool ForEachRootEntry(const std::string& root, const std::function<void(const std::string&)>& handle);
  // Whether a listing of `root` still shows an entry of exactly this name; no answer when the
  // listing failed.
  std::optional<bool> StillListed(const std::string& root, const std::string& name);
  // Clears the attributes of one listed entry, deletes it and removes it from its list when it
  // is gone. A survivor is reported and clears `deleteSucceeded_`.
  Removal DeleteListed(ui::CheckList& list, int index, const std::string& root);
  void ListsChanged();
  void DisableListRefresh();
  // The fields of a virus-list line: the verdict, for a line that delete-all leaves alone.
  std::vector<std::string> VirusLineFields(const std::string& root, const std::string& name);
  // With the delete-all switch: every virus-list line marked but those it leaves alone.
  void MarkForDeleteAll();
  // After a whole scan: names the root folders that may hold what the worm hid.
  void TellAboutHiddenFolders(const std::string& root);
  // Hands over to a window about the scanned stick (frm_lnk, frm_restore) when the scanned
  // medium still answers in its drive; warns otherwise.
  void OpenStickWindow(std::string_view formName);

  std::string scannedRoot_;
  std::optional<std::uint32_t> scannedSerial_;  // the volume serial number of the scanned medium
  // What the scan found on the root entries that may be the worm's folder, by name (bookkeeping
  // only: the scan treats them as every other entry).
  std::map<std::string, std::uint32_t, std::less<>> attributesBeforeScan_;
  bool deleteSucceeded_ = true;
  int rulesDeferred_ = 0;
  bool applyingRules_ = false;
};

}  // namespace tidewick
