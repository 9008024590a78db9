/* wine_drive.exe: defines or removes a drive letter of a Wine prefix through Wine's mount
 * manager, for wine_map_drive and wine_unmap_drive (scripts/lib/wine.sh), which build it on
 * first use with the mingw-w64 C compiler.
 *
 *   wine_drive.exe LETTER UNIX-FOLDER   LETTER: becomes a removable drive holding UNIX-FOLDER
 *   wine_drive.exe LETTER               LETTER: is removed
 *
 * A dosdevices link alone makes a drive that Wine reports as fixed, and its mount manager knows
 * the letter only from its next start. Defined through the mount manager (the call winecfg
 * makes, IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE, a Wine extension) the letter is a removable drive at
 * once, as a USB stick is: the manager writes the link and stores the type in
 * HKEY_LOCAL_MACHINE\Software\Wine\Drives ("floppy"), which it reads again when it next starts.
 * Removed the same way, the letter is gone for the manager too (no link, no stored type).
 * Exit status 0 when the manager took the request. */
#include <windows.h>
#include <winioctl.h>

#include <stdio.h>
#include <string.h>

/* The request as Wine 8 declares it (include/ddk/mountmgr.h), followed by the folder's Linux
 * path (bytes, NUL-terminated). */
struct mountmgr_unix_drive {
  ULONG size;
  ULONG type;
  ULONG fs_type;
  DWORD serial;
  ULONGLONG unix_dev;
  WCHAR letter;
  USHORT mount_point_offset;
  USHORT device_offset;
  USHORT label_offset;
};

#define DEFINE_UNIX_DRIVE CTL_CODE(0x6D /* MOUNTMGRCONTROLTYPE */, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS)

int wmain(int argc, wchar_t** argv) {
  static char request[sizeof(struct mountmgr_unix_drive) + 32768];
  struct mountmgr_unix_drive drive;
  size_t folder_bytes = 0;
  HANDLE manager;
  DWORD returned = 0;

  if (argc < 2 || argc > 3 || !((argv[1][0] | 0x20) >= L'a' && (argv[1][0] | 0x20) <= L'z')) {
    fprintf(stderr, "usage: wine_drive LETTER [UNIX-FOLDER]\n");
    return 2;
  }
  memset(&drive, 0, sizeof drive);
  if (argc == 3) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, request + sizeof drive,
                                          (int)(sizeof request - sizeof drive), NULL, NULL);
    if (bytes <= 1) {
      fprintf(stderr, "wine_drive: the folder cannot be passed on\n");
      return 2;
    }
    folder_bytes = (size_t)bytes;
    drive.type = DRIVE_REMOVABLE;
    drive.mount_point_offset = sizeof drive;
  } else {
    drive.type = DRIVE_NO_ROOT_DIR; /* removes the letter */
  }
  drive.size = (ULONG)(sizeof drive + folder_bytes);
  drive.letter = (WCHAR)(argv[1][0] | 0x20); /* lower case, as winecfg passes it */
  memcpy(request, &drive, sizeof drive);

  manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        NULL, OPEN_EXISTING, 0, NULL);
  if (manager == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "wine_drive: no mount manager (error %lu)\n", GetLastError());
    return 1;
  }
  if (!DeviceIoControl(manager, DEFINE_UNIX_DRIVE, request, drive.size, NULL, 0, &returned, NULL)) {
    fprintf(stderr, "wine_drive: the mount manager refused %c: (error %lu)\n", (char)drive.letter, GetLastError());
    CloseHandle(manager);
    return 1;
  }
  CloseHandle(manager);
  return 0;
}
