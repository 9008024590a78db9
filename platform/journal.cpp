// The journal of changes and the platform that records into it.
#include "platform/journal.h"

#include "platform/kill_tool.h"
#include "platform/registry.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace tidewick {
namespace {

// The attribute bits a change is judged by (see journal.h: the archive mark is not).
constexpr std::uint32_t kJudgedAttributes = Attr::ReadOnly | Attr::Hidden | Attr::System;

constexpr std::string_view kOtherChanges = "Other changes";
constexpr std::string_view kContinued = " (continued)";

// A key path joined and cut at its backslashes: no empty levels, no trailing backslash.
std::vector<std::string> Levels(std::string_view path) {
  std::vector<std::string> levels;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) levels.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return levels;
}

std::string JoinLevels(const std::vector<std::string>& levels, std::size_t count) {
  std::string path;
  for (std::size_t i = 0; i < count && i < levels.size(); ++i) {
    if (!path.empty()) path += '\\';
    path += levels[i];
  }
  return path;
}

bool IsRoot(Handle key) { return key == Root::CurrentUser || key == Root::LocalMachine; }

// Whether two changes are about the same thing (the same entry, value or key, the same way).
bool SameTarget(const Change& a, const Change& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case Change::Kind::Attributes:
    case Change::Kind::FileDeleted:
    case Change::Kind::FileWritten:
      return LowerCase(a.path) == LowerCase(b.path);
    case Change::Kind::RegistryValue:
      return a.root == b.root && LowerCase(a.keyPath) == LowerCase(b.keyPath) &&
             LowerCase(a.valueName) == LowerCase(b.valueName) && a.after.has_value() == b.after.has_value();
    case Change::Kind::RegistryKeyCreated:
    case Change::Kind::RegistryKeyDeleted:
      return a.root == b.root && LowerCase(a.keyPath) == LowerCase(b.keyPath);
    case Change::Kind::KillTool:
      return a.processId == b.processId;
    case Change::Kind::CommandLine:
      return a.commandLine == b.commandLine;
    case Change::Kind::Moved:
      return LowerCase(a.path) == LowerCase(b.path) && LowerCase(a.newPath) == LowerCase(b.newPath);
    case Change::Kind::FolderRemoved:
      return LowerCase(a.path) == LowerCase(b.path);
  }
  return false;
}

// What a change is about, as text: equal for any two changes that SameTarget or SamePlace
// takes for one; empty for a kind it does not know.
std::string PlaceText(const Change& change) {
  std::string place = std::to_string(static_cast<int>(change.kind)) + '\n';
  switch (change.kind) {
    case Change::Kind::Attributes:
    case Change::Kind::FileDeleted:
    case Change::Kind::FileWritten:
    case Change::Kind::FolderRemoved:
      return place + LowerCase(change.path);
    case Change::Kind::RegistryValue:
      return place + std::to_string(change.root) + '\n' + LowerCase(change.keyPath) + '\n' + LowerCase(change.valueName);
    case Change::Kind::RegistryKeyCreated:
    case Change::Kind::RegistryKeyDeleted:
      return place + std::to_string(change.root) + '\n' + LowerCase(change.keyPath);
    case Change::Kind::KillTool:
      return place + std::to_string(change.processId);
    case Change::Kind::CommandLine:
      return place + change.commandLine;
    case Change::Kind::Moved:
      return place + LowerCase(change.path) + '\n' + LowerCase(change.newPath);
  }
  return {};
}

// What a change is about, as a hash of its PlaceText: equal for any two changes that SameTarget
// or SamePlace takes for one (two that only share it are told apart by them, so a collision
// costs a look at the others, never a wrong merge); 0 for a kind PlaceText does not know, which
// is then compared with every earlier change.
std::size_t PlaceOf(const Change& change) {
  const std::string place = PlaceText(change);
  return place.empty() ? 0 : std::hash<std::string>{}(place) | 1;
}

// Whether a later change of the same entry's attributes, or of the same registry value,
// continues an earlier one.
bool SamePlace(const Change& earlier, const Change& later) {
  if (earlier.kind != later.kind) return false;
  if (later.kind == Change::Kind::Attributes) return LowerCase(earlier.path) == LowerCase(later.path);
  if (later.kind == Change::Kind::RegistryValue) {
    return earlier.root == later.root && LowerCase(earlier.keyPath) == LowerCase(later.keyPath) &&
           LowerCase(earlier.valueName) == LowerCase(later.valueName);
  }
  return false;
}

}  // namespace

