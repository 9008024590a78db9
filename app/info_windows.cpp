#include "app/info_windows.h"

#include "app/resources/resource_ids.h"
#include "app/web_pages.h"
#include "platform/product.h"

#include <string>

namespace tidewick {

namespace {

constexpr std::string_view kHistory =
    "[3.1]\r\n"
    "-Computer\r\n"
    "  change design.\r\n"
    "  and more.\r\n"
    "\r\n"
    "-Pen Drive\r\n"
    "  change design.\r\n"
    "  and more.\r\n"
    "\r\n"
    "-Other\r\n"
    "  -fix error.\r\n"
    "\r\n"
    "\r\n"
    "[3.0]\r\n"
    "-Computer\r\n"
    "  add 'Registry Manager' at menu 'Extra'.\r\n"
    "  fix 'Delete' when a file is in use.\r\n"
    "  end the virus before delete it.\r\n"
    "\r\n"
    "-Pen Drive\r\n"
    "  add 'Show all hidden file for this device'.\r\n"
    "  fix 'scan' for long file name.\r\n"
    "  hide system file again after scan.\r\n"
    "\r\n"
    "-Other\r\n"
    "  add 'How To Run As Administrator' at menu.\r\n"
    "  add 'Comment About This Program' at menu.\r\n"
    "\r\n"
    "\r\n"
    "[2.4]\r\n"
    "-Computer\r\n"
    "  repair registry after delete.\r\n"
    "  add 'Refresh' for both list.\r\n"
    "  show autostart name beside file.\r\n"
    "\r\n"
    "-Pen Drive\r\n"
    "  add 'Delete All Virus'.\r\n"
    "  fix 'Refresh' of device list.\r\n"
    "\r\n"
    "\r\n"
    "[2.3]\r\n"
    "-Computer\r\n"
    "  detect virus at start up.\r\n"
    "  fix 'Select All'.\r\n"
    "\r\n"
    "-Pen Drive\r\n"
    "  show hidden folder after scan.\r\n"
    "  fix 'scan' on a card reader without a card.\r\n"
    "\r\n"
    "\r\n"
    "[2.2]\r\n"
    "-Pen Drive\r\n"
    "  add 'Deselect All'.\r\n"
    "  fix 'scan'.\r\n"
    "\r\n"
    "-Other\r\n"
    "  add 'Download new version' at menu.\r\n"
    "  fix small bugs.\r\n"
    "\r\n"
    "\r\n"
    "[2.1]\r\n"
    "-Computer\r\n"
    "  add 'Computer' button.\r\n"
    "  fix 'Back' button.\r\n"
    "\r\n"
    "-Other\r\n"
    "  add 'History' at menu.\r\n";

constexpr std::string_view kThanks =
    "Tidewick team [Tidewick] (code)\r\n"
    "Tidewick team [Tidewick] (testing)\r\n"
    "Tidewick team [Tidewick] (pictures)\r\n"
    "Tidewick users [Tidewick] (bug reports)\r\n";

}  // namespace

std::string_view HistoryText() { return kHistory; }

std::string_view ThanksText() { return kThanks; }

// ---- frm_help --------------------------------------------------------------------------------

frm_help::frm_help(ui::Application& app) : ui::Form(app, kFormName) {
  btn_ok.Click = [this] { btn_ok_Click(); };
}

void frm_help::InitializeComponent() {
  auto& style = MutableStyle();
  style.border = ui::BorderStyle::SizableToolWindow;
  style.minButton = false;
  style.maxButton = false;
  style.closeBox = true;
  style.showInTaskbar = false;
  style.position = ui::StartPosition::CenterOwner;
  style.clientWidth = 7485;
  style.clientHeight = 4335;
  SetCaption("How To 'Run As Administrator'?");

  frmeeddf.SetCaption("How To 'Run As Administrator'?");
  frmeeddf.SetPosition({240, 240, 6975, 3255});

  // 270, 375 within the frame.
  Picturedcd.SetPosition({240 + 270, 240 + 375, 6495, 2640});
  Picturedcd.SetContainer(&frmeeddf);
  Picturedcd.SetResourceId(IDB_HELP_PICTURE);
  Picturedcd.SetPixelSize(438, 170);

  btn_ok.SetCaption("Back");
  btn_ok.SetPosition({5760, 3705, 1455, 375});
  btn_ok.SetTabIndex(0);
}

void frm_help::Form_Load() { SetCaption(WindowTitle("How To 'Run As Administrator'?")); }

// The opener was never disabled or hidden, so hiding is all there is to do.
void frm_help::btn_ok_Click() { Hide(); }

void frm_help::Form_Unload() { btn_ok_Click(); }

// ---- frm_h -----------------------------------------------------------------------------------

frm_h::frm_h(ui::Application& app) : ui::Form(app, kFormName) {
  btn_k.Click = [this] { btn_k_Click(); };
}

void frm_h::InitializeComponent() {
  auto& style = MutableStyle();
  style.border = ui::BorderStyle::FixedSingle;
  style.minButton = false;
  style.maxButton = false;
  style.closeBox = true;
  style.showInTaskbar = true;
  style.position = ui::StartPosition::CenterOwner;
  style.clientWidth = 6030;
  style.clientHeight = 4815;
  SetCaption("History");

  txt1.SetMultiLine(true);
  txt1.SetReadOnly(true);
  txt1.SetVerticalScrollBar(true);
  txt1.SetText(std::string(kHistory));
  txt1.SetPosition({345, 360, 5325, 3660});
  txt1.SetTabIndex(1);

  btn_k.SetCaption("Ok");
  btn_k.SetPosition({4710, 4185, 945, 315});
  btn_k.SetTabIndex(0);
}

void frm_h::Form_Load() { SetCaption(WindowTitle("History")); }

// Hides this window and gives control back to the main window, which opened it.
void frm_h::btn_k_Click() { App().GiveBack(*this); }

void frm_h::Form_Unload() { btn_k_Click(); }

// ---- frm_about -------------------------------------------------------------------------------

frm_about::frm_about(ui::Application& app) : ui::Form(app, kFormName) {
  btn_ok.Click = [this] { btn_ok_Click(); };
  lbl_0.Click = [this] { lbl_0_Click(); };
  Label2.Click = [this] { Label2_Click(); };
  lbl_version.Click = [this] { lbl_version_Click(); };
}

void frm_about::InitializeComponent() {
  auto& style = MutableStyle();
  style.border = ui::BorderStyle::FixedToolWindow;
  style.minButton = false;
  style.maxButton = false;
  style.closeBox = true;
  style.showInTaskbar = false;
  style.position = ui::StartPosition::CenterScreen;
  style.clientWidth = 4395;
  style.clientHeight = 4455;
  SetCaption("About");

  Image1.SetPosition({345, 120, 1365, 1815});
  Image1.SetResourceId(IDB_EMBLEM);
  Image1.SetPixelSize(280, 345);

  lbl_0.SetPosition({2040, 360, 765, 195});
  lbl_version.SetPosition({2040, 720, 750, 195});

  // The authors are a team: the label reaches to the window's right margin to hold its name.
  Label2.SetCaption("Tidewick contributors");
  Label2.SetPosition({2040, 1080, 2235, 195});

  Label12345.SetCaption("Thanks To:");
  Label12345.SetPosition({240, 2145, 1095, 195});

  txtThx.SetMultiLine(true);
  txtThx.SetReadOnly(true);
  txtThx.SetVerticalScrollBar(true);
  txtThx.SetText(std::string(kThanks));
  txtThx.SetPosition({210, 2385, 3990, 1350});
  txtThx.SetTabIndex(1);

  btn_ok.SetCaption("Ok");
  btn_ok.SetPosition({3120, 3945, 1095, 375});
  btn_ok.SetTabIndex(0);
}

void frm_about::Form_Load() {
  lbl_version.SetCaption(VersionLabel());
  lbl_0.SetCaption(std::string(kProductName));
}

void frm_about::btn_ok_Click() { App().GiveBack(*this); }

void frm_about::Form_Unload() { btn_ok_Click(); }

void frm_about::lbl_0_Click() { OpenPage(Os(), WebPage::Authors); }

void frm_about::Label2_Click() { OpenPage(Os(), WebPage::Authors); }

void frm_about::lbl_version_Click() { OpenPage(Os(), WebPage::Download); }

// ---- frm_u -----------------------------------------------------------------------------------

frm_u::frm_u(ui::Application& app) : ui::Form(app, kFormName) {
  btn_done.Click = [this] { btn_done_Click(); };
}

void frm_u::InitializeComponent() {
  auto& style = MutableStyle();
  style.border = ui::BorderStyle::FixedSingle;
  style.position = ui::StartPosition::CenterScreen;
  style.clientWidth = 3600;
  style.clientHeight = 1200;
  SetCaption("Update");

  btn_done.SetCaption("Done");
  btn_done.SetPosition({1200, 420, 1215, 375});
  btn_done.SetTabIndex(0);
}

void frm_u::btn_done_Click() { App().GiveBack(*this); }

void frm_u::Form_Unload() { btn_done_Click(); }

}  // namespace tidewick
