// One move-only owner for every kind of Win32 handle.
//
// UniqueHandle<T, Close, Invalid> owns a value of the pointer-like handle type T and calls
// Close on it exactly once, unless it holds the type's invalid value. Copying is deleted;
// moving hands the handle over and leaves the source empty. The invalid value is a template
// argument because the Win32 API uses two conventions: NULL for registry keys, process, token
// and mutex handles, INVALID_HANDLE_VALUE (-1) for find handles and snapshots.
//
// Closing keeps the calling thread's last error: an owner that goes out of scope between a
// failed call and GetLastError must not change what GetLastError answers. The close function
// itself is a template argument, so the template can be tested with any close function.
//
// The typedefs for each kind of handle are in win32/handles.h.
#pragma once

#include <windows.h>

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

  // Closes the held handle (if any) and takes `handle`. The last error stays as it was.
  void reset(T handle = Invalid()) {
    T old = std::exchange(handle_, handle);
    if (old == Invalid()) return;
    const DWORD lastError = ::GetLastError();
    Close(old);
    ::SetLastError(lastError);
  }

 private:
  T handle_ = Invalid();
};

}  // namespace tidewick::win32
