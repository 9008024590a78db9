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
// Test code only, for Windows builds; the call fails (false) outside Wine.
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

// Points drive `letter` at the Linux folder `unixFolder` as a fixed drive (the type a plain
// dosdevices link has). True when the mount manager took it.
inline bool DefineUnixDrive(wchar_t letter, const std::string& unixFolder) {
  const HANDLE manager = ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (manager == INVALID_HANDLE_VALUE) return false;
  std::vector<char> request(sizeof(MountManagerUnixDrive) + unixFolder.size() + 1, '\0');
  MountManagerUnixDrive drive{};
  drive.size = static_cast<ULONG>(request.size());
  drive.type = DRIVE_FIXED;
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

}  // namespace tidewick::wine
