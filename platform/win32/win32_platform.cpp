#include "platform/win32/win32_platform.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <userenv.h>
// tlhelp32.h renames these to their W forms under UNICODE; the contract has its own
// Process32First/Next, and this file calls the W functions by name.
#undef Process32First
#undef Process32Next

#include "platform/kill_tool.h"
#include "platform/product.h"
#include "platform/text.h"
#include "platform/win32/snapshot_retry.h"
#include "platform/win32/win32_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <optional>
#include <vector>

namespace tidewick::win32 {
namespace {

// The contract's two roots (the values of the classic predefined keys).
constexpr Handle kCurrentUserRoot = 0x80000001u;
constexpr Handle kLocalMachineRoot = 0x80000002u;
// What GetCurrentProcess answers: the pseudo-handle -1, cut to the contract's 32 bits.
constexpr Handle kCurrentProcess = 0xFFFFFFFFu;
// Table handles stay below the roots.
constexpr Handle kLastTableHandle = 0x7FFFFFFFu;

// Every key is opened and created in the native (64-bit) view of the registry: a 32-bit build
// on 64-bit Windows would otherwise be led from HKEY_LOCAL_MACHINE\Software to its 32-bit copy
// (Wow6432Node) and miss the autostart places and policies that Windows itself reads. 32-bit
// Windows ignores the flag.
constexpr REGSAM kNativeView = KEY_WOW64_64KEY;

// The access a key is opened with: in the native view, unless the caller asks for the 32-bit
// one (KeyAccess::View32, KEY_WOW64_32KEY); Windows takes only one of the two flags.
REGSAM InView(REGSAM access) { return (access & KEY_WOW64_32KEY) != 0 ? access : access | kNativeView; }

// Access asked for by RegOpenKeyA. The classic RegOpenKeyA opens with MAXIMUM_ALLOWED: the key
// opens whenever the user may at least read it (a user without administrator rights can read
// most of HKEY_LOCAL_MACHINE but not write it), and later calls succeed as far as the granted
// rights reach. Asking for KEY_ALL_ACCESS would make every HKLM read fail for such a user.
constexpr REGSAM kOpenAccess = MAXIMUM_ALLOWED;
// Access asked for by RegCreateKeyA: reading and writing values and creating sub-keys. The
// program creates a key only to write a value into it, so a key the user may not write (HKLM
// without administrator rights) fails here with a code and leaves the handle 0, as a refused
// creation of a missing key does. Rights the program never uses (DELETE, WRITE_DAC,
// WRITE_OWNER, which KEY_ALL_ACCESS would add) are not asked for, so they cannot make a
// writable key fail.
constexpr REGSAM kCreateAccess = KEY_READ | KEY_WRITE;

bool IsTextType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Stored value data as the program sees it: text types are converted from UTF-16 to UTF-8
// exactly as stored (every unit, NULs included, none added when the stored text lacks its
// terminator; an odd last byte is dropped), other types are passed unchanged.
std::vector<std::uint8_t> ToProgramData(DWORD type, const std::vector<BYTE>& stored) {
  if (!IsTextType(type)) return {stored.begin(), stored.end()};
  std::wstring units(stored.size() / sizeof(wchar_t), L'\0');
  if (!units.empty()) std::memcpy(units.data(), stored.data(), units.size() * sizeof(wchar_t));
  const std::string utf8 = Narrow(units);
  return {utf8.begin(), utf8.end()};
}

// Program data as it is stored: text types from UTF-8 to UTF-16, other types unchanged.
std::vector<BYTE> ToStoredData(DWORD type, const void* data, std::uint32_t size) {
  const auto* bytes = static_cast<const BYTE*>(data);
  if (!IsTextType(type)) return {bytes, bytes + size};
  const std::wstring wide = Widen(std::string_view(static_cast<const char*>(data), size));
  std::vector<BYTE> stored(wide.size() * sizeof(wchar_t));
  if (!stored.empty()) std::memcpy(stored.data(), wide.data(), stored.size());
  return stored;
}

// Reads a value's type and stored bytes, following a value that grows between the calls.
LSTATUS ReadStoredValue(HKEY key, const std::wstring& name, DWORD& type,
                        std::vector<BYTE>& stored) {
  DWORD size = 0;
  LSTATUS status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
  for (int attempt = 0; status == ERROR_SUCCESS && attempt < 16; ++attempt) {
    // One spare byte keeps the buffer non-null for an empty value.
    stored.assign(static_cast<std::size_t>(size) + 1, 0);
    DWORD got = size + 1;
    status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, stored.data(), &got);
    if (status == ERROR_SUCCESS) {
      stored.resize(got);
      return status;
    }
    if (status == ERROR_MORE_DATA) {
      size = got;
      status = ERROR_SUCCESS;
    }
  }
  return status == ERROR_SUCCESS ? ERROR_MORE_DATA : status;
}

// Keeps Windows from asking "There is no disk in the drive" while a drive is probed: the call
// fails with a code instead. Restores the thread's previous mode.
class QuietCriticalErrors {
 public:
  QuietCriticalErrors() {
    restore_ = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_);
  }
  // Keeps the last error of the call it surrounded: GetLastError asks for it afterwards.
  ~QuietCriticalErrors() {
    const DWORD error = ::GetLastError();
    if (restore_) ::SetThreadErrorMode(previous_, nullptr);
    ::SetLastError(error);
  }
  QuietCriticalErrors(const QuietCriticalErrors&) = delete;
  QuietCriticalErrors& operator=(const QuietCriticalErrors&) = delete;

