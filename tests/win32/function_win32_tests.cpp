// Module Function on the real Win32 platform, under Wine: the policy repair against the real
// registry, KillProcessByName and KillProcessByImage ending real processes through the
// project's pskill.exe, and Delay handling real window messages while it waits.
//
// Set-up, and the checks that must not lean on the platform under test, go through
// win32_helpers (raw Win32 calls).
#include "platform/Function.h"
#include "tests/support/expected_repair.h"
#include "platform/text.h"
#include "tests/win32/win32_helpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#ifndef TW_PSKILL_EXE
#error "TW_PSKILL_EXE names the built pskill.exe"
#endif
#ifndef TW_SLEEPER_EXE
#error "TW_SLEEPER_EXE names the built sleeper program"
#endif

namespace tidewick {
namespace {

using namespace wintest;

using Row = expected::RegistryRow;
using expected::kCommandPrompt;
using expected::kRepair;

// Registry keys compare without letter case and without a trailing backslash.
using KeyId = std::pair<Handle, std::string>;

KeyId IdOf(Handle root, std::string_view path) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return {root, LowerCase(path)};
}

std::set<KeyId> KeysOf(const Row* rows, std::size_t count) {
  std::set<KeyId> keys;
  for (std::size_t i = 0; i < count; ++i) keys.insert(IdOf(rows[i].root, rows[i].subKey));
  return keys;
}

struct StoredValue {
  std::uint32_t type = RegType::None;
  std::vector<std::uint8_t> data;
  friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

// Every value of the given keys as the platform enumerates it, by key and lower-cased name.
using Values = std::map<std::tuple<Handle, std::string, std::string>, StoredValue>;

Values ValuesOf(PlatformOperations& os, const std::set<KeyId>& keys) {
  Values values;
  for (const auto& [root, path] : keys) {
    Handle key = 0;
    if (os.RegOpenKeyExA(root, path, 0, KeyAccess::Open, key) == StatusCode::Success) {
      for (std::uint32_t index = 0;; ++index) {
        char name[1024] = {};
        std::uint32_t nameLength = sizeof name;
        std::uint32_t type = RegType::None;
        std::uint8_t data[1024] = {};
        std::uint32_t dataLength = sizeof data;
        if (os.RegEnumValueA(key, index, name, nameLength, &type, data, dataLength) !=
            StatusCode::Success) {
          break;
        }
        values[{root, path, LowerCase(std::string_view(name, nameLength))}] =
            StoredValue{type, std::vector<std::uint8_t>(data, data + dataLength)};
      }
    }
    os.RegCloseKey(key);
  }
  return values;
}

// Takes the repair values out of the registry of the test prefix, and the keys that held
// nothing else, so that each test starts from a hive without them.
void RemoveRepairValues() {
  auto remove = [](const Row& row) {
    RawDeleteValue(row.root, row.subKey, row.valueName);
    RawRemoveEmptyKeys(row.root, row.subKey, 3);
  };
  for (const Row& row : kRepair) remove(row);
  for (const Row& row : kCommandPrompt) remove(row);
}

class PolicyRepairOnWine : public ::testing::Test {
 protected:
  void SetUp() override { RemoveRepairValues(); }
  void TearDown() override { RemoveRepairValues(); }

