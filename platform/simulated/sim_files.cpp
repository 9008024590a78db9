// The simulated file system. Names compare case-insensitively and are kept exactly as created
// (trailing dots, device names and any script included); a folder lists its entries in the
// order they were created, after "." and ".." in a folder that is not a drive root.
#include "platform/simulated/sim_files.h"

#include "platform/text.h"

#include <algorithm>
#include <stdexcept>

namespace tidewick::sim::detail {
namespace {

constexpr std::uint32_t kSettableAttributes = Attr::ReadOnly | Attr::Hidden |
                                              Attr::System | Attr::Archive |
                                              0x100 /* temporary */ | 0x1000 /* offline */ |
                                              0x2000 /* not content indexed */;
// The attributes a listing mask can exclude an entry by.
constexpr std::uint32_t kMaskedAttributes =
    Attr::Hidden | Attr::System | Attr::Directory;

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char UpperLetter(char letter) {
  if (!IsDriveLetter(letter)) throw std::invalid_argument("not a drive letter");
  return letter >= 'a' ? static_cast<char>(letter - 'a' + 'A') : letter;
}

// The file-name wildcards of a listing pattern: only `*` and `?` are special, case is ignored
// (both sides arrive folded), and a final ".*" may also match nothing, so "*.*" lists every
// entry as on Windows.
bool NameMatches(std::string_view name, std::string_view pattern) {
  std::string like;
  for (const char c : pattern) {
    if (c == '[' || c == '#') {
      like += '[';
      like += c;
      like += ']';
    } else {
      like += c;
    }
  }
  if (MatchLike(name, like) == LikeResult::Match) return true;
  return EndsWith(pattern, ".*") &&
         NameMatches(name, pattern.substr(0, pattern.size() - 2));
}

// The drive letter of a root such as "E:\" (upper case); "E:" too unless the backslash is
// required.
std::optional<char> RootLetter(std::string_view root, bool backslashRequired) {
  if (root.size() < 2 || root.size() > 3 || !IsDriveLetter(root[0]) || root[1] != ':') return std::nullopt;
  if (root.size() == 3 ? root[2] != '\\' : backslashRequired) return std::nullopt;
  return UpperLetter(root[0]);
}

// Characters Windows refuses in a path. A name holding one can still stand on a medium that
// another system wrote, and a listing shows it, but no call given a path to it reaches it.
bool RefusedInPath(std::string_view path) {
  if (path.rfind("\\\\?\\", 0) == 0) path.remove_prefix(4);  // the literal-path prefix itself
  return path.find_first_of("*?|<>\"") != std::string_view::npos;
}

}  // namespace

// ---- Entries ----

SimFiles::Entry* SimFiles::Entry::Child(std::string_view foldedName) const {
  auto it = index.find(std::string(foldedName));
  return it == index.end() ? nullptr : it->second;
}

SimFiles::Entry& SimFiles::Entry::Add(std::string_view childName, std::uint32_t childAttributes) {
  auto child = std::make_unique<Entry>();
  child->name = std::string(childName);
  child->folded = LowerCase(childName);
  child->attributes = childAttributes;
  Entry& added = *child;
  index[added.folded] = &added;
  children.push_back(std::move(child));
  return added;
}

void SimFiles::Entry::Remove(const Entry* child) { Detach(child); }

std::unique_ptr<SimFiles::Entry> SimFiles::Entry::Detach(const Entry* child) {
  index.erase(child->folded);
  const auto it = std::find_if(children.begin(), children.end(), [&](const auto& owned) { return owned.get() == child; });
  std::unique_ptr<Entry> owned = std::move(*it);
  children.erase(it);
  return owned;
}

void SimFiles::Entry::Attach(std::unique_ptr<Entry> child) {
  index[child->folded] = child.get();
  children.push_back(std::move(child));
}

std::uint32_t SimFiles::Reported(const Entry& entry) {
  // As GetFileAttributes answers: a file without any attribute reports "normal".
  return entry.attributes == 0 ? Attr::Normal : entry.attributes;
}

// ---- Paths ----

std::optional<SimFiles::Location> SimFiles::Parse(std::string_view raw) const {
  std::string path(raw);
  std::replace(path.begin(), path.end(), '/', '\\');
  if (path.rfind("\\\\?\\", 0) == 0) path.erase(0, 4);
  if (path.empty() || path.rfind("\\\\", 0) == 0) return std::nullopt;  // no UNC shares

  // The current folder, when it is an absolute drive path.
  auto current = [this]() -> std::optional<Location> {
    const std::string& folder = currentFolder_;
    if (folder.size() < 2 || !IsDriveLetter(folder[0]) || folder[1] != ':') return std::nullopt;
    if (folder.size() > 2 && folder[2] != '\\' && folder[2] != '/') return std::nullopt;
    Location location;
    location.drive = UpperLetter(folder[0]);
    std::string rest = folder.substr(2);
    std::replace(rest.begin(), rest.end(), '/', '\\');
    std::size_t start = 0;
    while (start <= rest.size()) {
      std::size_t end = rest.find('\\', start);
      if (end == std::string::npos) end = rest.size();
      if (end > start) location.names.push_back(rest.substr(start, end - start));
      start = end + 1;
    }
    return location;
  };

  Location location;
  std::string_view rest = path;
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
    location.drive = UpperLetter(path[0]);
    rest.remove_prefix(2);
    // "E:name" is relative to the current folder when that lies on E:, else to the root.
    if (rest.empty() || rest.front() != '\\') {
      if (auto here = current(); here && here->drive == location.drive) location = *here;
    }
  } else {
    auto here = current();
    if (!here) return std::nullopt;
    if (path.front() == '\\') {
      location.drive = here->drive;  // root of the current drive
    } else {
      location = *here;
    }
  }

  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find('\\', start);
    if (end == std::string_view::npos) end = rest.size();
    const std::string_view name = rest.substr(start, end - start);
    if (name == "..") {
      if (!location.names.empty()) location.names.pop_back();
    } else if (!name.empty() && name != ".") {
      location.names.emplace_back(name);
    }
    start = end + 1;
  }
  return location;
}

