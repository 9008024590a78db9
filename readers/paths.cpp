// Path text: comparison and joining.
#include "readers/paths.h"

#include "platform/text.h"

#include <vector>

namespace tidewick::readers {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool StartsWithDrive(std::string_view path) {
  return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':';
}

// A path cut into its root ("C:\", "\\server\share\", "\\?\C:\", "\", "C:" or nothing) and
// its components.
struct PathParts {
  std::string root;
  std::vector<std::string_view> parts;
};

std::vector<std::string_view> Components(std::string_view rest) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= rest.size(); ++i) {
    if (i == rest.size() || IsSeparator(rest[i])) {
      if (i > start) parts.push_back(rest.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

PathParts Split(std::string_view path) {
  PathParts split;
  std::string_view rest = path;
  if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == '?' || path[2] == '.') &&
      IsSeparator(path[3])) {
    split.root = "\\\\";
    split.root += path[2];
    split.root += '\\';
    rest = path.substr(4);
    if (StartsWithDrive(rest)) {
      split.root += rest.substr(0, 2);
      split.root += '\\';
      rest = rest.substr(2);
    }
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // \\server\share: both components belong to the root.
    const std::vector<std::string_view> parts = Components(path.substr(2));
    split.root = "\\\\";
    std::size_t used = 2;
    for (std::size_t i = 0; i < parts.size() && i < 2; ++i) {
      split.root += parts[i];
      split.root += '\\';
      used = static_cast<std::size_t>(parts[i].data() - path.data()) + parts[i].size();
    }
    rest = path.substr(used);
  } else if (StartsWithDrive(path)) {
    split.root = path.substr(0, 2);
    rest = path.substr(2);
    if (!rest.empty() && IsSeparator(rest[0])) split.root += '\\';
  } else if (!path.empty() && IsSeparator(path[0])) {
    split.root = "\\";
  }
  split.parts = Components(rest);
  return split;
}

std::string Joined(const std::string& root, const std::vector<std::string_view>& parts) {
  std::string out = root;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += '\\';
    out += parts[i];
  }
  return out;
}

// Drops "." and resolves ".." against the components before it.
std::vector<std::string_view> Resolved(const std::vector<std::string_view>& parts) {
  std::vector<std::string_view> out;
  for (const std::string_view part : parts) {
    if (part == ".") continue;
    if (part == "..") {
      if (!out.empty()) out.pop_back();
      continue;
    }
    out.push_back(part);
  }
  return out;
}

}  // namespace

bool IsAbsolutePath(std::string_view path) {
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return true;
  return path.size() >= 3 && StartsWithDrive(path) && IsSeparator(path[2]);
}

std::string PathKey(std::string_view path) {
  const PathParts split = Split(path);
  std::string key = Joined(split.root, Resolved(split.parts));
  for (char& c : key) {
    if (c == '/') c = '\\';
  }
  return LowerCase(key);
}

bool SamePath(std::string_view a, std::string_view b) { return PathKey(a) == PathKey(b); }

std::string JoinPath(std::string_view folder, std::string_view relative) {
  const PathParts rel = Split(relative);
  if (IsAbsolutePath(relative)) return Joined(rel.root, Resolved(rel.parts));
  const PathParts base = Split(folder);
  std::vector<std::string_view> parts;
  if (rel.root != "\\") parts = base.parts;
  for (const std::string_view part : rel.parts) parts.push_back(part);
  std::string root = base.root;
  // "\x" onto "C:\a" is "C:\x": the drive of the folder, none of its components.
  if (rel.root == "\\" && root.size() == 2 && root[1] == ':') root += '\\';
  if (root.empty() && rel.root == "\\") root = "\\";
  return Joined(root, Resolved(parts));
}

std::string_view FileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace tidewick::readers
