// Command-line splitting, environment expansion and the files a command starts.
#include "readers/command_line.h"

#include "platform/text.h"
#include "readers/paths.h"


namespace tidewick::readers {
namespace {

constexpr std::size_t kMaxCandidateLength = 32767;

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view TrimLeadingBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAsciiText(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != prefix[i]) return false;
  }
  return true;
}

std::string WithoutQuotes(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c != '"') out += c;
  }
  return out;
}

// The commands of cmd that start no file of their own.
constexpr std::string_view kCmdBuiltins[] = {
    "assoc", "break", "cd",     "chdir",   "cls",   "color", "copy",   "date",  "del",   "dir",
    "echo",  "endlocal", "erase", "exit",  "ftype", "goto",  "md",     "mkdir", "mklink", "move",
    "path",  "pause", "popd",   "prompt",  "pushd", "rd",    "rem",    "ren",   "rename", "rmdir",
    "set",   "setlocal", "shift", "time",  "title", "type",  "ver",   "verify", "vol"};

bool IsCmdBuiltin(std::string_view lowerWord) {
  for (const std::string_view builtin : kCmdBuiltins) {
    if (builtin == lowerWord) return true;
  }
  return false;
}

bool IsCmdWord(std::string_view lowerWord) {
  return IsCmdBuiltin(lowerWord) || lowerWord == "start" || lowerWord == "call" || lowerWord == "if" ||
         lowerWord == "for";
}

// A token of cmd's own reading: up to a blank outside quotes, quotes kept.
struct Token {
  std::string_view text;
  std::string_view rest;  // after the token, leading blanks removed
};

Token NextToken(std::string_view text) {
  text = TrimLeadingBlanks(text);
  bool quoted = false;
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    if (!quoted && IsBlank(text[i])) break;
  }
  return {text.substr(0, i), TrimLeadingBlanks(text.substr(i))};
}

// The commands of a cmd line, split at &, &&, | and || outside quotes. A caret outside quotes
// takes the next character literally; "2>&1" is a redirection, not a split.
std::vector<std::string> SplitChain(std::string_view line) {
  std::vector<std::string> commands;
  std::string current;
  bool quoted = false;
  const auto lastNonBlank = [&]() -> char {
    for (std::size_t i = current.size(); i > 0; --i) {
      if (!IsBlank(current[i - 1])) return current[i - 1];
    }
    return '\0';
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      quoted = !quoted;
      current += c;
      continue;
    }
    if (!quoted && c == '^') {
      if (i + 1 < line.size()) current += line[++i];
      continue;
    }
    if (!quoted && (c == '&' || c == '|')) {
      const char before = lastNonBlank();
      if (c == '&' && (before == '>' || before == '<')) {
        current += c;
        continue;
      }
      if (i + 1 < line.size() && line[i + 1] == c) ++i;
      commands.push_back(std::move(current));
      current.clear();
      continue;
    }
    current += c;
  }
  commands.push_back(std::move(current));
  return commands;
}

// A command of a chain without its redirections ("> nul", "2>&1", "<in.txt").
std::string WithoutRedirections(std::string_view command) {
  std::string out;
  bool quoted = false;
  for (std::size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (c == '"') quoted = !quoted;
    if (quoted || (c != '>' && c != '<')) {
      out += c;
      continue;
    }
    // A digit right before the operator ("2>") belongs to it.
    if (!out.empty() && out.back() >= '0' && out.back() <= '9' && (out.size() == 1 || IsBlank(out[out.size() - 2]))) {
      out.pop_back();
    }
    while (i + 1 < command.size() && (command[i + 1] == '>' || command[i + 1] == '<')) ++i;
    if (i + 1 < command.size() && command[i + 1] == '&') {
      // "2>&1": the handle number is the target.
      ++i;
      if (i + 1 < command.size() && command[i + 1] >= '0' && command[i + 1] <= '9') ++i;
      continue;
    }
    const Token target = NextToken(command.substr(i + 1));
    i = static_cast<std::size_t>(target.rest.data() - command.data()) - 1;
    out += ' ';
  }
  return out;
}

// What walks a command and the commands it starts, collecting into one analysis.
class Walker {
 public:
  explicit Walker(CommandAnalysis& out) : out_(out) {}

