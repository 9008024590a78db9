// The platform contract on the real Windows API.
//
// A thin layer: each operation converts its text to UTF-16, calls the W function and converts
// the answer back (what the A functions would do under a UTF-8 code page). The program sees
// registry keys, snapshots and tokens as small numbers; the Win32 handles behind them live in
// tables of move-only owners here, so everything still open is closed when the platform goes.
#pragma once

#include "platform/platform_operations.h"

#include <windows.h>

#include "win32/handles.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace tidewick::win32 {

class Win32Platform final : public PlatformOperations {
 public:
  Win32Platform();
  ~Win32Platform() override;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // Runs before TranslateMessage/DispatchMessage for every message DoEvents takes; answering
  // true means the filter handled the message (IsDialogMessage, accelerators) and it is not
  // dispatched. An empty function removes the filter.
  void SetMessageFilter(std::function<bool(MSG&)> filter);

  // ---- Registry ----
  Status RegOpenKeyA(Handle root, std::string_view subKey, Handle& key) override;
  Status RegOpenKeyExA(Handle root, std::string_view subKey, std::uint32_t options,
                       std::uint32_t access, Handle& key) override;
  Status RegCreateKeyA(Handle root, std::string_view subKey, Handle& key) override;
  Status RegQueryValueExA(Handle key, std::string_view valueName, std::uint32_t* type, void* data,
                          std::uint32_t* size) override;
  Status RegSetValueExA(Handle key, std::string_view valueName, std::uint32_t reserved,
                        std::uint32_t type, const void* data, std::uint32_t size) override;
  Status RegDeleteValueA(Handle key, std::string_view valueName) override;
  Status RegEnumValueA(Handle key, std::uint32_t index, char* name, std::uint32_t& nameLength,
                       std::uint32_t* type, std::uint8_t* data,
                       std::uint32_t& dataLength) override;
  Status RegCloseKey(Handle key) override;

  // ---- Files and disks ----
  bool PathFileExistsA(std::string_view path) override;
  bool SetFileAttributesA(std::string_view path, std::uint32_t attributes) override;
  bool DeleteFileA(std::string_view path) override;
  bool GetDiskFreeSpaceA(std::string_view root, DiskFreeSpace& counts) override;
  bool GetVolumeInformationA(std::string_view root, std::uint32_t& serialNumber) override;

  // ---- Processes, tokens, time ----
  Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) override;
  bool Process32First(Handle snapshot, tidewick::ProcessEntry32& entry) override;
  bool Process32Next(Handle snapshot, tidewick::ProcessEntry32& entry) override;
  bool CloseHandle(Handle handle) override;
  bool QueryFullProcessImageNameA(std::uint32_t processId, std::string& path) override;
  Handle GetCurrentProcess() override;
  bool OpenProcessToken(Handle process, std::uint32_t access, Handle& token) override;
  bool GetUserProfileDirectoryA(Handle token, std::string& buffer, std::uint32_t& size) override;
  std::uint32_t GetTickCount() override;

  // ---- Shell ----
  void ShellExecuteA(Handle owner, const char* verb, std::string_view file,
                     const char* parameters, const char* directory, int show) override;

  // ---- General services ----
  int MsgBox(std::string_view text, int style) override;
  std::string DirFirst(std::string_view pattern, std::uint32_t mask) override;
  std::string DirNext() override;
  bool DirFailed() override;
  void StartCommandLine(std::string_view commandLine, int windowStyle) override;
  void DoEvents() override;
  void WaitForEvents(std::uint32_t milliseconds) override;
  [[noreturn]] void EndProgram() override;
  bool PrevInstance() override;
  std::string AppExeName() override;

  // ---- Reading before a change, errors, time, clipboard, saving ----
  bool GetFileAttributesExA(std::string_view path, FileAttributeData& data) override;
  std::uint32_t GetLastError() override;
  Status RegDeleteKeyA(Handle key, std::string_view subKey) override;
  void GetLocalTime(SystemTime& time) override;
  bool SetClipboardText(std::string_view text) override;
  std::string GetSaveFileNameA(std::string_view suggestedName) override;
  bool WriteTextFile(std::string_view path, std::string_view text, bool replaceExisting) override;

  // ---- Reading a file, renaming, removing an empty folder ----
  bool ReadFileBytes(std::string_view path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) override;
  bool MoveFileExA(std::string_view existing, std::string_view newName) override;
  bool RemoveDirectoryA(std::string_view path) override;

  // ---- The environment, the system's folders, drive types, other processes' command lines ----
  std::vector<std::string> GetEnvironmentStringsA() override;
  bool SHGetFolderPathA(int folder, std::string& path) override;
  bool GetTempPathA(std::string& path) override;
  std::uint32_t GetDriveTypeA(std::string_view root) override;
  bool NtQueryInformationProcess(std::uint32_t processId, std::string& commandLine) override;

 private:
  Handle NewHandleNumber();
  // The Win32 key behind a contract handle: an open key of the table or one of the two roots;
  // nullptr for anything else (0 included).
  HKEY KeyOf(Handle key) const;
  // RegOpenKeyExW or (create) RegCreateKeyExW; the new key gets a number of the table.
  Status OpenKey(Handle root, std::string_view subKey, REGSAM access, Handle& key, bool create);
  bool NextProcess(Handle snapshot, tidewick::ProcessEntry32& entry, bool first);
  std::string NextListedName();

  Handle nextHandle_ = 1;
  std::map<Handle, UniqueRegKey> keys_;
  // Snapshots and tokens, each with the close function of its kind.
  std::map<Handle, UniqueSnapshot> snapshots_;
  std::map<Handle, UniqueKernelHandle> tokens_;

  // The one active folder listing.
  UniqueFindHandle listing_;
  std::uint32_t listingMask_ = 0;
  bool listingFailed_ = false;

  std::function<bool(MSG&)> messageFilter_;
};

}  // namespace tidewick::win32
