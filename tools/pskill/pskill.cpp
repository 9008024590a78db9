// pskill: ends one running process, given its decimal process id.
//
//   pskill <process id>
//
// Tidewick starts it as "cmd /c pskill <id>" and then deletes the program file of the ended
// process, so pskill waits (a few seconds at most) until the process has really gone before it
// reports success.
//
// Exit codes:
//   0  the process has ended
//   1  usage: no process id given
//   2  usage: more than one argument given
//   3  usage: the argument is not a process id (decimal digits only, at most 4294967295)
//   4  no running process has that id
//   5  the process may not be ended (access denied)
//   6  the process could not be ended for another reason (or it is pskill itself)
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
};

constexpr const char* kUsage = "usage: pskill <process id>\n";
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
  // ended, without the wait.
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
    ::WaitForSingleObject(process, kWaitForEndMs);
    std::printf("pskill: process %lu ended\n", processId);
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