  void Program(std::string_view program, std::string_view arguments, int depth, StartReason plainReason,
               std::string_view via) {
    if (depth > kMaxCommandDepth) {
      out_.notes.push_back("a command nested more than " + std::to_string(kMaxCommandDepth) +
                           " deep is not followed: " + std::string(program));
      return;
    }
    const std::string host = LowerAsciiText(FileNameOf(program));
    switch (HostKindOf(program)) {
      case HostKind::None:
        out_.started.push_back({std::string(program), plainReason, std::string(via)});
        return;
      case HostKind::CommandShell:
        Cmd(arguments, depth);
        return;
      case HostKind::Explorer:
        Explorer(arguments);
        return;
      case HostKind::ScriptHost:
        if (StartsWithNoCase(host, "mshta")) {
          Mshta(arguments, host);
        } else {
          ScriptHost(arguments, host);
        }
        return;
      case HostKind::LibraryHost:
        if (StartsWithNoCase(host, "rundll32")) {
          Rundll32(arguments, host);
        } else {
          Regsvr32(arguments, host);
        }
        return;
    }
  }

 private:
  void Cmd(std::string_view arguments, int depth) {
    std::string_view rest = TrimLeadingBlanks(arguments);
    bool sawS = false;
    while (!rest.empty()) {
      if (rest[0] == '/' && rest.size() >= 2 && (LowerAscii(rest[1]) == 'c' || LowerAscii(rest[1]) == 'k')) {
        CmdLine(TrimLeadingBlanks(rest.substr(2)), sawS, depth);
        return;
      }
      const Token option = NextToken(rest);
      if (option.text.empty() || option.text[0] != '/') break;
      if (LowerAsciiText(option.text) == "/s") sawS = true;
      rest = option.rest;
    }
    out_.notes.push_back("cmd without /c or /k runs no command of its own");
  }

  // The command string of cmd /c: quotes handled as cmd /? describes, then each command.
  void CmdLine(std::string_view line, bool sawS, int depth) {
    std::string text(line);
    if (!text.empty() && text[0] == '"') {
      const std::size_t second = text.find('"', 1);
      std::size_t quotes = 0;
      for (const char c : text) quotes += c == '"' ? 1 : 0;
      bool keep = !sawS && quotes == 2 && second != std::string::npos;
      if (keep) {
        const std::string_view between = std::string_view(text).substr(1, second - 1);
        keep = between.find_first_of("&<>()@^|") == std::string_view::npos &&
               between.find_first_of(" \t") != std::string_view::npos;
      }
      if (!keep) {
        const std::size_t last = text.rfind('"');
        if (last > 0) text.erase(last, 1);
        text.erase(0, 1);
      }
    }
    for (const std::string& command : SplitChain(text)) ChainCommand(WithoutRedirections(command), depth);
  }

