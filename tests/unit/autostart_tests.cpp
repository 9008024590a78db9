// Every autostart place (computer_cleaner/autostart.cpp): the judgement of a file, of a process
// and of Winlogon's values as tables of plain data, then the survey of each place on the
// simulated platform.
#include "computer_cleaner/autostart.h"

#include "platform/Function.h"
#include "platform/simulated/simulated_platform.h"
#include "tests/support/shortcut_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace tidewick::autostart {
namespace {

using sim::RegistryValue;
using sim::SimulatedPlatform;

constexpr Handle HKCU = Root::CurrentUser;
constexpr Handle HKLM = Root::LocalMachine;

const Folders kFolders{"C:\\Users\\u",
                       "C:\\Users\\u\\AppData\\Local\\Temp",
                       "C:\\Windows",
                       {"C:\\Program Files", "C:\\Program Files (x86)"}};

// ---- Where a file lies ------------------------------------------------------------------------

struct LocationCase {
  const char* file;
  std::uint32_t driveType;
  Location location;
};

TEST(AutostartJudgement, EachFileLiesWhereTheRulesSay) {
  const LocationCase cases[] = {
      // Where a worm puts its copies.
      {"C:\\Users\\u\\AppData\\Local\\Temp\\x y.vbs", DriveType::Fixed, Location::Temp},
      {"c:\\users\\U\\appdata\\local\\temp\\sub\\m.exe", DriveType::Fixed, Location::Temp},
      {"C:\\Users\\u\\AppData\\Roaming\\a.dll", DriveType::Fixed, Location::Profile},
      {"C:\\Users\\u\\M-1234567890123\\winmgr.exe", DriveType::Fixed, Location::Profile},
      {"C:\\Users\\u\\svchost32.exe", DriveType::Fixed, Location::Profile},
      {"C:/Users/u/AppData/Roaming/ScreenSaverPro.scr", DriveType::Fixed, Location::Profile},
      {"C:\\Temp\\TrustedInstaller.exe", DriveType::Fixed, Location::SystemTemp},
      {"c:\\TEMP\\deeper\\x.exe", DriveType::Fixed, Location::SystemTemp},
      {"E:\\RECYCLER\\S-1-5-21\\x.exe", DriveType::Removable, Location::Removable},
      {"E:\\Program Files\\x.exe", DriveType::Removable, Location::Removable},
      {"C:\\a1.exe", DriveType::Fixed, Location::DriveRoot},
      {"D:\\~WYDCNU.FAT32", DriveType::Fixed, Location::DriveRoot},
      // Never below the Windows folder or a Program Files folder.
      {"C:\\Program Files\\App\\app.exe", DriveType::Fixed, Location::ProgramFiles},
      {"C:\\Program Files (x86)\\Java\\bin\\jusched.exe", DriveType::Fixed, Location::ProgramFiles},
      {"C:\\Windows\\System32\\Printing_Admin_Scripts\\en-US\\prnmngr.vbs", DriveType::Fixed, Location::Windows},
      {"C:\\Windows\\Temp\\x.exe", DriveType::Fixed, Location::Windows},
      {"C:\\Users\\u\\..\\..\\Windows\\x.exe", DriveType::Fixed, Location::Windows},
      // Anywhere else.
      {"D:\\Tools\\x.exe", DriveType::Fixed, Location::Elsewhere},
      {"C:\\Users\\uu\\x.exe", DriveType::Fixed, Location::Elsewhere},
      {"C:\\Users\\Other\\AppData\\x.exe", DriveType::Fixed, Location::Elsewhere},
      {"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\HPser.exe", DriveType::Fixed,
       Location::Elsewhere},
      {"\\\\server\\share\\x.exe", DriveType::Remote, Location::Elsewhere},
      // A name no folder resolved.
      {"x.exe", DriveType::Unknown, Location::Unknown},
      {"", DriveType::Unknown, Location::Unknown},
  };
  for (const LocationCase& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(Locate(c.file, c.driveType, kFolders), c.location);
  }
}

TEST(AutostartJudgement, AnExistingFileInAWormPlaceIsSuspiciousAMissingOneDead) {
  const Judgement suspicious = Judge("C:\\Users\\u\\AppData\\Local\\Temp\\x.vbs", true, DriveType::Fixed, kFolders);
  EXPECT_TRUE(suspicious.suspicious);
  EXPECT_FALSE(suspicious.dead);
  EXPECT_EQ(suspicious.reason, "suspicious: in the temporary folder");

  const Judgement dead = Judge("C:\\Users\\u\\AppData\\Local\\Temp\\x.vbs", false, DriveType::Fixed, kFolders);
  EXPECT_FALSE(dead.suspicious);
  EXPECT_TRUE(dead.dead);
  EXPECT_EQ(dead.reason, "dead: the file does not exist");

  const Judgement decoy = Judge("C:\\Program Files\\App\\app.exe", true, DriveType::Fixed, kFolders);
  EXPECT_FALSE(decoy.suspicious);
  EXPECT_FALSE(decoy.dead);
  EXPECT_EQ(decoy.reason, "not suspicious: under a Program Files folder");

  const Judgement nothing = Judge("", false, DriveType::Unknown, kFolders);
  EXPECT_TRUE(nothing.dead);
  EXPECT_EQ(nothing.reason, "dead: it starts no file");

  EXPECT_EQ(Judge("E:\\x.exe", true, DriveType::Removable, kFolders).reason, "suspicious: on a removable drive");
  EXPECT_EQ(Judge("C:\\Temp\\x.exe", true, DriveType::Fixed, kFolders).reason, "suspicious: in C:\\Temp");
  EXPECT_EQ(Judge("D:\\x.exe", true, DriveType::Fixed, kFolders).reason, "suspicious: in the root of a drive");
  EXPECT_EQ(Judge("C:\\Users\\u\\x.exe", true, DriveType::Fixed, kFolders).reason, "suspicious: in the profile folder");
  EXPECT_EQ(Judge("D:\\Tools\\x.exe", true, DriveType::Fixed, kFolders).reason, "not suspicious");
}

// ---- Which processes run a file -------------------------------------------------------------

struct ProcessCase {
  const char* title;
  ProcessFacts process;
  const char* file;
  Runs runs;
  bool runsIt;
};

TEST(AutostartJudgement, AProcessRunsAFileByItsImageOrAsAHostNamingIt) {
  const std::string script = "C:\\Users\\u\\AppData\\Local\\Temp\\x y.vbs";
  const std::string library = "C:\\Users\\u\\AppData\\Roaming\\a.dll";
  const std::string program = "C:\\Users\\u\\svchost32.exe";
  const std::string wscript = "C:\\Windows\\System32\\wscript.exe";
  const auto facts = [](const char* name, std::optional<std::string> image, std::optional<std::string> line) {
    return ProcessFacts{1000, name, std::move(image), std::move(line)};
  };
  const ProcessCase cases[] = {
      {"the program's own image", facts("svchost32.exe", "c:\\users\\U\\SVCHOST32.EXE", std::nullopt), program.c_str(),
       Runs::AsProgram, true},
      {"a namesake elsewhere", facts("svchost32.exe", "C:\\Windows\\svchost32.exe", "\"" + program + "\""),
       program.c_str(), Runs::AsProgram, false},
      {"an image that cannot be read", facts("svchost32.exe", std::nullopt, "\"" + program + "\""), program.c_str(),
       Runs::AsProgram, false},
      {"wscript naming the script", facts("wscript.exe", wscript, "\"" + wscript + "\" //B \"" + script + "\""),
       script.c_str(), Runs::ByScriptHost, true},
      {"cscript naming it by another letter case",
       facts("cscript.exe", "C:\\Windows\\System32\\cscript.exe", "cscript //nologo \"C:\\USERS\\u\\AppData\\Local\\TEMP\\X Y.VBS\""),
       script.c_str(), Runs::ByScriptHost, true},
      {"wscript with an unreadable image, known by the snapshot's name",
       facts("wscript.exe", std::nullopt, "wscript.exe \"" + script + "\""), script.c_str(), Runs::ByScriptHost, true},
      {"wscript naming another script", facts("wscript.exe", wscript, "wscript.exe //B \"C:\\Users\\u\\other.vbs\""),
       script.c_str(), Runs::ByScriptHost, false},
      {"wscript naming it by a relative name only", facts("wscript.exe", wscript, "wscript.exe //B \"x y.vbs\""),
       script.c_str(), Runs::ByScriptHost, false},
      {"wscript whose command line cannot be read", facts("wscript.exe", wscript, std::nullopt), script.c_str(),
       Runs::ByScriptHost, false},
      {"an editor with the script open is no host", facts("notepad.exe", "C:\\Windows\\notepad.exe",
                                                           "notepad.exe \"" + script + "\""),
       script.c_str(), Runs::ByScriptHost, false},
      {"rundll32 with the library and its entry point",
       facts("rundll32.exe", "C:\\Windows\\System32\\rundll32.exe", "rundll32.exe " + library + ",Start"),
       library.c_str(), Runs::ByLibraryHost, true},
      {"regsvr32 with the library", facts("regsvr32.exe", "C:\\Windows\\SysWOW64\\regsvr32.exe",
                                          "regsvr32 /s \"" + library + "\""),
       library.c_str(), Runs::ByLibraryHost, true},
      {"rundll32 with another library", facts("rundll32.exe", "C:\\Windows\\System32\\rundll32.exe",
                                              "rundll32.exe C:\\Windows\\System32\\shell32.dll,Control_RunDLL"),
       library.c_str(), Runs::ByLibraryHost, false},
      {"cmd running the batch file", facts("cmd.exe", "C:\\Windows\\System32\\cmd.exe",
                                           "cmd /c \"C:\\Users\\u\\AppData\\Roaming\\w.bat\""),
       "C:\\Users\\u\\AppData\\Roaming\\w.bat", Runs::ByCommandShell, true},
      {"a script host is no command shell", facts("wscript.exe", wscript, "wscript C:\\Users\\u\\AppData\\Roaming\\w.bat"),
       "C:\\Users\\u\\AppData\\Roaming\\w.bat", Runs::ByCommandShell, false},
  };
  const readers::Environment environment{{"TEMP", "C:\\Users\\u\\AppData\\Local\\Temp"}};
  for (const ProcessCase& c : cases) {
    SCOPED_TRACE(c.title);
    EXPECT_EQ(RunsTheFile(c.process, c.file, c.runs, environment), c.runsIt);
  }
}

// ---- Winlogon's defaults --------------------------------------------------------------------

TEST(AutostartJudgement, WinlogonDefaultsAreComparedAsPaths) {
  const readers::Environment environment{{"SystemRoot", "C:\\Windows"}};
  struct Case {
    const char* data;
    bool isDefault;
  };
  const Case shells[] = {
      {"explorer.exe", true},
      {"Explorer.EXE", true},
      {" explorer.exe ", true},
      {"explorer.exe,", true},
      {"C:\\Windows\\explorer.exe", true},
      {"%SystemRoot%\\explorer.exe", true},
      {"\"C:\\WINDOWS\\Explorer.exe\"", true},
      {"explorer.exe, C:\\Users\\u\\AppData\\Roaming\\w.exe", false},
      {"explorer.exe C:\\Users\\u\\w.exe", false},
      {"C:\\Users\\u\\explorer.exe", false},
      {"explorer", false},
      {"", false},
  };
  for (const Case& c : shells) {
    SCOPED_TRACE(c.data);
    EXPECT_EQ(IsDefaultShell(c.data, environment, "C:\\Windows"), c.isDefault);
  }
  const Case userinits[] = {
      {"C:\\Windows\\system32\\userinit.exe,", true},
      {"c:\\windows\\System32\\USERINIT.EXE", true},
      {"%SystemRoot%\\system32\\userinit.exe,", true},
      {"userinit.exe,", true},
      {"C:\\Windows\\system32\\userinit.exe,C:\\Users\\u\\AppData\\Roaming\\w.exe,", false},
      {"C:\\Windows\\SysWOW64\\userinit.exe,", false},
      {"C:\\Users\\u\\userinit.exe,", false},
  };
  for (const Case& c : userinits) {
    SCOPED_TRACE(c.data);
    EXPECT_EQ(IsDefaultUserinit(c.data, environment, "C:\\Windows"), c.isDefault);
  }
  EXPECT_EQ(DefaultShell(), "explorer.exe");
  EXPECT_EQ(DefaultUserinit("C:\\Windows"), "C:\\Windows\\system32\\userinit.exe,");
}

// ---- The survey on the simulated platform -----------------------------------------------------

constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const char* kPoliciesRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
constexpr const char* kRun32 = "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kWinlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kRoaming = "C:\\Users\\u\\AppData\\Roaming";
constexpr const char* kTemp = "C:\\Users\\u\\AppData\\Local\\Temp";
constexpr const char* kUserStartup = "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
constexpr const char* kCommonStartup = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";

class AutostartSurveyTest : public ::testing::Test {
 protected:
  AutostartSurveyTest() {
    os.AddDrive('C');
    os.SetProfileFolder("C:\\Users\\u");
    for (const char* folder : {kRoaming, kTemp, kUserStartup, kCommonStartup, "C:\\Windows\\System32",
                               "C:\\Program Files\\App"}) {
      os.AddFolder(folder);
    }
    os.AddFile("C:\\Windows\\System32\\wscript.exe");
    os.AddFile("C:\\Windows\\System32\\rundll32.exe");
    os.AddFile("C:\\Windows\\explorer.exe");
  }

