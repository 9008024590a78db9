#include "platform/registry.h"

#include "platform/text.h"

#include <algorithm>
#include <utility>

namespace tidewick {
namespace {

// Where ForEachValue's buffers start (bytes): enough for the names and command lines of most
// values, so that growing is the exception.
constexpr std::uint32_t kFirstNameRoom = 256;
constexpr std::uint32_t kFirstDataRoom = 1024;

// Text up to its first NUL.
std::string UpToNull(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

}  // namespace

// ---- ScopedKey ----------------------------------------------------------------------------

ScopedKey& ScopedKey::operator=(ScopedKey&& other) noexcept {
  if (this != &other) {
    Put();
    os_ = other.os_;
    key_ = std::exchange(other.key_, 0);
  }
  return *this;
}

ScopedKey::~ScopedKey() { Put(); }

Status ScopedKey::Close() {
  const Handle key = std::exchange(key_, 0);
  return os_->RegCloseKey(key);
}

Handle& ScopedKey::Put() {
  if (key_ != 0) {
    const Handle key = std::exchange(key_, 0);
    try {
      os_->RegCloseKey(key);
    } catch (...) {
      // Nothing can be done about a key that refuses to close; it is not ours any more.
    }
  }
  return key_;
}

KeyResult OpenKey(PlatformOperations& os, Handle root, std::string_view subKey) {
  KeyResult result{ScopedKey(os), StatusCode::Success};
  result.status = os.RegOpenKeyA(root, subKey, result.key.Put());
  return result;
}

KeyResult OpenKeyEx(PlatformOperations& os, Handle root, std::string_view subKey,
                    std::uint32_t access) {
  KeyResult result{ScopedKey(os), StatusCode::Success};
  result.status = os.RegOpenKeyExA(root, subKey, 0, access, result.key.Put());
  return result;
}

KeyResult CreateKey(PlatformOperations& os, Handle root, std::string_view subKey) {
  KeyResult result{ScopedKey(os), StatusCode::Success};
  result.status = os.RegCreateKeyA(root, subKey, result.key.Put());
  return result;
}

// ---- Values -------------------------------------------------------------------------------

std::optional<RegData> ReadValue(const ScopedKey& key, std::string_view valueName) {
  if (!key) return std::nullopt;
  PlatformOperations& os = key.Os();
  std::uint32_t type = RegType::None;
  std::uint32_t size = 0;
  if (os.RegQueryValueExA(key.Get(), valueName, &type, nullptr, &size) != StatusCode::Success) {
    return std::nullopt;
  }
  if (type == RegType::Sz) {
    // One byte more than asked for, so that the buffer is never read past its end (also for
    // an empty value stored without its NUL, size 0).
    std::string buffer(std::size_t{size} + 1, '\0');
    std::uint32_t textType = RegType::None;
    std::uint32_t read = size;
    if (os.RegQueryValueExA(key.Get(), valueName, &textType, buffer.data(), &read) !=
        StatusCode::Success) {
      return std::nullopt;
    }
    buffer.resize(std::min<std::size_t>(read, size));
    return RegData(UpToNull(buffer));
  }
  if (type == RegType::Dword) {
    std::uint32_t number = 0;
    std::uint32_t read = sizeof number;
    if (os.RegQueryValueExA(key.Get(), valueName, &type, &number, &read) != StatusCode::Success) {
      return std::nullopt;
    }
    return RegData(number);
  }
  return std::nullopt;
}

std::string RegValue::Text() const {
  return UpToNull(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

Status ForEachValue(const ScopedKey& key, const std::function<Visit(const RegValue&)>& visitor,
                    ValueLimits limits) {
  PlatformOperations& os = key.Os();
  std::uint32_t nameRoom = std::min(kFirstNameRoom, limits.nameBytes);
  std::uint32_t dataRoom = std::min(kFirstDataRoom, limits.dataBytes);
  std::vector<char> name;
  std::vector<std::uint8_t> data;
  for (std::uint32_t index = 0;; ++index) {
    RegValue value;
    for (;;) {
      // Never an empty buffer: a null pointer would mean "no name" or "no data wanted".
      name.assign(std::max<std::uint32_t>(nameRoom, 1), '\0');
      data.assign(std::max<std::uint32_t>(dataRoom, 1), 0);
      std::uint32_t nameLength = nameRoom;
      std::uint32_t dataLength = dataRoom;
      const Status status = os.RegEnumValueA(key.Get(), index, name.data(), nameLength,
                                             &value.type, data.data(), dataLength);
      if (status == StatusCode::Success) {
        value.name.assign(name.data(), std::min(nameLength, nameRoom));
        value.data.assign(data.begin(), data.begin() + std::min(dataLength, dataRoom));
        break;
      }
      if (status != StatusCode::MoreData) return status;
      // Data that does not fit raises dataLength to the size it needs; otherwise the name was
      // too long, and its length is not told.
      if (dataLength > dataRoom) {
        if (dataLength > limits.dataBytes) return StatusCode::MoreData;
        dataRoom = dataLength;
      } else {
        if (nameRoom >= limits.nameBytes) return StatusCode::MoreData;
        nameRoom = nameRoom > limits.nameBytes / 2 ? limits.nameBytes
                                                   : std::max<std::uint32_t>(nameRoom * 2, 1);
      }
    }
    if (visitor(value) == Visit::Stop) return StatusCode::Success;
  }
}

std::string PathIn32BitView(Handle root, std::string_view subKey) {
  std::string path(subKey);
  if (root != Root::LocalMachine) return path;
  // The first level, then what follows it (without the separator).
  std::size_t start = 0;
  while (start < path.size() && path[start] == '\\') ++start;
  const std::size_t end = std::min(path.find('\\', start), path.size());
  if (LowerCase(path.substr(start, end - start)) != "software") return path;
  std::size_t next = end;
  while (next < path.size() && path[next] == '\\') ++next;
  const std::size_t nextEnd = std::min(path.find('\\', next), path.size());
  if (LowerCase(path.substr(next, nextEnd - next)) == "wow6432node") return path;
  return path.substr(0, end) + "\\WOW6432Node" + path.substr(end);
}

}  // namespace tidewick
