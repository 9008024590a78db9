// The operating-system contract of Tidewick.
//
// Every Windows function and general service that the program uses is declared here, once,
// with the name of the Windows function it stands for and its arguments in the order that
// function takes them. Two implementations exist: platform/win32/ (the real system) and
// platform/simulated/ (an in-memory computer for tests and demonstrations).
//
// Text is UTF-8 throughout. The Win32 implementation converts to UTF-16 at the boundary and
// calls the W functions, which is what the A functions would do under a UTF-8 code page; sizes
// and lengths of text buffers are therefore counted in UTF-8 bytes.
//
// The constants that cross the boundary carry names of the contract's own vocabulary
// (Root::CurrentUser, RegType::Sz, MsgStyle::YesNoQuestion, ...); each says which Windows
// constant it stands for and has the same value. No name here is a Windows macro, so this
// header and <windows.h> may be included in either order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick {

// A handle as the program sees it: 32 bits, 0 meaning "none".
using Handle = std::uint32_t;
// Windows status codes (LONG): 0 is success.
using Status = std::int32_t;

// ---- Registry -----------------------------------------------------------------------------
// The two registry roots: HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE.
namespace Root {
inline constexpr Handle CurrentUser = 0x80000001u;
inline constexpr Handle LocalMachine = 0x80000002u;
}  // namespace Root

// Value types: REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ.
namespace RegType {
inline constexpr std::uint32_t None = 0;
inline constexpr std::uint32_t Sz = 1;
inline constexpr std::uint32_t ExpandSz = 2;
inline constexpr std::uint32_t Binary = 3;
inline constexpr std::uint32_t Dword = 4;
inline constexpr std::uint32_t MultiSz = 7;
}  // namespace RegType

namespace KeyAccess {
// Access asked for by RegOpenKeyExA: query, set, create sub-key, enumerate, notify, create link.
inline constexpr std::uint32_t Open = 0x3F;
// Reading only (KEY_READ: query, enumerate, notify, read control): what a user without
// administrator rights is granted on most of HKEY_LOCAL_MACHINE.
inline constexpr std::uint32_t Read = 0x20019;
// Added to an access mask (KEY_WOW64_32KEY): the key is opened in the 32-bit registry view.
// On 64-bit Windows the 32-bit programs' part of HKEY_LOCAL_MACHINE\Software lies there
// (Software\WOW6432Node); HKEY_CURRENT_USER\Software is one for both views. 32-bit Windows has
// one view and ignores it.
inline constexpr std::uint32_t View32 = 0x0200;
}  // namespace KeyAccess

// Status codes: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE,
// ERROR_MORE_DATA, ERROR_NO_MORE_ITEMS.
namespace StatusCode {
inline constexpr Status Success = 0;
inline constexpr Status FileNotFound = 2;
inline constexpr Status AccessDenied = 5;
inline constexpr Status InvalidHandle = 6;
inline constexpr Status MoreData = 234;
inline constexpr Status NoMoreItems = 259;
// Further error codes that file and registry calls answer, as GetLastError or as their status:
// ERROR_PATH_NOT_FOUND, _WRITE_PROTECT, _NOT_READY, _SHARING_VIOLATION, _LOCK_VIOLATION,
// _FILE_EXISTS, _INVALID_PARAMETER, _INVALID_NAME, _DIR_NOT_EMPTY, _ALREADY_EXISTS.
inline constexpr Status PathNotFound = 3;
// ERROR_NOT_SAME_DEVICE: a rename onto another volume; ERROR_DIRECTORY: a folder was expected.
inline constexpr Status NotSameDevice = 17;
inline constexpr Status NotADirectory = 267;
inline constexpr Status WriteProtect = 19;
inline constexpr Status NotReady = 21;
inline constexpr Status SharingViolation = 32;
inline constexpr Status LockViolation = 33;
inline constexpr Status FileExists = 80;
inline constexpr Status InvalidParameter = 87;
inline constexpr Status InvalidName = 123;
inline constexpr Status DirNotEmpty = 145;
inline constexpr Status AlreadyExists = 183;
}  // namespace StatusCode

