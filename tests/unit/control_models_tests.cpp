// The control models on the headless host: the progress bar and the check-box table, the
// settings of text boxes and pictures that reach the host like every other property, and what
// a person may do to the table.
//
// A form with one control of each of these kinds:
//
//   class Sheet : public ui::Form {
//     ui::CheckTable files{*this, "files"};   // columns set in InitializeComponent
//     ui::ProgressBar progress{*this, "progress"};
//   };
//   sheet.files.AddItem({"b.vbs", "12"}, {"E:\\b.vbs"});  // cells, then fields of its own
//   user.ClickHeader(sheet.files, 1);                      // sorted by the second column
#include "platform/simulated/simulated_platform.h"
#include "ui/form.h"
#include "ui/headless/headless_host.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tidewick::ui {
namespace {

// The headless host, also writing down which properties reached it.
class RecordingHost final : public Host {
 public:
  void CreateFormWindow(Form& form) override { inner_.CreateFormWindow(form); }
  void DestroyFormWindow(Form& form) override { inner_.DestroyFormWindow(form); }
  void FormChanged(Form& form, FormProperty property) override { inner_.FormChanged(form, property); }
  void ControlChanged(Control& control, Property property) override {
    changes.emplace_back(control.Name(), property);
  }
  void MenuChanged(MenuItem& item) override { inner_.MenuChanged(item); }
  void TimerChanged(Timer& timer) override { inner_.TimerChanged(timer); }
  void FocusControl(Control& control) override { inner_.FocusControl(control); }
  void SetBusy(bool busy) override { inner_.SetBusy(busy); }
  void KeepPainting() override { inner_.KeepPainting(); }

  std::vector<std::pair<std::string, Property>> changes;

 private:
  HeadlessHost inner_;
};

class Sheet final : public Form {
 public:
  explicit Sheet(Application& app) : Form(app, "sheet") {
    files.Changed = [this] { ++fileChanges; };
  }

  CheckTable files{*this, "files"};
  ProgressBar progress{*this, "progress"};
  TextBox notes{*this, "notes"};
  Picture emblem{*this, "emblem"};
  int fileChanges = 0;

 protected:
  void InitializeComponent() override {
    files.SetColumns({{"Name", 2400}, {"Size", 900}, {"Kind", 1200}});
    files.SetPosition({120, 120, 4500, 2400});
    progress.SetPosition({120, 2640, 4500, 255});
    notes.SetPosition({120, 3000, 4500, 600});
    emblem.SetResourceId(7);
    emblem.SetPixelSize(40, 30);
  }
};

class ControlModelsTest : public ::testing::Test {
 protected:
  ControlModelsTest() {
    app.Register("sheet", [](Application& a) { return std::make_unique<Sheet>(a); });
  }

  Sheet& Shown() {
    auto& sheet = app.Get<Sheet>("sheet");
    sheet.Show();
    host.changes.clear();
    return sheet;
  }
  std::vector<std::string> Column(const CheckTable& table, int column) {
    std::vector<std::string> cells;
    for (int i = 0; i < table.ListCount(); ++i) cells.push_back(table.Cell(i, column));
    return cells;
  }
  int ChangesOf(const std::string& name, Property property) {
    int count = 0;
    for (const auto& [control, changed] : host.changes) count += control == name && changed == property;
    return count;
  }

