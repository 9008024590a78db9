// Folder listings and file removal over the contract (platform/files.h) on the simulated
// platform.
//
// Example of use, as the drive cleaner shows every root entry of a stick:
//
//   const FolderListing root = ListFolder(os, "E:\\*", ListMask::All);
//   for (const std::string& name : root.names) os.SetFileAttributesA("E:\\" + name, Attr::Normal);
//   if (root.failed) Warn();  // the stick stopped answering part-way
#include "platform/files.h"

#include "platform/simulated/simulated_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace tidewick {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using sim::SimulatedPlatform;

class FilesLayer : public ::testing::Test {
 protected:
  FilesLayer() { os.AddDrive('E'); }
  SimulatedPlatform os;
};

// ---- ListFolder -----------------------------------------------------------------------------

TEST_F(FilesLayer, AListingHoldsEveryNameInOrderWithoutTheDotEntries) {
  os.AddFolder("E:\\Work", Attr::Hidden);
  os.AddFile("E:\\Work\\b.txt");
  os.AddFile("E:\\Work\\a.lnk", Attr::Hidden | Attr::System);
  os.AddFolder("E:\\Work\\inner");
  os.AddFile("E:\\top.txt");

  const FolderListing work = ListFolder(os, "E:\\Work\\*", ListMask::All);
  EXPECT_THAT(work.names, ElementsAre("b.txt", "a.lnk", "inner"));  // "." and ".." left out
  EXPECT_FALSE(work.failed);

  const FolderListing shortcuts = ListFolder(os, "E:\\Work\\*.lnk", ListMask::All);
  EXPECT_THAT(shortcuts.names, ElementsAre("a.lnk"));
  // The mask is passed on: without the hidden and system bits the shortcut is not listed.
  EXPECT_THAT(ListFolder(os, "E:\\Work\\*", ListMask::Directory).names, ElementsAre("b.txt", "inner"));
  EXPECT_THAT(ListFolder(os, "E:\\*", ListMask::All).names, ElementsAre("Work", "top.txt"));
}

TEST_F(FilesLayer, AListingThatFailsKeepsWhatWasReadAndSaysSo) {
  struct Case {
    const char* what;
    const char* pattern;
    std::size_t failAfter;  // entries the folder yields before it stops answering
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"a root failing part-way", "E:\\*", 2, {"r0", "r1"}},
      {"a root failing at once", "E:\\*", 0, {}},
      // "." and ".." are the first two entries of a folder below the root.
      {"a folder failing after its dot entries and one name", "E:\\Sub\\*", 3, {"s0"}},
      {"a folder failing within its dot entries", "E:\\Sub\\*", 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimulatedPlatform fresh;
    fresh.AddDrive('E');
    for (int i = 0; i < 4; ++i) fresh.AddFile("E:\\r" + std::to_string(i));
    for (int i = 0; i < 4; ++i) fresh.AddFile("E:\\Sub\\s" + std::to_string(i));
    const std::string folder = std::string(c.pattern).substr(0, std::string(c.pattern).size() - 1);
    fresh.FailListingAfter(folder, c.failAfter);

    const FolderListing listing = ListFolder(fresh, c.pattern, ListMask::All);

    EXPECT_EQ(listing.names, c.names);
    EXPECT_TRUE(listing.failed);
  }
  // A folder that is not there, and a device that is gone.
  const FolderListing missing = ListFolder(os, "E:\\Missing\\*", ListMask::All);
  EXPECT_THAT(missing.names, IsEmpty());
  EXPECT_TRUE(missing.failed);
  os.RemoveDrive('E');
  EXPECT_TRUE(ListFolder(os, "E:\\*", ListMask::All).failed);
}

// The contract has one listing cursor. ListFolder reads its listing to the end before anything
// else runs, and a listing started from within one being read is refused instead of cutting
// the first one short.
TEST_F(FilesLayer, NoListingStartsWhileAnotherIsRead) {
  for (int i = 0; i < 5; ++i) os.AddFile("E:\\f" + std::to_string(i));
  os.AddFile("E:\\Sub\\inner");
  int entriesRead = 0;
  EXPECT_THROW(ListFolder(os, "E:\\*", ListMask::All,
                          [&] {
                            ++entriesRead;
                            ListFolder(os, "E:\\Sub\\*", ListMask::All);
                          }),
               std::logic_error);
  EXPECT_EQ(entriesRead, 1);

  // The refusal does not stay behind: listings work again, and one run after another (with a
  // listing in between each name's handling) all see their whole folder.
  entriesRead = 0;
  const FolderListing root = ListFolder(os, "E:\\*", ListMask::All, [&] { ++entriesRead; });
  EXPECT_EQ(entriesRead, 6);
  std::vector<std::size_t> innerCounts;
  for (const std::string& name : root.names) {
    (void)name;
    innerCounts.push_back(ListFolder(os, "E:\\Sub\\*", ListMask::All).names.size());
  }
  EXPECT_THAT(innerCounts, ElementsAre(1, 1, 1, 1, 1, 1));
  EXPECT_FALSE(root.failed);
}

// ---- MakePlainAndDelete ---------------------------------------------------------------------

TEST_F(FilesLayer, MakePlainAndDeleteClearsTheAttributesDeletesAndLooks) {
  struct Case {
    const char* what;
    std::uint32_t attributes;
    void (*prepare)(SimulatedPlatform&, const std::string& path);
    FileRemoval expected;
    bool staysOnDisk;
  };
  const auto nothing = [](SimulatedPlatform&, const std::string&) {};
  const Case cases[] = {
      {"a plain file", Attr::Archive, nothing, FileRemoval::Gone, false},
      {"hidden, system and read-only", Attr::Hidden | Attr::System | Attr::ReadOnly, nothing, FileRemoval::Gone,
       false},
      {"a file in use", Attr::Archive, [](SimulatedPlatform& s, const std::string& p) { s.LockEntry(p); },
       FileRemoval::StillThere, true},
      {"read-only on a write-protected medium", Attr::ReadOnly,
       [](SimulatedPlatform& s, const std::string& p) { s.RefuseAttributeChanges(p); }, FileRemoval::StillThere,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = "E:\\v.lnk";
    os.AddFile(path, c.attributes);
    c.prepare(os, path);
    EXPECT_EQ(MakePlainAndDelete(os, path), c.expected);
    EXPECT_EQ(os.Exists(path), c.staysOnDisk);
    if (c.staysOnDisk) {
      os.LockEntry(path, false);
      os.RefuseAttributeChanges(path, false);
      ASSERT_EQ(MakePlainAndDelete(os, path), FileRemoval::Gone);
    }
  }

  os.AddFolder("E:\\Folder", Attr::Hidden);
  EXPECT_EQ(MakePlainAndDelete(os, "E:\\Folder"), FileRemoval::StillThere);  // never a folder
  EXPECT_EQ(os.AttributesOf("E:\\Folder"), Attr::Directory);                   // but made plain
  EXPECT_EQ(MakePlainAndDelete(os, "E:\\absent.lnk"), FileRemoval::Gone);
  // A path Windows cannot reach answers "gone" although the entry stays: only a listing tells.
  os.AddFile("E:\\a | b.lnk");
  EXPECT_EQ(MakePlainAndDelete(os, "E:\\a | b.lnk"), FileRemoval::Gone);
  EXPECT_TRUE(os.Exists("E:\\a | b.lnk"));
}

}  // namespace
}  // namespace tidewick
