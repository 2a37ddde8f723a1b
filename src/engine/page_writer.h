// Writing a page so that a failed run never leaves half a page: the bytes go
// to a hidden temporary file in the same folder, which is renamed over the
// page when complete. A page whose bytes are unchanged is not touched at all.
#pragma once

#include <sys/stat.h>

#include <string>

#include "common/temp_file_name.h"  // RemoveStaleTempFiles, for the run

namespace pelorin {

enum class WriteOutcome { kWritten, kUnchanged, kFailed };

// The seam through which tests make writes fail as a full disk would.
class WriteFaults {
 public:
  virtual ~WriteFaults() = default;
  // Returns 0 to go on, or an errno value to fail the write of this page.
  virtual int BeforeWrite(const std::string& folder_path) = 0;
};

// What is there under the page's name before it is written, as lstat sees
// it. A caller that already knows (from the folder's listing, say) passes it
// to WritePage, which then does not look again.
struct ExistingPage {
  bool exists = false;
  struct stat st {};  // valid when exists
};
ExistingPage LookUpPage(int dir_fd, const std::string& name);

// Writes page into the folder open at dir_fd under name, which must be a
// plain file name (IsPlainFileName). On failure the old
// page (if any) is left as it was, no temporary file remains, and *error
// holds the system's reason. existing: see ExistingPage; nullptr makes
// WritePage look itself.
WriteOutcome WritePage(int dir_fd, const std::string& folder_path, const std::string& name,
                       const std::string& page, std::string* error, WriteFaults* faults = nullptr,
                       const ExistingPage* existing = nullptr);

}  // namespace pelorin
