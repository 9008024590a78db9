// What only the simulated computer does: its set-up and inspection calls, refusals, drives that
// are not ready or vanish, the kill-tool model, the clock, scripted message boxes and the hooks.
// What holds for the real system as well is checked by the contract suite (tests/contract).
#include "platform/simulated/simulated_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tidewick::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> List(SimulatedPlatform& os, std::string_view pattern,
                              std::uint32_t mask = ListMask::All) {
  std::vector<std::string> names;
  for (std::string name = os.DirFirst(pattern, mask); !name.empty() && names.size() < 1000;
       name = os.DirNext()) {
    names.push_back(name);
  }
  return names;
}

// ---- Registry ----

class SimRegistry : public ::testing::Test {
 protected:
  SimulatedPlatform os;
  static constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
};

TEST_F(SimRegistry, HandlesAreDistinctNonZeroAndNeverReused) {
  os.CreateRegistryKey(Root::CurrentUser, kRun);
  std::vector<Handle> seen;
  for (int k = 0; k < 3; ++k) {
    Handle key = 0;
    ASSERT_EQ(os.RegOpenKeyA(Root::CurrentUser, kRun, key), StatusCode::Success);
    EXPECT_EQ(os.OpenHandleCount(), 1u);
    EXPECT_NE(key, 0u);
    for (const Handle earlier : seen) EXPECT_NE(key, earlier);
    seen.push_back(key);
    EXPECT_EQ(os.RegCloseKey(key), StatusCode::Success);
    EXPECT_EQ(os.OpenHandleCount(), 0u);
    // A closed handle is dead.
    EXPECT_EQ(os.RegCloseKey(key), StatusCode::InvalidHandle);
    std::uint32_t size = 0;
    EXPECT_EQ(os.RegQueryValueExA(key, "x", nullptr, nullptr, &size), StatusCode::InvalidHandle);
  }
}

TEST_F(SimRegistry, SetUpAndInspectionIgnoreCaseAndTrailingBackslash) {
  os.SetRegistryValue(Root::CurrentUser, "Software\\Tool\\", "Name", RegistryValue::Text("x"));
  EXPECT_TRUE(os.RegistryKeyExists(Root::CurrentUser, "SOFTWARE\\tool"));
  const auto value = os.RegistryValueAt(Root::CurrentUser, "software\\TOOL\\", "NAME");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, RegType::Sz);
  EXPECT_EQ(value->data, (std::vector<std::uint8_t>{'x', 0}));
  EXPECT_FALSE(os.RegistryValueAt(Root::LocalMachine, "Software\\Tool", "Name").has_value());

  os.SetRegistryValue(Root::CurrentUser, "Software\\Tool\\Sub", "N", RegistryValue::Dword(5));
  EXPECT_EQ(os.RegistryValueCount(Root::CurrentUser, "Software"), 2u);
  EXPECT_EQ(os.RegistryValueCount(Root::CurrentUser), 2u);
  os.DeleteRegistryKey(Root::CurrentUser, "software\\tool");
  EXPECT_FALSE(os.RegistryKeyExists(Root::CurrentUser, "Software\\Tool\\Sub"));
  EXPECT_TRUE(os.RegistryKeyExists(Root::CurrentUser, "Software"));
  EXPECT_EQ(os.RegistryValueCount(Root::CurrentUser), 0u);
}

TEST_F(SimRegistry, RefusedWritesFailCreateSetAndDeleteButNotOpen) {
  os.SetRegistryValue(Root::LocalMachine, "Software\\Policies", "Old", RegistryValue::Dword(1));
  os.RefuseRegistryWrites(Root::LocalMachine);

  Handle created = 0x99;
  EXPECT_EQ(os.RegCreateKeyA(Root::LocalMachine, "Software\\Policies\\New", created),
            StatusCode::AccessDenied);
  EXPECT_EQ(created, 0u);
  EXPECT_FALSE(os.RegistryKeyExists(Root::LocalMachine, "Software\\Policies\\New"));

  Handle opened = 0;
  ASSERT_EQ(os.RegOpenKeyA(Root::LocalMachine, "Software\\Policies", opened), StatusCode::Success);
  const std::uint32_t zero = 0;
  EXPECT_EQ(os.RegSetValueExA(opened, "Old", 0, RegType::Dword, &zero, 4), StatusCode::AccessDenied);
  EXPECT_EQ(os.RegDeleteValueA(opened, "Old"), StatusCode::AccessDenied);
  EXPECT_EQ(os.RegistryValueAt(Root::LocalMachine, "Software\\Policies", "Old")->data,
            RegistryValue::Dword(1).data);
  os.RegCloseKey(opened);

  // The current user's own keys stay writable.
  Handle user = 0;
  EXPECT_EQ(os.RegCreateKeyA(Root::CurrentUser, "Software\\Policies", user), StatusCode::Success);
  EXPECT_EQ(os.RegSetValueExA(user, "Old", 0, RegType::Dword, &zero, 4), StatusCode::Success);
  os.RegCloseKey(user);

  os.RefuseRegistryWrites(Root::LocalMachine, false);
  EXPECT_EQ(os.RegCreateKeyA(Root::LocalMachine, "Software\\Policies\\New", created), StatusCode::Success);
  os.RegCloseKey(created);
}

