// What the program relies on of the platform, checked the same way on every platform: natively
// against the simulated computer and under Wine against the real Win32 calls. Each test makes a
// fresh world (contract_world.h) and looks at outcomes through the world, not only through the
// platform under test.
#include "tests/contract/contract_world.h"

#include "platform/platform_operations.h"
#include "platform/text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tidewick::contract {
namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }
// Text with its terminating NUL, as text values are normally stored.
std::vector<std::uint8_t> Terminated(std::string_view text) {
  auto bytes = Bytes(text);
  bytes.push_back(0);
  return bytes;
}
std::vector<std::uint8_t> Dword(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// Names that must survive every file operation: Bengali, Chinese, a trailing dot, a trailing
// space and device names, which only work when the platform passes paths through unchanged.
const std::vector<std::string> kAwkwardNames = {
    "\xE0\xA6\xAC\xE0\xA6\xBE\xE0\xA6\x82\xE0\xA6\xB2\xE0\xA6\xBE.txt",  // বাংলা.txt
    "\xE4\xB8\xAD\xE6\x96\x87\xE6\x96\x87\xE4\xBB\xB6.lnk",              // 中文文件.lnk
    "trail.",
    "space ",
    "com1.txt",
    "aux.lnk",
};

class PlatformContract : public ::testing::Test {
 protected:
  std::unique_ptr<ContractWorld> world = MakeContractWorld();
  PlatformOperations& os = world->Os();
  const std::string root = world->ScratchRoot();

  std::string At(std::string_view relativePath) const { return root + std::string(relativePath); }
  std::string Key(std::string_view relativeKey = "") {
    std::string key = world->ScratchKey();
    if (!relativeKey.empty()) key += "\\" + std::string(relativeKey);
    return key;
  }

  // The attribute bits both platforms agree on, read through the world.
  std::uint32_t AttributesOf(std::string_view relativePath) {
    const auto attributes = world->Attributes(relativePath);
    EXPECT_TRUE(attributes.has_value()) << relativePath << " is missing";
    return attributes.value_or(0) & kComparedAttributes;
  }

  // Every name of one listing, in the order given. Stops at a sane bound so that a listing
  // that never ends fails instead of hanging.
  std::vector<std::string> List(const std::string& pattern, std::uint32_t mask = ListMask::All) {
    std::vector<std::string> names;
    for (std::string name = os.DirFirst(pattern, mask); !name.empty(); name = os.DirNext()) {
      names.push_back(name);
      if (names.size() > 10000) {
        ADD_FAILURE() << "listing of " << pattern << " does not end";
        break;
      }
    }
    return names;
  }

  Handle OpenScratchKey(std::string_view relativeKey = "") {
    Handle key = 0;
    EXPECT_EQ(os.RegOpenKeyA(Root::CurrentUser, Key(relativeKey), key), StatusCode::Success);
    EXPECT_NE(key, 0u);
    return key;
  }

  // A process id that no running process has: above every one of a snapshot, and a multiple of
  // 4 as real ids are.
  std::uint32_t UnusedProcessId() {
    std::uint32_t highest = 0;
    const Handle snapshot = os.CreateToolhelp32Snapshot(Snapshot::All, 0);
    ProcessEntry32 entry;
    entry.dwSize = ProcessEntry32::kAnsiSize;
    for (bool more = os.Process32First(snapshot, entry); more; more = os.Process32Next(snapshot, entry)) {
      highest = std::max(highest, entry.th32ProcessID);
    }
    os.CloseHandle(snapshot);
    return (highest / 4 + 1000) * 4;
  }

  // Waits (through the platform) until `done` holds or about `milliseconds` pass.
  template <typename Condition>
  bool WaitUntil(Condition done, std::uint32_t milliseconds) {
    const std::uint32_t start = os.GetTickCount();
    while (!done()) {
      if (os.GetTickCount() - start >= milliseconds) return done();
      os.WaitForEvents(50);
    }
    return true;
  }
};

// ---- Registry ----

TEST_F(PlatformContract, OpeningAMissingKeyFailsAndLeavesTheHandleZero) {
  Handle key = 0x1234;
  EXPECT_EQ(os.RegOpenKeyA(Root::CurrentUser, Key("missing"), key), StatusCode::FileNotFound);
  EXPECT_EQ(key, 0u);

  key = 0x1234;
  EXPECT_EQ(os.RegOpenKeyExA(Root::CurrentUser, Key("missing"), 0, KeyAccess::Open, key),
            StatusCode::FileNotFound);
  EXPECT_EQ(key, 0u);
}

TEST_F(PlatformContract, CallsOnHandleZeroFailQuietly) {
  const std::uint32_t one = 1;
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  char name[16] = {};
  std::uint8_t data[16] = {};
  std::uint32_t nameLength = sizeof name;
  std::uint32_t dataLength = sizeof data;

  EXPECT_NE(os.RegSetValueExA(0, "v", 0, RegType::Dword, &one, 4), StatusCode::Success);
  EXPECT_NE(os.RegQueryValueExA(0, "v", &type, nullptr, &size), StatusCode::Success);
  EXPECT_NE(os.RegDeleteValueA(0, "v"), StatusCode::Success);
  EXPECT_NE(os.RegEnumValueA(0, 0, name, nameLength, &type, data, dataLength), StatusCode::Success);
  EXPECT_NE(os.RegCloseKey(0), StatusCode::Success);
  EXPECT_FALSE(world->KeyExists(""));
}

TEST_F(PlatformContract, CreateMakesEveryMissingLevelAndOpensAnExistingKey) {
  Handle key = 0;
  EXPECT_EQ(os.RegCreateKeyA(Root::CurrentUser, Key("one\\two\\three"), key), StatusCode::Success);
  EXPECT_NE(key, 0u);
  EXPECT_EQ(os.RegCloseKey(key), StatusCode::Success);
  EXPECT_TRUE(world->KeyExists("one"));
  EXPECT_TRUE(world->KeyExists("one\\two\\three"));

  // Again: the key is there and is opened, with a different letter case and a trailing
  // backslash, as the program's own paths have.
  Handle again = 0;
  EXPECT_EQ(os.RegCreateKeyA(Root::CurrentUser, Key("ONE\\Two\\three\\"), again), StatusCode::Success);
  EXPECT_NE(again, 0u);
  os.RegCloseKey(again);

  Handle opened = 0;
  EXPECT_EQ(os.RegOpenKeyA(Root::CurrentUser, Key("one\\TWO\\"), opened), StatusCode::Success);
  EXPECT_NE(opened, 0u);
  os.RegCloseKey(opened);
  EXPECT_EQ(os.RegOpenKeyExA(Root::CurrentUser, Key("One\\two\\Three"), 0, KeyAccess::Open, opened),
            StatusCode::Success);
  EXPECT_NE(opened, 0u);
  os.RegCloseKey(opened);
}

TEST_F(PlatformContract, SetWritesADwordThatQueryReadsBack) {
  Handle key = 0;
  ASSERT_EQ(os.RegCreateKeyA(Root::CurrentUser, Key(), key), StatusCode::Success);
  const std::uint32_t value = 0x01020304;
  EXPECT_EQ(os.RegSetValueExA(key, "Number", 0, RegType::Dword, &value, 4), StatusCode::Success);

  const auto stored = world->ReadRawValue("", "Number");
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->type, RegType::Dword);
  EXPECT_EQ(stored->bytes, Dword(value));

  // Type and size first, then the data; the value name in another letter case.
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  EXPECT_EQ(os.RegQueryValueExA(key, "NUMBER", &type, nullptr, &size), StatusCode::Success);
  EXPECT_EQ(type, RegType::Dword);
  EXPECT_EQ(size, 4u);
  std::uint32_t read = 0;
  EXPECT_EQ(os.RegQueryValueExA(key, "number", &type, &read, &size), StatusCode::Success);
  EXPECT_EQ(read, value);

  // Overwriting keeps one value.
  const std::uint32_t zero = 0;
  EXPECT_EQ(os.RegSetValueExA(key, "number", 0, RegType::Dword, &zero, 4), StatusCode::Success);
  EXPECT_EQ(world->ReadRawValue("", "Number")->bytes, Dword(0));
  os.RegCloseKey(key);
}

