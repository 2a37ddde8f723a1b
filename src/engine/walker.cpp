#include "engine/walker.h"

#include <fcntl.h>

#include <cerrno>
#include <vector>

#include "common/path_routines.h"
#include "common/text_routines.h"

namespace pelorin {

namespace {

// parent_fd/name open the folder relative to its parent, so the path's length
// never matters to the system; the root is opened by its path.
void WalkLevel(const std::string& path, int parent_fd, const std::string& name,
               WalkCallback& callback) {
  if (callback.SetStatus(WalkEvent::kFolder)) return;

  const bool is_root = parent_fd == AT_FDCWD;
  UniqueFd fd = OpenFolder(parent_fd, name, is_root);
  if (!fd.valid()) {
    callback.FolderFailed(path, ErrnoText(errno));
    return;
  }
  WalkFolder folder{path, fd.get(), {}, {}};
  std::string error;
  if (!ReadFolder(fd.get(), &folder.listing, &error, /*just_opened=*/true)) {
    callback.FolderFailed(path, error);
    return;
  }
  for (const FolderEntry& entry : folder.listing.entries) {
    if (entry.kind == EntryKind::kFolder) folder.subfolders.push_back(entry.name);
  }
  callback.ProcessDirectory(folder);
  // The listing is the callback's now; only the names to walk stay here.
  std::vector<std::string> subfolders = std::move(folder.subfolders);
  folder.listing = FolderListing();

  std::string child_path;
  for (const std::string& sub : subfolders) {
    child_path.assign(path).append(sub).push_back(kSeparator);
    WalkLevel(child_path, fd.get(), sub, callback);
  }
}

}  // namespace

void WalkDirectory(std::string& path, WalkCallback& callback) {
  path = EnsureTrailingSeparator(path, std::string(1, kSeparator));
  if (path.empty()) return;
  WalkLevel(path, AT_FDCWD, path, callback);
}

}  // namespace pelorin