 private:
  DWORD previous_ = 0;
  BOOL restore_ = FALSE;
};

// An entry is listed when each of its hidden, system and folder attributes is in the mask;
// read-only and archive never exclude it.
bool Admitted(DWORD attributes, std::uint32_t mask) {
  const DWORD selective = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
  return (attributes & selective & ~static_cast<DWORD>(mask)) == 0;
}

// The show command for a started command line's window style (the classic window styles).
WORD ShowCommandFor(int windowStyle) {
  switch (windowStyle) {
    case 0: return SW_HIDE;
    case 1: return SW_SHOWNORMAL;
    case 2: return SW_SHOWMINIMIZED;
    case 3: return SW_SHOWMAXIMIZED;
    case 4: return SW_SHOWNOACTIVATE;
    case 6: return SW_SHOWMINNOACTIVE;
    default: return SW_SHOWNORMAL;
  }
}

std::wstring OptionalWide(const char* text) { return text ? Widen(text) : std::wstring(); }

// The file `name` of the system folder ("C:\Windows\System32\cmd.exe"); empty when the folder
// cannot be told. The system's own programs are loaded from there by the 32-bit build too.
std::wstring SystemFile(std::wstring_view name) {
  std::wstring folder(MAX_PATH, L'\0');
  UINT length = ::GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  if (length >= folder.size()) {  // longer than MAX_PATH: `length` counts the terminator
    folder.assign(length, L'\0');
    length = ::GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  }
  if (length == 0 || length >= folder.size()) return {};
  folder.resize(length);
  if (folder.back() != L'\\') folder += L'\\';
  return folder + std::wstring(name);
}

// The system's own program `name` ("cmd.exe") for this process to start: the native one of
// System32 in every case. A 32-bit build on 64-bit Windows (under WoW64) would be led from
// System32 to the 32-bit copies of SysWOW64, so there it names the file through the Sysnative
// alias, which leads a WoW64 process to the native System32; 32-bit and 64-bit Windows, and
// a Windows without the alias, take SystemFile. Empty when the folder cannot be told.
std::wstring NativeSystemProgram(std::wstring_view name) {
  BOOL wow64 = FALSE;
  if (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64) {
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      std::wstring native(windows, length);
      if (native.back() != L'\\') native += L'\\';
      native += L"Sysnative\\";
      native += name;
      if (::GetFileAttributesW(native.c_str()) != INVALID_FILE_ATTRIBUTES) return native;
    }
  }
  return SystemFile(name);
}

// Where the arguments of a command line start when its program, the first word (quoted or
// not), is the command interpreter "cmd" or "cmd.exe" in any letter case; nullopt otherwise.
std::optional<std::size_t> InterpreterArguments(std::wstring_view line) {
  std::size_t begin = std::min(line.find_first_not_of(L" \t"), line.size());
  std::size_t end = 0;
  std::size_t next = 0;
  if (begin < line.size() && line[begin] == L'"') {
    ++begin;
    end = std::min(line.find(L'"', begin), line.size());
    next = std::min(end + 1, line.size());
  } else {
    end = std::min(line.find_first_of(L" \t", begin), line.size());
    next = end;
  }
  const std::string program = LowerCase(Narrow(line.substr(begin, end - begin)));
  if (program != "cmd" && program != "cmd.exe") return std::nullopt;
  return next;
}

// The switches every interpreter started here gets: /d leaves out the AutoRun commands that the
// registry may name for each start of cmd.exe (a place malware writes to), /v:off keeps "!"
// literal whatever the registry asks for.
constexpr std::wstring_view kInterpreterSwitches = L" /d /v:off";

// What runs for the kill-tool command line "cmd /c pskill <pid>": the system's cmd.exe running
// the pskill.exe of the current folder by its full path, quoted. That is the file whose
// presence the program tested (a bare "pskill.exe" resolves there), never a pskill.com,
// pskill.bat or pskill.cmd that cmd would try before it, nor a pskill elsewhere on the search
// path. /s makes cmd take what lies between the outer quotes as the command. cmd would still
// expand a %name% inside the quotes, so a current folder whose path holds "%" has the tool named
// ".\\pskill.exe" instead, which cmd resolves against the same current folder (the one it
// inherits; only a folder on a network share, which cmd does not take as its current folder,
// would then miss the tool).
std::wstring KillToolCommandLine(const std::wstring& interpreter, std::uint32_t pid) {
  std::wstring tool = FullPathOf(L"pskill.exe");
  if (tool.empty() || tool.find(L'%') != std::wstring::npos) tool = L".\\pskill.exe";
  return L"\"" + interpreter + L"\"" + std::wstring(kInterpreterSwitches) + L" /s /c \"\"" + tool +
         L"\" " + std::to_wstring(pid) + L"\"";
}

}  // namespace

Win32Platform::Win32Platform() = default;
Win32Platform::~Win32Platform() = default;

void Win32Platform::SetMessageFilter(std::function<bool(MSG&)> filter) {
  messageFilter_ = std::move(filter);
}

