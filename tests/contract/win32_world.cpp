// The contract world of the Win32 platform: the real registry, real files on a drive letter
// mapped to a scratch folder, real processes and the real pskill.exe.
//
// The world arranges and inspects everything with Win32 calls of its own, never through the
// platform under test:
// - The scratch drive is the letter named by TIDEWICK_SCRATCH_DRIVE. Under Wine,
//   scripts/wine-exec maps that letter to a fresh folder before the program starts (Wine 8's
//   DefineDosDeviceW answers success but the letter stays unusable). On Windows the world maps
//   a free letter itself with DefineDosDeviceW when the variable is not set.
// - Hidden and system attributes: Wine keeps them in the user.DOSATTRIB extended attribute of
//   the Linux file, but shows a folder marked hidden and system as a plain folder (0x10).
//   Under Wine on Linux the world therefore reads that attribute itself, with the getxattr
//   system call on the file's Linux path, so folders are checked as strictly as files.
// - Processes are copies of a harmless waiting program (pskill_test_victim) under the names
//   the tests ask for; the kill tool is the pskill.exe built beside it.
// - The current folder is a scratch folder under %TEMP%, apart from the scratch drive and from
//   the test program's own folder.
// - Another medium under the scratch letter: under Wine the letter is pointed at another folder
//   through the mount manager, which reads that folder's ".windows-serial" as its volume serial
//   number (tests/support/wine_drives.h). On Windows a test cannot swap media.
#include "tests/contract/contract_world.h"

#include "platform/win32/win32_platform.h"
#include "tests/support/win32_files.h"
#include "tests/support/wine_drives.h"

#include <gtest/gtest.h>

#include <climits>
#include <cwctype>
#include <cstring>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tidewick::contract {
namespace {

constexpr const wchar_t* kScratchKey = L"Software\\TidewickContractTest";
// The machine's scratch key, under HKEY_LOCAL_MACHINE, in either view.
constexpr const wchar_t* kMachineScratchKey = L"Software\\TidewickContractTest";

// ---- Text, kept apart from the platform's own conversion so the world checks it ------------
//
// UTF-8 runs go through the system's strict conversion; an unpaired surrogate, which only the
// WTF-8 form can carry (ED A0..BF 80..BF), is taken out and put in by hand.

bool IsLoneSurrogateSequence(std::string_view utf8, std::size_t at) {
  return at + 2 < utf8.size() && static_cast<unsigned char>(utf8[at]) == 0xED &&
         static_cast<unsigned char>(utf8[at + 1]) >= 0xA0 &&
         (static_cast<unsigned char>(utf8[at + 2]) & 0xC0) == 0x80;
}

std::wstring StrictWide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = static_cast<int>(utf8.size());
  const int wideLength = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length,
                                               nullptr, 0);
  if (wideLength <= 0) throw std::runtime_error("invalid UTF-8 in a contract test name");
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, wide.data(),
                        wideLength);
  return wide;
}

std::string StrictUtf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int utf8Length = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), length,
                                               nullptr, 0, nullptr, nullptr);
  if (utf8Length <= 0) throw std::runtime_error("unconvertible UTF-16 in a contract test name");
  std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
  ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), length, utf8.data(),
                        utf8Length, nullptr, nullptr);
  return utf8;
}

std::wstring ToWide(std::string_view utf8) {
  std::wstring wide;
  std::size_t run = 0;
  for (std::size_t at = 0; at < utf8.size();) {
    if (!IsLoneSurrogateSequence(utf8, at)) {
      ++at;
      continue;
    }
    wide += StrictWide(utf8.substr(run, at - run));
    wide += static_cast<wchar_t>(0xD000 | ((utf8[at + 1] & 0x3F) << 6) | (utf8[at + 2] & 0x3F));
    at += 3;
    run = at;
  }
  return wide + StrictWide(utf8.substr(run));
}

