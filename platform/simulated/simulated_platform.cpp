// The simulated platform: the registry (sim_registry.cpp) and the file system (sim_files.cpp)
// behind the contract, plus processes and the kill tool, the clock, message boxes, and the
// records of pages and command lines.
#include "platform/simulated/simulated_platform.h"

#include "platform/kill_tool.h"
#include "platform/registry.h"
#include "platform/simulated/sim_files.h"
#include "platform/simulated/sim_registry.h"
#include "platform/text.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <utility>

namespace tidewick::sim {
namespace {

// GetCurrentProcess answers this pseudo-handle, as Windows does ((HANDLE)-1).
constexpr Handle kCurrentProcess = 0xFFFFFFFFu;
// Process ids start here and step by 4, as on Windows.
constexpr std::uint32_t kFirstPid = 1000;
// Where a process started without an image path runs from.
constexpr std::string_view kDefaultImageFolder = "C:\\Windows\\System32\\";

// Runs `hook` unless it is already running (a hook that calls back into the platform does not
// set itself off again).
template <typename Hook, typename... Args>
void RunHookOnce(const Hook& hook, bool& running, Args&&... args) {
  if (!hook || running) return;
  running = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{running};
  hook(std::forward<Args>(args)...);
}

}  // namespace

// ---- RegistryValue ----

RegistryValue RegistryValue::Text(std::string_view text, std::uint32_t type) {
  RegistryValue value;
  value.type = type;
  value.data.assign(text.begin(), text.end());
  value.data.push_back(0);
  return value;
}

RegistryValue RegistryValue::Dword(std::uint32_t number) {
  RegistryValue value;
  value.type = RegType::Dword;
  for (int shift = 0; shift < 32; shift += 8) {
    value.data.push_back(static_cast<std::uint8_t>(number >> shift));
  }
  return value;
}

RegistryValue RegistryValue::Bytes(std::uint32_t type, std::vector<std::uint8_t> bytes) {
  RegistryValue value;
  value.type = type;
  value.data = std::move(bytes);
  return value;
}

// ---- State ----

namespace {

// Days since 1 January 1970 of a date of the Gregorian calendar, and back.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

SystemTime CivilFromMilliseconds(std::int64_t milliseconds) {
  std::int64_t days = milliseconds / 86'400'000;
  std::int64_t rest = milliseconds % 86'400'000;
  if (rest < 0) {
    rest += 86'400'000;
    --days;
  }
  SystemTime time;
  time.dayOfWeek = static_cast<std::uint16_t>(((days % 7) + 11) % 7);  // 1 January 1970: Thursday
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(z - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned mp = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  time.year = static_cast<std::uint16_t>(static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0));
  time.month = static_cast<std::uint16_t>(month);
  time.day = static_cast<std::uint16_t>(day);
  time.hour = static_cast<std::uint16_t>(rest / 3'600'000);
  time.minute = static_cast<std::uint16_t>(rest / 60'000 % 60);
  time.second = static_cast<std::uint16_t>(rest / 1000 % 60);
  time.milliseconds = static_cast<std::uint16_t>(rest % 1000);
  return time;
}

std::int64_t MillisecondsOf(const SystemTime& time) {
  return DaysFromCivil(time.year, time.month, time.day) * 86'400'000 +
         ((time.hour * 60 + time.minute) * 60 + time.second) * std::int64_t{1000} + time.milliseconds;
}

}  // namespace

struct SimulatedPlatform::State {
  detail::HandleSource handles;
  detail::SimRegistry registry{handles};
  detail::SimFiles files;

  std::function<void(std::size_t)> fileHook;
  std::size_t fileOperations = 0;
  bool inFileHook = false;
  std::function<bool(std::string_view)> listingFails;

  std::string profileFolder = "C:\\Users\\User";

  std::vector<ProcessInfo> processes;
  std::set<std::uint32_t> unkillable;
  std::uint32_t nextPid = kFirstPid;
  struct Snapshot {
    std::vector<ProcessInfo> processes;
    std::size_t next = 0;
  };
  std::map<Handle, Snapshot> snapshots;
  std::set<Handle> tokens;
  std::vector<std::uint32_t> pendingKills;

