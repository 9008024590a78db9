// The simulated drives, folders and files, and the one active folder listing. Private to the
// simulated platform.
#pragma once

#include "platform/platform_operations.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tidewick::sim::detail {

class SimFiles {
 public:
  // ---- Set-up and inspection (they see a medium whether or not its drive is ready) ----
  void AddDrive(char letter);
  void RemoveDrive(char letter);
  void SetDriveReady(char letter, bool ready);
  // Whether the drive letter is there, with or without a medium.
  bool HasDrive(char letter) const;
  // Media: what a drive holds (its entries and its volume serial number). A medium taken out
  // of its drive is kept aside under a name until it is put into a drive again.
  void SetVolumeSerial(char letter, std::uint32_t serial);
  std::optional<std::uint32_t> VolumeSerialOf(char letter) const;
  void EjectMedium(char letter, std::string_view keepAs);
  void InsertMedium(char letter, std::string_view kept);
  void InsertNewMedium(char letter, std::uint32_t serial);
  void AddFolder(std::string_view path, std::uint32_t attributes);
  void AddFile(std::string_view path, std::uint32_t attributes);
  bool Exists(std::string_view path) const;
  std::optional<std::uint32_t> AttributesOf(std::string_view path) const;
  std::vector<std::string> EntriesOf(std::string_view folderPath) const;
  void LockEntry(std::string_view path, bool locked);
  void RefuseAttributeChanges(std::string_view path, bool refuse);
  void FailListingAfter(std::string_view folderPath, std::size_t entries);
  void SetCurrentFolder(std::string_view path) { currentFolder_ = std::string(path); }
  const std::string& CurrentFolder() const { return currentFolder_; }
  // Whether two paths name the same entry (both resolved, case-insensitively).
  bool SamePlace(std::string_view a, std::string_view b) const;

  // ---- The calls; `inUse` tells whether a path is the image of a running process ----
  bool PathFileExists(std::string_view path) const;
  bool SetAttributes(std::string_view path, std::uint32_t attributes);
  bool DeleteFile(std::string_view path, const std::function<bool(std::string_view)>& inUse);
  bool DiskFreeSpace(std::string_view root, DiskFreeSpace& counts) const;
  bool VolumeSerial(std::string_view root, std::uint32_t& serial) const;
  std::string DirFirst(std::string_view pattern, std::uint32_t mask);
  std::string DirNext();
  bool DirFailed() const { return listing_.failed; }
  // Ends the active listing as one that failed.
  void BreakListing() {
    listing_ = Listing{};
    listing_.failed = true;
  }
  bool AttributeData(std::string_view path, FileAttributeData& data) const;
  bool WriteText(std::string_view path, std::string_view text, bool replaceExisting);
  bool ReadBytes(std::string_view path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) const;
  bool Move(std::string_view existing, std::string_view newName);
  bool RemoveFolder(std::string_view path);
  // The error code of the last call above that failed, as GetLastError answers it.
  std::uint32_t LastError() const { return lastError_; }

  // ---- File content (for sizes and for the files the program writes) ----
  void SetContent(std::string_view path, std::string_view content);
  std::optional<std::string> ContentOf(std::string_view path) const;

 private:
  struct Entry {
    std::string name;  // as created
    std::string folded;
    std::uint32_t attributes = 0;  // folders carry Attr::Directory
    bool locked = false;
    std::string content;  // a file's bytes; its size is theirs
    bool refuseAttributes = false;
    std::optional<std::size_t> failListingAfter;
    std::vector<std::unique_ptr<Entry>> children;  // creation order
    std::unordered_map<std::string, Entry*> index;  // folded name -> child

    bool IsFolder() const { return (attributes & Attr::Directory) != 0; }
    Entry* Child(std::string_view foldedName) const;
    Entry& Add(std::string_view name, std::uint32_t attributes);
    void Remove(const Entry* child);
    // Takes a child out (with everything below it) and hands over its ownership.
    std::unique_ptr<Entry> Detach(const Entry* child);
    void Attach(std::unique_ptr<Entry> child);
  };
  struct Medium {
    Entry root;
    std::uint32_t serial = 0;
    std::uint64_t id = 0;  // unique among the media ever made
  };
  struct Drive {
    bool ready = true;
    std::unique_ptr<Medium> medium;  // none while a medium is out
  };
  // A path taken apart: drive letter (upper case) and the names below its root.
  struct Location {
    char drive = 0;
    std::vector<std::string> names;
  };
  struct Listing {
    bool active = false;
    bool failed = false;
    char drive = 0;
    std::uint64_t mediumId = 0;            // a listing ends with the medium it reads
    std::vector<std::string> folderNames;  // folded, to check that the folder is still there
    std::vector<std::string> names;        // what the listing yields, in order
    std::size_t next = 0;
    std::optional<std::size_t> failAfter;
  };

  std::optional<Location> Parse(std::string_view path) const;
  Drive* FindDrive(char letter);
  const Drive* FindDrive(char letter) const;
  // The medium in the drive of `letter` (a drive root such as "E:\" for the calls); null when
  // there is none or, with `readyOnly`, when the drive is not ready.
  const Medium* MediumIn(char letter, bool readyOnly) const;
  const Medium* MediumAtRoot(std::string_view root) const;
  std::uint32_t NewSerial();
  // The entry at `location`, or null; `readyOnly` ignores drives without a medium.
  Entry* Find(const Location& location, bool readyOnly) const;
  Entry* FindPath(std::string_view path, bool readyOnly) const;
  // The entry below a drive root that a changing call names, and where it lies; null, with the
  // reason as the last error, when the path is refused, names a root or reaches nothing.
  Entry* EntryToChange(std::string_view path, Location& location) const;
  Entry& Require(std::string_view path) const;  // for set-up calls: throws when missing
  Entry& MakeParents(const Location& location);
  static std::uint32_t Reported(const Entry& entry);
  // Why `path` reaches no entry, as the code GetLastError would give for it.
  std::uint32_t MissingReason(std::string_view path) const;
  // Answers false and keeps `error` as the last error.
  bool Fail(std::uint32_t error) const;

  std::map<char, Drive> drives_;
  std::map<std::string, std::unique_ptr<Medium>> keptMedia_;  // by folded name
  std::uint32_t serialsMade_ = 0;
  std::uint64_t mediaMade_ = 0;
  std::string currentFolder_ = "C:\\Tidewick";
  Listing listing_;
  mutable std::uint32_t lastError_ = 0;
};

}  // namespace tidewick::sim::detail
