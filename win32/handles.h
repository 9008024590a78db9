// An owner for every kind of Win32 handle the program holds.
//
// Kernel and registry handles, GDI objects (fonts, bitmaps, memory device contexts), menus and
// windows are UniqueHandle typedefs. Device contexts lent by a window (GetDC, BeginPaint) and an
// object selected into a device context for a while (SelectObject) have small scope owners of
// their own, because giving them back needs more than the handle.
//
// A raw handle type in a declaration means a borrowed handle: someone else closes it.
#pragma once

#include <windows.h>

#include "win32/unique_handle.h"

namespace tidewick::win32 {

using UniqueRegKey = UniqueHandle<HKEY, &::RegCloseKey>;
using UniqueKernelHandle = UniqueHandle<HANDLE, &::CloseHandle>;  // NULL when invalid
using UniqueSnapshot = UniqueHandle<HANDLE, &::CloseHandle, -1>;  // INVALID_HANDLE_VALUE
using UniqueFindHandle = UniqueHandle<HANDLE, &::FindClose, -1>;  // INVALID_HANDLE_VALUE

// GDI objects made by CreateFontIndirect, LoadImage(IMAGE_BITMAP), CreateCompatibleDC.
using UniqueFont = UniqueHandle<HFONT, &::DeleteObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, &::DeleteObject>;
using UniqueMemoryDC = UniqueHandle<HDC, &::DeleteDC>;

// A menu no window holds yet (a menu set on a window, or appended to another menu as a popup,
// belongs to that window or menu: release() it then).
using UniqueMenu = UniqueHandle<HMENU, &::DestroyMenu>;

// A window destroyed with DestroyWindow; the windows it owns and its children go with it.
using UniqueWindow = UniqueHandle<HWND, &::DestroyWindow>;

// The device context of a window's client area (GetDC), given back with ReleaseDC.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~WindowDC() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;

  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;  // borrowed
  HDC dc_;       // lent by the window until ReleaseDC
};

// Painting a window (BeginPaint ... EndPaint), for WM_PAINT.
class PaintDC {
 public:
  explicit PaintDC(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
  ~PaintDC() {
    if (dc_ != nullptr) ::EndPaint(window_, &paint_);
  }
  PaintDC(const PaintDC&) = delete;
  PaintDC& operator=(const PaintDC&) = delete;

  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }
  const RECT& Area() const { return paint_.rcPaint; }

 private:
  HWND window_;  // borrowed
  PAINTSTRUCT paint_{};
  HDC dc_;       // lent by the window until EndPaint
};

// Selects an object into a device context and selects the previous one back when it ends, so
// the object can be deleted afterwards (a selected object must not be).
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;            // borrowed
  HGDIOBJ previous_;  // borrowed: belongs to whoever selected it before
};

}  // namespace tidewick::win32
