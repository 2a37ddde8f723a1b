// Preloaded into pelorin2-cli by the fault tests (LD_PRELOAD) to make a fault
// happen at an exact point of a run: it watches the renames that put a
// finished page in place and acts at the n-th one.
//   PELORIN_FAULT_ACTION  kill | interrupt    just before the n-th page's rename
//                                (interrupt: PELORIN_FAULT_SIGNAL, SIGINT if unset)
//                         unlink | revoke-read  on PELORIN_FAULT_PATH just after it
//                         swap   PELORIN_FAULT_PATH moved aside and replaced by a
//                                link to PELORIN_FAULT_TARGET, just after it
//   PELORIN_FAULT_PAGE    n, counted from 1
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using RenameAt = int (*)(int, const char*, int, const char*);

std::atomic<int> g_pages{0};

bool IsPageTemp(const char* name) {
  const char* base = std::strrchr(name, '/');
  base = base != nullptr ? base + 1 : name;
  return std::strncmp(base, ".pelorin2-", 10) == 0;
}

const char* Setting(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

extern "C" int renameat(int old_dir, const char* old_name, int new_dir, const char* new_name) {
  static const RenameAt real = reinterpret_cast<RenameAt>(::dlsym(RTLD_NEXT, "renameat"));
  if (!IsPageTemp(old_name)) return real(old_dir, old_name, new_dir, new_name);

  const int page = ++g_pages;
  const int target = std::atoi(Setting("PELORIN_FAULT_PAGE"));
  const char* action = Setting("PELORIN_FAULT_ACTION");
  const bool here = page == target;
  if (here && std::strcmp(action, "kill") == 0) ::kill(::getpid(), SIGKILL);
  if (here && std::strcmp(action, "interrupt") == 0) {
    const int signal_number = std::atoi(Setting("PELORIN_FAULT_SIGNAL"));
    ::kill(::getpid(), signal_number != 0 ? signal_number : SIGINT);
  }

  const int result = real(old_dir, old_name, new_dir, new_name);
  const int saved_errno = errno;
  if (here && std::strcmp(action, "unlink") == 0) ::unlink(Setting("PELORIN_FAULT_PATH"));
  if (here && std::strcmp(action, "revoke-read") == 0) ::chmod(Setting("PELORIN_FAULT_PATH"), 0);
  if (here && std::strcmp(action, "swap") == 0) {
    const std::string path = Setting("PELORIN_FAULT_PATH");
    ::rename(path.c_str(), (path + ".moved").c_str());
    ::symlink(Setting("PELORIN_FAULT_TARGET"), path.c_str());
  }
  errno = saved_errno;
  return result;
}
