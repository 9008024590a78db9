// Reading a stick for the Shortcuts and Restore Files windows: listings, attributes and the
// bytes of the root's shortcuts, autorun.inf and a few desktop.ini files.
#include "drive_cleaner/stick_survey.h"

#include "platform/files.h"
#include "platform/text.h"
#include "readers/paths.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>

namespace tidewick::stick {
namespace {

// The drive's own folders whose programs, scripts and libraries are listed (lower case).
constexpr std::array<std::string_view, 5> kWalkedSystemFolders = {"recycler", "recycled", "$recycle.bin",
                                                                   "system volume information", ".trashes"};

// The size of a shortcut's header (ShellLinkHeader): a shorter file is no shortcut.
constexpr std::uint64_t kShortcutHeaderBytes = 0x4C;

// A desktop.ini is a few lines; this much of one is read.
constexpr std::size_t kMaxDesktopIniBytes = 64 * 1024;

bool IsWalkedSystemFolder(std::string_view name) {
  const std::string lower = LowerCase(name);
  return std::find(kWalkedSystemFolders.begin(), kWalkedSystemFolders.end(), lower) != kWalkedSystemFolders.end();
}

// What kind of file Windows would run, by its extension; empty for none.
std::string_view KindByName(std::string_view name) {
  const std::string lower = LowerCase(name);
  for (std::string_view extension : {".exe", ".com", ".scr", ".pif", ".cpl", ".msi", ".msp"}) {
    if (EndsWith(lower, extension)) return "program";
  }
  for (std::string_view extension :
       {".bat", ".cmd", ".vbs", ".vbe", ".js", ".jse", ".wsf", ".wsh", ".wsc", ".hta", ".ps1", ".jar"}) {
    if (EndsWith(lower, extension)) return "script";
  }
  for (std::string_view extension : {".dll", ".ocx"}) {
    if (EndsWith(lower, extension)) return "library";
  }
  return {};
}

std::optional<FileAttributeData> Attributes(PlatformOperations& os, const std::string& path) {
  FileAttributeData data;
  if (!os.GetFileAttributesExA(path, data)) return std::nullopt;
  return data;
}

bool IsFolder(const FileAttributeData& data) { return (data.attributes & Attr::Directory) != 0; }

std::string Join(std::string_view folder, std::string_view name) {
  return folder.empty() ? std::string(name) : std::string(folder) + "\\" + std::string(name);
}

// Collects the files the worm starts, each once (letter case aside), with every reason.
class WormFiles {
 public:
  void Add(const std::string& path, std::string why) {
    const std::string key = LowerCase(path);
    auto [at, added] = index_.emplace(key, files_.size());
    if (added) files_.push_back(WormFile{path, {}});
    std::vector<std::string>& reasons = files_[at->second].why;
    if (std::find(reasons.begin(), reasons.end(), why) == reasons.end()) reasons.push_back(std::move(why));
  }
  std::vector<WormFile> Take() { return std::move(files_); }

 private:
  std::vector<WormFile> files_;
  std::map<std::string, std::size_t> index_;
};

// Walks a folder of the stick for programs, scripts and libraries.
class ProgramWalk {
 public:
  ProgramWalk(PlatformOperations& os, const std::string& root, WormFiles& found, const Pacer& pace)
      : os_(os), root_(root), found_(found), pace_(pace) {}

  // `where` says where the files lie, for the reason ("inside RECYCLER").
  void Walk(const std::string& folder, const std::string& where, int depthLeft) {
    const FolderListing listing = ListFolder(os_, root_ + folder + "\\*", ListMask::All, pace_);
    if (listing.failed) complete_ = false;
    std::vector<std::string> folders;
    for (const std::string& name : listing.names) {
      if (++walked_ > kMaxWalkedEntries) return;
      const std::string path = Join(folder, name);
      const std::optional<FileAttributeData> data = Attributes(os_, root_ + path);
      if (!data) continue;
      if (IsFolder(*data)) {
        if (depthLeft > 0) folders.push_back(path);
        continue;
      }
      std::string kind(KindByName(name));
      if (kind.empty() && BeginsAsProgram(root_ + path)) kind = "program under another name";
      if (!kind.empty()) found_.Add(path, kind + " " + where);
    }
    for (const std::string& below : folders) Walk(below, where, depthLeft - 1);
  }
  bool Complete() const { return complete_; }