std::string ToUtf8(std::wstring_view wide) {
  std::string utf8;
  std::size_t run = 0;
  for (std::size_t at = 0; at < wide.size(); ++at) {
    const wchar_t unit = wide[at];
    if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < wide.size() && wide[at + 1] >= 0xDC00 &&
        wide[at + 1] <= 0xDFFF) {
      ++at;  // a pair: part of the run
      continue;
    }
    if (unit < 0xD800 || unit > 0xDFFF) continue;
    utf8 += StrictUtf8(wide.substr(run, at - run));
    utf8 += static_cast<char>(0xED);
    utf8 += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (unit & 0x3F));
    run = at + 1;
  }
  return utf8 + StrictUtf8(wide.substr(run));
}

std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
  return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

[[noreturn]] void Fail(const std::string& what, DWORD error = ::GetLastError()) {
  throw std::runtime_error("contract world: " + what + " (error " + std::to_string(error) + ")");
}

// A file that the build made. Under Wine the build folder is a Linux path, reachable through
// Wine's "\\?\unix" prefix.
std::wstring BuiltFile(const char* path) {
  std::wstring wide = ToWide(path);
  if (wide.empty() || wide[0] != L'/') return wide;
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return L"\\\\?\\unix" + wide;
}

// ---- The Linux side under Wine -------------------------------------------------------------

// The Linux path of a Windows path, when running under Wine; empty elsewhere.
using wine::LinuxPathOf;

bool RunsUnderWineOnLinux() {
  using HostVersion = void(CDECL*)(const char**, const char**);
  const auto hostVersion = reinterpret_cast<HostVersion>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_host_version")));
  if (!hostVersion) return false;
  const char* system = nullptr;
  const char* release = nullptr;
  hostVersion(&system, &release);
  return system && std::strcmp(system, "Linux") == 0;
}

// getxattr(2), made directly: no Windows function reads Linux extended attributes. Wine runs
// Windows code natively, so the system call reaches the Linux kernel. Answers the attribute's
// length, or a negative errno. (On Windows `long` has 32 bits; the call works in 64.)
long long LinuxGetXattr(const char* path, const char* name, char* value,
                        unsigned long long size) {
#if defined(__x86_64__)
  long long result = 0;
  __asm__ volatile("movq %5, %%r10\n\tsyscall"
                   : "=a"(result)
                   : "a"(191LL), "D"(path), "S"(name), "d"(value), "r"(size)
                   : "rcx", "r11", "r10", "memory");
  return result;
#else
  (void)path, (void)name, (void)value, (void)size;
  return -38;  // ENOSYS
#endif
}

// The hidden and system bits that Wine stored for a file or folder: the user.DOSATTRIB
// attribute holds them as text such as "0x6". nullopt when the entry carries none.
std::optional<std::uint32_t> WineDosAttributes(const std::string& linuxPath) {
  char text[64] = {};
  const long long length = LinuxGetXattr(linuxPath.c_str(), "user.DOSATTRIB", text, sizeof text - 1);
  if (length <= 0) return std::nullopt;
  text[length] = '\0';
  return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 16));
}

// ---- Media under Wine ----------------------------------------------------------------------

// The Linux folder that the scratch letter leads to (the dosdevices link scripts/wine-exec
// made). The mount manager is told of it once, so that the volume serial number it keeps for
// the letter is this folder's and not one read in an earlier run (tests/support/wine_drives.h).
// Empty where media cannot be swapped (not under Wine on Linux).
const std::string& WineScratchFolder(wchar_t letter) {
  static const std::string folder = [letter] {
    if (!RunsUnderWineOnLinux()) return std::string();
    const std::string target = wine::UnixFolderOfDrive(letter);
    if (target.empty() || !wine::DefineUnixDrive(letter, target)) return std::string();
    return target;
  }();
  return folder;
}

// ---- Files --------------------------------------------------------------------------------

// Deletes a file or an empty folder, retrying while a program that has just ended still holds
// it; a lasting refusal fails the test.
void RemoveEntry(const std::wstring& path, bool folder) {
  DWORD error = 0;
  if (!testsupport::RemoveEntry(path, folder, &error)) Fail("cannot remove " + ToUtf8(path), error);
}

// Makes the entry plain and removes it, with everything inside.
void RemoveTree(const std::wstring& path) {
  DWORD error = 0;
  if (!testsupport::RemoveTree(path, &error)) Fail("cannot remove " + ToUtf8(path), error);
}

void EmptyFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  const HANDLE listing = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (listing == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(listing, &found));
  ::FindClose(listing);
  for (const std::wstring& name : names) RemoveTree(folder + L"\\" + name);
}

void WriteFile(const std::wstring& path, std::string_view content) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("cannot create " + ToUtf8(path));
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written,
                              nullptr);
  ::CloseHandle(file);
  if (!ok || written != content.size()) Fail("cannot write " + ToUtf8(path));
}

// The folder that holds `path`, or empty text when that is a drive root ("C:", "\\?\T:").
std::wstring ParentFolder(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos || slash == 0 || path[slash - 1] == L':') return {};
  return path.substr(0, slash);
}

void MakeFolders(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return;
  if (const std::wstring parent = ParentFolder(path); !parent.empty()) MakeFolders(parent);
  if (!::CreateDirectoryW(path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    Fail("cannot create folder " + ToUtf8(path));
  }
}

// ---- What the whole test program shares ----------------------------------------------------

// The scratch drive, the folders under %TEMP% and the built programs, set up once.
class Session {
 public:
  static Session& Get() {
    static Session session;
    return session;
  }

  wchar_t Letter() const { return letter_; }
  const std::wstring& WorkFolder() const { return workFolder_; }
  const std::wstring& CurrentFolder() const { return currentFolder_; }
  bool ReadsDosAttributes() const { return readsDosAttributes_; }
  bool HoldsUnpairedSurrogates() const { return holdsUnpairedSurrogates_; }

 private:
  Session() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) Fail("no temporary folder");
    workFolder_ = std::wstring(temp, length) + L"tidewick-contract-" +
                  std::to_wstring(::GetCurrentProcessId());
    RemoveTree(workFolder_);
    MakeFolders(workFolder_ + L"\\cwd");
    MakeFolders(workFolder_ + L"\\images");
    currentFolder_ = workFolder_ + L"\\cwd";

    MapScratchDrive();
    readsDosAttributes_ = RunsUnderWineOnLinux() &&
                          !LinuxPathOf(std::wstring{letter_, L':', L'\\'}).empty();
    holdsUnpairedSurrogates_ = CanCreateUnpairedSurrogateName();
  }

  // Whether the scratch drive takes a file name with a lone surrogate (NTFS does, Wine does
  // not: it stores names as UTF-8 on Linux).
  bool CanCreateUnpairedSurrogateName() const {
    const std::wstring probe = std::wstring(L"\\\\?\\") + letter_ + L":\\tw-probe-\xD800";
    const HANDLE file = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    RemoveEntry(probe, false);
    return true;
  }

  ~Session() {
    if (definedDrive_) {
      const wchar_t device[] = {letter_, L':', L'\0'};
      ::DefineDosDeviceW(DDD_REMOVE_DEFINITION, device, nullptr);
    }
    ::SetCurrentDirectoryW(L"C:\\");
    try {
      RemoveTree(workFolder_);
    } catch (const std::exception&) {
      // Leaving a scratch folder behind is not worth a crash at exit.
    }
  }

  static bool DriveAnswers(wchar_t letter) {
    const wchar_t root[] = {letter, L':', L'\\', L'\0'};
    DWORD a = 0, b = 0, c = 0, d = 0;
    return ::GetDiskFreeSpaceW(root, &a, &b, &c, &d) != FALSE;
  }

  void MapScratchDrive() {
    const std::wstring named = Environment(L"TIDEWICK_SCRATCH_DRIVE");
    if (!named.empty()) {
      letter_ = static_cast<wchar_t>(::towupper(named[0]));
      if (!DriveAnswers(letter_)) {
        Fail("TIDEWICK_SCRATCH_DRIVE names " + ToUtf8(named) +
             ", which is not mapped (under Wine run through scripts/wine-exec)");
      }
      return;
    }
    // No letter given: map a free one to a scratch folder (works on Windows, not under Wine).
    const std::wstring target = workFolder_ + L"\\drive";
    MakeFolders(target);
    const DWORD used = ::GetLogicalDrives();
    for (wchar_t letter = L'T'; letter >= L'D'; --letter) {
      if (used & (1u << (letter - L'A'))) continue;
      const wchar_t device[] = {letter, L':', L'\0'};
      if (::DefineDosDeviceW(0, device, target.c_str()) && DriveAnswers(letter)) {
        letter_ = letter;
        definedDrive_ = true;
        return;
      }
      ::DefineDosDeviceW(DDD_REMOVE_DEFINITION, device, nullptr);
      break;
    }
    Fail("no scratch drive: set TIDEWICK_SCRATCH_DRIVE to a mapped letter "
         "(scripts/wine-exec maps it under Wine)", 0);
  }

  wchar_t letter_ = 0;
  bool definedDrive_ = false;
  bool readsDosAttributes_ = false;
  bool holdsUnpairedSurrogates_ = false;
  std::wstring workFolder_;
  std::wstring currentFolder_;
};

