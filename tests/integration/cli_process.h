// Runs pelorin2-cli (or another program) in a child process the way a fault
// needs it: as an ordinary user, under a file-size limit, with the fault shim
// preloaded. Captures the exit status and both output streams.
#pragma once

#include <string>
#include <vector>

namespace pelorin::testing {

struct ProcessResult {
  int exit_code = -1;  // -1 when killed by a signal
  int signal = 0;      // the signal that ended it, or 0
  bool timed_out = false;
  std::string out;
  std::string err;
  // Everything, for failure messages.
  std::string Describe() const;
};

struct ProcessOptions {
  bool unprivileged = false;       // drop to the unprivileged user first
  long long file_size_limit = -1;  // RLIMIT_FSIZE in bytes; -1 leaves it
  std::vector<std::string> env;    // extra NAME=VALUE entries
  int timeout_seconds = 600;
};

// Runs program with args (argv[0] is added) and waits for it.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// The pelorin2-cli of this build.
const std::string& CliPath();
ProcessResult RunCli(const std::vector<std::string>& args, const ProcessOptions& options = {});

// What the fault shim does, and after how many completed page writes.
// kKill and kInterrupt act just before the n-th page is renamed into place
// (its temporary file is complete); kUnlink, kRevokeRead and kSwapForLink
// (path moved aside, a link to target in its place) act on `path` just after
// the n-th page is in place.
enum class FaultAction { kKill, kInterrupt, kUnlink, kRevokeRead, kSwapForLink };
// Environment entries that load the shim into the child.
std::vector<std::string> FaultShimEnv(FaultAction action, int page, const std::string& path = {},
                                      const std::string& target = {});

}  // namespace pelorin::testing
