// Command lines as Windows reads them, and the files a command starts: the program, the script
// a script host is given, the library of rundll32 and regsvr32, each command of a cmd chain,
// and what explorer is asked to open. Pure text work: nothing is looked up on a disk, so a
// relative name stays relative and the caller resolves it against the folder it starts in.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tidewick::readers {

// Environment variables by name, letter case aside (as Windows keeps them).
class Environment {
 public:
  Environment() = default;
  Environment(std::initializer_list<std::pair<std::string_view, std::string_view>> values);
  void Set(std::string_view name, std::string_view value);
  // The value of `name`, or nullptr when it is not set.
  const std::string* Find(std::string_view name) const;
  bool Empty() const { return values_.empty(); }

 private:
  std::map<std::string, std::string> values_;  // by lower-cased name
};

// `text` with each %NAME% of a set variable replaced by its value, as ExpandEnvironmentStrings
// does: a name that is not set stays as written with both signs ("%NOPE%"), and the search goes
// on after it; a single '%' without a partner stays too. One pass: a value is not expanded again.
std::string ExpandEnvironment(std::string_view text, const Environment& environment);

// The program of a command line by the rules of CreateProcess: a quoted name runs to the next
// quote, an unquoted one to the first space or tab.
struct ProgramName {
  std::string name;       // without the quotes
  bool quoted = false;
  std::string arguments;  // the rest of the line after the name, leading blanks removed
  // For an unquoted name followed by more words: the longer names that CreateProcess tries
  // after `name` when a file of that name does not exist ("C:\Program Files\a b.exe x":
  // "C:\Program" first, then "C:\Program Files\a", then "C:\Program Files\a b.exe", ...), each
  // as the name plus the words up to the next blank run. They are only noted here; which of
  // them exists is for the caller to find out. At most kMaxProgramCandidates of them.
  std::vector<std::string> longerCandidates;
};
inline constexpr std::size_t kMaxProgramCandidates = 32;
ProgramName SplitProgramName(std::string_view commandLine);

// Arguments split as CommandLineToArgvW splits what follows the program name: blanks (space,
// tab) separate; quotes group and are removed; 2n backslashes before a quote become n and the
// quote groups, 2n+1 become n and a literal quote; other backslashes stay; inside quotes, two
// quotes in a row give one literal quote and end the quoted part. `My" "Photos` is `My Photos`.
std::vector<std::string> SplitArguments(std::string_view arguments);

// The whole command line as CommandLineToArgvW splits it: the first element by its own rule (a
// leading quote runs to the next quote, else up to the first character at or below U+0020,
// with no backslash rule), the rest as SplitArguments.
std::vector<std::string> CommandLineToArgv(std::string_view commandLine);

// How a command makes a file start.
enum class StartReason {
  Program,         // the program of the command itself
  Script,          // the script given to wscript, cscript or mshta (or regsvr32 /i:)
  Library,         // the library given to rundll32 or regsvr32
  ChainedCommand,  // a command of a cmd chain, or the target of start or call
};

struct StartedFile {
  std::string path;  // as written, after expansion; may be relative
  StartReason why = StartReason::Program;
  std::string via;   // what starts it: "wscript.exe", "cmd /c", "cmd /c start", "rundll32.exe", ...
};

// What explorer is asked to open (a folder, usually: "start explorer My" "Photos").
struct OpenedTarget {
  std::string path;
  std::string via;
};

// What kind of program a command runs, by its file name (letter case aside, with or without
// ".exe", wherever it lies).
enum class HostKind { None, CommandShell, ScriptHost, LibraryHost, Explorer };

struct CommandAnalysis {
  std::string program;              // the program, as written after expansion
  HostKind host = HostKind::None;
  std::vector<std::string> arguments;  // the program's arguments, split as the program sees them
  // Every file the command starts, in order. For a plain program that is the program itself;
  // for a host (cmd, a script or library host, explorer) the host is not listed, only what it
  // is given.
  std::vector<StartedFile> started;
  std::vector<OpenedTarget> opened;
  // What the analysis saw but did not follow, in words (an inline script, an "if" or "for" of
  // cmd, a chain nested too deep, a start with only a title, ...).
  std::vector<std::string> notes;
  // For a command line (not a shortcut target): the longer program names CreateProcess may
  // use instead (see ProgramName).
  std::vector<std::string> programCandidates;

  // The file the command starts first, or nullptr when it starts none.
  const StartedFile* FileItStarts() const { return started.empty() ? nullptr : &started.front(); }
};

// A nested cmd, start or host is followed this deep; deeper ones are noted.
inline constexpr int kMaxCommandDepth = 8;

// The analysis of a whole command line (a Run value, an autorun.inf "open="): environment
// strings expanded first, then the program by the CreateProcess rules.
CommandAnalysis AnalyzeCommandLine(std::string_view commandLine, const Environment& environment = {});

// The analysis of a program given apart from its arguments (a shortcut's target and its
// arguments): the program is taken as it is, not split. Both are expanded first.
CommandAnalysis AnalyzeProgram(std::string_view program, std::string_view arguments,
                               const Environment& environment = {});

// The host kind of a program path ("C:\Windows\System32\WScript.exe" is a script host).
HostKind HostKindOf(std::string_view program);

// Words for a start reason, for lists: "program", "script", "library", "chained command".
std::string_view StartReasonText(StartReason why);

}  // namespace tidewick::readers
