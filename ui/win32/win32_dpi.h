// Dots per inch of the windows: the DPI functions of newer systems, looked up at run time so
// the program still starts where they are missing (it then uses the system DPI), and the
// conversion of the models' twips into pixels.
#pragma once

#include <windows.h>

namespace tidewick::ui {

// Pixels of `twips` (1/1440 inch) at `dpi`.
int Px(int twips, UINT dpi);

class DpiApi {
 public:
  DpiApi();

  static UINT SystemDpi();
  // The effective DPI of a monitor, or the system DPI.
  UINT ForMonitor(HMONITOR monitor) const;
  // The DPI a window is drawn at, or the system DPI.
  UINT ForWindow(HWND window) const;
  // The outer size of a window whose client area is `rect`, at `dpi`.
  void AdjustWindowRect(RECT& rect, DWORD style, bool menu, DWORD exStyle, UINT dpi) const;

 private:
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

  GetDpiForWindowFn getDpiForWindow_ = nullptr;
  AdjustForDpiFn adjustWindowRectExForDpi_ = nullptr;
  GetDpiForMonitorFn getDpiForMonitor_ = nullptr;
};

}  // namespace tidewick::ui
