#include "app/forms.h"

#include "app/info_windows.h"
#include "app/main_window.h"
#include "app/report_window.h"
#include "computer_cleaner/frm_auto.h"
#include "computer_cleaner/frm_c.h"
#include "drive_cleaner/frm_lnk.h"
#include "drive_cleaner/frm_rd.h"
#include "drive_cleaner/frm_restore.h"
#include "registry_manager/frm_RM.h"
#include "ui/form.h"

#include <memory>

namespace tidewick {

namespace {

template <class F>
void Add(ui::Application& app) {
  app.Register(F::kFormName, [](ui::Application& a) { return std::make_unique<F>(a); });
}

}  // namespace

void RegisterForms(ui::Application& app) {
  // The application shell: the main window and the information windows.
  Add<frm_first>(app);
  Add<frm_help>(app);
  Add<frm_h>(app);
  Add<frm_about>(app);
  Add<frm_u>(app);

  // The cleaners, opened from the main window by name ("frm_rd", "frm_c"), and the registry
  // manager, opened from the computer cleaner ("frm_RM").
  Add<frm_rd>(app);
  Add<frm_c>(app);
  Add<frm_RM>(app);
  // The drive cleaner's windows about the scanned stick, opened from its "Extra" menu.
  Add<frm_lnk>(app);
  Add<frm_restore>(app);
  // Every other autostart entry, opened from the computer cleaner's "Extra" menu.
  Add<frm_auto>(app);
  // The report of changes, opened from the cleaners' "Extra" menus.
  Add<frm_report>(app);
}

}  // namespace tidewick
