// A label: a STATIC text. A label with a Click acts like a link: a click runs it and the
// pointer over it is a hand.
#include "ui/win32/views.h"

#include "platform/win32/win32_text.h"

#include <commctrl.h>

namespace tidewick::ui {
namespace {

DWORD AlignmentStyle(Label::Align alignment) {
  switch (alignment) {
    case Label::Align::Right: return SS_RIGHT;
    case Label::Align::Center: return SS_CENTER;
    case Label::Align::Left: break;
  }
  return SS_LEFT;
}

class LabelView final : public ViewOf<Label> {
 public:
  using ViewOf::ViewOf;

  WindowSpec Spec() const override {
    // SS_NOTIFY: clicks for link labels, mouse messages for tooltips.
    return {WC_STATICW, SS_NOTIFY | SS_NOPREFIX | AlignmentStyle(control_.Alignment()), 0,
            win32::Widen(control_.Caption())};
  }

  void Apply(Property property) override {
    if (property == Property::Caption) {
      SetText(Window(), control_.Caption());
    } else if (property == Property::Style) {
      const LONG_PTR style = GetWindowLongPtrW(Window(), GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
      SetWindowLongPtrW(Window(), GWL_STYLE, style | static_cast<LONG_PTR>(AlignmentStyle(control_.Alignment())));
      InvalidateRect(Window(), nullptr, TRUE);
    }
  }

  void OnCommand(int code) override {
    if ((code != STN_CLICKED && code != STN_DBLCLK) || !control_.Click) return;
    Label* label = &control_;
    SkipOnError([label] { label->Click(); });
  }

  bool OnSetCursor() override {
    if (!control_.Click || !Host().PersonMayAct(control_)) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
  }
};

}  // namespace

std::unique_ptr<ControlView> MakeLabelView(Label& label, ViewHost& host) {
  return std::make_unique<LabelView>(label, host);
}

}  // namespace tidewick::ui
