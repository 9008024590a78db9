// A frame: a BUTTON group box drawn in the form's colours, under the controls it groups.
#include "ui/win32/views.h"

#include "platform/win32/win32_text.h"

#include <commctrl.h>

namespace tidewick::ui {
namespace {

class FrameView final : public ViewOf<Frame> {
 public:
  using ViewOf::ViewOf;

  WindowSpec Spec() const override { return {WC_BUTTONW, BS_GROUPBOX, 0, win32::Widen(control_.Caption())}; }

  void Created() override { WithoutVisualStyle(Window()); }

  void Apply(Property property) override {
    if (property == Property::Caption) SetText(Window(), control_.Caption());
  }

  bool LiesUnderOthers() const override { return true; }
};

}  // namespace

std::unique_ptr<ControlView> MakeFrameView(Frame& frame, ViewHost& host) {
  return std::make_unique<FrameView>(frame, host);
}

}  // namespace tidewick::ui
