// The command line that hands a process to the kill tool: "cmd /c pskill " + the decimal
// process id, as module Function builds it. Each platform recognises it: the simulation ends
// the process a moment later; the Win32 platform starts the system's own command interpreter
// and the pskill.exe of the current folder by their full paths, so that no program of the same
// name elsewhere runs in their place.
#pragma once

#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick {

// The process id a kill-tool command line names: "cmd /c pskill <digits>", the words apart by
// spaces or tabs, in any letter case, with or without the ".exe" of either program. nullopt for
// any other command line.
inline std::optional<std::uint32_t> KillToolTarget(std::string_view commandLine) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start < commandLine.size()) {
    const std::size_t end = std::min(commandLine.find_first_of(" \t", start), commandLine.size());
    if (end > start) words.push_back(LowerCase(commandLine.substr(start, end - start)));
    start = end + 1;
  }
  if (words.size() != 4 || (words[0] != "cmd" && words[0] != "cmd.exe") || words[1] != "/c" ||
      (words[2] != "pskill" && words[2] != "pskill.exe")) {
    return std::nullopt;
  }
  const std::string& digits = words[3];
  if (digits.empty() || digits.size() > 10 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const unsigned long long pid = std::stoull(digits);
  if (pid > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<std::uint32_t>(pid);
}

}  // namespace tidewick