TEST_F(SimRegistry, RefusedOpenDeniesThatKeyOnly) {
  os.CreateRegistryKey(Root::CurrentUser, std::string(kRun) + "\\Inner");
  os.RefuseRegistryOpen(Root::CurrentUser, std::string(kRun) + "\\");

  for (const std::string& path : {std::string(kRun), std::string("software\\MICROSOFT\\windows\\CurrentVersion\\run\\")}) {
    Handle key = 0x55;
    EXPECT_EQ(os.RegOpenKeyExA(Root::CurrentUser, path, 0, KeyAccess::Open, key), StatusCode::AccessDenied);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(os.RegOpenKeyA(Root::CurrentUser, path, key), StatusCode::AccessDenied);
    EXPECT_EQ(key, 0u);
  }
  Handle inner = 0;
  EXPECT_EQ(os.RegOpenKeyA(Root::CurrentUser, std::string(kRun) + "\\Inner", inner), StatusCode::Success);
  os.RegCloseKey(inner);
}

TEST_F(SimRegistry, WritesAreRecordedAsMadeWithTheirStatus) {
  os.RefuseRegistryWrites(Root::LocalMachine);
  os.CreateRegistryKey(Root::LocalMachine, "Software\\X");
  const std::uint32_t one = 1;

  Handle user = 0;
  os.RegCreateKeyA(Root::CurrentUser, "Software\\X\\", user);
  os.RegSetValueExA(user, "A", 0, RegType::Dword, &one, 4);
  Handle machine = 0;
  os.RegOpenKeyA(Root::LocalMachine, "Software\\X", machine);
  os.RegSetValueExA(machine, "B", 0, RegType::Dword, &one, 4);
  os.RegSetValueExA(0, "C", 0, RegType::Dword, &one, 4);

  const auto& writes = os.RegistryWrites();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0].root, Root::CurrentUser);
  EXPECT_EQ(writes[0].subKey, "Software\\X\\");
  EXPECT_EQ(writes[0].valueName, "A");
  EXPECT_EQ(writes[0].type, RegType::Dword);
  EXPECT_EQ(writes[0].data, RegistryValue::Dword(1).data);
  EXPECT_EQ(writes[0].status, StatusCode::Success);
  EXPECT_EQ(writes[1].root, Root::LocalMachine);
  EXPECT_EQ(writes[1].status, StatusCode::AccessDenied);
  EXPECT_EQ(writes[2].root, 0u);
  EXPECT_EQ(writes[2].status, StatusCode::InvalidHandle);

  os.ClearRegistryWrites();
  EXPECT_THAT(os.RegistryWrites(), IsEmpty());
  os.RegCloseKey(user);
  os.RegCloseKey(machine);
}

TEST_F(SimRegistry, KeysOpenRelativeToAnOpenKey) {
  os.SetRegistryValue(Root::CurrentUser, "Software\\A\\B", "V", RegistryValue::Dword(3));
  Handle a = 0;
  ASSERT_EQ(os.RegOpenKeyA(Root::CurrentUser, "Software\\A", a), StatusCode::Success);
  Handle b = 0;
  ASSERT_EQ(os.RegOpenKeyA(a, "b", b), StatusCode::Success);
  std::uint32_t value = 0;
  std::uint32_t size = 4;
  EXPECT_EQ(os.RegQueryValueExA(b, "v", nullptr, &value, &size), StatusCode::Success);
  EXPECT_EQ(value, 3u);
  os.RegCloseKey(b);
  os.RegCloseKey(a);
}

TEST_F(SimRegistry, SizesAnswerTheNeedWhenBuffersAreShort) {
  os.SetRegistryValue(Root::CurrentUser, kRun, "First", RegistryValue::Text("0123456789"));
  os.SetRegistryValue(Root::CurrentUser, kRun, "Second", RegistryValue::Dword(2));
  Handle key = 0;
  ASSERT_EQ(os.RegOpenKeyA(Root::CurrentUser, kRun, key), StatusCode::Success);

  char data[4];
  std::uint32_t size = sizeof data;
  std::uint32_t type = 0;
  EXPECT_EQ(os.RegQueryValueExA(key, "First", &type, data, &size), StatusCode::MoreData);
  EXPECT_EQ(size, 11u);

  char name[16];
  std::uint32_t nameLength = sizeof name;
  std::uint8_t bytes[4];
  std::uint32_t dataLength = sizeof bytes;
  EXPECT_EQ(os.RegEnumValueA(key, 0, name, nameLength, &type, bytes, dataLength), StatusCode::MoreData);
  EXPECT_EQ(dataLength, 11u);
  // A name must fit with its terminator: "Second" needs 7 bytes.
  nameLength = 6;
  dataLength = sizeof bytes;
  EXPECT_EQ(os.RegEnumValueA(key, 1, name, nameLength, &type, bytes, dataLength), StatusCode::MoreData);
  nameLength = 7;
  dataLength = sizeof bytes;
  EXPECT_EQ(os.RegEnumValueA(key, 1, name, nameLength, &type, bytes, dataLength), StatusCode::Success);
  EXPECT_EQ(std::string(name, nameLength), "Second");  // creation order
  nameLength = sizeof name;
  EXPECT_EQ(os.RegEnumValueA(key, 2, name, nameLength, &type, bytes, dataLength), StatusCode::NoMoreItems);
  os.RegCloseKey(key);
}

