// The main window, frm_first: the start-up window and the hub of the program.
//
// Its load handler is the start-up sequence: title and version label, "Update" greyed, a second
// instance ended silently, and the check for the kill tool. From here the two cleaners and the
// history and about windows are opened by the hand-over (this window disables and hides itself
// until the other one returns); the help picture is shown over it. Closing it, or "Exit", ends
// the program.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

#include <string_view>

namespace tidewick {

class frm_first final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_first";
  // Asked when the kill tool is missing from the current folder.
  static constexpr std::string_view kKillToolMissing =
      "Some file not found. Button 'computer' has been disable. Are you sure to download new version?";

  explicit frm_first(ui::Application& app);

  ui::CommandButton btn_rd{*this, "btn_rd"};  // "Pen Drive": opens the drive cleaner
  ui::CommandButton btn_c{*this, "btn_c"};    // "Computer": opens the computer cleaner
  ui::Label lbl_V{*this, "lbl_V"};            // the version, a link to the download page
  ui::Label Label1{*this, "Label1"};          // the credit line, a link to the authors' page

  ui::MenuItem file_0{*this, "file_0"};                         // menu "File"
  ui::MenuItem file_1{*this, "file_1", &file_0};                // "Exit"
  ui::MenuItem help_0{*this, "help_0"};                         // menu "Help"
  ui::MenuItem h_iii{*this, "h_iii", &help_0};                  // information about the virus (web page)
  ui::MenuItem frmfist_htraa{*this, "frmfist_htraa", &help_0};  // "How To 'Run As Administrator'?" (frm_help)
  ui::MenuItem h_1xxx{*this, "h_1xxx", &help_0};                // "How To Use This Program?" (web page)
  ui::MenuItem help_0a{*this, "help_0a", &help_0};              // separator
  ui::MenuItem help_his{*this, "help_his", &help_0};            // "History" (frm_h)
  ui::MenuItem help_3{*this, "help_3", &help_0};                // "Update" (frm_u), always greyed
  ui::MenuItem help_d{*this, "help_d", &help_0};                // "Download new version" (web page)
  ui::MenuItem help_0b{*this, "help_0b", &help_0};              // separator
  ui::MenuItem help_comment{*this, "help_comment", &help_0};    // "Comment About This Program" (web page)
  ui::MenuItem help_2{*this, "help_2", &help_0};                // "About" (frm_about)

  void btn_rd_Click();
  void btn_c_Click();
  void help_his_Click();
  void help_2_Click();
  void help_3_Click();
  void frmfist_htraa_Click();
  void help_d_Click();
  void lbl_V_Click();
  void h_iii_Click();
  void h_1xxx_Click();
  void help_comment_Click();
  void Label1_Click();
  void file_1_Click();

 protected:
  void InitializeComponent() override;
  void Form_Load() override;
  void Form_Unload() override;

 private:
  // A second instance: every loaded window is unloaded in load order; this window's unload
  // ends the program.
  void EndSecondInstance();
  void CheckKillTool();
};

}  // namespace tidewick
