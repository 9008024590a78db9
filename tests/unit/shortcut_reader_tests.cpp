// The shortcut reader (readers/shortcut.cpp): Microsoft's published sample, a table of shortcuts
// built by the test writer (tests/support), and the damage rules: every count, offset and
// terminator is checked against the bytes that hold it.
#include "readers/shortcut.h"

#include "tests/support/shortcut_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tidewick::readers {
namespace {

using testing::ShortcutWriter;
using Bytes = std::vector<std::uint8_t>;

// The sample of the format's documentation (section 3.1, "Shortcut to a File"): a link to
// C:\test\a.txt with an ID list, a LinkInfo, a relative path, a working folder and a tracker
// block.
const Bytes kDocumentedSample = {
    0x4C, 0x00, 0x00, 0x00, 0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x46, 0x9B, 0x00, 0x08, 0x00, 0x20, 0x00, 0x00, 0x00, 0xD0, 0xE9, 0xEE, 0xF2,
    0x15, 0x15, 0xC9, 0x01, 0xD0, 0xE9, 0xEE, 0xF2, 0x15, 0x15, 0xC9, 0x01, 0xD0, 0xE9, 0xEE, 0xF2,
    0x15, 0x15, 0xC9, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xBD, 0x00, 0x14, 0x00,
    0x1F, 0x50, 0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10, 0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30,
    0x30, 0x9D, 0x19, 0x00, 0x2F, 0x43, 0x3A, 0x5C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46, 0x00, 0x31, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x2C, 0x39, 0x69, 0xA3, 0x10, 0x00, 0x74, 0x65, 0x73, 0x74, 0x00, 0x00, 0x32,
    0x00, 0x07, 0x00, 0x04, 0x00, 0xEF, 0xBE, 0x2C, 0x39, 0x65, 0xA3, 0x2C, 0x39, 0x69, 0xA3, 0x26,
    0x00, 0x00, 0x00, 0x03, 0x1E, 0x00, 0x00, 0x00, 0x00, 0xF5, 0x1E, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x74, 0x00, 0x65, 0x00, 0x73, 0x00, 0x74, 0x00, 0x00, 0x00, 0x14,
    0x00, 0x48, 0x00, 0x32, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x39, 0x69, 0xA3, 0x20, 0x00, 0x61,
    0x2E, 0x74, 0x78, 0x74, 0x00, 0x34, 0x00, 0x07, 0x00, 0x04, 0x00, 0xEF, 0xBE, 0x2C, 0x39, 0x69,
    0xA3, 0x2C, 0x39, 0x69, 0xA3, 0x26, 0x00, 0x00, 0x00, 0x2D, 0x6E, 0x00, 0x00, 0x00, 0x00, 0x96,
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x61, 0x00, 0x2E, 0x00, 0x74,
    0x00, 0x78, 0x00, 0x74, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x1C,
    0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x1C, 0x00, 0x00, 0x00, 0x2D, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x3B, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x81,
    0x8A, 0x7A, 0x30, 0x10, 0x00, 0x00, 0x00, 0x00, 0x43, 0x3A, 0x5C, 0x74, 0x65, 0x73, 0x74, 0x5C,
    0x61, 0x2E, 0x74, 0x78, 0x74, 0x00, 0x00, 0x07, 0x00, 0x2E, 0x00, 0x5C, 0x00, 0x61, 0x00, 0x2E,
    0x00, 0x74, 0x00, 0x78, 0x00, 0x74, 0x00, 0x07, 0x00, 0x43, 0x00, 0x3A, 0x00, 0x5C, 0x00, 0x74,
    0x00, 0x65, 0x00, 0x73, 0x00, 0x74, 0x00, 0x60, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0xA0, 0x58,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x63, 0x68, 0x72, 0x69, 0x73, 0x2D, 0x78, 0x70, 0x73,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x78, 0xC7, 0x94, 0x47, 0xFA, 0xC7, 0x46, 0xB3,
    0x56, 0x5C, 0x2D, 0xC6, 0xB6, 0xD1, 0x15, 0xEC, 0x46, 0xCD, 0x7B, 0x22, 0x7F, 0xDD, 0x11, 0x94,
    0x99, 0x00, 0x13, 0x72, 0x16, 0x87, 0x4A, 0x40, 0x78, 0xC7, 0x94, 0x47, 0xFA, 0xC7, 0x46, 0xB3,
    0x56, 0x5C, 0x2D, 0xC6, 0xB6, 0xD1, 0x15, 0xEC, 0x46, 0xCD, 0x7B, 0x22, 0x7F, 0xDD, 0x11, 0x94,
    0x99, 0x00, 0x13, 0x72, 0x16, 0x87, 0x4A, 0x00, 0x00, 0x00, 0x00,
};

void PatchU16(Bytes& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PatchU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  PatchU16(bytes, at, static_cast<std::uint16_t>(value & 0xFFFF));
  PatchU16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

std::vector<std::string> PlacePaths(const Shortcut& link) {
  std::vector<std::string> paths;
  for (const StatedTarget& target : link.targets) {
    paths.push_back(std::string(TargetPlaceText(target.place)) + ": " + target.path);
  }
  return paths;
}

// The shape the script worm gives every link it writes: cmd.exe, minimised without focus,
// arguments that start the worm and then open the hidden folder, and a folder icon.
ShortcutWriter WormLink() {
  ShortcutWriter writer;
  writer.IdListPath("C:\\Windows\\System32\\cmd.exe")
      .LinkInfoLocal("C:\\Windows\\System32\\cmd.exe", "", true, 3)
      .Arguments("/c start a.vbs&start explorer Docs&exit")
      .IconLocation("%SystemRoot%\\System32\\shell32.dll")
      .IconIndex(3)
      .ShowCommand(kShowMinNoActive);
  return writer;
}

TEST(ShortcutReader, ReadsTheDocumentedSample) {
  const Shortcut link = ReadShortcut(kDocumentedSample);
  ASSERT_FALSE(link.Damaged()) << link.damageText;
  EXPECT_EQ(link.linkFlags, 0x0008009Bu);
  EXPECT_EQ(link.fileAttributes, 0x20u);
  EXPECT_EQ(link.showCommand, kShowNormal);
  EXPECT_EQ(link.creationTime, 0x01C91515F2EEE9D0u);
  ASSERT_EQ(link.idList.size(), 4u);
  EXPECT_EQ(link.idList[0].kind, IdListItem::Kind::Root);
  EXPECT_EQ(link.idList[0].name, "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}");
  EXPECT_EQ(link.idList[1].name, "C:\\");
  EXPECT_EQ(link.idList[2].kind, IdListItem::Kind::Folder);
  EXPECT_EQ(link.idList[2].name, "test");
  EXPECT_TRUE(link.idList[2].hasLongName);
  EXPECT_EQ(link.idList[3].kind, IdListItem::Kind::File);
  EXPECT_EQ(link.idList[3].name, "a.txt");
  EXPECT_EQ(link.idListPath, "C:\\test\\a.txt");
  EXPECT_TRUE(link.linkInfo.hasVolume);
  EXPECT_EQ(link.linkInfo.driveType, 3u);
  EXPECT_EQ(link.linkInfo.driveSerial, 0x307A8A81u);
  EXPECT_EQ(link.linkInfo.localBasePath, "C:\\test\\a.txt");
  EXPECT_EQ(link.relativePath.text, ".\\a.txt");
  EXPECT_EQ(link.workingDir.text, "C:\\test");
  EXPECT_FALSE(link.arguments.present);
  EXPECT_EQ(link.trackerMachineId, "chris-xps");
  EXPECT_EQ(link.blockSignatures, std::vector<std::uint32_t>{block_signature::kTracker});
  EXPECT_EQ(PlacePaths(link), (std::vector<std::string>{"ID list: C:\\test\\a.txt", "LinkInfo: C:\\test\\a.txt",
                                                        "relative path: .\\a.txt"}));
  EXPECT_FALSE(link.targetsDisagree);
  EXPECT_EQ(link.bytesUsed, kDocumentedSample.size());
}

// ---- A table of shortcuts as the writer builds them

struct FieldCase {
  const char* what;
  std::function<ShortcutWriter()> build;
  std::vector<std::string> places;  // "place: path" for every stated target
  bool disagree;
  std::string arguments;
  std::string workingDir;
  std::string iconLocation;
  std::uint32_t effectiveShow;
};

const Environment kWindowsEnvironment = {{"SystemRoot", "C:\\Windows"}, {"windir", "C:\\Windows"}};

const FieldCase kFieldCases[] = {
    {"the worm's link", WormLink,
     {"ID list: C:\\Windows\\System32\\cmd.exe", "LinkInfo: C:\\Windows\\System32\\cmd.exe",
      "LinkInfo (Unicode): C:\\Windows\\System32\\cmd.exe"},
     false, "/c start a.vbs&start explorer Docs&exit", "", "%SystemRoot%\\System32\\shell32.dll", kShowMinNoActive},
    {"a plain link to a file of the stick",
     [] {
       ShortcutWriter w;
       w.IdListPath("E:\\x\\y.vbs").LinkInfoLocal("E:\\x\\y.vbs", "", true).RelativePath(".\\x\\y.vbs").WorkingDir("E:\\x");
       return w;
     },
     {"ID list: E:\\x\\y.vbs", "LinkInfo: E:\\x\\y.vbs", "LinkInfo (Unicode): E:\\x\\y.vbs", "relative path: .\\x\\y.vbs"},
     false, "", "E:\\x", "", kShowNormal},
    {"counts that include a trailing NUL, as Wine writes them",
     [] {
       ShortcutWriter w = WormLink();
       w.NulCounted().WorkingDir("E:\\");
       return w;
     },
     {"ID list: C:\\Windows\\System32\\cmd.exe", "LinkInfo: C:\\Windows\\System32\\cmd.exe",
      "LinkInfo (Unicode): C:\\Windows\\System32\\cmd.exe"},
     false, "/c start a.vbs&start explorer Docs&exit", "E:\\", "%SystemRoot%\\System32\\shell32.dll", kShowMinNoActive},
    {"ANSI strings read as Windows-1252",
     [] {
       ShortcutWriter w;
       w.Ansi().LinkInfoLocal("E:\\caf\xC3\xA9.txt").Arguments("caf\xE9 \x80 \x81").WorkingDir("E:\\");
       return w;
     },
     {"LinkInfo: E:\\caf\xC3\xA9.txt"}, false, "caf\xC3\xA9 \xE2\x82\xAC \xEF\xBF\xBD", "E:\\", "", kShowNormal},
    {"Unicode strings beyond the basic plane",
     [] {
       ShortcutWriter w;
       w.IdListPath("E:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xF0\x9F\x98\x80.jpg").Arguments("\xF0\x9F\x98\x80 \xD0\xB6");
       return w;
     },
     {"ID list: E:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xF0\x9F\x98\x80.jpg"}, false, "\xF0\x9F\x98\x80 \xD0\xB6", "", "",
     kShowNormal},
    {"a LinkInfo-only link, the common hand-made shape",
     [] {
       ShortcutWriter w;
       w.LinkInfoLocal("C:\\Windows\\System32\\", "cmd.exe").Arguments("/c x.bat");
       return w;
     },
     {"LinkInfo: C:\\Windows\\System32\\cmd.exe"}, false, "/c x.bat", "", "", kShowNormal},
    {"a target only in the environment block, expanded for the comparison",
     [] {
       ShortcutWriter w;
       w.IdListPath("C:\\Windows\\System32\\cmd.exe").EnvironmentTarget("%windir%\\system32\\cmd.exe", "%windir%\\system32\\cmd.exe");
       return w;
     },
     {"ID list: C:\\Windows\\System32\\cmd.exe", "environment block: %windir%\\system32\\cmd.exe",
      "environment block (Unicode): %windir%\\system32\\cmd.exe"},
     false, "", "", "", kShowNormal},
    {"an environment block that names another program than the ID list",
     [] {
       ShortcutWriter w;
       w.IdListPath("C:\\Users\\u\\Documents\\report.pdf")
           .EnvironmentTarget("%windir%\\System32\\WindowsPowerShell\\v1.0\\powershell.exe", "");
       return w;
     },
     {"ID list: C:\\Users\\u\\Documents\\report.pdf",
      "environment block: %windir%\\System32\\WindowsPowerShell\\v1.0\\powershell.exe"},
     true, "", "", "", kShowNormal},
    {"an ANSI path that could not hold Cyrillic letters agrees with the Unicode one",
     [] {
       ShortcutWriter w;
       w.LinkInfoLocal("E:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE\\a.txt", "", true);
       return w;
     },
     {"LinkInfo: E:\\????\\a.txt", "LinkInfo (Unicode): E:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE\\a.txt"}, false, "", "", "",
     kShowNormal},
    {"an ID list and a LinkInfo naming different files",
     [] {
       ShortcutWriter w;
       w.IdListPath("E:\\Docs").LinkInfoLocal("E:\\x.vbs");
       return w;
     },
     {"ID list: E:\\Docs", "LinkInfo: E:\\x.vbs"}, true, "", "", "", kShowNormal},
    {"paths that differ only in letter case agree",
     [] {
       ShortcutWriter w;
       w.IdListPath("E:\\My Photos", {.lastIsFolder = true}).LinkInfoLocal("e:\\MY PHOTOS\\").RelativePath("..\\my photos");
       return w;
     },
     {"ID list: E:\\My Photos", "LinkInfo: e:\\MY PHOTOS\\", "relative path: ..\\my photos"}, false, "", "", "",
     kShowNormal},
    {"a relative path that names another file",
     [] {
       ShortcutWriter w;
       w.IdListPath("E:\\Docs\\a.txt").RelativePath(".\\b.vbs");
       return w;
     },
     {"ID list: E:\\Docs\\a.txt", "relative path: .\\b.vbs"}, true, "", "", "", kShowNormal},
    {"a network share",
     [] {
       ShortcutWriter w;
       w.LinkInfoNetwork("\\\\server\\share", "dir\\file.txt");
       return w;
     },
     {"LinkInfo: \\\\server\\share\\dir\\file.txt"}, false, "", "", "", kShowNormal},
    {"a show command the format does not name counts as normal",
     [] {
       ShortcutWriter w;
       w.LinkInfoLocal("E:\\a.txt").ShowCommand(2);
       return w;
     },
     {"LinkInfo: E:\\a.txt"}, false, "", "", "", kShowNormal},
    {"maximised",
     [] {
       ShortcutWriter w;
       w.LinkInfoLocal("E:\\a.txt").ShowCommand(kShowMaximized);
       return w;
     },
     {"LinkInfo: E:\\a.txt"}, false, "", "", "", kShowMaximized},
};

TEST(ShortcutReader, ReadsTheFieldsOfEachCase) {
  for (const FieldCase& c : kFieldCases) {
    const Bytes bytes = c.build().Bytes();
    const Shortcut link = ReadShortcut(bytes, kWindowsEnvironment);
    ASSERT_FALSE(link.Damaged()) << c.what << ": " << link.damageText;
    EXPECT_EQ(PlacePaths(link), c.places) << c.what;
    EXPECT_EQ(link.targetsDisagree, c.disagree) << c.what;
    EXPECT_EQ(link.arguments.text, c.arguments) << c.what;
    EXPECT_EQ(link.workingDir.text, c.workingDir) << c.what;
    EXPECT_EQ(link.iconLocation.text, c.iconLocation) << c.what;
    EXPECT_EQ(link.EffectiveShowCommand(), c.effectiveShow) << c.what;
    EXPECT_EQ(link.bytesUsed, bytes.size()) << c.what;
  }
}

TEST(ShortcutReader, WormLinkKeepsItsShowCommandIconAndFlags) {
  const Shortcut link = ReadShortcut(WormLink().Bytes());
  EXPECT_EQ(link.showCommand, kShowMinNoActive);
  EXPECT_EQ(ShowCommandText(link.showCommand), "minimized, without focus");
  EXPECT_EQ(link.iconIndex, 3);
  EXPECT_TRUE(link.Has(link_flag::kIsUnicode));
  EXPECT_TRUE(link.Has(link_flag::kHasArguments));
  EXPECT_FALSE(link.Has(link_flag::kHasWorkingDir));
  EXPECT_EQ(link.linkInfo.driveType, 3u);
}

TEST(ShortcutReader, AcceptsCountsWithAndWithoutTheTrailingNul) {
  ShortcutWriter plain = WormLink();
  ShortcutWriter wine = WormLink();
  wine.NulCounted();
  const Shortcut a = ReadShortcut(plain.Bytes());
  const Shortcut b = ReadShortcut(wine.Bytes());
  EXPECT_EQ(a.arguments.text, b.arguments.text);
  EXPECT_EQ(a.arguments.count + 1, b.arguments.count);
  EXPECT_FALSE(a.arguments.countedNul);
  EXPECT_TRUE(b.arguments.countedNul);
  EXPECT_TRUE(b.arguments.afterNul.empty());
  // Wine writes an empty argument string as a count of one NUL.
  ShortcutWriter empty;
  empty.NulCounted().LinkInfoLocal("E:\\a.txt").Arguments("");
  const Shortcut c = ReadShortcut(empty.Bytes());
  EXPECT_TRUE(c.arguments.present);
  EXPECT_EQ(c.arguments.count, 1);
  EXPECT_EQ(c.arguments.text, "");
}

TEST(ShortcutReader, ShowsTextHiddenAfterANulInTheCount) {
  ShortcutWriter writer;
  writer.LinkInfoLocal("C:\\Windows\\System32\\cmd.exe").Arguments(std::string("/c echo\0&start x.vbs", 21));
  const Shortcut link = ReadShortcut(writer.Bytes());
  EXPECT_EQ(link.arguments.text, "/c echo");
  EXPECT_EQ(link.arguments.afterNul, "&start x.vbs");
  EXPECT_EQ(link.argumentsVisible, "/c echo\u27E8U+0000\u27E9&start x.vbs");
}

TEST(ShortcutReader, MakesLongBlankRunsInArgumentsVisible) {
  const std::string padded = "/c start a.vbs" + std::string(1500, ' ') + "&start explorer Docs";
  ShortcutWriter writer = WormLink();
  writer.Arguments(padded);
  const Shortcut link = ReadShortcut(writer.Bytes());
  EXPECT_EQ(link.arguments.text, padded);
  EXPECT_EQ(link.argumentsVisible, "/c start a.vbs\u27E81,500 spaces\u27E9&start explorer Docs");

  // The longest arguments the count allows, padded with line breaks and a bell.
  const std::string longest = "/c" + std::string(64000, '\n') + "\a" + std::string(530, ' ') + "x.vbs";
  writer.Arguments(longest);
  const Shortcut longLink = ReadShortcut(writer.Bytes());
  ASSERT_FALSE(longLink.Damaged()) << longLink.damageText;
  EXPECT_EQ(longLink.arguments.count, 64538);
  EXPECT_EQ(longLink.argumentsVisible, "/c\u27E864,531 blanks: U+000A, U+0007, U+0020\u27E9x.vbs");
}

TEST(ShortcutReader, ReadsTheLongNameOfEachExtensionVersion) {
  struct VersionCase {
    ShortcutWriter::IdListOptions options;
    std::string name;
    std::string primary;
    bool longName;
  };
  const VersionCase cases[] = {
      {{.extensionVersion = 3}, "Holiday Photos.jpeg", "HOLIDA~1.JPE", true},
      {{.extensionVersion = 7}, "Holiday Photos.jpeg", "HOLIDA~1.JPE", true},
      {{.extensionVersion = 8}, "Holiday Photos.jpeg", "HOLIDA~1.JPE", true},
      {{.extensionVersion = 9}, "Holiday Photos.jpeg", "HOLIDA~1.JPE", true},
      {{.extensionVersion = ShortcutWriter::kWineExtension}, "Holiday Photos.jpeg", "HOLIDA~1.JPE", true},
      {{.extensionVersion = 0}, "HOLIDA~1.JPE", "HOLIDA~1.JPE", false},
      {{.extensionVersion = 0, .unicodePrimary = true}, "Holiday Photos.jpeg", "Holiday Photos.jpeg", false},
  };
  for (const VersionCase& c : cases) {
    ShortcutWriter writer;
    writer.IdListPath("E:\\Holiday Photos.jpeg", c.options);
    const Shortcut link = ReadShortcut(writer.Bytes());
    ASSERT_FALSE(link.Damaged()) << c.options.extensionVersion << ": " << link.damageText;
    ASSERT_EQ(link.idList.size(), 3u);
    EXPECT_EQ(link.idList[2].name, c.name) << c.options.extensionVersion;
    EXPECT_EQ(link.idList[2].primaryName, c.primary) << c.options.extensionVersion;
    EXPECT_EQ(link.idList[2].hasLongName, c.longName) << c.options.extensionVersion;
    EXPECT_EQ(link.idListPath, "E:\\" + c.name);
  }
}

TEST(ShortcutReader, AnItemOfUnknownLayoutLeavesTheIdListPathUnstatedButIsNoDamage) {
  ShortcutWriter writer;
  writer.IdListPath("E:\\a").IdListItem({0x08, 0x00, 0x74, 0x1A, 0x43, 0x46, 0x53, 0x46}).LinkInfoLocal("E:\\a\\b.txt");
  const Shortcut link = ReadShortcut(writer.Bytes());
  ASSERT_FALSE(link.Damaged()) << link.damageText;
  ASSERT_EQ(link.idList.size(), 4u);
  EXPECT_EQ(link.idList[3].kind, IdListItem::Kind::Unknown);
  EXPECT_EQ(link.idList[3].type, 0x74);
  EXPECT_EQ(link.idListPath, "");
  EXPECT_EQ(PlacePaths(link), std::vector<std::string>{"LinkInfo: E:\\a\\b.txt"});
}

TEST(ShortcutReader, ReadsTheFolderAndIconBlocks) {
  static constexpr std::uint8_t kDocuments[16] = {0xD0, 0x9A, 0xD3, 0xFD, 0x8F, 0x23, 0xAF, 0x46,
                                                  0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7};
  ShortcutWriter writer;
  writer.IdListPath("C:\\Users\\u\\Documents\\a.txt")
      .IconEnvironment("%USERPROFILE%\\icon.ico", "%USERPROFILE%\\icon.ico")
      .KnownFolder(kDocuments, 0x55)
      .SpecialFolder(0x05, 0x55)
      .Tracker("desk-7")
      .RawBlock({0x0C, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x00});
  const Shortcut link = ReadShortcut(writer.Bytes());
  ASSERT_FALSE(link.Damaged()) << link.damageText;
  EXPECT_TRUE(link.Has(link_flag::kHasExpIcon));
  EXPECT_EQ(link.iconEnvironment.ansi, "%USERPROFILE%\\icon.ico");
  EXPECT_EQ(link.iconEnvironment.unicode, "%USERPROFILE%\\icon.ico");
  EXPECT_TRUE(link.knownFolder.present);
  EXPECT_EQ(link.knownFolder.knownFolderId, "{FDD39AD0-238F-46AF-ADB4-6C85480369C7}");
  EXPECT_EQ(link.knownFolder.offset, 0x55u);
  EXPECT_EQ(link.specialFolder.specialFolderId, 0x05u);
  EXPECT_EQ(link.trackerMachineId, "desk-7");
  EXPECT_EQ(link.blockSignatures,
            (std::vector<std::uint32_t>{block_signature::kIconEnvironment, block_signature::kKnownFolder,
                                        block_signature::kSpecialFolder, block_signature::kTracker,
                                        block_signature::kPropertyStore}));
}

TEST(ShortcutReader, AnalysesWhatEachStatedTargetRuns) {
  // The worm's link: the three places name one cmd.exe, so there is one command.
  const std::vector<CommandAnalysis> worm = AnalyzeShortcut(ReadShortcut(WormLink().Bytes()));
  ASSERT_EQ(worm.size(), 1u);
  EXPECT_EQ(worm[0].host, HostKind::CommandShell);
  ASSERT_EQ(worm[0].started.size(), 1u);
  EXPECT_EQ(worm[0].started[0].path, "a.vbs");
  ASSERT_EQ(worm[0].opened.size(), 1u);
  EXPECT_EQ(worm[0].opened[0].path, "Docs");

  // Places that disagree: each target's command, the environment block's expanded.
  ShortcutWriter spoofed;
  spoofed.IdListPath("E:\\Docs\\report.pdf")
      .LinkInfoLocal("E:\\DOCS\\REPORT.PDF")
      .EnvironmentTarget("%windir%\\System32\\wscript.exe", "")
      .Arguments("//B E:\\RECYCLER\\x.vbs");
  const std::vector<CommandAnalysis> both = AnalyzeShortcut(ReadShortcut(spoofed.Bytes()), kWindowsEnvironment);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[0].program, "E:\\Docs\\report.pdf");
  EXPECT_EQ(both[1].program, "C:\\Windows\\System32\\wscript.exe");
  ASSERT_EQ(both[1].started.size(), 1u);
  EXPECT_EQ(both[1].started[0].path, "E:\\RECYCLER\\x.vbs");
  EXPECT_EQ(both[1].started[0].why, StartReason::Script);

  // Only a relative path: it is the target, as written.
  ShortcutWriter relative;
  relative.RelativePath(".\\RECYCLER\\x.exe");
  const std::vector<CommandAnalysis> alone = AnalyzeShortcut(ReadShortcut(relative.Bytes()));
  ASSERT_EQ(alone.size(), 1u);
  EXPECT_EQ(alone[0].program, ".\\RECYCLER\\x.exe");
  EXPECT_TRUE(AnalyzeShortcut(ReadShortcut(ShortcutWriter().Bytes())).empty());
}

// ---- Damage

TEST(ShortcutReader, EveryCutShortFileIsDamaged) {
  ShortcutWriter rich = WormLink();
  rich.RelativePath("..\\Windows\\System32\\cmd.exe").WorkingDir("E:\\").Name("Docs");
  rich.EnvironmentTarget("%windir%\\system32\\cmd.exe", "%windir%\\system32\\cmd.exe").Tracker("pc");
  for (const Bytes& whole : {kDocumentedSample, rich.Bytes()}) {
    ASSERT_FALSE(ReadShortcut(whole).Damaged());
    for (std::size_t length = 0; length < whole.size(); ++length) {
      const Shortcut cut = ReadShortcut(std::span(whole).first(length));
      ASSERT_EQ(cut.damage, Damage::BeyondEnd) << "cut at " << length;
      EXPECT_GT(cut.damageNeeded, cut.damageLimit) << "cut at " << length;
      EXPECT_LE(cut.damageLimit, length) << "cut at " << length;
      EXPECT_FALSE(cut.damageText.empty());
    }
  }
}

TEST(ShortcutReader, KeepsWhatItReadBeforeTheFault) {
  const Bytes whole = WormLink().Bytes();
  const ShortcutWriter::Layout layout = WormLink().LayoutOf();
  const Shortcut cut = ReadShortcut(std::span(whole).first(layout.terminal + 2));
  EXPECT_EQ(cut.damage, Damage::BeyondEnd);
  EXPECT_EQ(cut.arguments.text, "/c start a.vbs&start explorer Docs&exit");
  EXPECT_EQ(cut.idListPath, "C:\\Windows\\System32\\cmd.exe");
  EXPECT_EQ(cut.argumentsVisible, "/c start a.vbs&start explorer Docs&exit");
}

struct CountCase {
  const char* what;
  std::function<void(Bytes&, const ShortcutWriter::Layout&)> spoil;
};

const CountCase kCountCases[] = {
    {"IDListSize beyond the end", [](Bytes& b, const auto& l) { PatchU16(b, l.idList, 0xFFFF); }},
    {"an ID list item beyond its list", [](Bytes& b, const auto& l) { PatchU16(b, l.idList + 2, 0x0400); }},
    {"an ID list item of size one", [](Bytes& b, const auto& l) { PatchU16(b, l.idList + 2, 1); }},
    {"an ID list without its terminal item",
     [](Bytes& b, const auto& l) { PatchU16(b, l.idList, static_cast<std::uint16_t>(l.linkInfo - l.idList - 4)); }},
    {"LinkInfoSize beyond the end", [](Bytes& b, const auto& l) { PatchU32(b, l.linkInfo, 0x7FFFFFFF); }},
    {"LinkInfoSize smaller than its header", [](Bytes& b, const auto& l) { PatchU32(b, l.linkInfo, 0x10); }},
    {"LinkInfoHeaderSize beyond the LinkInfo", [](Bytes& b, const auto& l) { PatchU32(b, l.linkInfo + 4, 0x4000); }},
    {"VolumeIDOffset beyond the LinkInfo", [](Bytes& b, const auto& l) { PatchU32(b, l.linkInfo + 12, 0x4000); }},
    {"VolumeIDSize beyond the LinkInfo", [](Bytes& b, const auto& l) { PatchU32(b, l.linkInfo + 0x24, 0x4000); }},
    {"LocalBasePathOffset beyond the LinkInfo", [](Bytes& b, const auto& l) { PatchU32(b, l.linkInfo + 16, 0x4000); }},
    {"LocalBasePathOffsetUnicode beyond the LinkInfo",
     [](Bytes& b, const auto& l) { PatchU32(b, l.linkInfo + 28, 0x4000); }},
    {"a local base path without its NUL",
     [](Bytes& b, const auto& l) {
       // Every byte from the path on is made non-zero, so no NUL ends it inside the LinkInfo.
       const std::size_t size = b[l.linkInfo] | (b[l.linkInfo + 1] << 8);
       const std::size_t path = l.linkInfo + (b[l.linkInfo + 16] | (b[l.linkInfo + 17] << 8));
       for (std::size_t i = path; i < l.linkInfo + size; ++i) b[i] = 'x';
     }},
    {"a string count beyond the end", [](Bytes& b, const auto& l) { PatchU16(b, l.strings[0], 0xFFFF); }},
    {"an extra data block beyond the end", [](Bytes& b, const auto& l) { PatchU32(b, l.extraData, 0x10000); }},
    {"an extra data block too small for its signature", [](Bytes& b, const auto& l) { PatchU32(b, l.extraData, 6); }},
    {"an environment block too small for its paths", [](Bytes& b, const auto& l) { PatchU32(b, l.extraData, 0x100); }},
};

TEST(ShortcutReader, ACountOrOffsetBeyondItsBytesIsDamage) {
  ShortcutWriter writer = WormLink();
  writer.EnvironmentTarget("%windir%\\system32\\cmd.exe", "%windir%\\system32\\cmd.exe");
  const Bytes whole = writer.Bytes();
  const ShortcutWriter::Layout layout = writer.LayoutOf();
  ASSERT_FALSE(ReadShortcut(whole).Damaged());
  for (const CountCase& c : kCountCases) {
    Bytes spoilt = whole;
    c.spoil(spoilt, layout);
    const Shortcut link = ReadShortcut(spoilt);
    EXPECT_EQ(link.damage, Damage::BeyondEnd) << c.what;
    EXPECT_GT(link.damageNeeded, link.damageLimit) << c.what;
    EXPECT_FALSE(link.damageText.empty()) << c.what;
  }
}

TEST(ShortcutReader, AFileOverOneMebibyteIsDamagedAndOneOfThatSizeIsNot) {
  Bytes padded = WormLink().Bytes();
  padded.resize(kMaxShortcutBytes, 0xEE);  // bytes after the terminal block are not read
  const Shortcut fits = ReadShortcut(padded);
  EXPECT_FALSE(fits.Damaged()) << fits.damageText;
  EXPECT_EQ(fits.arguments.text, "/c start a.vbs&start explorer Docs&exit");
  padded.push_back(0xEE);
  const Shortcut large = ReadShortcut(padded);
  EXPECT_EQ(large.damage, Damage::TooLarge);
  EXPECT_EQ(large.damageText, "the file is larger than 1,048,576 bytes");
}

TEST(ShortcutReader, AnotherHeaderIsNotAShortcut) {
  Bytes wrongSize = WormLink().Bytes();
  PatchU32(wrongSize, 0, 0x50);
  Bytes wrongClass = WormLink().Bytes();
  wrongClass[4] = 0x02;
  const std::string text = "[autorun]\r\nopen=x.exe\r\n";
  const Bytes notLink(text.begin(), text.end());
  for (const Bytes& bytes : {wrongSize, wrongClass, notLink}) {
    const Shortcut link = ReadShortcut(bytes);
    EXPECT_EQ(link.damage, Damage::NotAShortcut);
    EXPECT_TRUE(link.targets.empty());
  }
}

}  // namespace
}  // namespace tidewick::readers
