#include "ui/form.h"

#include <algorithm>
#include <stdexcept>

namespace tidewick::ui {

Form::Form(Application& app, std::string name, WayBack wayBack)
    : app_(app), name_(std::move(name)), wayBack_(wayBack) {}

Form::~Form() = default;

PlatformOperations& Form::Os() const { return app_.Os(); }

void Form::SetCaption(std::string caption) {
  if (caption_ == caption) return;
  caption_ = std::move(caption);
  if (loaded_) app_.GetHost().FormChanged(*this, FormProperty::Caption);
}

void Form::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (loaded_) app_.GetHost().FormChanged(*this, FormProperty::Enabled);
}

void Form::Register(MenuItem& item) {
  menuItems_.push_back(&item);
  if (item.Parent() == nullptr) menuBar_.push_back(&item);
}

void Form::Load() {
  if (loaded_) return;
  ++loadGeneration_;
  // Design values: every control back to its defaults, then the form's own.
  caption_.clear();
  enabled_ = true;
  visible_ = false;
  style_ = FormStyle{};
  for (Control* control : controls_) control->Reset();
  for (MenuItem* item : menuItems_) {
    item->SetEnabled(true);
    item->SetVisible(true);
    item->SetChecked(false);
  }
  for (Timer* timer : timers_) timer->SetEnabled(false);
  InitializeComponent();

  loaded_ = true;
  app_.FormLoaded(*this);
  app_.GetHost().CreateFormWindow(*this);
  Form_Load();
}

void Form::Show() {
  Load();
  if (!loaded_) return;  // Form_Load unloaded it again
  if (!visible_) {
    visible_ = true;
    app_.GetHost().FormChanged(*this, FormProperty::Visible);
  } else {
    // Shown again while visible: bring it forward.
    app_.GetHost().FormChanged(*this, FormProperty::Visible);
  }
}

void Form::Hide() {
  if (!loaded_ || !visible_) return;
  visible_ = false;
  app_.GetHost().FormChanged(*this, FormProperty::Visible);
}

void Form::Unload() {
  if (!loaded_ || unloading_) return;
  unloading_ = true;
  Form_Unload();
  // Form_Unload may have ended the program or hidden the window; the window goes either way.
  for (Timer* timer : timers_) timer->SetEnabled(false);
  visible_ = false;
  app_.GetHost().DestroyFormWindow(*this);
  loaded_ = false;
  unloading_ = false;
  app_.FormUnloaded(*this);
}

Control* Form::FindControl(std::string_view name) const {
  auto it = std::find_if(controls_.begin(), controls_.end(), [&](Control* c) { return c->Name() == name; });
  return it == controls_.end() ? nullptr : *it;
}

CommandButton* Form::ButtonWhere(bool (CommandButton::*property)() const) const {
  for (Control* control : controls_) {
    if (control->Kind() != ControlKind::Button) continue;
    auto* button = static_cast<CommandButton*>(control);
    if ((button->*property)()) return button;
  }
  return nullptr;
}

CommandButton* Form::DefaultButton() const { return ButtonWhere(&CommandButton::Default); }

CommandButton* Form::CancelButton() const { return ButtonWhere(&CommandButton::Cancel); }

MenuItem* Form::FindMenuItem(std::string_view name) const {
  auto it = std::find_if(menuItems_.begin(), menuItems_.end(), [&](MenuItem* m) { return m->Name() == name; });
  return it == menuItems_.end() ? nullptr : *it;
}

void Form::SetFocus(Control& control) {
  if (loaded_) app_.GetHost().FocusControl(control);
}

void Form::Changed(Control& control, Property property) {
  if (loaded_) app_.GetHost().ControlChanged(control, property);
}

void Form::Changed(MenuItem& item) {
  if (loaded_) app_.GetHost().MenuChanged(item);
}

void Form::Changed(Timer& timer) {
  if (loaded_) app_.GetHost().TimerChanged(timer);
}

Application::~Application() = default;

void Application::Register(std::string name, Factory factory) { factories_[std::move(name)] = std::move(factory); }

Form& Application::Get(std::string_view name) {
  if (auto it = forms_.find(name); it != forms_.end()) return *it->second;
  auto factory = factories_.find(name);
  if (factory == factories_.end()) throw std::logic_error("no form class named " + std::string(name));
  auto [it, inserted] = forms_.emplace(std::string(name), factory->second(*this));
  return *it->second;
}

bool Application::Has(std::string_view name) const { return forms_.find(name) != forms_.end(); }

void Application::HandOver(Form& from, std::string_view to) {
  from.SetEnabled(false);
  from.Hide();
  Form& target = Get(to);
  // Known before the target loads, so that even its Form_Load could give control back.
  openers_[&target] = &from;
  target.Show();
}

void Application::GiveBack(Form& from) {
  auto it = openers_.find(&from);
  if (it == openers_.end()) return;
  Form& opener = *it->second;
  // Forgotten first: leaving again from inside the unload below, or from a handler that the
  // event pump runs meanwhile, finds no opener and does nothing.
  openers_.erase(it);
  if (from.GetWayBack() == WayBack::Unload && !from.Unloading()) {
    from.Unload();
  } else {
    from.Hide();
  }
  opener.SetEnabled(true);
  opener.Show();
}

Form* Application::OpenerOf(const Form& form) const {
  auto it = openers_.find(&form);
  return it == openers_.end() ? nullptr : it->second;
}

void Application::FormLoaded(Form& form) { loadedOrder_.push_back(&form); }

void Application::FormUnloaded(Form& form) {
  loadedOrder_.erase(std::remove(loadedOrder_.begin(), loadedOrder_.end(), &form), loadedOrder_.end());
  // An opening ends with its unload, whether or not it gave control back.
  openers_.erase(&form);
}

}  // namespace tidewick::ui
