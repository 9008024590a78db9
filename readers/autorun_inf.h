// A bounded reader of autorun.inf: the programs it would run and whether it only gives the
// drive an icon and a label. Pure text work on the bytes of the file.
#pragma once

#include "readers/command_line.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tidewick::readers {

// An autorun.inf is a few lines; only this much of a file is read. Callers read at most one
// byte more, so that a larger file shows as truncated.
inline constexpr std::size_t kMaxAutorunBytes = 64 * 1024;

enum class TextEncoding { Ansi, Utf8, Utf16Le, Utf16Be };

// One key of an autorun section ("[autorun]", "[autorun.amd64]", "[autorun.x86]", ...).
struct AutorunEntry {
  std::string section;  // lower case
  std::string key;      // lower case, as "shell\open\command"
  std::string value;    // as written, blanks around it and one pair of enclosing quotes removed
  std::size_t line = 0; // 1-based
};

// A key that runs a program: open=, shellexecute= or shell\<verb>\command=.
struct AutorunCommand {
  AutorunEntry entry;
  CommandAnalysis analysis;  // of the value as a command line
};

struct AutorunInf {
  bool truncated = false;  // more than kMaxAutorunBytes: only the first part was read
  TextEncoding encoding = TextEncoding::Ansi;
  std::vector<AutorunEntry> entries;     // every key of the autorun sections, in order
  std::vector<AutorunCommand> commands;  // the programs it would run, in order
  std::string icon;      // the first icon= (or defaulticon=) value, as written
  std::string iconFile;  // that value without its ",index"
  std::string label;     // the first label= value
  std::string action;    // the first action= value
  // Keys of the autorun sections that are neither a command nor one of icon, defaulticon,
  // label, action, useautoplay, shell (the default verb) and shell\<verb> (its menu text).
  std::vector<AutorunEntry> otherKeys;

  bool RunsProgram() const { return !commands.empty(); }
  // Nothing but an icon, a label and texts: read whole, no command, no other key.
  bool ShowsOnlyIconAndLabel() const { return !truncated && commands.empty() && otherKeys.empty(); }
};

// Reads autorun.inf: a UTF-8, UTF-16LE or UTF-16BE byte-order mark sets the encoding, else the
// text is ANSI (Windows-1252); lines end with LF or CR LF; ';' starts a comment line; section
// and key names compare without letter case. `environment` expands the commands' %NAME%.
AutorunInf ReadAutorunInf(std::span<const std::uint8_t> bytes, const Environment& environment = {});

}  // namespace tidewick::readers
