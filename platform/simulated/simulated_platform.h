// An in-memory computer behind the platform contract, for tests and demonstrations.
//
// It holds a registry, drives with folders and files, a profile folder, running processes, a
// tick counter and a user who answers message boxes from a script. It records every message
// box shown, every page opened and every command line started. A started
// "cmd /c pskill N" ends process N when pskill.exe lies in the current folder, as the real tool
// would, a moment later (at the next advance of the clock).
//
// A new SimulatedPlatform has no drives and no registry values; its current folder is
// "C:\Tidewick" and its profile folder "C:\Users\User" (neither exists until added), its
// clock reads 5,000,000 ms, process ids start at 1000 and rise by 4, a process started without
// an image path runs from "C:\Windows\System32" under its executable name, every new medium
// gets a volume serial number of its own, and the program's own name is "tidewick". Set-up
// calls that name a missing drive or entry throw std::invalid_argument: that is a fault of the
// test, not a situation of the program.
#pragma once

#include "platform/platform_operations.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick::sim {

// Thrown by EndProgram: the simulated process stops where it is.
struct ProgramEnded {};

// Thrown when a question box is shown and the script holds no answer for it: a test that
// does not expect a question must fail loudly rather than guess. Like ProgramEnded it is no
// std::exception, so that no skip-on-error step of the program swallows it.
struct UnexpectedMessageBox {
  std::string message;  // which question, and what was wrong with the script
};

struct RegistryValue {
  std::uint32_t type = RegType::None;
  std::vector<std::uint8_t> data;  // raw bytes; text as UTF-8 with its NUL when stored with one

  static RegistryValue Text(std::string_view text, std::uint32_t type = RegType::Sz);  // adds the NUL
  static RegistryValue Dword(std::uint32_t value);
  static RegistryValue Bytes(std::uint32_t type, std::vector<std::uint8_t> bytes);
};

struct MessageBoxRecord {
  std::string text;
  int style = 0;
  int answer = 0;
};

struct PageRecord {
  std::string target;
  int show = 0;
};

struct CommandLineRecord {
  std::string commandLine;
  int windowStyle = 0;
};

struct ProcessInfo {
  std::uint32_t pid = 0;
  std::string exeName;    // "abc.exe"
  std::string imagePath;  // full path of the program file; deleting it fails while it runs
  bool imageHidden = false;  // neither its image path nor its command line can be read
  std::string commandLine;   // what NtQueryInformationProcess answers
};

// One registry call as made, for tests that check the exact sequence of writes.
struct RegistryWrite {
  Handle root = 0;
  std::string subKey;  // as passed, trailing backslash included
  std::string valueName;
  std::uint32_t type = RegType::None;
  std::vector<std::uint8_t> data;
  Status status = StatusCode::Success;
};

class SimulatedPlatform final : public PlatformOperations {
 public:
  SimulatedPlatform();
  ~SimulatedPlatform() override;

  // ---- Registry set-up and inspection (key paths case-insensitive, trailing '\' ignored) ----
  void SetRegistryValue(Handle root, std::string_view keyPath, std::string_view valueName,
                        RegistryValue value);
  std::optional<RegistryValue> RegistryValueAt(Handle root, std::string_view keyPath,
                                               std::string_view valueName) const;
  void CreateRegistryKey(Handle root, std::string_view keyPath);
  bool RegistryKeyExists(Handle root, std::string_view keyPath) const;
  void DeleteRegistryKey(Handle root, std::string_view keyPath);  // with its sub-keys
  // Number of values under a key and all its sub-keys.
  std::size_t RegistryValueCount(Handle root, std::string_view keyPath = "") const;
  // A user without the right to write under `root`: creates and sets fail with
  // StatusCode::AccessDenied (opening existing keys still works).
  void RefuseRegistryWrites(Handle root, bool refuse = true);
  // Opening `keyPath` under `root` fails with StatusCode::AccessDenied, as for a locked-down key.
  void RefuseRegistryOpen(Handle root, std::string_view keyPath, bool refuse = true);
  // Every RegSetValueExA made, in order.
  const std::vector<RegistryWrite>& RegistryWrites() const;
  void ClearRegistryWrites();
  // Registry keys and process snapshots opened and not yet closed (leak check). Token handles
  // are not counted: whether the profile query closes its token is the caller's choice.
  std::size_t OpenHandleCount() const;

