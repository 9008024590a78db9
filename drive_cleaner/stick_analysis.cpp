// What a stick's shortcuts and autorun.inf run and open, and which root folder holds the data
// the worm hid: pure decisions over the readers' results.
#include "drive_cleaner/stick_analysis.h"

#include "drive_cleaner/frm_rd.h"
#include "platform/platform_operations.h"
#include "platform/text.h"
#include "readers/paths.h"
#include "readers/text_decode.h"
#include "readers/visible_text.h"

#include <algorithm>
#include <array>

namespace tidewick::stick {
namespace {

// Extensions of what Windows runs: programs, scripts, libraries, shortcuts and installer
// packages.
constexpr std::array<std::string_view, 22> kRunnableExtensions = {
    ".exe", ".com", ".scr", ".pif", ".cpl", ".msi", ".msp", ".bat", ".cmd", ".vbs", ".vbe",
    ".js",  ".jse", ".wsf", ".wsh", ".wsc", ".hta", ".ps1", ".jar", ".dll", ".ocx", ".lnk"};

// The drive's own folders, which hold no user data.
constexpr std::array<std::string_view, 10> kSystemFolders = {
    "$recycle.bin", "recycler", "recycled", "system volume information", ".trashes", "config.msi",
    "folder settings", ".spotlight-v100", ".fseventsd", ".temporaryitems"};

constexpr std::array<std::string_view, 6> kLookKeys = {"iconresource", "iconfile", "iconindex",
                                                        "clsid",        "clsid2",   "uiclsid"};

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (IsBlank(text.front()) || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// The first component of a path relative to the root: the root entry it lies in or is.
std::string RootEntryOf(std::string_view relative) {
  return std::string(relative.substr(0, relative.find('\\')));
}

void AddOnce(std::vector<std::string>& names, std::string name) {
  if (name.empty()) return;
  const std::string folded = LowerCase(name);
  for (const std::string& known : names) {
    if (LowerCase(known) == folded) return;
  }
  names.push_back(std::move(name));
}

void AddStart(std::vector<StartedOnStick>& starts, std::string path, std::string how) {
  const std::string folded = LowerCase(path);
  for (const StartedOnStick& known : starts) {
    if (LowerCase(known.path) == folded) return;
  }
  starts.push_back({std::move(path), std::move(how)});
}

std::string How(const readers::StartedFile& started) {
  switch (started.why) {
    case readers::StartReason::Program:
      return "the program of the shortcut";
    case readers::StartReason::Script:
      return "script given to " + started.via;
    case readers::StartReason::Library:
      return "library given to " + started.via;
    case readers::StartReason::ChainedCommand:
      return "started by " + (started.via == "cmd /c" ? std::string("cmd /c") : "cmd /c " + started.via);
  }
  return "started";
}

// The drive letters that reach the stick a shortcut lies on: its root's, and the one its
// LinkInfo names when the volume serial number there is this medium's (the stick had another
// letter when the shortcut was written).
std::string StickLetters(const readers::Shortcut& link, const StickPlace& stick) {
  std::string letters;
  if (!stick.root.empty()) letters += UpperAscii(stick.root[0]);
  const readers::LinkInfo& info = link.linkInfo;
  if (info.present && info.hasVolume && stick.serial && info.driveSerial == *stick.serial) {
    const std::string& base = !info.localBasePathUnicode.empty() ? info.localBasePathUnicode : info.localBasePath;
    if (base.size() >= 2 && IsLetter(base[0]) && base[1] == ':') letters += UpperAscii(base[0]);
  }
  return letters;
}

EntryType Look(const StickPlace& stick, std::string_view relative) {
  return stick.lookup ? stick.lookup(relative) : EntryType::Missing;
}

}  // namespace

bool KeptByDeleteAll(const Judgement& judgement) {
  return judgement.verdict == kPlainShortcut || judgement.verdict == kAutorunIconOnly;
}

bool IsRunnableName(std::string_view name) {
  const std::string lower = LowerCase(name);
  return std::any_of(kRunnableExtensions.begin(), kRunnableExtensions.end(),
                     [&](std::string_view extension) { return EndsWith(lower, extension); });
}

std::optional<std::string> OnStick(std::string_view path, std::string_view letters,
                                   const std::optional<std::string>& runFolder) {
  // Not trimmed: a name of blanks is a name (the worm's folder " ").
  std::string_view rest = path;
  if (rest.rfind("\\\\?\\", 0) == 0) rest.remove_prefix(4);
  if (rest.size() >= 2 && (rest[0] == '\\' || rest[0] == '/') && (rest[1] == '\\' || rest[1] == '/')) {
    return std::nullopt;  // a network share, or a device
  }
  std::string joined;
  if (rest.size() >= 2 && IsLetter(rest[0]) && rest[1] == ':') {
    if (letters.find(UpperAscii(rest[0])) == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(2);
    const bool fromRoot = !rest.empty() && (rest[0] == '\\' || rest[0] == '/');
    joined = readers::JoinPath(fromRoot ? "X:\\" : "X:\\" + runFolder.value_or(""), rest);
  } else if (!runFolder) {
    return std::nullopt;  // relative to a folder of another drive
  } else {
    joined = readers::JoinPath("X:\\" + *runFolder, rest);
  }
  // JoinPath answers "X:\..." (a ".." never climbs above the root).
  return joined.size() <= 3 ? std::string() : joined.substr(3);
}

Judgement JudgeShortcut(const readers::Shortcut& link, const StickPlace& stick) {
  Judgement judgement;
  if (link.Damaged()) {
    judgement.verdict = kDamagedShortcut;
    judgement.note = link.damageText;
    return judgement;
  }
  const std::vector<readers::CommandAnalysis> analyses = readers::AnalyzeShortcut(link);
  if (analyses.empty()) {
    judgement.verdict = kDamagedShortcut;
    judgement.note = "it states no target";
    return judgement;
  }
  const std::string letters = StickLetters(link, stick);
  // Where its command runs: the working folder, or the shortcut's own folder (the root) when it
  // names none; nullopt for a folder off the stick.
  std::optional<std::string> runFolder = std::string();
  if (link.workingDir.present && !Trim(link.workingDir.text).empty()) {
    runFolder = OnStick(link.workingDir.text, letters, std::string());
    if (runFolder) AddOnce(judgement.leadsInto, RootEntryOf(*runFolder));
  }

  // The one target a plain shortcut has: a file or folder of this stick that is opened as it is.
  std::optional<std::string> openedTarget;
  bool plainShape = analyses.size() == 1 && analyses.front().host == readers::HostKind::None &&
                    analyses.front().started.size() == 1 && Trim(link.arguments.text).empty();
  for (const readers::CommandAnalysis& analysis : analyses) {
    for (const readers::StartedFile& started : analysis.started) {
      const std::optional<std::string> relative = OnStick(started.path, letters, runFolder);
      if (!relative || relative->empty()) continue;
      AddOnce(judgement.leadsInto, RootEntryOf(*relative));
      const bool byHost = started.why == readers::StartReason::Script || started.why == readers::StartReason::Library;
      const bool runs = byHost || (IsRunnableName(readers::FileNameOf(*relative)) &&
                                   Look(stick, *relative) != EntryType::Folder);
      if (runs) {
        AddStart(judgement.starts, *relative, How(started));
      } else {
        AddOnce(judgement.opens, RootEntryOf(*relative));
        if (started.why == readers::StartReason::Program) openedTarget = *relative;
      }
    }
    for (const readers::OpenedTarget& opened : analysis.opened) {
      const std::optional<std::string> relative = OnStick(opened.path, letters, runFolder);
      if (!relative || relative->empty()) continue;
      AddOnce(judgement.leadsInto, RootEntryOf(*relative));
      if (IsRunnableName(readers::FileNameOf(*relative)) && Look(stick, *relative) == EntryType::File) {
        AddStart(judgement.starts, *relative, "started by " + opened.via);
      } else {
        AddOnce(judgement.opens, RootEntryOf(*relative));
      }
    }
  }

  if (!judgement.starts.empty()) {
    judgement.verdict = kWormShortcut;
  } else if (plainShape && openedTarget && Look(stick, *openedTarget) != EntryType::Missing) {
    judgement.verdict = kPlainShortcut;
  } else {
    judgement.verdict = kOtherShortcut;
  }
  if (judgement.verdict != kPlainShortcut) {
    const std::string arguments = link.argumentsVisible.empty() ? "" : " " + link.argumentsVisible;
    for (const readers::CommandAnalysis& analysis : analyses) {
      if (!judgement.runs.empty()) judgement.runs += "; also stated: ";
      judgement.runs += readers::VisibleText(analysis.program) + arguments;
    }
  }
  if (link.targetsDisagree) judgement.note = "the places that state its target disagree";
  return judgement;
}

Judgement JudgeAutorun(const readers::AutorunInf& inf, const StickPlace& stick) {
  Judgement judgement;
  const std::string letters(1, stick.root.empty() ? 'X' : UpperAscii(stick.root[0]));
  for (const readers::AutorunCommand& command : inf.commands) {
    if (!judgement.runs.empty()) judgement.runs += "; ";
    judgement.runs += command.entry.key + "=" + readers::VisibleText(command.entry.value);
    for (const readers::StartedFile& started : command.analysis.started) {
      const std::optional<std::string> relative = OnStick(started.path, letters, std::string());
      if (!relative || relative->empty()) continue;
      AddOnce(judgement.leadsInto, RootEntryOf(*relative));
      AddStart(judgement.starts, *relative, "started by autorun.inf (" + command.entry.key + "=)");
    }
    for (const readers::OpenedTarget& opened : command.analysis.opened) {
      const std::optional<std::string> relative = OnStick(opened.path, letters, std::string());
      if (!relative || relative->empty()) continue;
      AddOnce(judgement.leadsInto, RootEntryOf(*relative));
      AddOnce(judgement.opens, RootEntryOf(*relative));
    }
  }
  if (inf.RunsProgram()) {
    judgement.verdict = kAutorunRunsProgram;
  } else if (inf.ShowsOnlyIconAndLabel() && (!inf.icon.empty() || !inf.label.empty())) {
    judgement.verdict = kAutorunIconOnly;
  } else {
    judgement.verdict = kOtherAutorun;
    if (inf.ShowsOnlyIconAndLabel()) {
      judgement.note = "it sets neither an icon nor a label";
    } else if (inf.truncated) {
      judgement.note = "longer than the " + std::to_string(readers::kMaxAutorunBytes / 1024) + " KiB that are read";
    } else {
      std::string keys;
      for (const readers::AutorunEntry& entry : inf.otherKeys) keys += (keys.empty() ? "" : ", ") + entry.key;
      judgement.note = "other keys: " + keys;
    }
  }
  return judgement;
}

// ---- The worm's folder --------------------------------------------------------------------

bool IsCandidateName(std::string_view name) {
  std::string rest;
  for (std::size_t at = 0; at < name.size();) {
    const std::size_t from = at;
    const char32_t code = readers::NextCodePoint(name, at);
    if (!readers::IsBlankOrInvisible(code)) rest.append(name.substr(from, at - from));
    if (rest.size() > 1) return false;
  }
  return rest.empty() || rest == "_";
}

std::string ShownName(std::string_view name) {
  if (!IsCandidateName(name)) return readers::VisibleText(name);
  std::string shown;
  for (std::size_t at = 0; at < name.size();) {
    const std::size_t from = at;
    const char32_t code = readers::NextCodePoint(name, at);
    if (readers::IsBlankOrInvisible(code) || readers::IsControl(code) || readers::IsHiddenFormat(code)) {
      shown += readers::CodeToken(code);
    } else {
      shown.append(name.substr(from, at - from));
    }
  }
  return shown;
}

std::vector<std::string> Signs(const CandidateFacts& facts) {
  std::vector<std::string> signs;
  if (facts.attributesBeforeScan) {
    const bool hidden = (*facts.attributesBeforeScan & Attr::Hidden) != 0;
    const bool system = (*facts.attributesBeforeScan & Attr::System) != 0;
    if (hidden || system) {
      signs.push_back(std::string(hidden && system ? "hidden and system" : hidden ? "hidden" : "system") +
                      " before the scan");
    }
  }
  if (facts.shortcutLeadsInto) signs.emplace_back("a root shortcut leads into it");
  if (facts.desktopIniLook) signs.emplace_back("its desktop.ini gives it an icon or a class id");
  if (facts.onlyWormFilesBeside) signs.emplace_back("only worm files beside it in the root");
  return signs;
}

bool DesktopIniGivesALook(std::span<const std::uint8_t> bytes) {
  std::string text;
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    text = readers::Utf16LeToUtf8(bytes.subspan(2));
  } else if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    text.assign(bytes.begin() + 3, bytes.end());
  } else {
    text = readers::AnsiToUtf8(bytes);
  }
  bool inClassInfo = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line = Trim(std::string_view(text).substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      inClassInfo = LowerCase(Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1))) ==
                    ".shellclassinfo";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inClassInfo || equals == std::string_view::npos) continue;
    const std::string key = LowerCase(Trim(line.substr(0, equals)));
    if (Trim(line.substr(equals + 1)).empty()) continue;
    if (std::find(kLookKeys.begin(), kLookKeys.end(), key) != kLookKeys.end()) return true;
  }
  return false;
}

bool IsWormArtefactName(std::string_view name, bool isFolder) {
  const std::string lower = LowerCase(name);
  if (isFolder) return std::find(kSystemFolders.begin(), kSystemFolders.end(), lower) != kSystemFolders.end();
  return HasVirusExtension(lower) || IsRunnableName(lower) || lower == "autorun.inf" || lower == "desktop.ini" ||
         lower == "thumbs.db" || lower.rfind("~$w", 0) == 0;
}

std::string FreeRecoveredName(const std::function<bool(std::string_view name)>& taken) {
  std::string name(kRecoveredName);
  for (int number = 2; taken(name); ++number) name = std::string(kRecoveredName) + " (" + std::to_string(number) + ")";
  return name;
}

std::optional<std::string> WhyKeptInside(const InsideEntry& entry) {
  if (entry.folder) return std::nullopt;
  const std::string lower = LowerCase(entry.name);
  if (lower == "desktop.ini" && entry.desktopIniLook) return "the desktop.ini that gives the folder its look";
  if (entry.startedByShortcut) return "a shortcut or autorun.inf of the root starts it";
  if (HasVirusExtension(lower)) return "a name with a virus extension";
  return std::nullopt;
}

}  // namespace tidewick::stick