SimFiles::Drive* SimFiles::FindDrive(char letter) {
  auto it = drives_.find(letter);
  return it == drives_.end() ? nullptr : &it->second;
}

const SimFiles::Drive* SimFiles::FindDrive(char letter) const {
  auto it = drives_.find(letter);
  return it == drives_.end() ? nullptr : &it->second;
}

const SimFiles::Medium* SimFiles::MediumIn(char letter, bool readyOnly) const {
  const Drive* drive = FindDrive(letter);
  if (drive == nullptr || !drive->medium || (readyOnly && !drive->ready)) return nullptr;
  return drive->medium.get();
}

const SimFiles::Medium* SimFiles::MediumAtRoot(std::string_view root) const {
  const auto letter = RootLetter(root, false);
  return letter ? MediumIn(*letter, true) : nullptr;
}

std::uint32_t SimFiles::NewSerial() {
  // Distinct for every medium made, and looking like what a format writes.
  ++serialsMade_;
  return 0x5A3C0000u + serialsMade_ * 0x0101u;
}

SimFiles::Entry* SimFiles::Find(const Location& location, bool readyOnly) const {
  const Medium* medium = MediumIn(location.drive, readyOnly);
  if (medium == nullptr) return nullptr;
  auto* entry = const_cast<Entry*>(&medium->root);
  for (const std::string& name : location.names) {
    if (!entry->IsFolder()) return nullptr;
    entry = entry->Child(LowerCase(name));
    if (entry == nullptr) return nullptr;
  }
  return entry;
}

SimFiles::Entry* SimFiles::FindPath(std::string_view path, bool readyOnly) const {
  const auto location = Parse(path);
  return location ? Find(*location, readyOnly) : nullptr;
}

SimFiles::Entry& SimFiles::Require(std::string_view path) const {
  Entry* entry = FindPath(path, false);
  if (entry == nullptr) throw std::invalid_argument("no such entry: " + std::string(path));
  return *entry;
}

SimFiles::Entry& SimFiles::MakeParents(const Location& location) {
  Drive* drive = FindDrive(location.drive);
  if (drive == nullptr) throw std::invalid_argument("no drive " + std::string(1, location.drive));
  if (!drive->medium) throw std::invalid_argument("no medium in drive " + std::string(1, location.drive));
  Entry* entry = &drive->medium->root;
  for (std::size_t k = 0; k + 1 < location.names.size(); ++k) {
    Entry* child = entry->Child(LowerCase(location.names[k]));
    if (child == nullptr) child = &entry->Add(location.names[k], Attr::Directory);
    if (!child->IsFolder()) throw std::invalid_argument("a file stands where a folder should");
    entry = child;
  }
  return *entry;
}