  std::unique_ptr<PlatformOperations> os = MakeWin32Platform();
  Function fn{*os};
};

TEST_F(PolicyRepairOnWine, FixRegistryCreatesEveryKeyAndLeavesExactlyTheTwelveValues) {
  const std::set<KeyId> keys = KeysOf(kRepair, std::size(kRepair));
  const Values before = ValuesOf(*os, keys);
  for (const Row& row : kRepair) {
    EXPECT_FALSE(before.count({row.root, IdOf(row.root, row.subKey).second,
                               LowerCase(row.valueName)}))
        << row.valueName << " was not removed";
  }
  // The leaf keys hold nothing of Wine's own: they are gone before the repair.
  EXPECT_FALSE(RawKeyExists(Root::LocalMachine, kRepair[11].subKey));
  EXPECT_FALSE(RawKeyExists(Root::CurrentUser, kRepair[0].subKey));

  fn.FixRegistry();

  for (const KeyId& key : keys) {
    EXPECT_TRUE(RawKeyExists(key.first, key.second)) << key.second;
    EXPECT_TRUE(fn.RegKeyExists(key.first, key.second)) << key.second;
  }
  for (const Row& row : kRepair) {
    EXPECT_EQ(fn.GetRegValue(row.root, row.subKey, row.valueName), RegAnswer(row.data))
        << row.subKey << row.valueName;
  }
  // Exactly the twelve values are new: nothing else was written under those keys.
  const Values after = ValuesOf(*os, keys);
  std::set<std::tuple<Handle, std::string, std::string>> added;
  for (const auto& [id, value] : after) {
    if (!before.count(id)) added.insert(id);
  }
  std::set<std::tuple<Handle, std::string, std::string>> expected;
  for (const Row& row : kRepair) {
    expected.insert({row.root, IdOf(row.root, row.subKey).second, LowerCase(row.valueName)});
  }
  EXPECT_EQ(added, expected);
  EXPECT_EQ(added.size(), 12u);
  for (const Row& row : kRepair) {
    const auto found = after.find({row.root, IdOf(row.root, row.subKey).second,
                                   LowerCase(row.valueName)});
    ASSERT_NE(found, after.end()) << row.valueName;
    EXPECT_EQ(found->second.type, RegType::Dword) << row.valueName;
    EXPECT_EQ(found->second.data.size(), 4u) << row.valueName;
  }
}

TEST_F(PolicyRepairOnWine, FixRegistryTwiceLeavesWhatOnceLeaves) {
  RawSetDword(Root::CurrentUser, kRepair[1].subKey, "DisableTaskMgr", 1);  // the malware's
  const std::set<KeyId> keys = KeysOf(kRepair, std::size(kRepair));
  fn.FixRegistry();
  const Values once = ValuesOf(*os, keys);
  fn.FixRegistry();
  const Values twice = ValuesOf(*os, keys);
  EXPECT_EQ(twice, once);
  EXPECT_EQ(fn.GetRegValue(Root::CurrentUser, kRepair[1].subKey, "DisableTaskMgr"),
            RegAnswer(0));
}

TEST_F(PolicyRepairOnWine, EnableCommandPromptLiftsThePolicyUnderBothRoots) {
  for (const Row& row : kCommandPrompt) RawSetDword(row.root, row.subKey, row.valueName, 1);
  fn.EnableCommandPrompt();
  for (const Row& row : kCommandPrompt) {
    EXPECT_EQ(fn.GetRegValue(row.root, row.subKey, row.valueName), RegAnswer(0));
  }
  // From a hive without the keys, too.
  RemoveRepairValues();
  EXPECT_FALSE(RawKeyExists(Root::LocalMachine, kCommandPrompt[1].subKey));
  fn.EnableCommandPrompt();
  for (const Row& row : kCommandPrompt) {
    EXPECT_EQ(fn.GetRegValue(row.root, row.subKey, row.valueName), RegAnswer(0));
  }
}

// ---- KillProcessByName --------------------------------------------------------------------

// Two copies of the sleeper run as "twvictim.exe" from two folders, a third as
// "twbystander.exe"; pskill.exe lies in the current folder, as beside the program.
class KillOnWine : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder of its own for each test: the kill tool of the previous one may still be on
    // its way out of its folder.
    static int run = 0;
    folder = MakeScratchFolder("tw-function-kill-" + std::to_string(TickCount()) + "-" +
                               std::to_string(++run));
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(CopyBuiltFile(TW_PSKILL_EXE, folder + "\\pskill.exe"));
    ASSERT_TRUE(SetCurrentFolder(folder));
    for (const char* sub : {"\\one", "\\two"}) {
      const std::string victim = folder + sub + "\\twvictim.exe";
      ASSERT_TRUE(MakeFolder(folder + sub));
      ASSERT_TRUE(CopyBuiltFile(TW_SLEEPER_EXE, victim));
      victims.push_back(std::make_unique<ChildProcess>(victim, "90000"));
      ASSERT_TRUE(victims.back()->Started()) << victim;
    }
    ASSERT_TRUE(CopyBuiltFile(TW_SLEEPER_EXE, folder + "\\twbystander.exe"));
    bystander = std::make_unique<ChildProcess>(folder + "\\twbystander.exe", "90000");
    ASSERT_TRUE(bystander->Started());
    for (const Row& row : kCommandPrompt) RawDeleteValue(row.root, row.subKey, row.valueName);
  }
  void TearDown() override {
    victims.clear();
    bystander.reset();
    RemoveRepairValues();
    SetCurrentFolder(folder + "\\..");
    // The kill tools and their command interpreters may take a moment to leave the folder.
    for (int attempt = 0; attempt < 50 && !RemoveFolder(folder); ++attempt) Pause(100);
  }

