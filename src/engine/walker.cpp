#include "engine/walker.h"

#include <fcntl.h>

#include <memory>
#include <vector>

#include "common/path_routines.h"
#include "common/text_routines.h"
#include "engine/folder_prefetch.h"

namespace pelorin {

namespace {

// Enough to keep every thread busy while the walk takes folders one by one;
// few enough that the listings held stay small.
constexpr int kFoldersAheadPerThread = 2;

// parent_fd/name open the folder relative to its parent, so the path's length
// never matters to the system; the root is opened by its path. With a
// prefetch, subfolders are read ahead on its threads and taken in this order.
void WalkLevel(const std::string& path, int parent_fd, const std::string& name,
               WalkCallback& callback, FolderPrefetch* prefetch) {
  if (callback.SetStatus(WalkEvent::kFolder)) return;

  const bool is_root = parent_fd == AT_FDCWD;
  ReadFolderResult read = prefetch != nullptr && !is_root
                              ? prefetch->Take(parent_fd, name)
                              : OpenAndReadFolder(parent_fd, name, /*follow_links=*/is_root);
  if (!read.fd.valid()) {
    callback.FolderFailed(path, read.error);
    return;
  }
  const UniqueFd fd = std::move(read.fd);
  if (prefetch != nullptr) prefetch->Enter(fd.get(), read.listing);
  WalkFolder folder{path, fd.get(), std::move(read.listing), {}};
  for (const FolderEntry& entry : folder.listing.entries) {
    if (entry.kind == EntryKind::kFolder) folder.subfolders.push_back(entry.name);
  }
  callback.ProcessDirectory(folder);
  // The listing is the callback's now; only the names to walk stay here.
  const std::vector<std::string> subfolders = std::move(folder.subfolders);
  folder.listing = FolderListing();

  std::string child_path;
  for (const std::string& sub : subfolders) {
    child_path.assign(path).append(sub).push_back(kSeparator);
    WalkLevel(child_path, fd.get(), sub, callback, prefetch);
  }
  if (prefetch != nullptr) prefetch->Leave();
}

}  // namespace

void WalkDirectory(std::string& path, WalkCallback& callback, int threads) {
  path = EnsureTrailingSeparator(path, std::string(1, kSeparator));
  if (path.empty()) return;
  std::unique_ptr<FolderPrefetch> prefetch;
  if (threads > 1) {
    prefetch = std::make_unique<FolderPrefetch>(threads, kFoldersAheadPerThread * threads);
  }
  WalkLevel(path, AT_FDCWD, path, callback, prefetch.get());
}

}  // namespace pelorin
