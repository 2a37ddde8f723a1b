#include "engine/walker.h"

#include <fcntl.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "common/path_routines.h"
#include "common/text_routines.h"

namespace pelorin {

namespace {

void Add(WalkTotals& total, const WalkTotals& part) {
  total.FilesSeen += part.FilesSeen;
  total.FilesProcessed += part.FilesProcessed;
  total.SubfoldersSeen += part.SubfoldersSeen;
}

// parent_fd/name open the folder relative to its parent, so the path's length
// never matters to the system; the root is opened by its path.
WalkTotals WalkLevel(const std::string& path, int parent_fd, const std::string& name,
                     WalkCallback& callback, bool recurse) {
  WalkTotals totals;
  if (callback.SetStatus(WalkEvent::kFolder)) return totals;

  const bool is_root = parent_fd == AT_FDCWD;
  UniqueFd fd = OpenFolder(parent_fd, name, is_root);
  if (!fd.valid()) {
    callback.FolderFailed(path, ErrnoText(errno));
    return totals;
  }
  auto shared = std::make_shared<FolderListing>();
  FolderListing& listing = *shared;
  std::string error;
  if (!ReadFolder(fd.get(), &listing, &error, /*just_opened=*/true)) {
    callback.FolderFailed(path, error);
    return totals;
  }

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
    Add(totals, WalkLevel(child_path, fd.get(), sub, callback, recurse));
  }
  return totals;
}

}  // namespace

WalkTotals WalkDirectory(std::string& path, WalkCallback& callback, bool recurse) {
  path = EnsureTrailingSeparator(path, std::string(1, kSeparator));
  if (path.empty()) return {};
  return WalkLevel(path, AT_FDCWD, path, callback, recurse);
}

}  // namespace pelorin