Handle Win32Platform::NewHandleNumber() {
  // Small non-zero numbers, unique across the tables, never one of the roots or the process
  // pseudo-handle.
  for (;;) {
    const Handle candidate = nextHandle_;
    nextHandle_ = nextHandle_ >= kLastTableHandle ? 1 : nextHandle_ + 1;
    if (!keys_.contains(candidate) && !snapshots_.contains(candidate) &&
        !tokens_.contains(candidate)) {
      return candidate;
    }
  }
}

// ---- Registry --------------------------------------------------------------------------------

HKEY Win32Platform::KeyOf(Handle key) const {
  if (key == kCurrentUserRoot) return HKEY_CURRENT_USER;
  if (key == kLocalMachineRoot) return HKEY_LOCAL_MACHINE;
  const auto found = keys_.find(key);
  return found == keys_.end() ? nullptr : found->second.get();
}

Status Win32Platform::OpenKey(Handle root, std::string_view subKey, REGSAM access, Handle& key,
                              bool create) {
  key = 0;
  const HKEY parent = KeyOf(root);
  if (!parent) return ERROR_INVALID_HANDLE;
  const std::wstring path = Widen(subKey);
  HKEY opened = nullptr;
  const LSTATUS status =
      create ? ::RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 InView(access), nullptr, &opened, nullptr)
             : ::RegOpenKeyExW(parent, path.c_str(), 0, InView(access), &opened);
  if (status != ERROR_SUCCESS) return status;
  UniqueRegKey owner(opened);
  key = NewHandleNumber();
  keys_.emplace(key, std::move(owner));
  return ERROR_SUCCESS;
}

Status Win32Platform::RegOpenKeyA(Handle root, std::string_view subKey, Handle& key) {
  return OpenKey(root, subKey, kOpenAccess, key, false);
}

Status Win32Platform::RegOpenKeyExA(Handle root, std::string_view subKey, std::uint32_t options,
                                    std::uint32_t access, Handle& key) {
  key = 0;
  if (options != 0) return ERROR_INVALID_PARAMETER;
  return OpenKey(root, subKey, access, key, false);
}

Status Win32Platform::RegCreateKeyA(Handle root, std::string_view subKey, Handle& key) {
  return OpenKey(root, subKey, kCreateAccess, key, true);
}

