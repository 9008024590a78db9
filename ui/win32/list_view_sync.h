// A ListView with check boxes kept in step with its model (a CheckList or a CheckTable): the
// rows and marks it shows, brought up to date lazily.
//
// Changes of the model only mark the view stale; the view catches up before it handles its next
// message (painting, a click, a query from another program), so a command that adds thousands
// of rows updates the view once.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tidewick::ui {

// What the ListView shows of a model.
class ListRows {
 public:
  virtual int RowCount() const = 0;
  virtual int ColumnCount() const = 0;
  virtual const std::string& Cell(int row, int column) const = 0;
  virtual bool Marked(int row) const = 0;

 protected:
  ~ListRows() = default;
};

class ListSync {
 public:
  // Subclasses `hwnd` (a ListView in report view with LVS_EX_CHECKBOXES) to catch up before
  // its messages. With `fitOneColumn`, the one column is kept at least as wide as the list and
  // wide enough for its widest row.
  ListSync(const ListRows& rows, HWND hwnd, bool fitOneColumn);
  ~ListSync();
  ListSync(const ListSync&) = delete;
  ListSync& operator=(const ListSync&) = delete;

  // The model changed: the view catches up before its next message.
  void MarkStale();
  // Catches up now when the model changed.
  void CatchUp();
  // The columns changed: every row is shown again.
  void ShowAllAgain();
  // The model may be gone: it is not read again.
  void Forget() { forgotten_ = true; }
  // Sizes the one column (with fitOneColumn).
  void FitColumn();

  // A change of state the ListView reports (LVN_ITEMCHANGED). A tick on a row's box, by a
  // person or by another program, goes to `mark` when `mayAct`; otherwise it was not the
  // person's to give, and the box goes back to the model's mark. The list's own changes are
  // no ticks.
  void OnItemChanged(const NMLISTVIEW& change, bool mayAct, const std::function<void(int row, bool marked)>& mark);

 private:
  struct Tick {
    int row = 0;
    bool marked = false;
  };
  std::optional<Tick> TickOf(const NMLISTVIEW& change);
  void Refuse(int row);

  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR data);
  bool SameRow(std::size_t shown, int row) const;
  void Sync();

  const ListRows& rows_;
  HWND hwnd_;  // borrowed: the control's window
  bool fitOneColumn_;
  std::vector<std::vector<std::string>> shown_;  // the cells the view shows, row by row
  std::vector<signed char> marks_;               // -1: not known yet
  int widestRow_ = 0;                            // pixels of the widest text shown (never less than now)
  bool stale_ = true;
  bool syncing_ = false;
  bool forgotten_ = false;
};

}  // namespace tidewick::ui
