// The autorun.inf reader (readers/autorun_inf.cpp): the programs a file would run, and whether it
// only gives the drive an icon and a label.
#include "readers/autorun_inf.h"

#include "tests/support/shortcut_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tidewick::readers {
namespace {

std::vector<std::uint8_t> BytesOf(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<std::string> Commands(const AutorunInf& inf) {
  std::vector<std::string> lines;
  for (const AutorunCommand& command : inf.commands) {
    lines.push_back(command.entry.section + ": " + command.entry.key + "=" + command.entry.value);
  }
  return lines;
}

struct InfCase {
  const char* what;
  std::string text;
  std::vector<std::string> commands;
  bool onlyIconAndLabel;
  std::string icon;
  std::string iconFile;
  std::string label;
};

const InfCase kInfCases[] = {
    {"a branded stick's icon and label", "[autorun]\r\nicon=Brand.ico\r\nlabel=Brand Stick 16GB\r\n", {}, true,
     "Brand.ico", "Brand.ico", "Brand Stick 16GB"},
    {"an icon taken from a program, with an action text",
     "[AutoRun]\nIcon = E:\\tools\\x.exe,0\nAction=Open folder to view files\nUseAutoPlay=1\nshell=open\n"
     "shell\\open=&Open\n",
     {}, true, "E:\\tools\\x.exe,0", "E:\\tools\\x.exe", ""},
    {"the older worms' file",
     "[AutoRun]\r\nOPEN=RECYCLER\\S-5-3-42\\x.exe\r\nicon=%SystemRoot%\\system32\\SHELL32.dll,4\r\n"
     "shell\\open\\command=RECYCLER\\S-5-3-42\\x.exe\r\nshell\\explore\\Command=RECYCLER\\S-5-3-42\\x.exe -e\r\n",
     {"autorun: open=RECYCLER\\S-5-3-42\\x.exe", "autorun: shell\\open\\command=RECYCLER\\S-5-3-42\\x.exe",
      "autorun: shell\\explore\\command=RECYCLER\\S-5-3-42\\x.exe -e"},
     false, "%SystemRoot%\\system32\\SHELL32.dll,4", "%SystemRoot%\\system32\\SHELL32.dll", ""},
    {"shellexecute=", "[autorun]\nshellexecute=wscript.exe /e:vbs winfile.jpg\n",
     {"autorun: shellexecute=wscript.exe /e:vbs winfile.jpg"}, false, "", "", ""},
    {"an architecture's own section", "[autorun.amd64]\nopen=x64.exe\n[autorun.x86]\nopen=x86.exe\n",
     {"autorun.amd64: open=x64.exe", "autorun.x86: open=x86.exe"}, false, "", "", ""},
    {"comment lines and other sections are not read",
     "; open=x.exe\n[Content]\nMusicFiles=true\nopen=y.exe\n[autorun]\n  ;open=z.exe\nlabel=Mine\n", {}, true, "", "",
     "Mine"},
    {"a key Windows does not know is not only an icon", "[autorun]\nicon=a.ico\nopne=x.exe\n", {}, false, "a.ico",
     "a.ico", ""},
    {"an empty command runs nothing", "[autorun]\nopen=\nicon=a.ico\n", {}, true, "a.ico", "a.ico", ""},
    {"enclosing quotes are removed", "[autorun]\nopen=\"x y.exe\"\nlabel=\"My Stick\"\n",
     {"autorun: open=x y.exe"}, false, "", "", "My Stick"},
    {"a second autorun section still counts", "[autorun]\nicon=a.ico\n[other]\nx=1\n[AUTORUN]\nopen=b.exe\n",
     {"autorun: open=b.exe"}, false, "a.ico", "a.ico", ""},
    {"the first icon and label win", "[autorun]\nicon=a.ico\nicon=b.ico\nlabel=A\nlabel=B\n", {}, true, "a.ico",
     "a.ico", "A"},
    {"an empty file", "", {}, true, "", "", ""},
    {"ANSI text read as Windows-1252", "[autorun]\nlabel=Caf\xE9 \x80\n", {}, true, "", "",
     "Caf\xC3\xA9 \xE2\x82\xAC"},
};

TEST(AutorunInf, ReadsEachCase) {
  for (const InfCase& c : kInfCases) {
    const AutorunInf inf = ReadAutorunInf(BytesOf(c.text));
    EXPECT_EQ(Commands(inf), c.commands) << c.what;
    EXPECT_EQ(inf.RunsProgram(), !c.commands.empty()) << c.what;
    EXPECT_EQ(inf.ShowsOnlyIconAndLabel(), c.onlyIconAndLabel) << c.what;
    EXPECT_EQ(inf.icon, c.icon) << c.what;
    EXPECT_EQ(inf.iconFile, c.iconFile) << c.what;
    EXPECT_EQ(inf.label, c.label) << c.what;
    EXPECT_FALSE(inf.truncated) << c.what;
  }
}

TEST(AutorunInf, AnalysesTheProgramsItWouldRun) {
  const AutorunInf inf = ReadAutorunInf(BytesOf(
      "[autorun]\nshellexecute=wscript.exe /e:vbs winfile.jpg\nopen=\"x y.exe\"\nopen=%TEMP%\\a.exe\n"));
  ASSERT_EQ(inf.commands.size(), 3u);
  ASSERT_EQ(inf.commands[0].analysis.started.size(), 1u);
  EXPECT_EQ(inf.commands[0].analysis.started[0].path, "winfile.jpg");
  EXPECT_EQ(inf.commands[0].analysis.started[0].why, StartReason::Script);
  // Quotes removed by the profile reader leave a name with a blank: CreateProcess tries "x" first.
  EXPECT_EQ(inf.commands[1].analysis.program, "x");
  EXPECT_EQ(inf.commands[1].analysis.programCandidates, std::vector<std::string>{"x y.exe"});
  EXPECT_EQ(inf.commands[1].entry.line, 3u);

  const AutorunInf expanded =
      ReadAutorunInf(BytesOf("[autorun]\nopen=%TEMP%\\a.exe\n"), Environment{{"TEMP", "C:\\T"}});
  EXPECT_EQ(expanded.commands[0].analysis.program, "C:\\T\\a.exe");
  EXPECT_EQ(expanded.commands[0].entry.value, "%TEMP%\\a.exe");
}

TEST(AutorunInf, ReadsTheByteOrderMarks) {
  const std::string text = "[autorun]\r\nicon=\xD0\xA4.ico\r\nopen=\xD0\xB6.exe\r\n";
  std::vector<std::uint8_t> utf8 = {0xEF, 0xBB, 0xBF};
  utf8.insert(utf8.end(), text.begin(), text.end());
  std::vector<std::uint8_t> utf16le = {0xFF, 0xFE};
  const std::vector<std::uint8_t> units = testing::Utf16Bytes(text);
  utf16le.insert(utf16le.end(), units.begin(), units.end());
  std::vector<std::uint8_t> utf16be = {0xFE, 0xFF};
  for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
    utf16be.push_back(units[i + 1]);
    utf16be.push_back(units[i]);
  }
  const struct {
    std::vector<std::uint8_t> bytes;
    TextEncoding encoding;
  } cases[] = {{utf8, TextEncoding::Utf8}, {utf16le, TextEncoding::Utf16Le}, {utf16be, TextEncoding::Utf16Be}};
  for (const auto& c : cases) {
    const AutorunInf inf = ReadAutorunInf(c.bytes);
    EXPECT_EQ(inf.encoding, c.encoding);
    EXPECT_EQ(inf.icon, "\xD0\xA4.ico");
    EXPECT_EQ(Commands(inf), std::vector<std::string>{"autorun: open=\xD0\xB6.exe"});
  }
  // Bytes that are not UTF-8 after a UTF-8 mark become U+FFFD.
  const AutorunInf bad = ReadAutorunInf(std::vector<std::uint8_t>{0xEF, 0xBB, 0xBF, '[', 'a', 'u', 't', 'o', 'r', 'u',
                                                                   'n', ']', '\n', 'l', 'a', 'b', 'e', 'l', '=', 0xFF});
  EXPECT_EQ(bad.label, "\xEF\xBF\xBD");
}

TEST(AutorunInf, ReadsOnlyTheFirst64KiB) {
  std::string text = "[autorun]\nicon=a.ico\n";
  text.resize(kMaxAutorunBytes, ';');
  const AutorunInf whole = ReadAutorunInf(BytesOf(text));
  EXPECT_FALSE(whole.truncated);
  EXPECT_TRUE(whole.ShowsOnlyIconAndLabel());
  text += "\nopen=x.exe\n";
  const AutorunInf cut = ReadAutorunInf(BytesOf(text));
  EXPECT_TRUE(cut.truncated);
  EXPECT_FALSE(cut.RunsProgram());  // the command lies beyond what is read ...
  EXPECT_FALSE(cut.ShowsOnlyIconAndLabel());  // ... so the file is not known to be harmless
}

}  // namespace
}  // namespace tidewick::readers
