#include "ui/headless/headless_host.h"

#include <algorithm>

namespace tidewick::ui {

void HeadlessHost::CreateFormWindow(Form& form) {
  windowLog_.push_back("create " + form.Name());
  formLog_.push_back(windowLog_.back());
}

void HeadlessHost::DestroyFormWindow(Form& form) {
  windowLog_.push_back("destroy " + form.Name());
  formLog_.push_back(windowLog_.back());
}

void HeadlessHost::FormChanged(Form& form, FormProperty property) {
  switch (property) {
    case FormProperty::Caption:
      formLog_.push_back(form.Name() + " caption");
      break;
    case FormProperty::Enabled:
      formLog_.push_back(form.Name() + (form.Enabled() ? " enabled" : " disabled"));
      break;
    case FormProperty::Visible:
      formLog_.push_back(form.Name() + (form.Visible() ? " shown" : " hidden"));
      break;
  }
}

int HeadlessHost::Count(std::string_view name, std::string_view change) const {
  const std::string entry = std::string(name) + " " + std::string(change);
  return static_cast<int>(std::count(formLog_.begin(), formLog_.end(), entry));
}

int HeadlessHost::Shows(std::string_view name) const { return Count(name, "shown"); }

int HeadlessHost::VisibilityChanges(std::string_view name) const { return Count(name, "shown") + Count(name, "hidden"); }

void HeadlessHost::SetBusy(bool busy) {
  if (busy) {
    ++busyDepth_;
    ++busyCount_;
  } else {
    busyDepth_ = std::max(0, busyDepth_ - 1);
  }
}

namespace {
void Require(bool usable, const std::string& what) {
  if (!usable) throw NotUsable(what + " cannot be used now");
}

// What a person could not do is refused by the rule both hosts follow.
template <class Target>
void Require(const Target& target) {
  Require(CanUserAct(target), target.Name());
}
}  // namespace

void User::Click(CommandButton& button) {
  Require(button);
  if (button.Click) button.Click();
}

void User::PressEnter(Form& form) {
  CommandButton* button = form.DefaultButton();
  if (button != nullptr && button->Usable() && button->Click) button->Click();
}

void User::PressEscape(Form& form) {
  CommandButton* button = form.CancelButton();
  if (button != nullptr && button->Usable() && button->Click) button->Click();
}

void User::Click(Label& label) {
  Require(label);
  if (label.Click) label.Click();
}

void User::Click(CheckBox& box) {
  Require(box);
  box.SetValue(box.Value() == 1 ? 0 : 1);
}

void User::Choose(MenuItem& item) {
  Require(item);
  if (item.Click) item.Click();
}

void User::Choose(ComboBox& list, int index) {
  Require(list);
  if (index < 0 || index >= list.ListCount()) throw NotUsable(list.Name() + " has no such item");
  list.SetListIndex(index);
}

void User::Choose(ComboBox& list, const std::string& text) {
  const auto& items = list.Items();
  auto it = std::find(items.begin(), items.end(), text);
  if (it == items.end()) throw NotUsable(list.Name() + " does not offer " + text);
  Choose(list, static_cast<int>(it - items.begin()));
}

void User::Mark(CheckList& list, int index, bool marked) {
  Require(list);
  if (index < 0 || index >= list.ListCount()) throw NotUsable(list.Name() + " has no such line");
  list.SetSelected(index, marked);
}

void User::Mark(CheckTable& table, int index, bool marked) {
  Require(table);
  if (index < 0 || index >= table.ListCount()) throw NotUsable(table.Name() + " has no such row");
  table.SetSelected(index, marked);
}

void User::ClickHeader(CheckTable& table, int column) {
  Require(table);
  if (column < 0 || column >= table.ColumnCount()) throw NotUsable(table.Name() + " has no such column");
  table.SortByHeader(column);
}

void User::Close(Form& form) {
  Require(form.Loaded() && form.Visible() && form.Style().closeBox, form.Name() + " close box");
  form.UserClose();
}

void User::Tick(Timer& timer) {
  if (!timer.Enabled()) throw NotUsable(timer.Name() + " is not running");
  if (timer.Tick) timer.Tick();
}

}  // namespace tidewick::ui
