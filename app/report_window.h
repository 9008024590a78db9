// The report window ("Report | Tidewick v3.1"): what this run of the program changed, from the
// journal of changes, as read-only text with the newest command last; "Copy" puts the text on
// the clipboard, "Save As..." writes it to a text file the user chooses, "Undo Registry
// Changes" puts the registry values this run changed back as they were, and "Ok" (also Enter,
// Esc and the close box) gives control back to the window that opened it.
//
// Opened by the hand-over from the "Extra" menu of the cleaners ("Report Of Changes...").
// Every opening reads the journal afresh. Saving and undoing are commands of their own, so
// they are in the report too.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

#include <string>

namespace tidewick {

class frm_report final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_report";
  // The menu item of the cleaners that opens this window.
  static constexpr const char* kMenuCaption = "Report Of Changes...";
  // The name the save dialog offers.
  static constexpr const char* kSuggestedFileName = "Tidewick report.txt";

  explicit frm_report(ui::Application& app);

  ui::TextBox txt_report{*this, "txt_report"};  // the report, read-only
  ui::CommandButton btn_copy{*this, "btn_copy"};  // "Copy"
  ui::CommandButton btn_save{*this, "btn_save"};  // "Save As..."
  ui::CommandButton btn_undo{*this, "btn_undo"};  // "Undo Registry Changes"
  ui::CommandButton btn_ok{*this, "btn_ok"};      // "Ok"

  void btn_copy_Click();
  void btn_save_Click();
  void btn_undo_Click();
  void btn_ok_Click();

 protected:
  void InitializeComponent() override;
  void Form_Load() override;
  void Form_Unload() override;

 private:
  // The report as the journal holds it now.
  std::string CurrentText() const;
  void ShowCurrentText();
};

}  // namespace tidewick
