#include "ui/win32/control_view.h"

#include "platform/win32/win32_text.h"

#include <uxtheme.h>

namespace tidewick::ui {

namespace {
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);
}  // namespace

LRESULT FormColors(HDC dc) {
  SetTextColor(dc, kRed);
  SetBkColor(dc, kBlack);
  return reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH));
}

LRESULT ControlView::OnColor(HDC dc) { return FormColors(dc); }

void SetText(HWND hwnd, std::string_view text) { SetWindowTextW(hwnd, win32::Widen(text).c_str()); }

void WithoutVisualStyle(HWND hwnd) { SetWindowTheme(hwnd, L" ", L" "); }

}  // namespace tidewick::ui
