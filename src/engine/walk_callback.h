// What the directory walker reports to its host. The walker depends on
// nothing else of the host, which keeps it usable by any front end and tests.
#pragma once

#include <string>
#include <vector>

#include "common/folder_reader.h"

namespace pelorin {

// A folder as the walker hands it over: its path, an open descriptor for
// *at() calls (valid until ProcessDirectory returns), its entries, read once,
// which the callback may take, and the subfolders the walk goes into next,
// in order, from which the callback may remove those it does not want
// walked.
struct WalkFolder {
  const std::string& path;
  int fd;
  FolderListing listing;
  std::vector<std::string> subfolders;
};

// What a run reports to its status line: the run starts, the walk reaches a
// folder, the run ends.
enum class WalkEvent { kStart, kFolder, kFinish };

class WalkCallback {
 public:
  virtual ~WalkCallback() = default;
  // Before each folder: true stops the walk (this folder is not read).
  virtual bool SetStatus(WalkEvent event) = 0;
  virtual void ProcessDirectory(WalkFolder& folder) = 0;
  // A folder that could not be opened or read; the walk goes on without it.
  virtual void FolderFailed(const std::string& path, const std::string& reason) = 0;
};

}  // namespace pelorin
