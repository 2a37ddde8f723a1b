#include "engine/page_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "common/folder_reader.h"
#include "common/path_routines.h"
#include "common/text_routines.h"

namespace pelorin {

namespace {

// Writes all of page to fd; returns 0 or the errno value of the failed write.
int WriteAll(int fd, const std::string& page, const std::string& folder_path, WriteFaults* faults) {
  std::size_t written = 0;
  while (written < page.size()) {
    std::size_t size = page.size() - written;
    const int fault = faults != nullptr ? faults->OnEachWrite(folder_path, written, &size) : 0;
    if (fault != 0) return fault;
    const ssize_t n = ::write(fd, page.data() + written, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    written += static_cast<std::size_t>(n);
  }
  return 0;
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

// How the new page takes the old one's place.
struct Replacement {
  mode_t mode = 0666;       // the temporary file is created with it
  bool keep_mode = false;   // an existing page's permissions are kept
  bool keep_owner = false;  // and, where the system allows, its owner
  uid_t uid = 0;
  gid_t gid = 0;
};

// Decides from the old page how to replace it. Returns an outcome when there
// is nothing to write (the bytes are the same, or the old page must stay),
// and nullopt when *plan says how to write.
std::optional<WriteOutcome> PlanReplacement(int dir_fd, const std::string& name,
                                            const std::string& page, const ExistingPage& old,
                                            Replacement* plan, std::string* error) {
  if (old.error != 0) {
    *error = ErrnoText(old.error);
    return WriteOutcome::kFailed;
  }
  if (!old.exists) return std::nullopt;
  const struct stat& st = old.st;
  if (S_ISDIR(st.st_mode)) {
    *error = ErrnoText(EISDIR);
    return WriteOutcome::kFailed;
  }
  if (S_ISLNK(st.st_mode)) return std::nullopt;  // a link is replaced, not followed
  // A FIFO, socket or device under the page's name is someone's, not a page.
  if (!S_ISREG(st.st_mode)) {
    *error = "not a regular file";
    return WriteOutcome::kFailed;
  }
  if (static_cast<std::size_t>(st.st_size) == page.size() && SameContent(dir_fd, name, page)) {
    return WriteOutcome::kUnchanged;
  }
  // A page the user made read-only is kept, as overwriting it in place would;
  // also when root runs the job, whom the access check lets write anything.
  if ((st.st_mode & 0222) == 0) {
    *error = ErrnoText(EACCES);
    return WriteOutcome::kFailed;
  }
  if (::faccessat(dir_fd, name.c_str(), W_OK, AT_EACCESS) != 0) {
    *error = ErrnoText(errno);
    return WriteOutcome::kFailed;
  }
  plan->mode = st.st_mode & 07777;
  plan->keep_mode = true;
  plan->keep_owner = st.st_uid != ::geteuid() || st.st_gid != ::getegid();
  plan->uid = st.st_uid;
  plan->gid = st.st_gid;
  return std::nullopt;
}

// Writes page into the new temporary file fd, gives it the old page's owner
// and permissions, and closes fd (its lock stays with another descriptor).
// Returns 0 or the errno value of the failure.
int FillTempFile(UniqueFd fd, int dir_fd, const std::string& page, const Replacement& plan,
                 const std::string& folder_path, WriteFaults* faults) {
  int error_number = faults != nullptr ? faults->BeforeWrite(folder_path) : 0;
  if (error_number == 0) error_number = WriteAll(fd.get(), page, folder_path, faults);
  if (error_number != 0) return error_number;
  // A page replaced by root (a cron job, say) stays its owner's, so the owner
  // can still edit or remove it. Only root may give a file away; for anyone
  // else the page becomes theirs, and that is no failure.
  if (plan.keep_owner) {
    const bool given = ::fchown(fd.get(), plan.uid, plan.gid) == 0 ||
                       ::fchown(fd.get(), static_cast<uid_t>(-1), plan.gid) == 0;
    static_cast<void>(given);
  } else if (!plan.keep_mode) {
    GiveToFolderOwner(fd.get(), dir_fd);  // a new page, as every file root creates
  }
  // An existing page keeps its permissions; a new one gets the umask's. The
  // file was created with the old page's mode, so only bits the umask took
  // away (or special bits) need setting again.
  const int umask = CurrentUmask();
  const bool mode_already_right =
      umask >= 0 && (plan.mode & 07000) == 0 && (plan.mode & umask) == 0;
  if (plan.keep_mode && !mode_already_right && ::fchmod(fd.get(), plan.mode) != 0) return errno;
  if (::close(fd.release()) != 0) return errno;
  return 0;
}

int RenameOver(int dir_fd, const std::string& temp, const std::string& name,
               const std::string& folder_path, WriteFaults* faults) {
  const int fault = faults != nullptr ? faults->OnRename(folder_path) : 0;
  if (fault != 0) return fault;
  return ::renameat(dir_fd, temp.c_str(), dir_fd, name.c_str()) == 0 ? 0 : errno;
}

}  // namespace

ExistingPage LookUpPage(int dir_fd, const std::string& name) {
  ExistingPage page;
  page.exists = ::fstatat(dir_fd, name.c_str(), &page.st, AT_SYMLINK_NOFOLLOW) == 0;
  if (!page.exists && errno != ENOENT) page.error = errno;
  return page;
}

WriteOutcome PreviewPage(int dir_fd, const std::string& name, const std::string& page,
                         const ExistingPage& existing, std::string* error) {
  if (!IsPlainFileName(name)) {
    *error = "not a plain file name";
    return WriteOutcome::kFailed;
  }
  Replacement plan;
  if (const auto outcome = PlanReplacement(dir_fd, name, page, existing, &plan, error)) {
    return *outcome;
  }
  return WriteOutcome::kWritten;
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
  if (const int fault = faults != nullptr ? faults->OnLookUp(folder_path) : 0; fault != 0) {
    looked_up = ExistingPage();
    looked_up.error = fault;
    existing = &looked_up;
  }
  Replacement plan;
  if (const auto outcome = PlanReplacement(dir_fd, name, page, *existing, &plan, error)) {
    return *outcome;
  }

  std::string temp;
  int error_number = 0;
  UniqueFd fd = CreateTempFile(dir_fd, plan.mode, &temp, &error_number);
  if (!fd.valid()) {
    *error = ErrnoText(error_number);
    return WriteOutcome::kFailed;
  }
  // The write descriptor is closed before the rename, so that an error the
  // close reports keeps the old page; the lock that tells other runs the
  // file is live stays with this one until the name is gone.
  const UniqueFd lock(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
  if (!lock.valid()) error_number = errno;
  if (error_number == 0)
    error_number = FillTempFile(std::move(fd), dir_fd, page, plan, folder_path, faults);
  if (error_number == 0) error_number = RenameOver(dir_fd, temp, name, folder_path, faults);
  if (error_number != 0) {
    ::unlinkat(dir_fd, temp.c_str(), 0);
    *error = ErrnoText(error_number);
    return WriteOutcome::kFailed;
  }
  return WriteOutcome::kWritten;
}

}  // namespace pelorin
