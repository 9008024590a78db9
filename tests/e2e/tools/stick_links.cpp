// Writes the shortcuts of the stick windows' end-to-end stick (stick_windows_stick.sh) with the
// test writer of tests/support: the bytes Windows would read, harmless in what they name.
//
//   stick_links.exe U:\
//
// The script seeds every other file from Linux; this program only adds the shortcuts, which a
// shell script cannot spell, and writes nothing else.
#include "tests/support/shortcut_writer.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using tidewick::testing::ShortcutWriter;

std::wstring Widen(const std::string& text) {
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

bool Write(const std::wstring& root, const std::string& name, const ShortcutWriter& link) {
  const std::vector<std::uint8_t> bytes = link.Bytes();
  const std::wstring path = L"\\\\?\\" + root + Widen(name);
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "stick_links: cannot create %s (error %lu)\n", name.c_str(), ::GetLastError());
    return false;
  }
  DWORD written = 0;
  const bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  ::CloseHandle(file);
  return ok;
}

ShortcutWriter Program(const std::string& program, const std::string& arguments) {
  ShortcutWriter link;
  link.IdListPath(program).Arguments(arguments).ShowCommand(7);
  return link;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: stick_links ROOT (for example U:\\)\n", stderr);
    return 2;
  }
  const std::wstring root = argv[1];
  std::string letter(1, static_cast<char>(root[0]));
  bool ok = true;
  // The script worm: a shortcut of its name beside each hidden entry, running the worm first.
  ok &= Write(root, "Photos.lnk", Program("C:\\Windows\\System32\\cmd.exe", "/c start x7kq.vbs&start explorer Photos&exit"));
  ok &= Write(root, "Report.doc.lnk",
              Program("C:\\Windows\\System32\\cmd.exe", "/c start x7kq.vbs&start Report.doc&exit"));
  // The folder-of-blanks worm: one shortcut named after the drive, a library given to rundll32.
  ok &= Write(root, "USB Drive (1GB).lnk", Program("C:\\Windows\\System32\\rundll32.exe", "~$WB.USBDRV,DllMain"));
  // A genuine shortcut to a folder of the stick, and one to a program of the computer.
  ShortcutWriter docs;
  docs.IdListPath(letter + ":\\Docs", {.lastIsFolder = true});
  ok &= Write(root, "Docs.lnk", docs);
  ShortcutWriter notes;
  notes.IdListPath("C:\\Windows\\notepad.exe");
  ok &= Write(root, "Notes.lnk", notes);
  return ok ? 0 : 1;
}
