// The report of changes as text: detail lines, one summary sentence per command, the whole
// report. Pure functions over the journal's records.
#include "platform/journal.h"

#include "platform/text.h"

#include <array>
#include <cstdio>
#include <set>
#include <utility>

namespace tidewick {
namespace {

constexpr std::string_view kNewLine = "\r\n";
constexpr std::string_view kIndent = "    ";
constexpr std::string_view kArrow = " -> ";
// Data longer than this is shown cut, with its full size.
constexpr std::size_t kShownBytes = 64;

struct ErrorText {
  std::uint32_t code;
  std::string_view words;
};

// The common codes in the words Windows itself gives them (FormatMessage, English).
constexpr std::array<ErrorText, 20> kErrorTexts = {{
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {15, "The system cannot find the drive specified."},
    {19, "The media is write protected."},
    {21, "The device is not ready."},
    {32, "The process cannot access the file because it is being used by another process."},
    {33, "The process cannot access the file because another process has locked a portion of the file."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {145, "The directory is not empty."},
    {183, "Cannot create a file when that file already exists."},
    {206, "The filename or extension is too long."},
    {1005, "The volume does not contain a recognized file system."},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
    {1224, "The requested operation cannot be performed on a file with a user-mapped section open."},
}};

std::string Plural(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// "a", "a and b", "a, b and c".
std::string JoinWithAnd(const std::vector<std::string>& parts) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += i + 1 == parts.size() ? " and " : ", ";
    text += parts[i];
  }
  return text;
}

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

std::string ClockTime(const SystemTime& time) {
  return TwoDigits(time.hour) + ":" + TwoDigits(time.minute) + ":" + TwoDigits(time.second);
}

std::string Date(const SystemTime& time) {
  return std::to_string(time.year) + "-" + TwoDigits(time.month) + "-" + TwoDigits(time.day);
}

std::string AttributeWords(std::uint32_t attributes) {
  std::vector<std::string> words;
  if ((attributes & Attr::ReadOnly) != 0) words.emplace_back("read-only");
  if ((attributes & Attr::Hidden) != 0) words.emplace_back("hidden");
  if ((attributes & Attr::System) != 0) words.emplace_back("system");
  if (words.empty()) return "plain";
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : ", ") + word;
  return text;
}

std::string Bytes(std::uint64_t size) { return Plural(static_cast<std::size_t>(size), "byte", "bytes"); }

std::string ValueLabel(const Change& change) {
  const std::string name = change.valueName.empty() ? "(Default)" : "\"" + change.valueName + "\"";
  return RegistryKeyName(change.root, change.keyPath) + " " + name;
}

std::string Attempts(const Change& change) {
  return change.attempts > 1 ? ", " + std::to_string(change.attempts) + " attempts" : "";
}

std::string HexBytes(const std::vector<std::uint8_t>& data) {
  std::string text;
  char digits[4];
  for (std::size_t i = 0; i < data.size() && i < kShownBytes; ++i) {
    std::snprintf(digits, sizeof digits, "%02x", data[i]);
    if (!text.empty()) text += ' ';
    text += digits;
  }
  if (data.size() > kShownBytes) text += " ... (" + Bytes(data.size()) + ")";
  return text;
}

// The text of a text value as Windows reads it: up to its first NUL.
std::string TextOf(const std::vector<std::uint8_t>& data, std::size_t from = 0) {
  std::string text;
  for (std::size_t i = from; i < data.size() && data[i] != 0; ++i) text += static_cast<char>(data[i]);
  return text;
}

std::string TypeName(std::uint32_t type) {
  switch (type) {
    case RegType::None: return "REG_NONE";
    case RegType::Sz: return "REG_SZ";
    case RegType::ExpandSz: return "REG_EXPAND_SZ";
    case RegType::Binary: return "REG_BINARY";
    case RegType::Dword: return "REG_DWORD";
    case 5: return "REG_DWORD_BIG_ENDIAN";
    case 6: return "REG_LINK";
    case RegType::MultiSz: return "REG_MULTI_SZ";
    case 11: return "REG_QWORD";
    default: return "type " + std::to_string(type);
  }
}

// What kind of file a deleted path was, as the summary counts it.
enum class FileKind { Shortcut, Script, Autorun, Program, Other, Count };

FileKind KindOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('\\');
  const std::string name = LowerCase(slash == std::string_view::npos ? path : path.substr(slash + 1));
  if (name == "autorun.inf") return FileKind::Autorun;
  const auto ends = [&](std::initializer_list<std::string_view> extensions) {
    for (std::string_view extension : extensions) {
      if (EndsWith(name, extension)) return true;
    }
    return false;
  };
  if (ends({".lnk", ".pif", ".url"})) return FileKind::Shortcut;
  if (ends({".vbs", ".vbe", ".js", ".jse", ".wsf", ".wsh", ".bat", ".cmd", ".ps1"})) return FileKind::Script;
  if (ends({".exe", ".com", ".scr", ".dll"})) return FileKind::Program;
  return FileKind::Other;
}

}  // namespace