TEST_F(PlatformContract, QueryAnswersTextWithItsTerminatorCounted) {
  const std::string text = "C:\\Users\\\xE0\xA6\xAC\\\xE4\xB8\xAD.exe";  // Bengali and Chinese
  world->WriteRawValue("", "Path", {RegType::Sz, Terminated(text)});
  const Handle key = OpenScratchKey();

  std::uint32_t type = 0;
  std::uint32_t size = 0;
  EXPECT_EQ(os.RegQueryValueExA(key, "Path", &type, nullptr, &size), StatusCode::Success);
  EXPECT_EQ(type, RegType::Sz);
  EXPECT_EQ(size, text.size() + 1);  // UTF-8 bytes and the NUL

  std::vector<char> buffer(size, 'x');
  EXPECT_EQ(os.RegQueryValueExA(key, "Path", &type, buffer.data(), &size), StatusCode::Success);
  EXPECT_EQ(size, text.size() + 1);
  EXPECT_EQ(std::string(buffer.data(), text.size()), text);
  EXPECT_EQ(buffer[text.size()], '\0');

  // A buffer one byte short is refused.
  std::uint32_t shortSize = static_cast<std::uint32_t>(text.size());
  std::vector<char> shortBuffer(shortSize);
  EXPECT_EQ(os.RegQueryValueExA(key, "Path", &type, shortBuffer.data(), &shortSize),
            StatusCode::MoreData);
  os.RegCloseKey(key);
}

TEST_F(PlatformContract, QueryAnswersOtherTypesAsStored) {
  struct Case {
    const char* name;
    RawValue value;
  };
  const std::vector<Case> cases = {
      {"Expand", {RegType::ExpandSz, Terminated("%USERPROFILE%\\a.exe")}},
      {"Binary", {RegType::Binary, {0x00, 0xFF, 0x10, 0x00}}},
      {"NoTerminator", {RegType::Sz, Bytes("abc")}},
      {"Multi", {RegType::MultiSz, {'a', 0, 'b', 0, 0}}},
  };
  for (const Case& c : cases) world->WriteRawValue("", c.name, c.value);
  const Handle key = OpenScratchKey();

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(os.RegQueryValueExA(key, c.name, &type, nullptr, &size), StatusCode::Success);
    EXPECT_EQ(type, c.value.type);
    EXPECT_EQ(size, c.value.bytes.size());
    std::vector<std::uint8_t> data(size);
    EXPECT_EQ(os.RegQueryValueExA(key, c.name, &type, data.data(), &size), StatusCode::Success);
    EXPECT_EQ(data, c.value.bytes);
  }
  os.RegCloseKey(key);
}

TEST_F(PlatformContract, QueryOfAMissingValueFailsAndLeavesTheTypeAlone) {
  world->WriteRawValue("", "Present", {RegType::Dword, Dword(1)});
  const Handle key = OpenScratchKey();
  std::uint32_t type = 77;
  std::uint32_t size = 0;
  EXPECT_EQ(os.RegQueryValueExA(key, "Absent", &type, nullptr, &size), StatusCode::FileNotFound);
  EXPECT_EQ(type, 77u);
  os.RegCloseKey(key);
}

TEST_F(PlatformContract, DeleteRemovesTheValueOnce) {
  world->WriteRawValue("", "Doomed", {RegType::Sz, Terminated("x")});
  world->WriteRawValue("", "Kept", {RegType::Sz, Terminated("y")});
  const Handle key = OpenScratchKey();

  EXPECT_EQ(os.RegDeleteValueA(key, "DOOMED"), StatusCode::Success);
  EXPECT_FALSE(world->ReadRawValue("", "Doomed").has_value());
  EXPECT_TRUE(world->ReadRawValue("", "Kept").has_value());
  EXPECT_NE(os.RegDeleteValueA(key, "Doomed"), StatusCode::Success);
  os.RegCloseKey(key);
}

TEST_F(PlatformContract, EnumerationYieldsEveryValueThenEnds) {
  const std::string bengaliName = "\xE0\xA6\xAC\xE0\xA6\xBE\xE0\xA6\x82\xE0\xA6\xB2\xE0\xA6\xBE";
  const std::map<std::string, RawValue> written = {
      {"Text", {RegType::Sz, Terminated("C:\\Users\\u\\abc.exe")}},
      {"Expand", {RegType::ExpandSz, Terminated("%APPDATA%\\x.exe")}},
      {"Number", {RegType::Dword, Dword(7)}},
      {"Blob", {RegType::Binary, {1, 2, 3}}},
      {"NoTerminator", {RegType::Sz, Bytes("abc")}},
      {bengaliName, {RegType::Sz, Terminated("\xE4\xB8\xAD\xE6\x96\x87")}},
  };
  for (const auto& [name, value] : written) world->WriteRawValue("", name, value);
  const Handle key = OpenScratchKey();

  std::map<std::string, RawValue> seen;
  Status status = StatusCode::Success;
  std::uint32_t index = 0;
  for (; index < 100; ++index) {
    char name[1024];
    std::uint8_t data[1024];
    std::uint32_t nameLength = 1024;
    std::uint32_t dataLength = 1024;
    std::uint32_t type = 0;
    status = os.RegEnumValueA(key, index, name, nameLength, &type, data, dataLength);
    if (status != StatusCode::Success) break;
    ASSERT_LT(nameLength, 1024u);
    ASSERT_LE(dataLength, 1024u);
    seen[std::string(name, nameLength)] = RawValue{type, {data, data + dataLength}};
  }
  EXPECT_NE(status, StatusCode::Success);
  EXPECT_EQ(index, written.size());
  ASSERT_EQ(seen.size(), written.size());
  for (const auto& [name, value] : written) {
    SCOPED_TRACE(name);
    ASSERT_EQ(seen.count(name), 1u);
    EXPECT_EQ(seen[name].type, value.type);
    EXPECT_EQ(seen[name].bytes, value.bytes);
  }
  os.RegCloseKey(key);
}

// Each case lies alone in its own sub-key, so it is enumeration index 0.
TEST_F(PlatformContract, EnumerationRefusesWhatDoesNotFitTheBuffers) {
  struct Case {
    const char* key;
    std::string name;
    std::vector<std::uint8_t> data;
    Status expected;
  };
  std::string chinese400;
  for (int k = 0; k < 400; ++k) chinese400 += "\xE4\xB8\xAD";  // 1200 UTF-8 bytes
  const std::vector<Case> cases = {
      {"name1023", std::string(1023, 'n'), {1}, StatusCode::Success},  // fits with its terminator
      {"name1024", std::string(1024, 'n'), {1}, StatusCode::MoreData},
      {"nameWide", chinese400, {1}, StatusCode::MoreData},
      {"data1024", "v", std::vector<std::uint8_t>(1024, 7), StatusCode::Success},
      {"data1025", "v", std::vector<std::uint8_t>(1025, 7), StatusCode::MoreData},
  };
  for (const Case& c : cases) world->WriteRawValue(c.key, c.name, {RegType::Binary, c.data});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const Handle key = OpenScratchKey(c.key);
    char name[1024];
    std::uint8_t data[1024];
    std::uint32_t nameLength = 1024;
    std::uint32_t dataLength = 1024;
    std::uint32_t type = 0;
    EXPECT_EQ(os.RegEnumValueA(key, 0, name, nameLength, &type, data, dataLength), c.expected);
    if (c.expected == StatusCode::Success) {
      EXPECT_EQ(std::string(name, nameLength), c.name);
      EXPECT_EQ(dataLength, c.data.size());
    }
    os.RegCloseKey(key);
  }
}

// ---- Attributes ----