 private:
  bool BeginsAsProgram(const std::string& path) {
    std::vector<std::uint8_t> head;
    return os_.ReadFileBytes(path, 2, head) && head.size() == 2 && head[0] == 'M' && head[1] == 'Z';
  }

  PlatformOperations& os_;
  const std::string& root_;
  WormFiles& found_;
  const Pacer& pace_;
  std::size_t walked_ = 0;
  bool complete_ = true;
};

bool LeadsInto(const std::vector<ItemRow>& items, std::string_view name) {
  const std::string folded = LowerCase(name);
  for (const ItemRow& item : items) {
    for (const std::string& entry : item.judgement.leadsInto) {
      if (LowerCase(entry) == folded) return true;
    }
  }
  return false;
}

bool StartsFiles(const Judgement& judgement) {
  return judgement.verdict == kWormShortcut || judgement.verdict == kAutorunRunsProgram;
}

}  // namespace

StickLookup PlatformLookup(PlatformOperations& os, std::string root) {
  return [&os, root = std::move(root)](std::string_view relative) {
    const std::optional<FileAttributeData> data = Attributes(os, root + std::string(relative));
    if (!data) return EntryType::Missing;
    return IsFolder(*data) ? EntryType::Folder : EntryType::File;
  };
}

bool IsShortcutOrAutorunName(std::string_view name) {
  const std::string lower = LowerCase(name);
  return EndsWith(lower, ".lnk") || lower == "autorun.inf";
}

std::optional<Judgement> JudgeRootFile(PlatformOperations& os, const StickPlace& stick, std::string_view name) {
  if (!IsShortcutOrAutorunName(name)) return std::nullopt;
  const bool shortcut = EndsWith(LowerCase(name), ".lnk");
  const std::string path = stick.root + std::string(name);
  Judgement unreadable;
  unreadable.verdict = shortcut ? kDamagedShortcut : kOtherAutorun;
  // The size first, which needs no open file: a scan meets thousands of the worm's shortcuts,
  // and one shorter than the format's header is damaged without a look inside.
  const std::optional<FileAttributeData> data = Attributes(os, path);
  if (data && IsFolder(*data)) return std::nullopt;
  if (data && shortcut && data->size < kShortcutHeaderBytes) {
    unreadable.note = "it is shorter than a shortcut's header of " + std::to_string(kShortcutHeaderBytes) + " bytes";
    return unreadable;
  }
  if (data && !shortcut && data->size == 0) {
    unreadable.note = "it is empty";
    return unreadable;
  }
  // One byte more than the readers take, so that a larger file shows as larger.
  std::vector<std::uint8_t> bytes;
  if (!os.ReadFileBytes(path, (shortcut ? readers::kMaxShortcutBytes : readers::kMaxAutorunBytes) + 1, bytes)) {
    unreadable.note = "it cannot be read";
    return unreadable;
  }
  if (shortcut) return JudgeShortcut(readers::ReadShortcut(bytes), stick);
  return JudgeAutorun(readers::ReadAutorunInf(bytes), stick);
}

ShortcutSurvey SurveyShortcuts(PlatformOperations& os, const StickPlace& stick, const Pacer& pace) {
  ShortcutSurvey survey;
  const FolderListing listing = ListFolder(os, stick.root + "*", ListMask::All, pace);
  survey.complete = !listing.failed;
  for (const std::string& name : listing.names) {
    if (pace) pace();
    if (std::optional<Judgement> judgement = JudgeRootFile(os, stick, name)) {
      survey.items.push_back(ItemRow{name, std::move(*judgement)});
    }
  }

  WormFiles found;
  std::set<std::string> startFolders;  // folders below the root that a worm shortcut starts from
  for (const ItemRow& item : survey.items) {
    if (!StartsFiles(item.judgement)) continue;
    for (const StartedOnStick& started : item.judgement.starts) {
      if (stick.lookup && stick.lookup(started.path) != EntryType::File) continue;
      found.Add(started.path, item.name + ": " + started.how);
      const std::size_t slash = started.path.rfind('\\');
      if (slash != std::string::npos) startFolders.insert(started.path.substr(0, slash));
    }
  }
  ProgramWalk walk(os, stick.root, found, pace);
  for (const std::string& name : listing.names) {
    if (!IsWalkedSystemFolder(name)) continue;
    if (stick.lookup && stick.lookup(name) != EntryType::Folder) continue;
    walk.Walk(name, "inside " + name, kMaxWalkDepth);
  }
  for (const std::string& folder : startFolders) {
    // A system folder is walked whole already.
    if (IsWalkedSystemFolder(folder.substr(0, folder.find('\\')))) continue;
    walk.Walk(folder, "in " + folder + ", where a worm shortcut starts a file", 0);
  }
  survey.complete = survey.complete && walk.Complete();
  survey.wormFiles = found.Take();
  return survey;
}

FolderCount CountFolder(PlatformOperations& os, const std::string& folderPath, const Pacer& pace) {
  FolderCount count;
  std::vector<std::string> pending{folderPath};
  std::size_t seen = 0;
  while (!pending.empty()) {
    const std::string folder = std::move(pending.back());
    pending.pop_back();
    const FolderListing listing = ListFolder(os, folder + "\\*", ListMask::All, pace);
    if (listing.failed) count.complete = false;
    for (const std::string& name : listing.names) {
      if (++seen > kMaxCountedEntries) {
        count.complete = false;
        return count;
      }
      const std::string path = folder + "\\" + name;
      const std::optional<FileAttributeData> data = Attributes(os, path);
      if (!data) continue;
      if (IsFolder(*data)) {
        ++count.folders;
        pending.push_back(path);
      } else {
        ++count.files;
        count.bytes += data->size;
      }
    }
  }
  return count;
}

std::vector<std::string> CandidateNames(PlatformOperations& os, const std::string& root, bool& complete,
                                        const Pacer& pace) {
  const FolderListing listing = ListFolder(os, root + "*", ListMask::All, pace);
  complete = !listing.failed;
  std::vector<std::string> names;
  for (const std::string& name : listing.names) {
    if (!IsCandidateName(name)) continue;
    const std::optional<FileAttributeData> data = Attributes(os, root + name);
    if (data && IsFolder(*data)) names.push_back(name);
  }
  return names;
}

std::vector<Candidate> FindCandidates(PlatformOperations& os, const StickPlace& stick, const std::vector<ItemRow>& items,
                                      const AttributesBeforeScan& before, bool& complete, const Pacer& pace) {
  const FolderListing listing = ListFolder(os, stick.root + "*", ListMask::All, pace);
  complete = !listing.failed;
  std::vector<std::string> started = StartedPaths(items);
  const auto isStarted = [&](std::string_view path) {
    return std::find(started.begin(), started.end(), LowerCase(path)) != started.end();
  };
  // Which root entries are folders, and which of them are candidates.
  std::vector<std::pair<std::string, bool>> entries;
  for (const std::string& name : listing.names) {
    const std::optional<FileAttributeData> data = Attributes(os, stick.root + name);
    if (data) entries.emplace_back(name, IsFolder(*data));
  }
  std::vector<Candidate> candidates;
  for (const auto& [name, folder] : entries) {
    if (!folder || !IsCandidateName(name)) continue;
    Candidate candidate;
    candidate.name = name;
    candidate.facts.attributesBeforeScan = before ? before(name) : std::nullopt;
    candidate.facts.shortcutLeadsInto = LeadsInto(items, name);
    std::vector<std::uint8_t> ini;
    candidate.facts.desktopIniLook = os.ReadFileBytes(stick.root + name + "\\desktop.ini", kMaxDesktopIniBytes, ini) &&
                                     DesktopIniGivesALook(ini);
    // A structured binding is captured through a copy of its own (clang 14 refuses it).
    const std::string& self = name;
    candidate.facts.onlyWormFilesBeside =
        std::all_of(entries.begin(), entries.end(), [&](const std::pair<std::string, bool>& other) {
          return other.first == self || IsWormArtefactName(other.first, other.second) || isStarted(other.first);
        });
    candidate.count = CountFolder(os, stick.root + name, pace);
    candidate.signs = Signs(candidate.facts);
    candidates.push_back(std::move(candidate));
  }
  return candidates;
}

std::vector<std::string> StartedPaths(const std::vector<ItemRow>& items) {
  std::vector<std::string> paths;
  for (const ItemRow& item : items) {
    if (!StartsFiles(item.judgement)) continue;
    for (const StartedOnStick& started : item.judgement.starts) paths.push_back(LowerCase(started.path));
  }
  return paths;
}

}  // namespace tidewick::stick
