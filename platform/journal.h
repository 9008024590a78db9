// The journal of changes: what this run of the program changed on the computer, and what the
// system refused to change.
//
// JournalingPlatform wraps the platform (the real one or the simulated one) and passes every
// call on. Each call that changes something is recorded on its way through, so no command can
// forget to report what it did: attributes (before and after, read back), files deleted (with
// their size) and written, entries renamed or moved and empty folders removed, registry values
// written or deleted (the value before, read through the same key, and after), registry keys
// created and deleted, processes handed to the kill tool (id and program file), other command
// lines started, and every refusal with the Windows error. Reading calls are passed on unrecorded. Not recorded either, as they change nothing
// of the computer: message boxes, opened web pages and the text put on the clipboard.
//
// What counts as a change:
// - A change that leaves things as they were (attributes set to what they are, a value written
//   with the data it holds) is none. The archive mark is not compared: it only says that a
//   backup is due, and Wine shows it on every file whatever was set.
// - A call on an entry or value that is not there (ERROR_FILE_NOT_FOUND) changed nothing and
//   was refused nothing.
// - The same refusal asked again within a command (a deletion retried while a program ends)
//   is one refusal with its number of attempts; the same process handed to the kill tool
//   again is one hand-over with its number. A refusal that a later attempt of the command
//   overcomes is dropped: the change was made.
// - An entry's attributes or a registry value changed more than once within a command are one
//   change, from before the first to after the last, and none when they end as they began (a
//   scan makes the drive's own entries plain and hides them again): a command's changes are
//   what a comparison of before and after shows.
//
// Changes are grouped by the command that made them. A form's handler begins a command with
// CommandScope; a command begun inside another one (the registry repair within a deletion)
// makes a group of its own, and the outer command's later changes form a group titled
// "... (continued)". Changes made outside every command go to a group "Other changes". The
// journal lives in memory only; the program keeps no files of its own.
#pragma once

#include "platform/platform_operations.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tidewick {

// A registry value's type and data as the program sees them (text as UTF-8, NULs included).
struct RegistryData {
  std::uint32_t type = RegType::None;
  std::vector<std::uint8_t> data;
  friend bool operator==(const RegistryData&, const RegistryData&) = default;
};

// One change, made or refused.
struct Change {
  enum class Kind {
    Attributes,          // path, attributesBefore -> attributes
    FileDeleted,         // path, size
    FileWritten,         // path, size, replaced
    RegistryValue,       // root, keyPath, valueName, before -> after (nullopt: no value)
    RegistryKeyCreated,  // root, keyPath
    RegistryKeyDeleted,  // root, keyPath
    KillTool,            // processId, image: a process handed to the kill tool
    CommandLine,         // commandLine: any other command line started
    Moved,               // path -> newPath: an entry renamed or moved on its volume
    FolderRemoved,       // path: an empty folder removed
  };
  Kind kind = Kind::Attributes;
  // The Windows error code of a refusal; 0 for a change that was made.
  std::uint32_t error = 0;
  bool Refused() const { return error != 0; }
  // How many times the same refusal or the same hand-over happened within the command.
  int attempts = 1;

  // ---- Files: the path as the user knows it (no "\\?\" prefix) ----
  std::string path;
  std::optional<std::uint32_t> attributesBefore;  // nullopt when they could not be read
  std::uint32_t attributes = 0;  // after the change; for a refusal, the ones asked for
  std::optional<std::uint64_t> size;  // of a deleted or written file, when known
  bool replaced = false;              // a written file replaced one of that name
  std::string newPath;                // where a moved entry went (or was to go)

  // ---- Registry: the key below its root without trailing backslash, and the value ----
  Handle root = 0;
  std::string keyPath;
  std::string valueName;
  bool beforeKnown = true;         // false when the value could not be read before the change
  std::optional<RegistryData> before;  // nullopt: there was no such value
  std::optional<RegistryData> after;   // nullopt: deleted (or, refused, the deletion asked for)

  // ---- Processes and command lines ----
  std::uint32_t processId = 0;
  std::string image;  // the process's program file; its executable name when that is unreadable
  std::string commandLine;
};

// The changes of one command, in the order they were made.
struct Command {
  std::string title;
  SystemTime time;  // when it began
  std::vector<Change> changes;
};

class ChangeJournal {
 public:
  // `clock` answers the local time; it is read now (the start of the run) and whenever a
  // command begins.
  explicit ChangeJournal(std::function<SystemTime()> clock);

  void BeginCommand(std::string title);
  void EndCommand();
  void Record(Change change);

  const std::vector<Command>& Commands() const { return commands_; }
  const SystemTime& Started() const { return started_; }

 private:
  struct Open {
    std::string title;
    std::optional<std::size_t> group;  // index into commands_; none after a nested command
  };
  Command& CurrentGroup();

