#include "support/latency_mount.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

extern char** environ;

namespace pelorin::testing {

namespace {

constexpr long kFuseMagic = 0x65735546;

bool IsFuse(const std::string& path) {
  struct statfs st;
  return ::statfs(path.c_str(), &st) == 0 && st.f_type == kFuseMagic;
}

}  // namespace

LatencyMount::LatencyMount(const std::string& source, const std::string& mount_point,
                           unsigned delay_us, unsigned jitter_us) {
  const std::string shim = PELORIN_LATENCY_FS;
  if (shim.empty() || ::access("/dev/fuse", R_OK | W_OK) != 0) {
    why_not_ = "FUSE or bench/latency_fs is not available";
    return;
  }
  std::vector<std::string> args = {shim,
                                   source,
                                   mount_point,
                                   "--delay-us=" + std::to_string(delay_us),
                                   "--jitter-us=" + std::to_string(jitter_us),
                                   "-f"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  if (::posix_spawn(&pid_, shim.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    pid_ = -1;
    why_not_ = "cannot start " + shim;
    return;
  }
  for (int i = 0; i < 100 && !mounted_; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    mounted_ = IsFuse(mount_point);
    int status;
    if (!mounted_ && ::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      break;
    }
  }
  if (!mounted_) why_not_ = "FUSE refused to mount " + mount_point;
}

// On SIGTERM the file system unmounts itself and ends.
LatencyMount::~LatencyMount() {
  if (pid_ < 0) return;
  ::kill(pid_, SIGTERM);
  int status;
  ::waitpid(pid_, &status, 0);
}

}  // namespace pelorin::testing
