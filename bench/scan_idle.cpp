// Opens the drive cleaner of a running tidewick.exe as a person would, for the benchmark to
// measure: the CPU the open, idle window uses, and the time of a scan through the real window.
//
//   scan_idle.exe FOLDER ROOT open     "Pen Drive" opened; idles
//   scan_idle.exe FOLDER ROOT scanned  also chooses ROOT, scans it (Yes, OK); prints gui_scan_ms
//
// FOLDER holds tidewick.exe (and pskill.exe). After the window is ready it prints "READY" and
// waits until the file FOLDER\stop exists, then ends the program through File > Exit.
#include "tests/e2e/driver/driver.h"

#include <cstdio>
#include <filesystem>
#include <string>

using namespace tidewick::e2e;

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fputs("usage: scan_idle FOLDER ROOT open|scanned\n", stderr);
    return 2;
  }
  const std::string folder = Utf8(argv[1]);
  const std::string root = Utf8(argv[2]);
  const std::string mode = Utf8(argv[3]);
  const MenuBar menus = {{"File", {"Back", "-", "Exit"}},
                         {"Extra", {"Show all hidden file for this device", "Shortcuts and Autorun...",
                                    "Restore Files From Hidden Folder...", "Report Of Changes..."}}};
  try {
    Process app = Process::Launch(folder + "\\tidewick.exe", folder);
    Window main = WaitForWindow("Tidewick v3.1", app.Id());
    main.Click("Pen Drive");
    Window rd = WaitForWindow("Pen Drive | Tidewick v3.1", app.Id());
    if (mode == "scanned") {
      rd.ComboBox("Select Device").Choose(root);
      WaitFor([&] { return rd.Button("Scan", "Select Device").Usable(); }, "Scan to be enabled");
      rd.Click("Scan", "Select Device");
      MsgBox question = WaitForMessageBox(app.Id(), "Tidewick");
      LARGE_INTEGER frequency, start, end;
      QueryPerformanceFrequency(&frequency);
      QueryPerformanceCounter(&start);
      question.Answer("Yes");
      MsgBox done = WaitForMessageBox(app.Id(), "Tidewick", Ms(600000));
      QueryPerformanceCounter(&end);
      std::printf("gui_scan_ms=%.0f message=\"%s\" virus_lines=%zu\n",
                  1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart),
                  done.Text().c_str(), rd.CheckList("Select file to delete: (VIRUS)").Lines().size());
      done.Answer("OK");
    }
    std::puts("READY");
    std::fflush(stdout);
    const std::filesystem::path stop = std::filesystem::path(argv[1]) / L"stop";
    // Waits without polling hard: the benchmark measures the CPU of everything in the prefix.
    while (!std::filesystem::exists(stop)) Sleep(500);
    rd.ChooseMenu(menus, "File", "Exit");
    if (!app.WaitForExit()) {
      std::fputs("scan_idle: tidewick.exe did not end on File > Exit\n", stderr);
      return 1;
    }
    return 0;
  } catch (const DriverError& error) {
    std::fprintf(stderr, "scan_idle: %s\n", error.what());
    return 1;
  }
}