Status Win32Platform::RegQueryValueExA(Handle key, std::string_view valueName,
                                       std::uint32_t* type, void* data, std::uint32_t* size) {
  const HKEY hkey = KeyOf(key);
  if (!hkey) return ERROR_INVALID_HANDLE;
  if (data && !size) return ERROR_INVALID_PARAMETER;

  DWORD storedType = REG_NONE;
  std::vector<BYTE> stored;
  const LSTATUS status = ReadStoredValue(hkey, Widen(valueName), storedType, stored);
  if (status != ERROR_SUCCESS) return status;

  const std::vector<std::uint8_t> bytes = ToProgramData(storedType, stored);
  const auto needed = static_cast<std::uint32_t>(bytes.size());
  if (type) *type = storedType;
  if (!size) return ERROR_SUCCESS;
  if (data && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data && needed) std::memcpy(data, bytes.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

Status Win32Platform::RegSetValueExA(Handle key, std::string_view valueName,
                                     std::uint32_t reserved, std::uint32_t type, const void* data,
                                     std::uint32_t size) {
  const HKEY hkey = KeyOf(key);
  if (!hkey) return ERROR_INVALID_HANDLE;
  if (!data && size) return ERROR_INVALID_PARAMETER;
  std::vector<BYTE> stored = data ? ToStoredData(type, data, size) : std::vector<BYTE>();
  const auto storedSize = static_cast<DWORD>(stored.size());
  // RegSetValueExW adds a text's terminator itself when it is left out of the count but the
  // character after the data is NUL; it reads that character in any case. A non-NUL character
  // after the data keeps the value exactly as the program gave it.
  stored.push_back('?');
  stored.push_back('?');
  return ::RegSetValueExW(hkey, Widen(valueName).c_str(), reserved, type,
                          data ? stored.data() : nullptr, storedSize);
}

Status Win32Platform::RegDeleteValueA(Handle key, std::string_view valueName) {
  const HKEY hkey = KeyOf(key);
  if (!hkey) return ERROR_INVALID_HANDLE;
  return ::RegDeleteValueW(hkey, Widen(valueName).c_str());
}

Status Win32Platform::RegEnumValueA(Handle key, std::uint32_t index, char* name,
                                    std::uint32_t& nameLength, std::uint32_t* type,
                                    std::uint8_t* data, std::uint32_t& dataLength) {
  const HKEY hkey = KeyOf(key);
  if (!hkey) return ERROR_INVALID_HANDLE;
  if (!name) return ERROR_INVALID_PARAMETER;

  DWORD longestName = 0;
  DWORD largestData = 0;
  LSTATUS status = ::RegQueryInfoKeyW(hkey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, &longestName, &largestData, nullptr, nullptr);
  if (status != ERROR_SUCCESS) return status;

  // Room for the longest name and the largest data; grown when a value changes meanwhile.
  std::wstring wideName(static_cast<std::size_t>(longestName) + 1, L'\0');
  std::vector<BYTE> stored(static_cast<std::size_t>(largestData) + 1);
  DWORD storedType = REG_NONE;
  for (int attempt = 0;; ++attempt) {
    auto nameChars = static_cast<DWORD>(wideName.size());
    auto dataBytes = static_cast<DWORD>(stored.size());
    status = ::RegEnumValueW(hkey, index, wideName.data(), &nameChars, nullptr, &storedType,
                             stored.data(), &dataBytes);
    if (status == ERROR_SUCCESS) {
      wideName.resize(nameChars);
      stored.resize(dataBytes);
      break;
    }
    if (status != ERROR_MORE_DATA || attempt == 16) return status;
    wideName.resize(std::max<std::size_t>(wideName.size() * 2, 16384));
    stored.resize(std::max<std::size_t>(stored.size() * 2, static_cast<std::size_t>(dataBytes) + 1));
  }

  const std::string utf8Name = Narrow(wideName);
  const std::vector<std::uint8_t> bytes = ToProgramData(storedType, stored);
  if (utf8Name.size() + 1 > nameLength) return ERROR_MORE_DATA;
  if (data && bytes.size() > dataLength) {
    dataLength = static_cast<std::uint32_t>(bytes.size());
    return ERROR_MORE_DATA;
  }
  std::memcpy(name, utf8Name.c_str(), utf8Name.size() + 1);
  nameLength = static_cast<std::uint32_t>(utf8Name.size());
  if (type) *type = storedType;
  if (data && !bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  dataLength = static_cast<std::uint32_t>(bytes.size());
  return ERROR_SUCCESS;
}

Status Win32Platform::RegCloseKey(Handle key) {
  if (key == kCurrentUserRoot || key == kLocalMachineRoot) return ERROR_SUCCESS;
  const auto found = keys_.find(key);
  if (found == keys_.end()) return ERROR_INVALID_HANDLE;  // 0 included: harmless
  const LSTATUS status = ::RegCloseKey(found->second.release());
  keys_.erase(found);
  return status;
}

// ---- Files and disks -------------------------------------------------------------------------

bool Win32Platform::PathFileExistsA(std::string_view path) {
  if (path.empty()) return false;
  QuietCriticalErrors quiet;
  return ::GetFileAttributesW(FilePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32Platform::SetFileAttributesA(std::string_view path, std::uint32_t attributes) {
  QuietCriticalErrors quiet;
  return ::SetFileAttributesW(FilePath(path).c_str(), attributes) != FALSE;
}

bool Win32Platform::DeleteFileA(std::string_view path) {
  QuietCriticalErrors quiet;
  return ::DeleteFileW(FilePath(path).c_str()) != FALSE;
}

bool Win32Platform::GetDiskFreeSpaceA(std::string_view root, DiskFreeSpace& counts) {
  QuietCriticalErrors quiet;
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  if (!::GetDiskFreeSpaceW(Widen(root).c_str(), &sectorsPerCluster, &bytesPerSector,
                           &freeClusters, &totalClusters)) {
    return false;
  }
  counts = {sectorsPerCluster, bytesPerSector, freeClusters, totalClusters};
  return true;
}

bool Win32Platform::GetVolumeInformationA(std::string_view root, std::uint32_t& serialNumber) {
  QuietCriticalErrors quiet;
  DWORD serial = 0;
  if (!::GetVolumeInformationW(Widen(root).c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr,
                               0)) {
    return false;
  }
  serialNumber = serial;
  return true;
}

// ---- Processes, tokens, time -----------------------------------------------------------------

Handle Win32Platform::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) {
  UniqueSnapshot snapshot(
      TakeSnapshot([&] { return ::CreateToolhelp32Snapshot(flags, processId); }));
  if (!snapshot) return 0;
  const Handle number = NewHandleNumber();
  snapshots_.emplace(number, std::move(snapshot));
  return number;
}

bool Win32Platform::NextProcess(Handle snapshot, tidewick::ProcessEntry32& entry, bool first) {
  const auto found = snapshots_.find(snapshot);
  if (found == snapshots_.end()) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  // As the A functions: a record whose size is not set is refused.
  if (entry.dwSize < tidewick::ProcessEntry32::kAnsiSize) {
    ::SetLastError(ERROR_BAD_LENGTH);
    return false;
  }
  PROCESSENTRY32W process{};
  process.dwSize = sizeof process;
  const BOOL ok = first ? ::Process32FirstW(found->second.get(), &process)
                        : ::Process32NextW(found->second.get(), &process);
  if (!ok) return false;
  entry.th32ProcessID = process.th32ProcessID;
  entry.szExeFile = Narrow(std::wstring_view(
      process.szExeFile, ::wcsnlen(process.szExeFile, std::size(process.szExeFile))));
  return true;
}

bool Win32Platform::Process32First(Handle snapshot, tidewick::ProcessEntry32& entry) {
  return NextProcess(snapshot, entry, true);
}

bool Win32Platform::Process32Next(Handle snapshot, tidewick::ProcessEntry32& entry) {
  return NextProcess(snapshot, entry, false);
}

bool Win32Platform::CloseHandle(Handle handle) {
  if (handle == kCurrentProcess) return true;  // closing the pseudo-handle does nothing
  if (const auto found = snapshots_.find(handle); found != snapshots_.end()) {
    const BOOL ok = ::CloseHandle(found->second.release());
    snapshots_.erase(found);
    return ok != FALSE;
  }
  if (const auto found = tokens_.find(handle); found != tokens_.end()) {
    const BOOL ok = ::CloseHandle(found->second.release());
    tokens_.erase(found);
    return ok != FALSE;
  }
  ::SetLastError(ERROR_INVALID_HANDLE);
  return false;
}

bool Win32Platform::QueryFullProcessImageNameA(std::uint32_t processId, std::string& path) {
  // The limited right suffices on Vista and later, also for many processes of other users;
  // full query rights are asked for only where it is refused.
  UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) process.reset(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  if (!process) return false;
  std::wstring image(MAX_PATH, L'\0');
  for (;;) {
    auto chars = static_cast<DWORD>(image.size());
    if (::QueryFullProcessImageNameW(process.get(), 0, image.data(), &chars)) {
      image.resize(chars);
      break;
    }
    // A path beyond MAX_PATH: ask again with more room, up to the longest path there is.
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || image.size() >= 32768) return false;
    image.assign(image.size() * 2, L'\0');
  }
  path = Narrow(image);
  return true;
}

Handle Win32Platform::GetCurrentProcess() { return kCurrentProcess; }

bool Win32Platform::OpenProcessToken(Handle process, std::uint32_t access, Handle& token) {
  token = 0;
  if (process != kCurrentProcess) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  HANDLE opened = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), access, &opened)) return false;
  UniqueKernelHandle owner(opened);
  token = NewHandleNumber();
  tokens_.emplace(token, std::move(owner));
  return true;
}

