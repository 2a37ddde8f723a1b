#include "engine/page_writer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <string_view>

#include "common/code_library.h"
#include "common/folder_reader.h"

namespace pelorin {

namespace {

std::atomic<unsigned long> g_sequence{0};

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

// True when the file at name holds exactly these bytes.
bool SameContent(int dir_fd, const std::string& name, const struct stat& st,
                 const std::string& page) {
  if (static_cast<std::size_t>(st.st_size) != page.size()) return false;
  UniqueFd fd(::openat(dir_fd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
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
  }
  return offset == page.size();
}

}  // namespace

std::string TempFileName(long pid, unsigned long sequence) {
  return ".pelorin2-" + std::to_string(pid) + "-" + std::to_string(sequence) + ".tmp";
}

WriteOutcome WritePage(int dir_fd, const std::string& folder_path, const std::string& name,
                       const std::string& page, std::string* error, WriteFaults* faults) {
  // A name with a separator would put the page in another folder, or
  // outside the tree altogether.
  if (!IsPlainFileName(name)) {
    *error = "not a plain file name";
    return WriteOutcome::kFailed;
  }
  struct stat existing;
  const bool exists = ::fstatat(dir_fd, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
  mode_t mode = 0666;
  if (exists) {
    if (S_ISDIR(existing.st_mode)) {
      *error = ErrnoText(EISDIR);
      return WriteOutcome::kFailed;
    }
    if (S_ISREG(existing.st_mode)) {
      if (SameContent(dir_fd, name, existing, page)) return WriteOutcome::kUnchanged;
      // A page the user made read-only is kept, as overwriting it in place would.
      if (::faccessat(dir_fd, name.c_str(), W_OK, AT_EACCESS) != 0) {
        *error = ErrnoText(errno);
        return WriteOutcome::kFailed;
      }
      mode = existing.st_mode & 07777;
    }
  }

  const std::string temp = TempFileName(static_cast<long>(::getpid()), g_sequence++);
  UniqueFd fd(::openat(dir_fd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (!fd.valid()) {
    *error = ErrnoText(errno);
    return WriteOutcome::kFailed;
  }
  int error_number = faults != nullptr ? faults->BeforeWrite(folder_path) : 0;
  bool ok = error_number == 0 && WriteAll(fd.get(), page.data(), page.size(), &error_number);
  // An existing page keeps its permissions; a new one gets the umask's.
  if (ok && exists && ::fchmod(fd.get(), mode) != 0) error_number = errno, ok = false;
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

namespace {

// The process number in a name exactly of the form TempFileName makes, or 0.
long PidOfTempFile(const std::string& name) {
  constexpr std::string_view kPrefix = ".pelorin2-";
  constexpr std::string_view kSuffix = ".tmp";
  std::string_view rest(name);
  if (!rest.starts_with(kPrefix) || !rest.ends_with(kSuffix)) return 0;
  rest = rest.substr(kPrefix.size(), rest.size() - kPrefix.size() - kSuffix.size());
  const std::size_t dash = rest.find('-');
  if (dash == std::string_view::npos) return 0;
  const std::string_view pid_text = rest.substr(0, dash);
  const std::string_view sequence = rest.substr(dash + 1);
  const auto all_digits = [](std::string_view text) {
    return !text.empty() && text.size() <= 20 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!all_digits(pid_text) || !all_digits(sequence) || pid_text.size() > 10) return 0;
  long long pid = 0;
  std::from_chars(pid_text.data(), pid_text.data() + pid_text.size(), pid);
  return pid > 0 && pid <= INT_MAX ? static_cast<long>(pid) : 0;
}

}  // namespace

void RemoveStaleTempFiles(int dir_fd, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const long pid = PidOfTempFile(name);
    if (pid == 0) continue;
    if (pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      ::unlinkat(dir_fd, name.c_str(), 0);
    }
  }
}

}  // namespace pelorin
