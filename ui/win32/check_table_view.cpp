// A check-box table: a ListView in report view with column headers and check boxes, kept in
// step with the CheckTable by a ListSync. A click on a header sorts the model (the view then
// shows the new order, so a row's index means the same in both); the header of the column
// sorted by carries the arrow of the direction.
#include "ui/win32/views.h"

#include "platform/win32/win32_text.h"
#include "ui/win32/list_view_sync.h"
#include "ui/win32/win32_dpi.h"

#include <algorithm>
#include <memory>

namespace tidewick::ui {
namespace {

class CheckTableView final : public ViewOf<CheckTable>, private ListRows {
 public:
  using ViewOf::ViewOf;

  WindowSpec Spec() const override {
    return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP, WS_EX_CLIENTEDGE, {}};
  }

  void Created() override {
    SendMessageW(Window(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    columnsShown_ = 0;
    ShowColumns();
    sync_ = std::make_unique<ListSync>(static_cast<const ListRows&>(*this), Window(), false);
  }

  void Apply(Property property) override {
    switch (property) {
      case Property::Items:
      case Property::Marks:
        sync_->MarkStale();
        break;
      case Property::Columns:
        ShowColumns();
        sync_->ShowAllAgain();
        break;
      case Property::Sort:
        ShowSort();
        break;
      default:
        break;
    }
  }

  LRESULT OnNotify(const NMHDR& header) override {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if (header.code == LVN_COLUMNCLICK) {
      if (!Host().PersonMayAct(control_)) return 0;
      CheckTable* table = &control_;
      const int column = change.iSubItem;
      SkipOnError([table, column] { table->SortByHeader(column); });
      return 0;
    }
    if (header.code != LVN_ITEMCHANGED) return 0;
    CheckTable* table = &control_;
    sync_->OnItemChanged(change, Host().PersonMayAct(control_),
                         [table](int row, bool marked) { SkipOnError([&] { table->SetSelected(row, marked); }); });
    return 0;
  }

  // The widths are twips: at another DPI they are set again (else a person's own widths stay).
  void Placed() override {
    if (Host().Dpi() != widthsDpi_) ShowWidths();
  }
  void CatchUp() override { sync_->CatchUp(); }
  void Forget() override {
    if (sync_) sync_->Forget();
  }

 private:
  int RowCount() const override { return control_.ListCount(); }
  int ColumnCount() const override { return control_.ColumnCount(); }
  const std::string& Cell(int row, int column) const override { return control_.Cell(row, column); }
  bool Marked(int row) const override { return control_.Selected(row); }

  // Column 0 of a ListView is never deleted: the columns shown are changed in place, and those
  // left over are removed from the end.
  void ShowColumns() {
    const int wanted = control_.ColumnCount();
    for (int c = 0; c < wanted; ++c) {
      std::wstring header = win32::Widen(control_.Columns()[static_cast<std::size_t>(c)].header);
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
      column.fmt = LVCFMT_LEFT;
      column.pszText = header.data();
      column.cx = Px(control_.Columns()[static_cast<std::size_t>(c)].width, Host().Dpi());
      column.iSubItem = c;
      const UINT message = c < columnsShown_ ? LVM_SETCOLUMNW : LVM_INSERTCOLUMNW;
      SendMessageW(Window(), message, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    }
    for (int c = columnsShown_; c-- > std::max(wanted, 1);) SendMessageW(Window(), LVM_DELETECOLUMN, c, 0);
    if (wanted == 0 && columnsShown_ > 0) {
      LVCOLUMNW empty{};
      empty.mask = LVCF_TEXT | LVCF_WIDTH;
      empty.pszText = const_cast<wchar_t*>(L"");
      SendMessageW(Window(), LVM_SETCOLUMNW, 0, reinterpret_cast<LPARAM>(&empty));
    }
    columnsShown_ = wanted == 0 ? std::min(columnsShown_, 1) : wanted;
    widthsDpi_ = Host().Dpi();
    ShowSort();
  }

  void ShowWidths() {
    for (int c = 0; c < control_.ColumnCount(); ++c) {
      const int width = Px(control_.Columns()[static_cast<std::size_t>(c)].width, Host().Dpi());
      SendMessageW(Window(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), width);
    }
    widthsDpi_ = Host().Dpi();
  }

  void ShowSort() {
    HWND header = reinterpret_cast<HWND>(SendMessageW(Window(), LVM_GETHEADER, 0, 0));
    if (header == nullptr) return;
    for (int c = 0; c < control_.ColumnCount(); ++c) {
      HDITEMW item{};
      item.mask = HDI_FORMAT;
      if (!SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item))) continue;
      item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
      if (c == control_.SortColumn()) item.fmt |= control_.SortAscending() ? HDF_SORTUP : HDF_SORTDOWN;
      SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
    }
  }

  std::unique_ptr<ListSync> sync_;  // made with the window
  int columnsShown_ = 0;
  UINT widthsDpi_ = 0;
};

}  // namespace

std::unique_ptr<ControlView> MakeCheckTableView(CheckTable& table, ViewHost& host) {
  return std::make_unique<CheckTableView>(table, host);
}

}  // namespace tidewick::ui
