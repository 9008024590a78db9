#include "ui/win32/list_view_sync.h"

#include "platform/win32/win32_text.h"
#include "win32/handles.h"

#include <algorithm>

namespace tidewick::ui {

namespace {

constexpr UINT_PTR kSubclassId = 1;

// The ListView's own window procedure. Bringing a list in step with its model sends thousands
// of messages; they go straight to the control instead of through the subclass chain, which
// under Wine costs a trip to the server per message.
LRESULT ListCall(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static const WNDPROC listViewProc = [] {
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    GetClassInfoExW(nullptr, WC_LISTVIEWW, &info);
    return info.lpfnWndProc;
  }();
  return CallWindowProcW(listViewProc, hwnd, message, wParam, lParam);
}

}  // namespace

ListSync::ListSync(const ListRows& rows, HWND hwnd, bool fitOneColumn)
    : rows_(rows), hwnd_(hwnd), fitOneColumn_(fitOneColumn) {
  SetWindowSubclass(hwnd_, &ListSync::Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

ListSync::~ListSync() {
  if (hwnd_ != nullptr) RemoveWindowSubclass(hwnd_, &ListSync::Proc, kSubclassId);
}

LRESULT CALLBACK ListSync::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* list = reinterpret_cast<ListSync*>(data);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, &ListSync::Proc, kSubclassId);
    list->hwnd_ = nullptr;
  } else if (message != WM_DESTROY) {
    list->CatchUp();
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

void ListSync::MarkStale() {
  if (stale_) return;
  stale_ = true;
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void ListSync::CatchUp() {
  if (stale_ && !syncing_ && !forgotten_ && hwnd_ != nullptr) Sync();
}

void ListSync::ShowAllAgain() {
  ListCall(hwnd_, LVM_DELETEALLITEMS, 0, 0);
  shown_.clear();
  marks_.clear();
  widestRow_ = 0;
  stale_ = false;
  MarkStale();
}

bool ListSync::SameRow(std::size_t shown, int row) const {
  const auto& cells = shown_[shown];
  if (static_cast<int>(cells.size()) != rows_.ColumnCount()) return false;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    if (cells[c] != rows_.Cell(row, static_cast<int>(c))) return false;
  }
  return true;
}

// Brings the ListView in step with its model: the rows that differ between the common head
// and the common tail are replaced, then every mark that differs is set.
void ListSync::Sync() {
  syncing_ = true;
  stale_ = false;
  HWND hwnd = hwnd_;
  const std::size_t count = static_cast<std::size_t>(rows_.RowCount());
  const std::size_t shown = shown_.size();
  const int columns = rows_.ColumnCount();

  std::size_t head = 0;
  while (head < shown && head < count && SameRow(head, static_cast<int>(head))) ++head;
  std::size_t tail = 0;
  while (tail < shown - head && tail < count - head && SameRow(shown - 1 - tail, static_cast<int>(count - 1 - tail))) {
    ++tail;
  }
  const std::size_t removed = shown - head - tail;
  const std::size_t added = count - head - tail;
  std::vector<std::size_t> remarked;
  for (std::size_t i = 0; i < count; ++i) {
    const bool isNew = i >= head && i < head + added;
    const std::size_t old = i < head + added ? i : i - added + removed;
    const signed char wanted = rows_.Marked(static_cast<int>(i)) ? 1 : 0;
    if (isNew ? wanted == 1 : marks_[old] != wanted) remarked.push_back(i);
  }
  if (removed == 0 && added == 0 && remarked.empty()) {
    syncing_ = false;
    return;
  }
  // Without drawing between the steps: a ListView that repaints after every insertion takes
  // minutes for a few thousand rows.
  ListCall(hwnd, WM_SETREDRAW, FALSE, 0);

  if (head == 0 && tail == 0 && removed > 0) {
    ListCall(hwnd, LVM_DELETEALLITEMS, 0, 0);
    widestRow_ = 0;
  } else {
    for (std::size_t i = head + removed; i-- > head;) ListCall(hwnd, LVM_DELETEITEM, i, 0);
  }
  shown_.erase(shown_.begin() + static_cast<std::ptrdiff_t>(head),
               shown_.begin() + static_cast<std::ptrdiff_t>(head + removed));
  marks_.erase(marks_.begin() + static_cast<std::ptrdiff_t>(head),
               marks_.begin() + static_cast<std::ptrdiff_t>(head + removed));

  std::vector<std::vector<std::string>> inserted;
  inserted.reserve(added);
  {
    win32::WindowDC dc(hwnd);
    win32::SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(ListCall(hwnd, WM_GETFONT, 0, 0)));
    for (std::size_t i = head; i < head + added; ++i) {
      const int row = static_cast<int>(i);
      std::vector<std::string> cells;
      cells.reserve(static_cast<std::size_t>(columns));
      for (int c = 0; c < columns; ++c) cells.push_back(rows_.Cell(row, c));
      std::wstring text = cells.empty() ? std::wstring() : win32::Widen(cells[0]);
      LVITEMW item{};
      item.mask = LVIF_TEXT | LVIF_STATE;
      item.iItem = row;
      item.pszText = text.data();
      item.stateMask = LVIS_STATEIMAGEMASK;
      item.state = INDEXTOSTATEIMAGEMASK(1);
      ListCall(hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
      for (int c = 1; c < columns; ++c) {
        std::wstring cell = win32::Widen(cells[static_cast<std::size_t>(c)]);
        LVITEMW sub{};
        sub.iSubItem = c;
        sub.pszText = cell.data();
        ListCall(hwnd, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&sub));
      }
      if (fitOneColumn_) {
        SIZE extent{};
        GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
        widestRow_ = std::max<int>(widestRow_, extent.cx);
      }
      inserted.push_back(std::move(cells));
    }
  }
  shown_.insert(shown_.begin() + static_cast<std::ptrdiff_t>(head), std::make_move_iterator(inserted.begin()),
                std::make_move_iterator(inserted.end()));
  marks_.insert(marks_.begin() + static_cast<std::ptrdiff_t>(head), added, 0);

  for (const std::size_t i : remarked) {
    const bool marked = rows_.Marked(static_cast<int>(i));
    LVITEMW state{};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(marked ? 2 : 1);
    ListCall(hwnd, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
    marks_[i] = marked ? 1 : 0;
  }

  if (removed > 0 || added > 0) FitColumn();
  ListCall(hwnd, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hwnd, nullptr, TRUE);
  syncing_ = false;
}

// One column, at least as wide as the list, wider when a row needs it.
void ListSync::FitColumn() {
  if (!fitOneColumn_ || hwnd_ == nullptr) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  int width = client.right;
  if (!shown_.empty()) {
    // The row's text, its mark box and the margins around both.
    int boxWidth = 16;
    if (auto images = reinterpret_cast<HIMAGELIST>(ListCall(hwnd_, LVM_GETIMAGELIST, LVSIL_STATE, 0))) {
      int boxHeight = 0;
      ImageList_GetIconSize(images, &boxWidth, &boxHeight);
    }
    width = std::max(width, widestRow_ + boxWidth + 16);
  }
  ListCall(hwnd_, LVM_SETCOLUMNWIDTH, 0, width);
}

void ListSync::OnItemChanged(const NMLISTVIEW& change, bool mayAct,
                             const std::function<void(int row, bool marked)>& mark) {
  const std::optional<Tick> tick = TickOf(change);
  if (!tick) return;
  if (!mayAct) {
    Refuse(tick->row);
    return;
  }
  mark(tick->row, tick->marked);
}

std::optional<ListSync::Tick> ListSync::TickOf(const NMLISTVIEW& change) {
  if (syncing_ || forgotten_) return std::nullopt;
  if ((change.uChanged & LVIF_STATE) == 0) return std::nullopt;
  const UINT before = (change.uOldState & LVIS_STATEIMAGEMASK) >> 12;
  const UINT after = (change.uNewState & LVIS_STATEIMAGEMASK) >> 12;
  // 0 is an item without its box yet (just inserted); 1 unticked, 2 ticked.
  if (before == 0 || after == 0 || before == after) return std::nullopt;
  if (change.iItem < 0 || static_cast<std::size_t>(change.iItem) >= shown_.size()) return std::nullopt;
  const bool marked = after == 2;
  marks_[static_cast<std::size_t>(change.iItem)] = marked ? 1 : 0;
  return Tick{change.iItem, marked};
}

void ListSync::Refuse(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= marks_.size()) return;
  marks_[static_cast<std::size_t>(row)] = -1;
  MarkStale();
}

}  // namespace tidewick::ui