bool SimFiles::SamePlace(std::string_view a, std::string_view b) const {
  const auto first = Parse(a);
  const auto second = Parse(b);
  if (!first || !second || first->drive != second->drive ||
      first->names.size() != second->names.size()) {
    return false;
  }
  for (std::size_t k = 0; k < first->names.size(); ++k) {
    if (LowerCase(first->names[k]) != LowerCase(second->names[k])) return false;
  }
  return true;
}

// ---- Set-up and inspection ----

void SimFiles::AddDrive(char letter) {
  Drive& drive = drives_[UpperLetter(letter)];
  if (drive.medium) return;
  InsertNewMedium(letter, NewSerial());
}

bool SimFiles::HasDrive(char letter) const { return FindDrive(UpperLetter(letter)) != nullptr; }

void SimFiles::SetVolumeSerial(char letter, std::uint32_t serial) {
  Drive* drive = FindDrive(UpperLetter(letter));
  if (drive == nullptr || !drive->medium) throw std::invalid_argument("no medium in that drive");
  drive->medium->serial = serial;
}

std::optional<std::uint32_t> SimFiles::VolumeSerialOf(char letter) const {
  const Medium* medium = MediumIn(UpperLetter(letter), false);
  if (medium == nullptr) return std::nullopt;
  return medium->serial;
}

void SimFiles::EjectMedium(char letter, std::string_view keepAs) {
  Drive* drive = FindDrive(UpperLetter(letter));
  if (drive == nullptr || !drive->medium) throw std::invalid_argument("no medium in that drive");
  const std::string name = LowerCase(keepAs);
  if (keptMedia_.count(name) != 0) throw std::invalid_argument("a medium is kept under that name");
  keptMedia_[name] = std::move(drive->medium);
}

void SimFiles::InsertMedium(char letter, std::string_view kept) {
  Drive* drive = FindDrive(UpperLetter(letter));
  if (drive == nullptr || drive->medium) throw std::invalid_argument("no empty drive of that letter");
  const auto it = keptMedia_.find(LowerCase(kept));
  if (it == keptMedia_.end()) throw std::invalid_argument("no medium kept under that name");
  drive->medium = std::move(it->second);
  keptMedia_.erase(it);
}

void SimFiles::InsertNewMedium(char letter, std::uint32_t serial) {
  Drive* drive = FindDrive(UpperLetter(letter));
  if (drive == nullptr || drive->medium) throw std::invalid_argument("no empty drive of that letter");
  drive->medium = std::make_unique<Medium>();
  drive->medium->root.attributes = Attr::Directory;
  drive->medium->serial = serial;
  drive->medium->id = ++mediaMade_;
}

void SimFiles::RemoveDrive(char letter) { drives_.erase(UpperLetter(letter)); }

void SimFiles::SetDriveReady(char letter, bool ready) {
  Drive* drive = FindDrive(UpperLetter(letter));
  if (drive == nullptr) throw std::invalid_argument("no such drive");
  drive->ready = ready;
}

void SimFiles::AddFolder(std::string_view path, std::uint32_t attributes) {
  const auto location = Parse(path);
  if (!location) throw std::invalid_argument("not a drive path: " + std::string(path));
  const std::uint32_t stored =
      Attr::Directory | (attributes & kSettableAttributes);
  if (location->names.empty()) return;  // a drive root exists with its drive
  Entry& parent = MakeParents(*location);
  if (Entry* existing = parent.Child(LowerCase(location->names.back()))) {
    if (!existing->IsFolder()) throw std::invalid_argument("a file of that name exists");
    existing->attributes = stored;
    return;
  }
  parent.Add(location->names.back(), stored);
}

void SimFiles::AddFile(std::string_view path, std::uint32_t attributes) {
  const auto location = Parse(path);
  if (!location || location->names.empty()) {
    throw std::invalid_argument("not a file path: " + std::string(path));
  }
  const std::uint32_t stored = attributes & kSettableAttributes;
  Entry& parent = MakeParents(*location);
  if (Entry* existing = parent.Child(LowerCase(location->names.back()))) {
    if (existing->IsFolder()) throw std::invalid_argument("a folder of that name exists");
    existing->attributes = stored;
    return;
  }
  parent.Add(location->names.back(), stored);
}