  std::uint32_t ticks = 5'000'000;  // a machine that has been up for a while
  std::uint32_t tickPerRead = 0;
  std::uint64_t waited = 0;
  // The local time at the tick count `ticksAtLocalTime`, in milliseconds since 1970.
  std::int64_t localTime = MillisecondsOf(SystemTime{2024, 3, 5, 1, 9, 0, 0, 0});
  std::uint32_t ticksAtLocalTime = ticks;

  std::string clipboard;
  bool clipboardHeld = false;
  std::deque<std::string> saveAnswers;
  std::vector<std::string> saveDialogs;

  std::deque<int> answers;
  std::vector<MessageBoxRecord> boxes;
  std::function<void(const MessageBoxRecord&)> boxHook;
  bool inBoxHook = false;

  std::vector<PageRecord> pages;
  std::vector<CommandLineRecord> commandLines;

  std::function<void()> doEventsHook;
  std::size_t doEventsCount = 0;
  bool inDoEvents = false;

  bool prevInstance = false;
  std::string appExeName = "tidewick";
  bool ended = false;

  // The environment as set by the test, over the defaults (see Environment()): by lower-cased
  // name, the name as written and the value (none: removed), in the order first set.
  struct Variable {
    std::string name;
    std::optional<std::string> value;
  };
  std::vector<std::pair<std::string, Variable>> environmentSet;
  std::map<int, std::string> specialFolders;  // as set by the test
  std::map<char, std::uint32_t> driveTypes;   // as set by the test, by upper-case letter
  bool windows32Bit = false;

  // The environment block: the defaults of 64-bit (or 32-bit) Windows with the profile folder
  // of the moment, then what the test set, in that order.
  std::vector<std::pair<std::string, std::string>> Environment() const {
    std::vector<std::pair<std::string, std::string>> block;
    const auto put = [&](std::string_view name, std::string value) {
      const std::string folded = LowerCase(name);
      for (auto& [existing, old] : block) {
        if (LowerCase(existing) == folded) {
          old = std::move(value);
          return;
        }
      }
      block.emplace_back(std::string(name), std::move(value));
    };
    put("ALLUSERSPROFILE", "C:\\ProgramData");
    if (!profileFolder.empty()) {
      put("APPDATA", profileFolder + "\\AppData\\Roaming");
      put("LOCALAPPDATA", profileFolder + "\\AppData\\Local");
    }
    put("Path", "C:\\Windows\\system32;C:\\Windows");
    put("ProgramData", "C:\\ProgramData");
    put("ProgramFiles", "C:\\Program Files");
    if (!windows32Bit) {
      put("ProgramFiles(x86)", "C:\\Program Files (x86)");
      put("ProgramW6432", "C:\\Program Files");
    }
    put("PUBLIC", "C:\\Users\\Public");
    put("SystemDrive", "C:");
    put("SystemRoot", "C:\\Windows");
    if (!profileFolder.empty()) {
      put("TEMP", profileFolder + "\\AppData\\Local\\Temp");
      put("TMP", profileFolder + "\\AppData\\Local\\Temp");
      put("USERPROFILE", profileFolder);
    }
    put("windir", "C:\\Windows");
    for (const auto& [folded, variable] : environmentSet) {
      if (variable.value) {
        put(variable.name, *variable.value);
      } else {
        // A structured binding is captured through a copy of its own (clang 14 refuses it).
        const std::string& removed = folded;
        std::erase_if(block, [&removed](const auto& entry) { return LowerCase(entry.first) == removed; });
      }
    }
    return block;
  }

  std::optional<std::string> VariableValue(std::string_view name) const {
    const std::string folded = LowerCase(name);
    for (auto& [existing, value] : Environment()) {
      if (LowerCase(existing) == folded) return value;
    }
    return std::nullopt;
  }

  // Counts a file operation and lets the test act after it.
  void AfterFileOperation() {
    if (inFileHook) return;  // operations made by the hook itself are not counted
    ++fileOperations;
    RunHookOnce(fileHook, inFileHook, fileOperations);
  }