// ---- Files --------------------------------------------------------------------------------
// File attributes: FILE_ATTRIBUTE_READONLY, _HIDDEN, _SYSTEM, _DIRECTORY, _ARCHIVE, _NORMAL,
// _REPARSE_POINT.
namespace Attr {
inline constexpr std::uint32_t ReadOnly = 0x01;
inline constexpr std::uint32_t Hidden = 0x02;
inline constexpr std::uint32_t System = 0x04;
inline constexpr std::uint32_t Directory = 0x10;
inline constexpr std::uint32_t Archive = 0x20;
inline constexpr std::uint32_t Normal = 0x80;
inline constexpr std::uint32_t ReparsePoint = 0x400;
// Hidden plus system: how a drive's own system entries are hidden again.
inline constexpr std::uint32_t HiddenSystem = Hidden | System;
}  // namespace Attr

// Special folders asked for with SHGetFolderPathA (CSIDL_STARTUP, _COMMON_STARTUP, _WINDOWS,
// _PROGRAM_FILES, _PROGRAM_FILESX86).
namespace SpecialFolder {
inline constexpr int Startup = 0x0007;        // the user's Startup folder
inline constexpr int CommonStartup = 0x0018;  // the Startup folder of all users
inline constexpr int Windows = 0x0024;        // the Windows folder
inline constexpr int ProgramFiles = 0x0026;   // Program Files of the program's own build
inline constexpr int ProgramFilesX86 = 0x002A;  // Program Files of 32-bit programs
}  // namespace SpecialFolder

// What GetDriveTypeA answers: DRIVE_UNKNOWN, _NO_ROOT_DIR, _REMOVABLE, _FIXED, _REMOTE, _CDROM,
// _RAMDISK.
namespace DriveType {
inline constexpr std::uint32_t Unknown = 0;
inline constexpr std::uint32_t NoRootDir = 1;
inline constexpr std::uint32_t Removable = 2;
inline constexpr std::uint32_t Fixed = 3;
inline constexpr std::uint32_t Remote = 4;
inline constexpr std::uint32_t CdRom = 5;
inline constexpr std::uint32_t RamDisk = 6;
}  // namespace DriveType

// Folder-listing masks (the classic vbNormal..vbDirectory|vbArchive set). All returns every entry.
namespace ListMask {
inline constexpr std::uint32_t ReadOnly = 1;
inline constexpr std::uint32_t Hidden = 2;
inline constexpr std::uint32_t System = 4;
inline constexpr std::uint32_t Volume = 8;
inline constexpr std::uint32_t Directory = 16;
inline constexpr std::uint32_t Archive = 32;
inline constexpr std::uint32_t All = 63;
}  // namespace ListMask

// ---- Processes and tokens -----------------------------------------------------------------
namespace Snapshot {
inline constexpr std::uint32_t All = 0xF;  // TH32CS_SNAPALL
}  // namespace Snapshot
namespace TokenAccess {
inline constexpr std::uint32_t Query = 8;  // TOKEN_QUERY
}  // namespace TokenAccess

// What the program reads of one process of a snapshot: the PROCESSENTRY32 record.
struct ProcessEntry32 {
  // Size of the ANSI record; dwSize is set to it before the first call.
  static constexpr std::uint32_t kAnsiSize = 296;
  std::uint32_t dwSize = 0;
  std::uint32_t th32ProcessID = 0;
  std::string szExeFile;  // executable name without folder
};

// ---- Windows, pages and command lines -----------------------------------------------------
namespace ShowCommand {
inline constexpr int Maximized = 3;  // SW_SHOWMAXIMIZED
// Window style of started command lines: minimized, not activated (the classic style 6).
inline constexpr int MinimizedNoFocus = 6;
}  // namespace ShowCommand

// Message-box styles (MB_OK, and MB_OK with the error, warning or information icon, or
// MB_YESNO with the question icon) and answers (IDOK, IDYES, IDNO).
namespace MsgStyle {
inline constexpr int Ok = 0;
inline constexpr int Critical = 16;       // error icon, OK
inline constexpr int YesNoQuestion = 36;  // question icon, Yes and No
inline constexpr int Warning = 48;        // warning icon, OK
inline constexpr int Information = 64;   // information icon, OK
}  // namespace MsgStyle
namespace Answer {
inline constexpr int Ok = 1;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
}  // namespace Answer

