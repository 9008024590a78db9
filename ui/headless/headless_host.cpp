#include "ui/headless/headless_host.h"

#include <algorithm>

namespace tidewick::ui {

void HeadlessHost::CreateFormWindow(Form& form) { windowLog_.push_back("create " + form.Name()); }

void HeadlessHost::DestroyFormWindow(Form& form) { windowLog_.push_back("destroy " + form.Name()); }

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
}  // namespace

void User::Click(CommandButton& button) {
  Require(button.Usable(), button.Name());
  if (button.Click) button.Click();
}

void User::Click(Label& label) {
  Require(label.Usable(), label.Name());
  if (label.Click) label.Click();
}

void User::Click(CheckBox& box) {
  Require(box.Usable(), box.Name());
  box.SetValue(box.Value() == 1 ? 0 : 1);
}

void User::Choose(MenuItem& item) {
  Require(item.Usable(), item.Name());
  if (item.Click) item.Click();
}

void User::Choose(ComboBox& list, int index) {
  Require(list.Usable(), list.Name());
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
  Require(list.Usable(), list.Name());
  if (index < 0 || index >= list.ListCount()) throw NotUsable(list.Name() + " has no such line");
  list.SetSelected(index, marked);
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