bool SimFiles::Exists(std::string_view path) const { return FindPath(path, false) != nullptr; }

std::optional<std::uint32_t> SimFiles::AttributesOf(std::string_view path) const {
  const Entry* entry = FindPath(path, false);
  if (entry == nullptr) return std::nullopt;
  return Reported(*entry);
}

std::vector<std::string> SimFiles::EntriesOf(std::string_view folderPath) const {
  std::vector<std::string> names;
  const Entry* folder = FindPath(folderPath, false);
  if (folder == nullptr) return names;
  for (const auto& child : folder->children) names.push_back(child->name);
  return names;
}

void SimFiles::LockEntry(std::string_view path, bool locked) { Require(path).locked = locked; }

void SimFiles::RefuseAttributeChanges(std::string_view path, bool refuse) {
  Require(path).refuseAttributes = refuse;
}

void SimFiles::FailListingAfter(std::string_view folderPath, std::size_t entries) {
  Entry& folder = Require(folderPath);
  if (!folder.IsFolder()) throw std::invalid_argument("not a folder");
  folder.failListingAfter = entries;
}

// ---- The calls ----

bool SimFiles::Fail(std::uint32_t error) const {
  lastError_ = error;
  return false;
}

std::uint32_t SimFiles::MissingReason(std::string_view path) const {
  if (RefusedInPath(path)) return StatusCode::InvalidName;
  const auto location = Parse(path);
  if (!location) return StatusCode::InvalidName;
  if (FindDrive(location->drive) == nullptr) return StatusCode::PathNotFound;
  if (MediumIn(location->drive, true) == nullptr) return StatusCode::NotReady;
  Location parent = *location;
  if (!parent.names.empty()) parent.names.pop_back();
  const Entry* folder = Find(parent, true);
  return folder == nullptr || !folder->IsFolder() ? StatusCode::PathNotFound : StatusCode::FileNotFound;
}

bool SimFiles::PathFileExists(std::string_view path) const {
  if (RefusedInPath(path) || FindPath(path, true) == nullptr) return Fail(MissingReason(path));
  return true;
}

bool SimFiles::SetAttributes(std::string_view path, std::uint32_t attributes) {
  if (RefusedInPath(path)) return Fail(StatusCode::InvalidName);
  const auto location = Parse(path);
  if (!location) return Fail(StatusCode::InvalidName);
  if (location->names.empty()) return Fail(StatusCode::AccessDenied);  // a drive root
  Entry* entry = Find(*location, true);
  if (entry == nullptr) return Fail(MissingReason(path));
  if (entry->refuseAttributes) return Fail(StatusCode::WriteProtect);
  // Attr::Normal alone clears everything; a folder stays a folder.
  const std::uint32_t kept = entry->attributes & Attr::Directory;
  entry->attributes = kept | (attributes & kSettableAttributes);
  return true;
}

SimFiles::Entry* SimFiles::EntryToChange(std::string_view path, Location& location) const {
  const auto refuse = [this](std::uint32_t error) -> Entry* {
    Fail(error);
    return nullptr;
  };
  if (RefusedInPath(path)) return refuse(StatusCode::InvalidName);
  const auto parsed = Parse(path);
  if (!parsed) return refuse(StatusCode::InvalidName);
  if (parsed->names.empty()) return refuse(StatusCode::AccessDenied);  // a drive root
  Entry* entry = Find(*parsed, true);
  if (entry == nullptr) return refuse(MissingReason(path));
  location = *parsed;
  return entry;
}

bool SimFiles::DeleteFile(std::string_view path,
                          const std::function<bool(std::string_view)>& inUse) {
  Location location;
  const Entry* entry = EntryToChange(path, location);
  if (entry == nullptr) return false;
  // As on Windows: a folder, a read-only file and the image of a running program are refused
  // access; a file another program holds open is a sharing violation.
  if (entry->IsFolder() || (entry->attributes & Attr::ReadOnly) != 0 || (inUse && inUse(path))) {
    return Fail(StatusCode::AccessDenied);
  }
  if (entry->locked) return Fail(StatusCode::SharingViolation);
  location.names.pop_back();
  Find(location, true)->Remove(entry);
  return true;
}

