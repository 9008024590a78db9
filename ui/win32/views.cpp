#include "ui/win32/views.h"

namespace tidewick::ui {

std::unique_ptr<ControlView> MakeView(Control& control, ViewHost& host) {
  switch (control.Kind()) {
    case ControlKind::Button: return MakeButtonView(static_cast<CommandButton&>(control), host);
    case ControlKind::Label: return MakeLabelView(static_cast<Label&>(control), host);
    case ControlKind::Frame: return MakeFrameView(static_cast<Frame&>(control), host);
    case ControlKind::CheckBox: return MakeCheckBoxView(static_cast<CheckBox&>(control), host);
    case ControlKind::ComboBox: return MakeComboBoxView(static_cast<ComboBox&>(control), host);
    case ControlKind::CheckList: return MakeCheckListView(static_cast<CheckList&>(control), host);
    case ControlKind::TextBox: return MakeTextBoxView(static_cast<TextBox&>(control), host);
    case ControlKind::Picture: return MakePictureView(static_cast<Picture&>(control), host);
    case ControlKind::ProgressBar: return MakeProgressBarView(static_cast<ProgressBar&>(control), host);
    case ControlKind::CheckTable: return MakeCheckTableView(static_cast<CheckTable&>(control), host);
  }
  return nullptr;
}

}  // namespace tidewick::ui