  // ---- Drives and files (paths such as "E:\Photos\a.jpg"; names case-insensitive) ----
  // Set-up and inspection see a medium whether or not its drive is ready. The program's calls
  // behave as on Windows: DeleteFileA refuses folders, read-only files, locked entries and the
  // image of a running process; AttributesOf reports Attr::Normal for a file without
  // attributes; a listing pattern knows only the file-name wildcards `*` and `?`. A path whose
  // names hold a character Windows refuses (* ? | < > ") reaches nothing: PathFileExistsA,
  // SetFileAttributesA and DeleteFileA answer as for a missing entry, although a listing shows
  // an entry so named (written by another system).
  void AddDrive(char letter);                // with a new, empty medium
  void RemoveDrive(char letter);             // the drive letter vanishes with its files
  void SetDriveReady(char letter, bool ready);  // an empty card reader: letter there, no medium
  // Media (sticks): a medium is the entries of a drive plus its volume serial number. One can
  // be pulled out of its drive and kept aside under a name, the letter staying without medium
  // (every call then answers as for a drive that is not ready), and later be put back into
  // that drive or another one; or a new, empty medium with a given serial goes in. So a test
  // can swap one stick for another under the same letter.
  void SetVolumeSerial(char letter, std::uint32_t serial);
  std::optional<std::uint32_t> VolumeSerialOf(char letter) const;  // nullopt without medium
  void EjectMedium(char letter, std::string_view keepAs);
  void InsertMedium(char letter, std::string_view kept);
  void InsertNewMedium(char letter, std::uint32_t serial);
  void AddFolder(std::string_view path, std::uint32_t attributes = 0);  // parents created
  void AddFile(std::string_view path, std::uint32_t attributes = Attr::Archive);
  bool Exists(std::string_view path) const;
  std::optional<std::uint32_t> AttributesOf(std::string_view path) const;  // folders include 0x10
  // Names of a folder's entries in listing order (creation order).
  std::vector<std::string> EntriesOf(std::string_view folderPath) const;
  // The entry refuses deletion, as a file held open by another program.
  void LockEntry(std::string_view path, bool locked = true);
  // SetFileAttributesA on the entry fails (write-protected medium), and so do MoveFileExA and
  // RemoveDirectoryA of it; for a folder, so do WriteTextFile of a new file in it and
  // MoveFileExA of an entry into it or out of it.
  void RefuseAttributeChanges(std::string_view path, bool refuse = true);
  // The listing of `folderPath` fails after `entries` names: the device vanishes mid-way.
  void FailListingAfter(std::string_view folderPath, std::size_t entries);
  // Every listing asks `fails` first, with its pattern: true makes that listing fail at once
  // with nothing listed, as when Windows refuses the pattern (ERROR_INVALID_NAME for a name
  // holding "|") or the device does not answer for a moment. An empty function lifts it.
  void FailListingsWhere(std::function<bool(std::string_view pattern)> fails);
  // A file's content, whose length is the file's size (AddFile makes an empty file).
  void SetFileContent(std::string_view path, std::string_view content);
  // A file's content, also of one written by WriteTextFile; nullopt for a folder or nothing.
  std::optional<std::string> FileContent(std::string_view path) const;
  // Called after every file operation of the program (PathFileExistsA, SetFileAttributesA,
  // DeleteFileA, GetDiskFreeSpaceA, GetVolumeInformationA, DirFirst, DirNext,
  // GetFileAttributesExA, WriteTextFile, ReadFileBytes, MoveFileExA, RemoveDirectoryA) with the
  // running count of them; lets a test pull a drive out mid-command. Operations the hook
  // makes itself are not counted.
  void OnFileOperation(std::function<void(std::size_t operationCount)> hook);