bool Win32Platform::GetUserProfileDirectoryA(Handle token, std::string& buffer,
                                             std::uint32_t& size) {
  const auto found = tokens_.find(token);
  if (found == tokens_.end()) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  std::wstring folder(MAX_PATH, L'\0');
  for (int attempt = 0;; ++attempt) {
    auto chars = static_cast<DWORD>(folder.size());
    if (::GetUserProfileDirectoryW(found->second.get(), folder.data(), &chars)) break;
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || attempt == 4 || chars <= folder.size()) {
      return false;
    }
    folder.assign(chars, L'\0');
  }
  folder.resize(::wcsnlen(folder.c_str(), folder.size()));

  const std::string utf8 = Narrow(folder);
  const auto needed = static_cast<std::uint32_t>(utf8.size() + 1);
  const std::size_t room = std::min<std::size_t>(size, buffer.size());
  if (needed > room) {
    size = needed;
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  buffer.replace(0, utf8.size(), utf8);
  buffer[utf8.size()] = '\0';
  size = needed;
  return true;
}

std::uint32_t Win32Platform::GetTickCount() { return ::GetTickCount(); }

// ---- Shell -----------------------------------------------------------------------------------

void Win32Platform::ShellExecuteA(Handle owner, const char* verb, std::string_view file,
                                  const char* parameters, const char* directory, int show) {
  const HWND window = owner ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(owner)) : nullptr;
  const std::wstring wideVerb = OptionalWide(verb);
  const std::wstring wideParameters = OptionalWide(parameters);
  const std::wstring wideDirectory = OptionalWide(directory);
  ::ShellExecuteW(window, verb ? wideVerb.c_str() : nullptr, Widen(file).c_str(),
                  parameters ? wideParameters.c_str() : nullptr,
                  directory ? wideDirectory.c_str() : nullptr, show);
}

// ---- General services ------------------------------------------------------------------------

int Win32Platform::MsgBox(std::string_view text, int style) {
  // Owned by the active window, so that window is disabled while the box is up; without one
  // the box still keeps the program's windows from being used until it is answered.
  const HWND owner = ::GetActiveWindow();
  UINT flags = static_cast<UINT>(style);
  if (!owner) flags |= MB_TASKMODAL;
  return ::MessageBoxW(owner, Widen(text).c_str(), Widen(kProductName).c_str(), flags);
}

std::string Win32Platform::DirFirst(std::string_view pattern, std::uint32_t mask) {
  listing_.reset();
  listingMask_ = mask;
  listingFailed_ = false;

  QuietCriticalErrors quiet;
  WIN32_FIND_DATAW found{};
  UniqueFindHandle listing(::FindFirstFileExW(FilePath(pattern).c_str(), FindExInfoBasic, &found,
                                              FindExSearchNameMatch, nullptr,
                                              FIND_FIRST_EX_LARGE_FETCH));
  if (!listing) {
    const DWORD error = ::GetLastError();
    // No match is an empty listing; anything else means the folder could not be read.
    listingFailed_ = error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES;
    return {};
  }
  listing_ = std::move(listing);
  if (Admitted(found.dwFileAttributes, listingMask_)) return Narrow(found.cFileName);
  return NextListedName();
}

std::string Win32Platform::DirNext() { return NextListedName(); }

bool Win32Platform::DirFailed() { return listingFailed_; }

std::string Win32Platform::NextListedName() {
  if (!listing_) return {};
  QuietCriticalErrors quiet;
  WIN32_FIND_DATAW found{};
  while (::FindNextFileW(listing_.get(), &found)) {
    if (Admitted(found.dwFileAttributes, listingMask_)) return Narrow(found.cFileName);
  }
  listingFailed_ = ::GetLastError() != ERROR_NO_MORE_FILES;
  listing_.reset();
  return {};
}

