// Idle CPU of the two cleaner windows and the peak working set of tidewick.exe, for
// bench/report.sh. It works the real program from outside with the end-to-end driver, as a
// person would, and measures the program's process from here.
//
//   idle_cpu.exe FOLDER ROOT SECONDS
//
// FOLDER holds tidewick.exe and pskill.exe; ROOT is a drive root to scan (e.g. P:\). Steps:
//   1. start tidewick.exe, open "Pen Drive", let it settle 1 s, measure SECONDS  -> pen_drive
//   2. choose ROOT, Scan, Yes, OK; settle, measure again with the lists full   -> pen_drive_scanned
//   3. Back (close box), open "Computer", settle, measure                      -> computer
//   4. Scan in "Computer", OK, Back; read the peak working set; close the main window.
// Before each measurement it prints "MEASURE <name>" (the script samples the wineserver from
// there to the result line), then one line of key=value figures per step:
//
//   idle window=<name> seconds=<wall s> cpu_ms=<ms> percent=<% of one core>
//        total_cpu_ms=<the program's CPU since its start> working_set_kb=<kB at the end>
//   scan ms=<through the window> message="<box text>" virus_lines=<n>
//   memory peak_working_set_kb=<kB> working_set_kb=<kB>
//
// CPU time is the user plus kernel time of the program's threads (GetThreadTimes on every
// thread of the pid, through a Toolhelp snapshot) or of the process (GetProcessTimes on a
// handle from OpenProcess), whichever grew more: Wine 8 answers GetProcessTimes for another
// process with fixed figures, while it reads thread times from the system; on Windows the
// process figure also counts threads that ended. Resolution is 10 ms either way.
#include "tests/e2e/driver/driver.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace tidewick::e2e;

namespace {

const std::string kMainTitle = "Tidewick v3.1";
const std::string kPenDriveTitle = "Pen Drive | Tidewick v3.1";
const std::string kComputerTitle = "Computer | Tidewick v3.1";
const std::string kBoxTitle = "Tidewick";

double Seconds(const FILETIME& time) {
  return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
}

double ProcessCpuSeconds(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return Seconds(kernel) + Seconds(user);
}

double ThreadsCpuSeconds(DWORD processId) {
  double total = 0;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != processId) continue;
    HANDLE thread = ::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
    if (!thread) continue;
    FILETIME created, exited, kernel, user;
    if (::GetThreadTimes(thread, &created, &exited, &kernel, &user)) total += Seconds(kernel) + Seconds(user);
    ::CloseHandle(thread);
  }
  ::CloseHandle(snapshot);
  return total;
}

double WallSeconds() {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Lets the window settle, then measures the program's CPU over `seconds` of doing nothing.
void MeasureIdle(const char* name, HANDLE process, DWORD processId, int seconds) {
  Pause(Ms(1000));
  std::printf("MEASURE %s\n", name);
  std::fflush(stdout);
  const double process0 = ProcessCpuSeconds(process);
  const double threads0 = ThreadsCpuSeconds(processId);
  const double wall0 = WallSeconds();
  ::Sleep(static_cast<DWORD>(seconds) * 1000);
  const double wall = WallSeconds() - wall0;
  const double process1 = ProcessCpuSeconds(process);
  const double threads1 = ThreadsCpuSeconds(processId);
  const double cpu = std::max(process1 - process0, threads1 - threads0);
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  ::GetProcessMemoryInfo(process, &memory, sizeof memory);
  std::printf("idle window=%s seconds=%.2f cpu_ms=%.0f percent=%.2f total_cpu_ms=%.0f working_set_kb=%zu\n", name,
              wall, cpu * 1e3, 100 * cpu / wall, std::max(process1, threads1) * 1e3, static_cast<std::size_t>(memory.WorkingSetSize / 1024));
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fputs("usage: idle_cpu FOLDER ROOT SECONDS\n", stderr);
    return 2;
  }
  const std::string folder = Utf8(argv[1]);
  const std::string root = Utf8(argv[2]);
  const int seconds = std::max(1, ::_wtoi(argv[3]));
  try {
    Process app = Process::Launch(folder + "\\tidewick.exe", folder);
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, app.Id());
    if (!process) throw DriverError("OpenProcess on tidewick.exe failed, error " + std::to_string(::GetLastError()));
    Window main = WaitForWindow(kMainTitle, app.Id());

    main.Click("Pen Drive");
    Window rd = WaitForWindow(kPenDriveTitle, app.Id());
    MeasureIdle("pen_drive", process, app.Id(), seconds);

    rd.ComboBox("Select Device").Choose(root);
    WaitFor([&] { return rd.Button("Scan", "Select Device").Usable(); }, "Scan to be enabled");
    rd.Click("Scan", "Select Device");
    WaitForMessageBox(app.Id(), kBoxTitle).Answer("Yes");
    const double scanStart = WallSeconds();
    MsgBox done = WaitForMessageBox(app.Id(), kBoxTitle, Ms(600000));
    const double scanMs = 1e3 * (WallSeconds() - scanStart);
    std::printf("scan ms=%.0f message=\"%s\" virus_lines=%zu\n", scanMs, done.Text().c_str(),
                rd.CheckList("Select file to delete: (VIRUS)").Lines().size());
    done.Answer("OK");
    MeasureIdle("pen_drive_scanned", process, app.Id(), seconds);

    rd.Close();  // the close box does what Back does
    WaitFor([&] { return main.Visible() && main.Enabled(); }, "the main window back");
    main.Click("Computer");
    Window computer = WaitForWindow(kComputerTitle, app.Id());
    MeasureIdle("computer", process, app.Id(), seconds);

    computer.Click("Scan");
    WaitForMessageBox(app.Id(), kBoxTitle, Ms(60000)).Answer("OK");
    computer.Close();
    WaitFor([&] { return main.Visible() && main.Enabled(); }, "the main window back");

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (!::GetProcessMemoryInfo(process, &memory, sizeof memory)) {
      throw DriverError("GetProcessMemoryInfo on tidewick.exe failed, error " + std::to_string(::GetLastError()));
    }
    std::printf("memory peak_working_set_kb=%zu working_set_kb=%zu\n", static_cast<std::size_t>(memory.PeakWorkingSetSize / 1024),
                static_cast<std::size_t>(memory.WorkingSetSize / 1024));
    std::fflush(stdout);
    ::CloseHandle(process);

    main.Close();  // closing the main window ends the program
    if (!app.WaitForExit()) {
      std::fputs("idle_cpu: tidewick.exe did not end when its main window was closed\n", stderr);
      return 1;
    }
    return 0;
  } catch (const DriverError& error) {
    std::fprintf(stderr, "idle_cpu: %s\n", error.what());
    return 1;
  }
}
