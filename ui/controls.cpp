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

void CommandButton::SetDefault(bool isDefault) {
  if (default_ == isDefault) return;
  default_ = isDefault;
  Notify(Property::Style);
}

void CommandButton::SetCancel(bool isCancel) { cancel_ = isCancel; }

void CommandButton::Reset() {
  CaptionedControl::Reset();
  default_ = false;
  cancel_ = false;
}

void Label::SetAlignment(Align alignment) {
  if (alignment_ == alignment) return;
  alignment_ = alignment;
  Notify(Property::Style);
}

void Label::Reset() {
  CaptionedControl::Reset();
  alignment_ = Align::Left;
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

void TextBox::SetStyleFlag(bool& flag, bool value) {
  if (flag == value) return;
  flag = value;
  Notify(Property::Style);
}

void TextBox::SetMultiLine(bool multiLine) { SetStyleFlag(multiLine_, multiLine); }

void TextBox::SetReadOnly(bool readOnly) { SetStyleFlag(readOnly_, readOnly); }

void TextBox::SetVerticalScrollBar(bool shown) { SetStyleFlag(verticalScrollBar_, shown); }

void TextBox::Reset() {
  Control::Reset();
  text_.clear();
  multiLine_ = true;
  readOnly_ = true;
  verticalScrollBar_ = true;
}

void Picture::SetResourceId(int id) {
  if (resourceId_ == id) return;
  resourceId_ = id;
  Notify(Property::Image);
}

void Picture::SetPixelSize(int width, int height) {
  if (pixelWidth_ == width && pixelHeight_ == height) return;
  pixelWidth_ = width;
  pixelHeight_ = height;
  Notify(Property::Image);
}

void Picture::Reset() {
  Control::Reset();
  resourceId_ = 0;
  pixelWidth_ = 0;
  pixelHeight_ = 0;
}

void ProgressBar::SetRange(int minimum, int maximum) {
  maximum = std::max(minimum, maximum);
  const int value = std::clamp(value_, minimum, maximum);
  if (minimum_ == minimum && maximum_ == maximum && value_ == value) return;
  const bool rangeChanged = minimum_ != minimum || maximum_ != maximum;
  const bool valueChanged = value_ != value;
  minimum_ = minimum;
  maximum_ = maximum;
  value_ = value;
  if (rangeChanged) Notify(Property::Range);
  if (valueChanged) Notify(Property::Value);
}

void ProgressBar::SetValue(int value) {
  value = std::clamp(value, minimum_, maximum_);
  if (value_ == value) return;
  value_ = value;
  Notify(Property::Value);
}

void ProgressBar::Reset() {
  Control::Reset();
  minimum_ = 0;
  maximum_ = 100;
  value_ = 0;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Orders text as a person reads a list: runs of digits by their value ("file9" before
// "file10"), letters without regard to case, anything else by its bytes.
int CompareForSort(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      std::size_t endA = i, endB = j;
      while (endA < a.size() && IsDigit(a[endA])) ++endA;
      while (endB < b.size() && IsDigit(b[endB])) ++endB;
      // Leading zeros do not count; then the longer run is the larger number.
      std::size_t startA = i, startB = j;
      while (startA + 1 < endA && a[startA] == '0') ++startA;
      while (startB + 1 < endB && b[startB] == '0') ++startB;
      if (endA - startA != endB - startB) return endA - startA < endB - startB ? -1 : 1;
      if (const int c = a.substr(startA, endA - startA).compare(b.substr(startB, endB - startB)); c != 0) {
        return c < 0 ? -1 : 1;
      }
      i = endA;
      j = endB;
      continue;
    }
    const char x = Folded(a[i]);
    const char y = Folded(b[j]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    ++i;
    ++j;
  }
  if (i == a.size() && j == b.size()) return 0;
  return i == a.size() ? -1 : 1;
}

const std::string kNoCell;

}  // namespace

void CheckTable::RaiseChanged(Property property) {
  Notify(property);
  if (Changed) Changed();
}

void CheckTable::SetColumns(std::vector<Column> columns) {
  if (columns_ == columns) return;
  columns_ = std::move(columns);
  Notify(Property::Columns);
  if (sortColumn_ >= ColumnCount()) {
    sortColumn_ = -1;
    sortAscending_ = true;
    Notify(Property::Sort);
  }
}

const std::string& CheckTable::Cell(int index, int column) const {
  const auto& cells = At(index).cells;
  if (column < 0 || static_cast<std::size_t>(column) >= cells.size()) return kNoCell;
  return cells[static_cast<std::size_t>(column)];
}

bool CheckTable::Before(const Row& a, const Row& b) const {
  const auto cell = [this](const Row& row) -> std::string_view {
    const auto column = static_cast<std::size_t>(sortColumn_);
    return column < row.cells.size() ? std::string_view(row.cells[column]) : std::string_view();
  };
  const int order = CompareForSort(cell(a), cell(b));
  return sortAscending_ ? order < 0 : order > 0;
}

void CheckTable::AddItem(std::vector<std::string> cells, std::vector<std::string> fields) {
  Row row{std::move(cells), std::move(fields), false};
  auto place = rows_.end();
  if (sortColumn_ >= 0) {
    place = std::upper_bound(rows_.begin(), rows_.end(), row,
                             [this](const Row& a, const Row& b) { return Before(a, b); });
  }
  rows_.insert(place, std::move(row));
  RaiseChanged(Property::Items);
}

void CheckTable::RemoveItem(int index) {
  if (index < 0 || index >= ListCount()) return;
  rows_.erase(rows_.begin() + index);
  RaiseChanged(Property::Items);
}

void CheckTable::Clear() {
  if (rows_.empty()) return;
  rows_.clear();
  RaiseChanged(Property::Items);
}

void CheckTable::SetSelected(int index, bool marked) {
  if (index < 0 || index >= ListCount()) return;
  auto& row = rows_[static_cast<std::size_t>(index)];
  if (row.marked == marked) return;
  row.marked = marked;
  RaiseChanged(Property::Marks);
}

void CheckTable::SetAllSelected(bool marked) {
  for (int i = ListCount() - 1; i >= 0; --i) SetSelected(i, marked);
}

int CheckTable::MarkedCount() const {
  return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const Row& r) { return r.marked; }));
}

void CheckTable::SortBy(int column, bool ascending) {
  if (column < 0 || column >= ColumnCount()) return;
  const bool sortChanged = sortColumn_ != column || sortAscending_ != ascending;
  sortColumn_ = column;
  sortAscending_ = ascending;
  if (sortChanged) Notify(Property::Sort);
  const auto before = [this](const Row& a, const Row& b) { return Before(a, b); };
  if (std::is_sorted(rows_.begin(), rows_.end(), before)) return;
  std::stable_sort(rows_.begin(), rows_.end(), before);
  RaiseChanged(Property::Items);
}

void CheckTable::SortByHeader(int column) {
  SortBy(column, sortColumn_ == column ? !sortAscending_ : true);
}

void CheckTable::Reset() {
  Control::Reset();
  columns_.clear();
  rows_.clear();
  sortColumn_ = -1;
  sortAscending_ = true;
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

void MenuItem::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
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