  std::string folder;
  std::vector<std::unique_ptr<ChildProcess>> victims;
  std::unique_ptr<ChildProcess> bystander;
  std::unique_ptr<PlatformOperations> os = MakeWin32Platform();
  Function fn{*os};
};

TEST_F(KillOnWine, EndsEveryRunningCopyThroughPskillAndNothingElse) {
  fn.KillProcessByName("TwVictim.EXE");
  for (const auto& victim : victims) {
    EXPECT_TRUE(victim->WaitEnded(30000)) << "process " << victim->Pid() << " still runs";
  }
  EXPECT_TRUE(bystander->Running());
  // The command-prompt policy was lifted before the starts.
  for (const Row& row : kCommandPrompt) {
    EXPECT_EQ(fn.GetRegValue(row.root, row.subKey, row.valueName), RegAnswer(0));
  }
}

TEST_F(KillOnWine, ANameNoProcessHasStartsNothing) {
  fn.KillProcessByName("twnobody.exe");
  fn.KillProcessByName("victim.exe");                 // part of a running name
  fn.KillProcessByName(folder + "\\one\\twvictim.exe");  // with its folder
  // No kill tool was started: the policy that precedes every start was never written...
  for (const Row& row : kCommandPrompt) {
    EXPECT_FALSE(fn.GetRegValue(row.root, row.subKey, row.valueName).IsNumber());
  }
  // ...and every process still runs a good while later.
  EXPECT_FALSE(victims[0]->WaitEnded(3000));
  for (const auto& victim : victims) EXPECT_TRUE(victim->Running());
  EXPECT_TRUE(bystander->Running());
}

// ---- KillProcessByImage -------------------------------------------------------------------

// Two copies of the sleeper run under one name, "twworm.exe": one from a folder standing for
// the profile folder, one from another folder, as a system program of the worm's name would.
// Only the copy whose image is the file being cleaned may end. (A process whose image cannot
// be read does not occur under Wine, where every process belongs to the same user: that case
// is tested on the simulated platform.)
class KillByImageOnWine : public ::testing::Test {
 protected:
  void SetUp() override {
    static int run = 0;
    folder = MakeScratchFolder("tw-function-image-" + std::to_string(TickCount()) + "-" +
                               std::to_string(++run));
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(CopyBuiltFile(TW_PSKILL_EXE, folder + "\\pskill.exe"));
    ASSERT_TRUE(SetCurrentFolder(folder));
    for (const char* sub : {"\\profile", "\\elsewhere"}) {
      ASSERT_TRUE(MakeFolder(folder + sub));
      const std::string image = folder + sub + "\\twworm.exe";
      ASSERT_TRUE(CopyBuiltFile(TW_SLEEPER_EXE, image));
      copies.push_back(std::make_unique<ChildProcess>(image, "90000"));
      ASSERT_TRUE(copies.back()->Started()) << image;
    }
    for (const Row& row : kCommandPrompt) RawDeleteValue(row.root, row.subKey, row.valueName);
  }
  void TearDown() override {
    copies.clear();
    RemoveRepairValues();
    SetCurrentFolder(folder + "\\..");
    for (int attempt = 0; attempt < 50 && !RemoveFolder(folder); ++attempt) Pause(100);
  }

  ChildProcess& InProfile() { return *copies[0]; }
  ChildProcess& Elsewhere() { return *copies[1]; }

  std::string folder;
  std::vector<std::unique_ptr<ChildProcess>> copies;
  std::unique_ptr<PlatformOperations> os = MakeWin32Platform();
  Function fn{*os};
};

TEST_F(KillByImageOnWine, EndsTheCopyRunningFromTheFileAndLeavesItsNamesake) {
  fn.KillProcessByImage(folder + "\\profile\\twworm.exe");
  EXPECT_TRUE(InProfile().WaitEnded(30000)) << "process " << InProfile().Pid() << " still runs";
  // The namesake is still there a good while later.
  EXPECT_FALSE(Elsewhere().WaitEnded(3000));
  EXPECT_TRUE(Elsewhere().Running());
}

TEST_F(KillByImageOnWine, TheLongFormAndAnotherLetterCaseNameTheSameFile) {
  fn.KillProcessByImage("\\\\?\\" + LowerCase(folder) + "\\PROFILE\\TwWorm.EXE");
  EXPECT_TRUE(InProfile().WaitEnded(30000)) << "process " << InProfile().Pid() << " still runs";
  EXPECT_FALSE(Elsewhere().WaitEnded(3000));
}