// ---- ChangeJournal --------------------------------------------------------------------------

ChangeJournal::ChangeJournal(std::function<SystemTime()> clock) : clock_(std::move(clock)), started_(clock_()) {}

void ChangeJournal::BeginCommand(std::string title) {
  commands_.push_back(Command{title, clock_(), {}});
  open_.push_back(Open{std::move(title), commands_.size() - 1});
  otherGroup_.reset();
}

void ChangeJournal::EndCommand() {
  if (open_.empty()) return;
  open_.pop_back();
  // The outer command goes on; what it changes from now on comes after the nested one's.
  if (!open_.empty()) open_.back().group.reset();
  otherGroup_.reset();
}

Command& ChangeJournal::CurrentGroup() {
  if (open_.empty()) {
    if (!otherGroup_) {
      commands_.push_back(Command{std::string(kOtherChanges), clock_(), {}});
      otherGroup_ = commands_.size() - 1;
    }
    return commands_[*otherGroup_];
  }
  Open& open = open_.back();
  if (!open.group) {
    commands_.push_back(Command{open.title + std::string(kContinued), clock_(), {}});
    open.group = commands_.size() - 1;
  }
  return commands_[*open.group];
}

void ChangeJournal::Record(Change change) {
  Command& command = CurrentGroup();
  std::vector<Change>& changes = command.changes;
  places_.resize(commands_.size());
  auto& places = places_[static_cast<std::size_t>(&command - commands_.data())];
  const std::size_t place = PlaceOf(change);
  // Nothing else of the command is about this: no earlier change to merge with or drop.
  if (place != 0 && !places.contains(place)) {
    places.emplace(place, 1);
    changes.push_back(std::move(change));
    return;
  }
  const auto forget = [&](std::size_t count) {
    const auto found = places.find(place);
    if (found == places.end() || count == 0) return;
    found->second -= std::min(count, found->second);
    if (found->second == 0) places.erase(found);
  };
  const bool merges = change.Refused() || change.kind == Change::Kind::KillTool;
  if (merges) {
    for (Change& earlier : changes) {
      if (SameTarget(earlier, change) && earlier.error == change.error) {
        earlier.attempts += change.attempts;
        return;
      }
    }
  } else {
    // The change was made after all: earlier refusals of it within the command are overcome.
    forget(std::erase_if(changes, [&](const Change& earlier) { return earlier.Refused() && SameTarget(earlier, change); }));
    // An entry or a value changed again within the command is one change, from the state
    // before the first to the state after the last; one that ends as it began is none.
    for (auto earlier = changes.begin(); earlier != changes.end(); ++earlier) {
      if (earlier->Refused() || !SamePlace(*earlier, change)) continue;
      bool asBefore = false;
      if (change.kind == Change::Kind::Attributes) {
        earlier->attributes = change.attributes;
        asBefore = earlier->attributesBefore &&
                   (*earlier->attributesBefore & kJudgedAttributes) == (earlier->attributes & kJudgedAttributes);
      } else {
        earlier->after = std::move(change.after);
        asBefore = earlier->beforeKnown && earlier->before == earlier->after;
      }
      if (asBefore) {
        changes.erase(earlier);
        forget(1);
      }
      return;
    }
  }
  if (place != 0) ++places[place];
  changes.push_back(std::move(change));
}

// ---- CommandScope ---------------------------------------------------------------------------

CommandScope::CommandScope(ChangeJournal* journal, std::string title) : journal_(journal) {
  if (journal_ != nullptr) journal_->BeginCommand(std::move(title));
}

CommandScope::~CommandScope() {
  if (journal_ != nullptr) journal_->EndCommand();
}

// ---- JournalingPlatform: registry -----------------------------------------------------------

JournalingPlatform::JournalingPlatform(PlatformOperations& inner)
    : os_(inner), journal_([&inner] {
        SystemTime now;
        inner.GetLocalTime(now);
        return now;
      }) {}

std::optional<JournalingPlatform::KeyPlace> JournalingPlatform::PlaceOf(Handle key) const {
  if (IsRoot(key)) return KeyPlace{key, {}};
  const auto found = keys_.find(key);
  if (found == keys_.end()) return std::nullopt;
  return found->second;
}

