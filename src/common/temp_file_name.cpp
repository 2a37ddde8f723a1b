#include "common/temp_file_name.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>

namespace pelorin {

namespace {

constexpr std::string_view kPrefix = ".pelorin2-";
constexpr std::string_view kSuffix = ".tmp";

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

void RemoveStaleTempFiles(int dir_fd, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const long pid = TempFileOwner(name);
    if (pid == 0) continue;
    if (pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      ::unlinkat(dir_fd, name.c_str(), 0);
    }
  }
}

}  // namespace pelorin
