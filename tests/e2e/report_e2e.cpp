// The report of changes end to end: the real tidewick.exe under Wine cleans a seeded stick and
// then the computer, and its report window must say exactly what changed, one line for each
// change, as a comparison of before and after made without the program shows it.
//
// The stick (TIDEWICK_E2E_STICK, seeded by report_stick.sh) is compared from Linux: this
// program saves the report of the stick's commands with "Save As..." into TIDEWICK_E2E_REPORTS,
// and report_stick.sh compares its lines with the stick's file tree before and after (hashes,
// user.DOSATTRIB, write permission) once this program has ended. The computer's commands are
// compared here: the registry values and keys they touch are read with reg.exe (what `wine reg
// query` runs) before and after, and the worm's file from outside; then "Undo Registry Changes"
// must bring every one of them back exactly. "Save As..." must write the chosen file and
// nothing else; a cancelled dialog nothing at all.
#include "tests/e2e/driver/driver.h"
#include "tests/e2e/driver/reg_tool.h"
#include "tests/e2e/tidewick_app.h"
#include "tests/support/expected_repair.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tidewick::e2e {
namespace {

const std::string kReportTitle = "Report | Tidewick v3.1";
const std::string kSaveDialogTitle = "Save As";
const std::string kVirusFrame = "Select file to delete: (VIRUS)";
const std::string kUnknownFrame = "If you don't know that file, just mark and delete:";
const std::string kMalwareFrame = "Malware:";
const MenuBar kPenDriveMenu = {
    {"File", {"Back", "-", "Exit"}},
    {"Extra", {"Show all hidden file for this device", "Shortcuts and Autorun...",
               "Restore Files From Hidden Folder...", "Report Of Changes..."}},
};
const MenuBar kComputerMenu = {
    {"File", {"Back", "-", "Exit"}},
    {"Extra", {"Registry Manager", "Other Autostart Entries...", "Block Script Worms For This User",
               "Report Of Changes..."}},
};

const std::string kWormName = "svchost32.exe";
const std::string kValueName = "TwReportWorm";
const std::string kRunKey = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// The file-name field of the save dialog (cmb13, or edt1 in the old-style template).
constexpr int kFileNameCombo = 0x47c;
constexpr int kFileNameEdit = 0x480;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool FileExists(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> FolderListing(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW(Wide(folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = Utf8(found.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(find, &found));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(Wide(path).c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- The report's text --------------------------------------------------------------------

// The detail sections of a report, in order: the header (time and title) and its lines.
struct Section {
  std::string title;
  std::vector<std::string> lines;
};

std::vector<Section> Sections(const std::string& report) {
  std::vector<Section> sections;
  std::istringstream in(report);
  std::string line;
  bool details = false;  // past the summary: the first blank line after it
  int blanks = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
      if (++blanks >= 2) details = true;
      continue;
    }
    if (!details) continue;
    if (line.rfind("    ", 0) == 0) {
      if (!sections.empty()) sections.back().lines.push_back(line.substr(4));
    } else if (line.size() > 10 && line[2] == ':' && line[5] == ':') {
      sections.push_back({line.substr(10), {}});
    }
  }
  return sections;
}

// The change lines of the sections from the one titled `first` on (refusals and "Nothing was
// changed." aside), each without its count of repeated hand-overs, in lower case.
std::multiset<std::string> ChangeLines(const std::vector<Section>& sections, const std::string& first) {
  std::multiset<std::string> lines;
  bool on = false;
  for (const Section& section : sections) {
    on = on || section.title == first;
    if (!on) continue;
    for (std::string line : section.lines) {
      if (line.rfind("Refused:", 0) == 0 || line == "Nothing was changed.") continue;
      const std::size_t times = line.rfind(" times");
      if (line.rfind("Handed to the kill tool:", 0) == 0 && times != std::string::npos && times + 6 == line.size()) {
        line.erase(line.rfind(", ", times));
      }
      lines.insert(Lower(line));
    }
  }
  return lines;
}

// ---- The registry, read with reg.exe --------------------------------------------------------

// What the computer's commands touch: the repair values, the command-prompt values and the
// worm's autostart value; each key with its levels above.
struct Touched {
  std::string key;  // "HKCU\..." without trailing backslash
  std::string value;
};

std::string KeyOf(Handle root, const char* subKey) {
  std::string key = std::string(root == Root::CurrentUser ? "HKCU\\" : "HKLM\\") + subKey;
  while (key.back() == '\\') key.pop_back();
  return key;
}

std::vector<Touched> TouchedValues() {
  std::vector<Touched> touched;
  for (const auto& row : expected::kCommandPrompt) touched.push_back({KeyOf(row.root, row.subKey), row.valueName});
  for (const auto& row : expected::kRepair) touched.push_back({KeyOf(row.root, row.subKey), row.valueName});
  touched.push_back({kRunKey, kValueName});
  return touched;
}

// Every key level of the touched keys below the roots, as reg.exe names them.
std::set<std::string> TouchedKeyLevels() {
  std::set<std::string> levels;
  for (const Touched& at : TouchedValues()) {
    for (std::size_t slash = at.key.find('\\', 5); ; slash = at.key.find('\\', slash + 1)) {
      levels.insert(Lower(at.key.substr(0, slash)));
      if (slash == std::string::npos) break;
    }
  }
  return levels;
}

struct RegistryState {
  std::map<std::string, std::string> values;  // "key|value" in lower case -> "TYPE data" or "missing"
  std::set<std::string> keys;                 // the key levels that exist, lower case
  friend bool operator==(const RegistryState&, const RegistryState&) = default;
};

RegistryState ReadRegistry() {
  RegistryState state;
  for (const Touched& at : TouchedValues()) state.values[Lower(at.key + "|" + at.value)] = RegQuery({at.key, at.value});
  for (const std::string& level : TouchedKeyLevels()) {
    if (Reg("query \"" + level + "\"").exitCode == 0) state.keys.insert(level);
  }
  return state;
}

std::string Describe(const RegistryState& state) {
  std::string text;
  for (const auto& [at, value] : state.values) text += "  " + at + " = " + value + "\n";
  for (const std::string& key : state.keys) text += "  key " + key + "\n";
  return text;
}

// A value as reg.exe shows it ("REG_DWORD 0x1", "REG_SZ text", "missing") in the report's words.
std::string InReportWords(const std::string& shown) {
  if (shown == "missing") return "no value";
  const std::size_t space = shown.find(' ');
  const std::string type = shown.substr(0, space);
  const std::string data = space == std::string::npos ? "" : shown.substr(space + 1);
  if (type == "REG_DWORD") {
    const unsigned long number = std::stoul(data, nullptr, 16);
    char text[48];
    std::snprintf(text, sizeof text, "REG_DWORD 0x%08lx (%lu)", number, number);
    return text;
  }
  return type + " \"" + data + "\"";
}

std::string FullRoot(const std::string& key) {
  return (key.rfind("hkcu", 0) == 0 ? "hkey_current_user" : "hkey_local_machine") + key.substr(4);
}

// The lines a report must show for the registry going from `before` to `after`.
std::multiset<std::string> RegistryLines(const RegistryState& before, const RegistryState& after) {
  std::multiset<std::string> lines;
  for (const auto& [at, was] : before.values) {
    const std::string& now = after.values.at(at);
    if (now == was) continue;
    const std::size_t bar = at.find('|');
    lines.insert(Lower("Registry value " + FullRoot(at.substr(0, bar)) + " \"" + at.substr(bar + 1) +
                       "\": " + InReportWords(was) + " -> " + InReportWords(now)));
  }
  for (const std::string& key : after.keys) {
    if (before.keys.count(key) == 0) lines.insert(Lower("Registry key created: " + FullRoot(key)));
  }
  return lines;
}

std::string Join(const std::multiset<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "  " + line + "\n";
  return text;
}

// ---- The scenario -------------------------------------------------------------------------

// Waits for the next box of the program, checks its text and answers it.
void Expect(DWORD pid, const std::string& text, const std::string& answer) {
  MsgBox box = WaitForMessageBox(pid, app::kBoxTitle, Ms(30000));
  EXPECT_EQ(box.Text(), text);
  box.Answer(answer);
}

// The text field of the file name in the open save dialog: the edit box itself, or the one
// inside the drop-down (a ComboBoxEx32 holding a ComboBox holding an Edit).
Control FileNameField(const Window& dialog) {
  const std::vector<ControlInfo> controls = dialog.Controls();
  for (const ControlInfo& field : controls) {
    if ((field.id != kFileNameCombo && field.id != kFileNameEdit) || !field.visible) continue;
    if (field.className == "Edit") return Control(field.hwnd);
    for (const ControlInfo& inner : controls) {
      if (inner.className == "Edit" && IsChild(field.hwnd, inner.hwnd)) return Control(inner.hwnd);
    }
  }
  throw DriverError("the save dialog shows no file-name field: " + dialog.DescribeControls());
}

// "Save As..." in the report window: the dialog, the path typed in, Save.
void SaveReportAs(const Window& report, DWORD pid, const std::string& path) {
  report.Click("Save As...");
  const Window dialog = WaitForWindow(kSaveDialogTitle, pid);
  FileNameField(dialog).Type(path);
  dialog.Click("Save");
  dialog.WaitGone();
}

class ReportScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    profile_ = env::ProfileFolder();
    wormPath_ = profile_ + "\\" + kWormName;
    Tidy();
  }
  void TearDown() override {
    worm_.Terminate();
    Tidy();
  }
  // The prefix is shared: no worm and no autostart value of it before or after.
  void Tidy() {
    DeleteFileW(Wide(wormPath_).c_str());
    RegDelete({kRunKey, kValueName});
  }

  std::string profile_;
  std::string wormPath_;
  Process worm_;
};

TEST_F(ReportScenario, TheReportSaysWhatChangedAndUndoPutsTheRegistryBack) {
  const std::string stick = Environment("TIDEWICK_E2E_STICK");
  const std::string reports = Environment("TIDEWICK_E2E_REPORTS");
  ASSERT_FALSE(stick.empty()) << "TIDEWICK_E2E_STICK is not set (run through report_stick.sh)";
  ASSERT_FALSE(reports.empty()) << "TIDEWICK_E2E_REPORTS is not set (run through report_stick.sh)";
  const std::string reportFile = reports + "\\stick-report.txt";

  const std::string folder = app::MakeFolder(true);
  app::Running tidewick = app::Start(folder);
  const DWORD pid = tidewick.process.Id();

  // ---- The stick: Scan, then Delete of the virus list and the marked program ----
  tidewick.main.Click("Pen Drive");
  const Window rd = WaitForWindow(app::kPenDriveTitle, pid);
  rd.ComboBox("Select Device").Choose(stick);
  WaitFor([&] { return rd.Button("Scan", "Select Device").Usable(); }, "Scan to be enabled");
  rd.Click("Scan", "Select Device");
  Expect(pid, "Are you sure to scan this device(" + stick + ")?", "Yes");
  Expect(pid, "Scan complete. Delete file that you don't know.", "OK");
  const Control unknown = rd.CheckList(kUnknownFrame);
  WaitFor([&] { return unknown.Lines().size() == 1; }, "the unknown list of the stick");
  unknown.SetMark("Photos.exe", true);
  WaitFor([&] { return unknown.Lines()[0].marked; }, "Photos.exe to be marked");
  rd.Click("Delete", "Main");
  Expect(pid, "Are you sure to delete this file(s)?", "Yes");
  Expect(pid, "Cannot delete file '" + stick + "Music.lnk' because file is being used.", "OK");
  Expect(pid, "Delete unsuccessful. Please do in Safe Mode OR try next boot(restart computer).", "OK");

  // ---- The report of the stick, saved where report_stick.sh compares it with the stick ----
  rd.ChooseMenu(kPenDriveMenu, "Extra", "Report Of Changes...");
  const Window report = WaitForWindow(kReportTitle, pid);
  WaitFor([&] { return !rd.Visible(); }, "the Pen Drive window to hide");
  const std::string stickText = report.TextBox().Text();
  EXPECT_NE(stickText.find("  Scan of " + stick + " - "), std::string::npos) << stickText;
  EXPECT_NE(stickText.find("  Delete - "), std::string::npos) << stickText;
  EXPECT_NE(stickText.find("    Refused: delete " + stick + "Music.lnk: Access is denied. (error 5)"), std::string::npos)
      << stickText;
  report.Screenshot("report-window");

  // Save As writes the chosen file, with the text shown, and nothing else.
  const std::vector<std::string> reportsBefore = FolderListing(reports);
  const std::vector<std::string> programFolderBefore = FolderListing(folder);
  const std::vector<std::string> documentsBefore = FolderListing(profile_ + "\\Documents");
  SaveReportAs(report, pid, reportFile);
  Expect(pid, "The report is saved in '" + reportFile + "'.", "OK");
  EXPECT_EQ(ReadFileBytes(reportFile), stickText);
  std::vector<std::string> expectedReports = reportsBefore;
  expectedReports.push_back("stick-report.txt");
  std::sort(expectedReports.begin(), expectedReports.end());
  EXPECT_EQ(FolderListing(reports), expectedReports);
  EXPECT_EQ(FolderListing(folder), programFolderBefore);
  EXPECT_EQ(FolderListing(profile_ + "\\Documents"), documentsBefore);
  WaitFor([&] { return report.TextBox().Text().find("  Save Report - 1 file written.") != std::string::npos; },
          "the saving in the report");

  // A cancelled dialog writes nothing.
  report.Click("Save As...");
  const Window dialog = WaitForWindow(kSaveDialogTitle, pid);
  dialog.Screenshot("report-save-dialog");
  FileNameField(dialog).Type(reports + "\\not-saved.txt");
  dialog.Click("Cancel");
  dialog.WaitGone();
  Pause(Ms(500));
  EXPECT_FALSE(FindMessageBox(pid, app::kBoxTitle).has_value());
  EXPECT_EQ(FolderListing(reports), expectedReports);

  // Ok gives control back.
  report.Click("Ok");
  report.WaitGone();
  WaitFor([&] { return rd.Visible() && rd.Enabled(); }, "the Pen Drive window to come back");
  rd.Click("Back", "Main");
  rd.WaitGone();
  WaitFor([&] { return tidewick.main.Visible() && tidewick.main.Enabled(); }, "the main window to come back");

  // ---- The computer: a running worm in the profile folder with an autostart value ----
  ASSERT_TRUE(CopyFileW(Wide(env::Supply("computer_cleaner_idle.exe")).c_str(), Wide(wormPath_).c_str(), FALSE));
  worm_ = Process::Launch(wormPath_, profile_, "");
  // reg.exe takes the quotes off: the value holds the bare path.
  ASSERT_EQ(RegAdd({kRunKey, kValueName}, "REG_SZ", "\"" + wormPath_ + "\"").exitCode, 0u);
  ASSERT_EQ(RegQuery({kRunKey, kValueName}), "REG_SZ " + wormPath_);
  WIN32_FILE_ATTRIBUTE_DATA worm{};
  ASSERT_TRUE(GetFileAttributesExW(Wide(wormPath_).c_str(), GetFileExInfoStandard, &worm));
  const RegistryState before = ReadRegistry();

  tidewick.main.Click("Computer");
  const Window computer = WaitForWindow(app::kComputerTitle, pid);
  computer.Click("Scan");
  Expect(pid, "Done. Shortcut virus detect!", "OK");
  const Control malware = computer.CheckList(kMalwareFrame);
  const std::string line = kWormName + " | " + kValueName + " | " + wormPath_;
  WaitFor([&] { return malware.Lines() == std::vector<ListLine>{{line, false}}; }, "the worm's autostart line");
  malware.SetMark(line, true);
  WaitFor([&] { return malware.Lines() == std::vector<ListLine>{{line, true}}; }, "the autostart line marked");
  computer.Click("Delete");
  Expect(pid, "Are you sure to delete this file(s)?", "Yes");
  Expect(pid, "Delete complete!", "OK");
  ASSERT_TRUE(worm_.WaitForExit(Ms(5000)).has_value()) << "the worm is still running";
  ASSERT_FALSE(FileExists(wormPath_));
  const RegistryState after = ReadRegistry();

  // The report's lines of the computer's commands are the comparison's, one for one.
  computer.ChooseMenu(kComputerMenu, "Extra", "Report Of Changes...");
  const Window again = WaitForWindow(kReportTitle, pid);
  const std::string computerText = again.TextBox().Text();
  std::multiset<std::string> expected = RegistryLines(before, after);
  const std::uint64_t size = (std::uint64_t{worm.nFileSizeHigh} << 32) | worm.nFileSizeLow;
  expected.insert(Lower("Deleted: " + wormPath_ + " (" + std::to_string(size) + " bytes)"));
  expected.insert(Lower("Handed to the kill tool: process " + std::to_string(worm_.Id()) + " (" + wormPath_ + ")"));
  // The comparison itself sees the worm's autostart value go.
  ASSERT_EQ(expected.count(Lower("Registry value HKEY_CURRENT_USER" + kRunKey.substr(4) + " \"" + kValueName +
                                 "\": REG_SZ \"" + wormPath_ + "\" -> no value")),
            1u)
      << Join(expected);
  const std::multiset<std::string> shown = ChangeLines(Sections(computerText), "Scan of the computer");
  EXPECT_EQ(shown, expected) << "the report shows:\n" << Join(shown) << "the comparison gives:\n" << Join(expected)
                             << "registry before:\n" << Describe(before) << "after:\n" << Describe(after);
  EXPECT_NE(computerText.find("  Scan of the computer - Nothing was changed."), std::string::npos) << computerText;
  again.Screenshot("report-after-computer");

  // ---- Undo: every touched value and key as it was before the computer's commands ----
  again.Click("Undo Registry Changes");
  MsgBox question = WaitForMessageBox(pid, app::kBoxTitle);
  EXPECT_EQ(question.Buttons(), (std::vector<std::string>{"Yes", "No"}));
  EXPECT_NE(question.Text().find("Undoing may turn a removed autostart entry back on"), std::string::npos)
      << question.Text();
  EXPECT_NE(question.Text().find("\"" + kValueName + "\": back to REG_SZ \"" + wormPath_ + "\""), std::string::npos)
      << question.Text();
  question.Screenshot("report-undo-question");
  question.Answer("Yes");
  Expect(pid, "The registry changes of this run are undone.", "OK");
  const RegistryState undone = ReadRegistry();
  EXPECT_EQ(undone, before) << "before:\n" << Describe(before) << "after the undo:\n" << Describe(undone);
  WaitFor([&] { return again.TextBox().Text().find("  Undo Registry Changes - ") != std::string::npos; },
          "the undo in the report");

  // Nothing is left to undo.
  again.Click("Undo Registry Changes");
  Expect(pid, "There are no registry changes to undo.", "OK");

  again.Click("Ok");
  again.WaitGone();
  WaitFor([&] { return computer.Visible() && computer.Enabled(); }, "the Computer window to come back");
  computer.ChooseMenu(kComputerMenu, "File", "Exit");
  EXPECT_TRUE(tidewick.process.WaitForExit().has_value());
}

}  // namespace
}  // namespace tidewick::e2e
