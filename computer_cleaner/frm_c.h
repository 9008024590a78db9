// The computer-cleaner window ("Computer"): finds the autostart values of the current user that
// start a program lying in the user's profile folder, lists the executable-named entries of that
// folder beside them, and ends, deletes and unregisters what the user marks.
//
// Each line of the malware list keeps its three fields (profile entry, value name, value data)
// beside the text it shows; the deletion works from those fields and never takes the displayed
// text apart again. A line leads to a file deletion only when the program its value names
// (the whole data, or the program of a command line) is the very profile entry that the line
// was found for; any other file stays and only the value goes. Only processes whose image is
// that profile entry are ended, never a namesake running from elsewhere.
#pragma once

#include "computer_cleaner/script_hosts.h"
#include "platform/Function.h"
#include "platform/platform_operations.h"
#include "ui/controls.h"
#include "ui/form.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick {

// The program that a command line starts, read as Windows reads it: the first token in quotes,
// or the text up to the first blank after a name ending in ".exe" (or the whole line when it
// ends there). No answer when the line names no such program.
std::optional<std::string> ProgramOfCommandLine(std::string_view commandLine);

// Whether `path` is absolute (a drive letter and ":\", or a "\\" network or device path).
bool IsAbsolutePath(std::string_view path);

class frm_c final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_c";

  // The fields each malware line keeps: the profile entry's name, the value's name as stored
  // (empty for the key's unnamed value) and the value's text data.
  enum MalwareField { kEntryName = 0, kValueName = 1, kValueData = 2 };

  // How long the deletion of an autostart program keeps trying while the file stays, and the
  // pause between two attempts (the window is served during the pauses).
  static constexpr std::uint32_t kRetryLimitMs = 3000;
  static constexpr std::uint32_t kRetryPauseMs = 250;
  // Time given to the kill tool before a file is deleted.
  static constexpr std::uint32_t kKillWaitMs = 1000;
  // The enabling rules run on every change of a list; the timer is only a slow safety net.
  static constexpr std::uint32_t kRulesTimerInterval = 1000;

  explicit frm_c(ui::Application& app);

  // ---- Controls ----
  ui::Frame Framenufgis{*this, "Framenufgis"};      // frame "Main", behind Scan, Back and Delete
  ui::CommandButton btn_scan{*this, "btn_scan"};    // "Scan"
  ui::CommandButton btn_x{*this, "btn_x"};          // "Back": leaves the window
  ui::CommandButton btn_d{*this, "btn_d"};          // "Delete"
  ui::Frame frameM{*this, "frameM"};                // frame "Malware:" of the malware list
  ui::CheckList lst_V{*this, "lst_V"};              // malware lines
  ui::CommandButton btn_c_ma{*this, "btn_c_ma"};    // "Select All" of the malware list
  ui::CommandButton btn_c_uma{*this, "btn_c_uma"};  // "Deselect All" of the malware list
  ui::CommandButton btn_c_r{*this, "btn_c_r"};      // "Refresh" of the malware list
  ui::Frame Frame{*this, "Frame"};                  // frame of the profile list
  ui::CheckList lst_P{*this, "lst_P"};              // executable-named profile entries
  ui::CommandButton btn_Esa{*this, "btn_Esa"};      // "Select All" of the profile list
  ui::CommandButton btn_Edsa{*this, "btn_Edsa"};    // "Deselect All" of the profile list
  ui::CommandButton btn_Er{*this, "btn_Er"};        // "Refresh" of the profile list
  ui::Timer T2{*this, "T2"};                        // safety timer of the enabling rules

  // ---- Menus ----
  ui::MenuItem f_2{*this, "f_2"};                 // menu "File"
  ui::MenuItem f2_Back{*this, "f2_Back", &f_2};   // "Back"
  ui::MenuItem f2_1{*this, "f2_1", &f_2};         // separator
  ui::MenuItem f2_Exit{*this, "f2_Exit", &f_2};   // "Exit"
  ui::MenuItem ex_0{*this, "ex_0"};               // menu "Extra"
  ui::MenuItem ex_fReg{*this, "ex_fReg", &ex_0};  // "Registry Manager" (frm_RM)
  ui::MenuItem ex_auto{*this, "ex_auto", &ex_0};  // "Other Autostart Entries..." (frm_auto)
  ui::MenuItem ex_block{*this, "ex_block", &ex_0};  // "Block Script Worms For This User", checked while on
  ui::MenuItem ex_report{*this, "ex_report", &ex_0};  // "Report Of Changes..." (frm_report)

  // ---- Handlers ----
  void btn_scan_Click();
  void btn_d_Click();
  void btn_c_ma_Click();
  void btn_c_uma_Click();
  void btn_c_r_Click();
  void btn_Esa_Click();
  void btn_Edsa_Click();
  void btn_Er_Click();
  void T2_Timer();
  void btn_x_Click();
  void f2_Back_Click();
  void f2_Exit_Click();
  void ex_fReg_Click();
  void ex_report_Click();
  void ex_auto_Click();
  void ex_block_Click();

  // Whether a deletion is under way (its waits serve the window meanwhile).
  bool Deleting() const { return deleting_; }

 protected:
  void InitializeComponent() override;
  void Form_Load() override;
  void Form_Unload() override;

 private:
  class DeletionScope;

  // ---- Detection ----
  void FillMalwareList();
  void CheckRunKey(Handle root, std::string_view subKey, const std::string& name);
  void AddMatchingRunValues(Handle root, std::string_view subKey, const std::string& name);
  void FillProfileList();
  // The names of the profile folder's entries that contain ".exe"; none when the profile
  // folder cannot be determined.
  std::vector<std::string> ExecutableProfileEntries();

  // ---- Deletion ----
  // False when the command must end at once (kill tool missing, window left meanwhile).
  bool DeleteProfileEntries(bool& succeeded);
  bool DeleteAutostartEntries();
  // The profile folder joined with a profile entry's name: the file a line of either list
  // stands for. Empty when the profile folder cannot be learned.
  std::string ProfileProgram(const std::string& entryName);
  // Ends the processes running from that file (none when there is no profile folder).
  void EndProfileProgram(const std::string& entryName);
  // The file that the deletion of one malware line removes: the program its value names when
  // that is the line's own profile entry, else none.
  std::string AutostartProgramFile(const std::string& entryName, const std::string& valueData);
  // Whether the kill tool lies in the current folder; when it does not, the user is told so.
  bool KillToolAtHand();
  // Deletes the program file of an autostart line, trying again for a while as long as it
  // stays and ending what runs from it again. False when the window was left meanwhile, that
  // is when the load numbered `opening` is no longer the current one (the close box and Exit
  // stay usable while a deletion waits).
  bool DeleteWithRetry(const std::string& file, std::uint64_t opening);

  void ApplyEnablingRules();
  // The suspicious entries of every autostart place that the malware list does not show.
  int OtherSuspiciousEntries();

  Function fn_;  // owned; it borrows the platform of the application
  bool scanned_ = false;  // the Refresh buttons are usable once a scan ran
  bool deleting_ = false;
  ScriptHostSwitch scriptHosts_;  // what the script hosts' setting was before this run blocked them
};

}  // namespace tidewick
