// The computer cleaner against the bad-input corpus, end to end under Wine: the real tidewick.exe
// worked through its windows only. The current user's profile folder gets executable-named
// entries with awkward names, and the current user's Run key values of every awkward kind: the
// unnamed value, names and data holding [ ] # and " | ", names in Bengali, Chinese and emoji,
// REG_EXPAND_SZ and REG_BINARY values naming a profile program, and data longer than the
// 1024-byte buffer the detection reads with. Scan must list exactly the documented lines; Delete
// on one marked line must end and delete that line's program and value and nothing else (the
// repair values aside). The profile folder and the Run key are set up and inspected through the
// registry and file API, independently of the program under test.
#include "tests/e2e/driver/driver.h"
#include "tests/e2e/tidewick_app.h"

#include <windows.h>
#include <userenv.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tidewick::e2e {
namespace {

const std::wstring kRunSubKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kMalwareFrame = "Malware:";
const std::string kProfileFrame = "Detect extention EXE at Personal Folder:";
const MenuBar kComputerMenu = {
    {"File", {"Back", "-", "Exit"}},
    {"Extra", {"Registry Manager", "Other Autostart Entries...", "Block Script Worms For This User",
               "Report Of Changes..."}},
};
constexpr DWORD kEndedByKillTool = 1;  // the exit code pskill.exe gives what it ends

// ---- The system around the program ------------------------------------------------------------


// A value as the registry stores it.
struct StoredValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
  friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

std::vector<BYTE> TextBytes(const std::string& text) {
  const std::wstring wide = Wide(text);
  const auto* first = reinterpret_cast<const BYTE*>(wide.c_str());
  return std::vector<BYTE>(first, first + (wide.size() + 1) * sizeof(wchar_t));
}

void SetRunValue(const std::string& name, DWORD type, const std::vector<BYTE>& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRunSubKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const LONG set = RegSetValueExW(key, Wide(name).c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  ASSERT_EQ(set, ERROR_SUCCESS) << "setting the Run value '" << name << "'";
}

void SetRunText(const std::string& name, const std::string& data, DWORD type = REG_SZ) {
  SetRunValue(name, type, TextBytes(data));
}

void DeleteRunValue(const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunSubKey.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, Wide(name).c_str());
  RegCloseKey(key);
}

// Every value of the Run key, by name.
std::map<std::string, StoredValue> RunValues() {
  std::map<std::string, StoredValue> values;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunSubKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return values;
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD nameLength = static_cast<DWORD>(std::size(name));
    std::vector<BYTE> data(65536);
    DWORD dataLength = static_cast<DWORD>(data.size());
    DWORD type = REG_NONE;
    if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &dataLength) != ERROR_SUCCESS) break;
    data.resize(dataLength);
    values[Utf8(std::wstring(name, nameLength))] = {type, std::move(data)};
  }
  RegCloseKey(key);
  return values;
}

struct Dword {
  std::wstring key;  // below HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE
  bool machine;
  std::wstring value;
  DWORD repaired;
};

// The twelve values the repair writes after an autostart line is deleted.
const Dword kRepaired[] = {
    {L"Software\\Policies\\Microsoft\\Windows\\System", false, L"DisableCMD", 0},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", false, L"DisableTaskMgr", 0},
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", true, L"DisableTaskMgr", 0},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", false, L"NoFolderOptions", 0},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", true, L"NoFolderOptions", 0},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", false, L"DisableRegistryTools", 0},
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", true, L"DisableRegistryTools", 0},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", false, L"SuperHidden", 1},
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder", true, L"HideFileExt", 1},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", false, L"Hidden", 0},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", false, L"ShowSuperHidden", 0},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL", true,
     L"CheckedValue", 1},
};

