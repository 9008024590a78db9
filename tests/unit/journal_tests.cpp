// The journal of changes (platform/journal.*) on the simulated platform: each kind of change as
// it passes through JournalingPlatform, refusals in words, what is not a change, the grouping
// by command, the summary sentences, the report text, and the undo of the registry changes.
#include "platform/journal.h"

#include "platform/simulated/simulated_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tidewick {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using sim::RegistryValue;

constexpr std::string_view kKey = "Software\\Tidewick Test";

std::vector<std::string> Lines(const Command& command) {
  std::vector<std::string> lines;
  for (const Change& change : command.changes) lines.push_back(DescribeChange(change));
  return lines;
}

class Journal : public ::testing::Test {
 public:
  Journal() {
    sim.AddDrive('C');
    sim.AddDrive('E');
    sim.AddFolder("C:\\Users\\User");
    sim.CreateRegistryKey(Root::CurrentUser, kKey);
  }

  // Runs `action` as one command and answers that command.
  const Command& Run(const std::function<void()>& action) {
    {
      CommandScope command(&journal, "Case");
      action();
    }
    return journal.Commands().back();
  }

  // RegOpenKeyA, one call, RegCloseKey, as a caller would.
  template <class F>
  Status WithKey(Handle root, std::string_view path, F&& call) {
    Handle key = 0;
    const Status opened = os.RegOpenKeyA(root, path, key);
    const Status status = opened == StatusCode::Success ? call(key) : opened;
    os.RegCloseKey(key);
    return status;
  }

  Status SetDword(std::string_view name, std::uint32_t value) {
    return WithKey(Root::CurrentUser, kKey, [&](Handle key) {
      return os.RegSetValueExA(key, name, 0, RegType::Dword, &value, sizeof value);
    });
  }

  Status SetText(std::string_view name, std::string_view text, std::uint32_t type = RegType::Sz) {
    const std::string stored = std::string(text) + '\0';
    return WithKey(Root::CurrentUser, kKey, [&](Handle key) {
      return os.RegSetValueExA(key, name, 0, type, stored.data(), static_cast<std::uint32_t>(stored.size()));
    });
  }

  Status DeleteValue(std::string_view name) {
    return WithKey(Root::CurrentUser, kKey, [&](Handle key) { return os.RegDeleteValueA(key, name); });
  }

  sim::SimulatedPlatform sim;
  JournalingPlatform os{sim};
  ChangeJournal& journal = os.Journal();
};

// ---- Each kind of change, one command each -------------------------------------------------

struct ChangeCase {
  const char* name;
  std::function<void(sim::SimulatedPlatform&)> arrange;
  std::function<void(JournalingPlatform&)> act;
  std::vector<std::string> lines;
  std::string summary;
};

void PrintTo(const ChangeCase& c, std::ostream* out) { *out << c.name; }

class JournalCase : public Journal, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(JournalCase, RecordsTheChangeAndSumsItUp) {
  const ChangeCase& c = GetParam();
  if (c.arrange) c.arrange(sim);
  const Command& command = Run([&] { c.act(os); });
  EXPECT_EQ(Lines(command), c.lines);
  EXPECT_EQ(SummarySentence(command), c.summary);
}