void Win32Platform::StartCommandLine(std::string_view commandLine, int windowStyle) {
  std::wstring line = Widen(commandLine);
  if (line.empty()) return;
  // The interpreter is the system's cmd.exe, named by its full path: started by a bare "cmd",
  // Windows would first look in this program's own folder and in the current folder, where a
  // planted cmd.exe (on the very stick being cleaned) would run, elevated if this program is.
  // Other programs are started as given; the program starts none.
  std::wstring interpreter;
  if (const auto arguments = InterpreterArguments(line)) {
    interpreter = NativeSystemProgram(L"cmd.exe");
    if (interpreter.empty()) return;  // never a cmd.exe found by the search instead
    const auto pid = KillToolTarget(commandLine);
    line = pid ? KillToolCommandLine(interpreter, *pid)
               : L"\"" + interpreter + L"\"" + std::wstring(kInterpreterSwitches) + L' ' +
                     line.substr(*arguments);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = ShowCommandFor(windowStyle);
  PROCESS_INFORMATION started{};
  if (::CreateProcessW(interpreter.empty() ? nullptr : interpreter.c_str(), line.data(), nullptr,
                       nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &started)) {
    // Not waited for: both handles are let go at once.
    UniqueKernelHandle process(started.hProcess);
    UniqueKernelHandle thread(started.hThread);
  }
}

void Win32Platform::DoEvents() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The quit request belongs to the main loop: put it back and let the caller return.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (messageFilter_ && messageFilter_(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void Win32Platform::WaitForEvents(std::uint32_t milliseconds) {
  ::MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void Win32Platform::EndProgram() { ::ExitProcess(0); }

bool Win32Platform::PrevInstance() {
  // The answer belongs to the process: the first call creates the named mutex and decides; the
  // mutex stays held until the process ends, so later instances find it.
  struct InstanceMutex {
    UniqueKernelHandle mutex;
    bool existed = false;
  };
  static const InstanceMutex instance = [] {
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, L"Local\\Tidewick.SingleInstance");
    const DWORD error = ::GetLastError();
    InstanceMutex made;
    made.mutex.reset(mutex);
    // A mutex created by another user or integrity level cannot be opened, but it exists.
    made.existed = mutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
    return made;
  }();
  return instance.existed;
}

std::string Win32Platform::AppExeName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= 65536) return {};
    path.resize(path.size() * 2);  // the name was cut: try again with more room
  }
  const std::size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  return Narrow(name);
}

// ---- Reading before a change, errors, time, clipboard, saving --------------------------------

