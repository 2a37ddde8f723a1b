// Writing a page so that a failed run never leaves half a page: the bytes go
// to a hidden temporary file in the same folder, which is renamed over the
// page when complete. A page whose bytes are unchanged is not touched at all.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>

#include "common/temp_file_name.h"  // RemoveStaleTempFiles, for the run

namespace pelorin {

enum class WriteOutcome { kWritten, kUnchanged, kFailed };

// The seam through which tests make a page's writing fail as a full disk, a
// failing device or a folder changed underneath would. Each hook returns 0
// to go on, or an errno value the page then fails with at that step.
class WriteFaults {
 public:
  virtual ~WriteFaults() = default;
  // Once, before the first byte of the page goes to its temporary file.
  virtual int BeforeWrite(const std::string& /*folder_path*/) { return 0; }
  // Before each write(2) of the page's bytes, `written` of them already out.
  // May lower *size, making that write short as a nearly full disk does.
  virtual int OnEachWrite(const std::string& /*folder_path*/, std::size_t /*written*/,
                          std::size_t* /*size*/) {
    return 0;
  }
  // Stands for the result of the look (lstat) at what is under the page's name.
  virtual int OnLookUp(const std::string& /*folder_path*/) { return 0; }
  // Before the temporary file is renamed over the page.
  virtual int OnRename(const std::string& /*folder_path*/) { return 0; }
};

// What is there under the page's name before it is written, as lstat sees
// it. A caller that already knows (from the folder's listing, say) passes it
// to WritePage, which then does not look again.
struct ExistingPage {
  bool exists = false;
  struct stat st {};  // valid when exists
  int error = 0;      // why the look failed (never ENOENT), or 0
};
ExistingPage LookUpPage(int dir_fd, const std::string& name);

// Writes page into the folder open at dir_fd under name, which must be a
// plain file name (IsPlainFileName). On failure the old page (if any) is
// left as it was, no temporary file remains, and *error holds the system's
// reason. A page that cannot be looked at, a read-only page and anything
// but a regular file or a link (a FIFO, a socket, a device) is not
// replaced. existing: see
// ExistingPage; nullptr makes WritePage look itself.
WriteOutcome WritePage(int dir_fd, const std::string& folder_path, const std::string& name,
                       const std::string& page, std::string* error, WriteFaults* faults = nullptr,
                       const ExistingPage* existing = nullptr);

// What WritePage would do with the same page, without writing anything:
// kWritten when it would write, kUnchanged when the bytes are already there,
// kFailed with the reason when it would fail before writing.
WriteOutcome PreviewPage(int dir_fd, const std::string& name, const std::string& page,
                         const ExistingPage& existing, std::string* error);

}  // namespace pelorin
