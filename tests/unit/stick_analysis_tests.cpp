// The decisions about a stick (drive_cleaner/stick_analysis.cpp) as tables: the verdict of each
// shortcut and autorun.inf with what it runs, starts and opens, the paths that lie on the stick,
// the names of the worm's folder and their signs, desktop.ini looks, and what stays inside a
// folder whose entries go back to the root. Shortcuts are written by the test writer; what stands
// on the stick is a table of paths.
#include "drive_cleaner/stick_analysis.h"

#include "platform/platform_operations.h"
#include "platform/text.h"
#include "readers/autorun_inf.h"
#include "readers/shortcut.h"
#include "tests/support/shortcut_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tidewick::stick {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using tidewick::testing::ShortcutWriter;

// The stick's volume serial number: the one the test writer puts into every LinkInfo.
constexpr std::uint32_t kStickSerial = 0x1234ABCD;
const std::string kNbsp = "\xC2\xA0";

// What stands on the stick E: in these tables (paths relative to its root, any letter case).
const std::map<std::string, EntryType> kStick = {
    {"photos", EntryType::Folder},          {"my photos", EntryType::Folder},
    {"docs", EntryType::Folder},            {"docs\\report.docx", EntryType::File},
    {"report.doc", EntryType::File},        {"worm.vbs", EntryType::File},
    {"setup.exe", EntryType::File},         {"~$wb.usbdrv", EntryType::File},
    {"recycler", EntryType::Folder},        {"recycler\\x.exe", EntryType::File},
    {"photos.exe", EntryType::Folder},      {"winfile.jpg", EntryType::File},
    {"\xC2\xA0", EntryType::Folder},        {"\xC2\xA0\\a.doc", EntryType::File},
};

StickPlace Stick() {
  return StickPlace{"E:\\", kStickSerial, [](std::string_view path) {
                      const auto found = kStick.find(LowerCase(path));
                      return found == kStick.end() ? EntryType::Missing : found->second;
                    }};
}

ShortcutWriter Cmd(std::string_view arguments) {
  ShortcutWriter link;
  link.IdListPath("C:\\Windows\\System32\\cmd.exe").Arguments(arguments).ShowCommand(7);
  return link;
}

ShortcutWriter To(std::string_view target) {
  ShortcutWriter link;
  link.IdListPath(target);
  return link;
}

struct ShortcutCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  std::string_view verdict;
  std::string runs;
  std::vector<std::string> starts;  // path: how
  std::vector<std::string> opens;
  std::vector<std::string> leadsInto;
};

void PrintTo(const ShortcutCase& c, std::ostream* out) { *out << c.name; }

class ShortcutVerdict : public ::testing::TestWithParam<ShortcutCase> {};

TEST_P(ShortcutVerdict, SaysWhatItRunsStartsAndOpens) {
  const ShortcutCase& c = GetParam();
  const Judgement judgement = JudgeShortcut(readers::ReadShortcut(c.bytes), Stick());
  EXPECT_EQ(judgement.verdict, c.verdict);
  EXPECT_EQ(judgement.runs, c.runs);
  std::vector<std::string> starts;
  for (const StartedOnStick& started : judgement.starts) starts.push_back(started.path + ": " + started.how);
  EXPECT_EQ(starts, c.starts);
  EXPECT_EQ(judgement.opens, c.opens);
  EXPECT_EQ(judgement.leadsInto, c.leadsInto);
}