std::string ShownPath(std::string_view path) {
  if (path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + std::string(path.substr(8));
  if (path.rfind("\\\\?\\", 0) == 0) return std::string(path.substr(4));
  return std::string(path);
}

std::string RegistryKeyName(Handle root, std::string_view keyPath) {
  std::string name = root == Root::CurrentUser    ? "HKEY_CURRENT_USER"
                     : root == Root::LocalMachine ? "HKEY_LOCAL_MACHINE"
                                                  : "key " + std::to_string(root);
  if (!keyPath.empty()) name += "\\" + std::string(keyPath);
  return name;
}

std::string ErrorInWords(std::uint32_t code) {
  for (const ErrorText& entry : kErrorTexts) {
    if (entry.code == code) return std::string(entry.words) + " (error " + std::to_string(code) + ")";
  }
  return "Windows error " + std::to_string(code) + ".";
}

std::string RegValueText(const std::optional<RegistryData>& value) {
  if (!value) return "no value";
  const std::string type = TypeName(value->type);
  const std::vector<std::uint8_t>& data = value->data;
  switch (value->type) {
    case RegType::Sz:
    case RegType::ExpandSz:
      return type + " \"" + TextOf(data) + "\"";
    case RegType::MultiSz: {
      std::vector<std::string> texts;
      for (std::size_t at = 0; at < data.size() && data[at] != 0;) {
        const std::string one = TextOf(data, at);
        texts.push_back("\"" + one + "\"");
        at += one.size() + 1;
      }
      std::string text = type;
      for (std::size_t i = 0; i < texts.size(); ++i) text += (i == 0 ? " " : ", ") + texts[i];
      return text;
    }
    case RegType::Dword:
      if (data.size() == 4) {
        const std::uint32_t number = data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t{data[3]} << 24);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08x", number);
        return type + " " + hex + " (" + std::to_string(number) + ")";
      }
      break;
    default:
      break;
  }
  return data.empty() ? type + " (empty)" : type + " " + HexBytes(data);
}

std::string DescribeChange(const Change& change) {
  const bool refused = change.Refused();
  const std::string why = refused ? ": " + ErrorInWords(change.error) + Attempts(change) : "";
  switch (change.kind) {
    case Change::Kind::Attributes: {
      const std::string before =
          change.attributesBefore ? AttributeWords(*change.attributesBefore) : std::string("unknown");
      if (refused) return "Refused: attributes of " + change.path + std::string(kArrow) + AttributeWords(change.attributes) + why;
      return "Attributes of " + change.path + ": " + before + std::string(kArrow) + AttributeWords(change.attributes);
    }
    case Change::Kind::FileDeleted: {
      const std::string size = change.size ? " (" + Bytes(*change.size) + ")" : "";
      if (refused) return "Refused: delete " + change.path + size + why;
      return "Deleted: " + change.path + size;
    }
    case Change::Kind::FileWritten: {
      if (refused) return "Refused: write " + change.path + why;
      return "Written: " + change.path + " (" + Bytes(change.size.value_or(0)) + (change.replaced ? ", replacing the file" : "") + ")";
    }
    case Change::Kind::RegistryValue: {
      const std::string before = change.beforeKnown ? RegValueText(change.before) : std::string("unknown");
      if (refused) {
        if (!change.after) return "Refused: delete registry value " + ValueLabel(change) + why;
        return "Refused: registry value " + ValueLabel(change) + std::string(kArrow) + RegValueText(change.after) + why;
      }
      return "Registry value " + ValueLabel(change) + ": " + before + std::string(kArrow) + RegValueText(change.after);
    }
    case Change::Kind::RegistryKeyCreated:
      return "Registry key created: " + RegistryKeyName(change.root, change.keyPath);
    case Change::Kind::RegistryKeyDeleted:
      if (refused) return "Refused: delete registry key " + RegistryKeyName(change.root, change.keyPath) + why;
      return "Registry key deleted: " + RegistryKeyName(change.root, change.keyPath);
    case Change::Kind::KillTool: {
      std::string text = "Handed to the kill tool: process " + std::to_string(change.processId);
      if (!change.image.empty()) text += " (" + change.image + ")";
      if (change.attempts > 1) text += ", " + std::to_string(change.attempts) + " times";
      return text;
    }
    case Change::Kind::CommandLine:
      return "Started: " + change.commandLine;
    case Change::Kind::Moved:
      if (refused) return "Refused: move " + change.path + std::string(kArrow) + change.newPath + why;
      return "Moved: " + change.path + std::string(kArrow) + change.newPath;
    case Change::Kind::FolderRemoved:
      if (refused) return "Refused: remove the empty folder " + change.path + why;
      return "Empty folder removed: " + change.path;
  }
  return {};
}