  void Value(Handle root, const char* key, const std::string& name, const std::string& data,
             std::uint32_t type = RegType::Sz) {
    os.SetRegistryValue(root, key, name, RegistryValue::Text(data, type));
  }

  std::vector<Entry> Entries() { return SurveyAutostart(os, fn).entries; }

  // The one entry of this name; fails the test when there is not exactly one.
  Entry Only(const std::string& name) {
    const std::vector<Entry> entries = Entries();
    std::vector<Entry> named;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(named),
                 [&](const Entry& e) { return e.name == name; });
    EXPECT_EQ(named.size(), 1u) << name;
    return named.empty() ? Entry{} : named.front();
  }

  SimulatedPlatform os;
  Function fn{os};
};

struct PlaceCase {
  Handle root;
  const char* key;      // where the value is written
  const char* shown;    // the place column
  bool view32;
};

TEST_F(AutostartSurveyTest, EveryRegistryPlaceIsSearched) {
  const PlaceCase places[] = {
      {HKCU, kRun, "HKCU Run", false},
      {HKCU, kRunOnce, "HKCU RunOnce", false},
      {HKCU, kPoliciesRun, "HKCU Policies\\Explorer\\Run", false},
      {HKLM, kRun, "HKLM Run", false},
      {HKLM, kRunOnce, "HKLM RunOnce", false},
      {HKLM, kPoliciesRun, "HKLM Policies\\Explorer\\Run", false},
      {HKLM, kRun32, "HKLM (32-bit) Run", true},
      {HKLM, "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
       "HKLM (32-bit) RunOnce", true},
      {HKLM, "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
       "HKLM (32-bit) Policies\\Explorer\\Run", true},
  };
  int n = 0;
  for (const PlaceCase& place : places) {
    const std::string file = std::string(kRoaming) + "\\w" + std::to_string(n) + ".exe";
    os.AddFile(file);
    Value(place.root, place.key, "Worm" + std::to_string(n++), file);
  }
  const std::vector<Entry> entries = Entries();
  ASSERT_EQ(entries.size(), std::size(places));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(places[i].shown);
    EXPECT_EQ(entries[i].name, "Worm" + std::to_string(i));
    EXPECT_EQ(entries[i].place.text, places[i].shown);
    EXPECT_EQ(entries[i].place.root, places[i].root);
    EXPECT_EQ(entries[i].place.view32, places[i].view32);
    EXPECT_EQ(entries[i].file, std::string(kRoaming) + "\\w" + std::to_string(i) + ".exe");
    EXPECT_TRUE(entries[i].judgement.suspicious);
  }
  EXPECT_EQ(os.OpenHandleCount(), 0u);
}

