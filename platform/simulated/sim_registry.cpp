// The simulated registry. Key and value names compare case-insensitively; a trailing backslash
// (and any empty level) of a key path is ignored; values keep their creation order, which is
// the order RegEnumValueA walks them.
#include "platform/simulated/sim_registry.h"

#include "platform/text.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace tidewick::sim::detail {
namespace {

constexpr Status ERROR_INVALID_PARAMETER = 87;
constexpr Status ERROR_KEY_DELETED = 1018;

}  // namespace

SimRegistry::Value* SimRegistry::Key::Find(std::string_view valueName) {
  const std::string folded = LowerCase(valueName);
  for (Value& value : values) {
    if (LowerCase(value.name) == folded) return &value;
  }
  return nullptr;
}

const SimRegistry::Value* SimRegistry::Key::Find(std::string_view valueName) const {
  return const_cast<Key*>(this)->Find(valueName);
}

bool SimRegistry::IsPredefinedRoot(Handle root) {
  // HKEY_CLASSES_ROOT .. HKEY_CURRENT_CONFIG
  return root >= 0x80000000u && root <= 0x80000005u;
}

SimRegistry::Path SimRegistry::SplitPath(std::string_view keyPath) {
  Path path;
  std::size_t start = 0;
  while (start <= keyPath.size()) {
    std::size_t end = keyPath.find('\\', start);
    if (end == std::string_view::npos) end = keyPath.size();
    if (end > start) path.push_back(LowerCase(keyPath.substr(start, end - start)));
    start = end + 1;
  }
  return path;
}

SimRegistry::Key* SimRegistry::Find(Handle root, const Path& path) {
  auto rootIt = roots_.find(root);
  if (rootIt == roots_.end()) return nullptr;
  Key* key = &rootIt->second;
  for (const std::string& level : path) {
    auto child = key->children.find(level);
    if (child == key->children.end()) return nullptr;
    key = child->second.get();
  }
  return key;
}

const SimRegistry::Key* SimRegistry::Find(Handle root, const Path& path) const {
  return const_cast<SimRegistry*>(this)->Find(root, path);
}

SimRegistry::Key& SimRegistry::Make(Handle root, const Path& path) {
  Key* key = &roots_[root];
  for (const std::string& level : path) {
    std::unique_ptr<Key>& child = key->children[level];
    if (!child) child = std::make_unique<Key>();
    key = child.get();
  }
  return *key;
}

bool SimRegistry::Resolve(Handle base, std::string_view subKey, Handle& root, Path& path,
                          std::string& asPassed) const {
  Path below = SplitPath(subKey);
  if (IsPredefinedRoot(base)) {
    root = base;
    path = std::move(below);
    asPassed = std::string(subKey);
    return true;
  }
  auto open = open_.find(base);
  if (open == open_.end()) return false;
  root = open->second.root;
  path = open->second.path;
  path.insert(path.end(), below.begin(), below.end());
  asPassed = open->second.subKey;
  if (!subKey.empty()) {
    if (!asPassed.empty() && asPassed.back() != '\\') asPassed += '\\';
    asPassed += subKey;
  }
  return true;
}

Status SimRegistry::Lookup(Handle key, Key*& found) {
  found = nullptr;
  if (IsPredefinedRoot(key)) {
    found = &roots_[key];
    return StatusCode::Success;
  }
  auto open = open_.find(key);
  if (open == open_.end()) return StatusCode::InvalidHandle;
  found = Find(open->second.root, open->second.path);
  return found != nullptr ? StatusCode::Success : ERROR_KEY_DELETED;
}

Handle SimRegistry::Remember(Handle root, Path path, std::string asPassed) {
  const Handle handle = handles_.Take();
  open_.emplace(handle, OpenKey{root, std::move(path), std::move(asPassed)});
  return handle;
}

// ---- Set-up and inspection ----

void SimRegistry::SetValue(Handle root, std::string_view keyPath, std::string_view valueName,
                           RegistryValue value) {
  if (!IsPredefinedRoot(root)) throw std::invalid_argument("not a registry root");
  Key& key = Make(root, SplitPath(keyPath));
  if (Value* existing = key.Find(valueName)) {
    existing->value = std::move(value);
  } else {
    key.values.push_back(Value{std::string(valueName), std::move(value)});
  }
}