std::optional<JournalingPlatform::KeyPlace> JournalingPlatform::PlaceBelow(Handle base,
                                                                          std::string_view subKey) const {
  std::optional<KeyPlace> place = PlaceOf(base);
  if (!place) return std::nullopt;
  std::vector<std::string> levels = Levels(place->path);
  for (std::string& level : Levels(subKey)) levels.push_back(std::move(level));
  place->path = JoinLevels(levels, levels.size());
  return place;
}

void JournalingPlatform::Remember(Status status, Handle key, Handle base, std::string_view subKey) {
  if (status != StatusCode::Success || key == 0) return;
  if (const std::optional<KeyPlace> place = PlaceBelow(base, subKey)) keys_[key] = *place;
}

Status JournalingPlatform::RegOpenKeyA(Handle root, std::string_view subKey, Handle& key) {
  const Status status = os_.RegOpenKeyA(root, subKey, key);
  Remember(status, key, root, subKey);
  return status;
}

Status JournalingPlatform::RegOpenKeyExA(Handle root, std::string_view subKey, std::uint32_t options,
                                         std::uint32_t access, Handle& key) {
  const Status status = os_.RegOpenKeyExA(root, subKey, options, access, key);
  if (status == StatusCode::Success && (access & KeyAccess::View32) != 0 && IsRoot(root)) {
    // A key of the 32-bit view is recorded where it lies in the registry's tree, so that the
    // report names it and the undo reaches it without the view. Where Windows has one view
    // (no Software\WOW6432Node) the key is the one its path names.
    const std::string viewPath = PathIn32BitView(root, subKey);
    Handle probe = 0;
    const bool twoViews = viewPath != subKey && os_.RegOpenKeyA(root, "Software\\WOW6432Node", probe) == StatusCode::Success;
    if (probe != 0) os_.RegCloseKey(probe);
    Remember(status, key, root, twoViews ? std::string_view(viewPath) : subKey);
    return status;
  }
  Remember(status, key, root, subKey);
  return status;
}

std::vector<std::string> JournalingPlatform::MissingLevels(const KeyPlace& place) {
  const std::vector<std::string> levels = Levels(place.path);
  std::vector<std::string> missing;
  // From the key itself outwards, until a level that exists (or cannot be told to be missing).
  for (std::size_t count = levels.size(); count > 0; --count) {
    const std::string path = JoinLevels(levels, count);
    Handle probe = 0;
    const Status status = os_.RegOpenKeyA(place.root, path, probe);
    if (probe != 0) os_.RegCloseKey(probe);
    if (status != StatusCode::FileNotFound) break;
    missing.insert(missing.begin(), path);
  }
  return missing;
}

Status JournalingPlatform::RegCreateKeyA(Handle root, std::string_view subKey, Handle& key) {
  const std::optional<KeyPlace> place = PlaceBelow(root, subKey);
  const std::vector<std::string> missing = place ? MissingLevels(*place) : std::vector<std::string>{};
  const Status status = os_.RegCreateKeyA(root, subKey, key);
  if (status == StatusCode::Success && key != 0) {
    Remember(status, key, root, subKey);
    refusedCreation_.reset();
    for (const std::string& level : missing) {
      Change change;
      change.kind = Change::Kind::RegistryKeyCreated;
      change.root = place->root;
      change.keyPath = level;
      journal_.Record(std::move(change));
    }
  } else if (place) {
    refusedCreation_ = std::make_pair(*place, status == StatusCode::Success ? StatusCode::InvalidHandle : status);
  }
  return status;
}

Status JournalingPlatform::RegQueryValueExA(Handle key, std::string_view valueName, std::uint32_t* type,
                                            void* data, std::uint32_t* size) {
  return os_.RegQueryValueExA(key, valueName, type, data, size);
}