TEST_F(PlatformContract, NormalAttributesMakeFilesPlain) {
  const std::vector<std::pair<const char*, std::uint32_t>> files = {
      {"rhs.txt", Attr::ReadOnly | Attr::Hidden | Attr::System},
      {"h.txt", Attr::Hidden},
      {"s.txt", Attr::System},
      {"r.txt", Attr::ReadOnly},
      {"plain.txt", 0},
  };
  for (const auto& [name, attributes] : files) {
    world->MakeFile(name, attributes);
    ASSERT_EQ(AttributesOf(name), attributes) << name;
  }
  for (const auto& [name, attributes] : files) {
    EXPECT_TRUE(os.SetFileAttributesA(At(name), Attr::Normal)) << name;
    EXPECT_EQ(AttributesOf(name), 0u) << name;
  }
}

TEST_F(PlatformContract, HiddenSystemAttributesHideFilesAndClearReadOnly) {
  world->MakeFile("plain.ini");
  world->MakeFile("readonly.ini", Attr::ReadOnly);
  for (const char* name : {"plain.ini", "readonly.ini"}) {
    EXPECT_TRUE(os.SetFileAttributesA(At(name), Attr::HiddenSystem)) << name;
    EXPECT_EQ(AttributesOf(name), Attr::Hidden | Attr::System) << name;
  }
}

TEST_F(PlatformContract, FoldersKeepBeingFoldersWhenTheirAttributesChange) {
  world->MakeFolder("Photos", Attr::Hidden);
  world->MakeFolder("RECYCLER");
  ASSERT_EQ(AttributesOf("Photos"), Attr::Directory | Attr::Hidden);

  EXPECT_TRUE(os.SetFileAttributesA(At("Photos"), Attr::Normal));
  EXPECT_EQ(AttributesOf("Photos"), Attr::Directory);

  EXPECT_TRUE(os.SetFileAttributesA(At("RECYCLER"), Attr::HiddenSystem));
  if (world->SeesHiddenSystemOnFolders()) {
    EXPECT_EQ(AttributesOf("RECYCLER"),
              Attr::Directory | Attr::Hidden | Attr::System);
  } else {
    // This world cannot see hidden plus system on a folder (Wine); only the folder bit is checked.
    EXPECT_EQ(AttributesOf("RECYCLER") & Attr::Directory, Attr::Directory);
  }
}

TEST_F(PlatformContract, AttributesOfAMissingEntryCannotBeSet) {
  EXPECT_FALSE(os.SetFileAttributesA(At("missing.txt"), Attr::Normal));
  EXPECT_FALSE(world->Attributes("missing.txt").has_value());
}

// ---- Listing ----

class ListingContract : public PlatformContract {
 protected:
  void MakeRootMix() {
    world->MakeFile("plain.txt");
    world->MakeFile("ro.txt", Attr::ReadOnly);
    world->MakeFile("hid.txt", Attr::Hidden);
    world->MakeFile("sys.txt", Attr::System);
    world->MakeFile("hs.lnk", Attr::Hidden | Attr::System);
    world->MakeFolder("dir");
    world->MakeFolder("hdir", Attr::Hidden);
  }
};

TEST_F(ListingContract, MaskAllListsEveryRootEntryWithoutDotEntries) {
  MakeRootMix();
  EXPECT_THAT(List(root + "*"), UnorderedElementsAre("plain.txt", "ro.txt", "hid.txt", "sys.txt",
                                                     "hs.lnk", "dir", "hdir"));
  EXPECT_FALSE(os.DirFailed());
}

TEST_F(ListingContract, ANonRootFolderListsDotAndDotDot) {
  world->MakeFolder("sub");
  world->MakeFile("sub\\a.exe", Attr::Hidden | Attr::System);
  world->MakeFolder("sub\\inner");
  EXPECT_THAT(List(At("sub\\*")), UnorderedElementsAre(".", "..", "a.exe", "inner"));
  EXPECT_FALSE(os.DirFailed());
}

