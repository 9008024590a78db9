// Runs the drive cleaner's scan of one root on the real system, without windows: the Win32
// platform under a headless host, the way the benchmark times it against scan_least.exe.
//
//   scan_driver.exe E:\       prints "virus=V unknown=U ms=T" (T: ScanDevice only)
#include "platform/platform_operations.h"
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include "drive_cleaner/frm_rd.h"
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
  if (argc != 2) {
    std::fputs("usage: scan_driver ROOT (for example E:\\)\n", stderr);
    return 2;
  }
  const std::string root = win32::Narrow(argv[1]);

  win32::Win32Platform os;
  ui::HeadlessHost host;
  ui::Application app(os, host);
  app.Register("frm_first", [](ui::Application& a) { return std::make_unique<MainStandIn>(a); });
  app.Register(frm_rd::kFormName, [](ui::Application& a) { return std::make_unique<frm_rd>(a); });
  ui::Form& main = app.Get("frm_first");
  main.Show();
  app.HandOver(main, frm_rd::kFormName);
  auto& rd = app.Get<frm_rd>(frm_rd::kFormName);

  int index = -1;
  for (int i = 0; i < rd.cmb_rd.ListCount(); ++i) {
    if (rd.cmb_rd.List(i) == root) index = i;
  }
  if (index < 0) {
    std::fprintf(stderr, "scan_driver: %s is not in the device list\n", root.c_str());
    return 1;
  }
  rd.cmb_rd.SetListIndex(index);

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const bool complete = rd.ScanDevice();
  QueryPerformanceCounter(&end);

  const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  std::printf("virus=%d unknown=%d ms=%.1f%s\n", rd.lst_dir_2.ListCount(), rd.lst_dir.ListCount(), ms,
              complete ? "" : " (listing broke off)");
  return complete ? 0 : 1;
}
