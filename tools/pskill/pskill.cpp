// pskill: ends one running process, given its decimal process id.
//
//   pskill <process id>
//
// Tidewick starts it as "cmd /c pskill <id>" and then deletes the program file of the ended
// process, so pskill waits (5 s at most) until the process has really gone, and reports success
// only then.
//
// Exit codes (the usage text lists them too):
//   0  the process has ended
//   1  usage: no process id given
//   2  usage: more than one argument given
//   3  usage: the argument is not a process id (decimal digits only, at most 4294967295)
//   4  no running process has that id
//   5  the process may not be ended (access denied)
//   6  the process could not be ended for another reason (or it is pskill itself)
//   7  the process was told to end but still runs after the 5 s wait
//   8  the process was told to end but pskill could not wait for its end (no right to wait
//      for it, or the wait failed), so whether it is gone is unknown
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

namespace {

enum ExitCode : int {
  kEnded = 0,
  kNoArgument = 1,
  kTooManyArguments = 2,
  kNotAProcessId = 3,
  kNoSuchProcess = 4,
  kAccessDenied = 5,
  kNotEnded = 6,
  kStillRunning = 7,
  kCouldNotWait = 8,
};

constexpr const char* kUsage =
    "usage: pskill <process id>\n"
    "exit codes: 0 the process has ended; 1, 2, 3 usage; 4 no such process; 5 access denied;\n"
    "  6 could not be ended; 7 still running after the 5 s wait; 8 could not wait for its end\n";
// How long pskill waits for an ended process to be gone.
constexpr DWORD kWaitForEndMs = 5000;

int Usage(const char* problem, ExitCode code) {
  std::fprintf(stderr, "pskill: %s\n%s", problem, kUsage);
  return code;
}

// Decimal digits only (no sign, no spaces), at most 4294967295.
std::optional<DWORD> ParseProcessId(std::wstring_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - L'0');
  }
  if (value > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<DWORD>(value);
}

int EndProcess(DWORD processId) {
  if (processId == ::GetCurrentProcessId()) {
    std::fprintf(stderr, "pskill: %lu is pskill itself\n", processId);
    return kNotEnded;
  }
  // SYNCHRONIZE lets pskill wait for the end; a process that grants only termination is still
  // ended, but pskill cannot see it go and says so (kCouldNotWait).
  HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
  if (!process && ::GetLastError() == ERROR_ACCESS_DENIED) {
    process = ::OpenProcess(PROCESS_TERMINATE, FALSE, processId);
  }
  if (!process) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
      std::fprintf(stderr, "pskill: process %lu may not be ended (access denied)\n", processId);
      return kAccessDenied;
    }
    std::fprintf(stderr, "pskill: no process with id %lu\n", processId);
    return kNoSuchProcess;
  }
  int result = kEnded;
  if (!::TerminateProcess(process, 1)) {
    const DWORD error = ::GetLastError();
    std::fprintf(stderr, "pskill: process %lu could not be ended (error %lu)\n", processId, error);
    result = error == ERROR_ACCESS_DENIED ? kAccessDenied : kNotEnded;
  } else {
    // TerminateProcess only starts the end; the process is gone once its handle is signalled.
    switch (::WaitForSingleObject(process, kWaitForEndMs)) {
      case WAIT_OBJECT_0:
        std::printf("pskill: process %lu ended\n", processId);
        break;
      case WAIT_TIMEOUT:
        std::fprintf(stderr, "pskill: process %lu was told to end but still runs after %lu s\n", processId,
                     kWaitForEndMs / 1000);
        result = kStillRunning;
        break;
      default:
        std::fprintf(stderr,
                     "pskill: process %lu was told to end, but pskill could not wait for its end (error %lu)\n",
                     processId, ::GetLastError());
        result = kCouldNotWait;
        break;
    }
  }
  ::CloseHandle(process);
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage("no process id given", kNoArgument);
  if (argc > 2) return Usage("only one process id may be given", kTooManyArguments);
  const std::optional<DWORD> processId = ParseProcessId(argv[1]);
  if (!processId) return Usage("the process id must be decimal digits only", kNotAProcessId);
  return EndProcess(*processId);
}