TEST_F(ListingContract, HiddenSystemAndFolderAttributesMustLieInTheMask) {
  MakeRootMix();
  struct Case {
    std::uint32_t mask;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {0, {"plain.txt", "ro.txt"}},
      {ListMask::Hidden, {"plain.txt", "ro.txt", "hid.txt"}},
      {ListMask::Hidden | ListMask::System, {"plain.txt", "ro.txt", "hid.txt", "sys.txt", "hs.lnk"}},
      {ListMask::Directory, {"plain.txt", "ro.txt", "dir"}},
      {ListMask::Directory | ListMask::Hidden, {"plain.txt", "ro.txt", "hid.txt", "dir", "hdir"}},
      {ListMask::ReadOnly | ListMask::Archive, {"plain.txt", "ro.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    EXPECT_THAT(List(root + "*", c.mask), UnorderedElementsAreArray(c.names));
  }
}

TEST_F(ListingContract, PatternSelectsNamesWithoutCase) {
  world->MakeFile("a.TXT");
  world->MakeFile("b.txt");
  world->MakeFile("c.log");
  EXPECT_THAT(List(root + "*.txt"), UnorderedElementsAre("a.TXT", "b.txt"));
  EXPECT_THAT(List(root + "nothing*"), IsEmpty());
  EXPECT_FALSE(os.DirFailed());
}

TEST_F(ListingContract, AnEmptyRootEndsAtOnceWithoutFailure) {
  EXPECT_EQ(os.DirFirst(root + "*", ListMask::All), "");
  EXPECT_FALSE(os.DirFailed());
}

TEST_F(ListingContract, AnExhaustedListingStaysEmpty) {
  world->MakeFile("only.txt");
  EXPECT_EQ(os.DirFirst(root + "*", ListMask::All), "only.txt");
  EXPECT_EQ(os.DirNext(), "");
  EXPECT_EQ(os.DirNext(), "");
  EXPECT_FALSE(os.DirFailed());
}

TEST_F(ListingContract, ANewListingAbandonsThePreviousOne) {
  world->MakeFolder("first");
  for (const char* name : {"first\\a1", "first\\a2", "first\\a3", "first\\a4"}) world->MakeFile(name);
  world->MakeFolder("second");
  for (const char* name : {"second\\b1", "second\\b2"}) world->MakeFile(name);

  ASSERT_NE(os.DirFirst(At("first\\*"), ListMask::All), "");
  ASSERT_NE(os.DirNext(), "");
  std::vector<std::string> names;
  for (std::string name = os.DirFirst(At("second\\*"), ListMask::All); !name.empty() && names.size() < 100;
       name = os.DirNext()) {
    names.push_back(name);
  }
  EXPECT_THAT(names, UnorderedElementsAre(".", "..", "b1", "b2"));
}

TEST_F(ListingContract, AListingOfAnUnmappedDriveFails) {
  EXPECT_EQ(os.DirFirst(world->UnmappedRoot() + "*", ListMask::All), "");
  EXPECT_TRUE(os.DirFailed());
  // A following successful listing clears the failure.
  world->MakeFile("x.txt");
  EXPECT_THAT(List(root + "*"), ElementsAreArray({"x.txt"}));
  EXPECT_FALSE(os.DirFailed());
}

// ---- Existence, deletion, disks ----

TEST_F(PlatformContract, PathFileExistsSeesFilesFoldersAndRootsInAnyCase) {
  world->MakeFile("Autorun.inf", Attr::Hidden);
  world->MakeFolder("Folder");
  EXPECT_TRUE(os.PathFileExistsA(At("Autorun.inf")));
  EXPECT_TRUE(os.PathFileExistsA(At("AUTORUN.INF")));
  EXPECT_TRUE(os.PathFileExistsA(At("folder")));
  EXPECT_TRUE(os.PathFileExistsA(root));
  EXPECT_FALSE(os.PathFileExistsA(At("missing.inf")));
  EXPECT_FALSE(os.PathFileExistsA(world->UnmappedRoot() + "Autorun.inf"));
}

TEST_F(PlatformContract, DeleteFileRemovesFilesButNotFoldersOrReadOnlyFiles) {
  world->MakeFile("virus.lnk", Attr::Hidden | Attr::System);
  world->MakeFile("locked.inf", Attr::ReadOnly);
  world->MakeFolder("folder.lnk");

  EXPECT_TRUE(os.DeleteFileA(At("virus.lnk")));
  EXPECT_FALSE(os.PathFileExistsA(At("virus.lnk")));
  EXPECT_FALSE(world->Attributes("virus.lnk").has_value());

  EXPECT_FALSE(os.DeleteFileA(At("folder.lnk")));
  EXPECT_TRUE(os.PathFileExistsA(At("folder.lnk")));

  // Read-only files refuse deletion until they are made plain, which is why callers clear
  // the attributes first.
  EXPECT_FALSE(os.DeleteFileA(At("locked.inf")));
  EXPECT_TRUE(os.PathFileExistsA(At("locked.inf")));
  os.SetFileAttributesA(At("locked.inf"), Attr::Normal);
  EXPECT_TRUE(os.DeleteFileA(At("locked.inf")));
  EXPECT_FALSE(os.PathFileExistsA(At("locked.inf")));

  EXPECT_FALSE(os.DeleteFileA(At("never-there.txt")));
}

TEST_F(PlatformContract, AFileHeldOpenSurvivesDeletion) {
  world->MakeFile("busy.exe");
  {
    auto held = world->HoldOpen("busy.exe");
    os.SetFileAttributesA(At("busy.exe"), Attr::Normal);
    os.DeleteFileA(At("busy.exe"));
    EXPECT_TRUE(os.PathFileExistsA(At("busy.exe")));
    EXPECT_TRUE(world->Attributes("busy.exe").has_value());
  }
  EXPECT_TRUE(os.DeleteFileA(At("busy.exe")));
  EXPECT_FALSE(os.PathFileExistsA(At("busy.exe")));
}

TEST_F(PlatformContract, DiskFreeSpaceAnswersForAMappedDriveOnly) {
  DiskFreeSpace counts;
  EXPECT_TRUE(os.GetDiskFreeSpaceA(root, counts));
  EXPECT_GT(counts.bytesPerSector, 0u);
  DiskFreeSpace none;
  EXPECT_FALSE(os.GetDiskFreeSpaceA(world->UnmappedRoot(), none));
}

TEST_F(PlatformContract, VolumeSerialIsAnsweredForAMappedDriveOnlyAndStaysTheSame) {
  std::uint32_t serial = 0;
  ASSERT_TRUE(os.GetVolumeInformationA(root, serial));
  std::uint32_t again = ~serial;
  EXPECT_TRUE(os.GetVolumeInformationA(root, again));
  EXPECT_EQ(again, serial);
  std::uint32_t untouched = 0x600DCAFEu;
  EXPECT_FALSE(os.GetVolumeInformationA(world->UnmappedRoot(), untouched));
  EXPECT_EQ(untouched, 0x600DCAFEu);
}

// One stick pulled out and another put in under the same letter: the serial number tells them
// apart, and putting the first one back brings its serial number and its entries back.
TEST_F(PlatformContract, AnotherMediumUnderTheLetterAnswersAnotherSerial) {
  world->MakeFile("mine.txt");
  std::uint32_t first = 0;
  ASSERT_TRUE(os.GetVolumeInformationA(root, first));
  if (!world->SwapScratchMedium()) {
    GTEST_SKIP() << "this world cannot put another medium under a drive letter (Windows without "
                    "Wine); the simulated platform runs this test";
  }
  std::uint32_t other = first;
  EXPECT_TRUE(os.GetVolumeInformationA(root, other));
  EXPECT_NE(other, first);
  EXPECT_FALSE(os.PathFileExistsA(At("mine.txt")));

  world->PutBackScratchMedium();
  std::uint32_t back = 0;
  EXPECT_TRUE(os.GetVolumeInformationA(root, back));
  EXPECT_EQ(back, first);
  EXPECT_TRUE(os.PathFileExistsA(At("mine.txt")));
}

TEST_F(PlatformContract, BareNamesAreLookedUpInTheCurrentFolder) {
  EXPECT_FALSE(os.PathFileExistsA("pskill.exe"));
  EXPECT_FALSE(os.PathFileExistsA("tw-probe.txt"));

  world->PutInCurrentFolder("tw-probe.txt");
  EXPECT_TRUE(os.PathFileExistsA("tw-probe.txt"));
  EXPECT_TRUE(os.PathFileExistsA(world->CurrentFolder() + "\\tw-probe.txt"));

  world->InstallKillTool();
  EXPECT_TRUE(os.PathFileExistsA("pskill.exe"));
}

// ---- Awkward names ----

class AwkwardNameContract : public PlatformContract,
                            public ::testing::WithParamInterface<std::string> {};

TEST_P(AwkwardNameContract, FileSurvivesListingAttributesAndDeletion) {
  const std::string& name = GetParam();
  world->MakeFile(name, Attr::Hidden | Attr::System);
  world->MakeFile("neighbour.txt");

  EXPECT_THAT(List(root + "*"), UnorderedElementsAre(name, "neighbour.txt"));
  EXPECT_TRUE(os.PathFileExistsA(At(name)));

  EXPECT_TRUE(os.SetFileAttributesA(At(name), Attr::Normal));
  EXPECT_EQ(AttributesOf(name), 0u);
  EXPECT_TRUE(os.SetFileAttributesA(At(name), Attr::HiddenSystem));
  EXPECT_EQ(AttributesOf(name), Attr::Hidden | Attr::System);

  EXPECT_TRUE(os.DeleteFileA(At(name)));
  EXPECT_FALSE(os.PathFileExistsA(At(name)));
  EXPECT_FALSE(world->Attributes(name).has_value());
  EXPECT_TRUE(world->Attributes("neighbour.txt").has_value());
}

TEST_P(AwkwardNameContract, FolderCanBeListedAndShown) {
  const std::string& name = GetParam();
  world->MakeFolder(name, Attr::Hidden);
  world->MakeFile(name + "\\inside.exe");

  EXPECT_THAT(List(root + "*"), ElementsAreArray({name}));
  EXPECT_THAT(List(At(name) + "\\*"), UnorderedElementsAre(".", "..", "inside.exe"));
  EXPECT_TRUE(os.SetFileAttributesA(At(name), Attr::Normal));
  EXPECT_EQ(AttributesOf(name), Attr::Directory);
  EXPECT_TRUE(os.PathFileExistsA(At(name) + "\\inside.exe"));
}

INSTANTIATE_TEST_SUITE_P(Names, AwkwardNameContract, ::testing::ValuesIn(kAwkwardNames),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                           return "Name" + std::to_string(param.index);
                         });

// ---- Names holding an unpaired surrogate ----
//
// Windows names are sequences of UTF-16 units that need not pair up. The platform hands such a
// name over in WTF-8, the lone surrogate in its own three-byte form, and the same bytes reach
// the same entry again. A lossy conversion would make U+FFFD of it and reach the namesake
// that really holds U+FFFD instead, so each test keeps that namesake beside the name.

const std::string kLoneLead = "\xED\xA0\x80";   // U+D800 alone
const std::string kLoneTrail = "\xED\xBF\xBF";  // U+DFFF alone
const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD

TEST_F(PlatformContract, FileNamesWithAnUnpairedSurrogateAreReachedExactly) {
  if (!world->HoldsUnpairedSurrogateFileNames()) {
    GTEST_SKIP() << "this file system cannot hold such a name (Wine keeps file names as UTF-8 "
                    "on Linux and refuses it); the simulated platform runs this test";
  }
  const std::vector<std::string> names = {"a" + kLoneLead + "z.lnk", kLoneTrail + ".exe",
                                          "x" + kLoneTrail + kLoneLead};
  const std::string namesake = "a" + kReplacement + "z.lnk";
  for (const std::string& name : names) world->MakeFile(name, Attr::Hidden | Attr::System);
  world->MakeFile(namesake, Attr::Hidden | Attr::System);

  EXPECT_THAT(List(root + "*"), UnorderedElementsAre(names[0], names[1], names[2], namesake));
  // `?` takes the lone unit as one character, as for any other.
  EXPECT_THAT(List(root + "a?z.lnk"), UnorderedElementsAre(names[0], namesake));

  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(os.PathFileExistsA(At(name)));
    EXPECT_TRUE(os.SetFileAttributesA(At(name), Attr::Normal));
    EXPECT_EQ(AttributesOf(name), 0u);
    EXPECT_TRUE(os.DeleteFileA(At(name)));
    EXPECT_FALSE(os.PathFileExistsA(At(name)));
    EXPECT_FALSE(world->Attributes(name).has_value());
  }
  // The namesake was never touched.
  EXPECT_EQ(AttributesOf(namesake), Attr::Hidden | Attr::System);
  EXPECT_THAT(List(root + "*"), ElementsAreArray({namesake}));
}