  // The current folder, against which bare names such as "pskill.exe" resolve.
  void SetCurrentFolder(std::string_view path);
  const std::string& CurrentFolder() const;

  // ---- Profile ----
  void SetProfileFolder(std::string_view path);  // empty: the profile cannot be determined
  const std::string& ProfileFolder() const;

  // ---- Processes ----
  // Without `imagePath` the process runs from "C:\Windows\System32\" + exeName. Without
  // `commandLine` it was started with its image path in quotes and no arguments.
  std::uint32_t StartProcess(std::string_view exeName, std::string_view imagePath = {},
                             std::string_view commandLine = {});
  bool IsRunning(std::uint32_t pid) const;
  std::vector<ProcessInfo> Processes() const;
  // QueryFullProcessImageNameA and NtQueryInformationProcess fail for the process, as for one
  // of a more privileged user.
  void HideImagePath(std::uint32_t pid, bool hidden = true);
  // A process that ignores the kill tool (protected, or the tool fails for it).
  void MakeUnkillable(std::uint32_t pid, bool unkillable = true);

  // ---- Environment, special folders, drive types, the registry's views ----
  // The environment GetEnvironmentStringsA answers. Unless set otherwise it is that of 64-bit
  // Windows with the profile folder of the moment: USERPROFILE, APPDATA (...\AppData\Roaming),
  // LOCALAPPDATA (...\AppData\Local), TEMP and TMP (...\AppData\Local\Temp) below the
  // profile folder (left out without one), SystemRoot and windir "C:\Windows", SystemDrive
  // "C:", ProgramFiles and ProgramW6432 "C:\Program Files", ProgramFiles(x86)
  // "C:\Program Files (x86)", ProgramData and ALLUSERSPROFILE "C:\ProgramData", PUBLIC
  // "C:\Users\Public", Path "C:\Windows\system32;C:\Windows". No answer (nullopt) removes a
  // variable. Names compare without letter case; a new variable goes to the end of the block.
  void SetVariable(std::string_view name, std::optional<std::string> value);
  // What SHGetFolderPathA answers for `folder` (a SpecialFolder value); empty text makes it
  // fail. Unless set: Startup "<APPDATA>\Microsoft\Windows\Start Menu\Programs\Startup"
  // (fails without APPDATA), CommonStartup "C:\ProgramData\Microsoft\Windows\Start
  // Menu\Programs\Startup", Windows "C:\Windows", ProgramFiles "C:\Program Files",
  // ProgramFilesX86 "C:\Program Files (x86)" ("C:\Program Files" on 32-bit Windows). The
  // folders need not exist.
  void SetSpecialFolder(int folder, std::string_view path);
  // What GetDriveTypeA answers for a drive that is there; DriveType::Fixed unless set.
  void SetDriveType(char letter, std::uint32_t type);
  // 32-bit Windows: one registry view, so KeyAccess::View32 changes nothing, and no
  // ProgramFiles(x86) or ProgramW6432 in the environment. 64-bit Windows unless set, where a key
  // opened with KeyAccess::View32 below Root::LocalMachine lies where PathIn32BitView says.
  void SetWindows32Bit(bool is32Bit = true);

  // ---- Time ----
  void SetTickCount(std::uint32_t ticks);
  // Moves the clock on, ending the processes whose kill commands are pending.
  void AdvanceClock(std::uint32_t milliseconds);
  // Each GetTickCount call moves the clock on by this much (default 0).
  void SetTickPerRead(std::uint32_t milliseconds);
  // What GetLocalTime answers now; it moves on with the clock. A new platform starts at
  // Friday 1 March 2024, 09:00:00.000.
  void SetLocalTime(const SystemTime& time);

