// Reading a stick for the decisions of stick_analysis.h: the root's shortcuts and autorun.inf
// read and judged, the files the worm starts, and the candidates for the worm's folder with
// their contents counted. Reading only (listings, attributes, the bytes of a few files):
// nothing on the stick is changed, nothing of it is run.
//
// Every path handed to the platform is the root joined to names exactly as the listings gave
// them; the platform passes them on in \\?\ form, so "E:\ \a.doc" reaches inside the folder
// named one blank.
#pragma once

#include "drive_cleaner/stick_analysis.h"
#include "platform/platform_operations.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick::stick {

// What stands at a path of the stick, asked through the platform (GetFileAttributesExA).
StickLookup PlatformLookup(PlatformOperations& os, std::string root);

// Whether the Shortcuts window lists a root entry of this name: a shortcut or autorun.inf.
bool IsShortcutOrAutorunName(std::string_view name);

// Reads the root file `name` (a shortcut or autorun.inf) and judges it; nullopt for a name of
// another kind, a folder, or a file that cannot be read.
std::optional<Judgement> JudgeRootFile(PlatformOperations& os, const StickPlace& stick, std::string_view name);

// One line of the Shortcuts window's table.
struct ItemRow {
  std::string name;  // the root entry, as listed
  Judgement judgement;
};

// One line of "Files the worm starts:".
struct WormFile {
  std::string path;              // relative to the root
  std::vector<std::string> why;  // each reason it is listed
};

// Runs after every entry read, for keeping the windows painted; it must not list.
using Pacer = std::function<void()>;

struct ShortcutSurvey {
  std::vector<ItemRow> items;  // in the order of the root listing
  std::vector<WormFile> wormFiles;
  bool complete = true;  // false: a listing broke off (the device stopped answering)
};

// The root's shortcuts and autorun.inf judged, and the files of the stick the worm starts:
// those a worm shortcut or an autorun.inf that runs a program starts (when they are files),
// then the programs, scripts and libraries inside the drive's own system folders (RECYCLER,
// Recycled, $RECYCLE.BIN, System Volume Information, .Trashes; a file of another name counts
// as a program when it begins as one, "MZ") and inside a folder a worm shortcut starts a file
// from. At most kMaxWalkedEntries entries of those folders are looked at, kMaxWalkDepth deep.
ShortcutSurvey SurveyShortcuts(PlatformOperations& os, const StickPlace& stick, const Pacer& pace = {});
inline constexpr std::size_t kMaxWalkedEntries = 20000;
inline constexpr int kMaxWalkDepth = 8;

// What a folder holds, counted through every level below it (at most kMaxCountedEntries).
struct FolderCount {
  std::size_t files = 0;
  std::size_t folders = 0;
  std::uint64_t bytes = 0;
  bool complete = true;  // false: the bound was reached or a listing broke off
};
inline constexpr std::size_t kMaxCountedEntries = 200000;
FolderCount CountFolder(PlatformOperations& os, const std::string& folderPath, const Pacer& pace = {});

// A root folder that may be the worm's: its name, what it holds and its second signs.
struct Candidate {
  std::string name;
  FolderCount count;
  CandidateFacts facts;
  std::vector<std::string> signs;  // ticked beforehand only when not empty
};

// What the scan found of a root entry's attributes before it changed them; nullopt when it did
// not see the entry.
using AttributesBeforeScan = std::function<std::optional<std::uint32_t>(std::string_view name)>;

// The root folders whose names make them candidates, in the order of the root listing, with
// their contents counted and their signs judged against the root's shortcuts (`items`, from
// SurveyShortcuts). `complete` turns false when a listing broke off.
std::vector<Candidate> FindCandidates(PlatformOperations& os, const StickPlace& stick, const std::vector<ItemRow>& items,
                                      const AttributesBeforeScan& before, bool& complete, const Pacer& pace = {});

// Just the names of the root folders that are candidates, and whether the listing was whole.
std::vector<std::string> CandidateNames(PlatformOperations& os, const std::string& root, bool& complete,
                                        const Pacer& pace = {});

// The files of the stick that the root's worm shortcuts and autorun.inf start (relative to the
// root, lower-cased for comparison).
std::vector<std::string> StartedPaths(const std::vector<ItemRow>& items);

}  // namespace tidewick::stick
