// Control models of the form runtime.
//
// A control holds its properties and its event callbacks; it knows nothing of Win32. Setting a
// property tells the host (through the owning form), which updates the real window. Events
// raised by the user (a click, a mark ticked) are turned into the same property changes by the
// host, then into the callback.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick::ui {

class Form;
class Control;

// A rectangle in twips (1/1440 inch): left, top, width, height.
struct Twips {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Twips&, const Twips&) = default;
};

struct Font {
  std::string name = "Tahoma";
  double points = 8.25;
  friend bool operator==(const Font&, const Font&) = default;
};

enum class ControlKind {
  Button,
  Label,
  Frame,
  CheckBox,
  ComboBox,
  CheckList,
  TextBox,
  Picture,
  ProgressBar,
  CheckTable,
};

// What changed, so the host can update just that.
enum class Property {
  Caption,
  Enabled,
  Visible,
  Position,
  Font,
  Tooltip,
  TabIndex,
  Value,
  Items,
  Marks,
  Selection,
  Text,
  Style,    // how the control looks or acts: a label's alignment, a text box's settings
  Image,    // the picture a Picture shows
  Range,    // a progress bar's minimum and maximum
  Columns,  // a table's column headers and widths
  Sort,     // the column a table is sorted by, and the direction
};

class Control {
 public:
  Control(Form& form, std::string name, ControlKind kind);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  ControlKind Kind() const { return kind_; }
  // The form this control is a member of (borrowed; the form outlives its members).
  Form& Owner() const { return form_; }

  const Twips& Position() const { return position_; }
  void SetPosition(Twips position);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  const Font& GetFont() const { return font_; }
  void SetFont(Font font);
  const std::string& Tooltip() const { return tooltip_; }
  void SetTooltip(std::string tooltip);
  // Position in the keyboard (Tab) order; -1 for none.
  int TabIndex() const { return tabIndex_; }
  void SetTabIndex(int index);
  // The frame that groups this control, or null; borrowed (a member of the same form).
  // Positions are always in window coordinates.
  Control* Container() const { return container_; }
  void SetContainer(Control* frame) { container_ = frame; }

  // Whether a person could use the control now: CanUserAct(*this).
  bool Usable() const;

  // Restores the design defaults before a load; the form's InitializeComponent then sets the
  // design values.
  virtual void Reset();

 protected:
  void Notify(Property property);

 private:
  Form& form_;  // borrowed
  std::string name_;
  ControlKind kind_;
  Twips position_;
  bool enabled_ = true;
  bool visible_ = true;
  Font font_;
  std::string tooltip_;
  int tabIndex_ = -1;
  Control* container_ = nullptr;
};

// A control with a caption: buttons, labels, frames, check boxes.
class CaptionedControl : public Control {
 public:
  using Control::Control;
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  void Reset() override;

 private:
  std::string caption_;
};

class CommandButton : public CaptionedControl {
 public:
  CommandButton(Form& form, std::string name) : CaptionedControl(form, std::move(name), ControlKind::Button) {}
  // The default button is pressed by Enter wherever the focus is (unless on another button,
  // which Enter presses itself), the cancel button by Esc. One button may be both.
  bool Default() const { return default_; }
  void SetDefault(bool isDefault);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool isCancel);
  std::function<void()> Click;
  void Reset() override;

 private:
  bool default_ = false;
  bool cancel_ = false;
};

class Label : public CaptionedControl {
 public:
  Label(Form& form, std::string name) : CaptionedControl(form, std::move(name), ControlKind::Label) {}
  enum class Align { Left, Right, Center };
  Align Alignment() const { return alignment_; }
  void SetAlignment(Align alignment);
  std::function<void()> Click;  // a label with a Click looks and acts like a link
  void Reset() override;

 private:
  Align alignment_ = Align::Left;
};

class Frame : public CaptionedControl {
 public:
  Frame(Form& form, std::string name) : CaptionedControl(form, std::move(name), ControlKind::Frame) {}
};

class CheckBox : public CaptionedControl {
 public:
  CheckBox(Form& form, std::string name) : CaptionedControl(form, std::move(name), ControlKind::CheckBox) {}
  // 1 checked, 0 unchecked.
  int Value() const { return value_; }
  // Raises Click when the value changes, whether the user or the program changed it.
  void SetValue(int value);
  bool Checked() const { return value_ == 1; }
  std::function<void()> Click;
  void Reset() override;

 private:
  int value_ = 0;
};

