// Reading one folder's entries once, in the order every page and walk uses.
// Works on an open folder descriptor so trees deeper than PATH_MAX still work.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelorin {

enum class EntryKind { kFile, kFolder };

struct FolderEntry {
  std::string name;
  EntryKind kind;
};

struct FolderListing {
  // Visible entries, sorted by NameLess. A link to a file is a file; links to
  // folders and dangling links are left out, so no walk can loop.
  std::vector<FolderEntry> entries;
  // Every real subfolder, hidden ones included (links excluded).
  std::int64_t total_subfolders = 0;
  // Hidden leftovers of an interrupted page write (see temp_file_name.h).
  std::vector<std::string> temp_files;
};

// Reads the folder open at dir_fd (the descriptor stays open and owned by the
// caller) from its first entry. On failure returns false with the system's
// reason in *error. just_opened: nothing was read from dir_fd yet, so it need
// not be rewound.
bool ReadFolder(int dir_fd, FolderListing* listing, std::string* error, bool just_opened = false);

// Inserts a file entry at its sorted place unless an entry of that name exists.
// Returns true when it inserted.
bool InsertFileEntry(FolderListing* listing, const std::string& name);
void RemoveEntry(FolderListing* listing, const std::string& name);

// A descriptor that closes itself.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd();
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

// Opens a folder for reading entries and as the base of *at() calls.
// parent_fd may be AT_FDCWD; links are not followed below the start.
UniqueFd OpenFolder(int parent_fd, const std::string& name, bool follow_links);

std::string ErrnoText(int error_number);

// Reads fd from where it stands to its end into *text; false with the
// system's reason in *error.
bool ReadWholeFile(int fd, std::string* text, std::string* error);

}  // namespace pelorin