const ShortcutCase kShortcutCases[] = {
    // ---- worm shortcuts ----
    {"ScriptWormBesideAFolder", Cmd("/c start worm.vbs&start explorer My\" \"Photos&exit").Bytes(), kWormShortcut,
     "C:\\Windows\\System32\\cmd.exe /c start worm.vbs&start explorer My\" \"Photos&exit",
     {"worm.vbs: started by cmd /c start"}, {"My Photos"}, {"worm.vbs", "My Photos"}},
    {"ScriptWormBesideAFile", Cmd("/c start worm.vbs&start Report.doc&exit").Bytes(), kWormShortcut,
     "C:\\Windows\\System32\\cmd.exe /c start worm.vbs&start Report.doc&exit", {"worm.vbs: started by cmd /c start"},
     {"Report.doc"}, {"worm.vbs", "Report.doc"}},
    {"LibraryGivenToRundll32",
     [] {
       ShortcutWriter link;
       link.IdListPath("C:\\Windows\\System32\\rundll32.exe").Arguments("~$WB.USBDRV,DllMain");
       return link.Bytes();
     }(),
     kWormShortcut, "C:\\Windows\\System32\\rundll32.exe ~$WB.USBDRV,DllMain",
     {"~$WB.USBDRV: library given to rundll32.exe"}, {}, {"~$WB.USBDRV"}},
    {"PictureRunAsAScript",
     [] {
       ShortcutWriter link;
       link.IdListPath("C:\\Windows\\System32\\wscript.exe").Arguments("//B /e:vbs winfile.jpg");
       return link.Bytes();
     }(),
     kWormShortcut, "C:\\Windows\\System32\\wscript.exe //B /e:vbs winfile.jpg",
     {"winfile.jpg: script given to wscript.exe"}, {}, {"winfile.jpg"}},
    {"ProgramOfTheStick", To("E:\\setup.exe").Bytes(), kWormShortcut, "E:\\setup.exe",
     {"setup.exe: the program of the shortcut"}, {}, {"setup.exe"}},
    {"WorkingFolderOnTheStick",
     [] {
       ShortcutWriter link = Cmd("/c x.exe");
       link.WorkingDir("E:\\RECYCLER");
       return link.Bytes();
     }(),
     kWormShortcut, "C:\\Windows\\System32\\cmd.exe /c x.exe", {"RECYCLER\\x.exe: started by cmd /c"}, {},
     {"RECYCLER"}},
    // Written when the stick had the letter F: its LinkInfo names the stick's serial number.
    {"AnotherLetterOfTheSameStick", ShortcutWriter().LinkInfoLocal("F:\\setup.exe").Bytes(),
     kWormShortcut, "F:\\setup.exe", {"setup.exe: the program of the shortcut"}, {}, {"setup.exe"}},
    // The ID list shows a folder, the environment block runs a program: Windows may take either.
    {"TargetsThatDisagree",
     [] {
       ShortcutWriter link;
       link.IdListPath("E:\\Photos", {.lastIsFolder = true}).EnvironmentTarget("E:\\setup.exe", "E:\\setup.exe");
       return link.Bytes();
     }(),
     kWormShortcut, "E:\\Photos; also stated: E:\\setup.exe", {"setup.exe: the program of the shortcut"}, {"Photos"},
     {"Photos", "setup.exe"}},
    // ---- plain shortcuts: one existing target of the stick, nothing run ----
    {"FolderOfTheStick", To("E:\\Photos").Bytes(), kPlainShortcut, "", {}, {"Photos"}, {"Photos"}},
    {"DocumentInAFolderOfTheStick", To("E:\\Docs\\report.docx").Bytes(), kPlainShortcut, "", {}, {"Docs"}, {"Docs"}},
    {"FolderNamedLikeAProgram", To("E:\\Photos.exe").Bytes(), kPlainShortcut, "", {}, {"Photos.exe"}, {"Photos.exe"}},
    {"TheWormsFolderOfBlanks", To("E:\\" + kNbsp).Bytes(), kPlainShortcut, "", {}, {kNbsp}, {kNbsp}},
    // ---- other shortcuts ----
    {"MissingTargetOfTheStick", To("E:\\Gone").Bytes(), kOtherShortcut, "E:\\Gone", {}, {"Gone"}, {"Gone"}},
    {"FileOfAnotherDrive", To("C:\\Users\\User\\notes.txt").Bytes(), kOtherShortcut, "C:\\Users\\User\\notes.txt", {},
     {}, {}},
    {"ProgramOfTheComputer", To("C:\\Windows\\notepad.exe").Bytes(), kOtherShortcut, "C:\\Windows\\notepad.exe", {},
     {}, {}},
    {"ExplorerOpeningAFolderOfTheStick",
     [] {
       ShortcutWriter link;
       link.IdListPath("C:\\Windows\\explorer.exe").Arguments("E:\\Photos");
       return link.Bytes();
     }(),
     kOtherShortcut, "C:\\Windows\\explorer.exe E:\\Photos", {}, {"Photos"}, {"Photos"}},
    {"ArgumentsGivenToADocument",
     [] {
       ShortcutWriter link = To("E:\\Report.doc");
       link.Arguments("/m");
       return link.Bytes();
     }(),
     kOtherShortcut, "E:\\Report.doc /m", {}, {"Report.doc"}, {"Report.doc"}},
    // ---- damaged ----
    {"FourBytes", {'L', 0, 0, 0}, kDamagedShortcut, "", {}, {}, {}},
    {"NoTargetAtAll", ShortcutWriter().Arguments("/c start worm.vbs").Bytes(), kDamagedShortcut, "", {}, {}, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ShortcutVerdict, ::testing::ValuesIn(kShortcutCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The LinkInfo's drive serial number decides whether its letter is the stick's.
TEST(ShortcutOnAnotherLetter, CountsOnlyWhenTheLinkInfoNamesThisStick) {
  ShortcutWriter link;
  link.LinkInfoLocal("F:\\setup.exe");
  readers::Shortcut read = readers::ReadShortcut(link.Bytes());
  read.linkInfo.driveSerial = kStickSerial;
  EXPECT_EQ(JudgeShortcut(read, Stick()).verdict, kWormShortcut);
  read.linkInfo.driveSerial = kStickSerial + 1;
  const Judgement elsewhere = JudgeShortcut(read, Stick());
  EXPECT_EQ(elsewhere.verdict, kOtherShortcut);
  EXPECT_THAT(elsewhere.starts, IsEmpty());
}

TEST(ShortcutJudgement, ADamagedOneSaysWhy) {
  const Judgement judgement = JudgeShortcut(readers::ReadShortcut(std::vector<std::uint8_t>{'L', 0, 0, 0}), Stick());
  EXPECT_EQ(judgement.verdict, kDamagedShortcut);
  EXPECT_FALSE(judgement.note.empty());
  EXPECT_FALSE(KeptByDeleteAll(judgement));
  EXPECT_TRUE(KeptByDeleteAll(JudgeShortcut(readers::ReadShortcut(To("E:\\Photos").Bytes()), Stick())));
}

// ---- autorun.inf ----

struct AutorunCase {
  const char* name;
  std::string text;
  std::string_view verdict;
  std::vector<std::string> starts;
  bool kept;
};

void PrintTo(const AutorunCase& c, std::ostream* out) { *out << c.name; }

class AutorunVerdict : public ::testing::TestWithParam<AutorunCase> {};

TEST_P(AutorunVerdict, SaysWhatItRuns) {
  const AutorunCase& c = GetParam();
  const std::vector<std::uint8_t> bytes(c.text.begin(), c.text.end());
  const Judgement judgement = JudgeAutorun(readers::ReadAutorunInf(bytes), Stick());
  EXPECT_EQ(judgement.verdict, c.verdict);
  std::vector<std::string> starts;
  for (const StartedOnStick& started : judgement.starts) starts.push_back(started.path + ": " + started.how);
  EXPECT_EQ(starts, c.starts);
  EXPECT_EQ(KeptByDeleteAll(judgement), c.kept);
}

const AutorunCase kAutorunCases[] = {
    {"OpenIntoRecycler", "[autorun]\r\nopen=RECYCLER\\x.exe\r\nicon=RECYCLER\\x.exe,0\r\n", kAutorunRunsProgram,
     {"RECYCLER\\x.exe: started by autorun.inf (open=)"}, false},
    {"ShellCommandThroughAScriptHost", "[AutoRun]\r\nshell\\open\\command=wscript.exe worm.vbs\r\n",
     kAutorunRunsProgram, {"worm.vbs: started by autorun.inf (shell\\open\\command=)"}, false},
    {"ProgramOfTheComputer", "[autorun]\r\nshellexecute=C:\\Windows\\notepad.exe\r\n", kAutorunRunsProgram, {}, false},
    {"IconAndLabel", "[autorun]\r\nicon=brand.ico\r\nlabel=ACME 16GB\r\n", kAutorunIconOnly, {}, true},
    {"LabelOnly", "[autorun]\nlabel=Holidays\n", kAutorunIconOnly, {}, true},
    {"Empty", "", kOtherAutorun, {}, false},
    {"OnlyTheSection", "[autorun]\r\n", kOtherAutorun, {}, false},
    {"AKeyOfItsOwn", "[autorun]\r\nicon=brand.ico\r\ndriver=x.sys\r\n", kOtherAutorun, {}, false},
};

INSTANTIATE_TEST_SUITE_P(Cases, AutorunVerdict, ::testing::ValuesIn(kAutorunCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Paths of the stick ----

struct PathCase {
  std::string path;
  std::optional<std::string> runFolder;
  std::optional<std::string> onStick;
};

TEST(OnStick, TellsWhichPathsLieOnTheStick) {
  const PathCase cases[] = {
      {"worm.vbs", "", "worm.vbs"},
      {".\\worm.vbs", "", "worm.vbs"},
      {"..\\..\\worm.vbs", "", "worm.vbs"},  // never above the root
      {"x.exe", "RECYCLER", "RECYCLER\\x.exe"},
      {"E:\\RECYCLER\\x.exe", std::nullopt, "RECYCLER\\x.exe"},
      {"e:/Photos/", "", "Photos"},
      {"\\\\?\\E:\\ \\a.doc", "", " \\a.doc"},
      {"\\worm.vbs", "Docs", "worm.vbs"},
      {"E:worm.vbs", "Docs", "Docs\\worm.vbs"},
      {"F:\\worm.vbs", "", "worm.vbs"},  // F: reaches the stick too
      {"C:\\Windows\\x.exe", "", std::nullopt},
      {"\\\\server\\share\\x.exe", "", std::nullopt},
      {"worm.vbs", std::nullopt, std::nullopt},  // run from a folder off the stick
      {"E:\\", "", ""},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(OnStick(c.path, "EF", c.runFolder), c.onStick) << c.path;
  }
}

TEST(RunnableNames, AreProgramsScriptsLibrariesShortcutsAndPackages) {
  for (const char* name : {"a.EXE", "b.scr", "c.vbs", "d.js", "e.dll", "f.lnk", "g.msi", "h.hta", "i.ps1", "j.cmd"}) {
    EXPECT_TRUE(IsRunnableName(name)) << name;
  }
  for (const char* name : {"a.doc", "b.jpg", "exe", "c.exe.txt", "~$WB.USBDRV", "autorun.inf", "d.url"}) {
    EXPECT_FALSE(IsRunnableName(name)) << name;
  }
}

// ---- The worm's folder ----

TEST(CandidateNames, AreBlanksInvisibleCharactersOrOneUnderscore) {
  for (const std::string name : {std::string(" "), kNbsp, std::string("_"), " _ " + kNbsp, std::string("\xE3\x85\xA4"),
                                 std::string("\xE2\x80\x8B"), std::string("\xE2\xA0\x80"), std::string("\xEF\xBB\xBF"),
                                 std::string("   ")}) {
    EXPECT_TRUE(IsCandidateName(name)) << name;
  }
  for (const std::string name : {std::string("__"), std::string("_backup"), std::string("a"), std::string(" a "),
                                 std::string("RECYCLER"), std::string(".Trashes"), std::string("\x7F")}) {
    EXPECT_FALSE(IsCandidateName(name)) << name;
  }
}

TEST(ShownNames, MakeEveryBlankOfACandidateVisible) {
  EXPECT_EQ(ShownName(kNbsp), "\xE2\x9F\xA8U+00A0\xE2\x9F\xA9");
  EXPECT_EQ(ShownName(" "), "\xE2\x9F\xA8U+0020\xE2\x9F\xA9");
  EXPECT_EQ(ShownName("_" + kNbsp), "_\xE2\x9F\xA8U+00A0\xE2\x9F\xA9");
  EXPECT_EQ(ShownName("My Photos"), "My Photos");
}

TEST(CandidateSigns, NameEachSignFound) {
  EXPECT_THAT(Signs({}), IsEmpty());
  EXPECT_THAT(Signs({.attributesBeforeScan = Attr::Directory}), IsEmpty());
  EXPECT_THAT(Signs({.attributesBeforeScan = Attr::Directory | Attr::HiddenSystem}),
              ElementsAre("hidden and system before the scan"));
  EXPECT_THAT(Signs({.attributesBeforeScan = Attr::Directory | Attr::Hidden}), ElementsAre("hidden before the scan"));
  EXPECT_THAT(Signs({.shortcutLeadsInto = true}), ElementsAre("a root shortcut leads into it"));
  EXPECT_THAT(Signs({.desktopIniLook = true}), ElementsAre("its desktop.ini gives it an icon or a class id"));
  EXPECT_THAT(Signs({.onlyWormFilesBeside = true}), ElementsAre("only worm files beside it in the root"));
  EXPECT_EQ(Signs({.attributesBeforeScan = Attr::System, .shortcutLeadsInto = true, .desktopIniLook = true}).size(), 3u);
}

std::vector<std::uint8_t> Ansi(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> Utf16WithMark(std::string_view text) {
  std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
  for (std::uint8_t b : tidewick::testing::Utf16Bytes(text)) bytes.push_back(b);
  return bytes;
}

TEST(DesktopIni, GivesALookWithAnIconOrAClassIdOfItsOwn) {
  EXPECT_TRUE(DesktopIniGivesALook(Utf16WithMark("[.ShellClassInfo]\r\nIconResource=%SystemRoot%\\system32\\SHELL32.dll,7\r\n")));
  EXPECT_TRUE(DesktopIniGivesALook(Ansi("[.shellclassinfo]\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}\n")));
  EXPECT_TRUE(DesktopIniGivesALook(Ansi("; comment\r\n[.ShellClassInfo]\r\n  IconFile = drive.ico \r\nIconIndex=0\r\n")));
  EXPECT_FALSE(DesktopIniGivesALook(Ansi("[.ShellClassInfo]\r\nLocalizedResourceName=@%SystemRoot%\\x.dll,-21798\r\n")));
  EXPECT_FALSE(DesktopIniGivesALook(Ansi("[ViewState]\r\nIconResource=x.ico\r\n")));
  EXPECT_FALSE(DesktopIniGivesALook(Ansi("[.ShellClassInfo]\r\nIconResource=\r\n")));
  EXPECT_FALSE(DesktopIniGivesALook(Ansi("")));
}

TEST(WormArtefacts, AreTheWormsFilesAndTheDrivesOwnFolders) {
  for (const char* name : {"x.lnk", "worm.vbs", "setup.exe", "autorun.inf", "desktop.ini", "Thumbs.db", "~$WB.USBDRV",
                           "a.dll"}) {
    EXPECT_TRUE(IsWormArtefactName(name, false)) << name;
  }
  for (const char* name : {"RECYCLER", "System Volume Information", ".Trashes", "$RECYCLE.BIN"}) {
    EXPECT_TRUE(IsWormArtefactName(name, true)) << name;
  }
  EXPECT_FALSE(IsWormArtefactName("report.doc", false));
  EXPECT_FALSE(IsWormArtefactName("Photos", true));
  EXPECT_FALSE(IsWormArtefactName("x.lnk", true));  // a folder is the worm's only as a system folder
}

TEST(RecoveredNames, TakeTheFirstFreeNumber) {
  std::vector<std::string> taken;
  const auto isTaken = [&](std::string_view name) {
    for (const std::string& t : taken) {
      if (LowerCase(t) == LowerCase(name)) return true;
    }
    return false;
  };
  EXPECT_EQ(FreeRecoveredName(isTaken), "Recovered files");
  taken = {"RECOVERED FILES"};
  EXPECT_EQ(FreeRecoveredName(isTaken), "Recovered files (2)");
  taken = {"Recovered files", "Recovered files (2)", "recovered files (3)"};
  EXPECT_EQ(FreeRecoveredName(isTaken), "Recovered files (4)");
}

TEST(KeptInside, AreTheWormsFilesOnly) {
  EXPECT_EQ(WhyKeptInside({"desktop.ini", false, true, false}), "the desktop.ini that gives the folder its look");
  EXPECT_EQ(WhyKeptInside({"desktop.ini", false, false, false}), std::nullopt);
  EXPECT_EQ(WhyKeptInside({"~WYDCNU.FAT32", false, false, true}), "a shortcut or autorun.inf of the root starts it");
  EXPECT_EQ(WhyKeptInside({"Holiday.LNK", false, false, false}), "a name with a virus extension");
  EXPECT_EQ(WhyKeptInside({"run.bat", false, false, false}), "a name with a virus extension");
  EXPECT_EQ(WhyKeptInside({"report.doc", false, false, false}), std::nullopt);
  EXPECT_EQ(WhyKeptInside({"setup.exe", false, false, false}), std::nullopt);
  EXPECT_EQ(WhyKeptInside({"Photos.lnk", true, false, false}), std::nullopt);  // a folder moves
}

}  // namespace
}  // namespace tidewick::stick