std::optional<RegistryData> JournalingPlatform::CurrentValue(Handle key, std::string_view valueName, bool& known) {
  known = true;
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::uint32_t type = RegType::None;
    std::uint32_t size = 0;
    Status status = os_.RegQueryValueExA(key, valueName, &type, nullptr, &size);
    if (status == StatusCode::FileNotFound) return std::nullopt;
    if (status != StatusCode::Success) break;
    RegistryData value;
    // One byte more than asked for keeps the buffer non-empty for an empty value.
    std::vector<std::uint8_t> buffer(std::size_t{size} + 1);
    std::uint32_t read = size;
    status = os_.RegQueryValueExA(key, valueName, &value.type, buffer.data(), &read);
    if (status == StatusCode::MoreData) continue;  // it grew meanwhile
    if (status == StatusCode::FileNotFound) return std::nullopt;
    if (status != StatusCode::Success) break;
    buffer.resize(std::min<std::size_t>(read, size));
    value.data = std::move(buffer);
    return value;
  }
  known = false;
  return std::nullopt;
}

Change JournalingPlatform::RegistryChange(const KeyPlace& place, std::string_view valueName) const {
  Change change;
  change.kind = Change::Kind::RegistryValue;
  change.root = place.root;
  change.keyPath = place.path;
  change.valueName = std::string(valueName);
  return change;
}

Status JournalingPlatform::RegSetValueExA(Handle key, std::string_view valueName, std::uint32_t reserved,
                                          std::uint32_t type, const void* data, std::uint32_t size) {
  RegistryData written;
  written.type = type;
  if (data != nullptr) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    written.data.assign(bytes, bytes + size);
  }
  const std::optional<KeyPlace> place = PlaceOf(key);
  if (!place) {
    const Status status = os_.RegSetValueExA(key, valueName, reserved, type, data, size);
    // A write through the handle that a refused creation left: refused for the creation's reason.
    if (key == 0 && refusedCreation_ && status != StatusCode::Success) {
      Change change = RegistryChange(refusedCreation_->first, valueName);
      change.error = static_cast<std::uint32_t>(refusedCreation_->second);
      change.beforeKnown = false;
      change.after = std::move(written);
      journal_.Record(std::move(change));
    }
    return status;
  }
  Change change = RegistryChange(*place, valueName);
  change.before = CurrentValue(key, valueName, change.beforeKnown);
  const Status status = os_.RegSetValueExA(key, valueName, reserved, type, data, size);
  change.after = std::move(written);
  if (status != StatusCode::Success) {
    change.error = static_cast<std::uint32_t>(status);
  } else if (change.beforeKnown && change.before == change.after) {
    return status;  // written as it was: no change
  }
  journal_.Record(std::move(change));
  return status;
}

Status JournalingPlatform::RegDeleteValueA(Handle key, std::string_view valueName) {
  const std::optional<KeyPlace> place = PlaceOf(key);
  if (!place) return os_.RegDeleteValueA(key, valueName);
  Change change = RegistryChange(*place, valueName);
  change.before = CurrentValue(key, valueName, change.beforeKnown);
  const Status status = os_.RegDeleteValueA(key, valueName);
  if (status == StatusCode::FileNotFound) return status;  // nothing there
  if (status != StatusCode::Success) change.error = static_cast<std::uint32_t>(status);
  journal_.Record(std::move(change));
  return status;
}

Status JournalingPlatform::RegEnumValueA(Handle key, std::uint32_t index, char* name, std::uint32_t& nameLength,
                                         std::uint32_t* type, std::uint8_t* data, std::uint32_t& dataLength) {
  return os_.RegEnumValueA(key, index, name, nameLength, type, data, dataLength);
}

Status JournalingPlatform::RegCloseKey(Handle key) {
  keys_.erase(key);
  return os_.RegCloseKey(key);
}

Status JournalingPlatform::RegDeleteKeyA(Handle key, std::string_view subKey) {
  const std::optional<KeyPlace> place = PlaceBelow(key, subKey);
  const Status status = os_.RegDeleteKeyA(key, subKey);
  if (!place || status == StatusCode::FileNotFound) return status;
  Change change;
  change.kind = Change::Kind::RegistryKeyDeleted;
  change.root = place->root;
  change.keyPath = place->path;
  if (status != StatusCode::Success) change.error = static_cast<std::uint32_t>(status);
  journal_.Record(std::move(change));
  return status;
}

// ---- JournalingPlatform: files --------------------------------------------------------------

bool JournalingPlatform::PathFileExistsA(std::string_view path) { return os_.PathFileExistsA(path); }