std::string SummarySentence(const Command& command) {
  std::size_t madeVisible = 0;
  std::size_t hiddenAgain = 0;
  std::size_t otherAttributes = 0;
  std::array<std::size_t, static_cast<std::size_t>(FileKind::Count)> deleted{};
  std::size_t kills = 0;
  std::size_t valuesWritten = 0;
  std::size_t valuesDeleted = 0;
  std::size_t keysCreated = 0;
  std::size_t keysDeleted = 0;
  std::size_t filesWritten = 0;
  std::size_t commandLines = 0;
  std::set<std::string> notDeleted;
  std::size_t attributesRefused = 0;
  std::size_t registryRefused = 0;
  std::size_t keysNotDeleted = 0;
  std::size_t filesNotWritten = 0;
  std::size_t moved = 0;
  std::size_t notMoved = 0;
  std::size_t foldersRemoved = 0;
  std::size_t foldersNotRemoved = 0;

  for (const Change& change : command.changes) {
    const bool refused = change.Refused();
    switch (change.kind) {
      case Change::Kind::Attributes: {
        if (refused) {
          ++attributesRefused;
          break;
        }
        const std::uint32_t before = change.attributesBefore.value_or(0);
        const bool wasHidden = (before & Attr::Hidden) != 0;
        const bool isHidden = (change.attributes & Attr::Hidden) != 0;
        if (wasHidden && !isHidden) {
          ++madeVisible;
        } else if (!wasHidden && isHidden) {
          ++hiddenAgain;
        } else {
          ++otherAttributes;
        }
        break;
      }
      case Change::Kind::FileDeleted:
        if (refused) {
          notDeleted.insert(LowerCase(change.path));
        } else {
          ++deleted[static_cast<std::size_t>(KindOf(change.path))];
        }
        break;
      case Change::Kind::FileWritten:
        ++(refused ? filesNotWritten : filesWritten);
        break;
      case Change::Kind::RegistryValue:
        if (refused) {
          ++registryRefused;
        } else {
          ++(change.after ? valuesWritten : valuesDeleted);
        }
        break;
      case Change::Kind::RegistryKeyCreated:
        ++keysCreated;
        break;
      case Change::Kind::RegistryKeyDeleted:
        ++(refused ? keysNotDeleted : keysDeleted);
        break;
      case Change::Kind::KillTool:
        ++kills;
        break;
      case Change::Kind::CommandLine:
        ++commandLines;
        break;
      case Change::Kind::Moved:
        ++(refused ? notMoved : moved);
        break;
      case Change::Kind::FolderRemoved:
        ++(refused ? foldersNotRemoved : foldersRemoved);
        break;
    }
  }

  std::vector<std::string> parts;
  if (madeVisible > 0) parts.push_back(Plural(madeVisible, "hidden entry", "hidden entries") + " made visible");
  if (hiddenAgain > 0) parts.push_back(Plural(hiddenAgain, "entry", "entries") + " hidden again");
  if (otherAttributes > 0) {
    const bool other = madeVisible + hiddenAgain > 0;
    parts.push_back("attributes of " + Plural(otherAttributes, other ? "other entry" : "entry", other ? "other entries" : "entries") +
                    " changed");
  }
  if (kills > 0) parts.push_back(Plural(kills, "process", "processes") + " handed to the kill tool");
  {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kNames = {{
        {"shortcut", "shortcuts"},
        {"script", "scripts"},
        {"autorun file", "autorun files"},
        {"program", "programs"},
        {"file", "files"},
    }};
    std::vector<std::string> files;
    for (std::size_t k = 0; k < kNames.size(); ++k) {
      if (deleted[k] > 0) files.push_back(Plural(deleted[k], kNames[k].first, kNames[k].second));
    }
    if (!files.empty()) parts.push_back(JoinWithAnd(files) + " deleted");
  }
  if (valuesWritten > 0) parts.push_back(Plural(valuesWritten, "registry value", "registry values") + " written");
  if (valuesDeleted > 0) parts.push_back(Plural(valuesDeleted, "registry value", "registry values") + " deleted");
  if (keysCreated > 0) parts.push_back(Plural(keysCreated, "registry key", "registry keys") + " created");
  if (keysDeleted > 0) parts.push_back(Plural(keysDeleted, "registry key", "registry keys") + " deleted");
  if (filesWritten > 0) parts.push_back(Plural(filesWritten, "file", "files") + " written");
  if (commandLines > 0) parts.push_back(Plural(commandLines, "command line", "command lines") + " started");
  if (moved > 0) parts.push_back(Plural(moved, "entry", "entries") + " moved or renamed");
  if (foldersRemoved > 0) parts.push_back(Plural(foldersRemoved, "empty folder", "empty folders") + " removed");
  if (!notDeleted.empty()) parts.push_back(Plural(notDeleted.size(), "entry", "entries") + " could not be deleted");
  if (attributesRefused > 0) parts.push_back("attributes of " + Plural(attributesRefused, "entry", "entries") + " could not be changed");
  if (registryRefused > 0) parts.push_back(Plural(registryRefused, "registry value", "registry values") + " could not be changed");
  if (keysNotDeleted > 0) parts.push_back(Plural(keysNotDeleted, "registry key", "registry keys") + " could not be deleted");
  if (filesNotWritten > 0) parts.push_back(Plural(filesNotWritten, "file", "files") + " could not be written");
  if (notMoved > 0) parts.push_back(Plural(notMoved, "entry", "entries") + " could not be moved");
  if (foldersNotRemoved > 0) parts.push_back(Plural(foldersNotRemoved, "folder", "folders") + " could not be removed");
  if (parts.empty()) parts.emplace_back("nothing was changed");

  std::string sentence;
  for (const std::string& part : parts) sentence += (sentence.empty() ? "" : ", ") + part;
  if (sentence[0] >= 'a' && sentence[0] <= 'z') sentence[0] = static_cast<char>(sentence[0] - 'a' + 'A');
  return sentence + ".";
}

std::string ReportText(const ChangeJournal& journal) {
  const std::vector<Command>& commands = journal.Commands();
  const SystemTime& started = journal.Started();
  const std::string since = "since it started on " + Date(started) + " at " + ClockTime(started);
  std::string text;
  if (commands.empty()) return "Tidewick has changed nothing " + since + "." + std::string(kNewLine);
  text += "Changes made by Tidewick " + since + ", newest last." + std::string(kNewLine) + std::string(kNewLine);
  for (const Command& command : commands) {
    text += ClockTime(command.time) + "  " + command.title + " - " + SummarySentence(command) + std::string(kNewLine);
  }
  for (const Command& command : commands) {
    text += std::string(kNewLine) + ClockTime(command.time) + "  " + command.title + std::string(kNewLine);
    if (command.changes.empty()) text += std::string(kIndent) + "Nothing was changed." + std::string(kNewLine);
    for (const Change& change : command.changes) text += std::string(kIndent) + DescribeChange(change) + std::string(kNewLine);
  }
  return text;
}

}  // namespace tidewick
