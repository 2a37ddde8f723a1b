#include "engine/page_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/code_library.h"
#include "common/folder_reader.h"

namespace pelorin {

namespace {

bool WriteAll(int fd, const char* data, std::size_t size, int* error_number) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error_number = errno;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// True when the file at name holds exactly these bytes. The size is already
// known to match, so a read that comes back short of what was asked for is
// the end of the file: a page smaller than the buffer takes one read.
bool SameContent(int dir_fd, const std::string& name, const std::string& page) {
  // Reading the old page is not a use of it: where the system allows it (to
  // the file's owner) its access time is left alone, which also spares the
  // file system an inode update per page.
  const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  UniqueFd fd(::openat(dir_fd, name.c_str(), flags | O_NOATIME));
  if (!fd.valid() && errno == EPERM) fd = UniqueFd(::openat(dir_fd, name.c_str(), flags));
  if (!fd.valid()) return false;
  char buffer[65536];
  std::size_t offset = 0;
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    const auto count = static_cast<std::size_t>(n);
    if (offset + count > page.size() || std::memcmp(buffer, page.data() + offset, count) != 0) {
      return false;
    }
    offset += count;
    if (offset == page.size() && count < sizeof buffer) break;
  }
  return offset == page.size();
}

// The process's umask, read without changing it (umask(2) can only set it,
// which would race with threads creating files). -1 when unknown.
int CurrentUmask() {
  static const int mask = [] {
    FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr) return -1;
    char line[256];
    int value = -1;
    while (std::fgets(line, sizeof line, status) != nullptr) {
      if (std::strncmp(line, "Umask:", 6) == 0) {
        value = static_cast<int>(std::strtol(line + 6, nullptr, 8));
        break;
      }
    }
    std::fclose(status);
    return value;
  }();
  return mask;
}

}  // namespace

ExistingPage LookUpPage(int dir_fd, const std::string& name) {
  ExistingPage page;
  page.exists = ::fstatat(dir_fd, name.c_str(), &page.st, AT_SYMLINK_NOFOLLOW) == 0;
  return page;
}

WriteOutcome WritePage(int dir_fd, const std::string& folder_path, const std::string& name,
                       const std::string& page, std::string* error, WriteFaults* faults,
                       const ExistingPage* existing) {
  // A name with a separator would put the page in another folder, or
  // outside the tree altogether.
  if (!IsPlainFileName(name)) {
    *error = "not a plain file name";
    return WriteOutcome::kFailed;
  }
  ExistingPage looked_up;
  if (existing == nullptr) {
    looked_up = LookUpPage(dir_fd, name);
    existing = &looked_up;
  }
  mode_t mode = 0666;
  bool keep_mode = false;
  bool keep_owner = false;
  if (existing->exists) {
    const struct stat& st = existing->st;
    if (S_ISDIR(st.st_mode)) {
      *error = ErrnoText(EISDIR);
      return WriteOutcome::kFailed;
    }
    if (S_ISREG(st.st_mode)) {
      if (static_cast<std::size_t>(st.st_size) == page.size() && SameContent(dir_fd, name, page)) {
        return WriteOutcome::kUnchanged;
      }
      // A page the user made read-only is kept, as overwriting it in place would.
      if (::faccessat(dir_fd, name.c_str(), W_OK, AT_EACCESS) != 0) {
        *error = ErrnoText(errno);
        return WriteOutcome::kFailed;
      }
      mode = st.st_mode & 07777;
      keep_mode = true;
      keep_owner = st.st_uid != ::geteuid() || st.st_gid != ::getegid();
    }
  }

  const std::string temp = NewTempFileName();
  UniqueFd fd(::openat(dir_fd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (!fd.valid()) {
    *error = ErrnoText(errno);
    return WriteOutcome::kFailed;
  }
  int error_number = faults != nullptr ? faults->BeforeWrite(folder_path) : 0;
  bool ok = error_number == 0 && WriteAll(fd.get(), page.data(), page.size(), &error_number);
  // A page replaced by root (a cron job, say) stays its owner's, so the owner
  // can still edit or remove it. Only root may give a file away; for anyone
  // else the page becomes theirs, as it always did, and that is no failure.
  if (ok && keep_owner) {
    const struct stat& st = existing->st;
    const bool given = ::fchown(fd.get(), st.st_uid, st.st_gid) == 0 ||
                       ::fchown(fd.get(), static_cast<uid_t>(-1), st.st_gid) == 0;
    static_cast<void>(given);
  }
  // An existing page keeps its permissions; a new one gets the umask's. The
  // file was created with the old page's mode, so only bits the umask took
  // away (or special bits) need setting again.
  const int umask = CurrentUmask();
  const bool mode_already_right = umask >= 0 && (mode & 07000) == 0 && (mode & umask) == 0;
  if (ok && keep_mode && !mode_already_right && ::fchmod(fd.get(), mode) != 0) {
    error_number = errno, ok = false;
  }
  if (ok && ::close(fd.release()) != 0) error_number = errno, ok = false;
  if (ok && ::renameat(dir_fd, temp.c_str(), dir_fd, name.c_str()) != 0) {
    error_number = errno, ok = false;
  }
  if (!ok) {
    ::unlinkat(dir_fd, temp.c_str(), 0);
    *error = ErrnoText(error_number);
    return WriteOutcome::kFailed;
  }
  return WriteOutcome::kWritten;
}

}  // namespace pelorin