bool JournalingPlatform::SetFileAttributesA(std::string_view path, std::uint32_t attributes) {
  FileAttributeData before;
  const bool known = os_.GetFileAttributesExA(path, before);
  const bool done = os_.SetFileAttributesA(path, attributes);
  Change change;
  change.kind = Change::Kind::Attributes;
  change.path = ShownPath(path);
  if (known) change.attributesBefore = before.attributes;
  change.attributes = attributes;
  if (!done) {
    change.error = os_.GetLastError();
    if (change.error == StatusCode::FileNotFound) return done;
    if (change.error == 0) change.error = StatusCode::AccessDenied;
  } else {
    FileAttributeData after;
    if (os_.GetFileAttributesExA(path, after)) change.attributes = after.attributes;
    if (known && (before.attributes & kJudgedAttributes) == (change.attributes & kJudgedAttributes)) return done;
  }
  journal_.Record(std::move(change));
  return done;
}

bool JournalingPlatform::DeleteFileA(std::string_view path) {
  FileAttributeData before;
  const bool known = os_.GetFileAttributesExA(path, before);
  const bool done = os_.DeleteFileA(path);
  Change change;
  change.kind = Change::Kind::FileDeleted;
  change.path = ShownPath(path);
  if (known && (before.attributes & Attr::Directory) == 0) change.size = before.size;
  if (!done) {
    change.error = os_.GetLastError();
    if (change.error == StatusCode::FileNotFound) return done;
    if (change.error == 0) change.error = StatusCode::AccessDenied;
  }
  journal_.Record(std::move(change));
  return done;
}

bool JournalingPlatform::WriteTextFile(std::string_view path, std::string_view text, bool replaceExisting) {
  FileAttributeData before;
  const bool existed = os_.GetFileAttributesExA(path, before);
  const bool done = os_.WriteTextFile(path, text, replaceExisting);
  Change change;
  change.kind = Change::Kind::FileWritten;
  change.path = ShownPath(path);
  change.size = text.size();
  change.replaced = existed;
  if (!done) {
    change.error = os_.GetLastError();
    if (change.error == 0) change.error = StatusCode::AccessDenied;
  }
  journal_.Record(std::move(change));
  return done;
}

bool JournalingPlatform::ReadFileBytes(std::string_view path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) {
  return os_.ReadFileBytes(path, maxBytes, bytes);
}

bool JournalingPlatform::RecordFileChange(bool done, Change change) {
  if (!done) {
    change.error = os_.GetLastError();
    if (change.error == StatusCode::FileNotFound) return done;
    if (change.error == 0) change.error = StatusCode::AccessDenied;
  }
  journal_.Record(std::move(change));
  return done;
}

bool JournalingPlatform::MoveFileExA(std::string_view existing, std::string_view newName) {
  Change change;
  change.kind = Change::Kind::Moved;
  change.path = ShownPath(existing);
  change.newPath = ShownPath(newName);
  return RecordFileChange(os_.MoveFileExA(existing, newName), std::move(change));
}

bool JournalingPlatform::RemoveDirectoryA(std::string_view path) {
  Change change;
  change.kind = Change::Kind::FolderRemoved;
  change.path = ShownPath(path);
  return RecordFileChange(os_.RemoveDirectoryA(path), std::move(change));
}

bool JournalingPlatform::GetDiskFreeSpaceA(std::string_view root, DiskFreeSpace& counts) {
  return os_.GetDiskFreeSpaceA(root, counts);
}

bool JournalingPlatform::GetVolumeInformationA(std::string_view root, std::uint32_t& serialNumber) {
  return os_.GetVolumeInformationA(root, serialNumber);
}

bool JournalingPlatform::GetFileAttributesExA(std::string_view path, FileAttributeData& data) {
  return os_.GetFileAttributesExA(path, data);
}

std::uint32_t JournalingPlatform::GetLastError() { return os_.GetLastError(); }

std::string JournalingPlatform::DirFirst(std::string_view pattern, std::uint32_t mask) {
  return os_.DirFirst(pattern, mask);
}

std::string JournalingPlatform::DirNext() { return os_.DirNext(); }

bool JournalingPlatform::DirFailed() { return os_.DirFailed(); }

// ---- JournalingPlatform: processes and command lines ----------------------------------------

Handle JournalingPlatform::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) {
  return os_.CreateToolhelp32Snapshot(flags, processId);
}