const ChangeCase kChangeCases[] = {
    // ---- attributes ----
    {"HiddenFolderMadeVisible", [](auto& s) { s.AddFolder("E:\\Photos", Attr::HiddenSystem); },
     [](auto& p) { p.SetFileAttributesA("E:\\Photos", Attr::Normal); },
     {"Attributes of E:\\Photos: hidden, system -> plain"},
     "1 hidden entry made visible."},
    {"SystemEntryHiddenAgain", [](auto& s) { s.AddFile("E:\\desktop.ini"); },
     [](auto& p) { p.SetFileAttributesA("E:\\desktop.ini", Attr::HiddenSystem); },
     {"Attributes of E:\\desktop.ini: plain -> hidden, system"},
     "1 entry hidden again."},
    {"ReadOnlyLifted", [](auto& s) { s.AddFile("E:\\notes.txt", Attr::ReadOnly | Attr::Archive); },
     [](auto& p) { p.SetFileAttributesA("E:\\notes.txt", Attr::Normal); },
     {"Attributes of E:\\notes.txt: read-only -> plain"},
     "Attributes of 1 entry changed."},
    {"EntryHiddenAgainWithinTheCommandIsNoChange", [](auto& s) { s.AddFile("E:\\desktop.ini", Attr::HiddenSystem); },
     [](auto& p) {
       p.SetFileAttributesA("E:\\desktop.ini", Attr::Normal);
       p.SetFileAttributesA("E:\\desktop.ini", Attr::HiddenSystem);
     },
     {},
     "Nothing was changed."},
    {"AttributesChangedTwiceAreOneChange", [](auto& s) { s.AddFile("E:\\x.txt", Attr::Hidden); },
     [](auto& p) {
       p.SetFileAttributesA("E:\\x.txt", Attr::Normal);
       p.SetFileAttributesA("E:\\x.txt", Attr::System);
     },
     {"Attributes of E:\\x.txt: hidden -> system"},
     "1 hidden entry made visible."},
    {"AttributesAsTheyWereAreNoChange", [](auto& s) { s.AddFile("E:\\a.txt", Attr::Archive); },
     [](auto& p) { p.SetFileAttributesA("E:\\a.txt", Attr::Normal); },  // only the archive mark goes
     {},
     "Nothing was changed."},
    {"PathShownWithoutLongPathPrefix", [](auto& s) { s.AddFile("E:\\x.", Attr::Hidden); },
     [](auto& p) { p.SetFileAttributesA("\\\\?\\E:\\x.", Attr::Normal); },
     {"Attributes of E:\\x.: hidden -> plain"},
     "1 hidden entry made visible."},
    {"AttributesRefusedOnAWriteProtectedMedium",
     [](auto& s) {
       s.AddFile("E:\\x.lnk", Attr::Hidden);
       s.RefuseAttributeChanges("E:\\x.lnk");
     },
     [](auto& p) { p.SetFileAttributesA("E:\\x.lnk", Attr::Normal); },
     {"Refused: attributes of E:\\x.lnk -> plain: The media is write protected. (error 19)"},
     "Attributes of 1 entry could not be changed."},
    {"NameThatWindowsRefuses", [](auto& s) { s.AddFile("E:\\a|b.lnk", Attr::Hidden); },
     [](auto& p) { p.SetFileAttributesA("E:\\a|b.lnk", Attr::Normal); },
     {"Refused: attributes of E:\\a|b.lnk -> plain: The filename, directory name, or volume label syntax is "
      "incorrect. (error 123)"},
     "Attributes of 1 entry could not be changed."},
    {"DeviceNotReady",
     [](auto& s) {
       s.AddFile("E:\\x.lnk", Attr::Hidden);
       s.SetDriveReady('E', false);
     },
     [](auto& p) { p.SetFileAttributesA("E:\\x.lnk", Attr::Normal); },
     {"Refused: attributes of E:\\x.lnk -> plain: The device is not ready. (error 21)"},
     "Attributes of 1 entry could not be changed."},
    // ---- files ----
    {"ShortcutDeletedWithItsSize",
     [](auto& s) {
       s.AddFile("E:\\Photos.lnk");
       s.SetFileContent("E:\\Photos.lnk", std::string(123, 'L'));
     },
     [](auto& p) { p.DeleteFileA("E:\\Photos.lnk"); },
     {"Deleted: E:\\Photos.lnk (123 bytes)"},
     "1 shortcut deleted."},
    {"LockedFileRefusedThreeTimesIsOneRefusal",
     [](auto& s) {
       s.AddFile("E:\\x7kq.vbs");
       s.SetFileContent("E:\\x7kq.vbs", "W");
       s.LockEntry("E:\\x7kq.vbs");
     },
     [](auto& p) {
       for (int i = 0; i < 3; ++i) p.DeleteFileA("E:\\x7kq.vbs");
     },
     {"Refused: delete E:\\x7kq.vbs (1 byte): The process cannot access the file because it is being used by "
      "another process. (error 32), 3 attempts"},
     "1 entry could not be deleted."},
    {"FolderIsNoFile", [](auto& s) { s.AddFolder("E:\\Music.lnk"); },
     [](auto& p) { p.DeleteFileA("E:\\Music.lnk"); },
     {"Refused: delete E:\\Music.lnk: Access is denied. (error 5)"},
     "1 entry could not be deleted."},
    {"MissingFileIsNothing", nullptr, [](auto& p) { p.DeleteFileA("E:\\gone.lnk"); }, {}, "Nothing was changed."},
    {"RefusalOvercomeLaterIsDropped",
     [](auto& s) {
       s.AddFile("E:\\run.cmd");
       s.LockEntry("E:\\run.cmd");
       s.OnFileOperation([&s](std::size_t count) {
         if (count == 3) s.LockEntry("E:\\run.cmd", false);  // the holder lets go after the first try
       });
     },
     [](auto& p) {
       p.DeleteFileA("E:\\run.cmd");
       p.DeleteFileA("E:\\run.cmd");
     },
     {"Deleted: E:\\run.cmd (0 bytes)"},
     "1 script deleted."},
    {"ReportWritten", nullptr, [](auto& p) { p.WriteTextFile("C:\\Users\\User\\r.txt", "hello", false); },
     {"Written: C:\\Users\\User\\r.txt (5 bytes)"},
     "1 file written."},
    {"ReportNotWrittenOverAnExistingFile", [](auto& s) { s.AddFile("C:\\Users\\User\\r.txt"); },
     [](auto& p) { p.WriteTextFile("C:\\Users\\User\\r.txt", "hello", false); },
     {"Refused: write C:\\Users\\User\\r.txt: The file exists. (error 80)"},
     "1 file could not be written."},
    // ---- processes and command lines ----
    {"ProcessHandedToTheKillTool", [](auto& s) { s.StartProcess("evil.exe", "C:\\Users\\User\\evil.exe"); },
     [](auto& p) { p.StartCommandLine("cmd /c pskill 1000", ShowCommand::MinimizedNoFocus); },
     {"Handed to the kill tool: process 1000 (C:\\Users\\User\\evil.exe)"},
     "1 process handed to the kill tool."},
    {"ProcessWhoseImageCannotBeReadIsNamedFromTheSnapshot",
     [](auto& s) { s.HideImagePath(s.StartProcess("evil.exe", "C:\\Users\\User\\evil.exe")); },
     [](auto& p) {
       const Handle snapshot = p.CreateToolhelp32Snapshot(Snapshot::All, 0);
       ProcessEntry32 entry;
       entry.dwSize = ProcessEntry32::kAnsiSize;
       for (bool more = p.Process32First(snapshot, entry); more; more = p.Process32Next(snapshot, entry)) {
       }
       p.CloseHandle(snapshot);
       p.StartCommandLine("cmd /c pskill 1000", ShowCommand::MinimizedNoFocus);
       p.StartCommandLine("cmd /c pskill 1000", ShowCommand::MinimizedNoFocus);
     },
     {"Handed to the kill tool: process 1000 (evil.exe), 2 times"},
     "1 process handed to the kill tool."},
    {"OtherCommandLine", nullptr, [](auto& p) { p.StartCommandLine("notepad.exe", 1); },
     {"Started: notepad.exe"},
     "1 command line started."},
    // ---- reading is no change ----
    {"ReadingCallsAreNotRecorded",
     [](auto& s) {
       s.AddFile("E:\\a.lnk", Attr::Hidden);
       s.SetRegistryValue(Root::CurrentUser, kKey, "V", RegistryValue::Dword(1));
     },
     [](auto& p) {
       p.PathFileExistsA("E:\\a.lnk");
       FileAttributeData data;
       p.GetFileAttributesExA("E:\\a.lnk", data);
       for (std::string name = p.DirFirst("E:\\*", ListMask::All); !name.empty(); name = p.DirNext()) {
       }
       DiskFreeSpace counts;
       p.GetDiskFreeSpaceA("E:\\", counts);
       Handle key = 0;
       p.RegOpenKeyA(Root::CurrentUser, kKey, key);
       std::uint32_t type = 0;
       std::uint32_t size = 0;
       p.RegQueryValueExA(key, "V", &type, nullptr, &size);
       char name[64];
       std::uint32_t nameLength = sizeof name;
       std::uint32_t dataLength = 0;
       p.RegEnumValueA(key, 0, name, nameLength, nullptr, nullptr, dataLength);
       p.RegCloseKey(key);
       p.MsgBox("Scan complete. No virus detect.", MsgStyle::Information);
       p.SetClipboardText("text");
       p.ShellExecuteA(0, nullptr, "https://example.org/", nullptr, nullptr, ShowCommand::Maximized);
       std::vector<std::uint8_t> bytes;
       p.ReadFileBytes("E:\\a.lnk", 16, bytes);
     },
     {},
     "Nothing was changed."},
    // ---- renames and empty folders ----
    {"FolderRenamedAndEntryMoved",
     [](auto& s) {
       s.AddFolder("E:\\\xC2\xA0", Attr::HiddenSystem);
       s.AddFile("E:\\\xC2\xA0\\a.doc");
     },
     [](auto& p) {
       p.MoveFileExA("\\\\?\\E:\\\xC2\xA0\\a.doc", "\\\\?\\E:\\a.doc");
       p.MoveFileExA("\\\\?\\E:\\\xC2\xA0", "\\\\?\\E:\\Recovered files");
     },
     {"Moved: E:\\\xC2\xA0\\a.doc -> E:\\a.doc", "Moved: E:\\\xC2\xA0 -> E:\\Recovered files"},
     "2 entries moved or renamed."},
    {"MoveOntoATakenNameRefused",
     [](auto& s) {
       s.AddFolder("E:\\_");
       s.AddFile("E:\\_\\a.doc");
       s.AddFile("E:\\A.DOC");
     },
     [](auto& p) { p.MoveFileExA("E:\\_\\a.doc", "E:\\a.doc"); },
     {"Refused: move E:\\_\\a.doc -> E:\\a.doc: Cannot create a file when that file already exists. (error 183)"},
     "1 entry could not be moved."},
    {"EmptyFolderRemovedAndAFullOneRefused",
     [](auto& s) {
       s.AddFolder("E:\\_");
       s.AddFolder("E:\\full");
       s.AddFile("E:\\full\\x.txt");
     },
     [](auto& p) {
       p.RemoveDirectoryA("E:\\_");
       p.RemoveDirectoryA("E:\\full");
       p.RemoveDirectoryA("E:\\missing");
     },
     {"Empty folder removed: E:\\_", "Refused: remove the empty folder E:\\full: The directory is not empty. (error 145)"},
     "1 empty folder removed, 1 folder could not be removed."},
};

