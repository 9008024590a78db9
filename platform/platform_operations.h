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
// This header must be included before <windows.h>: several constants below carry the names of
// Windows macros (with the same values).
#pragma once

#if defined(REG_SZ) || defined(HKEY_CURRENT_USER) || defined(MB_OK)
#error "include platform/platform_operations.h before <windows.h>"
#endif

#include <cstdint>
#include <string>
#include <string_view>

namespace tidewick {

// A handle as the program sees it: 32 bits, 0 meaning "none".
using Handle = std::uint32_t;
// Windows status codes (LONG): 0 is success.
using Status = std::int32_t;

// ---- Registry -----------------------------------------------------------------------------
inline constexpr Handle HKEY_CURRENT_USER = 0x80000001u;
inline constexpr Handle HKEY_LOCAL_MACHINE = 0x80000002u;

inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;

// Access asked for by RegOpenKeyExA: query, set, create sub-key, enumerate, notify, create link.
inline constexpr std::uint32_t KEY_OPEN_ACCESS = 0x3F;

inline constexpr Status ERROR_SUCCESS = 0;
inline constexpr Status ERROR_FILE_NOT_FOUND = 2;
inline constexpr Status ERROR_ACCESS_DENIED = 5;
inline constexpr Status ERROR_INVALID_HANDLE = 6;
inline constexpr Status ERROR_MORE_DATA = 234;
inline constexpr Status ERROR_NO_MORE_ITEMS = 259;

// ---- Files --------------------------------------------------------------------------------
inline constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr std::uint32_t FILE_ATTRIBUTE_SYSTEM = 0x04;
inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr std::uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
// Hidden plus system: how a drive's own system entries are hidden again.
inline constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN_SYSTEM = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Folder-listing masks (the classic vbNormal..vbDirectory|vbArchive set). 63 returns every entry.
inline constexpr std::uint32_t LIST_READONLY = 1;
inline constexpr std::uint32_t LIST_HIDDEN = 2;
inline constexpr std::uint32_t LIST_SYSTEM = 4;
inline constexpr std::uint32_t LIST_VOLUME = 8;
inline constexpr std::uint32_t LIST_DIRECTORY = 16;
inline constexpr std::uint32_t LIST_ARCHIVE = 32;
inline constexpr std::uint32_t LIST_ALL = 63;

// ---- Processes and tokens -----------------------------------------------------------------
inline constexpr std::uint32_t TH32CS_SNAPALL = 0xF;
inline constexpr std::uint32_t TOKEN_QUERY = 8;
// Size of the ANSI PROCESSENTRY32 record; dwSize is set to it before the first call.
inline constexpr std::uint32_t PROCESSENTRY32_SIZE = 296;

// What the program reads of one process of a snapshot.
struct PROCESSENTRY32 {
  std::uint32_t dwSize = 0;
  std::uint32_t th32ProcessID = 0;
  std::string szExeFile;  // executable name without folder
};

// ---- Windows, pages and command lines -----------------------------------------------------
inline constexpr int SW_SHOWMAXIMIZED = 3;
// Window style of started command lines: minimized, not activated (the classic style 6).
inline constexpr int COMMAND_WINDOW_MINIMIZED_NO_FOCUS = 6;

// Message-box styles and answers.
inline constexpr int MB_OK = 0;
inline constexpr int MB_ICON_CRITICAL = 16;       // error icon, OK
inline constexpr int MB_YESNO_QUESTION = 36;      // question icon, Yes and No
inline constexpr int MB_ICON_WARNING = 48;        // warning icon, OK
inline constexpr int MB_ICON_INFORMATION = 64;    // information icon, OK
inline constexpr int IDOK = 1;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The four counts of GetDiskFreeSpaceA; nobody reads them, but the call fills them.
struct DiskFreeSpace {
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t bytesPerSector = 0;
  std::uint32_t freeClusters = 0;
  std::uint32_t totalClusters = 0;
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

  // ---- Processes, tokens and time (kernel32, advapi32, userenv) ----
  virtual Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) = 0;
  virtual bool Process32First(Handle snapshot, PROCESSENTRY32& entry) = 0;
  virtual bool Process32Next(Handle snapshot, PROCESSENTRY32& entry) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
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
  // A modal message box titled with the product name. `style` is one of the MB_ values
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
};

// The answer of a wildcard match.
enum class LikeResult { NoMatch, Match, InvalidPattern };

// Wildcard match of `text` against `pattern`, compared by character (UTF-8 aware) and
// case-sensitively: `?` one character, `*` any run (also none), `#` one digit 0-9, `[list]`
// one character of the list (ranges such as a-z allowed), `[!list]` one character not in it.
// A `[` without its `]` makes the pattern invalid.
LikeResult MatchLike(std::string_view text, std::string_view pattern);

}  // namespace tidewick
