// Stands in for the worm in the computer-cleaner scenario: a program without a window that does
// nothing but stay alive (for five minutes at most), so that it is running from the profile
// folder when the cleaner looks for it and its file cannot be deleted before it has been ended.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Sleep(5 * 60 * 1000);
  return 0;
}
