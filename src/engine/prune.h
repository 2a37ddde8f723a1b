// Finding and removing what the program made for pictures that are gone:
// picture pages, thumbnails, their sharper @2x copies and display copies.
// Nothing else is ever removed: a file counts only when it says the program
// made it (a picture page by its last line, an image by its mark) and
// none of the pictures it could belong to is there any more. Index pages
// and files the program did not make stay, whatever their names.
#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "common/folder_reader.h"
#include "engine/page_options.h"
#include "engine/run_host.h"

namespace pelorin {

// Whether the image open at fd (a regular file) carries the mark of the
// program's thumbnails.
using MadeImageTest = std::function<bool(int fd)>;

// What could be an orphan in one folder, judged by names alone: files whose
// names say they belong to a picture that is not in the folder. Names are
// relative to the folder ("a.jpg.html", "thumbnails/small_a.jpg").
// thumbnail_folder: the thumbnail subfolder's listing when thumbnails live
// in one and it exists.
std::vector<std::string> OrphanCandidates(const FolderListing& folder,
                                          const FolderListing* thumbnail_folder,
                                          const PageOptions& options);

// Whether a file's last line is the line every picture page ends with.
bool EndsWithMadeByLine(int fd);

struct Orphan {
  std::string folder;  // the folder's path, ending in a separator
  // Relative to the folder; the thumbnail subfolder itself ends in a
  // separator ("thumbnails/") and is listed after its files.
  std::string name;
};

struct OrphanList {
  std::vector<Orphan> orphans;
  std::vector<Failure> failures;  // folders that could not be read
  bool stopped = false;
};

// Walks the tree at root and lists its orphans. A thumbnail subfolder is
// listed too when every file in it is an orphan: it was the program's, and
// is empty once they are gone.
OrphanList FindOrphans(const std::string& root, const PageOptions& options,
                       const MadeImageTest& made_image, std::stop_token stop = {});

struct PruneResult {
  std::int64_t removed = 0;          // files
  std::int64_t folders_removed = 0;  // emptied thumbnail subfolders
  std::vector<Failure> failures;     // "path: reason" for each file not removed
  bool stopped = false;
};

// Removes the listed orphans, each only when it still is one: a file made
// again or replaced since the list was made, or whose picture came back, is
// left alone. A thumbnail subfolder is removed only when it is empty.
PruneResult RemoveOrphans(const std::vector<Orphan>& orphans, const PageOptions& options,
                          const MadeImageTest& made_image, std::stop_token stop = {});

}  // namespace pelorin
