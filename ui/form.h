// Forms, the application that holds one instance of each, and the host contract.
//
// A form is a plain C++ class: controls are members, handlers are member functions named
// Control_Event. The runtime loads it (design values, window, Form_Load), shows, hides and
// unloads it (Form_Unload, window destroyed). The instance itself lives as long as the
// application, so a reference to a form stays valid across unloads; the next load starts from
// the design values again.
//
// Hand-over and give-back: a window opened by Application::HandOver goes back to the window that
// opened it through Application::GiveBack, which knows the opener. Each load of a form has a
// number of its own (LoadGeneration), so code that waits for events can tell whether the form it
// started in is still the one loaded.
#pragma once

#include "ui/controls.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick {
class PlatformOperations;
class ChangeJournal;
}

namespace tidewick::ui {

class Application;

enum class BorderStyle { FixedSingle, FixedToolWindow, SizableToolWindow, None };
enum class StartPosition { CenterScreen, CenterOwner };

struct FormStyle {
  BorderStyle border = BorderStyle::FixedSingle;
  bool minButton = false;
  bool maxButton = false;
  bool closeBox = true;
  bool showInTaskbar = true;
  StartPosition position = StartPosition::CenterScreen;
  int clientWidth = 0;   // twips
  int clientHeight = 0;  // twips
  Font font;
  int iconResource = 0;
};

enum class FormProperty { Caption, Enabled, Visible };

// How a window opened by the hand-over is left: it only hides (and is shown again as it was), or
// it unloads (and the next opening starts afresh).
enum class WayBack { Hide, Unload };

class Form {
 public:
  Form(Application& app, std::string name, WayBack wayBack = WayBack::Hide);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  Application& App() const { return app_; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  bool Loaded() const { return loaded_; }
  // Whether Form_Unload is running (the window still exists until it returns).
  bool Unloading() const { return unloading_; }
  WayBack GetWayBack() const { return wayBack_; }

  // How many times the form has been loaded: while it is loaded, the number of this load. Code
  // that lets events run (a message box, a pause that serves the window) keeps the number and
  // checks IsCurrentLoad afterwards, since the window may have been left, or even opened again.
  std::uint64_t LoadGeneration() const { return loadGeneration_; }
  bool IsCurrentLoad(std::uint64_t generation) const { return loaded_ && generation == loadGeneration_; }

  // Loads the form when it is not loaded (design values, window, Form_Load).
  void Load();
  // Shows the form modelessly, loading it first when needed.
  void Show();
  void Hide();
  // Runs Form_Unload and destroys the window. Unloading an unloaded form, or unloading again
  // from inside Form_Unload, does nothing.
  void Unload();

  // The window this one was opened from: frm_help is centred over it and stays above it.
  // Borrowed: every form lives as long as the application.
  Form* OwnerForm() const { return ownerForm_; }
  void SetOwnerForm(Form* owner) { ownerForm_ = owner; }

  const FormStyle& Style() const { return style_; }
  // The members, in the order they were declared; borrowed (each is a member of the form).
  const std::vector<Control*>& Controls() const { return controls_; }
  const std::vector<MenuItem*>& MenuBar() const { return menuBar_; }
  const std::vector<MenuItem*>& MenuItems() const { return menuItems_; }  // all, in order
  const std::vector<Timer*>& Timers() const { return timers_; }
  Control* FindControl(std::string_view name) const;
  MenuItem* FindMenuItem(std::string_view name) const;
  // The button that Enter presses (CommandButton::Default) and the one that Esc presses
  // (CommandButton::Cancel), or null. Borrowed.
  CommandButton* DefaultButton() const;
  CommandButton* CancelButton() const;

  // Gives the keyboard focus to `control`.
  void SetFocus(Control& control);

  // Called by the host for the close box or the system close command.
  void UserClose() { Unload(); }

  // Registration, done by the control constructors.
  void Register(Control& control) { controls_.push_back(&control); }
  void Register(MenuItem& item);
  void Register(Timer& timer) { timers_.push_back(&timer); }

  // Change notifications from the members, forwarded to the host while a window exists.
  void Changed(Control& control, Property property);
  void Changed(MenuItem& item);
  void Changed(Timer& timer);

 protected:
  // Sets every design value (style, captions, positions, fonts, tab order, starting states).
  // Runs at every load, before the window is made.
  virtual void InitializeComponent() = 0;
  virtual void Form_Load() {}
  virtual void Form_Unload() {}

  FormStyle& MutableStyle() { return style_; }
  PlatformOperations& Os() const;

 private:
  // The first button of the form for which `property` holds.
  CommandButton* ButtonWhere(bool (CommandButton::*property)() const) const;
  Application& app_;  // borrowed: the application owns this form
  std::string name_;
  WayBack wayBack_;
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = false;
  bool loaded_ = false;
  bool unloading_ = false;
  std::uint64_t loadGeneration_ = 0;
  Form* ownerForm_ = nullptr;  // borrowed
  FormStyle style_;
  // Borrowed: the controls, menu items and timers are members of the derived form.
  std::vector<Control*> controls_;
  std::vector<MenuItem*> menuBar_;
  std::vector<MenuItem*> menuItems_;
  std::vector<Timer*> timers_;
};

// What the runtime needs from a window system. The Win32 host makes real windows; the headless
// host makes none and lets tests act as the user on the models.
class Host {
 public:
  virtual ~Host() = default;
  // The form's design values are set; make its window (hidden) and every control.
  virtual void CreateFormWindow(Form& form) = 0;
  virtual void DestroyFormWindow(Form& form) = 0;
  virtual void FormChanged(Form& form, FormProperty property) = 0;
  virtual void ControlChanged(Control& control, Property property) = 0;
  virtual void MenuChanged(MenuItem& item) = 0;
  virtual void TimerChanged(Timer& timer) = 0;
  virtual void FocusControl(Control& control) = 0;
  // A long command runs: show the wait cursor while `busy`.
  virtual void SetBusy(bool busy) = 0;
  // Paints what needs painting without handling input, so a long command keeps its window
  // drawn without letting the user start another one.
  virtual void KeepPainting() = 0;
};

// Shows the wait cursor for as long as it lives.
class BusyScope {
 public:
  explicit BusyScope(Host& host) : host_(host) { host_.SetBusy(true); }
  ~BusyScope() { host_.SetBusy(false); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  Host& host_;  // borrowed
};

// Holds the platform, the host and one instance of every form class, made on first use.
class Application {
 public:
  using Factory = std::function<std::unique_ptr<Form>(Application&)>;