TEST_F(SimRegistry, AKeyDeletedWhileOpenFailsItsCalls) {
  os.SetRegistryValue(Root::CurrentUser, kRun, "x", RegistryValue::Dword(1));
  Handle key = 0;
  ASSERT_EQ(os.RegOpenKeyA(Root::CurrentUser, kRun, key), StatusCode::Success);
  os.DeleteRegistryKey(Root::CurrentUser, kRun);
  std::uint32_t size = 0;
  EXPECT_NE(os.RegQueryValueExA(key, "x", nullptr, nullptr, &size), StatusCode::Success);
  const std::uint32_t one = 1;
  EXPECT_NE(os.RegSetValueExA(key, "y", 0, RegType::Dword, &one, 4), StatusCode::Success);
  EXPECT_FALSE(os.RegistryKeyExists(Root::CurrentUser, kRun));
  EXPECT_EQ(os.RegCloseKey(key), StatusCode::Success);
}

// ---- Files ----

class SimFiles : public ::testing::Test {
 protected:
  SimFiles() {
    os.AddDrive('C');
    os.AddFolder("C:\\Tool");
    os.SetCurrentFolder("C:\\Tool");
    os.AddDrive('E');
  }
  SimulatedPlatform os;
};

TEST_F(SimFiles, ListingKeepsCreationOrderAfterTheDotEntries) {
  for (const char* name : {"E:\\zeta", "E:\\Alpha.lnk", "E:\\mid.exe"}) os.AddFile(name);
  os.AddFolder("E:\\Dir\\Deep");
  os.AddFile("E:\\Dir\\b");
  os.AddFile("E:\\Dir\\a");
  EXPECT_THAT(List(os, "E:\\*"), ElementsAre("zeta", "Alpha.lnk", "mid.exe", "Dir"));
  EXPECT_THAT(List(os, "e:\\dir\\*"), ElementsAre(".", "..", "Deep", "b", "a"));
  EXPECT_THAT(os.EntriesOf("E:\\DIR"), ElementsAre("Deep", "b", "a"));
}

