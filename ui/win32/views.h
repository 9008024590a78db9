// The view of each kind of control model (see control_view.h), one file each.
#pragma once

#include "ui/win32/control_view.h"

#include <memory>

namespace tidewick::ui {

// The view for `control`, by its kind.
std::unique_ptr<ControlView> MakeView(Control& control, ViewHost& host);

std::unique_ptr<ControlView> MakeButtonView(CommandButton& button, ViewHost& host);
std::unique_ptr<ControlView> MakeLabelView(Label& label, ViewHost& host);
std::unique_ptr<ControlView> MakeFrameView(Frame& frame, ViewHost& host);
std::unique_ptr<ControlView> MakeCheckBoxView(CheckBox& box, ViewHost& host);
std::unique_ptr<ControlView> MakeComboBoxView(ComboBox& combo, ViewHost& host);
std::unique_ptr<ControlView> MakeCheckListView(CheckList& list, ViewHost& host);
std::unique_ptr<ControlView> MakeTextBoxView(TextBox& box, ViewHost& host);
std::unique_ptr<ControlView> MakePictureView(Picture& picture, ViewHost& host);
std::unique_ptr<ControlView> MakeProgressBarView(ProgressBar& bar, ViewHost& host);
std::unique_ptr<ControlView> MakeCheckTableView(CheckTable& table, ViewHost& host);

}  // namespace tidewick::ui