// A drop-down list the user picks from and cannot type into.
class ComboBox : public Control {
 public:
  ComboBox(Form& form, std::string name) : Control(form, std::move(name), ControlKind::ComboBox) {}
  void AddItem(std::string text);
  void Clear();  // also makes the text empty; raises no Click
  int ListCount() const { return static_cast<int>(items_.size()); }
  const std::string& List(int index) const { return items_.at(static_cast<std::size_t>(index)); }
  const std::vector<std::string>& Items() const { return items_; }
  // -1 when nothing is chosen.
  int ListIndex() const { return listIndex_; }
  // Raises Click when the choice changes.
  void SetListIndex(int index);
  // The chosen item's text, or empty text.
  std::string Text() const;
  std::function<void()> Click;
  void Reset() override;

 private:
  std::vector<std::string> items_;
  int listIndex_ = -1;
};

// A list whose lines each carry a mark box (a ListView with check boxes on Win32). A line can
// carry fields of its own beside its text, which the program keeps for itself.
class CheckList : public Control {
 public:
  CheckList(Form& form, std::string name) : Control(form, std::move(name), ControlKind::CheckList) {}
  void AddItem(std::string text, std::vector<std::string> fields = {});
  void RemoveItem(int index);
  void Clear();
  int ListCount() const { return static_cast<int>(items_.size()); }
  const std::string& List(int index) const { return At(index).text; }
  const std::vector<std::string>& Fields(int index) const { return At(index).fields; }
  bool Selected(int index) const { return At(index).marked; }
  // Sets a line's mark. Changing nothing raises nothing.
  void SetSelected(int index, bool marked);
  // Select All and Deselect All: sets every line's mark, from the last line to the first, as
  // SetSelected would one by one (Changed is raised once for each line whose mark changed).
  void SetAllSelected(bool marked);
  int MarkedCount() const;
  std::vector<std::string> Lines() const;
  // Raised after every change of lines or marks, by the program or by the user.
  std::function<void()> Changed;
  void Reset() override;

 private:
  struct Item {
    std::string text;
    std::vector<std::string> fields;
    bool marked = false;
  };
  const Item& At(int index) const { return items_.at(static_cast<std::size_t>(index)); }
  void RaiseChanged(Property property);
  std::vector<Item> items_;
};

// A text box; the windows use it multi-line, read-only, with a vertical scroll bar (the
// defaults).
class TextBox : public Control {
 public:
  TextBox(Form& form, std::string name) : Control(form, std::move(name), ControlKind::TextBox) {}
  const std::string& Text() const { return text_; }
  void SetText(std::string text);
  bool MultiLine() const { return multiLine_; }
  void SetMultiLine(bool multiLine);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  bool VerticalScrollBar() const { return verticalScrollBar_; }
  void SetVerticalScrollBar(bool shown);
  void Reset() override;

 private:
  void SetStyleFlag(bool& flag, bool value);
  std::string text_;
  bool multiLine_ = true;
  bool readOnly_ = true;
  bool verticalScrollBar_ = true;
};

// A picture box or image showing a picture resource, stretched to the control.
class Picture : public Control {
 public:
  Picture(Form& form, std::string name) : Control(form, std::move(name), ControlKind::Picture) {}
  // The picture resource shown; 0 for none.
  int ResourceId() const { return resourceId_; }
  void SetResourceId(int id);
  // Size of the picture itself in pixels (it is drawn stretched to the control).
  int PixelWidth() const { return pixelWidth_; }
  int PixelHeight() const { return pixelHeight_; }
  void SetPixelSize(int width, int height);
  void Reset() override;

 private:
  int resourceId_ = 0;
  int pixelWidth_ = 0;
  int pixelHeight_ = 0;
};

// A bar filling from left to right as a long command goes on: Value between Minimum and
// Maximum (0 to 100 unless set).
class ProgressBar : public Control {
 public:
  ProgressBar(Form& form, std::string name) : Control(form, std::move(name), ControlKind::ProgressBar) {}
  int Minimum() const { return minimum_; }
  int Maximum() const { return maximum_; }
  // A range whose maximum lies below its minimum is taken as the one-value range at the
  // minimum. The value is brought into the new range.
  void SetRange(int minimum, int maximum);
  int Value() const { return value_; }
  // Values outside the range are taken as its nearest end.
  void SetValue(int value);
  void Reset() override;

 private:
  int minimum_ = 0;
  int maximum_ = 100;
  int value_ = 0;
};

