#include "registry_manager/frm_RM.h"

#include "app/info_windows.h"  // frm_help, the help picture of the application shell: its name only
#include "platform/Function.h"
#include "platform/journal.h"
#include "platform/platform_operations.h"
#include "platform/product.h"
#include "platform/registry_paths.h"

#include <cstdint>
#include <string_view>

namespace tidewick {

namespace {

constexpr std::string_view kHint =
    "Make sure you 'Run As Administrator' before do this. (For windows 7 and vista only)";
constexpr std::string_view kConfirm = "Are you sure to do this?";

// Keys read at load: the keys "Ok" writes (registry_paths.h), without their trailing backslash,
// all under Root::CurrentUser.
constexpr std::string_view kReadSystemPolicies = regpath::WithoutTrailingBackslash(regpath::kSystemPolicies);
constexpr std::string_view kReadExplorerPolicies = regpath::WithoutTrailingBackslash(regpath::kExplorerPolicies);
constexpr std::string_view kReadCmdPolicy = regpath::WithoutTrailingBackslash(regpath::kCommandPromptPolicy);
constexpr std::string_view kReadAdvanced = regpath::WithoutTrailingBackslash(regpath::kAdvanced);

// One value written for a box: the data when the box is checked and when it is not.
struct SettingWrite {
  Handle root;
  std::string_view key;
  std::string_view value;
  std::int32_t checked;
  std::int32_t unchecked;
};

constexpr SettingWrite kNoRegistryEditor[] = {
    {Root::CurrentUser, regpath::kSystemPolicies, "DisableRegistryTools", 1, 0},
    {Root::LocalMachine, regpath::kMachineSystemPolicies, "DisableRegistryTools", 1, 0},
};
constexpr SettingWrite kHideFolderOptions[] = {
    {Root::CurrentUser, regpath::kExplorerPolicies, "NoFolderOptions", 1, 0},
    {Root::LocalMachine, regpath::kExplorerPolicies, "NoFolderOptions", 1, 0},
};
constexpr SettingWrite kDisableCmd[] = {
    {Root::CurrentUser, regpath::kCommandPromptPolicy, "DisableCMD", 1, 0},
};
constexpr SettingWrite kNoTaskManager[] = {
    {Root::CurrentUser, regpath::kSystemPolicies, "DisableTaskMgr", 1, 0},
    {Root::LocalMachine, regpath::kMachineSystemPolicies, "DisableTaskMgr", 1, 0},
};
constexpr SettingWrite kShowHiddenFiles[] = {
    {Root::CurrentUser, regpath::kAdvanced, "SuperHidden", 0, 1},
    {Root::CurrentUser, regpath::kAdvanced, "Hidden", 1, 0},
    {Root::CurrentUser, regpath::kAdvanced, "ShowSuperHidden", 1, 0},
    {Root::LocalMachine, regpath::kShowAll, "CheckedValue", 1, 1},
};
constexpr SettingWrite kShowExtensions[] = {
    {Root::CurrentUser, regpath::kAdvanced, "HideFileExt", 0, 1},
};

// Writes every value of one box. Each write stands alone: a refused one (Root::LocalMachine
// without administrator rights) leaves its value as it was and the next one still runs.
template <std::size_t N>
void WriteBox(Function& fn, const ui::CheckBox& box, const SettingWrite (&writes)[N]) {
  const bool checked = box.Value() == 1;
  for (const SettingWrite& w : writes) fn.SetRegDword(w.root, w.key, w.value, checked ? w.checked : w.unchecked);
}

}  // namespace

frm_RM::frm_RM(ui::Application& app) : ui::Form(app, kFormName, ui::WayBack::Unload) {
  btn_okk.Click = [this] { btn_okk_Click(); };
  btn_zx.Click = [this] { btn_zx_Click(); };
  RM_f_back.Click = [this] { RM_f_back_Click(); };
  RM_f_exit.Click = [this] { RM_f_exit_Click(); };
  RM_h_htraa.Click = [this] { RM_h_htraa_Click(); };
}

void frm_RM::InitializeComponent() {
  auto& style = MutableStyle();
  style.border = ui::BorderStyle::FixedSingle;
  style.minButton = false;
  style.maxButton = false;
  style.closeBox = true;
  style.position = ui::StartPosition::CenterScreen;
  style.clientWidth = 3795;
  style.clientHeight = 3090;
  SetCaption("Registry Manager");

  fme_RM.SetCaption("Registry Manager");
  fme_RM.SetPosition({240, 135, 3285, 2040});

  // One column inside the frame, as wide as the frame leaves room for.
  struct Box {
    ui::CheckBox& box;
    const char* caption;
    int top;
  };
  const Box boxes[] = {
      {chk_NRE, "No Registry Editor", 390},
      {chk_DCMD, "Disable CMD", 660},
      {chk_HFO, "Hide Folder Options (XP)", 930},
      {chk_NTM, "No Task Manager", 1200},
      {chk_SHFF, "Show Hidden File And Folder", 1470},
      {chk_SE, "Show Extentions", 1740},
  };
  int tab = 0;
  for (const Box& b : boxes) {
    b.box.SetCaption(b.caption);
    b.box.SetPosition({420, b.top, 2925, 255});
    b.box.SetContainer(&fme_RM);
    b.box.SetTabIndex(tab++);
  }

  btn_zx.SetCaption("Cancel");
  btn_zx.SetPosition({1290, 2400, 1000, 375});
  btn_zx.SetTabIndex(tab++);

  btn_okk.SetCaption("Ok");
  btn_okk.SetPosition({2490, 2400, 1000, 375});
  btn_okk.SetTabIndex(tab++);

  fme_RM.SetTabIndex(tab++);

  RM_f_0.SetCaption("File");
  RM_f_back.SetCaption("Back");
  RM_f_s0.SetCaption("-");
  RM_f_exit.SetCaption("Exit");
  RM_h.SetCaption("Help");
  RM_h_htraa.SetCaption("How To 'Run As Administrator'?");
}

void frm_RM::Form_Load() {
  SetCaption(WindowTitle("Registry Manager"));
  Os().MsgBox(kHint, MsgStyle::Information);
  ReadSettings();
}

void frm_RM::ReadSettings() {
  Function fn(Os());
  auto isOne = [&fn](std::string_view key, std::string_view value) {
    return fn.GetRegValue(Root::CurrentUser, key, value).IsOne();
  };
  chk_DCMD.SetValue(isOne(kReadCmdPolicy, "DisableCMD") ? 1 : 0);
  chk_NRE.SetValue(isOne(kReadSystemPolicies, "DisableRegistryTools") ? 1 : 0);
  chk_HFO.SetValue(isOne(kReadExplorerPolicies, "NoFolderOptions") ? 1 : 0);
  chk_SE.SetValue(isOne(kReadAdvanced, "HideFileExt") ? 0 : 1);
  chk_SHFF.SetValue(isOne(kReadAdvanced, "Hidden") ? 1 : 0);
  chk_NTM.SetValue(isOne(kReadSystemPolicies, "DisableTaskMgr") ? 1 : 0);
}

void frm_RM::btn_okk_Click() {
  if (Os().MsgBox(kConfirm, MsgStyle::YesNoQuestion) != Answer::Yes) return;
  const std::uint64_t opening = LoadGeneration();
  {
    CommandScope command(App().Journal(), "Registry Manager");
    WriteSettings();
  }
  Os().DoEvents();
  // A Cancel or a close that was waiting has been handled by the pump and has returned already;
  // a window opened again meanwhile is a new opening, not this one's to leave.
  if (IsCurrentLoad(opening)) App().GiveBack(*this);
}

void frm_RM::WriteSettings() {
  Function fn(Os());
  WriteBox(fn, chk_NRE, kNoRegistryEditor);
  WriteBox(fn, chk_HFO, kHideFolderOptions);
  WriteBox(fn, chk_DCMD, kDisableCmd);
  WriteBox(fn, chk_NTM, kNoTaskManager);
  WriteBox(fn, chk_SHFF, kShowHiddenFiles);
  WriteBox(fn, chk_SE, kShowExtensions);
}

// Unloads this window and gives control back to frm_c, which opened it: once per opening,
// however leaving starts (a button, the menu, the close box, or several of them at once).
void frm_RM::btn_zx_Click() { App().GiveBack(*this); }

void frm_RM::RM_f_back_Click() { btn_zx_Click(); }

void frm_RM::Form_Unload() { btn_zx_Click(); }

void frm_RM::RM_f_exit_Click() { Os().EndProgram(); }

void frm_RM::RM_h_htraa_Click() {
  ui::Form& help = App().Get(frm_help::kFormName);
  help.SetOwnerForm(this);
  help.Show();
}

}  // namespace tidewick
