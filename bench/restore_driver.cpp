// Runs the Restore Files window's Move To Root on the real system, without windows: the Win32
// platform (with the journal of changes in front of it, as the program composes it, unless
// --no-journal) under a headless host, the way restore_bench.sh times it against
// restore_least.exe. The Pen Drive window scans the root first, as it must before the window
// opens; the one candidate folder is ticked and its entries moved.
//
//   restore_driver.exe E:\ [--no-journal]   prints "moved=M kept=K ms=T" (T: Move To Root only)
#include "platform/journal.h"
#include "platform/platform_operations.h"
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include "drive_cleaner/frm_rd.h"
#include "drive_cleaner/frm_restore.h"
#include "platform/win32/win32_text.h"
#include "ui/form.h"
#include "ui/headless/headless_host.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

// The window the drive cleaner returns to; nothing else is needed of it here.
class MainStandIn final : public tidewick::ui::Form {
 public:
  explicit MainStandIn(tidewick::ui::Application& app) : Form(app, "frm_first") {}

 protected:
  void InitializeComponent() override {}
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using namespace tidewick;
  if (argc < 2 || argc > 3 || (argc == 3 && std::wstring(argv[2]) != L"--no-journal")) {
    std::fputs("usage: restore_driver ROOT [--no-journal] (for example E:\\)\n", stderr);
    return 2;
  }
  const std::string root = win32::Narrow(argv[1]);
  const bool journal = argc == 2;

  win32::Win32Platform system;
  JournalingPlatform journaling(system);
  PlatformOperations& os = journal ? static_cast<PlatformOperations&>(journaling) : system;
  ui::HeadlessHost host;
  ui::Application app(os, host);
  if (journal) app.SetJournal(&journaling.Journal());
  app.Register("frm_first", [](ui::Application& a) { return std::make_unique<MainStandIn>(a); });
  app.Register(frm_rd::kFormName, [](ui::Application& a) { return std::make_unique<frm_rd>(a); });
  app.Register(frm_restore::kFormName, [](ui::Application& a) { return std::make_unique<frm_restore>(a); });
  ui::Form& main = app.Get("frm_first");
  main.Show();
  app.HandOver(main, frm_rd::kFormName);
  auto& rd = app.Get<frm_rd>();
  int index = -1;
  for (int i = 0; i < rd.cmb_rd.ListCount(); ++i) {
    if (rd.cmb_rd.List(i) == root) index = i;
  }
  if (index < 0) {
    std::fprintf(stderr, "restore_driver: %s is not in the device list\n", root.c_str());
    return 1;
  }
  rd.cmb_rd.SetListIndex(index);
  if (!rd.ScanDevice()) {
    std::fputs("restore_driver: the scan broke off\n", stderr);
    return 1;
  }
  app.HandOver(rd, frm_restore::kFormName);
  auto& restore = app.Get<frm_restore>();
  if (restore.tbl_folders.ListCount() != 1) {
    std::fprintf(stderr, "restore_driver: %d candidate folders, not one\n", restore.tbl_folders.ListCount());
    return 1;
  }
  restore.tbl_folders.SetSelected(0, true);

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  frm_restore::Outcome outcome;
  {
    CommandScope command(app.Journal(), "Restore files of " + root);
    outcome = restore.MoveTickedToRoot();
  }
  QueryPerformanceCounter(&end);

  const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  std::printf("moved=%zu kept=%zu ms=%.1f%s\n", outcome.moved, outcome.kept.size(), ms,
              outcome.ending == frm_restore::Ending::Complete ? "" : " (did not complete)");
  return outcome.ending == frm_restore::Ending::Complete && outcome.moved > 0 ? 0 : 1;
}