  Application(PlatformOperations& os, Host& host) : os_(os), host_(host) {}
  ~Application();

  PlatformOperations& Os() const { return os_; }
  Host& GetHost() const { return host_; }
  // The journal of changes that the composition root gave, or null (then nothing is
  // recorded). The forms begin their commands in it. Borrowed.
  ChangeJournal* Journal() const { return journal_; }
  void SetJournal(ChangeJournal* journal) { journal_ = journal; }

  void Register(std::string name, Factory factory);
  // The one instance of the form class `name` (made, not loaded, on first use).
  Form& Get(std::string_view name);
  template <class F>
  F& Get(std::string_view name) {
    return dynamic_cast<F&>(Get(name));
  }
  // The one instance of the form class F, registered under F::kFormName.
  template <class F>
  F& Get() {
    return Get<F>(F::kFormName);
  }
  // Whether the instance exists already.
  bool Has(std::string_view name) const;

  // The hand-over: the opener disables and hides itself, then shows the target. The target
  // remembers its opener until it gives control back or is unloaded.
  void HandOver(Form& from, std::string_view to);
  template <class F>
  void HandOver(Form& from) {
    HandOver(from, F::kFormName);
  }
  // The give-back, the way back of a window opened by the hand-over: `from` hides, or unloads
  // when its way back is WayBack::Unload (a form whose Form_Unload is running already hides;
  // its window goes when the unload ends), then the opener is enabled and shown. It takes effect
  // once per opening however many ways of leaving start it; a form that was not handed over
  // (or has given back already) is left as it is.
  void GiveBack(Form& from);
  // The form that handed over to `form` and has not had control back yet, or null. Borrowed.
  Form* OpenerOf(const Form& form) const;

  // Loaded forms in the order they were loaded.
  const std::vector<Form*>& LoadedForms() const { return loadedOrder_; }
  void FormLoaded(Form& form);
  void FormUnloaded(Form& form);

 private:
  PlatformOperations& os_;  // borrowed
  Host& host_;              // borrowed
  ChangeJournal* journal_ = nullptr;  // borrowed
  std::map<std::string, Factory, std::less<>> factories_;
  std::map<std::string, std::unique_ptr<Form>, std::less<>> forms_;  // owned: one instance per class
  std::vector<Form*> loadedOrder_;                                   // borrowed from forms_
  std::map<const Form*, Form*> openers_;  // opened form -> its opener, both borrowed from forms_
};

}  // namespace tidewick::ui