TEST_F(SimFiles, ListingPatternsUseFileNameWildcards) {
  for (const char* name : {"E:\\readme", "E:\\a.txt", "E:\\b.TXT", "E:\\[x].txt", "E:\\#1.txt"}) {
    os.AddFile(name);
  }
  struct Case {
    const char* pattern;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {"E:\\*.*", {"readme", "a.txt", "b.TXT", "[x].txt", "#1.txt"}},
      {"E:\\?.txt", {"a.txt", "b.TXT"}},
      {"E:\\[x]*", {"[x].txt"}},  // brackets and `#` are ordinary characters in file names
      {"E:\\#1.txt", {"#1.txt"}},
      {"E:\\README", {"readme"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(List(os, c.pattern), c.names);
  }
}

TEST_F(SimFiles, AttributesReadLikeGetFileAttributes) {
  os.AddFile("E:\\a.exe");  // a new file is archived
  os.AddFile("E:\\b.exe", 0);
  os.AddFolder("E:\\Photos", Attr::Hidden | Attr::ReadOnly);
  EXPECT_EQ(os.AttributesOf("E:\\a.exe"), Attr::Archive);
  EXPECT_EQ(os.AttributesOf("E:\\b.exe"), Attr::Normal);
  EXPECT_EQ(os.AttributesOf("E:\\Photos"),
            Attr::Directory | Attr::Hidden | Attr::ReadOnly);
  EXPECT_EQ(os.AttributesOf("E:\\"), Attr::Directory);
  EXPECT_FALSE(os.AttributesOf("E:\\missing").has_value());

  // 128 clears archive too; 6 sets exactly hidden and system.
  EXPECT_TRUE(os.SetFileAttributesA("E:\\a.exe", Attr::Normal));
  EXPECT_EQ(os.AttributesOf("E:\\a.exe"), Attr::Normal);
  EXPECT_TRUE(os.SetFileAttributesA("E:\\Photos", Attr::Normal));
  EXPECT_EQ(os.AttributesOf("E:\\Photos"), Attr::Directory);
  os.AddFile("E:\\c.ini", Attr::Archive | Attr::ReadOnly);
  EXPECT_TRUE(os.SetFileAttributesA("E:\\c.ini", Attr::HiddenSystem));
  EXPECT_EQ(os.AttributesOf("E:\\c.ini"), Attr::HiddenSystem);
}

TEST_F(SimFiles, RefusedAttributeChangesLeaveTheEntryAsItWas) {
  os.AddFile("E:\\stuck.lnk", Attr::Hidden);
  os.RefuseAttributeChanges("E:\\stuck.lnk");
  EXPECT_FALSE(os.SetFileAttributesA("E:\\stuck.lnk", Attr::Normal));
  EXPECT_EQ(os.AttributesOf("E:\\stuck.lnk"), Attr::Hidden);
  os.RefuseAttributeChanges("E:\\stuck.lnk", false);
  EXPECT_TRUE(os.SetFileAttributesA("E:\\stuck.lnk", Attr::Normal));
}

TEST_F(SimFiles, ANameWindowsRefusesInPathsIsListedButReachedByNoCall) {
  for (const char* name : {"E:\\a | b.lnk", "E:\\what?.lnk", "E:\\st*r.exe", "E:\\<x>.vbs", "E:\\say \"hi\".inf"}) {
    SCOPED_TRACE(name);
    os.AddFile(name, Attr::Hidden);
    EXPECT_FALSE(os.PathFileExistsA(name));
    EXPECT_FALSE(os.SetFileAttributesA(name, Attr::Normal));
    EXPECT_FALSE(os.DeleteFileA(name));
    EXPECT_EQ(os.AttributesOf(name), Attr::Hidden);
  }
  EXPECT_THAT(List(os, "E:\\*"), ElementsAre("a | b.lnk", "what?.lnk", "st*r.exe", "<x>.vbs", "say \"hi\".inf"));
  EXPECT_THAT(List(os, "E:\\a | b.lnk"), ElementsAre("a | b.lnk"));
}

TEST_F(SimFiles, ADriveWithoutMediumAnswersNothingUntilReady) {
  os.AddFile("E:\\autorun.inf", Attr::Hidden);
  os.SetDriveReady('E', false);
  DiskFreeSpace counts;
  EXPECT_FALSE(os.GetDiskFreeSpaceA("E:\\", counts));
  EXPECT_FALSE(os.PathFileExistsA("E:\\autorun.inf"));
  EXPECT_FALSE(os.SetFileAttributesA("E:\\autorun.inf", Attr::Normal));
  EXPECT_FALSE(os.DeleteFileA("E:\\autorun.inf"));
  EXPECT_EQ(os.DirFirst("E:\\*", ListMask::All), "");
  EXPECT_TRUE(os.DirFailed());
  // The medium itself is untouched, and inspection still sees it.
  EXPECT_EQ(os.AttributesOf("E:\\autorun.inf"), Attr::Hidden);

  os.SetDriveReady('E', true);
  EXPECT_TRUE(os.GetDiskFreeSpaceA("E:\\", counts));
  EXPECT_THAT(List(os, "E:\\*"), ElementsAre("autorun.inf"));
  EXPECT_FALSE(os.DirFailed());
}

TEST_F(SimFiles, ADriveRemovedMidListingEndsItAsFailed) {
  for (const char* name : {"E:\\a", "E:\\b", "E:\\c"}) os.AddFile(name);
  EXPECT_EQ(os.DirFirst("E:\\*", ListMask::All), "a");
  os.RemoveDrive('E');
  EXPECT_EQ(os.DirNext(), "");
  EXPECT_TRUE(os.DirFailed());
  EXPECT_FALSE(os.Exists("E:\\"));
  EXPECT_FALSE(os.Exists("E:\\a"));
  DiskFreeSpace counts;
  EXPECT_FALSE(os.GetDiskFreeSpaceA("E:\\", counts));
}

// A stick pulled out and another put in under the same letter: each medium keeps its entries
// and its serial number, and a listing of the first does not go on over the second.
TEST_F(SimFiles, MediaSwappedUnderALetterKeepTheirEntriesAndSerials) {
  os.AddFile("E:\\autorun.inf");
  os.AddFile("E:\\one.txt");
  std::uint32_t first = 0;
  ASSERT_TRUE(os.GetVolumeInformationA("E:\\", first));
  std::uint32_t drive = 0;
  ASSERT_TRUE(os.GetVolumeInformationA("C:\\", drive));
  EXPECT_NE(first, drive);  // every medium made has a serial of its own
  EXPECT_EQ(os.VolumeSerialOf('E'), first);
  EXPECT_EQ(os.DirFirst("E:\\*", ListMask::All), "autorun.inf");

  os.EjectMedium('E', "stick one");
  // Out: the letter is there without medium.
  std::uint32_t none = 7;
  EXPECT_FALSE(os.GetVolumeInformationA("E:\\", none));
  EXPECT_EQ(none, 7u);
  DiskFreeSpace counts;
  EXPECT_FALSE(os.GetDiskFreeSpaceA("E:\\", counts));
  EXPECT_FALSE(os.Exists("E:\\autorun.inf"));
  EXPECT_EQ(os.VolumeSerialOf('E'), std::nullopt);

  os.InsertNewMedium('E', 0x1234ABCDu);
  os.AddFile("E:\\autorun.inf");
  EXPECT_EQ(os.DirNext(), "");  // the listing of the first stick ended with it
  EXPECT_TRUE(os.DirFailed());
  std::uint32_t second = 0;
  EXPECT_TRUE(os.GetVolumeInformationA("E:\\", second));
  EXPECT_EQ(second, 0x1234ABCDu);
  EXPECT_THAT(List(os, "E:\\*"), ElementsAre("autorun.inf"));

  os.EjectMedium('E', "stick two");
  os.InsertMedium('E', "Stick One");
  EXPECT_THAT(List(os, "E:\\*"), ElementsAre("autorun.inf", "one.txt"));
  EXPECT_TRUE(os.GetVolumeInformationA("e:\\", second));
  EXPECT_EQ(second, first);
  os.SetVolumeSerial('E', 42);
  EXPECT_EQ(os.VolumeSerialOf('E'), 42u);

  // As GetVolumeInformation: a root with its backslash, of a drive with a medium.
  std::uint32_t serial = 0;
  EXPECT_FALSE(os.GetVolumeInformationA("E:", serial));
  EXPECT_FALSE(os.GetVolumeInformationA("E:\\autorun.inf", serial));
  EXPECT_FALSE(os.GetVolumeInformationA("Q:\\", serial));
  os.SetDriveReady('E', false);
  EXPECT_FALSE(os.GetVolumeInformationA("E:\\", serial));
  // Set-up mistakes are the test's: no medium to take out, none kept under that name, a drive
  // that still holds one.
  EXPECT_THROW(os.InsertMedium('E', "stick two"), std::invalid_argument);
  EXPECT_THROW(os.EjectMedium('Q', "x"), std::invalid_argument);
  os.EjectMedium('E', "again");
  EXPECT_THROW(os.InsertMedium('E', "nothing"), std::invalid_argument);
  EXPECT_THROW(os.AddFile("E:\\x.txt"), std::invalid_argument);
}

TEST_F(SimFiles, FailListingAfterBreaksOffTheListing) {
  for (const char* name : {"E:\\a", "E:\\b", "E:\\c"}) os.AddFile(name);
  os.FailListingAfter("E:\\", 2);
  EXPECT_THAT(List(os, "E:\\*"), ElementsAre("a", "b"));
  EXPECT_TRUE(os.DirFailed());
  EXPECT_EQ(os.DirNext(), "");  // it does not start over
}

TEST_F(SimFiles, FailListingsWhereFailsTheListingsOfChosenPatterns) {
  for (const char* name : {"E:\\a | b", "E:\\c"}) os.AddFile(name);
  std::vector<std::string> asked;
  os.FailListingsWhere([&](std::string_view pattern) {
    asked.emplace_back(pattern);
    return pattern.find('|') != std::string_view::npos;
  });
  EXPECT_THAT(List(os, "E:\\a | b"), IsEmpty());
  EXPECT_TRUE(os.DirFailed());
  EXPECT_EQ(os.DirNext(), "");
  EXPECT_THAT(List(os, "E:\\*"), ElementsAre("a | b", "c"));  // other patterns list as ever
  EXPECT_FALSE(os.DirFailed());
  EXPECT_THAT(asked, ElementsAre("E:\\a | b", "E:\\*"));

  os.FailListingsWhere(nullptr);
  EXPECT_THAT(List(os, "E:\\a | b"), ElementsAre("a | b"));
  EXPECT_FALSE(os.DirFailed());
}

TEST_F(SimFiles, DeletionIsRefusedForLockedFilesAndImagesOfRunningPrograms) {
  os.AddFile("E:\\locked.exe");
  os.AddFile("C:\\Users\\u\\svc.exe");
  os.LockEntry("E:\\locked.exe");
  const std::uint32_t pid = os.StartProcess("svc.exe", "C:\\Users\\u\\svc.exe");

  EXPECT_FALSE(os.DeleteFileA("E:\\locked.exe"));
  EXPECT_FALSE(os.DeleteFileA("c:\\users\\U\\SVC.EXE"));
  EXPECT_TRUE(os.Exists("C:\\Users\\u\\svc.exe"));

  os.LockEntry("E:\\locked.exe", false);
  EXPECT_TRUE(os.DeleteFileA("E:\\locked.exe"));
  os.SetCurrentFolder("C:\\Tool");
  os.AddFile("C:\\Tool\\pskill.exe");
  os.StartCommandLine("cmd /c pskill " + std::to_string(pid), ShowCommand::MinimizedNoFocus);
  os.AdvanceClock(1);
  EXPECT_TRUE(os.DeleteFileA("C:\\Users\\u\\svc.exe"));
}

TEST_F(SimFiles, RelativePathsResolveAgainstTheCurrentFolder) {
  os.AddFile("C:\\Tool\\pskill.exe");
  os.AddFile("C:\\Tool\\sub\\x.txt");
  os.AddFile("E:\\pskill.exe");
  EXPECT_TRUE(os.PathFileExistsA("pskill.exe"));
  EXPECT_TRUE(os.PathFileExistsA("sub\\x.txt"));
  EXPECT_TRUE(os.PathFileExistsA("sub\\..\\pskill.exe"));
  EXPECT_TRUE(os.PathFileExistsA("\\Tool\\pskill.exe"));  // root of the current drive
  EXPECT_THAT(List(os, "*"), ElementsAre(".", "..", "pskill.exe", "sub"));

  os.SetCurrentFolder("C:\\");
  EXPECT_FALSE(os.PathFileExistsA("pskill.exe"));
  os.SetCurrentFolder("E:\\");
  EXPECT_TRUE(os.PathFileExistsA("pskill.exe"));
  EXPECT_EQ(os.CurrentFolder(), "E:\\");
}

TEST_F(SimFiles, FileOperationHookSeesEveryCallOnce) {
  os.AddFile("E:\\a");
  std::vector<std::size_t> counts;
  os.OnFileOperation([&](std::size_t count) {
    counts.push_back(count);
    os.PathFileExistsA("E:\\a");  // made by the hook: neither counted nor hooked again
  });
  os.PathFileExistsA("E:\\a");
  os.SetFileAttributesA("E:\\a", Attr::Normal);
  os.DirFirst("E:\\*", ListMask::All);
  os.DirNext();
  os.DeleteFileA("E:\\a");
  DiskFreeSpace counts4;
  os.GetDiskFreeSpaceA("E:\\", counts4);
  EXPECT_THAT(counts, ElementsAre(1u, 2u, 3u, 4u, 5u, 6u));
}

TEST_F(SimFiles, SetUpOnAMissingDriveOrEntryIsATestError) {
  EXPECT_THROW(os.AddFile("Q:\\a.txt"), std::invalid_argument);
  EXPECT_THROW(os.LockEntry("E:\\missing"), std::invalid_argument);
  os.AddFile("E:\\file");
  EXPECT_THROW(os.AddFile("E:\\file\\inside"), std::invalid_argument);
  EXPECT_THROW(os.AddFolder("E:\\file"), std::invalid_argument);
}

// ---- Processes and the kill tool ----

class SimProcesses : public ::testing::Test {
 protected:
  SimProcesses() {
    os.AddDrive('C');
    os.AddFolder("C:\\Tool");
    os.SetCurrentFolder("C:\\Tool");
  }

  std::vector<std::pair<std::uint32_t, std::string>> Walk(Handle snapshot) {
    std::vector<std::pair<std::uint32_t, std::string>> seen;
    ProcessEntry32 entry;
    entry.dwSize = ProcessEntry32::kAnsiSize;
    for (bool more = os.Process32First(snapshot, entry); more && seen.size() < 100;
         more = os.Process32Next(snapshot, entry)) {
      seen.emplace_back(entry.th32ProcessID, entry.szExeFile);
    }
    return seen;
  }

  SimulatedPlatform os;
};

TEST_F(SimProcesses, ProcessIdsRiseAndTheSnapshotIsACopy) {
  const std::uint32_t a = os.StartProcess("a.exe");
  const std::uint32_t b = os.StartProcess("b.exe");
  EXPECT_GE(a, 1000u);
  EXPECT_GT(b, a);

  const Handle snapshot = os.CreateToolhelp32Snapshot(Snapshot::All, 0);
  EXPECT_EQ(os.OpenHandleCount(), 1u);
  os.StartProcess("late.exe");
  os.AddFile("C:\\Tool\\pskill.exe");
  os.StartCommandLine("cmd /c pskill " + std::to_string(a), ShowCommand::MinimizedNoFocus);
  os.AdvanceClock(10);
  ASSERT_FALSE(os.IsRunning(a));

  using P = std::pair<std::uint32_t, std::string>;
  EXPECT_THAT(Walk(snapshot), ElementsAre(P{a, "a.exe"}, P{b, "b.exe"}));
  EXPECT_TRUE(os.CloseHandle(snapshot));
  EXPECT_FALSE(os.CloseHandle(snapshot));
  EXPECT_EQ(os.OpenHandleCount(), 0u);
}

TEST_F(SimProcesses, EachProcessAnswersItsImagePathUnlessItIsHidden) {
  const std::uint32_t given = os.StartProcess("svc.exe", "C:\\Users\\u\\svc.exe");
  const std::uint32_t plain = os.StartProcess("svchost.exe");
  std::string path;
  EXPECT_TRUE(os.QueryFullProcessImageNameA(given, path));
  EXPECT_EQ(path, "C:\\Users\\u\\svc.exe");
  EXPECT_TRUE(os.QueryFullProcessImageNameA(plain, path));
  EXPECT_EQ(path, "C:\\Windows\\System32\\svchost.exe");

  os.HideImagePath(given);
  path = "untouched";
  EXPECT_FALSE(os.QueryFullProcessImageNameA(given, path));
  EXPECT_FALSE(os.QueryFullProcessImageNameA(plain + 4, path));  // no such process
  EXPECT_EQ(path, "untouched");
  os.HideImagePath(given, false);
  EXPECT_TRUE(os.QueryFullProcessImageNameA(given, path));
  EXPECT_THROW(os.HideImagePath(plain + 4), std::invalid_argument);
}

TEST_F(SimProcesses, TheWalkNeedsTheRecordSize) {
  os.StartProcess("a.exe");
  const Handle snapshot = os.CreateToolhelp32Snapshot(Snapshot::All, 0);
  ProcessEntry32 entry;
  entry.dwSize = 0;
  EXPECT_FALSE(os.Process32First(snapshot, entry));
  entry.dwSize = ProcessEntry32::kAnsiSize;
  EXPECT_TRUE(os.Process32First(snapshot, entry));
  EXPECT_FALSE(os.Process32Next(snapshot, entry));
  EXPECT_FALSE(os.Process32First(0, entry));
  os.CloseHandle(snapshot);
}

TEST_F(SimProcesses, KillToolModel) {
  struct Case {
    const char* what;
    std::string commandPrefix;
    bool toolPresent;
    bool unkillable;
    bool ends;
  };
  const std::vector<Case> cases = {
      {"the usual command", "cmd /c pskill ", true, false, true},
      {"any letter case and .exe", "CMD.EXE /C PsKill.exe ", true, false, true},
      {"tool missing", "cmd /c pskill ", false, false, false},
      {"protected process", "cmd /c pskill ", true, true, false},
      {"not the kill tool", "cmd /c taskkill ", true, false, false},
      {"no command interpreter", "pskill ", true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimulatedPlatform sim;
    sim.AddDrive('C');
    sim.SetCurrentFolder("C:\\");
    if (c.toolPresent) sim.AddFile("C:\\pskill.exe");
    const std::uint32_t pid = sim.StartProcess("x.exe");
    const std::uint32_t other = sim.StartProcess("y.exe");
    sim.MakeUnkillable(pid, c.unkillable);

    sim.StartCommandLine(c.commandPrefix + std::to_string(pid), ShowCommand::MinimizedNoFocus);
    EXPECT_TRUE(sim.IsRunning(pid));  // not at once: the command runs on its own
    sim.AdvanceClock(0);
    EXPECT_TRUE(sim.IsRunning(pid));
    sim.AdvanceClock(1);
    EXPECT_EQ(sim.IsRunning(pid), !c.ends);
    EXPECT_TRUE(sim.IsRunning(other));
    ASSERT_EQ(sim.CommandLines().size(), 1u);
    EXPECT_EQ(sim.CommandLines()[0].commandLine, c.commandPrefix + std::to_string(pid));
    EXPECT_EQ(sim.CommandLines()[0].windowStyle, ShowCommand::MinimizedNoFocus);
  }
}

TEST_F(SimProcesses, KillsHappenWhenTimePassesByAnyRoute) {
  os.AddFile("C:\\Tool\\pskill.exe");
  const std::uint32_t waited = os.StartProcess("a.exe");
  os.StartCommandLine("cmd /c pskill " + std::to_string(waited), 6);
  os.WaitForEvents(1000);
  EXPECT_FALSE(os.IsRunning(waited));

  const std::uint32_t polled = os.StartProcess("b.exe");
  os.SetTickPerRead(1);
  os.StartCommandLine("cmd /c pskill " + std::to_string(polled), 6);
  os.GetTickCount();
  EXPECT_FALSE(os.IsRunning(polled));

  // A process that is already gone: nothing happens.
  os.StartCommandLine("cmd /c pskill 99999", 6);
  EXPECT_NO_THROW(os.AdvanceClock(5));
}

// ---- Clock and event pump ----

TEST(SimClock, TickCountWrapsAroundModulo2To32) {
  SimulatedPlatform os;
  os.SetTickCount(0xFFFFFF00u);
  const std::uint32_t start = os.GetTickCount();
  os.AdvanceClock(0x200);
  const std::uint32_t now = os.GetTickCount();
  EXPECT_EQ(now, 0x100u);
  EXPECT_EQ(now - start, 0x200u);
}

TEST(SimClock, ReadsAdvanceByTheTickPerRead) {
  SimulatedPlatform os;
  os.SetTickCount(10);
  os.SetTickPerRead(3);
  EXPECT_EQ(os.GetTickCount(), 10u);
  EXPECT_EQ(os.GetTickCount(), 13u);
  EXPECT_EQ(os.GetTickCount(), 16u);
}

TEST(SimClock, WaitingAdvancesTheClockWithoutPumping) {
  SimulatedPlatform os;
  int pumped = 0;
  os.OnDoEvents([&] { ++pumped; });
  const std::uint32_t start = os.GetTickCount();
  os.WaitForEvents(250);
  os.WaitForEvents(750);
  EXPECT_EQ(os.GetTickCount() - start, 1000u);
  EXPECT_EQ(os.WaitedMilliseconds(), 1000u);
  EXPECT_EQ(pumped, 0);
  EXPECT_EQ(os.DoEventsCount(), 0u);
}

TEST(SimClock, DoEventsRunsTheHookButNotInsideItself) {
  SimulatedPlatform os;
  int pumped = 0;
  os.OnDoEvents([&] {
    ++pumped;
    os.DoEvents();  // a handler that pumps again
  });
  os.DoEvents();
  os.DoEvents();
  EXPECT_EQ(pumped, 2);
  EXPECT_EQ(os.DoEventsCount(), 4u);
}

// ---- Message boxes ----

TEST(SimMessageBoxes, ScriptedAnswersGoToQuestionsInOrder) {
  SimulatedPlatform os;
  os.QueueAnswer(Answer::Yes);
  os.QueueAnswer(Answer::No);
  EXPECT_EQ(os.MsgBox("Scan complete.", MsgStyle::Information), Answer::Ok);  // keeps the Yes for later
  EXPECT_EQ(os.MsgBox("Are you sure?", MsgStyle::YesNoQuestion), Answer::Yes);
  EXPECT_EQ(os.MsgBox("Really?", MsgStyle::YesNoQuestion), Answer::No);
  EXPECT_EQ(os.MsgBox("Error", MsgStyle::Critical), Answer::Ok);

  ASSERT_EQ(os.MessageBoxes().size(), 4u);
  EXPECT_EQ(os.MessageBoxes()[0].text, "Scan complete.");
  EXPECT_EQ(os.MessageBoxes()[0].style, MsgStyle::Information);
  EXPECT_EQ(os.MessageBoxes()[1].answer, Answer::Yes);
  EXPECT_EQ(os.MessageBoxes()[2].answer, Answer::No);
  EXPECT_EQ(os.MessageBoxes()[3].style, MsgStyle::Critical);
  os.ClearMessageBoxes();
  EXPECT_THAT(os.MessageBoxes(), IsEmpty());
}

TEST(SimMessageBoxes, AScriptedOkIsUsedByTheNextOkBox) {
  SimulatedPlatform os;
  os.QueueAnswer(Answer::Ok);
  os.QueueAnswer(Answer::Yes);
  EXPECT_EQ(os.MsgBox("Done", MsgStyle::Ok), Answer::Ok);
  EXPECT_EQ(os.MsgBox("Sure?", MsgStyle::YesNoQuestion), Answer::Yes);
}

TEST(SimMessageBoxes, AQuestionWithoutAFittingAnswerFailsLoudly) {
  SimulatedPlatform os;
  EXPECT_THROW(os.MsgBox("Are you sure to scan this device(E:\\)?", MsgStyle::YesNoQuestion),
               UnexpectedMessageBox);
  ASSERT_EQ(os.MessageBoxes().size(), 1u);
  EXPECT_EQ(os.MessageBoxes()[0].text, "Are you sure to scan this device(E:\\)?");

  os.QueueAnswer(Answer::Ok);
  EXPECT_THROW(os.MsgBox("Sure?", MsgStyle::YesNoQuestion), UnexpectedMessageBox);
}

TEST(SimMessageBoxes, TheHookRunsWhileTheBoxIsOpen) {
  SimulatedPlatform os;
  std::vector<std::string> seen;
  os.OnMessageBox([&](const MessageBoxRecord& box) {
    seen.push_back(box.text + "/" + std::to_string(box.answer));
    EXPECT_EQ(os.MessageBoxes().back().text, box.text);
  });
  os.QueueAnswer(Answer::No);
  EXPECT_EQ(os.MsgBox("Q", MsgStyle::YesNoQuestion), Answer::No);
  os.MsgBox("N", MsgStyle::Warning);
  EXPECT_THAT(seen, ElementsAre("Q/7", "N/1"));
}

// ---- Profile, shell and program ----

TEST(SimProfile, TheProfileFolderFillsTheBufferOrNothing) {
  SimulatedPlatform os;
  Handle token = 0;
  ASSERT_TRUE(os.OpenProcessToken(os.GetCurrentProcess(), TokenAccess::Query, token));

  os.SetProfileFolder("C:\\Users\\Ann\\");
  std::string buffer(255, '\0');
  std::uint32_t size = 255;
  EXPECT_TRUE(os.GetUserProfileDirectoryA(token, buffer, size));
  EXPECT_EQ(buffer.substr(0, buffer.find('\0')), "C:\\Users\\Ann");
  EXPECT_EQ(buffer.size(), 255u);

  std::string small(5, '\0');
  size = 5;
  EXPECT_FALSE(os.GetUserProfileDirectoryA(token, small, size));
  EXPECT_EQ(small, std::string(5, '\0'));
  EXPECT_EQ(size, 13u);

  os.SetProfileFolder("");
  std::string untouched(255, '\0');
  size = 255;
  EXPECT_FALSE(os.GetUserProfileDirectoryA(token, untouched, size));
  EXPECT_EQ(untouched, std::string(255, '\0'));

  EXPECT_FALSE(os.GetUserProfileDirectoryA(0, untouched, size));
  EXPECT_TRUE(os.CloseHandle(token));
  Handle none = 0x77;
  EXPECT_FALSE(os.OpenProcessToken(0x1234, TokenAccess::Query, none));
  EXPECT_EQ(none, 0u);
}

TEST(SimProgram, PagesAndEndingAreRecorded) {
  SimulatedPlatform os;
  os.ShellExecuteA(0, nullptr, "https://example.org/help", nullptr, nullptr, ShowCommand::Maximized);
  ASSERT_EQ(os.PagesOpened().size(), 1u);
  EXPECT_EQ(os.PagesOpened()[0].target, "https://example.org/help");
  EXPECT_EQ(os.PagesOpened()[0].show, ShowCommand::Maximized);

  EXPECT_FALSE(os.PrevInstance());
  os.SetPrevInstance(true);
  EXPECT_TRUE(os.PrevInstance());
  EXPECT_EQ(os.AppExeName(), "tidewick");
  os.SetAppExeName("Tool");
  EXPECT_EQ(os.AppExeName(), "Tool");

  EXPECT_FALSE(os.Ended());
  EXPECT_THROW(os.EndProgram(), ProgramEnded);
  EXPECT_TRUE(os.Ended());
}

}  // namespace
}  // namespace tidewick::sim