  // ---- Message boxes ----
  // Answers for the coming boxes, in order. An OK-only box without a scripted answer answers
  // Answer::Ok by itself; a question without one throws UnexpectedMessageBox.
  // An OK-only box uses up a scripted answer only when it is Answer::Ok, so a Yes queued for a
  // question is not lost to a notice shown before it; a question given Answer::Ok throws too.
  void QueueAnswer(int answer);
  const std::vector<MessageBoxRecord>& MessageBoxes() const;
  void ClearMessageBoxes();
  // Runs while a box is "open", before its answer is returned (the user could click elsewhere).
  void OnMessageBox(std::function<void(const MessageBoxRecord&)> hook);

  // ---- Clipboard and the save dialog ----
  // The text put on the clipboard last (empty at first).
  const std::string& ClipboardText() const;
  // Another program holds the clipboard open: SetClipboardText fails.
  void HoldClipboard(bool held = true);
  // The answer of the coming save dialogs, in order: the path chosen, or empty text for
  // Cancel. A dialog without a scripted answer throws UnexpectedMessageBox.
  void QueueSaveDialogAnswer(std::string path);
  // The suggested names of the save dialogs shown, in order.
  const std::vector<std::string>& SaveDialogs() const;

  // ---- Records ----
  const std::vector<PageRecord>& PagesOpened() const;
  const std::vector<CommandLineRecord>& CommandLines() const;

  // ---- Event pump ----
  // DoEvents runs this (the host's pending events); tests use it to model re-entrancy.
  // A DoEvents made from inside the hook is counted but does not run the hook again.
  void OnDoEvents(std::function<void()> hook);
  std::size_t DoEventsCount() const;
  // Total milliseconds spent in WaitForEvents (each call advances the clock by its timeout).
  std::uint64_t WaitedMilliseconds() const;

  // ---- Program ----
  void SetPrevInstance(bool running);
  void SetAppExeName(std::string_view name);
  bool Ended() const;

  // ---- PlatformOperations ----
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

  bool PathFileExistsA(std::string_view path) override;
  bool SetFileAttributesA(std::string_view path, std::uint32_t attributes) override;
  bool DeleteFileA(std::string_view path) override;
  bool GetDiskFreeSpaceA(std::string_view root, DiskFreeSpace& counts) override;
  bool GetVolumeInformationA(std::string_view root, std::uint32_t& serialNumber) override;

  Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) override;
  bool Process32First(Handle snapshot, ProcessEntry32& entry) override;
  bool Process32Next(Handle snapshot, ProcessEntry32& entry) override;
  bool CloseHandle(Handle handle) override;
  bool QueryFullProcessImageNameA(std::uint32_t processId, std::string& path) override;
  Handle GetCurrentProcess() override;
  bool OpenProcessToken(Handle process, std::uint32_t access, Handle& token) override;
  bool GetUserProfileDirectoryA(Handle token, std::string& buffer, std::uint32_t& size) override;
  std::uint32_t GetTickCount() override;

  void ShellExecuteA(Handle owner, const char* verb, std::string_view file,
                     const char* parameters, const char* directory, int show) override;

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

  bool GetFileAttributesExA(std::string_view path, FileAttributeData& data) override;
  std::uint32_t GetLastError() override;
  Status RegDeleteKeyA(Handle key, std::string_view subKey) override;
  void GetLocalTime(SystemTime& time) override;
  bool SetClipboardText(std::string_view text) override;
  std::string GetSaveFileNameA(std::string_view suggestedName) override;
  bool WriteTextFile(std::string_view path, std::string_view text, bool replaceExisting) override;
  bool ReadFileBytes(std::string_view path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) override;
  bool MoveFileExA(std::string_view existing, std::string_view newName) override;
  bool RemoveDirectoryA(std::string_view path) override;

  std::vector<std::string> GetEnvironmentStringsA() override;
  bool SHGetFolderPathA(int folder, std::string& path) override;
  bool GetTempPathA(std::string& path) override;
  std::uint32_t GetDriveTypeA(std::string_view root) override;
  bool NtQueryInformationProcess(std::uint32_t processId, std::string& commandLine) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tidewick::sim
