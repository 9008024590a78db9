// A check-box list: a ListView in report view with check boxes, one column and no header,
// kept in step with the CheckList by a ListSync. A tick by a person marks the line in the
// model; a tick while the list is not the person's to use goes back.
#include "ui/win32/views.h"

#include "ui/win32/list_view_sync.h"

#include <memory>

namespace tidewick::ui {
namespace {

class CheckListView final : public ViewOf<CheckList>, private ListRows {
 public:
  using ViewOf::ViewOf;

  WindowSpec Spec() const override {
    return {WC_LISTVIEWW, LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP,
            WS_EX_CLIENTEDGE, {}};
  }

  void Created() override {
    SendMessageW(Window(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    SendMessageW(Window(), LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    sync_ = std::make_unique<ListSync>(static_cast<const ListRows&>(*this), Window(), true);
  }

  void Apply(Property property) override {
    if (property == Property::Items || property == Property::Marks) sync_->MarkStale();
  }

  LRESULT OnNotify(const NMHDR& header) override {
    if (header.code != LVN_ITEMCHANGED) return 0;
    CheckList* list = &control_;
    sync_->OnItemChanged(reinterpret_cast<const NMLISTVIEW&>(header), Host().PersonMayAct(control_),
                         [list](int row, bool marked) { SkipOnError([&] { list->SetSelected(row, marked); }); });
    return 0;
  }

  void Placed() override { sync_->FitColumn(); }
  void CatchUp() override { sync_->CatchUp(); }
  void Forget() override {
    if (sync_) sync_->Forget();
  }

 private:
  int RowCount() const override { return control_.ListCount(); }
  int ColumnCount() const override { return 1; }
  const std::string& Cell(int row, int) const override { return control_.List(row); }
  bool Marked(int row) const override { return control_.Selected(row); }

  std::unique_ptr<ListSync> sync_;  // made with the window
};

}  // namespace

std::unique_ptr<ControlView> MakeCheckListView(CheckList& list, ViewHost& host) {
  return std::make_unique<CheckListView>(list, host);
}

}  // namespace tidewick::ui
