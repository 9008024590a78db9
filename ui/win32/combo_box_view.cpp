// A drop-down list: a COMBOBOX the user picks from and cannot type into. A choice sets the
// model's ListIndex (read as an index, never as text), which raises Click.
#include "ui/win32/views.h"

#include "platform/win32/win32_text.h"

#include <commctrl.h>

#include <algorithm>

namespace tidewick::ui {
namespace {

class ComboBoxView final : public ViewOf<ComboBox> {
 public:
  using ViewOf::ViewOf;

  WindowSpec Spec() const override { return {WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, {}}; }

  void Created() override { Fill(); }

  void Apply(Property property) override {
    if (property == Property::Items) Fill();
    if (property == Property::Selection) ShowSelection();
  }

  void OnCommand(int code) override {
    if (code != CBN_SELCHANGE) return;
    ComboBox* combo = &control_;
    const int index = static_cast<int>(SendMessageW(Window(), CB_GETCURSEL, 0, 0));
    SkipOnError([combo, index] { combo->SetListIndex(index); });
  }

  // A drop-down list's window includes its list; the closed box takes the font's height.
  int WindowHeight(int height) const override { return std::max(height, 1) * 8; }

 private:
  void Fill() {
    SendMessageW(Window(), CB_RESETCONTENT, 0, 0);
    for (const std::string& item : control_.Items()) {
      std::wstring text = win32::Widen(item);
      SendMessageW(Window(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    ShowSelection();
  }

  void ShowSelection() { SendMessageW(Window(), CB_SETCURSEL, static_cast<WPARAM>(control_.ListIndex()), 0); }
};

}  // namespace

std::unique_ptr<ControlView> MakeComboBoxView(ComboBox& combo, ViewHost& host) {
  return std::make_unique<ComboBoxView>(combo, host);
}

}  // namespace tidewick::ui
