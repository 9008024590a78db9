// The registry as the windows and the shared procedures use it, on top of the contract's
// A functions: a key that closes itself, a value read as text or number, and a visit of every
// value of a key that does the buffer work of RegEnumValueA once.
//
// Everything here is written against PlatformOperations only; the calls it makes are the
// contract's own, in the order a hand-written caller would make them.
#pragma once

#include "platform/platform_operations.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tidewick {

// An open registry key that is closed when it goes out of scope, also when an exception
// passes. Move-only. Holds no key (0) when an opening failed.
class ScopedKey {
 public:
  explicit ScopedKey(PlatformOperations& os, Handle key = 0) noexcept : os_(&os), key_(key) {}
  ScopedKey(ScopedKey&& other) noexcept : os_(other.os_), key_(other.key_) { other.key_ = 0; }
  ScopedKey& operator=(ScopedKey&& other) noexcept;
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  // Closes a key still held; a failing close is passed over (a destructor cannot report it).
  ~ScopedKey();

  Handle Get() const { return key_; }
  explicit operator bool() const { return key_ != 0; }
  PlatformOperations& Os() const { return *os_; }

  // Closes the key now and answers RegCloseKey's status. An empty key is passed to
  // RegCloseKey as 0, as the classic procedures do (it answers StatusCode::InvalidHandle and
  // does no harm). Afterwards the key holds nothing, also when the close raised.
  Status Close();
  // Closes what the key holds and answers the place where an opening call writes the new
  // handle: os.RegOpenKeyA(root, subKey, key.Put()). A handle written there before the call
  // raised is still closed by the key.
  Handle& Put();

 private:
  PlatformOperations* os_;
  Handle key_;
};

// A key together with the status of the call that opened or created it.
struct KeyResult {
  ScopedKey key;
  Status status;
};

// RegOpenKeyA, RegOpenKeyExA (options 0) and RegCreateKeyA, answering the key they opened.
KeyResult OpenKey(PlatformOperations& os, Handle root, std::string_view subKey);
KeyResult OpenKeyEx(PlatformOperations& os, Handle root, std::string_view subKey,
                    std::uint32_t access);
KeyResult CreateKey(PlatformOperations& os, Handle root, std::string_view subKey);

// A value read by ReadValue: text (RegType::Sz, up to its first NUL) or a 32-bit number
// (RegType::Dword).
using RegData = std::variant<std::string, std::uint32_t>;

// Reads one value of `key`: asks for its type and size first, then for the data. No answer
// when the value is absent or cannot be read, or when it is neither text nor a number of four
// bytes (expandable text, binary, multi-text, an oversized number). Empty text and the number
// 0 are answers of their own.
std::optional<RegData> ReadValue(const ScopedKey& key, std::string_view valueName);

// One value met by ForEachValue. `data` holds the bytes as stored (text with its terminator
// when it was stored with one).
struct RegValue {
  std::string name;  // empty for the key's unnamed value
  std::uint32_t type = RegType::None;
  std::vector<std::uint8_t> data;

  // The data read as text, as Windows reads it: up to its first NUL, also when it was stored
  // without one.
  std::string Text() const;
};

// What a visitor of ForEachValue answers after each value.
enum class Visit { Next, Stop };

// How large a value ForEachValue reads, in the units RegEnumValueA counts: the name's bytes
// with its terminator, and the data's bytes. A value larger than this ends the visit, as a
// caller with buffers of exactly this size would see it.
struct ValueLimits {
  std::uint32_t nameBytes = std::numeric_limits<std::uint32_t>::max();
  std::uint32_t dataBytes = std::numeric_limits<std::uint32_t>::max();
};

// Visits the values of `key` in the registry's order, index 0 upwards, until the visitor
// answers Visit::Stop or RegEnumValueA fails. Buffers start small and grow when a value does
// not fit (StatusCode::MoreData), up to `limits`. Answers the status that ended the visit:
// StatusCode::NoMoreItems after the last value, StatusCode::Success when the visitor stopped,
// StatusCode::MoreData for a value larger than `limits`, or the failure.
Status ForEachValue(const ScopedKey& key, const std::function<Visit(const RegValue&)>& visitor,
                    ValueLimits limits = {});

// Where a key opened with KeyAccess::View32 lies in the registry's own tree on 64-bit Windows:
// below Root::LocalMachine, "Software\..." is "Software\WOW6432Node\..." (a path naming
// WOW6432Node already stays as it is); other paths, and every path below Root::CurrentUser,
// are one key in both views. Windows shares a few keys of HKEY_LOCAL_MACHINE\Software between
// the views; none that the program opens in the 32-bit view is among them.
std::string PathIn32BitView(Handle root, std::string_view subKey);

}  // namespace tidewick
