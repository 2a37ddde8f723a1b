// Remove orphans as both front ends run it: the options read fresh, the
// tree listed first, then, once the person agrees, what was listed removed.
// The window shows the list and asks; the command line prints it, or
// removes at once.
#pragma once

#include <stop_token>
#include <string>
#include <vector>

#include "engine/page_options.h"
#include "engine/prune.h"
#include "settings/settings_store.h"

namespace pelorin {

struct PruneListing {
  std::string root;  // the folder as the kernel reaches it; empty: not reached
  PageOptions options;
  OrphanList found;
  // One printable line per orphan: its path.
  std::vector<std::string> lines;
  // "folder: reason" for each folder that could not be read.
  std::vector<std::string> failure_lines;
};

struct PruneOutcome {
  PruneResult result;
  std::string summary_line;                // "Removed 3 files made for pictures that are gone"
  std::vector<std::string> failure_lines;  // "path: reason"
};

// Lists the orphans below folder (relative to current_folder), with the
// options now stored. A folder that cannot be reached gives one failure.
PruneListing ListOrphans(const SettingsStore& store, const std::string& folder,
                         const std::string& current_folder, std::stop_token stop = {});

// Removes what ListOrphans found, each only if it still is an orphan.
PruneOutcome RemoveListedOrphans(const PruneListing& listing, std::stop_token stop = {});

// The words for a number of files: "1 file", "3 files".
std::string FileCount(std::int64_t count);

}  // namespace pelorin
