// The autorun.inf reader and the command-line analysis on any bytes: never crash, give only
// valid UTF-8 from the file, keep the rules of what counts as a command, and split a line
// without quotes or backslashes exactly at its blanks.
#include "readers/autorun_inf.h"
#include "readers/text_decode.h"
#include "tests/fuzz/fuzz_input.h"

#include <string>
#include <string_view>
#include <vector>

using namespace tidewick::readers;
using tidewick::fuzz::Broken;

namespace {

void CheckUtf8(const std::string& text) {
  if (!IsValidUtf8(text)) Broken();
}

void CheckAnalysis(const CommandAnalysis& analysis) {
  CheckUtf8(analysis.program);
  for (const std::string& argument : analysis.arguments) CheckUtf8(argument);
  for (const StartedFile& file : analysis.started) CheckUtf8(file.path);
  for (const OpenedTarget& target : analysis.opened) CheckUtf8(target.path);
  for (const std::string& note : analysis.notes) CheckUtf8(note);
  if (analysis.programCandidates.size() > kMaxProgramCandidates) Broken();
}

bool IsCommandKey(std::string_view key) {
  return key == "open" || key == "shellexecute" ||
         (key.rfind("shell\\", 0) == 0 && key.size() > 14 && key.substr(key.size() - 8) == "\\command");
}

std::vector<std::string> SplitAtBlanks(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (const char c : text) {
    if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const Environment environment = {{"TEMP", "C:\\T"}, {"windir", "C:\\Windows"}};
  const AutorunInf inf = ReadAutorunInf(bytes, environment);
  if (inf.truncated != (size > kMaxAutorunBytes)) Broken();
  if (inf.ShowsOnlyIconAndLabel() && (inf.RunsProgram() || inf.truncated || !inf.otherKeys.empty())) Broken();
  for (const AutorunEntry& entry : inf.entries) {
    CheckUtf8(entry.section);
    CheckUtf8(entry.key);
    CheckUtf8(entry.value);
    if (entry.section != "autorun" && entry.section.rfind("autorun.", 0) != 0) Broken();
  }
  for (const AutorunCommand& command : inf.commands) {
    if (!IsCommandKey(command.entry.key) || command.entry.value.empty()) Broken();
    CheckAnalysis(command.analysis);
  }
  for (const std::string* text : {&inf.icon, &inf.iconFile, &inf.label, &inf.action}) CheckUtf8(*text);

  // The bytes as one command line.
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const CommandAnalysis analysis = AnalyzeCommandLine(line, environment);
  if (analysis.programCandidates.size() > kMaxProgramCandidates) Broken();
  if (line.find_first_of("\"\\") == std::string_view::npos && SplitArguments(line) != SplitAtBlanks(line)) Broken();
  return 0;
}
