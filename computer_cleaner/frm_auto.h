// The window of every other autostart entry ("Autostart | Tidewick v3.1"), opened from the
// Computer window's "Extra" menu ("Other Autostart Entries..."): a table of the entries of
// every autostart place (computer_cleaner/autostart.h) with their place, name, command, the
// file each starts, the processes that run it and why it is listed. The suspicious and the
// dead entries are listed; "Show every entry" lists the others too. Nothing is ticked when
// the list is made.
//
// "Delete" asks, then for each ticked line ends the processes that run its file (through the
// kill tool, by process id, each one checked again as the snapshot is walked), waits for them
// with the window served, deletes the file when it lies where a worm puts its copies (for a
// script or library host the script or library, never the host), and removes the entry: the
// value, the Startup file, or for Winlogon's Shell and Userinit the Windows default written
// back. The registry repair runs once afterwards. What Windows refused for lack of rights is
// named in the closing summary. Every opening reads the places afresh; the way back is the
// runtime's give-back to the Computer window.
#pragma once

#include "computer_cleaner/autostart.h"
#include "platform/Function.h"
#include "ui/controls.h"
#include "ui/form.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tidewick {

class frm_auto final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_auto";
  // The menu item of the Computer window that opens this window.
  static constexpr const char* kMenuCaption = "Other Autostart Entries...";
  static constexpr const char* kNote = "Scheduled tasks are not checked.";

  // How long Delete waits for the processes it ended, and the pause between two looks (the
  // window is served meanwhile); how long it keeps trying to delete a file that stays.
  static constexpr std::uint32_t kEndWaitMs = 5000;
  static constexpr std::uint32_t kPauseMs = 250;
  static constexpr std::uint32_t kRetryLimitMs = 3000;

  // The columns of the table, in order.
  enum Column { kPlace, kName, kCommand, kFile, kProcesses, kWhy };

  explicit frm_auto(ui::Application& app);

  ui::CheckTable tbl_entries{*this, "tbl_entries"};   // one row per entry listed
  ui::CheckBox chk_all{*this, "chk_all"};              // "Show every entry"
  ui::Label lbl_note{*this, "lbl_note"};               // "Scheduled tasks are not checked."
  ui::CommandButton btn_refresh{*this, "btn_refresh"};  // "Refresh": reads every place again
  ui::CommandButton btn_delete{*this, "btn_delete"};    // "Delete"
  ui::CommandButton btn_back{*this, "btn_back"};        // "Back": to the Computer window

  void btn_refresh_Click();
  void btn_delete_Click();
  void btn_back_Click();
  void chk_all_Click();

  // The entries of the last reading of the places (listed or not).
  const std::vector<autostart::Entry>& Entries() const { return survey_.entries; }
  bool Deleting() const { return deleting_; }

 protected:
  void InitializeComponent() override;
  void Form_Load() override;
  void Form_Unload() override;

 private:
  // What a deletion could not do.
  struct Outcome {
    std::vector<std::string> needAdministrator;  // refused for lack of rights, each in words
    bool failed = false;                        // something else stayed
  };

  void ReadPlaces();
  void FillTable();
  void ApplyEnablingRules();

  // Each returns false when the command must end at once (kill tool missing, window left).
  bool DeleteEntry(const autostart::Entry& entry, Outcome& outcome, std::uint64_t opening);
  bool EndProcesses(const autostart::Entry& entry, std::uint64_t opening);
  // Deletes `path`, ending the entry's processes again and trying again for a while as long as
  // it stays; a refusal is noted in `outcome` as `what`.
  bool RemoveFile(const std::string& path, const autostart::Entry& entry, const std::string& what, Outcome& outcome,
                  std::uint64_t opening);
  void RemoveRegistryEntry(const autostart::Entry& entry, Outcome& outcome);
  bool KillToolAtHand();
  std::string SummaryText(const Outcome& outcome) const;

  Function fn_;  // owned; it borrows the platform of the application
  autostart::Survey survey_;
  bool deleting_ = false;
};

// The information box the Computer window shows after its verdict when the survey found
// suspicious entries that its list does not show.
std::string OtherAutostartEntriesText(int count);

}  // namespace tidewick
