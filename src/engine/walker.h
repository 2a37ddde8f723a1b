// The depth-first, pre-order walk over a folder tree.
#pragma once

#include <string>

#include "engine/walk_callback.h"

namespace pelorin {

// Normalises path in place (EnsureTrailingSeparator) and walks it. Each folder
// gets SetStatus(kFolder) (true stops the walk) and ProcessDirectory; its
// subfolders are walked after it, in listing order. With threads > 1 that
// many threads read the coming folders ahead of the walk; the callbacks come
// in the same order, on the calling thread.
void WalkDirectory(std::string& path, WalkCallback& callback, int threads = 1);

}  // namespace pelorin