TEST_F(KillByImageOnWine, AFileNoProcessRunsFromEndsNothing) {
  fn.KillProcessByImage(folder + "\\twworm.exe");             // the name, in a third folder
  fn.KillProcessByImage("twworm.exe");                          // no folder at all
  fn.KillProcessByImage(folder + "\\profile\\worm.exe");      // part of the name
  // No kill tool was started: the policy that precedes every start was never written...
  for (const Row& row : kCommandPrompt) {
    EXPECT_FALSE(fn.GetRegValue(row.root, row.subKey, row.valueName).IsNumber());
  }
  // ...and both copies still run.
  EXPECT_FALSE(InProfile().WaitEnded(3000));
  EXPECT_TRUE(Elsewhere().Running());
}

// How often Wine answers the image path of a process: every process of one snapshot is asked.
// The figure goes to the test's output; the copies started here must answer, and their paths
// must name their files.
TEST_F(KillByImageOnWine, ImagePathsOfTheProcessesOfASnapshot) {
  const Handle snapshot = os->CreateToolhelp32Snapshot(Snapshot::All, 0);
  ASSERT_NE(snapshot, 0u);
  ProcessEntry32 entry;
  entry.dwSize = ProcessEntry32::kAnsiSize;
  int processes = 0;
  int answered = 0;
  std::map<std::uint32_t, std::string> images;
  for (bool more = os->Process32First(snapshot, entry); more && processes < 100000;
       more = os->Process32Next(snapshot, entry)) {
    ++processes;
    std::string image;
    if (os->QueryFullProcessImageNameA(entry.th32ProcessID, image)) {
      ++answered;
      images[entry.th32ProcessID] = image;
    }
  }
  os->CloseHandle(snapshot);
  std::printf("image path read for %d of %d processes of the snapshot\n", answered, processes);
  RecordProperty("processes", processes);
  RecordProperty("imagesRead", answered);
  EXPECT_GE(processes, 2);
  EXPECT_EQ(ComparablePath(images[InProfile().Pid()]), ComparablePath(folder + "\\profile\\twworm.exe"));
  EXPECT_EQ(ComparablePath(images[Elsewhere().Pid()]), ComparablePath(folder + "\\elsewhere\\twworm.exe"));
}

// ---- Delay --------------------------------------------------------------------------------

TEST(DelayOnWine, WaitsAtLeastTheTimeWhileTimerMessagesAreHandled) {
  auto os = MakeWin32Platform();
  Function fn(*os);
  const ThreadTimer timer(40);
  const std::uint32_t start = TickCount();
  fn.Delay(400);
  const std::uint32_t elapsed = TickCount() - start;
  EXPECT_GE(elapsed, 400u);
  EXPECT_LT(elapsed, 5000u);
  EXPECT_GE(timer.Fired(), 3);  // handled while waiting, not only after
}

// ---- Profile and text ---------------------------------------------------------------------

TEST(ProfileOnWine, GetUserProfilePathIsTheUsersProfileFolder) {
  auto os = MakeWin32Platform();
  Function fn(*os);
  const std::string expected = ProfileFromEnvironment();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(fn.GetUserProfilePath(), expected);
}

// Two letters are the same name on Windows exactly when they have the same upper case there;
// LowerCase must put the letters of the basic plane into the same classes.
TEST(LowerCaseOnWine, FoldsExactlyTheLettersWindowsFolds) {
  std::map<std::string, std::uint32_t> windowsOfOurs;  // our folding -> Windows' upper case
  std::map<std::uint32_t, std::string> oursOfWindows;  // and back
  int mismatches = 0;
  for (std::uint32_t code = 1; code <= 0xFFFF; ++code) {
    if (code >= 0xD800 && code <= 0xDFFF) continue;
    const std::string ours = LowerCase(Utf8Of(code));
    const std::uint32_t windows = WindowsUpperCase(code);
    const auto [a, newOurs] = windowsOfOurs.emplace(ours, windows);
    const auto [b, newWindows] = oursOfWindows.emplace(windows, ours);
    if ((!newOurs && a->second != windows) || (!newWindows && b->second != ours)) {
      if (++mismatches <= 20) ADD_FAILURE() << std::hex << "U+" << code << " classes differ";
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_NE(WindowsUpperCase('a'), static_cast<std::uint32_t>('a'));  // the table was reached
}

}  // namespace
}  // namespace tidewick
