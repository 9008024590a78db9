// A check box: a BUTTON check box drawn in the form's colours. A click toggles the model's
// value, which raises Click; the model's value is what the box shows.
#include "ui/win32/views.h"

#include "platform/win32/win32_text.h"

#include <commctrl.h>

namespace tidewick::ui {
namespace {

class CheckBoxView final : public ViewOf<CheckBox> {
 public:
  using ViewOf::ViewOf;

  WindowSpec Spec() const override {
    return {WC_BUTTONW, BS_CHECKBOX | WS_TABSTOP, 0, win32::Widen(control_.Caption())};
  }

  void Created() override {
    WithoutVisualStyle(Window());
    ShowValue();
  }

  void Apply(Property property) override {
    if (property == Property::Caption) SetText(Window(), control_.Caption());
    if (property == Property::Value) ShowValue();
  }

  void OnCommand(int code) override {
    if (code != BN_CLICKED) return;
    CheckBox* box = &control_;
    SkipOnError([box] { box->SetValue(box->Value() == 1 ? 0 : 1); });
  }

 private:
  void ShowValue() { SendMessageW(Window(), BM_SETCHECK, control_.Value() == 1 ? BST_CHECKED : BST_UNCHECKED, 0); }
};

}  // namespace

std::unique_ptr<ControlView> MakeCheckBoxView(CheckBox& box, ViewHost& host) {
  return std::make_unique<CheckBoxView>(box, host);
}

}  // namespace tidewick::ui