bool Win32Platform::GetFileAttributesExA(std::string_view path, FileAttributeData& data) {
  if (path.empty()) {
    ::SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  QuietCriticalErrors quiet;
  WIN32_FILE_ATTRIBUTE_DATA found{};
  if (!::GetFileAttributesExW(FilePath(path).c_str(), GetFileExInfoStandard, &found)) return false;
  data.attributes = found.dwFileAttributes;
  data.size = (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
  return true;
}

std::uint32_t Win32Platform::GetLastError() { return ::GetLastError(); }

Status Win32Platform::RegDeleteKeyA(Handle key, std::string_view subKey) {
  const HKEY hkey = KeyOf(key);
  if (!hkey) return ERROR_INVALID_HANDLE;
  return ::RegDeleteKeyExW(hkey, Widen(subKey).c_str(), kNativeView, 0);
}

void Win32Platform::GetLocalTime(SystemTime& time) {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  time = {now.wYear, now.wMonth, now.wDayOfWeek, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

bool Win32Platform::SetClipboardText(std::string_view text) {
  const std::wstring wide = Widen(text);
  const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  if (!::OpenClipboard(::GetActiveWindow())) return false;
  bool placed = false;
  if (::EmptyClipboard()) {
    if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
      if (void* target = ::GlobalLock(memory)) {
        std::memcpy(target, wide.c_str(), bytes);
        ::GlobalUnlock(memory);
        // The clipboard owns the memory once it has taken it.
        placed = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
      }
      if (!placed) ::GlobalFree(memory);
    }
  }
  ::CloseClipboard();
  return placed;
}

std::string Win32Platform::GetSaveFileNameA(std::string_view suggestedName) {
  // Room for a long path; the dialog answers FNERR_BUFFERTOOSMALL beyond it.
  std::wstring file(32768, L'\0');
  const std::wstring suggested = Widen(suggestedName);
  std::copy(suggested.begin(), suggested.begin() + static_cast<std::ptrdiff_t>(std::min(suggested.size(), file.size() - 1)),
            file.begin());
  wchar_t documents[MAX_PATH] = {};
  const bool haveDocuments = SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents));

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = ::GetActiveWindow();
  dialog.lpstrFilter = L"Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = haveDocuments ? documents : nullptr;
  dialog.lpstrDefExt = L"txt";
  // The dialog asks itself before an existing file is taken; the program's own folder stays
  // the current one.
  dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOREADONLYRETURN |
                 OFN_NOCHANGEDIR;
  // The common dialogs are loaded from the system folder when first needed, so the program
  // does not import comdlg32.dll for this one dialog.
  using SaveDialog = BOOL(WINAPI*)(OPENFILENAMEW*);
  static const SaveDialog getSaveFileName = []() -> SaveDialog {
    // By its full path in the system folder: no other file of that name is loaded instead.
    wchar_t system[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const HMODULE dialogs = ::LoadLibraryW((std::wstring(system, length) + L"\\comdlg32.dll").c_str());
    if (!dialogs) return nullptr;
    return reinterpret_cast<SaveDialog>(reinterpret_cast<void*>(::GetProcAddress(dialogs, "GetSaveFileNameW")));
  }();
  if (getSaveFileName == nullptr || !getSaveFileName(&dialog)) return {};  // cancelled, or no dialog
  file.resize(::wcsnlen(file.c_str(), file.size()));
  return Narrow(file);
}

bool Win32Platform::WriteTextFile(std::string_view path, std::string_view text, bool replaceExisting) {
  if (path.empty()) {
    ::SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  QuietCriticalErrors quiet;
  // CREATE_NEW refuses an existing file (ERROR_FILE_EXISTS): nothing is overwritten unasked.
  const HANDLE file = ::CreateFileW(FilePath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    replaceExisting ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const char* next = text.data();
  std::size_t left = text.size();
  DWORD error = ERROR_SUCCESS;
  while (left > 0 && error == ERROR_SUCCESS) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, std::size_t{1} << 20));
    DWORD written = 0;
    if (!::WriteFile(file, next, chunk, &written, nullptr) || written == 0) {
      error = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_WRITE_FAULT;
      break;
    }
    next += written;
    left -= written;
  }
  if (!::CloseHandle(file) && error == ERROR_SUCCESS) error = ::GetLastError();
  ::SetLastError(error);
  return error == ERROR_SUCCESS;
}

bool Win32Platform::ReadFileBytes(std::string_view path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) {
  if (path.empty()) {
    ::SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  QuietCriticalErrors quiet;
  // Every kind of sharing: a file another program has open is read all the same, and nothing
  // is held back from it meanwhile. A folder does not open without backup semantics.
  const HANDLE file = ::CreateFileW(FilePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Read in chunks into a buffer of the program's own: a file shorter than what is asked for is
  // read by one ReadFile, whose short answer is its end.
  std::vector<std::uint8_t> read;
  DWORD error = ERROR_SUCCESS;
  std::uint8_t chunk[4096];
  while (read.size() < maxBytes) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(maxBytes - read.size(), sizeof chunk));
    DWORD got = 0;
    if (!::ReadFile(file, chunk, want, &got, nullptr)) {
      error = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_READ_FAULT;
      break;
    }
    read.insert(read.end(), chunk, chunk + got);
    if (got < want) break;  // the end of the file
  }
  ::CloseHandle(file);
  if (error != ERROR_SUCCESS) {
    ::SetLastError(error);
    return false;
  }
  bytes = std::move(read);
  return true;
}

bool Win32Platform::MoveFileExA(std::string_view existing, std::string_view newName) {
  if (existing.empty() || newName.empty()) {
    ::SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  QuietCriticalErrors quiet;
  // No MOVEFILE_REPLACE_EXISTING and no MOVEFILE_COPY_ALLOWED: a rename, or nothing.
  return ::MoveFileExW(FilePath(existing).c_str(), FilePath(newName).c_str(), 0) != FALSE;
}

bool Win32Platform::RemoveDirectoryA(std::string_view path) {
  if (path.empty()) {
    ::SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  QuietCriticalErrors quiet;
  return ::RemoveDirectoryW(FilePath(path).c_str()) != FALSE;
}

// ---- The environment, the system's folders, drive types, other processes' command lines -----

std::vector<std::string> Win32Platform::GetEnvironmentStringsA() {
  std::vector<std::string> entries;
  wchar_t* block = ::GetEnvironmentStringsW();
  if (block == nullptr) return entries;
  for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    entries.push_back(Narrow(entry));
  }
  ::FreeEnvironmentStringsW(block);
  return entries;
}

bool Win32Platform::SHGetFolderPathA(int folder, std::string& path) {
  wchar_t found[MAX_PATH + 1] = {};
  // S_FALSE (the folder does not exist) still gives its path.
  if (FAILED(::SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, found))) return false;
  std::wstring text(found, ::wcsnlen(found, MAX_PATH));
  if (text.size() > 3 && text.back() == L'\\') text.pop_back();
  if (text.empty()) return false;
  path = Narrow(text);
  return true;
}

bool Win32Platform::GetTempPathA(std::string& path) {
  std::wstring folder(MAX_PATH + 1, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
    if (length == 0) return false;
    if (length < folder.size()) {
      folder.resize(length);
      path = Narrow(folder);
      return true;
    }
    folder.assign(static_cast<std::size_t>(length) + 1, L'\0');  // it asked for more room
  }
  return false;
}

std::uint32_t Win32Platform::GetDriveTypeA(std::string_view root) {
  QuietCriticalErrors quiet;
  return ::GetDriveTypeW(Widen(root).c_str());
}

namespace {

using NtQueryInformationProcessFunction = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
// The information classes asked for, and the status of an answer that needs more room.
constexpr ULONG kProcessBasicInformation = 0;
constexpr ULONG kProcessWow64Information = 26;
constexpr ULONG kProcessCommandLineInformation = 60;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// ntdll's NtQueryInformationProcess, looked up rather than imported (the program imports no
// ntdll.dll); null where it cannot be found.
NtQueryInformationProcessFunction NtQuery() {
  static const auto function = reinterpret_cast<NtQueryInformationProcessFunction>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  return function;
}

// A counted UTF-16 string as the system keeps it (UNICODE_STRING).
struct CountedText {
  USHORT length;  // in bytes
  USHORT maximumLength;
  PWSTR buffer;
};

// Reads `size` bytes at `address` in `process`; false unless every one of them was read.
bool ReadRemote(HANDLE process, std::uint64_t address, void* into, std::size_t size) {
  if (address == 0 || address > static_cast<std::uint64_t>(UINTPTR_MAX)) return false;
  SIZE_T got = 0;
  return ::ReadProcessMemory(process, reinterpret_cast<LPCVOID>(static_cast<std::uintptr_t>(address)), into, size,
                             &got) != FALSE &&
         got == size;
}

// The command line in the process parameters of the process environment block at `peb`, laid
// out with pointers of `pointerSize` bytes (8: a 64-bit process, 4: a 32-bit one): the PEB's
// ProcessParameters at 0x20 (0x10), their CommandLine at 0x70 (0x40), its buffer one pointer
// after its counts.
std::optional<std::wstring> CommandLineInPeb(HANDLE process, std::uint64_t peb, std::size_t pointerSize) {
  const std::uint64_t parametersAt = pointerSize == 8 ? 0x20 : 0x10;
  const std::uint64_t commandLineAt = pointerSize == 8 ? 0x70 : 0x40;
  std::uint64_t parameters = 0;  // little-endian: a 4-byte pointer fills the low half
  if (!ReadRemote(process, peb + parametersAt, &parameters, pointerSize)) return std::nullopt;
  USHORT length = 0;
  std::uint64_t buffer = 0;
  if (!ReadRemote(process, parameters + commandLineAt, &length, sizeof length) ||
      !ReadRemote(process, parameters + commandLineAt + pointerSize, &buffer, pointerSize)) {
    return std::nullopt;
  }
  std::wstring text(length / sizeof(wchar_t), L'\0');
  if (!text.empty() && !ReadRemote(process, buffer, text.data(), text.size() * sizeof(wchar_t))) return std::nullopt;
  return text;
}

}  // namespace

bool Win32Platform::NtQueryInformationProcess(std::uint32_t processId, std::string& commandLine) {
  const NtQueryInformationProcessFunction query = NtQuery();
  if (query == nullptr) return false;
  UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  if (!process) process.reset(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  if (!process) return false;

  // Windows 8.1 and later answer the command line itself: its counts and buffer, followed by
  // the text the buffer points to.
  std::vector<ULONG_PTR> answer(4096 / sizeof(ULONG_PTR));
  for (int attempt = 0; attempt < 4; ++attempt) {
    ULONG needed = 0;
    const auto bytes = static_cast<ULONG>(answer.size() * sizeof(ULONG_PTR));
    const LONG status = query(process.get(), kProcessCommandLineInformation, answer.data(), bytes, &needed);
    if (status >= 0) {
      const auto* text = reinterpret_cast<const CountedText*>(answer.data());
      commandLine = Narrow(std::wstring_view(text->buffer, text->length / sizeof(wchar_t)));
      return true;
    }
    if (status != kStatusInfoLengthMismatch || needed <= bytes) break;
    answer.assign(needed / sizeof(ULONG_PTR) + 1, 0);
  }

  // Older Windows and Wine (STATUS_INVALID_INFO_CLASS): the process's own parameters, through
  // its process environment block. A 64-bit build reads a 32-bit process through its 32-bit
  // block; a 32-bit build cannot read a 64-bit process this way.
  BOOL selfWow64 = FALSE;
  BOOL targetWow64 = FALSE;
  if (!::IsWow64Process(::GetCurrentProcess(), &selfWow64) || !::IsWow64Process(process.get(), &targetWow64)) {
    return false;
  }
  std::optional<std::wstring> line;
  if (selfWow64 == targetWow64) {
    struct BasicInformation {  // PROCESS_BASIC_INFORMATION
      LONG exitStatus;
      PVOID pebBaseAddress;
      ULONG_PTR affinityMask;
      LONG basePriority;
      ULONG_PTR uniqueProcessId;
      ULONG_PTR inheritedFromUniqueProcessId;
    } basic{};
    if (query(process.get(), kProcessBasicInformation, &basic, sizeof basic, nullptr) >= 0) {
      line = CommandLineInPeb(process.get(), reinterpret_cast<std::uintptr_t>(basic.pebBaseAddress), sizeof(void*));
    }
  } else if (sizeof(void*) == 8 && targetWow64) {
    ULONG_PTR peb32 = 0;
    if (query(process.get(), kProcessWow64Information, &peb32, sizeof peb32, nullptr) >= 0 && peb32 != 0) {
      line = CommandLineInPeb(process.get(), peb32, 4);
    }
  }
  if (!line) return false;
  commandLine = Narrow(*line);
  return true;
}

}  // namespace tidewick::win32
