// The drive cleaner's scan as the user waits for it, through the real window, against the least
// program making the same system calls, for bench/scan_series.sh (and so bench/report.sh).
//
//   scan_window.exe FOLDER ROOT ROUNDS
//
// FOLDER holds tidewick.exe, pskill.exe and scan_least.exe; ROOT is a drive root holding the
// seeded entries (folders and shortcut-named files). tidewick.exe is started once and "Pen
// Drive" opened with ROOT chosen. Then ROUNDS rounds, each running both sides, the least
// program first in odd rounds and the window first in even ones, so that load on the machine
// falls on both alike; before each side every folder of ROOT is hidden again:
//   least   scan_least.exe ROOT as a child process; its own figure (the listing and the resets,
//           without its start)
//   window  from the click on Yes of "Are you sure to scan this device(...)?" to the result box
//           being found; meanwhile a second thread asks the window every 20 ms whether it
//           answers (SendMessageTimeout with WM_NULL) and keeps the longest wait for an answer
// Output, one line per round and a summary:
//   round n least_ms=.. window_ms=.. unanswered_ms=..
//   series entries=N least_ms=<median> window_ms=<median> ratio=<of the medians>
//          best_ratio=<of the fastest rounds> least_us_per_entry=.. window_us_per_entry=..
//          working_set_kb=<before the first scan> peak_working_set_kb=<after the last>
//          bytes_per_entry=<(peak - before) / N> unanswered_ms=<longest of all rounds>
#include "tests/e2e/driver/driver.h"

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace tidewick::e2e;

namespace {

double NowMs() {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return 1e3 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Hides every folder of `root` again, as the seeding left them; answers the entries listed.
long HideFolders(const std::wstring& root) {
  long entries = 0;
  WIN32_FIND_DATAW found;
  const HANDLE listing = ::FindFirstFileExW((root + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                            nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (listing == INVALID_HANDLE_VALUE) throw DriverError("cannot list " + Utf8(root));
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    ++entries;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ::SetFileAttributesW((root + name).c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
  } while (::FindNextFileW(listing, &found));
  ::FindClose(listing);
  return entries;
}

// Runs scan_least.exe on `root` and answers its own figure in ms.
double RunLeast(const std::wstring& least, const std::wstring& root) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!::CreatePipe(&read, &write, &inherit, 0)) throw DriverError("CreatePipe failed");
  ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write;
  startup.hStdError = write;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  std::wstring line = L"\"" + least + L"\" " + root;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(least.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &started)) {
    throw DriverError("cannot start scan_least.exe, error " + std::to_string(::GetLastError()));
  }
  ::CloseHandle(write);
  std::string output;
  char buffer[256];
  DWORD got = 0;
  while (::ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0) output.append(buffer, got);
  ::CloseHandle(read);
  ::WaitForSingleObject(started.hProcess, INFINITE);
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
  const std::size_t at = output.find("ms=");
  if (at == std::string::npos) throw DriverError("scan_least.exe said: " + output);
  return std::atof(output.c_str() + at + 3);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[(values.size() - 1) / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fputs("usage: scan_window FOLDER ROOT ROUNDS\n", stderr);
    return 2;
  }
  const std::wstring folder = argv[1];
  const std::wstring root = argv[2];
  const int rounds = std::max(1, ::_wtoi(argv[3]));
  try {
    const long entries = HideFolders(root);
    Process app = Process::Launch(Utf8(folder) + "\\tidewick.exe", Utf8(folder));
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, app.Id());
    if (!process) throw DriverError("OpenProcess on tidewick.exe failed, error " + std::to_string(::GetLastError()));
    Window main = WaitForWindow("Tidewick v3.1", app.Id());
    main.Click("Pen Drive");
    Window rd = WaitForWindow("Pen Drive | Tidewick v3.1", app.Id());
    rd.ComboBox("Select Device").Choose(Utf8(root));
    WaitFor([&] { return rd.Button("Scan", "Select Device").Usable(); }, "Scan to be enabled");
    Pause(Ms(500));
    PROCESS_MEMORY_COUNTERS before{};
    before.cb = sizeof before;
    ::GetProcessMemoryInfo(process, &before, sizeof before);

    const auto window = [&](double& unanswered) {
      rd.Click("Scan", "Select Device");
      MsgBox question = WaitForMessageBox(app.Id(), "Tidewick");
      std::atomic<bool> scanning{true};
      double longest = 0;  // written by the asker only, read after it ended
      std::thread asker([&] {
        while (scanning) {
          const double asked = NowMs();
          DWORD_PTR answer = 0;
          ::SendMessageTimeoutW(rd.Handle(), WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer);
          longest = std::max(longest, NowMs() - asked);
          ::Sleep(20);
        }
      });
      const double start = NowMs();
      question.Answer("Yes");
      MsgBox done = WaitForMessageBox(app.Id(), "Tidewick", Ms(1800000));
      const double ms = NowMs() - start;
      scanning = false;
      asker.join();
      unanswered = longest;
      done.Answer("OK");
      return ms;
    };

    std::vector<double> least, shown;
    double unansweredMax = 0;
    for (int round = 1; round <= rounds; ++round) {
      double leastMs = 0, windowMs = 0, unanswered = 0;
      for (int side = 0; side < 2; ++side) {
        HideFolders(root);
        if ((side == 0) == (round % 2 == 1)) {
          leastMs = RunLeast(folder + L"\\scan_least.exe", root);
        } else {
          windowMs = window(unanswered);
        }
      }
      least.push_back(leastMs);
      shown.push_back(windowMs);
      unansweredMax = std::max(unansweredMax, unanswered);
      std::printf("round %d least_ms=%.1f window_ms=%.1f unanswered_ms=%.0f\n", round, leastMs, windowMs, unanswered);
      std::fflush(stdout);
    }
    PROCESS_MEMORY_COUNTERS after{};
    after.cb = sizeof after;
    ::GetProcessMemoryInfo(process, &after, sizeof after);
    ::CloseHandle(process);

    const double leastMs = Median(least), windowMs = Median(shown);
    const double best = *std::min_element(shown.begin(), shown.end()) / *std::min_element(least.begin(), least.end());
    const double grown = static_cast<double>(after.PeakWorkingSetSize) - static_cast<double>(before.WorkingSetSize);
    std::printf("series entries=%ld least_ms=%.1f window_ms=%.1f ratio=%.3f best_ratio=%.3f "
                "least_us_per_entry=%.2f window_us_per_entry=%.2f working_set_kb=%zu peak_working_set_kb=%zu "
                "bytes_per_entry=%.1f unanswered_ms=%.0f\n",
                entries, leastMs, windowMs, windowMs / leastMs, best, 1e3 * leastMs / static_cast<double>(entries),
                1e3 * windowMs / static_cast<double>(entries), static_cast<std::size_t>(before.WorkingSetSize / 1024),
                static_cast<std::size_t>(after.PeakWorkingSetSize / 1024), grown / static_cast<double>(entries), unansweredMax);
    std::fflush(stdout);

    rd.Close();  // the close box does what Back does
    WaitFor([&] { return main.Visible() && main.Enabled(); }, "the main window back");
    main.Close();  // closing the main window ends the program
    if (!app.WaitForExit()) {
      std::fputs("scan_window: tidewick.exe did not end when its main window was closed\n", stderr);
      return 1;
    }
    return 0;
  } catch (const DriverError& error) {
    std::fprintf(stderr, "scan_window: %s\n", error.what());
    return 1;
  }
}
