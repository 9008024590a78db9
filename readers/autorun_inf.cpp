// The autorun.inf reader.
#include "readers/autorun_inf.h"

#include "platform/text.h"
#include "readers/text_decode.h"

#include <string_view>

namespace tidewick::readers {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// UTF-8 with every byte that starts no well-formed sequence made U+FFFD.
std::string CleanUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) AppendUtf8(out, NextCodePoint(text, pos));
  return out;
}

std::string Decode(std::span<const std::uint8_t> bytes, TextEncoding& encoding) {
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    encoding = TextEncoding::Utf8;
    const auto rest = bytes.subspan(3);
    return CleanUtf8(std::string_view(reinterpret_cast<const char*>(rest.data()), rest.size()));
  }
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    encoding = TextEncoding::Utf16Le;
    return Utf16LeToUtf8(bytes.subspan(2));
  }
  if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
    encoding = TextEncoding::Utf16Be;
    return Utf16BeToUtf8(bytes.subspan(2));
  }
  encoding = TextEncoding::Ansi;
  return AnsiToUtf8(bytes);
}

bool IsAutorunSection(std::string_view lowerName) {
  return lowerName == "autorun" || lowerName.rfind("autorun.", 0) == 0;
}

// "shell\<verb>\command" for any verb.
bool IsVerbCommand(std::string_view key) {
  constexpr std::string_view kShell = "shell\\";
  constexpr std::string_view kCommand = "\\command";
  return key.size() > kShell.size() + kCommand.size() && key.rfind(kShell, 0) == 0 && EndsWith(key, kCommand);
}

// "shell\<verb>": the text of the verb in the drive's menu.
bool IsVerbText(std::string_view key) {
  return key.rfind("shell\\", 0) == 0 && key.size() > 6 && key.find('\\', 6) == std::string_view::npos;
}

bool IsHarmlessKey(std::string_view key) {
  return key == "icon" || key == "defaulticon" || key == "label" || key == "action" || key == "useautoplay" ||
         key == "shell" || IsVerbText(key);
}

}  // namespace

AutorunInf ReadAutorunInf(std::span<const std::uint8_t> bytes, const Environment& environment) {
  AutorunInf inf;
  if (bytes.size() > kMaxAutorunBytes) {
    inf.truncated = true;
    bytes = bytes.first(kMaxAutorunBytes);
  }
  const std::string text = Decode(bytes, inf.encoding);

  std::string section;
  std::size_t lineNumber = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      section = LowerCase(Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
      continue;
    }
    if (!IsAutorunSection(section)) continue;

    AutorunEntry entry;
    entry.section = section;
    entry.line = lineNumber;
    const std::size_t equals = line.find('=');
    entry.key = LowerCase(Trim(line.substr(0, equals)));
    if (equals != std::string_view::npos) {
      std::string_view value = Trim(line.substr(equals + 1));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      entry.value = std::string(value);
    }
    inf.entries.push_back(entry);

    const std::string& key = entry.key;
    if (key == "open" || key == "shellexecute" || IsVerbCommand(key)) {
      // A command key without a command runs nothing.
      if (Trim(entry.value).empty()) continue;
      AutorunCommand command{entry, AnalyzeCommandLine(entry.value, environment)};
      inf.commands.push_back(std::move(command));
    } else if ((key == "icon" || key == "defaulticon") && inf.icon.empty()) {
      inf.icon = entry.value;
      inf.iconFile = std::string(Trim(std::string_view(inf.icon).substr(0, inf.icon.rfind(','))));
    } else if (key == "label" && inf.label.empty()) {
      inf.label = entry.value;
    } else if (key == "action" && inf.action.empty()) {
      inf.action = entry.value;
    } else if (!IsHarmlessKey(key)) {
      inf.otherKeys.push_back(entry);
    }
  }
  return inf;
}

}  // namespace tidewick::readers