TEST_F(PlatformContract, RegistryNamesAndTextWithAnUnpairedSurrogateAreReachedExactly) {
  const std::string name = "Run" + kLoneLead + "x";
  const std::string namesake = "Run" + kReplacement + "x";
  const std::string data = "C:\\Users\\u\\" + kLoneTrail + ".exe";
  world->WriteRawValue("", name, {RegType::Sz, Terminated(data)});
  world->WriteRawValue("", namesake, {RegType::Sz, Terminated("namesake")});
  const Handle key = OpenScratchKey();

  // Enumeration answers both names and the data exactly as stored.
  std::map<std::string, std::vector<std::uint8_t>> seen;
  for (std::uint32_t index = 0; index < 10; ++index) {
    char listed[1024];
    std::uint8_t bytes[1024];
    std::uint32_t nameLength = 1024;
    std::uint32_t dataLength = 1024;
    std::uint32_t type = 0;
    if (os.RegEnumValueA(key, index, listed, nameLength, &type, bytes, dataLength) !=
        StatusCode::Success) {
      break;
    }
    seen[std::string(listed, nameLength)] = {bytes, bytes + dataLength};
  }
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[name], Terminated(data));
  EXPECT_EQ(seen[namesake], Terminated("namesake"));

  // The listed name reads its own value.
  std::uint32_t type = 0;
  std::vector<char> read(1024);
  std::uint32_t size = static_cast<std::uint32_t>(read.size());
  EXPECT_EQ(os.RegQueryValueExA(key, name, &type, read.data(), &size), StatusCode::Success);
  EXPECT_EQ(std::string(read.data(), size), std::string(data) + '\0');

  // A value written with such a name and such text is stored with the lone units.
  const std::string written = "Set" + kLoneTrail;
  const std::string text = kLoneLead + "\\a.exe";
  EXPECT_EQ(os.RegSetValueExA(key, written, 0, RegType::Sz, text.c_str(),
                              static_cast<std::uint32_t>(text.size() + 1)),
            StatusCode::Success);
  const auto stored = world->ReadRawValue("", written);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->bytes, Terminated(text));

  // Deleting by the name takes that value and leaves the namesake.
  EXPECT_EQ(os.RegDeleteValueA(key, name), StatusCode::Success);
  EXPECT_FALSE(world->ReadRawValue("", name).has_value());
  ASSERT_TRUE(world->ReadRawValue("", namesake).has_value());
  EXPECT_EQ(world->ReadRawValue("", namesake)->bytes, Terminated("namesake"));
  os.RegCloseKey(key);
}

// ---- Processes, time, profile ----

TEST_F(PlatformContract, SnapshotListsAStartedProcessByItsExecutableName) {
  const std::uint32_t pid = world->StartProcess("tw-contract-a.exe");
  ASSERT_TRUE(world->IsRunning(pid));

  const Handle snapshot = os.CreateToolhelp32Snapshot(Snapshot::All, 0);
  ASSERT_NE(snapshot, 0u);
  ProcessEntry32 entry;
  entry.dwSize = ProcessEntry32::kAnsiSize;
  std::map<std::uint32_t, std::string> seen;
  for (bool more = os.Process32First(snapshot, entry); more && seen.size() < 100000;
       more = os.Process32Next(snapshot, entry)) {
    seen[entry.th32ProcessID] = entry.szExeFile;
  }
  EXPECT_TRUE(os.CloseHandle(snapshot));

  ASSERT_EQ(seen.count(pid), 1u);
  EXPECT_EQ(LowerCase(seen[pid]), "tw-contract-a.exe");
}

// Two processes of one name from two folders: each answers its own program file.
TEST_F(PlatformContract, ImagePathOfAProcessIsTheFileItRunsFrom) {
  const std::uint32_t one = world->StartProcess("tw-contract-d.exe");
  const std::uint32_t two = world->StartProcess("tw-contract-d.exe");
  ASSERT_TRUE(world->IsRunning(one));
  ASSERT_TRUE(world->IsRunning(two));

  std::string imageOne;
  std::string imageTwo;
  ASSERT_TRUE(os.QueryFullProcessImageNameA(one, imageOne));
  ASSERT_TRUE(os.QueryFullProcessImageNameA(two, imageTwo));
  EXPECT_EQ(ComparablePath(imageOne), ComparablePath(world->ImageOf(one))) << imageOne;
  EXPECT_EQ(ComparablePath(imageTwo), ComparablePath(world->ImageOf(two))) << imageTwo;
  EXPECT_NE(ComparablePath(imageOne), ComparablePath(imageTwo));
}

TEST_F(PlatformContract, ImagePathOfAProcessIdNoProcessHasCannotBeRead) {
  std::string path = "untouched";
  EXPECT_FALSE(os.QueryFullProcessImageNameA(UnusedProcessId(), path));
  EXPECT_EQ(path, "untouched");
}

TEST_F(PlatformContract, KillCommandLineEndsTheProcess) {
  world->InstallKillTool();
  const std::uint32_t pid = world->StartProcess("tw-contract-b.exe");
  const std::uint32_t bystander = world->StartProcess("tw-contract-c.exe");
  ASSERT_TRUE(world->IsRunning(pid));

  os.StartCommandLine("cmd /c pskill " + std::to_string(pid), ShowCommand::MinimizedNoFocus);

  EXPECT_TRUE(WaitUntil([&] { return !world->IsRunning(pid); }, 10000));
  EXPECT_TRUE(world->IsRunning(bystander));

  const Handle snapshot = os.CreateToolhelp32Snapshot(Snapshot::All, 0);
  ProcessEntry32 entry;
  entry.dwSize = ProcessEntry32::kAnsiSize;
  std::vector<std::uint32_t> pids;
  for (bool more = os.Process32First(snapshot, entry); more && pids.size() < 100000;
       more = os.Process32Next(snapshot, entry)) {
    pids.push_back(entry.th32ProcessID);
  }
  os.CloseHandle(snapshot);
  EXPECT_THAT(pids, Not(Contains(pid)));
  EXPECT_THAT(pids, Contains(bystander));
}

TEST_F(PlatformContract, TickCountMovesWhileWaiting) {
  const std::uint32_t start = os.GetTickCount();
  EXPECT_TRUE(WaitUntil([&] { return os.GetTickCount() - start >= 100; }, 5000));
}

TEST_F(PlatformContract, ProfileDirectoryFillsTheBuffer) {
  Handle token = 0;
  EXPECT_TRUE(os.OpenProcessToken(os.GetCurrentProcess(), TokenAccess::Query, token));
  ASSERT_NE(token, 0u);

  std::string buffer(255, '\0');
  std::uint32_t size = 255;
  EXPECT_TRUE(os.GetUserProfileDirectoryA(token, buffer, size));
  const std::string folder = buffer.substr(0, buffer.find('\0'));
  EXPECT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_TRUE(os.PathFileExistsA(folder)) << folder;
  const std::string expected = world->ExpectedProfileFolder();
  if (!expected.empty()) {
    EXPECT_EQ(LowerCase(folder), LowerCase(expected));
  }

  // Too small a buffer: the call fails and the buffer stays as it was.
  std::string tiny(3, '\0');
  std::uint32_t tinySize = 3;
  EXPECT_FALSE(os.GetUserProfileDirectoryA(token, tiny, tinySize));
  EXPECT_EQ(tiny, std::string(3, '\0'));
  os.CloseHandle(token);
}

