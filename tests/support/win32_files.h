// Removing scratch files and folders in the Windows test programs: one copy for the platform
// tests, the contract world and the Wine helpers of module Function. Header-only, Win32 only.
#pragma once

#include <windows.h>

#include <string>

namespace tidewick::testsupport {

// Deletes a file or an empty folder. A program that has just ended (a victim, pskill.exe, the
// command interpreter) may still hold its file for a moment, so refusals are retried for about
// five seconds. Answers whether the entry is gone; `error` gets the last refusal.
inline bool RemoveEntry(const std::wstring& path, bool folder, DWORD* error = nullptr) {
  for (int attempt = 0;; ++attempt) {
    if (folder ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str())) return true;
    const DWORD refusal = ::GetLastError();
    if (refusal == ERROR_FILE_NOT_FOUND || refusal == ERROR_PATH_NOT_FOUND) return true;
    if ((refusal != ERROR_SHARING_VIOLATION && refusal != ERROR_ACCESS_DENIED &&
         refusal != ERROR_DIR_NOT_EMPTY) || attempt == 100) {
      if (error != nullptr) *error = refusal;
      return false;
    }
    ::Sleep(50);
  }
}

// Makes a file or a folder plain and removes it with everything inside. `path` may be in
// literal ("\\?\") form. Answers whether it is gone; `error` gets the first refusal.
inline bool RemoveTree(const std::wstring& path, DWORD* error = nullptr) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return RemoveEntry(path, false, error);
  bool gone = true;
  WIN32_FIND_DATAW found{};
  const HANDLE listing = ::FindFirstFileW((path + L"\\*").c_str(), &found);
  if (listing != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") gone = RemoveTree(path + L"\\" + name, gone ? error : nullptr) && gone;
    } while (::FindNextFileW(listing, &found));
    ::FindClose(listing);
  }
  return RemoveEntry(path, true, gone ? error : nullptr) && gone;
}

}  // namespace tidewick::testsupport
