// The least program that does what a scan of a drive root must do on the system: list the
// root and reset the attributes of every entry. The drive-cleaner scan is timed against it.
//
//   scan_least.exe E:\        prints "entries=N ms=T" (T: listing and resets only)
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: scan_least ROOT (for example E:\\)\n", stderr);
    return 2;
  }
  const std::wstring root = argv[1];
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);

  long entries = 0;
  WIN32_FIND_DATAW found;
  HANDLE listing = FindFirstFileExW((root + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                    FIND_FIRST_EX_LARGE_FETCH);
  if (listing != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      SetFileAttributesW((root + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      ++entries;
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
  }

  QueryPerformanceCounter(&end);
  const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  std::printf("entries=%ld ms=%.1f\n", entries, ms);
  return entries > 0 ? 0 : 1;
}
