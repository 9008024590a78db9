// A command button: a BUTTON push button; a click runs Click.
#include "ui/win32/views.h"

#include "platform/win32/win32_text.h"

#include <commctrl.h>

namespace tidewick::ui {
namespace {

class ButtonView final : public ViewOf<CommandButton> {
 public:
  using ViewOf::ViewOf;

  // The default button (pressed by Enter) has the heavier border.
  WindowSpec Spec() const override {
    return {WC_BUTTONW, static_cast<DWORD>(Look()) | WS_TABSTOP, 0, win32::Widen(control_.Caption())};
  }

  void Apply(Property property) override {
    if (property == Property::Caption) SetText(Window(), control_.Caption());
    if (property == Property::Style) SendMessageW(Window(), BM_SETSTYLE, Look(), TRUE);
  }

  void OnCommand(int code) override {
    if (code != BN_CLICKED || !control_.Click) return;
    CommandButton* button = &control_;
    SkipOnError([button] { button->Click(); });
  }

 private:
  WPARAM Look() const { return control_.Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON; }
};

}  // namespace

std::unique_ptr<ControlView> MakeButtonView(CommandButton& button, ViewHost& host) {
  return std::make_unique<ButtonView>(button, host);
}

}  // namespace tidewick::ui
