// The depth-first, pre-order walk over a folder tree.
#pragma once

#include <cstdint>
#include <string>

#include "engine/walk_callback.h"

namespace pelorin {

struct WalkTotals {
  std::int64_t FilesSeen = 0;
  std::int64_t FilesProcessed = 0;
  std::int64_t SubfoldersSeen = 0;
};

// Normalises path in place (EnsureTrailingSeparator) and walks it. Each folder
// gets SetStatus(kFolder) (true stops the walk) and ProcessDirectory before
// its entries are reported; subfolders are walked after all entries. With
// threads > 1 that many threads read the coming folders ahead of the walk;
// the callbacks come in the same order, on the calling thread.
WalkTotals WalkDirectory(std::string& path, WalkCallback& callback, bool recurse, int threads = 1);

}  // namespace pelorin