TEST_F(AutostartSurveyTest, On32BitWindowsTheMachinesKeysAreReadOnce) {
  os.SetWindows32Bit();
  os.AddFile(std::string(kRoaming) + "\\w.exe");
  Value(HKLM, kRun, "Worm", std::string(kRoaming) + "\\w.exe");
  const std::vector<Entry> entries = Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_FALSE(entries[0].place.view32);
}

struct CommandCase {
  const char* title;
  std::string data;
  std::uint32_t type;
  std::string file;  // the file it starts
  Runs runs;
  bool suspicious;
  bool dead;
};

TEST_F(AutostartSurveyTest, EachCommandStartsTheFileWindowsWouldStart) {
  for (const char* file : {"C:\\Users\\u\\AppData\\Local\\Temp\\x y.vbs", "C:\\Users\\u\\AppData\\Roaming\\a.dll",
                           "C:\\Users\\u\\AppData\\Roaming\\w w.exe", "C:\\Users\\u\\AppData\\Roaming\\w.exe",
                           "C:\\Users\\u\\AppData\\Roaming\\my tool.exe",
                           "C:\\Program Files\\App\\app.exe", "C:\\Windows\\System32\\prnmngr.vbs",
                           "C:\\Windows\\System32\\evil.exe"}) {
    os.AddFile(file);
  }
  const CommandCase cases[] = {
      {"plain text", "C:\\Users\\u\\AppData\\Roaming\\w.exe", RegType::Sz, "C:\\Users\\u\\AppData\\Roaming\\w.exe",
       Runs::AsProgram, true, false},
      {"expandable text", "%APPDATA%\\w.exe", RegType::ExpandSz, "C:\\Users\\u\\AppData\\Roaming\\w.exe", Runs::AsProgram,
       true, false},
      {"environment strings in plain text", "%APPDATA%\\w.exe /n", RegType::Sz, "C:\\Users\\u\\AppData\\Roaming\\w.exe",
       Runs::AsProgram, true, false},
      {"quoted, with arguments", "\"C:\\Users\\u\\AppData\\Roaming\\w w.exe\" /s -x", RegType::Sz,
       "C:\\Users\\u\\AppData\\Roaming\\w w.exe", Runs::AsProgram, true, false},
      {"unquoted with a blank: CreateProcess tries the longer names",
       "C:\\Users\\u\\AppData\\Roaming\\my tool.exe /s", RegType::Sz,
       "C:\\Users\\u\\AppData\\Roaming\\my tool.exe", Runs::AsProgram, true, false},
      {"unquoted with a blank: a shorter name that exists, with .exe added, is what runs",
       "C:\\Users\\u\\AppData\\Roaming\\w w.exe /s", RegType::Sz, "C:\\Users\\u\\AppData\\Roaming\\w.exe",
       Runs::AsProgram, true, false},
      {"a script host and its script", "wscript.exe //B \"%TEMP%\\x y.vbs\"", RegType::Sz,
       "C:\\Users\\u\\AppData\\Local\\Temp\\x y.vbs", Runs::ByScriptHost, true, false},
      {"a library host and its library", "rundll32 %APPDATA%\\a.dll,Start", RegType::ExpandSz,
       "C:\\Users\\u\\AppData\\Roaming\\a.dll", Runs::ByLibraryHost, true, false},
      {"a bare name found in the system folder", "evil.exe", RegType::Sz, "C:\\Windows\\System32\\evil.exe",
       Runs::AsProgram, false, false},
      {"a program under Program Files", "\"C:\\Program Files\\App\\app.exe\" /min", RegType::Sz,
       "C:\\Program Files\\App\\app.exe", Runs::AsProgram, false, false},
      {"a script under the Windows folder", "wscript.exe C:\\Windows\\System32\\prnmngr.vbs", RegType::Sz,
       "C:\\Windows\\System32\\prnmngr.vbs", Runs::ByScriptHost, false, false},
      {"a file that is gone", "C:\\Users\\u\\AppData\\Roaming\\gone.exe", RegType::Sz,
       "C:\\Users\\u\\AppData\\Roaming\\gone.exe", Runs::AsProgram, false, true},
      {"a script that is gone", "wscript.exe //B \"%TEMP%\\gone.vbs\"", RegType::Sz,
       "C:\\Users\\u\\AppData\\Local\\Temp\\gone.vbs", Runs::ByScriptHost, false, true},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.title);
    os.DeleteRegistryKey(HKCU, kRun);
    Value(HKCU, kRun, "Entry", c.data, c.type);
    const Entry entry = Only("Entry");
    EXPECT_EQ(entry.command, c.data);
    EXPECT_EQ(entry.file, c.file);
    EXPECT_EQ(entry.runs, c.runs);
    EXPECT_EQ(entry.judgement.suspicious, c.suspicious);
    EXPECT_EQ(entry.judgement.dead, c.dead);
    EXPECT_EQ(entry.Notable(), c.suspicious || c.dead);
  }
}

