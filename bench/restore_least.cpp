// The least program that does what a restore of the worm's folder must do on the system: list
// the folder and rename each of its entries into the root, never replacing (MoveFileExW with no
// flags). The Restore Files window's Move To Root is timed against it.
//
//   restore_least.exe E:\ NAME     prints "entries=N moved=M ms=T" (T: listing and renames only)
//
// NAME is the folder's name in the root, given in UTF-8 hex ("c2a0" for a non-breaking space),
// so that a name of blanks survives the command line.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring FromHexUtf8(const wchar_t* hex) {
  std::string bytes;
  for (const wchar_t* at = hex; at[0] != 0 && at[1] != 0; at += 2) {
    bytes += static_cast<char>(std::stoi(std::wstring(at, 2), nullptr, 16));
  }
  const int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), length);
  return wide;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: restore_least ROOT NAME-IN-UTF8-HEX (for example E:\\ c2a0)\n", stderr);
    return 2;
  }
  const std::wstring root = L"\\\\?\\" + std::wstring(argv[1]);
  const std::wstring folder = root + FromHexUtf8(argv[2]) + L"\\";
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);

  long entries = 0;
  long moved = 0;
  WIN32_FIND_DATAW found;
  HANDLE listing = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                    FIND_FIRST_EX_LARGE_FETCH);
  if (listing != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      ++entries;
      if (MoveFileExW((folder + name).c_str(), (root + name).c_str(), 0)) ++moved;
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
  }

  QueryPerformanceCounter(&end);
  const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  std::printf("entries=%ld moved=%ld ms=%.1f\n", entries, moved, ms);
  return moved > 0 ? 0 : 1;
}
