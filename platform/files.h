// Folder listings and file removal as the windows use them, on top of the contract's
// DirFirst/DirNext/DirFailed and its file calls.
//
// The contract has one listing cursor: a DirFirst abandons the listing before it. ListFolder
// therefore reads a listing to its end before it returns, so that no listing is open while
// anything else runs (a message box, a window event, another listing); a listing started
// while another one is being read raises std::logic_error instead of silently cutting the
// first one short.
#pragma once

#include "platform/platform_operations.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick {

// The names a listing gave, in its order, and whether it broke off because the folder could
// not be read (device gone, not ready) rather than because it was exhausted. A listing that
// broke off still holds the names read before that.
struct FolderListing {
  std::vector<std::string> names;
  bool failed = false;
};

// Lists `pattern` (folder, backslash, wildcard) with `mask` as DirFirst takes it, to its end.
// "." and ".." (the folder itself and its parent) are left out. `eachEntry`, when given, runs
// after every entry read (for repainting); it must not list.
FolderListing ListFolder(PlatformOperations& os, std::string_view pattern, std::uint32_t mask,
                         const std::function<void()>& eachEntry = {});

// What MakePlainAndDelete found afterwards.
enum class FileRemoval {
  // PathFileExistsA no longer finds the path. For a path that reaches nothing at all (a name
  // holding a character Windows refuses) this proves nothing; only a listing can tell.
  Gone,
  StillThere  // the entry stayed: in use, read-only despite the attempt, a folder
};

// Clears the attributes of `path` (Attr::Normal), deletes it, and looks whether it is gone:
// SetFileAttributesA, DeleteFileA, PathFileExistsA, in that order.
FileRemoval MakePlainAndDelete(PlatformOperations& os, std::string_view path);

}  // namespace tidewick
