// Runs pelorin2-cli (or another program) in a child process as a user or a
// fault needs it: stdin from /dev/null (no terminal, so no question is ever
// answered yes), optionally as an ordinary user, under a file-size limit, with
// extra environment or another HOME, ended after a timeout. Captures the exit
// status and both output streams.
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
  std::string home;                // HOME for the child; empty leaves it
  int timeout_seconds = 600;       // then the child's process group is killed
  std::string stdout_file;         // the child writes its stdout here (not captured)
};

// Runs program with args (argv[0] is added) and waits for it.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// The pelorin2-cli of this build.
const std::string& CliPath();
// Runs pelorin2-cli; a sanitizer report on its stderr fails the test.
ProcessResult RunCli(const std::vector<std::string>& args, const ProcessOptions& options = {});

}  // namespace pelorin::testing