  sim::SimulatedPlatform os;
  RecordingHost host;
  Application app{os, host};
  User user;
};

TEST_F(ControlModelsTest, ProgressBarKeepsItsValueInsideItsRange) {
  Sheet& sheet = Shown();
  ProgressBar& bar = sheet.progress;
  EXPECT_EQ(bar.Minimum(), 0);
  EXPECT_EQ(bar.Maximum(), 100);
  EXPECT_EQ(bar.Value(), 0);

  struct Case {
    int value;
    int expected;
  };
  for (const Case& c : {Case{40, 40}, Case{150, 100}, Case{-3, 0}, Case{100, 100}}) {
    bar.SetValue(c.value);
    EXPECT_EQ(bar.Value(), c.expected) << c.value;
  }
  // A new range takes the value with it when it falls outside.
  bar.SetRange(0, 20);
  EXPECT_EQ(bar.Value(), 20);
  EXPECT_EQ(ChangesOf("progress", Property::Range), 1);
  bar.SetRange(50, 10);  // maximum below minimum: the one value 50
  EXPECT_EQ(bar.Minimum(), 50);
  EXPECT_EQ(bar.Maximum(), 50);
  EXPECT_EQ(bar.Value(), 50);

  // Nothing changed, nothing reported.
  host.changes.clear();
  bar.SetValue(50);
  bar.SetRange(50, 50);
  EXPECT_TRUE(host.changes.empty());

  // The next load starts from the defaults again.
  sheet.Unload();
  sheet.Show();
  EXPECT_EQ(bar.Minimum(), 0);
  EXPECT_EQ(bar.Maximum(), 100);
  EXPECT_EQ(bar.Value(), 0);
}

TEST_F(ControlModelsTest, TextBoxAndPictureSettingsReachTheHostLikeEveryOtherProperty) {
  Sheet& sheet = Shown();
  EXPECT_TRUE(sheet.notes.MultiLine());
  EXPECT_TRUE(sheet.notes.ReadOnly());
  EXPECT_TRUE(sheet.notes.VerticalScrollBar());
  EXPECT_EQ(sheet.emblem.ResourceId(), 7);
  EXPECT_EQ(sheet.emblem.PixelWidth(), 40);
  EXPECT_EQ(sheet.emblem.PixelHeight(), 30);

  sheet.notes.SetReadOnly(false);
  sheet.notes.SetReadOnly(false);  // no change
  sheet.notes.SetVerticalScrollBar(false);
  sheet.notes.SetMultiLine(true);  // no change
  EXPECT_EQ(ChangesOf("notes", Property::Style), 2);
  sheet.emblem.SetResourceId(8);
  sheet.emblem.SetPixelSize(40, 30);  // no change
  EXPECT_EQ(ChangesOf("emblem", Property::Image), 1);

  // Design values again at the next load.
  sheet.Unload();
  sheet.Show();
  EXPECT_TRUE(sheet.notes.ReadOnly());
  EXPECT_TRUE(sheet.notes.VerticalScrollBar());
  EXPECT_EQ(sheet.emblem.ResourceId(), 7);
}

TEST_F(ControlModelsTest, CheckTableHoldsRowsOfCellsWithFieldsAndMarks) {
  Sheet& sheet = Shown();
  CheckTable& files = sheet.files;
  ASSERT_EQ(files.ColumnCount(), 3);
  EXPECT_EQ(files.Columns()[1].header, "Size");
  EXPECT_EQ(files.Columns()[1].width, 900);

  files.AddItem({"autorun.inf", "1", "setup"}, {"E:\\autorun.inf"});
  files.AddItem({"x.vbs"}, {"E:\\x.vbs", "script"});  // fewer cells than columns
  EXPECT_EQ(files.ListCount(), 2);
  EXPECT_EQ(files.Cell(1, 0), "x.vbs");
  EXPECT_EQ(files.Cell(1, 2), "");
  EXPECT_EQ(files.Cell(0, 7), "");
  EXPECT_EQ(files.Fields(1), (std::vector<std::string>{"E:\\x.vbs", "script"}));

  const int before = sheet.fileChanges;
  files.SetSelected(1, true);
  files.SetSelected(1, true);  // no change: no event
  files.SetSelected(5, true);  // no such row: nothing
  EXPECT_TRUE(files.Selected(1));
  EXPECT_EQ(files.MarkedCount(), 1);
  EXPECT_EQ(sheet.fileChanges, before + 1);

  // Select All marks the rows still unmarked, one event each; Deselect All clears them.
  files.SetAllSelected(true);
  EXPECT_EQ(files.MarkedCount(), 2);
  EXPECT_EQ(sheet.fileChanges, before + 2);
  files.SetAllSelected(false);
  EXPECT_EQ(files.MarkedCount(), 0);
  EXPECT_EQ(sheet.fileChanges, before + 4);
  files.SetSelected(1, true);

  files.RemoveItem(0);
  EXPECT_EQ(files.ListCount(), 1);
  EXPECT_TRUE(files.Selected(0));
  EXPECT_EQ(sheet.fileChanges, before + 6);
  files.Clear();
  EXPECT_EQ(files.ListCount(), 0);
  EXPECT_EQ(ChangesOf("files", Property::Items), 4);
  EXPECT_EQ(ChangesOf("files", Property::Marks), 5);
}

TEST_F(ControlModelsTest, CheckTableSortsAsAPersonReadsAndTheMarksMoveWithTheirRows) {
  Sheet& sheet = Shown();
  CheckTable& files = sheet.files;
  const std::vector<std::vector<std::string>> rows{
      {"file10.lnk", "2048", "shortcut"}, {"File9.lnk", "512", "shortcut"},
      {"autorun.inf", "64", "setup"},     {"file9.lnk", "9", "shortcut"},
      {"b.vbs", "1024", "script"},
  };
  for (std::size_t i = 0; i < rows.size(); ++i) files.AddItem(rows[i], {"row " + std::to_string(i)});
  files.SetSelected(0, true);  // file10.lnk
  EXPECT_EQ(files.SortColumn(), -1);

  // Digits by their value, letters without regard to case, equal cells in the order they came.
  files.SortBy(0, true);
  EXPECT_EQ(Column(files, 0),
            (std::vector<std::string>{"autorun.inf", "b.vbs", "File9.lnk", "file9.lnk", "file10.lnk"}));
  EXPECT_TRUE(files.Selected(4));
  EXPECT_EQ(files.Fields(4), std::vector<std::string>{"row 0"});
  EXPECT_EQ(files.MarkedCount(), 1);

  struct Case {
    int column;
    bool ascending;
    std::vector<std::string> expected;  // the first column afterwards
  };
  const Case cases[] = {
      {0, false, {"file10.lnk", "File9.lnk", "file9.lnk", "b.vbs", "autorun.inf"}},
      {2, true, {"b.vbs", "autorun.inf", "file10.lnk", "File9.lnk", "file9.lnk"}},
      {1, true, {"file9.lnk", "autorun.inf", "File9.lnk", "b.vbs", "file10.lnk"}},
  };
  for (const Case& c : cases) {
    files.SortBy(c.column, c.ascending);
    EXPECT_EQ(files.SortColumn(), c.column);
    EXPECT_EQ(files.SortAscending(), c.ascending);
    EXPECT_EQ(Column(files, 0), c.expected) << "column " << c.column;
  }

  // A row added while sorted goes to its place.
  files.AddItem({"new.lnk", "100", "shortcut"});
  EXPECT_EQ(files.Cell(2, 0), "new.lnk");

  // Fewer columns: the sort by the column that went ends.
  files.SortBy(2, true);
  files.SetColumns({{"Name", 2400}});
  EXPECT_EQ(files.SortColumn(), -1);
}

TEST_F(ControlModelsTest, HeaderClicksSortOneWayThenTheOtherAndOnlyWhenThePersonCanUseTheTable) {
  Sheet& sheet = Shown();
  CheckTable& files = sheet.files;
  for (const char* name : {"b", "c", "a"}) files.AddItem({name});

  user.ClickHeader(files, 0);
  EXPECT_EQ(Column(files, 0), (std::vector<std::string>{"a", "b", "c"}));
  user.ClickHeader(files, 0);
  EXPECT_EQ(Column(files, 0), (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_FALSE(files.SortAscending());
  user.ClickHeader(files, 1);  // another column starts ascending
  EXPECT_EQ(files.SortColumn(), 1);
  EXPECT_TRUE(files.SortAscending());

  user.Mark(files, 0);
  EXPECT_TRUE(files.Selected(0));
  EXPECT_THROW(user.Mark(files, 3), NotUsable);
  EXPECT_THROW(user.ClickHeader(files, 3), NotUsable);

  files.SetEnabled(false);
  EXPECT_THROW(user.ClickHeader(files, 0), NotUsable);
  EXPECT_THROW(user.Mark(files, 1), NotUsable);
  files.SetEnabled(true);
  files.SetVisible(false);
  EXPECT_THROW(user.ClickHeader(files, 0), NotUsable);
  files.SetVisible(true);
  sheet.SetEnabled(false);
  EXPECT_THROW(user.Mark(files, 1), NotUsable);
  EXPECT_FALSE(files.Selected(1));
}

}  // namespace
}  // namespace tidewick::ui