std::optional<RegistryValue> SimRegistry::ValueAt(Handle root, std::string_view keyPath,
                                                  std::string_view valueName) const {
  const Key* key = Find(root, SplitPath(keyPath));
  if (key == nullptr) return std::nullopt;
  const Value* value = key->Find(valueName);
  if (value == nullptr) return std::nullopt;
  return value->value;
}

void SimRegistry::CreateKey(Handle root, std::string_view keyPath) {
  if (!IsPredefinedRoot(root)) throw std::invalid_argument("not a registry root");
  Make(root, SplitPath(keyPath));
}

bool SimRegistry::KeyExists(Handle root, std::string_view keyPath) const {
  return Find(root, SplitPath(keyPath)) != nullptr;
}

void SimRegistry::DeleteKey(Handle root, std::string_view keyPath) {
  Path path = SplitPath(keyPath);
  if (path.empty()) {
    roots_.erase(root);
    return;
  }
  const std::string last = path.back();
  path.pop_back();
  if (Key* parent = Find(root, path)) parent->children.erase(last);
}

std::size_t SimRegistry::ValueCount(Handle root, std::string_view keyPath) const {
  const Key* top = Find(root, SplitPath(keyPath));
  if (top == nullptr) return 0;
  std::size_t count = 0;
  std::vector<const Key*> pending{top};
  while (!pending.empty()) {
    const Key* key = pending.back();
    pending.pop_back();
    count += key->values.size();
    for (const auto& child : key->children) pending.push_back(child.second.get());
  }
  return count;
}

void SimRegistry::RefuseWrites(Handle root, bool refuse) {
  if (refuse) {
    refusedWrites_.insert(root);
  } else {
    refusedWrites_.erase(root);
  }
}

void SimRegistry::RefuseOpen(Handle root, std::string_view keyPath, bool refuse) {
  auto entry = std::make_pair(root, SplitPath(keyPath));
  if (refuse) {
    refusedOpens_.insert(std::move(entry));
  } else {
    refusedOpens_.erase(entry);
  }
}

// ---- The calls ----

Status SimRegistry::Open(Handle base, std::string_view subKey, Handle& key) {
  key = 0;
  Handle root = 0;
  Path path;
  std::string asPassed;
  if (!Resolve(base, subKey, root, path, asPassed)) return StatusCode::InvalidHandle;
  if (refusedOpens_.count({root, path}) != 0) return StatusCode::AccessDenied;
  if (Find(root, path) == nullptr) return StatusCode::FileNotFound;
  key = Remember(root, std::move(path), std::move(asPassed));
  return StatusCode::Success;
}

Status SimRegistry::Create(Handle base, std::string_view subKey, Handle& key) {
  key = 0;
  Handle root = 0;
  Path path;
  std::string asPassed;
  if (!Resolve(base, subKey, root, path, asPassed)) return StatusCode::InvalidHandle;
  if (refusedWrites_.count(root) != 0) return StatusCode::AccessDenied;
  if (refusedOpens_.count({root, path}) != 0) return StatusCode::AccessDenied;
  Make(root, path);
  key = Remember(root, std::move(path), std::move(asPassed));
  return StatusCode::Success;
}

Status SimRegistry::Query(Handle key, std::string_view valueName, std::uint32_t* type, void* data,
                          std::uint32_t* size) {
  Key* found = nullptr;
  if (const Status status = Lookup(key, found); status != StatusCode::Success) return status;
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  const Value* value = found->Find(valueName);
  if (value == nullptr) return StatusCode::FileNotFound;
  const auto needed = static_cast<std::uint32_t>(value->value.data.size());
  if (type != nullptr) *type = value->value.type;
  if (data == nullptr) {
    if (size != nullptr) *size = needed;
    return StatusCode::Success;
  }
  if (*size < needed) {
    *size = needed;
    return StatusCode::MoreData;
  }
  if (needed > 0) std::memcpy(data, value->value.data.data(), needed);
  *size = needed;
  return StatusCode::Success;
}