// The four counts of GetDiskFreeSpaceA; nobody reads them, but the call fills them.
struct DiskFreeSpace {
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t bytesPerSector = 0;
  std::uint32_t freeClusters = 0;
  std::uint32_t totalClusters = 0;
};

// What GetFileAttributesExA answers of an entry (the standard information): its attributes and
// its size in bytes (0 for a folder).
struct FileAttributeData {
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
};

// The local date and time as GetLocalTime answers it (the SYSTEMTIME record).
struct SystemTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;      // 1 to 12
  std::uint16_t dayOfWeek = 0;  // 0 Sunday to 6 Saturday
  std::uint16_t day = 0;        // 1 to 31
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;
};

// The operating system as Tidewick uses it. All calls happen on the user-interface thread.
class PlatformOperations {
 public:
  virtual ~PlatformOperations() = default;

  // ---- Registry (advapi32) ----
  // A failed open or create leaves `key` at 0. Every key opened is closed by RegCloseKey,
  // which is harmless for 0.
  virtual Status RegOpenKeyA(Handle root, std::string_view subKey, Handle& key) = 0;
  virtual Status RegOpenKeyExA(Handle root, std::string_view subKey, std::uint32_t options,
                               std::uint32_t access, Handle& key) = 0;
  // Creates every missing level of the path; an existing key is opened.
  virtual Status RegCreateKeyA(Handle root, std::string_view subKey, Handle& key) = 0;
  // `data` may be null to ask for type and size only. `size` is in bytes, in and out; text
  // comes back as UTF-8 with its terminating NUL counted. A missing value leaves `type` as it was.
  virtual Status RegQueryValueExA(Handle key, std::string_view valueName, std::uint32_t* type,
                                  void* data, std::uint32_t* size) = 0;
  virtual Status RegSetValueExA(Handle key, std::string_view valueName, std::uint32_t reserved,
                                std::uint32_t type, const void* data, std::uint32_t size) = 0;
  virtual Status RegDeleteValueA(Handle key, std::string_view valueName) = 0;
  // `name` has room for `nameLength` bytes (the terminator included) and `data` for
  // `dataLength` bytes. On success the lengths say how many bytes were written: the name
  // without its terminator, the data with it (for text). A name or data that does not fit
  // answers ERROR_MORE_DATA.
  virtual Status RegEnumValueA(Handle key, std::uint32_t index, char* name,
                               std::uint32_t& nameLength, std::uint32_t* type, std::uint8_t* data,
                               std::uint32_t& dataLength) = 0;
  virtual Status RegCloseKey(Handle key) = 0;

  // ---- Files and disks (kernel32, shlwapi) ----
  // A bare name is looked up in the current folder.
  virtual bool PathFileExistsA(std::string_view path) = 0;
  virtual bool SetFileAttributesA(std::string_view path, std::uint32_t attributes) = 0;
  virtual bool DeleteFileA(std::string_view path) = 0;
  // `root` is a drive root such as "E:\". True when the drive holds a readable medium.
  virtual bool GetDiskFreeSpaceA(std::string_view root, DiskFreeSpace& counts) = 0;
  // The volume serial number of the medium in the drive whose root is `root` ("E:\"), asked
  // for alone (the label, file-system name and flags are not). It tells two media apart that
  // the same drive letter held one after the other. False when the drive holds no readable
  // medium; `serialNumber` is then left as it was.
  virtual bool GetVolumeInformationA(std::string_view root, std::uint32_t& serialNumber) = 0;