// ---- What the journal of changes reads, and what the report window writes -----------------
// The save dialog is a modal window a person answers; it is tried end to end under Wine
// (tests/e2e/report_e2e.cpp), not here.

TEST_F(PlatformContract, FileAttributesExGiveAttributesAndSize) {
  world->MakeFile("virus.lnk", Attr::Hidden | Attr::ReadOnly, "0123456789");
  world->MakeFolder("folder");
  FileAttributeData data;
  ASSERT_TRUE(os.GetFileAttributesExA(At("virus.lnk"), data));
  EXPECT_EQ(data.attributes & kComparedAttributes, Attr::Hidden | Attr::ReadOnly);
  EXPECT_EQ(data.size, 10u);
  ASSERT_TRUE(os.GetFileAttributesExA(At("folder"), data));
  EXPECT_NE(data.attributes & Attr::Directory, 0u);
  EXPECT_EQ(data.size, 0u);

  FileAttributeData untouched{0x1234, 99};
  EXPECT_FALSE(os.GetFileAttributesExA(At("missing.lnk"), untouched));
  EXPECT_EQ(os.GetLastError(), static_cast<std::uint32_t>(StatusCode::FileNotFound));
  EXPECT_FALSE(os.GetFileAttributesExA(At("no folder\\missing.lnk"), untouched));
  EXPECT_EQ(os.GetLastError(), static_cast<std::uint32_t>(StatusCode::PathNotFound));
  EXPECT_EQ(untouched.attributes, 0x1234u);
  EXPECT_EQ(untouched.size, 99u);
}

TEST_F(PlatformContract, AFailedFileCallLeavesItsReasonAsTheLastError) {
  world->MakeFile("held.vbs");
  world->MakeFile("readonly.inf", Attr::ReadOnly);
  world->MakeFolder("folder.lnk");
  const auto reason = [&] { return static_cast<Status>(os.GetLastError()); };
  {
    auto held = world->HoldOpen("held.vbs");
    EXPECT_FALSE(os.DeleteFileA(At("held.vbs")));
    EXPECT_EQ(reason(), StatusCode::SharingViolation);
  }
  EXPECT_FALSE(os.DeleteFileA(At("readonly.inf")));
  EXPECT_EQ(reason(), StatusCode::AccessDenied);
  EXPECT_FALSE(os.DeleteFileA(At("folder.lnk")));
  EXPECT_EQ(reason(), StatusCode::AccessDenied);
  EXPECT_FALSE(os.DeleteFileA(At("missing.lnk")));
  EXPECT_EQ(reason(), StatusCode::FileNotFound);
  EXPECT_FALSE(os.SetFileAttributesA(At("missing.lnk"), Attr::Normal));
  EXPECT_EQ(reason(), StatusCode::FileNotFound);
  EXPECT_FALSE(os.SetFileAttributesA(At("no folder\\x.lnk"), Attr::Normal));
  EXPECT_EQ(reason(), StatusCode::PathNotFound);
  EXPECT_FALSE(os.PathFileExistsA(At("missing.lnk")));
  EXPECT_EQ(reason(), StatusCode::FileNotFound);
}

TEST_F(PlatformContract, WriteTextFileMakesANewFileAndReplacesOnlyWhenAsked) {
  const std::string text = "Report\r\n\xE0\xA6\xAC\xE0\xA6\xBF.lnk\r\n";  // UTF-8 is written as it is
  EXPECT_TRUE(os.WriteTextFile(At("report.txt"), text, false));
  EXPECT_EQ(world->FileContent("report.txt"), text);

  EXPECT_FALSE(os.WriteTextFile(At("report.txt"), "other", false));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::FileExists);
  EXPECT_EQ(world->FileContent("report.txt"), text);

  EXPECT_TRUE(os.WriteTextFile(At("report.txt"), "short", true));
  EXPECT_EQ(world->FileContent("report.txt"), "short");

  EXPECT_FALSE(os.WriteTextFile(At("no folder\\report.txt"), text, false));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::PathNotFound);
  EXPECT_FALSE(world->FileContent("no folder\\report.txt").has_value());
  EXPECT_TRUE(os.WriteTextFile(At("empty.txt"), "", false));
  EXPECT_EQ(world->FileContent("empty.txt"), "");
}

TEST_F(PlatformContract, RegDeleteKeyTakesAKeyWithItsValuesButNoKeyWithSubKeys) {
  world->WriteRawValue("leaf", "v", RawValue{RegType::Dword, Dword(1)});
  world->WriteRawValue("parent\\child", "v", RawValue{RegType::Sz, Terminated("x")});
  const Handle scratch = OpenScratchKey();
  EXPECT_EQ(os.RegDeleteKeyA(scratch, "leaf"), StatusCode::Success);
  EXPECT_FALSE(world->KeyExists("leaf"));
  EXPECT_EQ(os.RegDeleteKeyA(scratch, "parent"), StatusCode::AccessDenied);
  EXPECT_TRUE(world->KeyExists("parent\\child"));
  EXPECT_EQ(os.RegDeleteKeyA(scratch, "missing"), StatusCode::FileNotFound);
  os.RegCloseKey(scratch);
  // Relative to a root as well.
  EXPECT_EQ(os.RegDeleteKeyA(Root::CurrentUser, Key("parent\\child")), StatusCode::Success);
  EXPECT_FALSE(world->KeyExists("parent\\child"));
  EXPECT_TRUE(world->KeyExists("parent"));
}

TEST_F(PlatformContract, LocalTimeIsADayOfTheCalendar) {
  SystemTime now;
  os.GetLocalTime(now);
  EXPECT_GE(now.year, 2024);
  EXPECT_LE(now.year, 2200);
  ASSERT_GE(now.month, 1);
  ASSERT_LE(now.month, 12);
  const int daysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, daysIn[now.month - 1]);
  EXPECT_LT(now.hour, 24);
  EXPECT_LT(now.minute, 60);
  EXPECT_LT(now.second, 60);
  EXPECT_LT(now.milliseconds, 1000);
  // The day of the week belongs to the date (Sakamoto's method).
  static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  int year = now.year - (now.month < 3 ? 1 : 0);
  EXPECT_EQ(now.dayOfWeek, (year + year / 4 - year / 100 + year / 400 + offsets[now.month - 1] + now.day) % 7);
}

TEST_F(PlatformContract, TextPutOnTheClipboardIsThereAsText) {
  const std::string text = "Deleted: T:\\\xE0\xA6\x9B\xE0\xA6\xAC\xE0\xA6\xBF.lnk (3 bytes)\r\nline two";
  EXPECT_TRUE(os.SetClipboardText(text));
  EXPECT_EQ(world->ClipboardText(), text);
  EXPECT_TRUE(os.SetClipboardText("again"));
  EXPECT_EQ(world->ClipboardText(), "again");
}

// ---- What the stick windows need: reading a file, renaming, removing an empty folder ----------

std::string Text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

TEST_F(PlatformContract, ReadFileBytesGivesAFilesFirstBytesAlsoWhileAnotherProgramHoldsIt) {
  world->MakeFile("link.lnk", Attr::Hidden | Attr::ReadOnly, "0123456789");
  world->MakeFile("empty.inf", 0, "");
  world->MakeFolder("folder.lnk");
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(os.ReadFileBytes(At("link.lnk"), 4, bytes));
  EXPECT_EQ(Text(bytes), "0123");
  ASSERT_TRUE(os.ReadFileBytes(At("link.lnk"), 1000, bytes));
  EXPECT_EQ(Text(bytes), "0123456789");
  ASSERT_TRUE(os.ReadFileBytes(At("empty.inf"), 10, bytes));
  EXPECT_THAT(bytes, IsEmpty());
  {
    auto held = world->HoldOpen("link.lnk");
    ASSERT_TRUE(os.ReadFileBytes(At("link.lnk"), 3, bytes));
    EXPECT_EQ(Text(bytes), "012");
  }

  std::vector<std::uint8_t> untouched = Bytes("kept");
  EXPECT_FALSE(os.ReadFileBytes(At("folder.lnk"), 10, untouched));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::AccessDenied);
  EXPECT_FALSE(os.ReadFileBytes(At("missing.lnk"), 10, untouched));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::FileNotFound);
  EXPECT_FALSE(os.ReadFileBytes(At("no folder\\x.lnk"), 10, untouched));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::PathNotFound);
  EXPECT_EQ(Text(untouched), "kept");
  // Reading changed nothing.
  EXPECT_EQ(world->FileContent("link.lnk"), "0123456789");
  EXPECT_EQ(AttributesOf("link.lnk"), Attr::Hidden | Attr::ReadOnly);
}

