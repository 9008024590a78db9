// The program's entry point: the composition root of the real Windows program.
#include "platform/journal.h"
#include "platform/platform_operations.h"
#include "platform/win32/win32_platform.h"

#include <windows.h>
#include <commctrl.h>

#include "app/forms.h"
#include "app/main_window.h"
#include "ui/form.h"
#include "ui/win32/win32_host.h"

#include <exception>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // An empty card reader or floppy drive answers the drive queries with an error instead of a
  // system "no disk" box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);

  try {
    tidewick::win32::Win32Platform system;
    tidewick::ui::Win32Host host;
    // The event pump of long commands handles the keyboard as the main loop does.
    system.SetMessageFilter([&host](MSG& message) { return host.PreTranslateMessage(message); });
    // Every call of the windows goes through the journal, which records what they change.
    tidewick::JournalingPlatform os(system);

    tidewick::ui::Application app(os, host);
    app.SetJournal(&os.Journal());
    tidewick::RegisterForms(app);
    // The start-up window: its load handler may end the program before it is shown.
    app.Get(tidewick::frm_first::kFormName).Show();
    return host.RunMessageLoop();
  } catch (const std::exception&) {
    return 1;
  }
}
