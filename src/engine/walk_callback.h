// What the directory walker reports to its host. The walker depends on
// nothing else of the host, which keeps it usable by any front end and tests.
#pragma once

#include <memory>
#include <string>

#include "common/folder_reader.h"

namespace pelorin {

// A folder as the walker hands it over: its path, an open descriptor for
// *at() calls and its entries, read once. The callback may add the entry of a
// file it created there, so the walker sees it as if it had been read.
struct WalkFolder {
  const std::string& path;
  int fd;
  FolderListing& listing;
  // The same listing, for a callback that goes on reading it after
  // ProcessDirectory has returned (on another thread). From then on the
  // walker only reads it too, and drops its own share when it moves on.
  std::shared_ptr<const FolderListing> shared_listing = nullptr;
};

// What a run reports to its status line: the run starts, the walk reaches a
// folder or accepts a file, the run ends.
enum class WalkEvent { kStart, kFolder, kFile, kFinish };

class WalkCallback {
 public:
  virtual ~WalkCallback() = default;
  // kFolder or kFile; after kFolder true means stop.
  virtual bool SetStatus(WalkEvent event) = 0;
  virtual void ProcessDirectory(WalkFolder& folder) = 0;
  virtual bool IsInteresting(std::string_view name) = 0;
  virtual void ProcessFile(const std::string& path) = 0;
  // A folder that could not be opened or read; the walk goes on without it.
  virtual void FolderFailed(const std::string& path, const std::string& reason) = 0;
};

}  // namespace pelorin