INSTANTIATE_TEST_SUITE_P(Kinds, JournalCase, ::testing::ValuesIn(kChangeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Registry values and keys --------------------------------------------------------------

struct RegistryCase {
  const char* name;
  std::optional<RegistryValue> before;
  std::function<Status(Journal&)> act;
  std::vector<std::string> lines;
  std::string summary;
};

void PrintTo(const RegistryCase& c, std::ostream* out) { *out << c.name; }

class RegistryJournalCase : public Journal, public ::testing::WithParamInterface<RegistryCase> {};

TEST_P(RegistryJournalCase, RecordsTheValueBeforeAndAfter) {
  const RegistryCase& c = GetParam();
  if (c.before) sim.SetRegistryValue(Root::CurrentUser, kKey, "V", *c.before);
  const Command& command = Run([&] { c.act(*this); });
  EXPECT_EQ(Lines(command), c.lines);
  EXPECT_EQ(SummarySentence(command), c.summary);
}

const std::string kValue = "HKEY_CURRENT_USER\\Software\\Tidewick Test \"V\"";

const RegistryCase kRegistryCases[] = {
    {"CreatedValue", std::nullopt, [](auto& t) { return t.SetDword("V", 0); },
     {"Registry value " + kValue + ": no value -> REG_DWORD 0x00000000 (0)"},
     "1 registry value written."},
    {"ChangedValue", RegistryValue::Text("a"), [](auto& t) { return t.SetText("V", "b"); },
     {"Registry value " + kValue + ": REG_SZ \"a\" -> REG_SZ \"b\""},
     "1 registry value written."},
    {"TypeChanged", RegistryValue::Dword(1), [](auto& t) { return t.SetText("V", "1"); },
     {"Registry value " + kValue + ": REG_DWORD 0x00000001 (1) -> REG_SZ \"1\""},
     "1 registry value written."},
    {"WrittenAsItWasIsNoChange", RegistryValue::Dword(7), [](auto& t) { return t.SetDword("V", 7); }, {},
     "Nothing was changed."},
    {"DeletedValue", RegistryValue::Text("C:\\Users\\User\\evil.exe"), [](auto& t) { return t.DeleteValue("V"); },
     {"Registry value " + kValue + ": REG_SZ \"C:\\Users\\User\\evil.exe\" -> no value"},
     "1 registry value deleted."},
    {"ChangedTwiceIsOneChange", RegistryValue::Dword(1),
     [](auto& t) {
       t.SetDword("V", 2);
       return t.SetDword("V", 3);
     },
     {"Registry value " + kValue + ": REG_DWORD 0x00000001 (1) -> REG_DWORD 0x00000003 (3)"},
     "1 registry value written."},
    {"WrittenAndDeletedAgainIsNoChange", std::nullopt,
     [](auto& t) {
       t.SetDword("V", 2);
       return t.DeleteValue("V");
     },
     {},
     "Nothing was changed."},
    {"DeletingAMissingValueIsNothing", std::nullopt, [](auto& t) { return t.DeleteValue("V"); }, {},
     "Nothing was changed."},
    {"BinaryValue", RegistryValue::Bytes(RegType::Binary, {0x01, 0xAB}),
     [](auto& t) { return t.SetText("V", "%TEMP%\\x.exe", RegType::ExpandSz); },
     {"Registry value " + kValue + ": REG_BINARY 01 ab -> REG_EXPAND_SZ \"%TEMP%\\x.exe\""},
     "1 registry value written."},
    {"UnnamedValue", std::nullopt, [](auto& t) { return t.SetText("", "x"); },
     {"Registry value HKEY_CURRENT_USER\\Software\\Tidewick Test (Default): no value -> REG_SZ \"x\""},
     "1 registry value written."},
};

INSTANTIATE_TEST_SUITE_P(Values, RegistryJournalCase, ::testing::ValuesIn(kRegistryCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Journal, CreatingAKeyRecordsEachLevelThatWasMissing) {
  const Command& command = Run([&] {
    Handle key = 0;
    ASSERT_EQ(os.RegCreateKeyA(Root::CurrentUser, "Software\\Policies\\Microsoft\\Windows\\System\\", key),
              StatusCode::Success);
    const std::uint32_t zero = 0;
    os.RegSetValueExA(key, "DisableCMD", 0, RegType::Dword, &zero, sizeof zero);
    os.RegCloseKey(key);
    // Created again: it exists now, nothing new.
    os.RegCreateKeyA(Root::CurrentUser, "Software\\Policies\\Microsoft\\Windows\\System", key);
    os.RegCloseKey(key);
  });
  EXPECT_THAT(Lines(command),
              ElementsAre("Registry key created: HKEY_CURRENT_USER\\Software\\Policies",
                          "Registry key created: HKEY_CURRENT_USER\\Software\\Policies\\Microsoft",
                          "Registry key created: HKEY_CURRENT_USER\\Software\\Policies\\Microsoft\\Windows",
                          "Registry key created: HKEY_CURRENT_USER\\Software\\Policies\\Microsoft\\Windows\\System",
                          "Registry value HKEY_CURRENT_USER\\Software\\Policies\\Microsoft\\Windows\\System "
                          "\"DisableCMD\": no value -> REG_DWORD 0x00000000 (0)"));
  EXPECT_EQ(SummarySentence(command), "1 registry value written, 4 registry keys created.");
  EXPECT_EQ(sim.OpenHandleCount(), 0u) << "the journal's own probes close what they open";
}

TEST_F(Journal, AWriteWhereTheKeyCannotBeCreatedIsRefusedWithTheCreationsReason) {
  sim.RefuseRegistryWrites(Root::LocalMachine);
  const Command& command = Run([&] {
    Handle key = 0;
    os.RegCreateKeyA(Root::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", key);
    const std::uint32_t zero = 0;
    os.RegSetValueExA(key, "DisableTaskMgr", 0, RegType::Dword, &zero, sizeof zero);
    os.RegCloseKey(key);
  });
  EXPECT_THAT(Lines(command),
              ElementsAre("Refused: registry value HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                          "Policies\\System \"DisableTaskMgr\" -> REG_DWORD 0x00000000 (0): Access is denied. (error 5)"));
  EXPECT_EQ(SummarySentence(command), "1 registry value could not be changed.");
}

TEST_F(Journal, AKeyDeletedThroughAnOpenKeyIsNamedInFull) {
  sim.CreateRegistryKey(Root::CurrentUser, "Software\\Tidewick Test\\Old");
  const Command& command = Run([&] {
    WithKey(Root::CurrentUser, kKey, [&](Handle key) { return os.RegDeleteKeyA(key, "Old"); });
  });
  EXPECT_THAT(Lines(command), ElementsAre("Registry key deleted: HKEY_CURRENT_USER\\Software\\Tidewick Test\\Old"));
  EXPECT_FALSE(sim.RegistryKeyExists(Root::CurrentUser, "Software\\Tidewick Test\\Old"));
}

// ---- Summary sentences ---------------------------------------------------------------------

TEST_F(Journal, TheSummarySaysWhatACleanedStickWentThrough) {
  for (int i = 0; i < 12; ++i) sim.AddFolder("E:\\Folder " + std::to_string(i), Attr::HiddenSystem);
  for (const char* name : {"E:\\a.lnk", "E:\\b.lnk", "E:\\c.lnk", "E:\\x.vbs", "E:\\held.lnk"}) sim.AddFile(name);
  sim.LockEntry("E:\\held.lnk");
  const Command& command = Run([&] {
    for (int i = 0; i < 12; ++i) os.SetFileAttributesA("E:\\Folder " + std::to_string(i), Attr::Normal);
    for (const char* name : {"E:\\a.lnk", "E:\\b.lnk", "E:\\c.lnk", "E:\\x.vbs", "E:\\held.lnk"}) os.DeleteFileA(name);
  });
  EXPECT_EQ(SummarySentence(command),
            "12 hidden entries made visible, 3 shortcuts and 1 script deleted, 1 entry could not be deleted.");
}

TEST_F(Journal, FilesDeletedAreCountedByKind) {
  for (const char* name : {"E:\\autorun.inf", "E:\\Photos.exe", "E:\\x.scr", "E:\\notes.txt", "E:\\y.pif"}) {
    sim.AddFile(name);
  }
  const Command& command = Run([&] {
    for (const char* name : {"E:\\autorun.inf", "E:\\Photos.exe", "E:\\x.scr", "E:\\notes.txt", "E:\\y.pif"}) {
      os.DeleteFileA(name);
    }
  });
  EXPECT_EQ(SummarySentence(command), "1 shortcut, 1 autorun file, 2 programs and 1 file deleted.");
}

// ---- Commands ------------------------------------------------------------------------------

TEST_F(Journal, ChangesAreGroupedByTheCommandThatMadeThemNewestLast) {
  sim.AddFile("E:\\a.lnk", Attr::Hidden);
  sim.AddFile("E:\\b.lnk");
  {
    CommandScope scan(&journal, "Scan of E:\\");
    os.SetFileAttributesA("E:\\a.lnk", Attr::Normal);
  }
  sim.AdvanceClock(65'000);
  {
    CommandScope remove(&journal, "Delete");
    os.DeleteFileA("E:\\a.lnk");
    {
      CommandScope repair(&journal, "Registry repair");
      SetDword("V", 0);
    }
    os.DeleteFileA("E:\\b.lnk");
  }
  {
    CommandScope nothing(&journal, "Scan of the computer");
  }
  os.StartCommandLine("notepad.exe", 1);  // outside every command

  const std::vector<Command>& commands = journal.Commands();
  ASSERT_EQ(commands.size(), 6u);
  std::vector<std::string> titles;
  for (const Command& command : commands) titles.push_back(command.title);
  EXPECT_THAT(titles, ElementsAre("Scan of E:\\", "Delete", "Registry repair", "Delete (continued)",
                                  "Scan of the computer", "Other changes"));
  EXPECT_THAT(Lines(commands[1]), ElementsAre("Deleted: E:\\a.lnk (0 bytes)"));
  EXPECT_THAT(Lines(commands[3]), ElementsAre("Deleted: E:\\b.lnk (0 bytes)"));
  EXPECT_THAT(commands[4].changes, IsEmpty());
  EXPECT_EQ(commands[0].time.minute, 0);
  EXPECT_EQ(commands[1].time.minute, 1);
  EXPECT_EQ(commands[1].time.second, 5);
}

TEST_F(Journal, TheReportShowsTheSummaryThenEveryChange) {
  sim.AddFolder("E:\\Photos", Attr::HiddenSystem);
  sim.AddFile("E:\\Photos.lnk");
  sim.SetFileContent("E:\\Photos.lnk", "LNK");
  sim.AdvanceClock(5'000);
  {
    CommandScope scan(&journal, "Scan of E:\\");
    os.SetFileAttributesA("E:\\Photos", Attr::Normal);
  }
  sim.AdvanceClock(2'000);
  {
    CommandScope remove(&journal, "Delete");
    os.DeleteFileA("E:\\Photos.lnk");
  }
  {
    CommandScope nothing(&journal, "Scan of the computer");
  }
  EXPECT_EQ(ReportText(journal),
            "Changes made by Tidewick since it started on 2024-03-01 at 09:00:00, newest last.\r\n"
            "\r\n"
            "09:00:05  Scan of E:\\ - 1 hidden entry made visible.\r\n"
            "09:00:07  Delete - 1 shortcut deleted.\r\n"
            "09:00:07  Scan of the computer - Nothing was changed.\r\n"
            "\r\n"
            "09:00:05  Scan of E:\\\r\n"
            "    Attributes of E:\\Photos: hidden, system -> plain\r\n"
            "\r\n"
            "09:00:07  Delete\r\n"
            "    Deleted: E:\\Photos.lnk (3 bytes)\r\n"
            "\r\n"
            "09:00:07  Scan of the computer\r\n"
            "    Nothing was changed.\r\n");
}

TEST_F(Journal, AnEmptyJournalSaysSo) {
  EXPECT_EQ(ReportText(journal), "Tidewick has changed nothing since it started on 2024-03-01 at 09:00:00.\r\n");
}

TEST(ErrorWords, CommonCodesInWordsOthersByNumber) {
  EXPECT_EQ(ErrorInWords(5), "Access is denied. (error 5)");
  EXPECT_EQ(ErrorInWords(2), "The system cannot find the file specified. (error 2)");
  EXPECT_EQ(ErrorInWords(3), "The system cannot find the path specified. (error 3)");
  EXPECT_EQ(ErrorInWords(32), "The process cannot access the file because it is being used by another process. (error 32)");
  EXPECT_EQ(ErrorInWords(19), "The media is write protected. (error 19)");
  EXPECT_EQ(ErrorInWords(21), "The device is not ready. (error 21)");
  EXPECT_EQ(ErrorInWords(123), "The filename, directory name, or volume label syntax is incorrect. (error 123)");
  EXPECT_EQ(ErrorInWords(4242), "Windows error 4242.");
}

TEST(ShownPaths, WithoutTheLongPathPrefix) {
  EXPECT_EQ(ShownPath("\\\\?\\E:\\a"), "E:\\a");
  EXPECT_EQ(ShownPath("\\\\?\\UNC\\server\\share\\a"), "\\\\server\\share\\a");
  EXPECT_EQ(ShownPath("E:\\a"), "E:\\a");
}

// ---- Undo of the registry changes ----------------------------------------------------------

TEST_F(Journal, UndoPutsEveryValueBackAsItWasBeforeTheFirstChange) {
  const RegistryValue expandable = RegistryValue::Text("%APPDATA%\\evil.exe", RegType::ExpandSz);
  sim.SetRegistryValue(Root::CurrentUser, kKey, "Changed", RegistryValue::Dword(1));
  sim.SetRegistryValue(Root::CurrentUser, kKey, "Deleted", expandable);
  sim.SetRegistryValue(Root::CurrentUser, kKey, "Binary", RegistryValue::Bytes(RegType::Binary, {0, 1, 2}));
  {
    CommandScope remove(&journal, "Delete");
    SetDword("Created", 0);
    SetDword("Changed", 0);
    SetDword("Changed", 5);  // changed twice: back to before the first change
    DeleteValue("Deleted");
    DeleteValue("Binary");
    Handle key = 0;
    os.RegCreateKeyA(Root::CurrentUser, "Software\\Tidewick Test\\New\\Deeper", key);
    const std::uint32_t one = 1;
    os.RegSetValueExA(key, "Inside", 0, RegType::Dword, &one, sizeof one);
    os.RegCloseKey(key);
  }

  const RegistryUndoPlan plan = PlanRegistryUndo(journal, os);
  std::vector<std::string> planned;
  for (const RegistryRestore& restore : plan.values) planned.push_back(restore.valueName + ": " + RegValueText(restore.before));
  EXPECT_THAT(planned, ElementsAre("Created: no value", "Changed: REG_DWORD 0x00000001 (1)",
                                   "Deleted: REG_EXPAND_SZ \"%APPDATA%\\evil.exe\"", "Binary: REG_BINARY 00 01 02",
                                   "Inside: no value"));
  ASSERT_EQ(plan.createdKeys.size(), 2u);
  EXPECT_EQ(plan.createdKeys[0].keyPath, "Software\\Tidewick Test\\New\\Deeper") << "deepest first";
  EXPECT_EQ(plan.createdKeys[1].keyPath, "Software\\Tidewick Test\\New");

  {
    CommandScope undo(&journal, "Undo Registry Changes");
    EXPECT_EQ(UndoRegistryChanges(plan, os), 0);
  }

  EXPECT_FALSE(sim.RegistryValueAt(Root::CurrentUser, kKey, "Created").has_value());
  const auto changed = sim.RegistryValueAt(Root::CurrentUser, kKey, "Changed");
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->type, RegType::Dword);
  EXPECT_EQ(changed->data, RegistryValue::Dword(1).data);
  const auto deleted = sim.RegistryValueAt(Root::CurrentUser, kKey, "Deleted");
  ASSERT_TRUE(deleted);
  EXPECT_EQ(deleted->type, RegType::ExpandSz);
  EXPECT_EQ(deleted->data, expandable.data);
  const auto binary = sim.RegistryValueAt(Root::CurrentUser, kKey, "Binary");
  ASSERT_TRUE(binary);
  EXPECT_EQ(binary->type, RegType::Binary);
  EXPECT_EQ(binary->data, (std::vector<std::uint8_t>{0, 1, 2}));
  EXPECT_FALSE(sim.RegistryKeyExists(Root::CurrentUser, "Software\\Tidewick Test\\New"));
  EXPECT_TRUE(sim.RegistryKeyExists(Root::CurrentUser, kKey)) << "a key that was there before stays";
  EXPECT_EQ(sim.OpenHandleCount(), 0u);

  // The undo is itself recorded, and afterwards nothing is left to undo.
  const Command& undo = journal.Commands().back();
  EXPECT_EQ(undo.title, "Undo Registry Changes");
  EXPECT_EQ(SummarySentence(undo),
            "3 registry values written, 2 registry values deleted, 2 registry keys deleted.");
  EXPECT_TRUE(PlanRegistryUndo(journal, os).Empty());
}

TEST_F(Journal, NothingToUndoWithoutRegistryChanges) {
  sim.AddFile("E:\\a.lnk");
  {
    CommandScope remove(&journal, "Delete");
    os.DeleteFileA("E:\\a.lnk");
    SetDword("Same", 0);
    DeleteValue("Same");  // created and deleted again: as before
  }
  EXPECT_TRUE(PlanRegistryUndo(journal, os).Empty());
}

TEST_F(Journal, AnUndoTheSystemRefusesIsCountedAndRecorded) {
  {
    CommandScope remove(&journal, "Delete");
    SetDword("Created", 0);
  }
  const RegistryUndoPlan plan = PlanRegistryUndo(journal, os);
  sim.RefuseRegistryWrites(Root::CurrentUser);
  {
    CommandScope undo(&journal, "Undo Registry Changes");
    EXPECT_EQ(UndoRegistryChanges(plan, os), 1);
  }
  EXPECT_THAT(Lines(journal.Commands().back()),
              ElementsAre("Refused: delete registry value " + std::string("HKEY_CURRENT_USER\\Software\\Tidewick Test ") +
                          "\"Created\": Access is denied. (error 5)"));
  EXPECT_TRUE(sim.RegistryValueAt(Root::CurrentUser, kKey, "Created").has_value());
}

}  // namespace
}  // namespace tidewick
