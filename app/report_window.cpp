#include "app/report_window.h"

#include "platform/journal.h"
#include "platform/platform_operations.h"
#include "platform/product.h"
#include "platform/text.h"

#include <algorithm>
#include <vector>

#include <string>

namespace tidewick {

namespace {

constexpr std::string_view kNewLine = "\r\n";
constexpr std::string_view kNoJournal = "Tidewick keeps no record of changes in this run.\r\n";
constexpr std::string_view kClipboardBusy = "The clipboard is in use by another program. Try again.";
constexpr std::string_view kNothingToUndo = "There are no registry changes to undo.";
constexpr std::string_view kUndone = "The registry changes of this run are undone.";

// The undo question names this many values at most; the report names them all.
constexpr std::size_t kListedValues = 8;

constexpr int kButtonWidth = 1095;
constexpr int kButtonHeight = 375;
constexpr int kButtonTop = 5880;

ui::Font Tahoma() { return ui::Font{"Tahoma", 8.25}; }

// One line of the undo question: a value and what it goes back to.
std::string UndoLine(const RegistryRestore& restore) {
  const std::string name = restore.valueName.empty() ? "(Default)" : "\"" + restore.valueName + "\"";
  const std::string what = restore.before ? "back to " + RegValueText(restore.before)
                                          : "deleted (there was no such value before)";
  return RegistryKeyName(restore.root, restore.keyPath) + " " + name + ": " + what;
}

bool IsAutostartKey(const std::string& keyPath) {
  const std::string lower = LowerCase(keyPath);
  return EndsWith(lower, "\\run") || EndsWith(lower, "\\runonce");
}

// The question before an undo: what goes back, the autostart values first (those are what an
// undo may turn back on), at most kListedValues of them so that the box fits on the screen.
std::string UndoQuestion(const RegistryUndoPlan& plan) {
  std::vector<const RegistryRestore*> values;
  for (const RegistryRestore& restore : plan.values) values.push_back(&restore);
  std::stable_partition(values.begin(), values.end(),
                        [](const RegistryRestore* restore) { return IsAutostartKey(restore->keyPath); });
  const std::size_t count = values.size();
  std::string question = "Undo Registry Changes puts back " +
                         (count == 1 ? std::string("the registry value") : std::to_string(count) + " registry values") +
                         " this run changed, as before its first change:";
  question.append(kNewLine).append(kNewLine);
  for (std::size_t i = 0; i < count && i < kListedValues; ++i) question.append(UndoLine(*values[i])).append(kNewLine);
  if (count > kListedValues) {
    question.append("... and ").append(std::to_string(count - kListedValues)).append(" more (the report lists them).");
    question.append(kNewLine);
  }
  if (!plan.createdKeys.empty()) {
    const std::size_t keys = plan.createdKeys.size();
    question.append(kNewLine)
        .append("It also removes ")
        .append(keys == 1 ? std::string("the registry key") : "the " + std::to_string(keys) + " registry keys")
        .append(" this run created, when nothing else is in them.")
        .append(kNewLine);
  }
  return question.append(kNewLine)
      .append("Undoing may turn a removed autostart entry back on: its program would start again with Windows.")
      .append(kNewLine)
      .append(kNewLine)
      .append("Undo the registry changes?");
}

}  // namespace

frm_report::frm_report(ui::Application& app) : ui::Form(app, kFormName, ui::WayBack::Unload) {
  btn_copy.Click = [this] { btn_copy_Click(); };
  btn_save.Click = [this] { btn_save_Click(); };
  btn_undo.Click = [this] { btn_undo_Click(); };
  btn_ok.Click = [this] { btn_ok_Click(); };
}

void frm_report::InitializeComponent() {
  ui::FormStyle& style = MutableStyle();
  style.border = ui::BorderStyle::FixedSingle;
  style.minButton = false;
  style.maxButton = false;
  style.closeBox = true;
  style.position = ui::StartPosition::CenterScreen;
  style.clientWidth = 9600;
  style.clientHeight = 6495;
  style.font = Tahoma();
  SetCaption("Report");

  txt_report.SetMultiLine(true);
  txt_report.SetReadOnly(true);
  txt_report.SetVerticalScrollBar(true);
  txt_report.SetPosition({240, 240, 9120, 5400});
  txt_report.SetFont(Tahoma());

  auto button = [](ui::CommandButton& control, std::string caption, int left, int width) {
    control.SetCaption(std::move(caption));
    control.SetPosition({left, kButtonTop, width, kButtonHeight});
    control.SetFont(Tahoma());
  };
  button(btn_copy, "Copy", 240, kButtonWidth);
  button(btn_save, "Save As...", 240 + kButtonWidth + 120, kButtonWidth);
  button(btn_undo, "Undo Registry Changes", 240 + 2 * (kButtonWidth + 120), 2295);
  button(btn_ok, "Ok", 9360 - kButtonWidth, kButtonWidth);
  // Enter and Esc both mean Ok; the window opens with the focus on Ok, and Tab goes on
  // through the text and the buttons from left to right.
  btn_ok.SetDefault(true);
  btn_ok.SetCancel(true);
  btn_ok.SetTabIndex(0);
  txt_report.SetTabIndex(1);
  btn_copy.SetTabIndex(2);
  btn_save.SetTabIndex(3);
  btn_undo.SetTabIndex(4);
}

void frm_report::Form_Load() {
  SetCaption(WindowTitle("Report"));
  ShowCurrentText();
}

std::string frm_report::CurrentText() const {
  const ChangeJournal* journal = App().Journal();
  return journal != nullptr ? ReportText(*journal) : std::string(kNoJournal);
}

void frm_report::ShowCurrentText() { txt_report.SetText(CurrentText()); }

void frm_report::btn_copy_Click() {
  if (!Os().SetClipboardText(CurrentText())) Os().MsgBox(kClipboardBusy, MsgStyle::Warning);
}

void frm_report::btn_save_Click() {
  const std::string path = Os().GetSaveFileNameA(kSuggestedFileName);
  if (path.empty()) return;  // cancelled
  const std::string text = CurrentText();
  bool saved = false;
  std::uint32_t error = 0;
  {
    CommandScope command(App().Journal(), "Save Report");
    // The dialog has asked before an existing file was chosen: only then is it replaced.
    const bool confirmedReplace = Os().PathFileExistsA(path);
    saved = Os().WriteTextFile(path, text, confirmedReplace);
    if (!saved) error = Os().GetLastError();
  }
  ShowCurrentText();
  if (saved) {
    Os().MsgBox("The report is saved in '" + ShownPath(path) + "'.", MsgStyle::Information);
  } else {
    Os().MsgBox("The report could not be saved in '" + ShownPath(path) + "': " + ErrorInWords(error),
                MsgStyle::Critical);
  }
}

void frm_report::btn_undo_Click() {
  ChangeJournal* journal = App().Journal();
  const RegistryUndoPlan plan = journal != nullptr ? PlanRegistryUndo(*journal, Os()) : RegistryUndoPlan{};
  if (plan.Empty()) {
    Os().MsgBox(kNothingToUndo, MsgStyle::Information);
    return;
  }
  if (Os().MsgBox(UndoQuestion(plan), MsgStyle::YesNoQuestion) != Answer::Yes) return;

  int refused = 0;
  {
    CommandScope command(journal, "Undo Registry Changes");
    refused = UndoRegistryChanges(plan, Os());
  }
  ShowCurrentText();
  if (refused == 0) {
    Os().MsgBox(kUndone, MsgStyle::Information);
  } else {
    Os().MsgBox(std::to_string(refused) + (refused == 1 ? " registry change" : " registry changes") +
                    " could not be undone. The report says why.",
                MsgStyle::Warning);
  }
}

void frm_report::btn_ok_Click() { App().GiveBack(*this); }

void frm_report::Form_Unload() { App().GiveBack(*this); }

}  // namespace tidewick
