#include "common/temp_file_name.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pelorin {

namespace {

constexpr std::string_view kPrefix = ".pelorin2-";
constexpr std::string_view kSuffix = ".tmp";
// Names taken by leftovers are passed over; this many in a row means
// something else is wrong.
constexpr int kCreateAttempts = 100;

std::atomic<unsigned long> g_sequence{0};

// getpid is a system call per page; the number is kept, and forgotten in a
// child made by fork, which writes under its own.
std::atomic<long> g_pid{0};

long ProcessId() {
  long pid = g_pid.load(std::memory_order_relaxed);
  if (pid == 0) {
    static const bool forget_in_child =
        ::pthread_atfork(nullptr, nullptr, [] { g_pid.store(0, std::memory_order_relaxed); }) == 0;
    pid = ::getpid();
    if (forget_in_child) g_pid.store(pid, std::memory_order_relaxed);
  }
  return pid;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.size() <= 20 &&
         text.find_first_not_of("0123456789") == std::string_view::npos;
}

// True when the name in dir_fd still leads to the file open at fd: a
// clean-up may have removed the name between its creation and its lock, or
// a run may have renamed it over its page.
bool NameLeadsTo(int dir_fd, const std::string& name, int fd) {
  struct stat by_name;
  struct stat open_file;
  return ::fstatat(dir_fd, name.c_str(), &by_name, AT_SYMLINK_NOFOLLOW) == 0 &&
         ::fstat(fd, &open_file) == 0 && by_name.st_dev == open_file.st_dev &&
         by_name.st_ino == open_file.st_ino;
}

// Takes the lock without waiting. A file system without locks has no live
// files to tell apart: the caller treats that as "held by someone".
bool TryLock(int fd) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

std::string NewTempFileName() {
  std::string name(kPrefix);
  name += std::to_string(ProcessId());
  name += '-';
  name += std::to_string(g_sequence++);
  name += kSuffix;
  return name;
}

long TempFileOwner(std::string_view name) {
  if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) return 0;
  name = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  const std::size_t dash = name.find('-');
  if (dash == std::string_view::npos) return 0;
  const std::string_view pid_text = name.substr(0, dash);
  if (!AllDigits(pid_text) || !AllDigits(name.substr(dash + 1)) || pid_text.size() > 10) return 0;
  long long pid = 0;
  std::from_chars(pid_text.data(), pid_text.data() + pid_text.size(), pid);
  return pid > 0 && pid <= INT_MAX ? static_cast<long>(pid) : 0;
}

UniqueFd CreateTempFile(int dir_fd, mode_t mode, std::string* name, int* error) {
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    *name = NewTempFileName();
    UniqueFd fd(::openat(dir_fd, name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (!fd.valid()) {
      if (errno == EEXIST) continue;
      *error = errno;
      return fd;
    }
    // Between the creation and the lock a clean-up may have taken the file
    // for a leftover; then it is removed or about to be, and a new one is made.
    const bool locked = TryLock(fd.get());
    if ((locked || errno == ENOLCK || errno == EINVAL) && NameLeadsTo(dir_fd, *name, fd.get())) {
      return fd;
    }
  }
  *error = EEXIST;
  return UniqueFd();
}

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

void GiveToFolderOwner(int fd, int dir_fd) {
  struct stat folder;
  if (::geteuid() != 0 || ::fstat(dir_fd, &folder) != 0) return;
  // A file root makes in root's own folder is the folder's owner's already
  // (its group is the folder's when the folder passes it on): no call, which
  // on a share would wait a round trip for every page.
  const bool group_already = folder.st_gid == ::getegid() || (folder.st_mode & S_ISGID) != 0;
  if (folder.st_uid == ::geteuid() && group_already) return;
  // Giving it away is a courtesy to the folder's owner; failing to is no
  // failure of the file.
  if (::fchown(fd, folder.st_uid, folder.st_gid) != 0) return;
}

void RemoveStaleTempFiles(int dir_fd, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    if (TempFileOwner(name) == 0) continue;
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    UniqueFd fd(::openat(dir_fd, name.c_str(), O_RDONLY | flags));
    if (!fd.valid()) fd = UniqueFd(::openat(dir_fd, name.c_str(), O_WRONLY | flags));
    struct stat st;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    // Held while removed, so no run can take the file up in between.
    if (TryLock(fd.get()) && NameLeadsTo(dir_fd, name, fd.get())) {
      ::unlinkat(dir_fd, name.c_str(), 0);
    }
  }
}

}  // namespace pelorin
