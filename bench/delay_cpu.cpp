// CPU time that Function::Delay(1000) costs on the real platform, against wall time.
//
// Three modes (bench/delay_cpu.sh runs each and prints the table):
//   idle   nothing in the message queue: Delay sleeps in MsgWaitForMultipleObjectsEx.
//   timer  a window with a 1 ms timer, as the cleaner windows keep one running while a
//          deletion waits: every tick is pumped and handled.
//   spin   for comparison, the polling wait Delay replaced: read the clock and pump events
//          without ever sleeping.
// CPU time is the process's user plus kernel time from GetProcessTimes (10 ms steps under
// Wine, hence several seconds per mode); wall time comes from QueryPerformanceCounter.
#include "platform/platform_operations.h"

#include <windows.h>

#include "platform/Function.h"
#include "platform/win32/win32_platform.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

double WallSeconds() {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

long timerTicks = 0;

LRESULT CALLBACK TimerWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    ++timerTicks;
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

// delay_cpu.exe idle|timer|spin COUNT: COUNT waits of 1000 ms in one mode; prints
// "<cpu ms> <wall ms> <timer messages>".
int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "idle";
  const int count = argc > 2 ? std::atoi(argv[2]) : 5;
  tidewick::win32::Win32Platform os;
  tidewick::Function fn(os);

  HWND window = nullptr;
  if (mode == "timer") {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = TimerWindow;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TidewickDelayBench";
    ::RegisterClassW(&windowClass);
    window = ::CreateWindowExW(0, L"TidewickDelayBench", L"", WS_OVERLAPPED, 0, 0, 10, 10,
                               nullptr, nullptr, windowClass.hInstance, nullptr);
    ::SetTimer(window, 1, 1, nullptr);
  }
  const double cpu0 = CpuSeconds();
  const double wall0 = WallSeconds();
  for (int i = 0; i < count; ++i) {
    if (mode == "spin") {
      const std::uint32_t start = os.GetTickCount();
      while (os.GetTickCount() - start < 1000) os.DoEvents();
    } else {
      fn.Delay(1000);
    }
  }
  const double cpu = CpuSeconds() - cpu0;
  const double wall = WallSeconds() - wall0;
  if (window) ::DestroyWindow(window);
  std::printf("%.1f %.1f %ld\n", cpu * 1e3, wall * 1e3, timerTicks);
  return 0;
}
