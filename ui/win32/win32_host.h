// The form runtime on real windows.
//
// Every loaded form gets one top-level window of the class "TidewickForm" and one standard
// child control per control model: BUTTON (push button, check box, group box), STATIC (label,
// picture), COMBOBOX (drop-down list), SysListView32 with check boxes (check-box list, and with
// column headers the check-box table), EDIT (multi-line text) and msctls_progress32 (progress
// bar). Positions are twips, turned into pixels at the DPI of the monitor the window is on and
// re-laid out when that changes. Windows are black with red text.
//
// Each kind of control has a view of its own (control_view.h, one file per kind); the host
// makes the windows, routes their messages to the views by window handle, and keeps the
// handles, command ids and timer ids itself: the models carry none of them.
//
// The host owns the windows; the models own the state. A change of a model reaches the window
// through the Host calls; a user action on a window (a click, a tick in a list, a choice in a
// drop-down list, the close box) is turned into the same model change, then into the event.
//
// Deliberately free of <windows.h>, so that the header can be included before
// platform/platform_operations.h.
#pragma once

#include "ui/form.h"

#include <memory>
#include <string>
#include <vector>

struct HWND__;
struct tagMSG;

namespace tidewick::ui {

class Win32Host final : public Host {
 public:
  Win32Host();
  ~Win32Host() override;
  Win32Host(const Win32Host&) = delete;
  Win32Host& operator=(const Win32Host&) = delete;

  void CreateFormWindow(Form& form) override;
  void DestroyFormWindow(Form& form) override;
  void FormChanged(Form& form, FormProperty property) override;
  void ControlChanged(Control& control, Property property) override;
  void MenuChanged(MenuItem& item) override;
  void TimerChanged(Timer& timer) override;
  void FocusControl(Control& control) override;
  void SetBusy(bool busy) override;
  void KeepPainting() override;

  // Keyboard handling of the forms (Tab order, Enter and Space on buttons, arrow keys): true
  // when `message` was handled and must not be translated or dispatched again. Every message
  // loop of the program, also the event pump of the platform, runs messages through it.
  bool PreTranslateMessage(tagMSG& message);
  // Runs the message loop until the program ends or no form is loaded any more; answers the
  // exit code.
  int RunMessageLoop();

  // The window of a loaded form, or null.
  HWND__* WindowOf(const Form& form) const;
  // The control of a form window, or null (also when its window could not be made).
  HWND__* WindowOf(const Control& control) const;

  // The Win32 calls that failed (making a window, a font, loading a picture), oldest first, one
  // line each with the error they left; each is also written to the debugger's output. Only the
  // latest hundred are kept.
  const std::vector<std::string>& Failures() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace tidewick::ui
