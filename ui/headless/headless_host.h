// A host without windows, for tests: forms run on their models alone, and a User acts on them
// as a person would, refusing what a person could not do (click a disabled or hidden control).
#pragma once

#include "ui/form.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick::ui {

class HeadlessHost final : public Host {
 public:
  void CreateFormWindow(Form& form) override;
  void DestroyFormWindow(Form& form) override;
  void FormChanged(Form& form, FormProperty property) override;
  void ControlChanged(Control&, Property) override {}
  void MenuChanged(MenuItem&) override {}
  void TimerChanged(Timer&) override {}
  void FocusControl(Control& control) override { focused_ = &control; }
  void SetBusy(bool busy) override;
  void KeepPainting() override {
    ++paints_;
    if (onPaint_) onPaint_();
  }

  Control* Focused() const { return focused_; }
  // How many windows were made and destroyed, in order, by form name.
  const std::vector<std::string>& WindowLog() const { return windowLog_; }
  // Every call the runtime made for a form's window, in order: "create F" and "destroy F" as in
  // WindowLog, and "F shown", "F hidden", "F enabled", "F disabled", "F caption" for the
  // changes. Showing a window that is visible already logs "F shown" again: it is brought
  // forward. The window that an unload destroys is not hidden first unless the form hides it.
  const std::vector<std::string>& FormLog() const { return formLog_; }
  // How often the window of form `name` was shown (also when visible already), and how often
  // it was shown or hidden.
  int Shows(std::string_view name) const;
  int VisibilityChanges(std::string_view name) const;
  // Highest nesting of busy scopes seen, and whether one is open now.
  int BusyDepth() const { return busyDepth_; }
  int BusyCount() const { return busyCount_; }
  int PaintCount() const { return paints_; }
  // Called at every KeepPainting: a test makes painting take time there.
  void OnPaint(std::function<void()> paint) { onPaint_ = std::move(paint); }

 private:
  int Count(std::string_view name, std::string_view change) const;

  Control* focused_ = nullptr;  // borrowed
  std::vector<std::string> windowLog_;
  std::vector<std::string> formLog_;
  int busyDepth_ = 0;
  int busyCount_ = 0;
  int paints_ = 0;
  std::function<void()> onPaint_;
};

// Thrown when a test asks the user to do what a person could not.
struct NotUsable : std::logic_error {
  using std::logic_error::logic_error;
};

// A person at the keyboard and mouse.
class User {
 public:
  void Click(CommandButton& button);
  void Click(Label& label);
  void Click(CheckBox& box);  // toggles it
  void Choose(MenuItem& item);
  void Choose(ComboBox& list, int index);
  void Choose(ComboBox& list, const std::string& text);
  void Mark(CheckList& list, int index, bool marked = true);
  void Mark(CheckTable& table, int index, bool marked = true);
  // A click on a column's header: the table sorts by it (again: the other way round).
  void ClickHeader(CheckTable& table, int column);
  void Close(Form& form);  // the close box
  // Enter and Esc with the focus on no button: they press the form's default or cancel
  // button when it is usable, else nothing happens.
  void PressEnter(Form& form);
  void PressEscape(Form& form);
  // One tick of an enabled timer on a loaded form.
  void Tick(Timer& timer);
};

}  // namespace tidewick::ui
