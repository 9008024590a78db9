// Taking a process snapshot again when it fails for a moment. CreateToolhelp32Snapshot answers
// ERROR_BAD_LENGTH while a process it lists loads or unloads modules (the list changes under
// it; with TH32CS_SNAPALL that is this program's own module list, which a shell call or a
// window can change from another thread), and Windows asks the caller to try again. Treating
// that as "no process runs" would make a kill walk end nothing without a sign of it.
#pragma once

#include <windows.h>

namespace tidewick::win32 {

// How often a snapshot is tried before its failure counts.
inline constexpr int kSnapshotAttempts = 8;

// Calls `take` (which answers a snapshot handle, or INVALID_HANDLE_VALUE with the reason as the
// thread's last error) until it answers a snapshot, fails for another reason than
// ERROR_BAD_LENGTH, or has been called kSnapshotAttempts times; between attempts it waits a
// little longer each time (1 ms, 2 ms, ... 28 ms in all). Answers the last result, its reason
// still the last error.
template <typename Take>
HANDLE TakeSnapshot(Take take) {
  for (int attempt = 1;; ++attempt) {
    const HANDLE snapshot = take();
    if (snapshot != INVALID_HANDLE_VALUE || attempt == kSnapshotAttempts) return snapshot;
    const DWORD error = ::GetLastError();
    if (error != ERROR_BAD_LENGTH) return snapshot;
    ::Sleep(static_cast<DWORD>(attempt));
    ::SetLastError(error);
  }
}

}  // namespace tidewick::win32
