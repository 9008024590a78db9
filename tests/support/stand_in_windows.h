// Stand-ins for the windows around the one a test is about, registered under the real windows'
// form names: a window under test meets them only through the runtime (hand-over, give-back,
// lookup by name), so they need no more than a name and, for the registry manager, its way
// back.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

#include <memory>

namespace tidewick::stand_in {

// The main window as far as the cleaners need it: the window that hands over to them and is
// given control back.
class StandInMain final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_first";
  explicit StandInMain(ui::Application& app) : ui::Form(app, kFormName) {}

 protected:
  void InitializeComponent() override { SetCaption("Tidewick v3.1"); }
};

// The registry manager as far as the computer cleaner meets it: opened by the hand-over, it
// unloads and gives control back when "Ok" is pressed.
class StandInRegistryManager final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_RM";
  explicit StandInRegistryManager(ui::Application& app) : ui::Form(app, kFormName, ui::WayBack::Unload) {
    btn_okk.Click = [this] { App().GiveBack(*this); };
  }
  ui::CommandButton btn_okk{*this, "btn_okk"};

 protected:
  void InitializeComponent() override { btn_okk.SetCaption("Ok"); }
};

// Registers form class F under its form name.
template <class F>
void Register(ui::Application& app) {
  app.Register(F::kFormName, [](ui::Application& a) { return std::make_unique<F>(a); });
}

}  // namespace tidewick::stand_in