Status SimRegistry::Set(Handle key, std::string_view valueName, std::uint32_t type,
                        const void* data, std::uint32_t size) {
  RegistryWrite record;
  record.valueName = std::string(valueName);
  record.type = type;
  if (data != nullptr) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    record.data.assign(bytes, bytes + size);
  }
  auto open = open_.find(key);
  if (open != open_.end()) {
    record.root = open->second.root;
    record.subKey = open->second.subKey;
  } else if (IsPredefinedRoot(key)) {
    record.root = key;
  }

  Key* found = nullptr;
  Status status = Lookup(key, found);
  if (status == StatusCode::Success && refusedWrites_.count(record.root) != 0) {
    status = StatusCode::AccessDenied;
  }
  if (status == StatusCode::Success && data == nullptr && size > 0) status = ERROR_INVALID_PARAMETER;
  if (status == StatusCode::Success) {
    RegistryValue stored{type, record.data};
    if (Value* existing = found->Find(valueName)) {
      existing->value = std::move(stored);
    } else {
      found->values.push_back(Value{std::string(valueName), std::move(stored)});
    }
  }
  record.status = status;
  writes_.push_back(std::move(record));
  return status;
}

Status SimRegistry::DeleteValue(Handle key, std::string_view valueName) {
  Key* found = nullptr;
  if (const Status status = Lookup(key, found); status != StatusCode::Success) return status;
  const Handle root = IsPredefinedRoot(key) ? key : open_.at(key).root;
  if (refusedWrites_.count(root) != 0) return StatusCode::AccessDenied;
  const Value* value = found->Find(valueName);
  if (value == nullptr) return StatusCode::FileNotFound;
  found->values.erase(found->values.begin() + (value - found->values.data()));
  return StatusCode::Success;
}

Status SimRegistry::DeleteSubKey(Handle base, std::string_view subKey) {
  Handle root = 0;
  Path path;
  std::string asPassed;
  if (!Resolve(base, subKey, root, path, asPassed)) return StatusCode::InvalidHandle;
  if (path.empty()) return StatusCode::AccessDenied;  // a root is not deleted
  if (refusedWrites_.count(root) != 0 || refusedOpens_.count({root, path}) != 0) return StatusCode::AccessDenied;
  const Key* key = Find(root, path);
  if (key == nullptr) return StatusCode::FileNotFound;
  if (!key->children.empty()) return StatusCode::AccessDenied;  // only a key without sub-keys
  const std::string last = path.back();
  path.pop_back();
  Find(root, path)->children.erase(last);
  return StatusCode::Success;
}

Status SimRegistry::Enum(Handle key, std::uint32_t index, char* name, std::uint32_t& nameLength,
                         std::uint32_t* type, std::uint8_t* data, std::uint32_t& dataLength) {
  Key* found = nullptr;
  if (const Status status = Lookup(key, found); status != StatusCode::Success) return status;
  if (index >= found->values.size()) return StatusCode::NoMoreItems;
  const Value& value = found->values[index];
  const auto nameBytes = static_cast<std::uint32_t>(value.name.size());
  const auto dataBytes = static_cast<std::uint32_t>(value.value.data.size());
  // The name must fit together with its terminator.
  if (name == nullptr || nameBytes + 1 > nameLength) return StatusCode::MoreData;
  if (data != nullptr && dataBytes > dataLength) {
    dataLength = dataBytes;
    return StatusCode::MoreData;
  }
  std::memcpy(name, value.name.data(), nameBytes);
  name[nameBytes] = '\0';
  nameLength = nameBytes;
  if (type != nullptr) *type = value.value.type;
  if (data != nullptr && dataBytes > 0) std::memcpy(data, value.value.data.data(), dataBytes);
  dataLength = dataBytes;
  return StatusCode::Success;
}

Status SimRegistry::Close(Handle key) {
  if (IsPredefinedRoot(key)) return StatusCode::Success;
  return open_.erase(key) != 0 ? StatusCode::Success : StatusCode::InvalidHandle;
}

}  // namespace tidewick::sim::detail