TEST_F(PlatformContract, MoveFileExRenamesFilesAndFoldersAndNeverReplaces) {
  world->MakeFolder("data", Attr::Hidden);
  world->MakeFile("data\\doc.txt", Attr::ReadOnly, "doc");
  world->MakeFile("data\\DUP.TXT", 0, "inside");
  world->MakeFolder("data\\Photos");
  world->MakeFile("data\\Photos\\a.jpg", 0, "jpg");
  world->MakeFile("dup.txt", 0, "root");

  // A file and a folder with all it holds go to the root, keeping their attributes.
  EXPECT_TRUE(os.MoveFileExA(At("data\\doc.txt"), At("doc.txt")));
  EXPECT_EQ(world->FileContent("doc.txt"), "doc");
  EXPECT_FALSE(world->Attributes("data\\doc.txt").has_value());
  EXPECT_EQ(AttributesOf("doc.txt"), Attr::ReadOnly);
  EXPECT_TRUE(os.MoveFileExA(At("data\\Photos"), At("Photos")));
  EXPECT_EQ(world->FileContent("Photos\\a.jpg"), "jpg");
  EXPECT_FALSE(world->Attributes("data\\Photos").has_value());

  // A name that is taken, whatever its letter case, refuses the move; both stay as they were.
  EXPECT_FALSE(os.MoveFileExA(At("data\\DUP.TXT"), At("dup.txt")));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::AlreadyExists);
  EXPECT_EQ(world->FileContent("dup.txt"), "root");
  EXPECT_EQ(world->FileContent("data\\DUP.TXT"), "inside");
  EXPECT_FALSE(os.MoveFileExA(At("doc.txt"), At("Photos")));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::AlreadyExists);
  EXPECT_EQ(world->FileContent("Photos\\a.jpg"), "jpg");

  // A folder renamed in place keeps what it holds.
  EXPECT_TRUE(os.MoveFileExA(At("data"), At("Recovered files")));
  EXPECT_EQ(world->FileContent("Recovered files\\DUP.TXT"), "inside");
  EXPECT_EQ(AttributesOf("Recovered files") & Attr::Directory, Attr::Directory);
  EXPECT_THAT(List(root + "*"), UnorderedElementsAre("Recovered files", "doc.txt", "dup.txt", "Photos"));

  // Another letter case of its own name is no clash. (Windows then lists the new letter case;
  // Wine 8 answers success and keeps the old one.)
  EXPECT_TRUE(os.MoveFileExA(At("doc.txt"), At("DOC.txt")));
  EXPECT_EQ(world->FileContent("doc.txt"), "doc");
  EXPECT_EQ(List(root + "*").size(), 4u);

  // Nothing to move, nowhere to go, or a folder into itself: refused, nothing changes.
  EXPECT_FALSE(os.MoveFileExA(At("missing.txt"), At("there.txt")));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::FileNotFound);
  EXPECT_FALSE(os.MoveFileExA(At("dup.txt"), At("no folder\\dup.txt")));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::PathNotFound);
  EXPECT_FALSE(os.MoveFileExA(At("Photos"), At("Photos\\inner")));
  EXPECT_EQ(world->FileContent("Photos\\a.jpg"), "jpg");
  EXPECT_EQ(world->FileContent("dup.txt"), "root");
}

TEST_F(PlatformContract, MoveFileExRefusesAFileAnotherProgramHolds) {
  world->MakeFolder("data");
  world->MakeFile("data\\held.doc", 0, "held");
  auto held = world->HoldOpen("data\\held.doc");
  EXPECT_FALSE(os.MoveFileExA(At("data\\held.doc"), At("held.doc")));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::SharingViolation);
  EXPECT_EQ(world->FileContent("data\\held.doc"), "held");
  EXPECT_FALSE(world->Attributes("held.doc").has_value());
}

// "T:\ " is the root itself once Windows has taken the trailing blank off; the platform reaches
// the folder named one blank.
TEST_F(PlatformContract, AFolderNamedOneBlankIsReachedAndNotTheRoot) {
  world->MakeFolder(" ", Attr::Hidden | Attr::System);
  world->MakeFile(" \\a.txt", 0, "a");
  world->MakeFile("root.txt", 0, "root");
  EXPECT_TRUE(os.PathFileExistsA(At(" \\a.txt")));
  EXPECT_THAT(List(At(" ") + "\\*"), UnorderedElementsAre(".", "..", "a.txt"));
  EXPECT_TRUE(os.SetFileAttributesA(At(" "), Attr::Normal));
  EXPECT_FALSE(os.RemoveDirectoryA(At(" ")));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::DirNotEmpty);
  EXPECT_TRUE(os.MoveFileExA(At(" \\a.txt"), At("a.txt")));
  EXPECT_EQ(world->FileContent("a.txt"), "a");
  EXPECT_TRUE(os.RemoveDirectoryA(At(" ")));
  EXPECT_FALSE(world->Attributes(" ").has_value());
  EXPECT_EQ(world->FileContent("root.txt"), "root");
  EXPECT_THAT(List(root + "*"), UnorderedElementsAre("a.txt", "root.txt"));
}

TEST_F(PlatformContract, RemoveDirectoryTakesOnlyAFolderThatHoldsNothing) {
  world->MakeFolder("full");
  world->MakeFile("full\\x.txt", 0, "x");
  world->MakeFolder("nested");
  world->MakeFolder("nested\\inner");
  world->MakeFile("file.txt", 0, "file");
  world->MakeFolder("empty", Attr::Hidden | Attr::System);

  EXPECT_FALSE(os.RemoveDirectoryA(At("full")));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::DirNotEmpty);
  EXPECT_EQ(world->FileContent("full\\x.txt"), "x");
  EXPECT_FALSE(os.RemoveDirectoryA(At("nested")));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::DirNotEmpty);
  EXPECT_TRUE(world->Attributes("nested\\inner").has_value());
  EXPECT_FALSE(os.RemoveDirectoryA(At("file.txt")));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::NotADirectory);
  EXPECT_EQ(world->FileContent("file.txt"), "file");
  EXPECT_FALSE(os.RemoveDirectoryA(At("missing")));
  EXPECT_EQ(static_cast<Status>(os.GetLastError()), StatusCode::FileNotFound);
  EXPECT_FALSE(os.RemoveDirectoryA(root));

  EXPECT_TRUE(os.RemoveDirectoryA(At("empty")));
  EXPECT_FALSE(world->Attributes("empty").has_value());
  EXPECT_TRUE(os.RemoveDirectoryA(At("nested\\inner")));
  EXPECT_TRUE(os.RemoveDirectoryA(At("nested")));
  EXPECT_THAT(List(root + "*"), UnorderedElementsAre("full", "file.txt"));
}

// ---- What the search of every autostart place reads ------------------------------------------

// The variables of the environment by lower-cased name, the per-drive entries ("=C:=C:\...")
// left out; a name given twice fails the test.
std::map<std::string, std::string> Variables(PlatformOperations& os) {
  std::map<std::string, std::string> variables;
  for (const std::string& entry : os.GetEnvironmentStringsA()) {
    const std::size_t equals = entry.find('=', 1);
    EXPECT_NE(equals, std::string::npos) << entry;
    if (equals == std::string::npos || entry.front() == '=') continue;
    EXPECT_TRUE(variables.emplace(LowerCase(entry.substr(0, equals)), entry.substr(equals + 1)).second)
        << "twice: " << entry;
  }
  return variables;
}