TEST_F(AutostartSurveyTest, ValuesOfOtherTypesAreNoAutostartEntries) {
  os.SetRegistryValue(HKCU, kRun, "Binary", RegistryValue::Bytes(RegType::Binary, {'C', ':', '\\', 'x'}));
  os.SetRegistryValue(HKCU, kRun, "Number", RegistryValue::Dword(1));
  Value(HKCU, kRun, "Multi", "C:\\Users\\u\\AppData\\Roaming\\w.exe", RegType::MultiSz);
  EXPECT_TRUE(Entries().empty());
}

TEST_F(AutostartSurveyTest, TheProcessesOfAnEntryAreThoseThatRunItsFile) {
  const std::string script = std::string(kTemp) + "\\x y.vbs";
  os.AddFile(script);
  Value(HKCU, kRun, "Worm", "wscript.exe //B \"%TEMP%\\x y.vbs\"");
  const std::uint32_t host = os.StartProcess("wscript.exe", "C:\\Windows\\System32\\wscript.exe",
                                             "\"C:\\Windows\\System32\\wscript.exe\" //B \"" + script + "\"");
  os.StartProcess("wscript.exe", "C:\\Windows\\System32\\wscript.exe",
                  "\"C:\\Windows\\System32\\wscript.exe\" C:\\Users\\u\\other.vbs");
  os.StartProcess("notepad.exe", "C:\\Windows\\notepad.exe", "notepad.exe \"" + script + "\"");
  const Entry entry = Only("Worm");
  ASSERT_EQ(entry.processes.size(), 1u);
  EXPECT_EQ(entry.processes[0].pid, host);
  EXPECT_EQ(ProcessesText(entry.processes), "wscript.exe (" + std::to_string(host) + ")");
  EXPECT_EQ(os.OpenHandleCount(), 0u);

  // Read afresh, as Delete does: the host has ended.
  os.StartProcess("wscript.exe", "C:\\Windows\\System32\\wscript.exe", "wscript.exe //B \"" + script + "\"");
  EXPECT_EQ(ProcessesRunning(os, entry, SurveyAutostart(os, fn, false).environment).size(), 2u);
}

