// The undo of the registry changes of this run: what it would do, and doing it.
#include "platform/journal.h"

#include "platform/text.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <tuple>

namespace tidewick {
namespace {

// Room for a value name when asking whether a key still holds any value.
constexpr std::uint32_t kNameRoom = 1024;

using ValueId = std::tuple<Handle, std::string, std::string>;  // root, folded key path, folded name
using KeyId = std::pair<Handle, std::string>;                  // root, folded key path

std::size_t Depth(std::string_view keyPath) {
  return static_cast<std::size_t>(std::count(keyPath.begin(), keyPath.end(), '\\'));
}

// The value now; false when it cannot be told (the key cannot be opened or read).
bool ReadNow(PlatformOperations& os, Handle root, const std::string& keyPath, const std::string& valueName,
             std::optional<RegistryData>& now) {
  now.reset();
  Handle key = 0;
  const Status opened = os.RegOpenKeyA(root, keyPath, key);
  if (opened == StatusCode::FileNotFound) return true;  // no key, so no value
  if (opened != StatusCode::Success || key == 0) return false;
  bool known = false;
  for (int attempt = 0; attempt < 4 && !known; ++attempt) {
    std::uint32_t type = RegType::None;
    std::uint32_t size = 0;
    Status status = os.RegQueryValueExA(key, valueName, &type, nullptr, &size);
    if (status == StatusCode::FileNotFound) {
      known = true;
      break;
    }
    if (status != StatusCode::Success) break;
    RegistryData value;
    std::vector<std::uint8_t> buffer(std::size_t{size} + 1);
    std::uint32_t read = size;
    status = os.RegQueryValueExA(key, valueName, &value.type, buffer.data(), &read);
    if (status == StatusCode::MoreData) continue;
    if (status != StatusCode::Success) break;
    buffer.resize(std::min<std::size_t>(read, size));
    value.data = std::move(buffer);
    now = std::move(value);
    known = true;
  }
  os.RegCloseKey(key);
  return known;
}

bool KeyExists(PlatformOperations& os, Handle root, const std::string& keyPath) {
  Handle key = 0;
  const Status status = os.RegOpenKeyA(root, keyPath, key);
  if (key != 0) os.RegCloseKey(key);
  return status == StatusCode::Success;
}

bool HoldsValues(PlatformOperations& os, Handle root, const std::string& keyPath) {
  Handle key = 0;
  if (os.RegOpenKeyA(root, keyPath, key) != StatusCode::Success || key == 0) return true;
  std::array<char, kNameRoom> name{};
  std::uint32_t nameLength = kNameRoom;
  std::uint32_t dataLength = 0;
  const Status status = os.RegEnumValueA(key, 0, name.data(), nameLength, nullptr, nullptr, dataLength);
  os.RegCloseKey(key);
  return status != StatusCode::NoMoreItems;
}

}  // namespace

RegistryUndoPlan PlanRegistryUndo(const ChangeJournal& journal, PlatformOperations& os) {
  struct First {
    RegistryRestore restore;
    bool known = true;
  };
  std::vector<First> firsts;
  std::map<ValueId, std::size_t> seen;
  std::map<KeyId, RegistryUndoPlan::Key> created;

  for (const Command& command : journal.Commands()) {
    for (const Change& change : command.changes) {
      if (change.Refused()) continue;
      if (change.kind == Change::Kind::RegistryValue) {
        const ValueId id{change.root, LowerCase(change.keyPath), LowerCase(change.valueName)};
        if (seen.count(id) != 0) continue;
        seen[id] = firsts.size();
        First first;
        first.restore.root = change.root;
        first.restore.keyPath = change.keyPath;
        first.restore.valueName = change.valueName;
        first.restore.before = change.before;
        first.known = change.beforeKnown;
        firsts.push_back(std::move(first));
      } else if (change.kind == Change::Kind::RegistryKeyCreated) {
        created[KeyId{change.root, LowerCase(change.keyPath)}] = {change.root, change.keyPath};
      } else if (change.kind == Change::Kind::RegistryKeyDeleted) {
        created.erase(KeyId{change.root, LowerCase(change.keyPath)});
      }
    }
  }

  RegistryUndoPlan plan;
  for (First& first : firsts) {
    // A value whose state before the run is unknown cannot be put back.
    if (!first.known) continue;
    RegistryRestore& restore = first.restore;
    if (!ReadNow(os, restore.root, restore.keyPath, restore.valueName, restore.now)) continue;
    if (restore.now != restore.before) plan.values.push_back(std::move(restore));
  }
  for (const auto& [id, key] : created) {
    if (KeyExists(os, key.root, key.keyPath)) plan.createdKeys.push_back(key);
  }
  std::stable_sort(plan.createdKeys.begin(), plan.createdKeys.end(),
                   [](const RegistryUndoPlan::Key& a, const RegistryUndoPlan::Key& b) {
                     return Depth(a.keyPath) > Depth(b.keyPath);
                   });
  return plan;
}

int UndoRegistryChanges(const RegistryUndoPlan& plan, PlatformOperations& os) {
  int refused = 0;
  for (const RegistryRestore& restore : plan.values) {
    Handle key = 0;
    Status status = StatusCode::Success;
    if (restore.before) {
      status = os.RegCreateKeyA(restore.root, restore.keyPath, key);
      if (status == StatusCode::Success) {
        const RegistryData& value = *restore.before;
        status = os.RegSetValueExA(key, restore.valueName, 0, value.type, value.data.empty() ? nullptr : value.data.data(),
                                   static_cast<std::uint32_t>(value.data.size()));
      }
    } else {
      status = os.RegOpenKeyA(restore.root, restore.keyPath, key);
      if (status == StatusCode::Success) status = os.RegDeleteValueA(key, restore.valueName);
      if (status == StatusCode::FileNotFound) status = StatusCode::Success;  // gone already
    }
    if (key != 0) os.RegCloseKey(key);
    if (status != StatusCode::Success) ++refused;
  }
  for (const RegistryUndoPlan::Key& key : plan.createdKeys) {
    // A key that holds something again (written by another program meanwhile) is kept.
    if (HoldsValues(os, key.root, key.keyPath)) continue;
    const Status status = os.RegDeleteKeyA(key.root, key.keyPath);
    if (status != StatusCode::Success && status != StatusCode::FileNotFound) ++refused;
  }
  return refused;
}

}  // namespace tidewick