bool JournalingPlatform::Process32First(Handle snapshot, ProcessEntry32& entry) {
  const bool found = os_.Process32First(snapshot, entry);
  if (found) {
    exeNames_.clear();
    exeNames_[entry.th32ProcessID] = std::string(entry.szExeFile.c_str());
  }
  return found;
}

bool JournalingPlatform::Process32Next(Handle snapshot, ProcessEntry32& entry) {
  const bool found = os_.Process32Next(snapshot, entry);
  if (found) exeNames_[entry.th32ProcessID] = std::string(entry.szExeFile.c_str());
  return found;
}

void JournalingPlatform::StartCommandLine(std::string_view commandLine, int windowStyle) {
  Change change;
  if (const std::optional<std::uint32_t> pid = KillToolTarget(commandLine)) {
    change.kind = Change::Kind::KillTool;
    change.processId = *pid;
    // Asked before the tool starts, while the process still runs.
    if (!os_.QueryFullProcessImageNameA(*pid, change.image)) {
      const auto name = exeNames_.find(*pid);
      if (name != exeNames_.end()) change.image = name->second;
    }
  } else {
    change.kind = Change::Kind::CommandLine;
    change.commandLine = std::string(commandLine);
  }
  journal_.Record(std::move(change));
  os_.StartCommandLine(commandLine, windowStyle);
}

bool JournalingPlatform::CloseHandle(Handle handle) { return os_.CloseHandle(handle); }

bool JournalingPlatform::QueryFullProcessImageNameA(std::uint32_t processId, std::string& path) {
  return os_.QueryFullProcessImageNameA(processId, path);
}

Handle JournalingPlatform::GetCurrentProcess() { return os_.GetCurrentProcess(); }

bool JournalingPlatform::OpenProcessToken(Handle process, std::uint32_t access, Handle& token) {
  return os_.OpenProcessToken(process, access, token);
}

bool JournalingPlatform::GetUserProfileDirectoryA(Handle token, std::string& buffer, std::uint32_t& size) {
  return os_.GetUserProfileDirectoryA(token, buffer, size);
}

std::uint32_t JournalingPlatform::GetTickCount() { return os_.GetTickCount(); }

// ---- JournalingPlatform: everything else passes straight through ----------------------------

void JournalingPlatform::ShellExecuteA(Handle owner, const char* verb, std::string_view file,
                                       const char* parameters, const char* directory, int show) {
  os_.ShellExecuteA(owner, verb, file, parameters, directory, show);
}

int JournalingPlatform::MsgBox(std::string_view text, int style) { return os_.MsgBox(text, style); }

void JournalingPlatform::DoEvents() { os_.DoEvents(); }

void JournalingPlatform::WaitForEvents(std::uint32_t milliseconds) { os_.WaitForEvents(milliseconds); }

void JournalingPlatform::EndProgram() {
  os_.EndProgram();
  std::abort();  // not reached: the inner platform's EndProgram does not return either
}

bool JournalingPlatform::PrevInstance() { return os_.PrevInstance(); }

std::string JournalingPlatform::AppExeName() { return os_.AppExeName(); }

void JournalingPlatform::GetLocalTime(SystemTime& time) { os_.GetLocalTime(time); }

bool JournalingPlatform::SetClipboardText(std::string_view text) { return os_.SetClipboardText(text); }

std::string JournalingPlatform::GetSaveFileNameA(std::string_view suggestedName) {
  return os_.GetSaveFileNameA(suggestedName);
}

// ---- JournalingPlatform: reading for the search of every autostart place ------------------

std::vector<std::string> JournalingPlatform::GetEnvironmentStringsA() { return os_.GetEnvironmentStringsA(); }

bool JournalingPlatform::SHGetFolderPathA(int folder, std::string& path) { return os_.SHGetFolderPathA(folder, path); }

bool JournalingPlatform::GetTempPathA(std::string& path) { return os_.GetTempPathA(path); }

std::uint32_t JournalingPlatform::GetDriveTypeA(std::string_view root) { return os_.GetDriveTypeA(root); }

bool JournalingPlatform::NtQueryInformationProcess(std::uint32_t processId, std::string& commandLine) {
  return os_.NtQueryInformationProcess(processId, commandLine);
}

}  // namespace tidewick