// A list of rows in columns under headers, each row with a mark box (a ListView in report view
// with check boxes on Win32). Like a CheckList, a row can carry fields of its own that are not
// shown. Clicking a header sorts the rows by that column (SortByHeader); the sort is done here,
// so a row's index means the same in the model and on the screen.
class CheckTable : public Control {
 public:
  struct Column {
    std::string header;
    int width = 0;  // twips
    friend bool operator==(const Column&, const Column&) = default;
  };

  CheckTable(Form& form, std::string name) : Control(form, std::move(name), ControlKind::CheckTable) {}
  const std::vector<Column>& Columns() const { return columns_; }
  // Also ends a sort by a column that no longer exists.
  void SetColumns(std::vector<Column> columns);
  int ColumnCount() const { return static_cast<int>(columns_.size()); }

  // Adds a row: one cell per column (missing cells are empty, extra ones are not shown). While
  // the table is sorted the row goes to its place in the order, else to the end.
  void AddItem(std::vector<std::string> cells, std::vector<std::string> fields = {});
  void RemoveItem(int index);
  void Clear();
  int ListCount() const { return static_cast<int>(rows_.size()); }
  const std::vector<std::string>& Cells(int index) const { return At(index).cells; }
  // The text of one cell; empty text for a column the row has no cell in.
  const std::string& Cell(int index, int column) const;
  const std::vector<std::string>& Fields(int index) const { return At(index).fields; }
  bool Selected(int index) const { return At(index).marked; }
  // Sets a row's mark. Changing nothing raises nothing.
  void SetSelected(int index, bool marked);
  // Select All and Deselect All: sets every row's mark, from the last row to the first, as
  // SetSelected would one by one (Changed is raised once for each row whose mark changed).
  void SetAllSelected(bool marked);
  int MarkedCount() const;

  // Sorts the rows by the text of one column (digits compared as numbers, letters without
  // regard to case; equal cells keep their order). The marks and fields move with their rows.
  void SortBy(int column, bool ascending);
  // What a click on a header does: sorts by that column, ascending, or reverses the order when
  // the table is sorted by it already.
  void SortByHeader(int column);
  // The column sorted by, or -1 while the rows are in the order they were added.
  int SortColumn() const { return sortColumn_; }
  bool SortAscending() const { return sortAscending_; }

  // Raised after every change of rows, their order or marks, by the program or by the user.
  std::function<void()> Changed;
  void Reset() override;

 private:
  struct Row {
    std::vector<std::string> cells;
    std::vector<std::string> fields;
    bool marked = false;
  };
  const Row& At(int index) const { return rows_.at(static_cast<std::size_t>(index)); }
  bool Before(const Row& a, const Row& b) const;
  void RaiseChanged(Property property);
  std::vector<Column> columns_;
  std::vector<Row> rows_;
  int sortColumn_ = -1;
  bool sortAscending_ = true;
};

class Timer {
 public:
  Timer(Form& form, std::string name);
  const std::string& Name() const { return name_; }
  std::uint32_t Interval() const { return interval_; }
  void SetInterval(std::uint32_t milliseconds);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  std::function<void()> Tick;

 private:
  Form& form_;  // borrowed
  std::string name_;
  std::uint32_t interval_ = 0;
  bool enabled_ = false;
};

// A menu, a menu item or a separator (caption "-").
class MenuItem {
 public:
  MenuItem(Form& form, std::string name, MenuItem* parent = nullptr);
  MenuItem(const MenuItem&) = delete;
  MenuItem& operator=(const MenuItem&) = delete;
  const std::string& Name() const { return name_; }
  MenuItem* Parent() const { return parent_; }
  const std::vector<MenuItem*>& Children() const { return children_; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  bool IsSeparator() const { return caption_ == "-"; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // A check mark beside the item, for a setting it turns on and off.
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  // Whether a person could choose it now: CanUserAct(*this).
  bool Usable() const;
  std::function<void()> Click;
  // The form whose menu holds this item (borrowed).
  Form& Owner() const { return form_; }

 private:
  Form& form_;                       // borrowed
  std::string name_;
  MenuItem* parent_;                 // borrowed: the menu above, a member of the same form
  std::vector<MenuItem*> children_;  // borrowed
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  bool checked_ = false;
};

// The one rule for "can a person act on this now", asked by every host before it passes on a
// click, a mark, a choice or a menu command. A control: it and every frame around it are
// enabled and shown, and its form is loaded, shown and enabled. A menu item: it is no separator,
// it and every menu above it are enabled and shown, and its form is loaded, shown and enabled.
// A window system may refuse more (a window that does not exist); never less.
bool CanUserAct(const Control& control);
bool CanUserAct(const MenuItem& item);

}  // namespace tidewick::ui