  void ChainCommand(std::string_view command, int depth) {
    command = TrimBlanks(command);
    while (!command.empty() && (command.front() == '@' || command.front() == '(')) {
      command.remove_prefix(1);
      command = TrimLeadingBlanks(command);
    }
    while (!command.empty() && command.back() == ')') {
      command.remove_suffix(1);
      command = TrimBlanks(command);
    }
    if (command.empty()) return;

    std::string word;
    std::string_view rest;
    if (command.front() == '"') {
      const std::size_t close = command.find('"', 1);
      word = std::string(command.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      rest = close == std::string_view::npos ? std::string_view() : TrimLeadingBlanks(command.substr(close + 1));
    } else {
      std::size_t end = command.find_first_of(" \t,;=");
      if (end == std::string_view::npos) end = command.size();
      std::string_view raw = command.substr(0, end);
      rest = TrimLeadingBlanks(command.substr(end));
      // "start/min x" and "echo." are a built-in command followed by its text.
      const std::size_t stop = raw.find_first_of("/.(");
      if (stop != std::string_view::npos && stop > 0 && IsCmdWord(LowerAsciiText(raw.substr(0, stop)))) {
        rest = command.substr(stop);
        raw = raw.substr(0, stop);
      }
      word = WithoutQuotes(raw);
    }
    const std::string lower = LowerAsciiText(word);
    if (lower == "start") {
      Start(rest, depth);
    } else if (lower == "call") {
      const Token target = NextToken(rest);
      if (target.text.empty() || target.text[0] == ':') return;
      Program(WithoutQuotes(target.text), target.rest, depth + 1, StartReason::ChainedCommand, "call");
    } else if (lower == "if" || lower == "for") {
      out_.notes.push_back("the \"" + lower + "\" of cmd is not followed: " + std::string(command));
    } else if (!IsCmdBuiltin(lower)) {
      Program(word, rest, depth + 1, StartReason::ChainedCommand, "cmd /c");
    }
  }

  void Start(std::string_view rest, int depth) {
    bool titleAllowed = true;
    while (true) {
      const Token token = NextToken(rest);
      if (token.text.empty()) {
        out_.notes.push_back("start without a program opens a command window");
        return;
      }
      if (token.text[0] == '/') {
        const std::string option = LowerAsciiText(token.text);
        rest = token.rest;
        if (option == "/d" || option == "/node" || option == "/affinity") rest = NextToken(rest).rest;
        continue;
      }
      if (token.text[0] == '"' && titleAllowed) {
        titleAllowed = false;
        rest = token.rest;
        continue;
      }
      Program(WithoutQuotes(token.text), token.rest, depth + 1, StartReason::ChainedCommand, "start");
      return;
    }
  }

  void Explorer(std::string_view arguments) {
    for (const std::string& argument : SplitArguments(arguments)) {
      if (argument.empty()) continue;
      if (argument[0] != '/') {
        out_.opened.push_back({argument, "explorer"});
        continue;
      }
      // "/e,C:\x", "/select,C:\x\y.txt", "/root,C:\x": the path after the option.
      const std::size_t comma = argument.find(',');
      if (comma == std::string::npos) continue;
      const std::string path(TrimBlanks(std::string_view(argument).substr(comma + 1)));
      if (!path.empty()) out_.opened.push_back({path, "explorer"});
    }
  }

  void ScriptHost(std::string_view arguments, const std::string& host) {
    for (const std::string& argument : SplitArguments(arguments)) {
      if (!argument.empty() && argument[0] == '/') continue;  // "//B", "//E:vbs", "/e:vbs", ...
      out_.started.push_back({argument, StartReason::Script, host});
      return;
    }
    out_.notes.push_back(host + " is given no script");
  }

  void Mshta(std::string_view arguments, const std::string& host) {
    const std::vector<std::string> split = SplitArguments(arguments);
    if (split.empty()) {
      out_.notes.push_back(host + " is given no script");
      return;
    }
    const std::string& first = split.front();
    if (StartsWithNoCase(first, "vbscript:") || StartsWithNoCase(first, "javascript:") ||
        StartsWithNoCase(first, "about:")) {
      out_.notes.push_back(host + " runs a script written on its command line");
      return;
    }
    out_.started.push_back({first, StartReason::Script, host});
  }

  void Rundll32(std::string_view arguments, const std::string& host) {
    const std::vector<std::string> split = SplitArguments(arguments);
    if (split.empty()) {
      out_.notes.push_back(host + " is given no library");
      return;
    }
    const std::string_view first = split.front();
    const std::string library(TrimBlanks(first.substr(0, first.find(','))));
    if (library.empty()) {
      out_.notes.push_back(host + " is given no library");
      return;
    }
    out_.started.push_back({library, StartReason::Library, host});
  }

  void Regsvr32(std::string_view arguments, const std::string& host) {
    bool found = false;
    for (const std::string& argument : SplitArguments(arguments)) {
      if (!argument.empty() && (argument[0] == '/' || argument[0] == '-')) {
        // "/i:http://host/x.sct" hands a script to the library's installer.
        if (argument.size() > 3 && LowerAscii(argument[1]) == 'i' && argument[2] == ':') {
          out_.started.push_back({argument.substr(3), StartReason::Script, host + " /i"});
        }
        continue;
      }
      if (!found) {
        out_.started.push_back({argument, StartReason::Library, host});
        found = true;
      }
    }
    if (!found) out_.notes.push_back(host + " is given no library");
  }

  CommandAnalysis& out_;
};

CommandAnalysis AnalyzeExpanded(std::string_view program, std::string_view arguments) {
  CommandAnalysis analysis;
  analysis.program = std::string(program);
  analysis.host = HostKindOf(program);
  analysis.arguments = SplitArguments(arguments);
  Walker(analysis).Program(program, arguments, 0, StartReason::Program, "");
  return analysis;
}

}  // namespace

Environment::Environment(std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
  for (const auto& [name, value] : values) Set(name, value);
}

void Environment::Set(std::string_view name, std::string_view value) { values_[LowerCase(name)] = std::string(value); }

const std::string* Environment::Find(std::string_view name) const {
  const auto found = values_.find(LowerCase(name));
  return found == values_.end() ? nullptr : &found->second;
}

std::string ExpandEnvironment(std::string_view text, const Environment& environment) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '%') {
      out += text[i++];
      continue;
    }
    const std::size_t close = text.find('%', i + 1);
    if (close == std::string_view::npos) {
      out += text.substr(i);
      break;
    }
    const std::string_view name = text.substr(i + 1, close - i - 1);
    const std::string* value = name.empty() ? nullptr : environment.Find(name);
    if (value != nullptr) {
      out += *value;
    } else {
      out += text.substr(i, close - i + 1);
    }
    i = close + 1;
  }
  return out;
}

