#include "app/main_window.h"

#include "app/info_windows.h"
#include "app/web_pages.h"
#include "computer_cleaner/frm_c.h"
#include "drive_cleaner/frm_rd.h"
#include "platform/Function.h"
#include "platform/platform_operations.h"
#include "platform/product.h"
#include "platform/skip_on_error.h"

#include <vector>

namespace tidewick {

frm_first::frm_first(ui::Application& app) : ui::Form(app, kFormName) {
  btn_rd.Click = [this] { btn_rd_Click(); };
  btn_c.Click = [this] { btn_c_Click(); };
  lbl_V.Click = [this] { lbl_V_Click(); };
  Label1.Click = [this] { Label1_Click(); };
  file_1.Click = [this] { file_1_Click(); };
  h_iii.Click = [this] { h_iii_Click(); };
  frmfist_htraa.Click = [this] { frmfist_htraa_Click(); };
  h_1xxx.Click = [this] { h_1xxx_Click(); };
  help_his.Click = [this] { help_his_Click(); };
  help_3.Click = [this] { help_3_Click(); };
  help_d.Click = [this] { help_d_Click(); };
  help_comment.Click = [this] { help_comment_Click(); };
  help_2.Click = [this] { help_2_Click(); };
}

void frm_first::InitializeComponent() {
  auto& style = MutableStyle();
  style.border = ui::BorderStyle::FixedSingle;
  style.minButton = true;
  style.maxButton = false;
  style.closeBox = true;
  style.showInTaskbar = true;
  style.position = ui::StartPosition::CenterScreen;
  style.clientWidth = 4560;
  style.clientHeight = 1920;
  SetCaption(std::string(kProductName));

  btn_rd.SetCaption("Pen Drive");
  btn_rd.SetTooltip("Example: pen drive, thum drive, etc");
  btn_rd.SetPosition({713, 713, 1455, 495});
  btn_rd.SetTabIndex(0);

  btn_c.SetCaption("Computer");
  btn_c.SetTooltip("For computer only");
  btn_c.SetPosition({2513, 713, 1335, 495});
  btn_c.SetTabIndex(1);

  // Right-aligned and wider to the left than the classic 330 twips, so "v3.1" also fits in
  // fonts wider than Tahoma; its right edge stays at 4455.
  lbl_V.SetTooltip("Click to download new version");
  lbl_V.SetAlignment(ui::Label::Align::Right);
  lbl_V.SetPosition({4005, 1650, 450, 195});
  lbl_V.SetTabIndex(2);

  Label1.SetCaption("By the Tidewick project");
  Label1.SetTooltip("Press it");
  Label1.SetPosition({120, 1680, 2400, 195});  // wide enough for the whole credit line
  Label1.SetTabIndex(3);

  file_0.SetCaption("File");
  file_1.SetCaption("Exit");
  help_0.SetCaption("Help");
  h_iii.SetCaption("Infomation About 'Shortcut Virus'");
  frmfist_htraa.SetCaption("How To 'Run As Administrator'?");
  h_1xxx.SetCaption("How To Use This Program?");
  help_0a.SetCaption("-");
  help_his.SetCaption("History");
  help_3.SetCaption("Update");
  help_d.SetCaption("Download new version");
  help_0b.SetCaption("-");
  help_comment.SetCaption("Comment About This Program");
  help_2.SetCaption("About");
}

// The start-up sequence. Each step stands alone: one that fails is skipped without a word.
void frm_first::Form_Load() {
  SkipOnError([&] { SetCaption(ProductTitle()); });
  SkipOnError([&] { lbl_V.SetCaption(VersionLabel()); });
  SkipOnError([&] { help_3.SetEnabled(false); });
  SkipOnError([&] {
    if (Os().PrevInstance()) EndSecondInstance();
  });
  SkipOnError([&] { CheckKillTool(); });
}

void frm_first::EndSecondInstance() {
  const std::vector<ui::Form*> loaded = App().LoadedForms();
  for (ui::Form* form : loaded) form->Unload();
}

void frm_first::CheckKillTool() {
  if (Os().PathFileExistsA(kKillToolFile)) return;
  if (Os().MsgBox(kKillToolMissing, MsgStyle::YesNoQuestion) == Answer::Yes) {
    OpenPage(Os(), WebPage::Download);
    Os().EndProgram();
  }
  btn_c.SetEnabled(false);
}

void frm_first::Form_Unload() { Os().EndProgram(); }

void frm_first::btn_rd_Click() { App().HandOver<frm_rd>(*this); }

void frm_first::btn_c_Click() { App().HandOver<frm_c>(*this); }

void frm_first::help_his_Click() {
  App().Get<frm_h>().SetOwnerForm(this);
  App().HandOver<frm_h>(*this);
}

void frm_first::help_2_Click() { App().HandOver<frm_about>(*this); }

// The item is greyed from load on, so this never runs; the window it would open is kept.
void frm_first::help_3_Click() { App().HandOver<frm_u>(*this); }

void frm_first::frmfist_htraa_Click() {
  ui::Form& help = App().Get<frm_help>();
  help.SetOwnerForm(this);
  help.Show();
}

void frm_first::help_d_Click() { OpenPage(Os(), WebPage::Download); }

void frm_first::lbl_V_Click() { help_d_Click(); }

void frm_first::h_iii_Click() { OpenPage(Os(), WebPage::AboutMalware); }

void frm_first::h_1xxx_Click() { OpenPage(Os(), WebPage::HowTo); }

void frm_first::help_comment_Click() { OpenPage(Os(), WebPage::Comment); }

void frm_first::Label1_Click() { OpenPage(Os(), WebPage::Authors); }

void frm_first::file_1_Click() { Os().EndProgram(); }

}  // namespace tidewick