bool SimFiles::AttributeData(std::string_view path, FileAttributeData& data) const {
  if (RefusedInPath(path)) return Fail(StatusCode::InvalidName);
  const Entry* entry = FindPath(path, true);
  if (entry == nullptr) return Fail(MissingReason(path));
  data.attributes = Reported(*entry);
  data.size = entry->IsFolder() ? 0 : entry->content.size();
  return true;
}

bool SimFiles::WriteText(std::string_view path, std::string_view text, bool replaceExisting) {
  if (RefusedInPath(path)) return Fail(StatusCode::InvalidName);
  const auto location = Parse(path);
  if (!location) return Fail(StatusCode::InvalidName);
  if (location->names.empty()) return Fail(StatusCode::AccessDenied);
  if (Entry* entry = Find(*location, true)) {
    if (entry->IsFolder() || (entry->attributes & Attr::ReadOnly) != 0) return Fail(StatusCode::AccessDenied);
    if (!replaceExisting) return Fail(StatusCode::FileExists);
    if (entry->locked) return Fail(StatusCode::SharingViolation);
    entry->content = std::string(text);
    return true;
  }
  Location parentLocation = *location;
  parentLocation.names.pop_back();
  Entry* parent = Find(parentLocation, true);
  if (parent == nullptr || !parent->IsFolder()) return Fail(MissingReason(path));
  if (parent->refuseAttributes) return Fail(StatusCode::WriteProtect);
  parent->Add(location->names.back(), Attr::Archive).content = std::string(text);
  return true;
}

bool SimFiles::ReadBytes(std::string_view path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) const {
  if (RefusedInPath(path)) return Fail(StatusCode::InvalidName);
  const Entry* entry = FindPath(path, true);
  if (entry == nullptr) return Fail(MissingReason(path));
  // A folder cannot be opened as a file. A file another program holds open still shares reading.
  if (entry->IsFolder()) return Fail(StatusCode::AccessDenied);
  const std::size_t count = std::min(maxBytes, entry->content.size());
  bytes.assign(entry->content.begin(), entry->content.begin() + static_cast<std::ptrdiff_t>(count));
  return true;
}

bool SimFiles::Move(std::string_view existing, std::string_view newName) {
  if (RefusedInPath(existing) || RefusedInPath(newName)) return Fail(StatusCode::InvalidName);
  const auto from = Parse(existing);
  const auto to = Parse(newName);
  if (!from || !to) return Fail(StatusCode::InvalidName);
  if (from->names.empty()) return Fail(StatusCode::AccessDenied);  // a drive root
  Entry* entry = Find(*from, true);
  if (entry == nullptr) return Fail(MissingReason(existing));
  if (to->drive != from->drive) return Fail(StatusCode::NotSameDevice);
  if (to->names.empty()) return Fail(StatusCode::AccessDenied);
  Location fromParent = *from;
  fromParent.names.pop_back();
  Location toParent = *to;
  toParent.names.pop_back();
  Entry* source = Find(fromParent, true);
  Entry* target = Find(toParent, true);
  if (target == nullptr || !target->IsFolder()) return Fail(StatusCode::PathNotFound);
  // A folder cannot go into itself or below it.
  bool inside = entry->IsFolder() && to->names.size() > from->names.size();
  for (std::size_t k = 0; inside && k < from->names.size(); ++k) {
    inside = LowerCase(from->names[k]) == LowerCase(to->names[k]);
  }
  if (inside) return Fail(StatusCode::SharingViolation);
  const std::string folded = LowerCase(to->names.back());
  const Entry* clash = target->Child(folded);
  if (clash != nullptr && clash != entry) return Fail(StatusCode::AlreadyExists);
  if (entry->locked) return Fail(StatusCode::SharingViolation);
  if (entry->refuseAttributes || source->refuseAttributes || target->refuseAttributes) {
    return Fail(StatusCode::WriteProtect);
  }
  std::unique_ptr<Entry> moved = source->Detach(entry);
  moved->name = to->names.back();
  moved->folded = folded;
  target->Attach(std::move(moved));
  return true;
}

