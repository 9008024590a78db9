// Start-up time of tidewick.exe against the least windowed program (minimal_window.exe), for
// bench/report.sh.
//
//   startup.exe FOLDER RUNS
//
// FOLDER holds tidewick.exe, pskill.exe (so that no question comes before the main window) and
// minimal_window.exe, and is each program's current folder. One warm-up start of each is not
// counted; then the two programs start alternately, RUNS times each. A start is timed from just
// before CreateProcess to the moment its window ("Tidewick v3.1", "Minimal") is visible,
// polling FindWindow and IsWindowVisible about every millisecond. The program is then closed
// through its window (WM_CLOSE, as the close box) and awaited before the next start, so that
// tidewick.exe never meets an earlier instance of itself. Prints one line per program:
//
//   startup program=<name> runs=<ms,ms,...> median_ms=<m> best_ms=<least> peak_working_set_kb=<largest>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Program {
  std::wstring file;   // in FOLDER
  std::wstring title;  // of the window that counts as shown
  const char* name;
  std::vector<double> ms;
  SIZE_T peakWorkingSet = 0;
};

double Now() {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

HWND VisibleWindowOf(const std::wstring& title, DWORD processId) {
  HWND window = ::FindWindowW(nullptr, title.c_str());
  if (!window || !::IsWindowVisible(window)) return nullptr;
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  return owner == processId ? window : nullptr;
}

// Starts the program, waits for its window, closes it and waits for its end. Answers the time
// to the window in ms, or a negative number when something went wrong (said on stderr).
double TimeOneStart(const std::wstring& folder, Program& program) {
  std::wstring commandLine = L"\"" + folder + L"\\" + program.file + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};

  const double start = Now();
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
    std::fprintf(stderr, "startup: cannot start %s (error %lu)\n", program.name, ::GetLastError());
    return -1;
  }
  HWND window = nullptr;
  double shown = -1;
  while (Now() - start < 30000) {
    window = VisibleWindowOf(program.title, process.dwProcessId);
    if (window) {
      shown = Now() - start;
      break;
    }
    if (::WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
    ::Sleep(1);
  }
  if (shown < 0) std::fprintf(stderr, "startup: %s showed no window\n", program.name);

  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (::GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory)) {
    program.peakWorkingSet = std::max(program.peakWorkingSet, memory.PeakWorkingSetSize);
  }
  if (window) ::PostMessageW(window, WM_CLOSE, 0, 0);
  if (::WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "startup: %s did not end on WM_CLOSE; terminated\n", program.name);
    ::TerminateProcess(process.hProcess, 1);
    ::WaitForSingleObject(process.hProcess, 5000);
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  ::Sleep(200);  // the system's own work after a process ends stays out of the next start
  return shown;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: startup FOLDER RUNS\n", stderr);
    return 2;
  }
  const std::wstring folder = argv[1];
  const int runs = std::max(1, ::_wtoi(argv[2]));
  std::vector<Program> programs = {
      {L"minimal_window.exe", L"Minimal", "minimal_window", {}, 0},
      {L"tidewick.exe", L"Tidewick v3.1", "tidewick", {}, 0},
  };
  for (Program& program : programs) {
    if (TimeOneStart(folder, program) < 0) return 1;  // warm-up, not counted
  }
  for (int run = 0; run < runs; ++run) {
    for (Program& program : programs) {
      const double ms = TimeOneStart(folder, program);
      if (ms < 0) return 1;
      program.ms.push_back(ms);
    }
  }
  for (const Program& program : programs) {
    std::string list;
    for (double ms : program.ms) list += (list.empty() ? "" : ",") + std::to_string(static_cast<long>(ms + 0.5));
    std::printf("startup program=%s runs=%s median_ms=%.1f best_ms=%.1f peak_working_set_kb=%zu\n", program.name,
                list.c_str(), Median(program.ms), *std::min_element(program.ms.begin(), program.ms.end()),
                static_cast<std::size_t>(program.peakWorkingSet / 1024));
  }
  return 0;
}