  bool IsImageOfRunningProcess(std::string_view path) const {
    return std::any_of(processes.begin(), processes.end(), [&](const ProcessInfo& process) {
      return !process.imagePath.empty() && files.SamePlace(process.imagePath, path);
    });
  }

  // The started kill commands do their work: each ends its process when the tool is there.
  void RunPendingKills() {
    const std::vector<std::uint32_t> pending = std::exchange(pendingKills, {});
    if (!files.PathFileExists(kKillTool)) return;
    for (const std::uint32_t pid : pending) {
      if (unkillable.count(pid) != 0) continue;
      std::erase_if(processes, [&](const ProcessInfo& process) { return process.pid == pid; });
    }
  }

  static constexpr std::string_view kKillTool = "pskill.exe";
};

SimulatedPlatform::SimulatedPlatform() : state_(std::make_unique<State>()) {}
SimulatedPlatform::~SimulatedPlatform() = default;

// ---- Registry set-up and inspection ----

void SimulatedPlatform::SetRegistryValue(Handle root, std::string_view keyPath,
                                         std::string_view valueName, RegistryValue value) {
  state_->registry.SetValue(root, keyPath, valueName, std::move(value));
}

std::optional<RegistryValue> SimulatedPlatform::RegistryValueAt(Handle root,
                                                                std::string_view keyPath,
                                                                std::string_view valueName) const {
  return state_->registry.ValueAt(root, keyPath, valueName);
}

void SimulatedPlatform::CreateRegistryKey(Handle root, std::string_view keyPath) {
  state_->registry.CreateKey(root, keyPath);
}

bool SimulatedPlatform::RegistryKeyExists(Handle root, std::string_view keyPath) const {
  return state_->registry.KeyExists(root, keyPath);
}

void SimulatedPlatform::DeleteRegistryKey(Handle root, std::string_view keyPath) {
  state_->registry.DeleteKey(root, keyPath);
}

std::size_t SimulatedPlatform::RegistryValueCount(Handle root, std::string_view keyPath) const {
  return state_->registry.ValueCount(root, keyPath);
}

void SimulatedPlatform::RefuseRegistryWrites(Handle root, bool refuse) {
  state_->registry.RefuseWrites(root, refuse);
}

void SimulatedPlatform::RefuseRegistryOpen(Handle root, std::string_view keyPath, bool refuse) {
  state_->registry.RefuseOpen(root, keyPath, refuse);
}

const std::vector<RegistryWrite>& SimulatedPlatform::RegistryWrites() const {
  return state_->registry.Writes();
}

void SimulatedPlatform::ClearRegistryWrites() { state_->registry.ClearWrites(); }

std::size_t SimulatedPlatform::OpenHandleCount() const {
  return state_->registry.OpenKeyCount() + state_->snapshots.size();
}

// ---- Drives and files ----

void SimulatedPlatform::AddDrive(char letter) { state_->files.AddDrive(letter); }
void SimulatedPlatform::RemoveDrive(char letter) { state_->files.RemoveDrive(letter); }
void SimulatedPlatform::SetDriveReady(char letter, bool ready) {
  state_->files.SetDriveReady(letter, ready);
}
void SimulatedPlatform::SetVolumeSerial(char letter, std::uint32_t serial) {
  state_->files.SetVolumeSerial(letter, serial);
}
std::optional<std::uint32_t> SimulatedPlatform::VolumeSerialOf(char letter) const {
  return state_->files.VolumeSerialOf(letter);
}
void SimulatedPlatform::EjectMedium(char letter, std::string_view keepAs) {
  state_->files.EjectMedium(letter, keepAs);
}
void SimulatedPlatform::InsertMedium(char letter, std::string_view kept) {
  state_->files.InsertMedium(letter, kept);
}
void SimulatedPlatform::InsertNewMedium(char letter, std::uint32_t serial) {
  state_->files.InsertNewMedium(letter, serial);
}
void SimulatedPlatform::AddFolder(std::string_view path, std::uint32_t attributes) {
  state_->files.AddFolder(path, attributes);
}
void SimulatedPlatform::AddFile(std::string_view path, std::uint32_t attributes) {
  state_->files.AddFile(path, attributes);
}
bool SimulatedPlatform::Exists(std::string_view path) const { return state_->files.Exists(path); }
std::optional<std::uint32_t> SimulatedPlatform::AttributesOf(std::string_view path) const {
  return state_->files.AttributesOf(path);
}
std::vector<std::string> SimulatedPlatform::EntriesOf(std::string_view folderPath) const {
  return state_->files.EntriesOf(folderPath);
}
void SimulatedPlatform::LockEntry(std::string_view path, bool locked) {
  state_->files.LockEntry(path, locked);
}
void SimulatedPlatform::RefuseAttributeChanges(std::string_view path, bool refuse) {
  state_->files.RefuseAttributeChanges(path, refuse);
}
void SimulatedPlatform::SetFileContent(std::string_view path, std::string_view content) {
  state_->files.SetContent(path, content);
}
std::optional<std::string> SimulatedPlatform::FileContent(std::string_view path) const {
  return state_->files.ContentOf(path);
}
void SimulatedPlatform::FailListingAfter(std::string_view folderPath, std::size_t entries) {
  state_->files.FailListingAfter(folderPath, entries);
}
void SimulatedPlatform::FailListingsWhere(std::function<bool(std::string_view)> fails) {
  state_->listingFails = std::move(fails);
}
void SimulatedPlatform::OnFileOperation(std::function<void(std::size_t)> hook) {
  state_->fileHook = std::move(hook);
}
void SimulatedPlatform::SetCurrentFolder(std::string_view path) {
  state_->files.SetCurrentFolder(path);
}
const std::string& SimulatedPlatform::CurrentFolder() const {
  return state_->files.CurrentFolder();
}

// ---- Profile ----

void SimulatedPlatform::SetProfileFolder(std::string_view path) {
  while (path.size() > 3 && path.back() == '\\') path.remove_suffix(1);
  state_->profileFolder = std::string(path);
}
const std::string& SimulatedPlatform::ProfileFolder() const { return state_->profileFolder; }

// ---- Processes ----

std::uint32_t SimulatedPlatform::StartProcess(std::string_view exeName,
                                              std::string_view imagePath,
                                              std::string_view commandLine) {
  const std::uint32_t pid = state_->nextPid;
  state_->nextPid += 4;
  std::string image(imagePath);
  if (image.empty()) image = std::string(kDefaultImageFolder) + std::string(exeName);
  std::string line(commandLine);
  if (line.empty()) line = "\"" + image + "\"";
  state_->processes.push_back(ProcessInfo{pid, std::string(exeName), std::move(image), false, std::move(line)});
  return pid;
}

void SimulatedPlatform::HideImagePath(std::uint32_t pid, bool hidden) {
  for (ProcessInfo& process : state_->processes) {
    if (process.pid == pid) {
      process.imageHidden = hidden;
      return;
    }
  }
  throw std::invalid_argument("no such process");
}

bool SimulatedPlatform::IsRunning(std::uint32_t pid) const {
  const auto& processes = state_->processes;
  return std::any_of(processes.begin(), processes.end(),
                     [&](const ProcessInfo& process) { return process.pid == pid; });
}

std::vector<ProcessInfo> SimulatedPlatform::Processes() const { return state_->processes; }

void SimulatedPlatform::MakeUnkillable(std::uint32_t pid, bool unkillable) {
  if (unkillable) {
    state_->unkillable.insert(pid);
  } else {
    state_->unkillable.erase(pid);
  }
}

// ---- Environment, special folders, drive types, the registry's views ----

void SimulatedPlatform::SetVariable(std::string_view name, std::optional<std::string> value) {
  const std::string folded = LowerCase(name);
  auto& set = state_->environmentSet;
  std::erase_if(set, [&](const auto& entry) { return entry.first == folded; });
  set.emplace_back(folded, State::Variable{std::string(name), std::move(value)});
}

void SimulatedPlatform::SetSpecialFolder(int folder, std::string_view path) {
  state_->specialFolders[folder] = std::string(path);
}

void SimulatedPlatform::SetDriveType(char letter, std::uint32_t type) {
  state_->driveTypes[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] = type;
}

void SimulatedPlatform::SetWindows32Bit(bool is32Bit) { state_->windows32Bit = is32Bit; }

// ---- Time ----

void SimulatedPlatform::SetTickCount(std::uint32_t ticks) { state_->ticks = ticks; }

void SimulatedPlatform::AdvanceClock(std::uint32_t milliseconds) {
  state_->ticks += milliseconds;  // wraps modulo 2^32 like the real counter
  if (milliseconds > 0) state_->RunPendingKills();
}

void SimulatedPlatform::SetLocalTime(const SystemTime& time) {
  state_->localTime = MillisecondsOf(time);
  state_->ticksAtLocalTime = state_->ticks;
}

void SimulatedPlatform::SetTickPerRead(std::uint32_t milliseconds) {
  state_->tickPerRead = milliseconds;
}

// ---- Message boxes ----

void SimulatedPlatform::QueueAnswer(int answer) { state_->answers.push_back(answer); }
const std::vector<MessageBoxRecord>& SimulatedPlatform::MessageBoxes() const {
  return state_->boxes;
}
void SimulatedPlatform::ClearMessageBoxes() { state_->boxes.clear(); }
void SimulatedPlatform::OnMessageBox(std::function<void(const MessageBoxRecord&)> hook) {
  state_->boxHook = std::move(hook);
}

// ---- Records, event pump, program ----

const std::string& SimulatedPlatform::ClipboardText() const { return state_->clipboard; }
void SimulatedPlatform::HoldClipboard(bool held) { state_->clipboardHeld = held; }
void SimulatedPlatform::QueueSaveDialogAnswer(std::string path) { state_->saveAnswers.push_back(std::move(path)); }
const std::vector<std::string>& SimulatedPlatform::SaveDialogs() const { return state_->saveDialogs; }

const std::vector<PageRecord>& SimulatedPlatform::PagesOpened() const { return state_->pages; }
const std::vector<CommandLineRecord>& SimulatedPlatform::CommandLines() const {
  return state_->commandLines;
}
void SimulatedPlatform::OnDoEvents(std::function<void()> hook) {
  state_->doEventsHook = std::move(hook);
}
std::size_t SimulatedPlatform::DoEventsCount() const { return state_->doEventsCount; }
std::uint64_t SimulatedPlatform::WaitedMilliseconds() const { return state_->waited; }
void SimulatedPlatform::SetPrevInstance(bool running) { state_->prevInstance = running; }
void SimulatedPlatform::SetAppExeName(std::string_view name) {
  state_->appExeName = std::string(name);
}
bool SimulatedPlatform::Ended() const { return state_->ended; }

// ---- PlatformOperations: registry ----

Status SimulatedPlatform::RegOpenKeyA(Handle root, std::string_view subKey, Handle& key) {
  return state_->registry.Open(root, subKey, key);
}

Status SimulatedPlatform::RegOpenKeyExA(Handle root, std::string_view subKey,
                                        std::uint32_t /*options*/, std::uint32_t access,
                                        Handle& key) {
  if ((access & KeyAccess::View32) != 0 && !state_->windows32Bit) {
    return state_->registry.Open(root, PathIn32BitView(root, subKey), key);
  }
  return state_->registry.Open(root, subKey, key);
}

Status SimulatedPlatform::RegCreateKeyA(Handle root, std::string_view subKey, Handle& key) {
  return state_->registry.Create(root, subKey, key);
}

Status SimulatedPlatform::RegQueryValueExA(Handle key, std::string_view valueName,
                                           std::uint32_t* type, void* data, std::uint32_t* size) {
  return state_->registry.Query(key, valueName, type, data, size);
}

Status SimulatedPlatform::RegSetValueExA(Handle key, std::string_view valueName,
                                         std::uint32_t /*reserved*/, std::uint32_t type,
                                         const void* data, std::uint32_t size) {
  return state_->registry.Set(key, valueName, type, data, size);
}

Status SimulatedPlatform::RegDeleteValueA(Handle key, std::string_view valueName) {
  return state_->registry.DeleteValue(key, valueName);
}

Status SimulatedPlatform::RegEnumValueA(Handle key, std::uint32_t index, char* name,
                                        std::uint32_t& nameLength, std::uint32_t* type,
                                        std::uint8_t* data, std::uint32_t& dataLength) {
  return state_->registry.Enum(key, index, name, nameLength, type, data, dataLength);
}

Status SimulatedPlatform::RegCloseKey(Handle key) { return state_->registry.Close(key); }

// ---- PlatformOperations: files ----

bool SimulatedPlatform::PathFileExistsA(std::string_view path) {
  const bool exists = state_->files.PathFileExists(path);
  state_->AfterFileOperation();
  return exists;
}

bool SimulatedPlatform::SetFileAttributesA(std::string_view path, std::uint32_t attributes) {
  const bool done = state_->files.SetAttributes(path, attributes);
  state_->AfterFileOperation();
  return done;
}

bool SimulatedPlatform::DeleteFileA(std::string_view path) {
  const bool done = state_->files.DeleteFile(
      path, [this](std::string_view p) { return state_->IsImageOfRunningProcess(p); });
  state_->AfterFileOperation();
  return done;
}

bool SimulatedPlatform::GetDiskFreeSpaceA(std::string_view root, DiskFreeSpace& counts) {
  const bool ready = state_->files.DiskFreeSpace(root, counts);
  state_->AfterFileOperation();
  return ready;
}

bool SimulatedPlatform::GetVolumeInformationA(std::string_view root, std::uint32_t& serialNumber) {
  const bool ready = state_->files.VolumeSerial(root, serialNumber);
  state_->AfterFileOperation();
  return ready;
}

std::string SimulatedPlatform::DirFirst(std::string_view pattern, std::uint32_t mask) {
  std::string name;
  if (state_->listingFails && state_->listingFails(pattern)) {
    state_->files.BreakListing();
  } else {
    name = state_->files.DirFirst(pattern, mask);
  }
  state_->AfterFileOperation();
  return name;
}

std::string SimulatedPlatform::DirNext() {
  std::string name = state_->files.DirNext();
  state_->AfterFileOperation();
  return name;
}

bool SimulatedPlatform::DirFailed() { return state_->files.DirFailed(); }

// ---- PlatformOperations: processes, tokens, time ----

Handle SimulatedPlatform::CreateToolhelp32Snapshot(std::uint32_t flags,
                                                   std::uint32_t /*processId*/) {
  constexpr std::uint32_t TH32CS_SNAPPROCESS = 0x2;
  State::Snapshot snapshot;
  if ((flags & TH32CS_SNAPPROCESS) != 0) snapshot.processes = state_->processes;
  const Handle handle = state_->handles.Take();
  state_->snapshots.emplace(handle, std::move(snapshot));
  return handle;
}

bool SimulatedPlatform::Process32First(Handle snapshot, ProcessEntry32& entry) {
  auto it = state_->snapshots.find(snapshot);
  if (it == state_->snapshots.end()) return false;
  it->second.next = 0;
  return Process32Next(snapshot, entry);
}

bool SimulatedPlatform::Process32Next(Handle snapshot, ProcessEntry32& entry) {
  auto it = state_->snapshots.find(snapshot);
  if (it == state_->snapshots.end() || entry.dwSize != ProcessEntry32::kAnsiSize) return false;
  State::Snapshot& walk = it->second;
  if (walk.next >= walk.processes.size()) return false;
  const ProcessInfo& process = walk.processes[walk.next++];
  entry.th32ProcessID = process.pid;
  entry.szExeFile = process.exeName;
  return true;
}

bool SimulatedPlatform::CloseHandle(Handle handle) {
  return state_->snapshots.erase(handle) != 0 || state_->tokens.erase(handle) != 0;
}

bool SimulatedPlatform::QueryFullProcessImageNameA(std::uint32_t processId, std::string& path) {
  for (const ProcessInfo& process : state_->processes) {
    if (process.pid != processId) continue;
    if (process.imageHidden) return false;
    path = process.imagePath;
    return true;
  }
  return false;  // no such process (any more)
}

Handle SimulatedPlatform::GetCurrentProcess() { return kCurrentProcess; }

bool SimulatedPlatform::OpenProcessToken(Handle process, std::uint32_t /*access*/,
                                         Handle& token) {
  token = 0;
  if (process != kCurrentProcess) return false;
  token = state_->handles.Take();
  state_->tokens.insert(token);
  return true;
}

bool SimulatedPlatform::GetUserProfileDirectoryA(Handle token, std::string& buffer,
                                                 std::uint32_t& size) {
  if (state_->tokens.count(token) == 0) return false;
  const std::string& folder = state_->profileFolder;
  if (folder.empty()) return false;
  const auto needed = static_cast<std::uint32_t>(folder.size() + 1);
  if (size < needed) {
    size = needed;
    return false;
  }
  if (buffer.size() < needed) buffer.resize(needed, '\0');
  buffer.replace(0, folder.size(), folder);
  buffer[folder.size()] = '\0';
  size = needed;
  return true;
}

std::uint32_t SimulatedPlatform::GetTickCount() {
  const std::uint32_t now = state_->ticks;
  if (state_->tickPerRead > 0) AdvanceClock(state_->tickPerRead);
  return now;
}

// ---- PlatformOperations: shell and general services ----

void SimulatedPlatform::ShellExecuteA(Handle /*owner*/, const char* /*verb*/,
                                      std::string_view file, const char* /*parameters*/,
                                      const char* /*directory*/, int show) {
  state_->pages.push_back(PageRecord{std::string(file), show});
}

int SimulatedPlatform::MsgBox(std::string_view text, int style) {
  MessageBoxRecord record{std::string(text), style, Answer::Ok};
  auto& answers = state_->answers;
  const int buttons = style & 0xF;
  if (buttons == MsgStyle::Ok) {
    // One button: nothing to decide. A scripted Answer::Ok meant for this box is used up.
    if (!answers.empty() && answers.front() == Answer::Ok) answers.pop_front();
  } else {
    const bool yesNo = buttons == (MsgStyle::YesNoQuestion & 0xF);
    if (answers.empty() || (yesNo && answers.front() != Answer::Yes && answers.front() != Answer::No)) {
      record.answer = 0;
      state_->boxes.push_back(record);
      throw UnexpectedMessageBox{(answers.empty() ? "no answer scripted for the question: "
                                                   : "the scripted answer does not fit the question: ") +
                                 record.text};
    }
    record.answer = answers.front();
    answers.pop_front();
  }
  state_->boxes.push_back(record);
  RunHookOnce(state_->boxHook, state_->inBoxHook, record);
  return record.answer;
}

void SimulatedPlatform::StartCommandLine(std::string_view commandLine, int windowStyle) {
  state_->commandLines.push_back(CommandLineRecord{std::string(commandLine), windowStyle});
  if (const auto pid = KillToolTarget(commandLine)) state_->pendingKills.push_back(*pid);
}

void SimulatedPlatform::DoEvents() {
  ++state_->doEventsCount;
  RunHookOnce(state_->doEventsHook, state_->inDoEvents);
}

void SimulatedPlatform::WaitForEvents(std::uint32_t milliseconds) {
  state_->waited += milliseconds;
  AdvanceClock(milliseconds);
}

void SimulatedPlatform::EndProgram() {
  state_->ended = true;
  throw ProgramEnded{};
}

bool SimulatedPlatform::PrevInstance() { return state_->prevInstance; }

std::string SimulatedPlatform::AppExeName() { return state_->appExeName; }

// ---- PlatformOperations: what the report of changes needs ----

bool SimulatedPlatform::GetFileAttributesExA(std::string_view path, FileAttributeData& data) {
  const bool read = state_->files.AttributeData(path, data);
  state_->AfterFileOperation();
  return read;
}

std::uint32_t SimulatedPlatform::GetLastError() { return state_->files.LastError(); }

Status SimulatedPlatform::RegDeleteKeyA(Handle key, std::string_view subKey) {
  return state_->registry.DeleteSubKey(key, subKey);
}

void SimulatedPlatform::GetLocalTime(SystemTime& time) {
  // Unsigned difference: right across the wrap of the tick counter.
  const std::uint32_t elapsed = state_->ticks - state_->ticksAtLocalTime;
  time = CivilFromMilliseconds(state_->localTime + elapsed);
}

bool SimulatedPlatform::SetClipboardText(std::string_view text) {
  if (state_->clipboardHeld) return false;
  state_->clipboard = std::string(text);
  return true;
}

std::string SimulatedPlatform::GetSaveFileNameA(std::string_view suggestedName) {
  state_->saveDialogs.emplace_back(suggestedName);
  if (state_->saveAnswers.empty()) {
    throw UnexpectedMessageBox{"no answer scripted for the save dialog offering " + std::string(suggestedName)};
  }
  std::string path = std::move(state_->saveAnswers.front());
  state_->saveAnswers.pop_front();
  return path;
}

bool SimulatedPlatform::WriteTextFile(std::string_view path, std::string_view text, bool replaceExisting) {
  const bool written = state_->files.WriteText(path, text, replaceExisting);
  state_->AfterFileOperation();
  return written;
}

bool SimulatedPlatform::ReadFileBytes(std::string_view path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) {
  const bool read = state_->files.ReadBytes(path, maxBytes, bytes);
  state_->AfterFileOperation();
  return read;
}

bool SimulatedPlatform::MoveFileExA(std::string_view existing, std::string_view newName) {
  const bool moved = state_->files.Move(existing, newName);
  state_->AfterFileOperation();
  return moved;
}

bool SimulatedPlatform::RemoveDirectoryA(std::string_view path) {
  const bool removed = state_->files.RemoveFolder(path);
  state_->AfterFileOperation();
  return removed;
}

// ---- PlatformOperations: what the search of every autostart place needs ----

std::vector<std::string> SimulatedPlatform::GetEnvironmentStringsA() {
  std::vector<std::string> block;
  for (const auto& [name, value] : state_->Environment()) block.push_back(name + "=" + value);
  return block;
}

bool SimulatedPlatform::SHGetFolderPathA(int folder, std::string& path) {
  std::string answer;
  if (const auto set = state_->specialFolders.find(folder); set != state_->specialFolders.end()) {
    answer = set->second;
  } else {
    switch (folder) {
      case SpecialFolder::Startup:
        if (const std::optional<std::string> appData = state_->VariableValue("APPDATA")) {
          answer = *appData + "\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
        }
        break;
      case SpecialFolder::CommonStartup:
        answer = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
        break;
      case SpecialFolder::Windows:
        answer = "C:\\Windows";
        break;
      case SpecialFolder::ProgramFiles:
        answer = "C:\\Program Files";
        break;
      case SpecialFolder::ProgramFilesX86:
        answer = state_->windows32Bit ? "C:\\Program Files" : "C:\\Program Files (x86)";
        break;
      default:
        break;
    }
  }
  if (answer.empty()) return false;
  path = std::move(answer);
  return true;
}

bool SimulatedPlatform::GetTempPathA(std::string& path) {
  // The order GetTempPath follows.
  std::string folder;
  for (const char* name : {"TMP", "TEMP", "USERPROFILE"}) {
    if (const std::optional<std::string> value = state_->VariableValue(name); value && !value->empty()) {
      folder = *value;
      break;
    }
  }
  if (folder.empty() && !SHGetFolderPathA(SpecialFolder::Windows, folder)) return false;
  if (folder.back() != '\\') folder += '\\';
  path = std::move(folder);
  return true;
}

std::uint32_t SimulatedPlatform::GetDriveTypeA(std::string_view root) {
  if (root.size() != 3 || root[1] != ':' || root[2] != '\\' || !std::isalpha(static_cast<unsigned char>(root[0]))) {
    return DriveType::NoRootDir;
  }
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
  // Set-up sees the drive whether or not it holds a medium; a drive without one keeps its type.
  if (!state_->files.HasDrive(letter)) return DriveType::NoRootDir;
  const auto set = state_->driveTypes.find(letter);
  return set != state_->driveTypes.end() ? set->second : DriveType::Fixed;
}

bool SimulatedPlatform::NtQueryInformationProcess(std::uint32_t processId, std::string& commandLine) {
  for (const ProcessInfo& process : state_->processes) {
    if (process.pid != processId) continue;
    if (process.imageHidden) return false;
    commandLine = process.commandLine;
    return true;
  }
  return false;  // no such process (any more)
}

}  // namespace tidewick::sim
