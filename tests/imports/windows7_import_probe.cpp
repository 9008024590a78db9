// Imports GetSystemTimePreciseAsFileTime (Windows 8 and later) statically, the way a program
// that Windows 7 SP1 cannot start would. scripts/test expects the Windows 7 import check to name
// it; the program is never run.
#include <windows.h>

int main() {
  FILETIME now;
  ::GetSystemTimePreciseAsFileTime(&now);
  return static_cast<int>(now.dwLowDateTime & 1u);
}