  std::function<SystemTime()> clock_;
  SystemTime started_;
  std::vector<Command> commands_;
  std::vector<Open> open_;
  std::optional<std::size_t> otherGroup_;
  // Per command (by index), how many of its changes are about each thing (by the hash of what
  // they are about): a change about something no other change of its command is about needs no
  // look at the others, so recording stays as fast for the 100,000th entry of a scan as for the
  // first.
  std::vector<std::unordered_map<std::size_t, std::size_t>> places_;
};

// Begins a command for as long as it lives; does nothing without a journal.
class CommandScope {
 public:
  CommandScope(ChangeJournal* journal, std::string title);
  ~CommandScope();
  CommandScope(const CommandScope&) = delete;
  CommandScope& operator=(const CommandScope&) = delete;

 private:
  ChangeJournal* journal_;
};

// The platform with a journal: every call goes on to `inner`; the changes are recorded.
class JournalingPlatform final : public PlatformOperations {
 public:
  explicit JournalingPlatform(PlatformOperations& inner);
  JournalingPlatform(const JournalingPlatform&) = delete;
  JournalingPlatform& operator=(const JournalingPlatform&) = delete;

  ChangeJournal& Journal() { return journal_; }

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
  // Where an open key (or a root) lies: its root and its path below it.
  struct KeyPlace {
    Handle root = 0;
    std::string path;
  };
  std::optional<KeyPlace> PlaceOf(Handle key) const;
  std::optional<KeyPlace> PlaceBelow(Handle base, std::string_view subKey) const;
  void Remember(Status status, Handle key, Handle base, std::string_view subKey);
  // The value as it is now, read through `key`; `known` is false when it could not be read.
  std::optional<RegistryData> CurrentValue(Handle key, std::string_view valueName, bool& known);
  // The levels of `place` that do not exist yet, outermost first.
  std::vector<std::string> MissingLevels(const KeyPlace& place);
  Change RegistryChange(const KeyPlace& place, std::string_view valueName) const;
  // Records a file change that was made (`done`) or refused with the last error; a call on
  // nothing (ERROR_FILE_NOT_FOUND) is neither. Answers `done`.
  bool RecordFileChange(bool done, Change change);

  PlatformOperations& os_;
  ChangeJournal journal_;
  std::map<Handle, KeyPlace> keys_;
  // A creation that was refused leaves the handle 0; a write through it is refused for the
  // creation's reason and reported at the key that was asked for.
  std::optional<std::pair<KeyPlace, Status>> refusedCreation_;
  // Executable names by process id, from the process snapshots walked.
  std::map<std::uint32_t, std::string> exeNames_;
};

// ---- The report ----------------------------------------------------------------------------

// A path as the user knows it: without the "\\?\" (or "\\?\UNC\") prefix.
std::string ShownPath(std::string_view path);
// "HKEY_CURRENT_USER\Software\..." for a key below one of the two roots.
std::string RegistryKeyName(Handle root, std::string_view keyPath);
// A Windows error code in words, with its number: "Access is denied. (error 5)".
std::string ErrorInWords(std::uint32_t code);
// A registry value as the report shows it: REG_SZ "text", REG_DWORD 0x00000001 (1), ...;
// "no value" for none.
std::string RegValueText(const std::optional<RegistryData>& value);
// One line of the report's details.
std::string DescribeChange(const Change& change);
// What happened in one command, in one sentence: "12 hidden entries made visible, 3 shortcuts
// and 1 script deleted, 1 entry could not be deleted."
std::string SummarySentence(const Command& command);
// The whole report, lines ending in CR LF: one summary sentence per command, then every
// change of every command under its time and title, newest command last.
std::string ReportText(const ChangeJournal& journal);

// ---- Undo of the registry changes ----------------------------------------------------------

// A registry value this run changed: as it was before the run's first change of it, and now.
struct RegistryRestore {
  Handle root = 0;
  std::string keyPath;  // as the run first named it
  std::string valueName;
  std::optional<RegistryData> before;
  std::optional<RegistryData> now;
};

struct RegistryUndoPlan {
  std::vector<RegistryRestore> values;  // only those whose state now differs from before
  struct Key {
    Handle root = 0;
    std::string keyPath;
  };
  std::vector<Key> createdKeys;  // created by this run and still there, deepest first
  bool Empty() const { return values.empty() && createdKeys.empty(); }
};

// What undoing would do now, read through `os` (reading only).
RegistryUndoPlan PlanRegistryUndo(const ChangeJournal& journal, PlatformOperations& os);
// Puts every value of the plan back (a value that did not exist is deleted, one that was
// deleted is written again with its type and data), then deletes the keys this run created
// that hold nothing any more. Goes through `os`, so a journaling platform records it. Answers
// how many of the plan's steps were refused.
int UndoRegistryChanges(const RegistryUndoPlan& plan, PlatformOperations& os);

}  // namespace tidewick
