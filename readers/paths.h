// Windows paths as plain text: comparison without letter case, joining a relative path to a
// folder. Nothing here touches a file system.
#pragma once

#include <string>
#include <string_view>

namespace tidewick::readers {

// "C:\x", "C:/x", "\\server\share\x" and "\\?\C:\x" are absolute; "x", ".\x", "C:x" and "\x"
// (relative to the current drive) are not.
bool IsAbsolutePath(std::string_view path);

// The form in which two paths compare: letter case folded as Windows folds it, '/' made '\',
// repeated separators folded (a leading "\\" kept), "." components dropped and a trailing
// separator removed except after a drive ("c:\").
std::string PathKey(std::string_view path);

// Whether two paths name the same place as text (PathKey equal). No link, short name or
// drive mapping is resolved.
bool SamePath(std::string_view a, std::string_view b);

// `relative` joined to `folder`: "." components dropped, ".." takes away the folder before it
// (never the drive or share). An absolute `relative` is returned cleaned up, and one that
// starts with '\' goes onto the drive of `folder`.
std::string JoinPath(std::string_view folder, std::string_view relative);

// The last component of a path ("C:\a\b.vbs" -> "b.vbs"; "b.vbs" -> "b.vbs").
std::string_view FileNameOf(std::string_view path);

}  // namespace tidewick::readers
