// A text box: an EDIT window, multi-line, read-only and with a vertical scroll bar as the model
// says. Read-only text boxes keep the look of an ordinary text box.
#include "ui/win32/views.h"

#include "platform/win32/win32_text.h"

#include <commctrl.h>

namespace tidewick::ui {
namespace {

// Multi-line text boxes need CR LF; a lone LF shows as a box.
std::wstring WidenLines(std::string_view text) {
  std::wstring wide = win32::Widen(text);
  std::wstring out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == L'\n' && (i == 0 || wide[i - 1] != L'\r')) out.push_back(L'\r');
    out.push_back(wide[i]);
  }
  return out;
}

class TextBoxView final : public ViewOf<TextBox> {
 public:
  using ViewOf::ViewOf;

  WindowSpec Spec() const override {
    return {WC_EDITW, WS_TABSTOP | ES_AUTOVSCROLL | Settings(), WS_EX_CLIENTEDGE, WidenLines(control_.Text())};
  }

  void Apply(Property property) override {
    if (property == Property::Text) SetWindowTextW(Window(), WidenLines(control_.Text()).c_str());
    if (property == Property::Style) ApplySettings();
  }

  LRESULT OnColor(HDC dc) override {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
  }

 private:
  static constexpr DWORD kSettings = ES_MULTILINE | ES_READONLY | WS_VSCROLL;

  DWORD Settings() const {
    DWORD style = 0;
    if (control_.MultiLine()) style |= ES_MULTILINE;
    if (control_.ReadOnly()) style |= ES_READONLY;
    if (control_.VerticalScrollBar()) style |= WS_VSCROLL;
    return style;
  }

  // An edit window can change only its read-only state; for the others it is made again.
  void ApplySettings() {
    const DWORD shown = static_cast<DWORD>(GetWindowLongPtrW(Window(), GWL_STYLE)) & kSettings;
    const DWORD wanted = Settings();
    if ((shown ^ wanted) & (ES_MULTILINE | WS_VSCROLL)) {
      Host().Recreate(*this);
    } else if ((shown ^ wanted) & ES_READONLY) {
      SendMessageW(Window(), EM_SETREADONLY, control_.ReadOnly() ? TRUE : FALSE, 0);
    }
  }
};

}  // namespace

std::unique_ptr<ControlView> MakeTextBoxView(TextBox& box, ViewHost& host) {
  return std::make_unique<TextBoxView>(box, host);
}

}  // namespace tidewick::ui
