#include "ui/controls.h"

#include "ui/form.h"

#include <algorithm>

namespace tidewick::ui {

Control::Control(Form& form, std::string name, ControlKind kind)
    : form_(form), name_(std::move(name)), kind_(kind) {
  form_.Register(*this);
}

void Control::Notify(Property property) { form_.Changed(*this, property); }

void Control::SetPosition(Twips position) {
  if (position_ == position) return;
  position_ = position;
  Notify(Property::Position);
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Notify(Property::Enabled);
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Notify(Property::Visible);
}

void Control::SetFont(Font font) {
  if (font_ == font) return;
  font_ = std::move(font);
  Notify(Property::Font);
}

void Control::SetTooltip(std::string tooltip) {
  if (tooltip_ == tooltip) return;
  tooltip_ = std::move(tooltip);
  Notify(Property::Tooltip);
}

void Control::SetTabIndex(int index) {
  if (tabIndex_ == index) return;
  tabIndex_ = index;
  Notify(Property::TabIndex);
}

bool Control::Usable() const { return CanUserAct(*this); }

void Control::Reset() {
  position_ = {};
  enabled_ = true;
  visible_ = true;
  font_ = form_.Style().font;
  tooltip_.clear();
  tabIndex_ = -1;
}

void CaptionedControl::SetCaption(std::string caption) {
  if (caption_ == caption) return;
  caption_ = std::move(caption);
  Notify(Property::Caption);
}

void CaptionedControl::Reset() {
  Control::Reset();
  caption_.clear();
}

void CheckBox::SetValue(int value) {
  value = value != 0 ? 1 : 0;
  if (value_ == value) return;
  value_ = value;
  Notify(Property::Value);
  if (Click) Click();
}

void CheckBox::Reset() {
  CaptionedControl::Reset();
  value_ = 0;
}

void ComboBox::AddItem(std::string text) {
  items_.push_back(std::move(text));
  Notify(Property::Items);
}

void ComboBox::Clear() {
  items_.clear();
  listIndex_ = -1;
  Notify(Property::Items);
}

void ComboBox::SetListIndex(int index) {
  if (index < -1 || index >= ListCount()) index = -1;
  if (listIndex_ == index) return;
  listIndex_ = index;
  Notify(Property::Selection);
  if (Click) Click();
}

std::string ComboBox::Text() const {
  return listIndex_ >= 0 ? items_[static_cast<std::size_t>(listIndex_)] : std::string();
}

void ComboBox::Reset() {
  Control::Reset();
  items_.clear();
  listIndex_ = -1;
}

void CheckList::RaiseChanged(Property property) {
  Notify(property);
  if (Changed) Changed();
}

void CheckList::AddItem(std::string text, std::vector<std::string> fields) {
  items_.push_back(Item{std::move(text), std::move(fields), false});
  RaiseChanged(Property::Items);
}

void CheckList::RemoveItem(int index) {
  if (index < 0 || index >= ListCount()) return;
  items_.erase(items_.begin() + index);
  RaiseChanged(Property::Items);
}

void CheckList::Clear() {
  if (items_.empty()) return;
  items_.clear();
  RaiseChanged(Property::Items);
}

void CheckList::SetSelected(int index, bool marked) {
  if (index < 0 || index >= ListCount()) return;
  auto& item = items_[static_cast<std::size_t>(index)];
  if (item.marked == marked) return;
  item.marked = marked;
  RaiseChanged(Property::Marks);
}

void CheckList::SetAllSelected(bool marked) {
  for (int i = ListCount() - 1; i >= 0; --i) SetSelected(i, marked);
}

int CheckList::MarkedCount() const {
  return static_cast<int>(std::count_if(items_.begin(), items_.end(), [](const Item& i) { return i.marked; }));
}

std::vector<std::string> CheckList::Lines() const {
  std::vector<std::string> lines;
  lines.reserve(items_.size());
  for (const auto& item : items_) lines.push_back(item.text);
  return lines;
}

void CheckList::Reset() {
  Control::Reset();
  items_.clear();
}

void TextBox::SetText(std::string text) {
  if (text_ == text) return;
  text_ = std::move(text);
  Notify(Property::Text);
}

void TextBox::Reset() {
  Control::Reset();
  text_.clear();
}

Timer::Timer(Form& form, std::string name) : form_(form), name_(std::move(name)) { form_.Register(*this); }

void Timer::SetInterval(std::uint32_t milliseconds) {
  if (interval_ == milliseconds) return;
  interval_ = milliseconds;
  form_.Changed(*this);
}

void Timer::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  form_.Changed(*this);
}

MenuItem::MenuItem(Form& form, std::string name, MenuItem* parent)
    : form_(form), name_(std::move(name)), parent_(parent) {
  if (parent_ != nullptr) parent_->children_.push_back(this);
  form_.Register(*this);
}

void MenuItem::SetCaption(std::string caption) {
  if (caption_ == caption) return;
  caption_ = std::move(caption);
  form_.Changed(*this);
}

void MenuItem::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  form_.Changed(*this);
}

void MenuItem::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  form_.Changed(*this);
}

bool MenuItem::Usable() const { return CanUserAct(*this); }

namespace {
bool FormUsable(const Form& form) { return form.Loaded() && form.Visible() && form.Enabled(); }
}  // namespace

bool CanUserAct(const Control& control) {
  for (const Control* c = &control; c != nullptr; c = c->Container()) {
    if (!c->Enabled() || !c->Visible()) return false;
  }
  return FormUsable(control.Owner());
}

bool CanUserAct(const MenuItem& item) {
  if (item.IsSeparator()) return false;
  for (const MenuItem* m = &item; m != nullptr; m = m->Parent()) {
    if (!m->Enabled() || !m->Visible()) return false;
  }
  return FormUsable(item.Owner());
}

}  // namespace tidewick::ui
