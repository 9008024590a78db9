// One move-only owner for every kind of Win32 handle.
//
// UniqueHandle<T, Close, Invalid> owns a value of the pointer-like handle type T and calls
// Close on it exactly once, unless it holds the type's invalid value. Copying is deleted;
// moving hands the handle over and leaves the source empty. The invalid value is a template
// argument because the Win32 API uses two conventions: NULL for registry keys, process, token
// and mutex handles, INVALID_HANDLE_VALUE (-1) for find handles and snapshots.
//
// The template does not include <windows.h>, so it can be tested with any close function.
#pragma once

#include <cstdint>
#include <utility>

namespace tidewick::win32 {

template <typename T, auto Close, std::intptr_t InvalidValue = 0>
class UniqueHandle {
 public:
  static T Invalid() { return reinterpret_cast<T>(InvalidValue); }

  UniqueHandle() = default;
  explicit UniqueHandle(T handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  T get() const { return handle_; }
  bool valid() const { return handle_ != Invalid(); }
  explicit operator bool() const { return valid(); }

  // Gives up ownership without closing.
  T release() { return std::exchange(handle_, Invalid()); }

  // Closes the held handle (if any) and takes `handle`.
  void reset(T handle = Invalid()) {
    T old = std::exchange(handle_, handle);
    if (old != Invalid()) Close(old);
  }

 private:
  T handle_ = Invalid();
};

}  // namespace tidewick::win32