  // ---- Processes, tokens and time (kernel32, advapi32, userenv) ----
  virtual Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) = 0;
  virtual bool Process32First(Handle snapshot, ProcessEntry32& entry) = 0;
  virtual bool Process32Next(Handle snapshot, ProcessEntry32& entry) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
  // The full path of the program file that process `processId` runs, as
  // QueryFullProcessImageNameA answers for a process opened with OpenProcess (limited query
  // rights, or full query rights where those are refused). False when the process cannot be
  // opened or its image cannot be read (it has ended, or belongs to a more privileged user);
  // `path` is then left as it was.
  virtual bool QueryFullProcessImageNameA(std::uint32_t processId, std::string& path) = 0;
  virtual Handle GetCurrentProcess() = 0;
  virtual bool OpenProcessToken(Handle process, std::uint32_t access, Handle& token) = 0;
  // `buffer` holds `size` bytes; on success it holds the profile folder (no trailing
  // backslash) followed by NUL characters. On failure it is left as it was.
  virtual bool GetUserProfileDirectoryA(Handle token, std::string& buffer, std::uint32_t& size) = 0;
  virtual std::uint32_t GetTickCount() = 0;

  // ---- Shell (shell32) ----
  // `verb`, `parameters` and `directory` may be null.
  virtual void ShellExecuteA(Handle owner, const char* verb, std::string_view file,
                             const char* parameters, const char* directory, int show) = 0;

  // ---- General services ----
  // A modal message box titled with the product name. `style` is one of the MsgStyle values
  // above. Answers IDOK, IDYES or IDNO.
  virtual int MsgBox(std::string_view text, int style) = 0;

  // Folder listing. DirFirst starts a listing of `pattern` (folder, backslash, wildcard) and
  // answers the first entry name whose hidden, system and folder attributes all lie within
  // `mask`; DirNext answers the next one. Empty text ends the listing. Only one listing is
  // active: a new DirFirst abandons the previous one. DirFailed tells whether the last
  // listing ended because the folder could not be read (device gone, not ready) rather than
  // because it was exhausted.
  virtual std::string DirFirst(std::string_view pattern, std::uint32_t mask) = 0;
  virtual std::string DirNext() = 0;
  virtual bool DirFailed() = 0;

  // Starts a command line and returns at once; the program is not waited for.
  virtual void StartCommandLine(std::string_view commandLine, int windowStyle) = 0;

  // Processes every window event that is waiting, then returns.
  virtual void DoEvents() = 0;
  // Sleeps until a window event arrives or `milliseconds` pass, whichever comes first.
  // Processes nothing itself.
  virtual void WaitForEvents(std::uint32_t milliseconds) = 0;

  // Ends the program at once: no further handler runs. Does not return.
  [[noreturn]] virtual void EndProgram() = 0;

  // Whether another instance of this program is already running.
  virtual bool PrevInstance() = 0;
  // The program's own file name without folder and extension ("tidewick").
  virtual std::string AppExeName() = 0;

  // ---- What the report of changes needs: reading before a change, errors, time, saving ----
  // The attributes and size of the entry at `path` (GetFileAttributesExA with the standard
  // information level). False when it cannot be read (missing, refused, drive not ready); the
  // reason is then GetLastError's and `data` is left as it was.
  virtual bool GetFileAttributesExA(std::string_view path, FileAttributeData& data) = 0;
  // The error code of the last file call that failed (PathFileExistsA, SetFileAttributesA,
  // DeleteFileA, GetFileAttributesExA, WriteTextFile, ReadFileBytes, MoveFileExA,
  // RemoveDirectoryA), asked right after it: the calling
  // thread's last-error value. Registry calls answer their code as their status instead.
  virtual std::uint32_t GetLastError() = 0;
  // Deletes the sub-key `subKey` of `key` (a root or an open key) with its values. A key that
  // has sub-keys of its own is refused (StatusCode::AccessDenied), as RegDeleteKeyA does.
  virtual Status RegDeleteKeyA(Handle key, std::string_view subKey) = 0;
  // The local date and time now.
  virtual void GetLocalTime(SystemTime& time) = 0;
  // Puts `text` on the clipboard as text. False when the clipboard cannot be had (another
  // program holds it open).
  virtual bool SetClipboardText(std::string_view text) = 0;
  // The standard save dialog for a text file (GetSaveFileNameA), owned by the active window,
  // offering `suggestedName` in the user's documents folder and adding ".txt" to a name
  // without extension. The dialog itself asks before an existing file is chosen. Answers the
  // chosen path, or empty text when the user cancelled.
  virtual std::string GetSaveFileNameA(std::string_view suggestedName) = 0;
  // Writes `text` (UTF-8, as it stands) as the whole content of the file `path`. An existing
  // file is refused (StatusCode::FileExists) unless `replaceExisting`; then its content is
  // replaced. False when the file cannot be written; the reason is then GetLastError's.
  virtual bool WriteTextFile(std::string_view path, std::string_view text, bool replaceExisting) = 0;

  // ---- What the stick windows need: reading a file, renaming, removing an empty folder ----
  // The first `maxBytes` bytes of the file at `path` (CreateFileW for reading, sharing reading,
  // writing and deleting with every other program, then ReadFile), in `bytes`; a shorter file
  // gives all of its bytes. Nothing of the file is run or interpreted. False when the file
  // cannot be opened or read (missing, a folder, held open without sharing, drive not ready);
  // the reason is then GetLastError's and `bytes` is left as it was.
  virtual bool ReadFileBytes(std::string_view path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) = 0;
  // Renames the file or folder `existing` to `newName` (MoveFileExW with no flags, the only form
  // the contract offers): a rename on one volume, never a copy, never replacing. An entry that
  // `newName` already names is refused (ERROR_ALREADY_EXISTS, whatever the letter case; renaming
  // an entry to its own name in another letter case is no clash); so is a move onto another
  // volume (ERROR_NOT_SAME_DEVICE; Wine, which keeps its drives on one Unix file system, may
  // let that one through) and a folder into itself (ERROR_SHARING_VIOLATION). The entry keeps
  // its attributes. False on refusal, with GetLastError's reason.
  virtual bool MoveFileExA(std::string_view existing, std::string_view newName) = 0;
  // Removes the folder `path` when it holds nothing (RemoveDirectoryW). A folder that holds an
  // entry is refused (ERROR_DIR_NOT_EMPTY), as are a file (ERROR_DIRECTORY) and a drive root.
  // It is the only call that removes a folder, and it never removes one that holds anything.
  // False on refusal, with GetLastError's reason.
  virtual bool RemoveDirectoryA(std::string_view path) = 0;

  // ---- What the search of every autostart place needs: the environment, the system's
  // folders, drive types and other processes' command lines (reading only) ----
  // This process's environment (GetEnvironmentStringsA): each entry of the block as
  // "NAME=value", in the block's order, the hidden per-drive entries ("=C:=C:\...") included.
  virtual std::vector<std::string> GetEnvironmentStringsA() = 0;
  // The path of a special folder (SHGetFolderPathA, SHGFP_TYPE_CURRENT; `folder` is one of the
  // SpecialFolder values), without trailing backslash. False when Windows knows no such
  // folder; `path` is then left as it was.
  virtual bool SHGetFolderPathA(int folder, std::string& path) = 0;
  // The folder for temporary files (GetTempPathA: TMP, else TEMP, else USERPROFILE, else the
  // Windows folder), with its trailing backslash. False when it cannot be told; `path` is then
  // left as it was.
  virtual bool GetTempPathA(std::string& path) = 0;
  // The kind of the drive whose root is `root` ("E:\"): one of the DriveType values.
  // DriveType::NoRootDir for a letter that leads nowhere.
  virtual std::uint32_t GetDriveTypeA(std::string_view root) = 0;
  // The command line process `processId` was started with, as NtQueryInformationProcess
  // answers it: the ProcessCommandLineInformation class where Windows answers it (8.1 and
  // later), else the process's own parameters read through ProcessBasicInformation and
  // ReadProcessMemory (what older Windows and Wine answer). False when the process cannot be
  // opened or read (ended, a more privileged user's, a 64-bit process seen by a 32-bit build
  // on Windows 7); `commandLine` is then left as it was.
  virtual bool NtQueryInformationProcess(std::uint32_t processId, std::string& commandLine) = 0;
};

// The answer of a wildcard match.
enum class LikeResult { NoMatch, Match, InvalidPattern };

// Wildcard match of `text` against `pattern`, compared by character (UTF-8 aware) and
// case-sensitively: `?` one character, `*` any run (also none), `#` one digit 0-9, `[list]`
// one character of the list (ranges such as a-z allowed), `[!list]` one character not in it.
// A `[` without its `]` makes the pattern invalid.
LikeResult MatchLike(std::string_view text, std::string_view pattern);

}  // namespace tidewick