class Win32HeldEntry final : public HeldEntry {
 public:
  explicit Win32HeldEntry(HANDLE file) : file_(file) {}
  ~Win32HeldEntry() override { ::CloseHandle(file_); }
  Win32HeldEntry(const Win32HeldEntry&) = delete;
  Win32HeldEntry& operator=(const Win32HeldEntry&) = delete;

 private:
  HANDLE file_;  // owned
};

class Win32World final : public ContractWorld {
 public:
  Win32World() : session_(Session::Get()) {
    WineScratchFolder(session_.Letter());
    EmptyFolder(Scratch(""));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
    DeleteMachineKeys();
    if (!::SetCurrentDirectoryW(session_.CurrentFolder().c_str())) Fail("cannot enter the current folder");
    EmptyFolder(session_.CurrentFolder());
  }

  ~Win32World() override {
    try {
      PutBackScratchMedium();
    } catch (const std::exception& problem) {
      ADD_FAILURE() << problem.what();
    }
    for (const auto& [pid, process] : processes_) {
      ::TerminateProcess(process, 0);
      ::WaitForSingleObject(process, 5000);
      ::CloseHandle(process);
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
    DeleteMachineKeys();
    for (const auto& [name, value] : savedEnvironment_) {
      ::SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    }
    try {
      EmptyFolder(session_.WorkFolder() + L"\\images");
      EmptyFolder(session_.CurrentFolder());
      EmptyFolder(Scratch(""));
    } catch (const std::exception& problem) {
      ADD_FAILURE() << problem.what();
    }
  }

  PlatformOperations& Os() override { return os_; }

  // ---- Drives and entries ----
  std::string ScratchRoot() override { return ToUtf8(std::wstring{session_.Letter(), L':', L'\\'}); }

  std::string UnmappedRoot() override {
    const DWORD used = ::GetLogicalDrives();
    for (wchar_t letter = L'Q'; letter <= L'Z'; ++letter) {
      if (letter != session_.Letter() && !(used & (1u << (letter - L'A')))) {
        return ToUtf8(std::wstring{letter, L':', L'\\'});
      }
    }
    Fail("every drive letter from Q to Z is in use", 0);
  }

  void MakeFile(std::string_view relativePath, std::uint32_t attributes,
                std::string_view content) override {
    const std::wstring path = Scratch(relativePath);
    MakeParents(path);
    WriteFile(path, content);
    SetAttributes(path, attributes);
  }

  void MakeFolder(std::string_view relativePath, std::uint32_t attributes) override {
    const std::wstring path = Scratch(relativePath);
    MakeFolders(path);
    SetAttributes(path, attributes);
  }

  std::optional<std::uint32_t> Attributes(std::string_view relativePath) override {
    const std::wstring path = Scratch(relativePath);
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    if (session_.ReadsDosAttributes()) {
      const std::string linuxPath = LinuxPathOf(path);
      if (linuxPath.empty()) Fail("no Linux path for " + ToUtf8(path), 0);
      if (const auto stored = WineDosAttributes(linuxPath)) {
        const DWORD hiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        attributes = (attributes & ~hiddenSystem) | (*stored & hiddenSystem);
      }
    }
    return attributes;
  }

  bool SeesHiddenSystemOnFolders() override { return session_.ReadsDosAttributes(); }
  bool HoldsUnpairedSurrogateFileNames() override { return session_.HoldsUnpairedSurrogates(); }

  std::unique_ptr<HeldEntry> HoldOpen(std::string_view relativePath) override {
    const std::wstring path = Scratch(relativePath);
    // Read and write sharing, but no delete sharing: deleting fails while it is held.
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("cannot hold " + ToUtf8(path) + " open");
    return std::make_unique<Win32HeldEntry>(file);
  }

  std::optional<std::string> FileContent(std::string_view relativePath) override {
    const std::wstring path = Scratch(relativePath);
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
      Fail("cannot read " + ToUtf8(path));
    }
    std::string content;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) content.append(chunk, read);
    ::CloseHandle(file);
    return content;
  }

  // ---- Clipboard ----
  std::string ClipboardText() override {
    if (!::OpenClipboard(nullptr)) Fail("cannot open the clipboard");
    std::wstring text;
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
        text = chars;
        ::GlobalUnlock(data);
      }
    }
    ::CloseClipboard();
    return ToUtf8(text);
  }

  // ---- Registry ----
  std::string ScratchKey() override { return ToUtf8(kScratchKey); }

  void WriteRawValue(std::string_view relativeKey, std::string_view valueName,
                     const RawValue& value) override {
    WriteValueAt(HKEY_CURRENT_USER, Key(relativeKey), 0, valueName, value);
  }

  std::optional<RawValue> ReadRawValue(std::string_view relativeKey,
                                       std::string_view valueName) override {
    return ReadValueAt(HKEY_CURRENT_USER, Key(relativeKey), 0, valueName);
  }

  bool KeyExists(std::string_view relativeKey) override {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, Key(relativeKey).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
      return false;
    }
    ::RegCloseKey(key);
    return true;
  }

  // ---- Processes ----
  std::uint32_t StartProcess(std::string_view exeName) override { return Start(exeName, {}); }

  // Copies the waiting program under `exeName` and starts it, with `arguments` (if any) after
  // its quoted path on the command line.
  std::uint32_t Start(std::string_view exeName, std::string_view arguments) {
    // Each process gets a folder of its own, so that names may repeat.
    const std::wstring folder =
        session_.WorkFolder() + L"\\images\\" + std::to_wstring(++imageCount_);
    MakeFolders(folder);
    const std::wstring image = folder + L"\\" + ToWide(exeName);
    if (!::CopyFileW(BuiltFile(TIDEWICK_VICTIM_EXE).c_str(), image.c_str(), FALSE)) {
      Fail("cannot copy the waiting program to " + ToUtf8(image));
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::wstring commandLine = L"\"" + image + L"\"";
    if (!arguments.empty()) commandLine += L" " + ToWide(arguments);
    const std::string startedWith = ToUtf8(commandLine);
    if (!::CreateProcessW(image.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup, &started)) {
      Fail("cannot start " + ToUtf8(image));
    }
    ::CloseHandle(started.hThread);
    processes_.emplace(started.dwProcessId, started.hProcess);
    images_[started.dwProcessId] = ToUtf8(image);
    commandLines_[started.dwProcessId] = startedWith;
    return started.dwProcessId;
  }

  std::string ImageOf(std::uint32_t pid) override {
    const auto found = images_.find(pid);
    if (found == images_.end()) Fail("no process " + std::to_string(pid) + " was started", 0);
    return found->second;
  }

  // ---- Media ----
  // Under Wine the scratch letter is pointed at another folder through the mount manager; that
  // folder's ".windows-serial" gives it a serial number other than the scratch medium's. On
  // Windows a test cannot swap media.
  bool SwapScratchMedium() override {
    const std::string& scratch = WineScratchFolder(session_.Letter());
    if (scratch.empty() || swapped_) return false;
    const std::wstring other = session_.WorkFolder() + L"\\other-medium";
    RemoveTree(other);
    MakeFolders(other);
    const std::wstring root{session_.Letter(), L':', L'\\'};
    DWORD current = 0;
    if (!::GetVolumeInformationW(root.c_str(), nullptr, 0, &current, nullptr, nullptr, nullptr, 0)) {
      Fail("no serial number for the scratch drive");
    }
    char serial[16];
    std::snprintf(serial, sizeof serial, "%08lx\n", static_cast<unsigned long>(current ^ 0x5A5A5A5Au));
    WriteFile(other + L"\\.windows-serial", serial);
    const std::string otherOnLinux = LinuxPathOf(other);
    if (otherOnLinux.empty() || !wine::DefineUnixDrive(session_.Letter(), otherOnLinux)) {
      Fail("cannot put another medium under the scratch letter");
    }
    swapped_ = true;
    return true;
  }

  void PutBackScratchMedium() override {
    if (!swapped_) return;
    swapped_ = false;
    if (!wine::DefineUnixDrive(session_.Letter(), WineScratchFolder(session_.Letter()))) {
      Fail("cannot put the scratch medium back");
    }
  }

  bool IsRunning(std::uint32_t pid) override {
    if (const auto found = processes_.find(pid); found != processes_.end()) {
      return ::WaitForSingleObject(found->second, 0) == WAIT_TIMEOUT;
    }
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
  }

  // ---- Current folder ----
  std::string CurrentFolder() override { return ToUtf8(session_.CurrentFolder()); }

  void PutInCurrentFolder(std::string_view name) override {
    WriteFile(session_.CurrentFolder() + L"\\" + ToWide(name), "contract");
  }

  void InstallKillTool() override {
    const std::wstring tool = session_.CurrentFolder() + L"\\pskill.exe";
    if (!::CopyFileW(BuiltFile(TIDEWICK_PSKILL_EXE).c_str(), tool.c_str(), FALSE)) {
      Fail("cannot copy pskill.exe into the current folder");
    }
  }

  // ---- Profile ----
  std::string ExpectedProfileFolder() override { return ToUtf8(Environment(L"USERPROFILE")); }

  // ---- The environment, the registry's 32-bit view, command lines ----
  void SetVariable(std::string_view name, std::string_view value) override {
    const std::wstring wideName = ToWide(name);
    if (!savedEnvironment_.contains(wideName)) {
      std::wstring before(32768, L'\0');
      const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), before.data(), static_cast<DWORD>(before.size()));
      savedEnvironment_[wideName] =
          length > 0 && length < before.size() ? std::optional<std::wstring>(before.substr(0, length)) : std::nullopt;
    }
    if (!::SetEnvironmentVariableW(wideName.c_str(), ToWide(value).c_str())) Fail("cannot set " + std::string(name));
  }

  // Under Wine the scratch letter is mapped as a removable drive (scripts/wine-exec and
  // wine::DefineUnixDrive), as a stick is; on Windows DefineDosDeviceW makes it a second name
  // of a folder on a fixed drive.
  std::uint32_t ScratchDriveType() override { return RunsUnderWineOnLinux() ? DRIVE_REMOVABLE : DRIVE_FIXED; }

  bool Has32BitView() override {
    SYSTEM_INFO system{};
    ::GetNativeSystemInfo(&system);
    return system.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL;
  }

  void WriteMachineValue(bool view32, std::string_view valueName, const RawValue& value) override {
    WriteValueAt(HKEY_LOCAL_MACHINE, kMachineScratchKey, ViewFlag(view32), valueName, value);
  }

  std::optional<RawValue> ReadMachineValue(bool view32, std::string_view valueName) override {
    return ReadValueAt(HKEY_LOCAL_MACHINE, kMachineScratchKey, ViewFlag(view32), valueName);
  }

  std::uint32_t StartProcessWithArguments(std::string_view exeName, std::string_view arguments) override {
    return Start(exeName, arguments);
  }

  std::string CommandLineOf(std::uint32_t pid) override {
    const auto found = commandLines_.find(pid);
    if (found == commandLines_.end()) Fail("no process " + std::to_string(pid) + " was started", 0);
    return found->second;
  }

 private:
  static bool IsText(std::uint32_t type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
  }

  // "\\?\T:\relative\path": every name taken literally (trailing dots, device names).
  std::wstring Scratch(std::string_view relativePath) const {
    std::wstring path = L"\\\\?\\";
    path += session_.Letter();
    path += L":";
    if (!relativePath.empty()) path += L"\\" + ToWide(relativePath);
    return path;
  }

  static REGSAM ViewFlag(bool view32) { return view32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }

  // The machine's scratch key goes from both views (it has no sub-keys).
  static void DeleteMachineKeys() {
    for (const bool view32 : {false, true}) ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kMachineScratchKey, ViewFlag(view32), 0);
  }

  // A value's data as stored (text in UTF-16), followed by two non-NUL bytes that are not
  // counted: RegSetValueExW counts a text's terminator itself when the caller left it out but
  // the character after the data is NUL, so a value meant to lack its terminator is stored
  // exactly as given.
  static std::vector<BYTE> Stored(const RawValue& value) {
    std::vector<BYTE> stored;
    if (IsText(value.type)) {
      const std::wstring wide =
          ToWide(std::string_view(reinterpret_cast<const char*>(value.bytes.data()), value.bytes.size()));
      stored.resize(wide.size() * sizeof(wchar_t));
      if (!stored.empty()) std::memcpy(stored.data(), wide.data(), stored.size());
    } else {
      stored.assign(value.bytes.begin(), value.bytes.end());
    }
    stored.push_back('?');
    stored.push_back('?');
    return stored;
  }

  // Writes a value exactly as given, creating the key `path` of `root` (in the view `view`,
  // 0 for the default one) and its missing parents.
  static void WriteValueAt(HKEY root, const std::wstring& path, REGSAM view, std::string_view valueName,
                           const RawValue& value) {
    HKEY key = nullptr;
    LSTATUS status =
        ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) Fail("cannot create " + ToUtf8(path), static_cast<DWORD>(status));
    const std::vector<BYTE> stored = Stored(value);
    status = ::RegSetValueExW(key, ToWide(valueName).c_str(), 0, value.type, stored.data(),
                              static_cast<DWORD>(stored.size() - 2));
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS) Fail("cannot write a value of " + ToUtf8(path), static_cast<DWORD>(status));
  }

  // A value as the world reads it; nullopt when the key or the value is missing.
  static std::optional<RawValue> ReadValueAt(HKEY root, const std::wstring& path, REGSAM view,
                                             std::string_view valueName) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return std::nullopt;
    const std::wstring name = ToWide(valueName);
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    std::vector<BYTE> stored(size + 2);
    if (status == ERROR_SUCCESS) {
      status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, stored.data(), &size);
      stored.resize(size);
    }
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    RawValue value{type, {}};
    if (IsText(type)) {
      std::wstring wide(stored.size() / sizeof(wchar_t), L'\0');
      if (!wide.empty()) std::memcpy(wide.data(), stored.data(), wide.size() * sizeof(wchar_t));
      const std::string utf8 = ToUtf8(wide);
      value.bytes.assign(utf8.begin(), utf8.end());
    } else {
      value.bytes.assign(stored.begin(), stored.end());
    }
    return value;
  }

  static std::wstring Key(std::string_view relativeKey) {
    std::wstring key = kScratchKey;
    if (!relativeKey.empty()) key += L"\\" + ToWide(relativeKey);
    return key;
  }

  static void MakeParents(const std::wstring& path) {
    if (const std::wstring parent = ParentFolder(path); !parent.empty()) MakeFolders(parent);
  }

  static void SetAttributes(const std::wstring& path, std::uint32_t attributes) {
    if (attributes != 0 && !::SetFileAttributesW(path.c_str(), attributes)) {
      Fail("cannot set the attributes of " + ToUtf8(path));
    }
  }

  Session& session_;
  win32::Win32Platform os_;
  std::map<std::uint32_t, HANDLE> processes_;  // owned process handles
  std::map<std::uint32_t, std::string> images_;  // the program file of each
  std::map<std::uint32_t, std::string> commandLines_;  // the command line each was started with
  // The variables SetVariable changed, with their values before (none: unset).
  std::map<std::wstring, std::optional<std::wstring>> savedEnvironment_;
  bool swapped_ = false;  // another medium is under the scratch letter
  unsigned imageCount_ = 0;
};

}  // namespace

std::unique_ptr<ContractWorld> MakeContractWorld() { return std::make_unique<Win32World>(); }

}  // namespace tidewick::contract
