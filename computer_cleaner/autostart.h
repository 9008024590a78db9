// Every autostart place of the computer, beyond the current user's Run key that the Computer
// window reads, and what each entry starts: the file, where it lies, whether it still exists,
// and which running processes run it.
//
// Two halves. The judgement is pure: plain data in (a path, whether it exists, the type of its
// drive, the computer's folders; a process's image and command line), a verdict out, so a table
// of cases covers it. The survey gathers that data through the platform (the Run keys of both
// users and both registry views, the Startup folders with their shortcuts read by the bounded
// shortcut reader, Winlogon, the running processes) and judges each entry.
//
// The rules. A command is expanded with the environment and split as Windows splits it; the
// file it starts is its program, or for a script host (wscript, cscript, mshta) the script and
// for a library host (rundll32, regsvr32) the library it is given. An entry is suspicious when
// that file exists and lies where a worm puts its copies: the profile folder or below it, the
// temporary folder, a removable drive, C:\Temp, the root of a drive; never under the Windows
// folder or a Program Files folder. A file that does not exist makes the entry dead. A process
// runs the file when its image is the file (a program), or when it is a host of the file's kind
// and its command line names the file by its full path (a script or library): never by name
// alone.
#pragma once

#include "platform/Function.h"
#include "platform/platform_operations.h"
#include "readers/command_line.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick::autostart {

// ---- The judgement (pure) -------------------------------------------------------------------

// The computer's folders the judgement needs, without trailing backslashes.
struct Folders {
  std::string profile;  // the user's profile folder
  std::string temp;     // the temporary folder
  std::string windows;  // the Windows folder
  std::vector<std::string> programFiles;  // every Program Files folder
};

// Where a file lies.
enum class Location {
  Temp,          // the temporary folder or below it
  Profile,       // the profile folder or below it
  SystemTemp,    // the Temp folder in the root of the Windows folder's drive (C:\Temp)
  Removable,     // on a removable drive
  DriveRoot,     // directly in the root of a drive
  Windows,       // under the Windows folder
  ProgramFiles,  // under a Program Files folder
  Elsewhere,     // anywhere else
  Unknown,       // no file, or a name that no folder resolved
};

// Whether a worm puts its copies there (the places that make an entry suspicious).
bool IsWormPlace(Location location);

// Where `file` (an absolute path) lies, `driveType` being the type of its drive. The Windows
// and Program Files folders are asked first: nothing below them is a worm place, whatever
// else holds.
Location Locate(std::string_view file, std::uint32_t driveType, const Folders& folders);

struct Judgement {
  Location location = Location::Unknown;
  bool dead = false;        // the file does not exist (or the entry starts no file)
  bool suspicious = false;  // it exists and lies in a worm place
  std::string reason;       // why the entry is listed, in words
};

// The verdict on an entry that starts `file` (empty: it starts none).
Judgement Judge(std::string_view file, bool exists, std::uint32_t driveType, const Folders& folders);

// How a started file is run, which tells how its processes are found.
enum class Runs {
  AsProgram,       // its image is the file
  ByScriptHost,    // wscript, cscript or mshta with the file on its command line
  ByLibraryHost,   // rundll32 or regsvr32 with the file on its command line
  ByCommandShell,  // cmd with the file (a .bat or .cmd) on its command line
};

// How a file of this name is run when it is started for itself (a Startup file, a chained
// command): by its extension.
Runs RunsByExtension(std::string_view file);

// One running process as the survey reads it. An image or command line that cannot be read is
// missing, and then matches nothing that needs it.
struct ProcessFacts {
  std::uint32_t pid = 0;
  std::string exeName;
  std::optional<std::string> image;
  std::optional<std::string> commandLine;
};

// Whether the process runs `file` (an absolute path) the way `runs` says.
bool RunsTheFile(const ProcessFacts& process, std::string_view file, Runs runs,
                 const readers::Environment& environment);

// Whether Winlogon's Shell or Userinit holds the Windows default: "explorer.exe" and
// "C:\Windows\system32\userinit.exe," compared as paths (letter case aside, environment
// strings expanded, the Windows folder itself or a bare name), commas and blanks around the
// items aside.
bool IsDefaultShell(std::string_view data, const readers::Environment& environment, std::string_view windows);
bool IsDefaultUserinit(std::string_view data, const readers::Environment& environment, std::string_view windows);
// The Windows defaults as they are written back.
std::string DefaultShell();
std::string DefaultUserinit(std::string_view windows);

// ---- The survey (through the platform) ------------------------------------------------------

// Where an entry is kept.
struct Place {
  enum class Kind { RegistryValue, StartupFile, Winlogon };
  Kind kind = Kind::RegistryValue;
  Handle root = 0;      // registry places
  std::string keyPath;  // as the key is opened
  bool view32 = false;  // opened in the 32-bit view
  std::string folder;   // a Startup folder
  std::string text;     // as the list shows it: "HKCU Run", "HKLM (32-bit) Policies\Explorer\Run",
                        // "Startup (all users)", "HKLM Winlogon"
};

struct RunningProcess {
  std::uint32_t pid = 0;
  std::string name;
};

struct Entry {
  Place place;
  std::string name;     // the value's name (empty: the unnamed value), or the Startup file's
  std::string command;  // the value's data, or what the Startup file runs
  std::string file;     // the file it starts, absolute where a folder resolved it
  Runs runs = Runs::AsProgram;
  Judgement judgement;
  std::vector<RunningProcess> processes;  // those that run the file, when surveyed

  // Listed without "Show every entry": suspicious or dead.
  bool Notable() const { return judgement.suspicious || judgement.dead; }
  // The Startup file itself (folder and name).
  std::string StartupPath() const { return place.folder + "\\" + name; }
};

// What the computer told the survey, and the entries it found.
struct Survey {
  Folders folders;
  readers::Environment environment;
  std::vector<Entry> entries;
};

// The places and the order they are listed in: the Run, RunOnce and Policies\Explorer\Run keys
// of the current user, of the machine, and of the machine's 32-bit view (where there is one),
// the user's and all users' Startup folders, and Winlogon's Shell and Userinit where they are
// not the Windows defaults (Shell of either root, Userinit of the machine). REG_SZ and
// REG_EXPAND_SZ values are autostart entries; values of other types are not. A place that
// cannot be read is passed over. With `processes` the running processes of each entry are
// found too.
Survey SurveyAutostart(PlatformOperations& os, Function& fn, bool processes = true);

// The processes that run the entry's file now, read afresh.
std::vector<RunningProcess> ProcessesRunning(PlatformOperations& os, const Entry& entry,
                                             const readers::Environment& environment);
// The facts of one process of a snapshot.
ProcessFacts FactsOf(PlatformOperations& os, const ProcessEntry32& process);

// The running processes as the list shows them: "wscript.exe (1234), ...".
std::string ProcessesText(const std::vector<RunningProcess>& processes);

// How many of `entries` are suspicious and not shown by the Computer window's list, which
// shows values of the current user's Run key (by the names `shownRunValues`, letter case aside).
int SuspiciousNotShown(const std::vector<Entry>& entries, const std::vector<std::string>& shownRunValues);

}  // namespace tidewick::autostart
