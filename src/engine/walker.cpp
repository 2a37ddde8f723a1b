#include "engine/walker.h"

#include <fcntl.h>

#include <cerrno>
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

void Add(WalkTotals& total, const WalkTotals& part) {
  total.FilesSeen += part.FilesSeen;
  total.FilesProcessed += part.FilesProcessed;
  total.SubfoldersSeen += part.SubfoldersSeen;
}

// parent_fd/name open the folder relative to its parent, so the path's length
// never matters to the system; the root is opened by its path. With a
// prefetch, subfolders are read ahead on its threads and taken in this order.
WalkTotals WalkLevel(const std::string& path, int parent_fd, const std::string& name,
                     WalkCallback& callback, bool recurse, FolderPrefetch* prefetch) {
  WalkTotals totals;
  if (callback.SetStatus(WalkEvent::kFolder)) return totals;

  const bool is_root = parent_fd == AT_FDCWD;
  ReadFolderResult read = prefetch != nullptr && !is_root
                              ? prefetch->Take(parent_fd, name)
                              : OpenAndReadFolder(parent_fd, name, /*follow_links=*/is_root);
  if (!read.fd.valid()) {
    callback.FolderFailed(path, read.error);
    return totals;
  }
  const UniqueFd fd = std::move(read.fd);
  auto shared = std::make_shared<FolderListing>(std::move(read.listing));
  FolderListing& listing = *shared;
  if (prefetch != nullptr && recurse) prefetch->Enter(fd.get(), listing);

  WalkFolder folder{path, fd.get(), listing, shared};
  callback.ProcessDirectory(folder);

  // The callback may still be reading the listing: names are copied out.
  std::vector<std::string> subfolders;
  std::string file_path;
  for (const FolderEntry& entry : listing.entries) {
    if (entry.kind == EntryKind::kFolder) {
      subfolders.push_back(entry.name);
      ++totals.SubfoldersSeen;
      continue;
    }
    ++totals.FilesSeen;
    if (callback.IsInteresting(entry.name)) {
      file_path.assign(path).append(entry.name);
      callback.ProcessFile(file_path);
      callback.SetStatus(WalkEvent::kFile);
      ++totals.FilesProcessed;
    }
  }
  folder.shared_listing.reset();
  shared.reset();  // freed before descending, unless the callback still reads it

  if (!recurse) return totals;
  std::string child_path;
  for (const std::string& sub : subfolders) {
    child_path.assign(path).append(sub).push_back(kSeparator);
    Add(totals, WalkLevel(child_path, fd.get(), sub, callback, recurse, prefetch));
  }
  if (prefetch != nullptr) prefetch->Leave();
  return totals;
}

}  // namespace

WalkTotals WalkDirectory(std::string& path, WalkCallback& callback, bool recurse, int threads) {
  path = EnsureTrailingSeparator(path, std::string(1, kSeparator));
  if (path.empty()) return {};
  std::unique_ptr<FolderPrefetch> prefetch;
  if (threads > 1)
    prefetch = std::make_unique<FolderPrefetch>(threads, kFoldersAheadPerThread * threads);
  return WalkLevel(path, AT_FDCWD, path, callback, recurse, prefetch.get());
}

}  // namespace pelorin