bool SimFiles::RemoveFolder(std::string_view path) {
  Location location;
  const Entry* entry = EntryToChange(path, location);
  if (entry == nullptr) return false;
  if (!entry->IsFolder()) return Fail(StatusCode::NotADirectory);
  if (!entry->children.empty()) return Fail(StatusCode::DirNotEmpty);
  if ((entry->attributes & Attr::ReadOnly) != 0) return Fail(StatusCode::AccessDenied);
  if (entry->locked) return Fail(StatusCode::SharingViolation);
  if (entry->refuseAttributes) return Fail(StatusCode::WriteProtect);
  location.names.pop_back();
  Find(location, true)->Remove(entry);
  return true;
}

void SimFiles::SetContent(std::string_view path, std::string_view content) {
  Entry& entry = Require(path);
  if (entry.IsFolder()) throw std::invalid_argument("a folder holds no content: " + std::string(path));
  entry.content = std::string(content);
}

std::optional<std::string> SimFiles::ContentOf(std::string_view path) const {
  const Entry* entry = FindPath(path, false);
  if (entry == nullptr || entry->IsFolder()) return std::nullopt;
  return entry->content;
}

bool SimFiles::DiskFreeSpace(std::string_view root, tidewick::DiskFreeSpace& counts) const {
  if (MediumAtRoot(root) == nullptr) return false;
  counts = {8, 512, 100000, 250000};
  return true;
}

bool SimFiles::VolumeSerial(std::string_view root, std::uint32_t& serial) const {
  // As GetVolumeInformation: the root must end with its backslash.
  const auto letter = RootLetter(root, true);
  const Medium* medium = letter ? MediumIn(*letter, true) : nullptr;
  if (medium == nullptr) return false;
  serial = medium->serial;
  return true;
}

std::string SimFiles::DirFirst(std::string_view pattern, std::uint32_t mask) {
  listing_ = Listing{};
  listing_.active = true;

  std::string folderPath;
  std::string_view namePattern;
  const std::size_t cut = pattern.find_last_of("\\/");
  if (cut != std::string_view::npos) {
    folderPath = std::string(pattern.substr(0, cut + 1));
    namePattern = pattern.substr(cut + 1);
  } else if (pattern.size() >= 2 && IsDriveLetter(pattern[0]) && pattern[1] == ':') {
    folderPath = std::string(pattern.substr(0, 2));
    namePattern = pattern.substr(2);
  } else {
    folderPath = currentFolder_;
    namePattern = pattern;
  }

  const auto location = Parse(folderPath);
  const Entry* folder = location ? Find(*location, true) : nullptr;
  if (folder == nullptr || !folder->IsFolder()) {
    listing_.active = false;
    listing_.failed = true;
    return {};
  }
  listing_.drive = location->drive;
  listing_.mediumId = MediumIn(location->drive, true)->id;
  for (const std::string& name : location->names) listing_.folderNames.push_back(LowerCase(name));
  listing_.failAfter = folder->failListingAfter;

  const std::string foldedPattern = LowerCase(namePattern);
  auto admit = [&](std::string_view name, std::string_view folded, std::uint32_t attributes) {
    if ((attributes & kMaskedAttributes & ~mask) != 0) return;
    if (!NameMatches(folded, foldedPattern)) return;
    listing_.names.emplace_back(name);
  };
  if (!location->names.empty()) {
    admit(".", ".", Attr::Directory);
    admit("..", "..", Attr::Directory);
  }
  for (const auto& child : folder->children) admit(child->name, child->folded, child->attributes);
  return DirNext();
}

std::string SimFiles::DirNext() {
  if (!listing_.active) return {};
  bool readable = !listing_.failAfter || listing_.next < *listing_.failAfter;
  if (readable) {
    // The device may have gone meanwhile, or another medium may have taken its place.
    Location location{listing_.drive, listing_.folderNames};
    const Medium* medium = MediumIn(listing_.drive, true);
    readable = medium != nullptr && medium->id == listing_.mediumId && Find(location, true) != nullptr;
  }
  if (!readable) {
    listing_.active = false;
    listing_.failed = true;
    return {};
  }
  if (listing_.next >= listing_.names.size()) {
    listing_.active = false;
    return {};
  }
  return listing_.names[listing_.next++];
}

}  // namespace tidewick::sim::detail
