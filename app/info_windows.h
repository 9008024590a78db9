// The information windows: the help picture (frm_help), the version history (frm_h), the
// about window (frm_about) and the update window (frm_u), which nothing opens.
//
// frm_h, frm_about and frm_u are opened by the main window's hand-over and give control back to
// it: they hide themselves, then enable and show the main window. frm_help is shown over the
// window that opened it, which stays usable; its "Back" only hides it. Closing any of them
// with the close box does what its button does, and the window is then unloaded.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

#include <string_view>

namespace tidewick {

// The version history shown by frm_h: six blocks, newest first, lines ending in CR LF.
std::string_view HistoryText();
// The thanks list of frm_about: one line per helper, "name [tag] (help)", lines in CR LF.
std::string_view ThanksText();

class frm_help final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_help";
  explicit frm_help(ui::Application& app);

  ui::Frame frmeeddf{*this, "frmeeddf"};        // frame around the picture, titled like the window
  ui::Picture Picturedcd{*this, "Picturedcd"};  // the picture of how to run a program as administrator
  ui::CommandButton btn_ok{*this, "btn_ok"};    // "Back": hides this window

  void btn_ok_Click();

 protected:
  void InitializeComponent() override;
  void Form_Load() override;
  void Form_Unload() override;
};

class frm_h final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_h";
  explicit frm_h(ui::Application& app);

  ui::TextBox txt1{*this, "txt1"};          // the version history, read-only
  ui::CommandButton btn_k{*this, "btn_k"};  // "Ok": back to the main window

  void btn_k_Click();

 protected:
  void InitializeComponent() override;
  void Form_Load() override;
  void Form_Unload() override;
};

class frm_about final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_about";
  explicit frm_about(ui::Application& app);

  ui::Picture Image1{*this, "Image1"};          // the product's emblem
  ui::Label lbl_0{*this, "lbl_0"};              // the product name, a link to the authors' page
  ui::Label lbl_version{*this, "lbl_version"};  // "v3.1", a link to the download page
  ui::Label Label2{*this, "Label2"};            // the authors, a link to their page
  ui::Label Label12345{*this, "Label12345"};    // "Thanks To:", the heading of the thanks list
  ui::TextBox txtThx{*this, "txtThx"};          // the thanks list, read-only
  ui::CommandButton btn_ok{*this, "btn_ok"};    // "Ok": back to the main window

  void btn_ok_Click();
  void lbl_0_Click();
  void Label2_Click();
  void lbl_version_Click();

 protected:
  void InitializeComponent() override;
  void Form_Load() override;
  void Form_Unload() override;
};

class frm_u final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_u";
  explicit frm_u(ui::Application& app);

  ui::CommandButton btn_done{*this, "btn_done"};  // "Done": back to the main window

  void btn_done_Click();

 protected:
  void InitializeComponent() override;
  void Form_Unload() override;
};

}  // namespace tidewick