ProgramName SplitProgramName(std::string_view commandLine) {
  ProgramName result;
  const std::string_view line = TrimLeadingBlanks(commandLine);
  if (!line.empty() && line[0] == '"') {
    result.quoted = true;
    const std::size_t close = line.find('"', 1);
    if (close == std::string_view::npos) {
      result.name = std::string(line.substr(1));
      return result;
    }
    result.name = std::string(line.substr(1, close - 1));
    result.arguments = std::string(TrimLeadingBlanks(line.substr(close + 1)));
    return result;
  }
  std::size_t end = 0;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  result.name = std::string(line.substr(0, end));
  result.arguments = std::string(TrimLeadingBlanks(line.substr(end)));
  // Each further word makes one longer name that CreateProcess may try.
  std::size_t pos = end;
  while (pos < line.size() && result.longerCandidates.size() < kMaxProgramCandidates) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos == line.size()) break;
    while (pos < line.size() && !IsBlank(line[pos])) ++pos;
    if (pos > kMaxCandidateLength) break;
    result.longerCandidates.push_back(std::string(line.substr(0, pos)));
  }
  return result;
}

std::vector<std::string> SplitArguments(std::string_view arguments) {
  std::vector<std::string> split;
  std::string current;
  bool started = false;
  int quotes = 0;  // 0 outside quotes, 1 inside (the count of CommandLineToArgvW)
  std::size_t backslashes = 0;
  std::size_t i = 0;
  while (i < arguments.size()) {
    const char c = arguments[i];
    if (IsBlank(c) && quotes == 0) {
      if (started) split.push_back(std::move(current));
      current.clear();
      started = false;
      backslashes = 0;
      while (i < arguments.size() && IsBlank(arguments[i])) ++i;
      continue;
    }
    started = true;
    if (c == '\\') {
      current += c;
      ++backslashes;
      ++i;
      continue;
    }
    if (c == '"') {
      if (backslashes % 2 == 0) {
        current.resize(current.size() - backslashes / 2);
        ++quotes;
      } else {
        current.resize(current.size() - backslashes / 2 - 1);
        current += '"';
      }
      ++i;
      backslashes = 0;
      // Quotes that follow: every third one of the count is a literal quote.
      while (i < arguments.size() && arguments[i] == '"') {
        if (++quotes == 3) {
          current += '"';
          quotes = 0;
        }
        ++i;
      }
      if (quotes == 2) quotes = 0;
      continue;
    }
    current += c;
    backslashes = 0;
    ++i;
  }
  if (started) split.push_back(std::move(current));
  return split;
}

std::vector<std::string> CommandLineToArgv(std::string_view commandLine) {
  std::vector<std::string> argv;
  std::size_t end = 0;
  if (!commandLine.empty() && commandLine[0] == '"') {
    const std::size_t close = commandLine.find('"', 1);
    if (close == std::string_view::npos) {
      argv.push_back(std::string(commandLine.substr(1)));
      return argv;
    }
    argv.push_back(std::string(commandLine.substr(1, close - 1)));
    end = close + 1;
  } else {
    while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
    argv.push_back(std::string(commandLine.substr(0, end)));
  }
  for (std::string& argument : SplitArguments(commandLine.substr(end))) argv.push_back(std::move(argument));
  return argv;
}

HostKind HostKindOf(std::string_view program) {
  std::string name = LowerAsciiText(TrimBlanks(FileNameOf(program)));
  if (EndsWith(name, ".exe")) name.resize(name.size() - 4);
  if (name == "cmd") return HostKind::CommandShell;
  if (name == "wscript" || name == "cscript" || name == "mshta") return HostKind::ScriptHost;
  if (name == "rundll32" || name == "regsvr32") return HostKind::LibraryHost;
  if (name == "explorer") return HostKind::Explorer;
  return HostKind::None;
}

CommandAnalysis AnalyzeCommandLine(std::string_view commandLine, const Environment& environment) {
  const std::string expanded = ExpandEnvironment(commandLine, environment);
  ProgramName program = SplitProgramName(expanded);
  CommandAnalysis analysis = AnalyzeExpanded(program.name, program.arguments);
  analysis.programCandidates = std::move(program.longerCandidates);
  return analysis;
}

CommandAnalysis AnalyzeProgram(std::string_view program, std::string_view arguments, const Environment& environment) {
  return AnalyzeExpanded(ExpandEnvironment(program, environment), ExpandEnvironment(arguments, environment));
}

std::string_view StartReasonText(StartReason why) {
  switch (why) {
    case StartReason::Program:
      return "program";
    case StartReason::Script:
      return "script";
    case StartReason::Library:
      return "library";
    case StartReason::ChainedCommand:
      return "chained command";
  }
  return "program";
}

}  // namespace tidewick::readers
