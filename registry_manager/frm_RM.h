// The registry manager window: six system settings as check boxes.
//
// Opened from the computer cleaner's "Registry Manager" item, which disables and hides frm_c
// first. Loading reads the six settings from Root::CurrentUser into the boxes; "Ok" writes the
// state of every box back (with the Root::LocalMachine copies where they exist). Every way out
// unloads this window and gives control back to frm_c, so each opening reads afresh.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

namespace tidewick {

class frm_RM final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_RM";

  explicit frm_RM(ui::Application& app);

  ui::Frame fme_RM{*this, "fme_RM"};            // frame "Registry Manager" around the six boxes
  ui::CheckBox chk_NRE{*this, "chk_NRE"};       // "No Registry Editor"
  ui::CheckBox chk_DCMD{*this, "chk_DCMD"};     // "Disable CMD"
  ui::CheckBox chk_HFO{*this, "chk_HFO"};       // "Hide Folder Options (XP)"
  ui::CheckBox chk_NTM{*this, "chk_NTM"};       // "No Task Manager"
  ui::CheckBox chk_SHFF{*this, "chk_SHFF"};     // "Show Hidden File And Folder"
  ui::CheckBox chk_SE{*this, "chk_SE"};         // "Show Extentions"
  ui::CommandButton btn_zx{*this, "btn_zx"};    // "Cancel": back to frm_c without writing
  ui::CommandButton btn_okk{*this, "btn_okk"};  // "Ok": writes every box, then back to frm_c

  ui::MenuItem RM_f_0{*this, "RM_f_0"};                 // menu "File"
  ui::MenuItem RM_f_back{*this, "RM_f_back", &RM_f_0};  // "Back", as Cancel
  ui::MenuItem RM_f_s0{*this, "RM_f_s0", &RM_f_0};      // separator
  ui::MenuItem RM_f_exit{*this, "RM_f_exit", &RM_f_0};  // "Exit"
  ui::MenuItem RM_h{*this, "RM_h"};                     // menu "Help"
  ui::MenuItem RM_h_htraa{*this, "RM_h_htraa", &RM_h};  // "How To 'Run As Administrator'?" (frm_help)

  void btn_okk_Click();
  void btn_zx_Click();
  void RM_f_back_Click();
  void RM_f_exit_Click();
  void RM_h_htraa_Click();

 protected:
  void InitializeComponent() override;
  void Form_Load() override;
  void Form_Unload() override;

 private:
  void ReadSettings();
  void WriteSettings();
};

}  // namespace tidewick
