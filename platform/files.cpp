#include "platform/files.h"

#include <stdexcept>

namespace tidewick {
namespace {

// Whether a listing is being read on this thread (all platform calls happen on the
// user-interface thread).
thread_local bool listingOpen = false;

// Marks a listing as being read for as long as it lives.
class OpenListing {
 public:
  OpenListing() {
    if (listingOpen) {
      throw std::logic_error("a folder listing was started while another one was being read");
    }
    listingOpen = true;
  }
  ~OpenListing() { listingOpen = false; }
  OpenListing(const OpenListing&) = delete;
  OpenListing& operator=(const OpenListing&) = delete;
};

// "." and ".." name the folder itself and its parent; touching them would change the folder
// above the one listed.
bool IsDotEntry(std::string_view name) { return name == "." || name == ".."; }

}  // namespace

FolderListing ListFolder(PlatformOperations& os, std::string_view pattern, std::uint32_t mask,
                         const std::function<void()>& eachEntry) {
  const OpenListing open;
  FolderListing listing;
  for (std::string name = os.DirFirst(pattern, mask); !name.empty(); name = os.DirNext()) {
    if (eachEntry) eachEntry();
    if (!IsDotEntry(name)) listing.names.push_back(std::move(name));
  }
  listing.failed = os.DirFailed();
  return listing;
}

FileRemoval MakePlainAndDelete(PlatformOperations& os, std::string_view path) {
  os.SetFileAttributesA(path, Attr::Normal);
  os.DeleteFileA(path);
  return os.PathFileExistsA(path) ? FileRemoval::StillThere : FileRemoval::Gone;
}

}  // namespace tidewick
