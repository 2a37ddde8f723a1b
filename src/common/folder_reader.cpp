#include "common/folder_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "common/path_routines.h"
#include "common/temp_file_name.h"
#include "common/text_routines.h"

namespace pelorin {

namespace {

bool EntryLess(const FolderEntry& a, const FolderEntry& b) { return NameLess(a.name, b.name); }

// The first eight bytes of a name, upper-cased, as a number that orders as
// NameLess does: names hold no NUL byte, so a shorter name's zero padding
// puts it before the longer names it begins.
std::uint64_t SortKey(const std::string& name) {
  std::uint64_t key = 0;
  const std::size_t n = std::min<std::size_t>(name.size(), 8);
  for (std::size_t i = 0; i < n; ++i) {
    auto c = static_cast<unsigned char>(name[i]);
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');  // AsciiUpper
    key |= static_cast<std::uint64_t>(c) << (56 - 8 * i);
  }
  return key;
}

// Sorts by NameLess, comparing numbers first: most names differ in their
// first eight bytes, so the full comparison runs only for the rest.
void SortEntries(std::vector<FolderEntry>& entries) {
  const std::size_t n = entries.size();
  if (n < 2) return;
  std::vector<std::pair<std::uint64_t, std::size_t>> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = {SortKey(entries[i].name), i};
  std::sort(order.begin(), order.end(), [&entries](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return NameLess(entries[a.second].name, entries[b.second].name);
  });
  // Entries move into place along the permutation's cycles, so no second
  // listing is ever held: position i takes the entry at order[i].second.
  constexpr std::size_t kPlaced = static_cast<std::size_t>(-1);
  for (std::size_t start = 0; start < n; ++start) {
    if (order[start].second == kPlaced || order[start].second == start) continue;
    FolderEntry held = std::move(entries[start]);
    std::size_t to = start;
    for (;;) {
      const std::size_t from = order[to].second;
      order[to].second = kPlaced;
      if (from == start) {
        entries[to] = std::move(held);
        break;
      }
      entries[to] = std::move(entries[from]);
      to = from;
    }
  }
}

void AddEntry(int dir_fd, const char* raw, unsigned char type, FolderListing* listing) {
  if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0'))) return;
  if (type == DT_UNKNOWN) {
    struct stat st;
    if (::fstatat(dir_fd, raw, &st, AT_SYMLINK_NOFOLLOW) != 0) return;  // vanished
    type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
  }
  const bool hidden = raw[0] == '.';
  if (type == DT_DIR) {
    ++listing->total_subfolders;
    if (!hidden) listing->entries.push_back({raw, EntryKind::kFolder});
    return;
  }
  if (hidden) {
    if (type == DT_REG && TempFileOwner(raw) != 0) listing->temp_files.emplace_back(raw);
    return;
  }
  if (type == DT_LNK) {
    // A link counts as the file it points to; links to folders and
    // dangling links are not entries at all.
    struct stat st;
    if (::fstatat(dir_fd, raw, &st, 0) != 0 || S_ISDIR(st.st_mode)) return;
  }
  listing->entries.push_back({raw, EntryKind::kFile});
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

bool ReadWholeFile(int fd, std::string* text, std::string* error) {
  text->clear();
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = ErrnoText(errno);
      return false;
    }
    if (n == 0) return true;
    text->append(buffer, static_cast<std::size_t>(n));
  }
}

std::string ErrnoText(int error_number) {
  char buffer[256];
  // GNU strerror_r returns the message, which may not live in buffer.
  return ::strerror_r(error_number, buffer, sizeof buffer);
}

UniqueFd OpenFolder(int parent_fd, const std::string& name, bool follow_links) {
  int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  if (!follow_links) flags |= O_NOFOLLOW;
  int fd;
  do {
    fd = ::openat(parent_fd, name.c_str(), flags);
  } while (fd < 0 && errno == EINTR);
  return UniqueFd(fd);
}

bool ReadFolder(int dir_fd, FolderListing* listing, std::string* error, bool just_opened) {
  listing->entries.clear();
  listing->temp_files.clear();
  listing->total_subfolders = 0;

  // The entries come straight from getdents64 on the caller's descriptor:
  // no second descriptor and no DIR stream, which cost three system calls
  // per folder.
  if (!just_opened && ::lseek(dir_fd, 0, SEEK_SET) < 0) {
    *error = ErrnoText(errno);
    return false;
  }
  alignas(dirent64) char buffer[32768];
  listing->entries.reserve(32);  // most folders: one allocation, no regrowth
  bool ok = true;
  for (;;) {
    const ssize_t size = ::getdents64(dir_fd, buffer, sizeof buffer);
    if (size <= 0) {
      if (size < 0 && errno == EINTR) continue;
      if (size < 0) {
        *error = ErrnoText(errno);
        ok = false;
      }
      break;
    }
    for (ssize_t offset = 0; offset < size;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
      offset += entry->d_reclen;
      AddEntry(dir_fd, entry->d_name, entry->d_type, listing);
    }
  }
  SortEntries(listing->entries);
  return ok;
}

bool InsertFileEntry(FolderListing* listing, const std::string& name) {
  FolderEntry probe{name, EntryKind::kFile};
  auto it = std::lower_bound(listing->entries.begin(), listing->entries.end(), probe, EntryLess);
  if (it != listing->entries.end() && it->name == name) return false;
  listing->entries.insert(it, std::move(probe));
  return true;
}

void RemoveEntry(FolderListing* listing, const std::string& name) {
  FolderEntry probe{name, EntryKind::kFile};
  auto it = std::lower_bound(listing->entries.begin(), listing->entries.end(), probe, EntryLess);
  if (it != listing->entries.end() && it->name == name) listing->entries.erase(it);
}

}  // namespace pelorin