bool IsBelow(std::string_view path, std::string_view folder) {
  const std::string lowerPath = LowerCase(path);
  const std::string lowerFolder = LowerCase(folder) + "\\";
  return lowerPath.size() > lowerFolder.size() && lowerPath.compare(0, lowerFolder.size(), lowerFolder) == 0;
}

TEST_F(PlatformContract, TheEnvironmentGivesEveryVariableAsItIsSet) {
  // The value keeps its own "=" and its "%...%" unexpanded, and text outside ASCII.
  const std::string value = "a=b \xE0\xA6\xAC %TEMP%\\x";
  world->SetVariable("TIDEWICK_CONTRACT", value);
  const std::map<std::string, std::string> variables = Variables(os);
  ASSERT_EQ(variables.count("tidewick_contract"), 1u);
  EXPECT_EQ(variables.at("tidewick_contract"), value);
  ASSERT_EQ(variables.count("systemroot"), 1u);
  ASSERT_EQ(variables.count("userprofile"), 1u);
  const std::string profile = world->ExpectedProfileFolder();
  if (!profile.empty()) EXPECT_EQ(LowerCase(variables.at("userprofile")), LowerCase(profile));
}

TEST_F(PlatformContract, SpecialFoldersAreTheFoldersTheEnvironmentNames) {
  std::map<std::string, std::string> variables = Variables(os);
  std::string windows;
  ASSERT_TRUE(os.SHGetFolderPathA(SpecialFolder::Windows, windows));
  EXPECT_EQ(LowerCase(windows), LowerCase(variables["systemroot"]));
  EXPECT_TRUE(os.PathFileExistsA(windows + "\\System32")) << windows;
  std::string programFiles;
  ASSERT_TRUE(os.SHGetFolderPathA(SpecialFolder::ProgramFiles, programFiles));
  EXPECT_EQ(LowerCase(programFiles), LowerCase(variables["programfiles"]));
  std::string programFilesX86;
  ASSERT_TRUE(os.SHGetFolderPathA(SpecialFolder::ProgramFilesX86, programFilesX86));
  if (variables.count("programfiles(x86)") != 0) {
    EXPECT_EQ(LowerCase(programFilesX86), LowerCase(variables["programfiles(x86)"]));
  }
  std::string startup;
  ASSERT_TRUE(os.SHGetFolderPathA(SpecialFolder::Startup, startup));
  EXPECT_TRUE(IsBelow(startup, variables["appdata"])) << startup;
  EXPECT_TRUE(EndsWith(LowerCase(startup), "\\startup")) << startup;
  std::string commonStartup;
  ASSERT_TRUE(os.SHGetFolderPathA(SpecialFolder::CommonStartup, commonStartup));
  EXPECT_TRUE(IsBelow(commonStartup, variables["allusersprofile"])) << commonStartup;
  EXPECT_TRUE(EndsWith(LowerCase(commonStartup), "\\startup")) << commonStartup;
  EXPECT_NE(LowerCase(startup), LowerCase(commonStartup));
  for (const std::string* folder : {&windows, &programFiles, &programFilesX86, &startup, &commonStartup}) {
    EXPECT_NE(folder->back(), '\\') << *folder;
  }

  // A folder Windows does not know leaves the answer as it was.
  std::string untouched = "untouched";
  EXPECT_FALSE(os.SHGetFolderPathA(0x7FFF, untouched));
  EXPECT_EQ(untouched, "untouched");
}

TEST_F(PlatformContract, TheTemporaryFolderIsTmpWithItsBackslash) {
  const std::map<std::string, std::string> variables = Variables(os);
  ASSERT_EQ(variables.count("tmp"), 1u);
  std::string temp;
  ASSERT_TRUE(os.GetTempPathA(temp));
  EXPECT_EQ(LowerCase(temp), LowerCase(variables.at("tmp") + "\\"));
  // It follows the environment of the moment.
  world->SetVariable("TMP", At("temp \xE0\xA6\xAC"));
  ASSERT_TRUE(os.GetTempPathA(temp));
  EXPECT_EQ(LowerCase(temp), LowerCase(At("temp \xE0\xA6\xAC\\")));
}

TEST_F(PlatformContract, DriveTypeIsThatOfTheScratchDriveAndNoneForALetterThatLeadsNowhere) {
  EXPECT_EQ(os.GetDriveTypeA(root), world->ScratchDriveType());
  EXPECT_EQ(os.GetDriveTypeA(world->UnmappedRoot()), DriveType::NoRootDir);
}

TEST_F(PlatformContract, TheCommandLineOfAnotherProcessIsTheOneItWasStartedWith) {
  const std::uint32_t plain = world->StartProcess("tw-contract-e.exe");
  const std::uint32_t script =
      world->StartProcessWithArguments("tw-contract-f.exe", "//B \"" + At("x y.vbs") + "\" \xE0\xA6\xAC %TEMP% \"\"");
  ASSERT_TRUE(world->IsRunning(plain));
  ASSERT_TRUE(world->IsRunning(script));
  std::string line;
  ASSERT_TRUE(os.NtQueryInformationProcess(script, line));
  EXPECT_EQ(line, world->CommandLineOf(script));
  ASSERT_TRUE(os.NtQueryInformationProcess(plain, line));
  EXPECT_EQ(line, world->CommandLineOf(plain));

  // An id no process has: nothing to read, the answer stays as it was.
  std::string untouched = "untouched";
  EXPECT_FALSE(os.NtQueryInformationProcess(UnusedProcessId(), untouched));
  EXPECT_EQ(untouched, "untouched");
}

// The registry read from the text of a value of an open key.
std::optional<std::string> TextOf(PlatformOperations& os, Handle root, std::string_view path, std::uint32_t access,
                                  std::string_view valueName) {
  Handle key = 0;
  if (os.RegOpenKeyExA(root, path, 0, access, key) != StatusCode::Success) return std::nullopt;
  char data[64] = {};
  std::uint32_t size = sizeof data;
  std::uint32_t type = RegType::None;
  const Status status = os.RegQueryValueExA(key, valueName, &type, data, &size);
  os.RegCloseKey(key);
  if (status != StatusCode::Success || type != RegType::Sz) return std::nullopt;
  return std::string(data);
}

TEST_F(PlatformContract, TheThirtyTwoBitViewOfTheMachinesSoftwareIsItsWow6432NodeKey) {
  if (!world->Has32BitView()) GTEST_SKIP() << "Windows here has one registry view";
  world->WriteMachineValue(false, "v", RawValue{RegType::Sz, Terminated("native")});
  world->WriteMachineValue(true, "v", RawValue{RegType::Sz, Terminated("32-bit")});
  const std::string key = "Software\\TidewickContractTest";
  EXPECT_EQ(TextOf(os, Root::LocalMachine, key, KeyAccess::Read, "v"), "native");
  EXPECT_EQ(TextOf(os, Root::LocalMachine, key, KeyAccess::Read | KeyAccess::View32, "v"), "32-bit");
  EXPECT_EQ(TextOf(os, Root::LocalMachine, "SOFTWARE\\Wow6432Node\\TidewickContractTest", KeyAccess::Read, "v"),
            "32-bit");

  // A value deleted through the 32-bit view goes from there alone.
  Handle view32 = 0;
  ASSERT_EQ(os.RegOpenKeyExA(Root::LocalMachine, key, 0, KeyAccess::Open | KeyAccess::View32, view32),
            StatusCode::Success);
  EXPECT_EQ(os.RegDeleteValueA(view32, "v"), StatusCode::Success);
  os.RegCloseKey(view32);
  EXPECT_FALSE(world->ReadMachineValue(true, "v").has_value());
  ASSERT_TRUE(world->ReadMachineValue(false, "v").has_value());
  EXPECT_EQ(world->ReadMachineValue(false, "v")->bytes, Terminated("native"));

  // The current user's Software is one key in both views.
  world->WriteRawValue("", "u", RawValue{RegType::Sz, Terminated("user")});
  EXPECT_EQ(TextOf(os, Root::CurrentUser, Key(), KeyAccess::Read | KeyAccess::View32, "u"), "user");
}

}  // namespace
}  // namespace tidewick::contract
