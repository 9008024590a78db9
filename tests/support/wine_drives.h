// Test support under Wine: puts another "medium" under a drive letter while programs run.
//
// Wine takes the volume serial number of a drive that is a Linux folder from a file named
// ".windows-serial" in that folder (hexadecimal text), and its mount manager reads that file
// when the drive letter is defined, not at every query: a dosdevices link changed from Linux
// is followed for paths at once, but the serial number stays the one read before. Defining the
// letter through the mount manager, with the call winecfg makes (IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE,
// a Wine extension), points the letter at the new folder and reads its serial number again.
// Swapping the folder under a letter so stands for swapping one stick for another.
//
// Test code only, for Windows builds; the calls fail (false, empty text) outside Wine.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

namespace tidewick::wine {

// The record of IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE as Wine 8 declares it (include/ddk/mountmgr.h),
// followed by the folder's Linux path (bytes, NUL-terminated).
struct MountManagerUnixDrive {
  ULONG size;
  ULONG type;
  ULONG fsType;
  DWORD serial;
  ULONGLONG unixDevice;
  WCHAR letter;
  USHORT mountPointOffset;
  USHORT deviceOffset;
  USHORT labelOffset;
};

inline constexpr DWORD kDefineUnixDrive =
    CTL_CODE(0x6D /* MOUNTMGRCONTROLTYPE */, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

// Points drive `letter` at the Linux folder `unixFolder` as a removable drive, as the test
// scripts map their sticks (wine_map_drive in scripts/lib/wine.sh). True when the mount manager
// took it.
inline bool DefineUnixDrive(wchar_t letter, const std::string& unixFolder) {
  const HANDLE manager = ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (manager == INVALID_HANDLE_VALUE) return false;
  std::vector<char> request(sizeof(MountManagerUnixDrive) + unixFolder.size() + 1, '\0');
  MountManagerUnixDrive drive{};
  drive.size = static_cast<ULONG>(request.size());
  drive.type = DRIVE_REMOVABLE;
  drive.letter = static_cast<WCHAR>(letter | 0x20);  // lower case, as winecfg passes it
  drive.mountPointOffset = sizeof(MountManagerUnixDrive);
  std::memcpy(request.data(), &drive, sizeof drive);
  std::memcpy(request.data() + sizeof drive, unixFolder.c_str(), unixFolder.size() + 1);
  DWORD returned = 0;
  const BOOL ok = ::DeviceIoControl(manager, kDefineUnixDrive, request.data(), static_cast<DWORD>(request.size()),
                                    nullptr, 0, &returned, nullptr);
  ::CloseHandle(manager);
  return ok != FALSE;
}

// readlink(2), made directly: no Windows function reads a Linux link, and Wine runs Windows
// code natively, so the system call reaches the Linux kernel. The link's target, or empty text.
inline std::string LinuxReadLink(const std::string& path) {
#if defined(__x86_64__)
  char target[4096];
  long long result = 0;
  __asm__ volatile("syscall"
                   : "=a"(result)
                   : "a"(89LL), "D"(path.c_str()), "S"(target), "d"(sizeof target - 1ULL)
                   : "rcx", "r11", "memory");
  if (result <= 0) return {};
  return std::string(target, static_cast<std::size_t>(result));
#else
  (void)path;
  return {};
#endif
}

// The Linux path of a Windows path under Wine (wine_get_unix_file_name); empty elsewhere. A
// drive root comes back through the prefix's dosdevices link, not resolved.
inline std::string LinuxPathOf(const std::wstring& windowsPath) {
  using UnixFileName = char*(CDECL*)(const wchar_t*);
  static const auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixFileName) return {};
  char* unixPath = unixFileName(windowsPath.c_str());
  if (!unixPath) return {};
  std::string path = unixPath;
  ::HeapFree(::GetProcessHeap(), 0, unixPath);
  return path;
}

// The Linux folder that drive `letter` leads to: the target of its dosdevices link. Empty
// outside Wine or for a letter that is no link.
inline std::string UnixFolderOfDrive(wchar_t letter) {
  std::string link = LinuxPathOf(std::wstring{letter, L':', L'\\'});
  while (!link.empty() && link.back() == '/') link.pop_back();
  std::string target = LinuxReadLink(link);
  if (target.empty()) return {};
  if (target.front() != '/') target = link.substr(0, link.find_last_of('/') + 1) + target;
  return target;
}

}  // namespace tidewick::wine