TEST_F(AutostartSurveyTest, StartupShortcutsAreReadByTheShortcutReaderAndOtherFilesAsTheyAre) {
  const std::string script = std::string(kTemp) + "\\x y.vbs";
  os.AddFile(script);
  const std::vector<std::uint8_t> link = testing::ShortcutWriter()
                                             .IdListPath("C:\\Windows\\System32\\wscript.exe")
                                             .Arguments("//B \"" + script + "\"")
                                             .Bytes();
  os.AddFile(std::string(kUserStartup) + "\\Updater.lnk");
  os.SetFileContent(std::string(kUserStartup) + "\\Updater.lnk", std::string(link.begin(), link.end()));
  os.AddFile(std::string(kUserStartup) + "\\desktop.ini", Attr::Hidden | Attr::System);
  os.AddFile(std::string(kUserStartup) + "\\run.vbs");
  os.AddFile(std::string(kCommonStartup) + "\\HPser.exe");
  os.AddFolder(std::string(kCommonStartup) + "\\folder");
  os.AddFile(std::string(kCommonStartup) + "\\broken.lnk");
  os.SetFileContent(std::string(kCommonStartup) + "\\broken.lnk", "not a shortcut");

  const std::vector<Entry> entries = Entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, "Updater.lnk");
  EXPECT_EQ(entries[0].place.text, "Startup");
  EXPECT_EQ(entries[0].StartupPath(), std::string(kUserStartup) + "\\Updater.lnk");
  EXPECT_EQ(entries[0].file, script);
  EXPECT_EQ(entries[0].runs, Runs::ByScriptHost);
  EXPECT_TRUE(entries[0].judgement.suspicious);
  EXPECT_NE(entries[0].command.find("wscript.exe"), std::string::npos) << entries[0].command;

  EXPECT_EQ(entries[1].name, "run.vbs");
  EXPECT_EQ(entries[1].file, std::string(kUserStartup) + "\\run.vbs");
  EXPECT_EQ(entries[1].runs, Runs::ByScriptHost);
  EXPECT_TRUE(entries[1].judgement.suspicious);  // in the profile folder

  EXPECT_EQ(entries[2].place.text, "Startup (all users)");
  EXPECT_EQ(entries[2].name, "HPser.exe");
  EXPECT_FALSE(entries[2].Notable());

  EXPECT_EQ(entries[3].name, "broken.lnk");
  EXPECT_TRUE(entries[3].judgement.dead);
  EXPECT_EQ(entries[3].command.rfind("(a damaged shortcut: ", 0), 0u) << entries[3].command;
}

