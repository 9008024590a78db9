// One view per control: the window of one control model on a form window, and everything that
// differs between the kinds of control (the window class and styles, which model changes
// reach the window and how, what the control's notifications mean for the model, its colours).
//
// The host does what is the same for every kind: it makes the window from the view's
// WindowSpec, routes the window's messages to the view by its handle, places it in twips at the
// window's DPI, and carries over the enabled and visible state, the font, the tooltip and the
// tab order. Each kind's view is in a file of its own (button_view.cpp, check_list_view.cpp,
// ...); views.cpp makes the view for a model.
#pragma once

#include <windows.h>

#include "platform/skip_on_error.h"
#include "ui/controls.h"

#include <string>
#include <string_view>

namespace tidewick::ui {

class ControlView;

// What a view may ask of the form window it lives on.
class ViewHost {
 public:
  virtual HINSTANCE Instance() const = 0;
  // The DPI the form window is drawn at.
  virtual UINT Dpi() const = 0;
  // Whether a person may act on the control now (CanUserAct, and the control has its window);
  // a click or a tick that arrives otherwise (Wine delivers them to disabled windows, and
  // another program can send them) is refused. A person's action runs the model's event under
  // SkipOnError: nothing thrown by a handler may unwind through the system's window procedures.
  virtual bool PersonMayAct(const Control& control) const = 0;
  // Tells of a failed Win32 call and the last error it left (taken right after the call).
  virtual void ReportFailure(std::string_view what, DWORD error) = 0;
  // Makes the control's window again: for a setting the window takes only when it is made.
  virtual void Recreate(ControlView& view) = 0;

 protected:
  ~ViewHost() = default;
};

// The window a view asks the host to make: its class, the kind's own styles (the host adds
// WS_CHILD, WS_VISIBLE and WS_DISABLED as the model says) and its first text.
struct WindowSpec {
  const wchar_t* windowClass = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::wstring text;
};

class ControlView {
 public:
  ControlView(Control& model, ViewHost& host) : model_(model), host_(host) {}
  virtual ~ControlView() = default;
  ControlView(const ControlView&) = delete;
  ControlView& operator=(const ControlView&) = delete;

  Control& Model() const { return model_; }
  // The control's window, or null while it has none (not made yet, or its making failed).
  HWND Window() const { return hwnd_; }
  // The control id the window was made with.
  int Id() const { return id_; }

  virtual WindowSpec Spec() const = 0;
  // The window was just made: the kind's own setup (its state, its items, a subclass).
  virtual void Created() {}
  // A property of the model changed that the host does not carry over for every kind.
  virtual void Apply(Property /*property*/) {}
  // A WM_COMMAND notification code from the control.
  virtual void OnCommand(int /*code*/) {}
  // A WM_NOTIFY from the control; answers the message's result.
  virtual LRESULT OnNotify(const NMHDR& /*header*/) { return 0; }
  // WM_CTLCOLORSTATIC or WM_CTLCOLORBTN: sets the colours and answers the brush. The form's
  // look, red on black, unless a kind has its own.
  virtual LRESULT OnColor(HDC dc);
  // WM_DRAWITEM, for an owner-drawn control.
  virtual void OnDrawItem(const DRAWITEMSTRUCT& /*item*/) {}
  // WM_SETCURSOR over the control's client area: true when the view set the cursor.
  virtual bool OnSetCursor() { return false; }
  // The height of the window for a model `height` pixels high.
  virtual int WindowHeight(int height) const { return height; }
  // The window was moved or sized, or the DPI changed.
  virtual void Placed() {}
  // Brings the window in step with the model now (before painting during a long command).
  virtual void CatchUp() {}
  // The model may be gone already (the host is closing without unloading the forms): the view
  // must not read it again.
  virtual void Forget() {}
  // Whether the window lies under the others in the z-order (a frame, under what it groups).
  virtual bool LiesUnderOthers() const { return false; }

  // For the host: the window has been made (or is gone, with null).
  void Attach(HWND hwnd, int id) {
    hwnd_ = hwnd;
    id_ = id;
  }

 protected:
  ViewHost& Host() const { return host_; }

 private:
  Control& model_;
  ViewHost& host_;
  HWND hwnd_ = nullptr;  // borrowed: a child of the form window, destroyed with it
  int id_ = 0;
};

// A view of one kind of model.
template <class Kind>
class ViewOf : public ControlView {
 public:
  ViewOf(Kind& model, ViewHost& host) : ControlView(model, host), control_(model) {}

 protected:
  Kind& control_;
};

// The form's look for a control's text: red on black. Answers the brush.
LRESULT FormColors(HDC dc);
// Sets a window's text from UTF-8.
void SetText(HWND hwnd, std::string_view text);
// The visual style draws check-box and frame captions in its own colour; classic drawing
// honours the red of WM_CTLCOLORSTATIC. A class list that names no class turns the style off
// for one window (Wine refuses the empty list, which Windows would also take).
void WithoutVisualStyle(HWND hwnd);

}  // namespace tidewick::ui
