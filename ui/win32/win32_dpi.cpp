#include "ui/win32/win32_dpi.h"

#include "win32/handles.h"

namespace tidewick::ui {

namespace {

// Casting through void(*)() keeps GCC's function-type check quiet for GetProcAddress results.
template <class F>
F ProcAddress(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

int Px(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

DpiApi::DpiApi() {
  HMODULE user = GetModuleHandleW(L"user32.dll");  // borrowed: loaded for the whole run
  getDpiForWindow_ = ProcAddress<GetDpiForWindowFn>(user, "GetDpiForWindow");
  adjustWindowRectExForDpi_ = ProcAddress<AdjustForDpiFn>(user, "AdjustWindowRectExForDpi");
  // Stays loaded for the rest of the run, as the functions found in it are kept.
  HMODULE shcore = LoadLibraryW(L"shcore.dll");
  getDpiForMonitor_ = ProcAddress<GetDpiForMonitorFn>(shcore, "GetDpiForMonitor");
}

UINT DpiApi::SystemDpi() {
  win32::WindowDC screen(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 96;
  return dpi > 0 ? static_cast<UINT>(dpi) : 96u;
}

UINT DpiApi::ForMonitor(HMONITOR monitor) const {
  UINT x = 0, y = 0;
  constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
  if (getDpiForMonitor_ != nullptr && monitor != nullptr &&
      SUCCEEDED(getDpiForMonitor_(monitor, kEffectiveDpi, &x, &y)) && x > 0) {
    return x;
  }
  return SystemDpi();
}

UINT DpiApi::ForWindow(HWND window) const {
  if (getDpiForWindow_ != nullptr) {
    const UINT dpi = getDpiForWindow_(window);
    if (dpi > 0) return dpi;
  }
  return SystemDpi();
}

void DpiApi::AdjustWindowRect(RECT& rect, DWORD style, bool menu, DWORD exStyle, UINT dpi) const {
  if (adjustWindowRectExForDpi_ != nullptr) {
    adjustWindowRectExForDpi_(&rect, style, menu ? TRUE : FALSE, exStyle, dpi);
  } else {
    AdjustWindowRectEx(&rect, style, menu ? TRUE : FALSE, exStyle);
  }
}

}  // namespace tidewick::ui
