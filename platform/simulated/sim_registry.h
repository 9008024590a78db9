// The simulated registry: a tree of keys per root with typed values, and the handle table of
// open keys. Private to the simulated platform.
#pragma once

#include "platform/simulated/simulated_platform.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tidewick::sim::detail {

// One counter for every kind of handle (keys, snapshots, tokens): numbers are never reused and
// never 0, and they step by 4 as on Windows.
class HandleSource {
 public:
  Handle Take() {
    const Handle handle = next_;
    next_ += 4;
    return handle;
  }

 private:
  Handle next_ = 0x104;
};

class SimRegistry {
 public:
  explicit SimRegistry(HandleSource& handles) : handles_(handles) {}

  // ---- Set-up and inspection ----
  void SetValue(Handle root, std::string_view keyPath, std::string_view valueName,
                RegistryValue value);
  std::optional<RegistryValue> ValueAt(Handle root, std::string_view keyPath,
                                       std::string_view valueName) const;
  void CreateKey(Handle root, std::string_view keyPath);
  bool KeyExists(Handle root, std::string_view keyPath) const;
  void DeleteKey(Handle root, std::string_view keyPath);
  std::size_t ValueCount(Handle root, std::string_view keyPath) const;
  void RefuseWrites(Handle root, bool refuse);
  void RefuseOpen(Handle root, std::string_view keyPath, bool refuse);
  const std::vector<RegistryWrite>& Writes() const { return writes_; }
  void ClearWrites() { writes_.clear(); }
  std::size_t OpenKeyCount() const { return open_.size(); }

  // ---- The calls ----
  Status Open(Handle root, std::string_view subKey, Handle& key);
  Status Create(Handle root, std::string_view subKey, Handle& key);
  Status Query(Handle key, std::string_view valueName, std::uint32_t* type, void* data,
               std::uint32_t* size);
  Status Set(Handle key, std::string_view valueName, std::uint32_t type, const void* data,
             std::uint32_t size);
  Status DeleteValue(Handle key, std::string_view valueName);
  Status DeleteSubKey(Handle key, std::string_view subKey);
  Status Enum(Handle key, std::uint32_t index, char* name, std::uint32_t& nameLength,
              std::uint32_t* type, std::uint8_t* data, std::uint32_t& dataLength);
  Status Close(Handle key);

 private:
  struct Value {
    std::string name;  // as first stored
    RegistryValue value;
  };
  struct Key {
    std::map<std::string, std::unique_ptr<Key>> children;  // by folded name
    std::vector<Value> values;                              // in creation order
    Value* Find(std::string_view valueName);
    const Value* Find(std::string_view valueName) const;
  };
  using Path = std::vector<std::string>;  // folded key names below a root
  struct OpenKey {
    Handle root = 0;
    Path path;
    std::string subKey;  // the path as passed when it was opened, for the write record
  };

  static bool IsPredefinedRoot(Handle root);
  static Path SplitPath(std::string_view keyPath);
  Key* Find(Handle root, const Path& path);
  const Key* Find(Handle root, const Path& path) const;
  Key& Make(Handle root, const Path& path);
  // Where `subKey` lies when given relative to `base` (a root or an open key).
  bool Resolve(Handle base, std::string_view subKey, Handle& root, Path& path,
               std::string& asPassed) const;
  // The key behind an open handle, or the status to answer.
  Status Lookup(Handle key, Key*& found);
  Handle Remember(Handle root, Path path, std::string asPassed);

  HandleSource& handles_;
  std::map<Handle, Key> roots_;
  std::map<Handle, OpenKey> open_;
  std::set<Handle> refusedWrites_;
  std::set<std::pair<Handle, Path>> refusedOpens_;
  std::vector<RegistryWrite> writes_;
};

}  // namespace tidewick::sim::detail
