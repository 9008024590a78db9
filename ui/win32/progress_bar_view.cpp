// A progress bar: a msctls_progress32 window showing the model's range and value.
#include "ui/win32/views.h"

#include <commctrl.h>

namespace tidewick::ui {
namespace {

class ProgressBarView final : public ViewOf<ProgressBar> {
 public:
  using ViewOf::ViewOf;

  WindowSpec Spec() const override { return {PROGRESS_CLASSW, 0, 0, {}}; }

  void Created() override {
    ShowRange();
    ShowValue();
  }

  void Apply(Property property) override {
    if (property == Property::Range) ShowRange();
    if (property == Property::Value) ShowValue();
  }

 private:
  void ShowRange() {
    SendMessageW(Window(), PBM_SETRANGE32, static_cast<WPARAM>(control_.Minimum()),
                 static_cast<LPARAM>(control_.Maximum()));
  }
  void ShowValue() { SendMessageW(Window(), PBM_SETPOS, static_cast<WPARAM>(control_.Value()), 0); }
};

}  // namespace

std::unique_ptr<ControlView> MakeProgressBarView(ProgressBar& bar, ViewHost& host) {
  return std::make_unique<ProgressBarView>(bar, host);
}

}  // namespace tidewick::ui
