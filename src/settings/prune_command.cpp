#include "settings/prune_command.h"

#include "common/html_text.h"
#include "engine/create_index.h"
#include "engine/thumbnail_mark.h"
#include "settings/option_keys.h"

namespace pelorin {

namespace {

// An image the program made says so inside itself (thumbnail_mark.h).
bool IsMarkedImage(int fd) { return ReadThumbnailMark(fd).has_value(); }

std::string FailureLine(const Failure& failure) {
  return PrintableText(failure.folder) + ": " + PrintableText(failure.reason);
}

}  // namespace

std::string FileCount(std::int64_t count) {
  return std::to_string(count) + (count == 1 ? " file" : " files");
}

PruneListing ListOrphans(const SettingsStore& store, const std::string& folder,
                         const std::string& current_folder, std::stop_token stop) {
  PruneListing listing;
  listing.options = LoadPageOptions(store);
  listing.root = ResolvedFolderOf(folder, current_folder);
  if (listing.root.empty()) {
    listing.failure_lines.push_back(PrintableText(folder) + ": cannot reach the folder");
    return listing;
  }
  listing.found = FindOrphans(listing.root, listing.options, IsMarkedImage, std::move(stop));
  for (const Orphan& orphan : listing.found.orphans) {
    listing.lines.push_back(PrintableText(orphan.folder + orphan.name));
  }
  for (const Failure& failure : listing.found.failures) {
    listing.failure_lines.push_back(FailureLine(failure));
  }
  return listing;
}

PruneOutcome RemoveListedOrphans(const PruneListing& listing, std::stop_token stop) {
  PruneOutcome outcome;
  outcome.result =
      RemoveOrphans(listing.found.orphans, listing.options, IsMarkedImage, std::move(stop));
  outcome.summary_line =
      "Removed " + FileCount(outcome.result.removed) + " made for pictures that are gone";
  const std::int64_t folders = outcome.result.folders_removed;
  if (folders > 0) {
    outcome.summary_line += ", and " + std::to_string(folders) + " emptied thumbnail folder" +
                            (folders == 1 ? "" : "s");
  }
  if (outcome.result.stopped) outcome.summary_line += " (stopped)";
  for (const Failure& failure : outcome.result.failures) {
    outcome.failure_lines.push_back(FailureLine(failure));
  }
  return outcome;
}

}  // namespace pelorin
