// A picture: an owner-drawn STATIC showing a bitmap resource stretched to the control, on black.
#include "ui/win32/views.h"

#include "win32/handles.h"

#include <commctrl.h>

#include <string>

namespace tidewick::ui {
namespace {

class PictureView final : public ViewOf<Picture> {
 public:
  using ViewOf::ViewOf;

  WindowSpec Spec() const override { return {WC_STATICW, SS_OWNERDRAW, 0, {}}; }

  void Created() override { Load(); }

  void Apply(Property property) override {
    if (property != Property::Image) return;
    Load();
    InvalidateRect(Window(), nullptr, TRUE);
  }

  void OnDrawItem(const DRAWITEMSTRUCT& item) override {
    const RECT& r = item.rcItem;
    FillRect(item.hDC, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (!bitmap_) return;
    BITMAP info{};
    GetObjectW(bitmap_.get(), sizeof(info), &info);
    win32::UniqueMemoryDC memory(CreateCompatibleDC(item.hDC));
    if (!memory) return;
    win32::SelectedObject selected(memory.get(), bitmap_.get());
    SetStretchBltMode(item.hDC, HALFTONE);
    SetBrushOrgEx(item.hDC, 0, 0, nullptr);
    StretchBlt(item.hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, memory.get(), 0, 0, info.bmWidth,
               info.bmHeight, SRCCOPY);
  }

 private:
  void Load() {
    bitmap_.reset();
    const int id = control_.ResourceId();
    if (id == 0) return;
    bitmap_.reset(static_cast<HBITMAP>(
        LoadImageW(Host().Instance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap_) {
      const DWORD error = GetLastError();
      Host().ReportFailure("LoadImageW of bitmap " + std::to_string(id) + " for " + control_.Name(), error);
    }
  }

  win32::UniqueBitmap bitmap_;  // owned; outlives the window, which is destroyed before its views
};

}  // namespace

std::unique_ptr<ControlView> MakePictureView(Picture& picture, ViewHost& host) {
  return std::make_unique<PictureView>(picture, host);
}

}  // namespace tidewick::ui