std::optional<DWORD> ReadDword(const Dword& at) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegGetValueW(at.machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, at.key.c_str(), at.value.c_str(),
                   RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

void DeleteDword(const Dword& at) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(at.machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, at.key.c_str(), 0, KEY_SET_VALUE, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  RegDeleteValueW(key, at.value.c_str());
  RegCloseKey(key);
}

// What a person would look at in the profile folder: each entry's attributes and, for a file,
// its content.
struct Seen {
  DWORD attributes = 0;
  std::string content;
  friend bool operator==(const Seen&, const Seen&) = default;
};

std::map<std::string, Seen> FolderState(const std::string& folder) {
  std::map<std::string, Seen> state;
  WIN32_FIND_DATAW found{};
  HANDLE listing = FindFirstFileW(Wide(folder + "\\*").c_str(), &found);
  if (listing == INVALID_HANDLE_VALUE) return state;
  do {
    const std::string name = Utf8(found.cFileName);
    if (name == "." || name == "..") continue;
    Seen seen;
    seen.attributes = found.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      std::ifstream in(Wide(folder + "\\" + name).c_str(), std::ios::binary);
      seen.content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    state[name] = std::move(seen);
  } while (FindNextFileW(listing, &found));
  FindClose(listing);
  return state;
}

void WriteFile(const std::string& path, const std::string& content, DWORD attributes = 0) {
  std::ofstream out(Wide(path).c_str(), std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  ASSERT_TRUE(out) << "cannot write " << path;
  if (attributes != 0) {
    ASSERT_TRUE(SetFileAttributesW(Wide(path).c_str(), attributes));
  }
}

void RemoveEntry(const std::string& path) {
  const std::wstring wide = Wide(path);
  SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileW(wide.c_str())) RemoveDirectoryW(wide.c_str());
}

std::multiset<std::string> Texts(const std::vector<ListLine>& lines) {
  std::multiset<std::string> texts;
  for (const ListLine& line : lines) texts.insert(line.text);
  return texts;
}

std::string Describe(const std::multiset<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n  " + line;
  return text.empty() ? " none" : text;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// ---- The scenarios ----------------------------------------------------------------------------

// Every profile entry and Run value the scenarios make.
const char* const kProfileNames[] = {"setup.exe", "svchost32.exe", "ছবি.exe", "程序.exe", "😀.exe",
                                     "a#.exe", "tool[12].exe", "[abc.exe", "notes.exe.txt", "document.txt",
                                     "readme.md", "hidden.exe", "tools.exe"};
const char* const kRunNames[] = {"", "[Default]", "[Bracket] #1", "Literal#", "Tool range", "Tool literal",
                                 "Unclosed", "Expand", "Binary", "Svchost", "Pipe", "Pipe | Name", "Data",
                                 "Hidden", "Notes", "ছবি", "😀 start", "A first", "B fits", "C too long",
                                 "D after"};

class BadInputComputer : public ::testing::Test {
 protected:
  void SetUp() override {
    profile_ = env::ProfileFolder();
    Tidy();
  }
  void TearDown() override {
    running_.Terminate();
    Tidy();
  }
  // The prefix is shared: start and end without the corpus, its values and the repair values.
  void Tidy() {
    for (const char* name : kProfileNames) RemoveEntry(InProfile(name));
    for (const char* name : kRunNames) DeleteRunValue(name);
    for (const Dword& at : kRepaired) DeleteDword(at);
  }

  std::string InProfile(const std::string& name) const { return profile_ + "\\" + name; }
  void ProfileFile(const std::string& name, DWORD attributes = 0) {
    WriteFile(InProfile(name), "corpus entry " + name + "\n", attributes);
  }
  void ProfileSubfolder(const std::string& name) {
    ASSERT_TRUE(CreateDirectoryW(Wide(InProfile(name)).c_str(), nullptr)) << name;
  }
  void RunText(const std::string& name, const std::string& data, DWORD type = REG_SZ) { SetRunText(name, data, type); }
  void RunBytes(const std::string& name, DWORD type, const std::vector<BYTE>& bytes) {
    SetRunValue(name, type, bytes);
  }

  // Opens the computer cleaner, scans, and answers the verdict, which it returns, and the box
  // after it about the `others` suspicious autostart entries the list does not show.
  std::string OpenAndScan(app::Running& program, Window& computer, int others) {
    program.main.Click("Computer");
    computer = WaitForWindow(app::kComputerTitle, program.process.Id());
    computer.Click("Scan");
    MsgBox verdict = WaitForMessageBox(program.process.Id(), app::kBoxTitle);
    const std::string text = verdict.Text();
    verdict.Answer("OK");
    app::ExpectBox(program.process.Id(), OthersText(others), "OK");
    return text;
  }
  static std::string OthersText(int others) {
    return std::to_string(others) +
           " more suspicious autostart entries were found that this list does not show. To see them, choose "
           "\"Extra\" > \"Other Autostart Entries...\".";
  }

  std::string profile_;
  Process running_;
};

TEST_F(BadInputComputer, ScanListsTheDocumentedLinesAndDeleteTakesOnlyTheMarkedLinesProgramAndValue) {
  // The profile folder: executable-named entries of every awkward kind, beside documents.
  ASSERT_TRUE(CopyFileW(Wide(env::Supply("computer_cleaner_idle.exe")).c_str(), Wide(InProfile("setup.exe")).c_str(),
                        FALSE));
  running_ = Process::Launch(InProfile("setup.exe"), profile_);
  for (const char* name : {"svchost32.exe", "ছবি.exe", "程序.exe", "😀.exe", "a#.exe", "tool[12].exe", "[abc.exe",
                           "notes.exe.txt", "document.txt", "readme.md"}) {
    ProfileFile(name);
  }
  ProfileFile("hidden.exe", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  ProfileSubfolder("tools.exe");
  const std::string p = profile_ + "\\";

  // The Run key.
  RunText("", p + "程序.exe");                                  // the unnamed value: "[Default]"
  RunText("[Default]", p + "程序.exe");                         // a value really named so
  RunText("[Bracket] #1", p + "a1.exe");                       // "#" in a name stands for a digit
  RunText("Literal#", p + "a#.exe");                           // ... so the name itself does not match
  RunText("Tool range", p + "tool2.exe /min");                 // "[12]" is one of two characters
  RunText("Tool literal", p + "tool[12].exe");                 // ... so the brackets do not match
  RunText("Unclosed", p + "[abc.exe");                         // an unclosed "[" is passed over
  RunText("Expand", p + "svchost32.exe", REG_EXPAND_SZ);       // not text the detection reads
  RunBytes("Binary", REG_BINARY, TextBytes(p + "svchost32.exe"));
  RunText("Svchost", p + "svchost32.exe");
  RunText("Pipe", "C:\\Program Files\\Tool\\tool.exe");        // what a split at " | " would delete
  RunText("Pipe | Name", p + "setup.exe | " + p + "document.txt");
  RunText("Data", "C:\\windows\\notepad.exe | svchost32.exe");
  RunText("Hidden", p + "hidden.exe");
  RunText("Notes", "notepad.exe " + p + "notes.exe.txt");
  RunText("ছবি", p + "ছবি.exe");
  RunText("😀 start", "\"" + p + "😀.exe\" --tray");

  const std::map<std::string, Seen> profileBefore = FolderState(profile_);
  const std::map<std::string, StoredValue> runBefore = RunValues();

  app::Running program = app::Start(app::MakeFolder(true));
  const DWORD pid = program.process.Id();
  Window computer;
  const auto scanStarted = std::chrono::steady_clock::now();
  // The search of every autostart place also finds what the list leaves out: the REG_EXPAND_SZ
  // value, and the values naming a#.exe, tool[12].exe and [abc.exe, which the list's wildcard
  // match misses.
  EXPECT_EQ(OpenAndScan(program, computer, 4), "Done. Shortcut virus detect!");
  const double scanSeconds = Seconds(scanStarted);

  const Control malware = computer.CheckList(kMalwareFrame);
  const Control executables = computer.CheckList(kProfileFrame);
  const std::string marked = "setup.exe | Pipe | Name | " + p + "setup.exe | " + p + "document.txt";
  const std::multiset<std::string> expectedLines = {
      "程序.exe | [Default] | " + p + "程序.exe",
      "程序.exe | [Default] | " + p + "程序.exe",
      "a#.exe | [Bracket] #1 | " + p + "a1.exe",
      "tool[12].exe | Tool range | " + p + "tool2.exe /min",
      "svchost32.exe | Svchost | " + p + "svchost32.exe",
      "svchost32.exe | Data | C:\\windows\\notepad.exe | svchost32.exe",
      marked,
      "hidden.exe | Hidden | " + p + "hidden.exe",
      "notes.exe.txt | Notes | notepad.exe " + p + "notes.exe.txt",
      "ছবি.exe | ছবি | " + p + "ছবি.exe",
      "😀.exe | 😀 start | \"" + p + "😀.exe\" --tray",
  };
  const std::multiset<std::string> linesBefore = Texts(malware.Lines());
  EXPECT_TRUE(linesBefore == expectedLines) << "the malware list holds:" << Describe(linesBefore);
  // Every executable-named entry, the hidden one, the folder and the unclosed "[" included; the
  // environment's own profile entries hold no ".exe".
  const std::multiset<std::string> expectedProfile = {"setup.exe", "svchost32.exe", "ছবি.exe", "程序.exe", "😀.exe",
                                                      "a#.exe", "tool[12].exe", "[abc.exe", "notes.exe.txt",
                                                      "hidden.exe", "tools.exe"};
  const std::multiset<std::string> profileLines = Texts(executables.Lines());
  EXPECT_TRUE(profileLines == expectedProfile) << "the profile list holds:" << Describe(profileLines);
  computer.Screenshot("bad-input-computer-after-scan");

  // Mark the line whose value name and data both hold " | ", and delete.
  malware.SetMark(marked, true);
  computer.Click("Delete");
  MsgBox question = WaitForMessageBox(pid, app::kBoxTitle);
  EXPECT_EQ(question.Text(), "Are you sure to delete this file(s)?");
  const auto deleteStarted = std::chrono::steady_clock::now();
  question.Answer("Yes");
  MsgBox summary = WaitForMessageBox(pid, app::kBoxTitle, Ms(30000));
  const double deleteSeconds = Seconds(deleteStarted);
  EXPECT_EQ(summary.Text(), "Delete complete!");
  summary.Answer("OK");

  // That line's program was ended and deleted, and its value removed ...
  const std::optional<DWORD> ended = running_.WaitForExit(Ms(5000));
  ASSERT_TRUE(ended.has_value()) << "setup.exe is still running";
  EXPECT_EQ(*ended, kEndedByKillTool);
  std::map<std::string, Seen> profileExpected = profileBefore;
  profileExpected.erase("setup.exe");
  std::map<std::string, StoredValue> runExpected = runBefore;
  runExpected.erase("Pipe | Name");
  // ... and nothing else changed in the profile folder or the Run key.
  const std::map<std::string, Seen> profileAfter = FolderState(profile_);
  EXPECT_TRUE(profileAfter == profileExpected) << "the profile folder changed beyond setup.exe";
  for (const auto& [name, seen] : profileExpected) EXPECT_TRUE(profileAfter.count(name) > 0) << name << " is gone";
  const std::map<std::string, StoredValue> runAfter = RunValues();
  EXPECT_TRUE(runAfter == runExpected) << "the Run key changed beyond the value 'Pipe | Name'";
  for (const auto& [name, value] : runExpected) EXPECT_TRUE(runAfter.count(name) > 0) << "the value '" << name << "' is gone";
  for (const Dword& at : kRepaired) EXPECT_EQ(ReadDword(at), at.repaired) << Utf8(at.key) << " " << Utf8(at.value);

  // The malware list is rebuilt without that line; the profile list keeps its lines until the
  // next Scan or Refresh, as only the autostart part ran.
  std::multiset<std::string> linesAfter = expectedLines;
  linesAfter.erase(linesAfter.find(marked));
  WaitFor([&] { return Texts(malware.Lines()) == linesAfter; }, "the malware list rebuilt without the deleted line");
  EXPECT_TRUE(Texts(executables.Lines()) == expectedProfile);
  computer.Screenshot("bad-input-computer-after-delete");
  std::printf("[ timing ] scan %.1f s, delete of one line %.1f s\n", scanSeconds, deleteSeconds);

  computer.ChooseMenu(kComputerMenu, "File", "Exit");
  EXPECT_TRUE(program.process.WaitForExit().has_value());
}

// RegEnumValueA gets 1024 bytes for a value's data: a value that needs more ends the
// enumeration, so values after it (in the registry's order, by name) are never examined. The
// user sees the lines of the values before it only; once those are gone, the malware that the
// later values start is not detected at all.
TEST_F(BadInputComputer, DataLongerThanTheBufferEndsTheEnumerationAndHidesTheValuesAfterIt) {
  ProfileFile("svchost32.exe");
  const std::string target = InProfile("svchost32.exe");
  // Data of exactly 1023 characters and its terminator: the most that fits.
  const std::string fits = target + " " + std::string(1023 - target.size() - 1, 'x');
  const std::string tooLong = fits + "y";
  RunText("A first", target);
  RunText("B fits", fits);
  RunText("C too long", tooLong);
  RunText("D after", target);

  app::Running program = app::Start(app::MakeFolder(true));
  const DWORD pid = program.process.Id();
  Window computer;
  // "C too long" and "D after", which the list never reads, start the program in the profile
  // folder: the search of every autostart place counts them.
  EXPECT_EQ(OpenAndScan(program, computer, 2), "Done. Shortcut virus detect!");
  const Control malware = computer.CheckList(kMalwareFrame);
  const std::multiset<std::string> expected = {"svchost32.exe | A first | " + target,
                                               "svchost32.exe | B fits | " + fits};
  const std::multiset<std::string> lines = Texts(malware.Lines());
  EXPECT_TRUE(lines == expected) << "the malware list holds:" << Describe(lines);
  computer.Screenshot("bad-input-computer-long-data");

  // Without the two values before it, the long value hides "D after" completely.
  DeleteRunValue("A first");
  DeleteRunValue("B fits");
  computer.Click("Refresh", kMalwareFrame);
  WaitFor([&] { return malware.Lines().empty(); }, "the malware list to be rebuilt empty");
  computer.Click("Scan");
  MsgBox verdict = WaitForMessageBox(pid, app::kBoxTitle);
  EXPECT_EQ(verdict.Text(), "Done. Shortcut virus not detect!");
  verdict.Answer("OK");
  app::ExpectBox(pid, OthersText(2), "OK");
  EXPECT_TRUE(malware.Lines().empty());
  EXPECT_EQ(RunValues().count("D after"), 1u);

  computer.ChooseMenu(kComputerMenu, "File", "Exit");
  EXPECT_TRUE(program.process.WaitForExit().has_value());
}

}  // namespace
}  // namespace tidewick::e2e