TEST_F(AutostartSurveyTest, WinlogonIsListedOnlyWhereItDiffersFromTheWindowsDefaults) {
  Value(HKLM, kWinlogon, "Shell", "explorer.exe");
  Value(HKLM, kWinlogon, "Userinit", "C:\\Windows\\system32\\userinit.exe,");
  Value(HKLM, kWinlogon, "DefaultUserName", "u");
  EXPECT_TRUE(Entries().empty());

  os.AddFile(std::string(kRoaming) + "\\w.exe");
  Value(HKLM, kWinlogon, "Userinit", "C:\\Windows\\system32\\userinit.exe," + std::string(kRoaming) + "\\w.exe,");
  Value(HKCU, kWinlogon, "Shell", "explorer.exe, %APPDATA%\\w.exe");
  // The user's Userinit is none of Windows' places.
  Value(HKCU, kWinlogon, "Userinit", std::string(kRoaming) + "\\w.exe");
  const std::vector<Entry> entries = Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].place.text, "HKLM Winlogon");
  EXPECT_EQ(entries[0].name, "Userinit");
  EXPECT_EQ(entries[0].file, std::string(kRoaming) + "\\w.exe");
  EXPECT_TRUE(entries[0].judgement.suspicious);
  EXPECT_EQ(entries[0].judgement.reason, "not the Windows default; suspicious: in the profile folder");
  EXPECT_EQ(entries[1].place.root, HKCU);
  EXPECT_EQ(entries[1].name, "Shell");
  EXPECT_EQ(entries[1].file, std::string(kRoaming) + "\\w.exe");
}

TEST_F(AutostartSurveyTest, APlaceThatCannotBeReadIsPassedOver) {
  os.AddFile(std::string(kRoaming) + "\\w.exe");
  Value(HKCU, kRun, "Mine", std::string(kRoaming) + "\\w.exe");
  Value(HKLM, kRun, "Locked", std::string(kRoaming) + "\\w.exe");
  os.RefuseRegistryOpen(HKLM, kRun);
  os.FailListingsWhere([](std::string_view pattern) { return pattern.find("Startup") != std::string_view::npos; });
  os.AddFile(std::string(kUserStartup) + "\\x.vbs");
  const std::vector<Entry> entries = Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "Mine");
}

}  // namespace
}  // namespace tidewick::autostart
