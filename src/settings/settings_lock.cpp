#include "settings/settings_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace pelorin {

namespace {

int OpenLockFile(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

}  // namespace

// Hidden, and not the "<file>.lock" that QSettings itself takes while it
// writes: this lock is held across the read as well, and a lock file
// QSettings finds already there would make it wait for it to go stale.
SettingsLock::SettingsLock(const std::string& settings_file) {
  // A folder, FIFO or device is nobody's settings: it is refused unread and
  // gets no lock file beside it.
  struct stat st;
  if (::stat(settings_file.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return;
  const std::string::size_type slash = settings_file.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : settings_file.substr(0, slash + 1);
  const std::string path = folder + "." + settings_file.substr(folder.size()) + ".lock";
  fd_ = OpenLockFile(path);
  if (fd_ < 0 && errno == ENOENT) {
    // A new per-user store: its folder is made now rather than at the first
    // write, so the first two commands take turns too.
    if (folder.size() > 1) {
      std::error_code ignored;
      std::filesystem::create_directories(folder, ignored);
      fd_ = OpenLockFile(path);
    }
  }
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
}

SettingsLock::~SettingsLock() {
  if (fd_ >= 0) ::close(fd_);  // closing drops the lock
}

}  // namespace pelorin
