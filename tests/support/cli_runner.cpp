#include "support/cli_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "support/unprivileged.h"

namespace pelorin::testing {

namespace {

constexpr int kCannotDrop = 120;
constexpr int kCannotExec = 121;

}  // namespace

std::string ProcessResult::Describe() const {
  std::string text = "exit code " + std::to_string(exit_code);
  if (signal != 0) text += ", signal " + std::to_string(signal);
  if (timed_out) text += ", timed out";
  text += "\n--- stdout ---\n" + out.substr(0, 4000) + "\n--- stderr ---\n" + err.substr(0, 4000);
  return text;
}

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
  ProcessResult result;
  int out_pipe[2];
  int err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) {
    result.err = "pipe failed";
    return result;
  }
  std::vector<std::string> argv_text;
  argv_text.push_back(program);
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argv_text) argv.push_back(arg.data());
  argv.push_back(nullptr);

  const pid_t child = ::fork();
  if (child < 0) {
    result.err = "fork failed";
    return result;
  }
  if (child == 0) {
    ::setpgid(0, 0);  // the whole group can be ended on a timeout
    ::dup2(out_pipe[1], STDOUT_FILENO);
    if (!options.stdout_file.empty()) {
      const int out_fd = ::open(options.stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out_fd >= 0) ::dup2(out_fd, STDOUT_FILENO);
    }
    ::dup2(err_pipe[1], STDERR_FILENO);
    const int null_fd = ::open("/dev/null", O_RDONLY);
    if (null_fd >= 0) ::dup2(null_fd, STDIN_FILENO);
    ::signal(SIGPIPE, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    ::signal(SIGXFSZ, SIG_DFL);
    if (options.file_size_limit >= 0) {
      const rlimit limit{static_cast<rlim_t>(options.file_size_limit),
                         static_cast<rlim_t>(options.file_size_limit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.unprivileged && ::geteuid() == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(UnprivilegedGid()) != 0 ||
          ::setuid(UnprivilegedUid()) != 0 || ::setuid(0) == 0) {
        ::_exit(kCannotDrop);
      }
    }
    if (!options.home.empty()) ::setenv("HOME", options.home.c_str(), 1);
    for (const std::string& entry : options.env) {
      const std::size_t eq = entry.find('=');
      ::setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(kCannotExec);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);

  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  char buffer[65536];
  while (open_count > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timed_out = true;
      ::kill(-child, SIGKILL);
      break;
    }
    if (::poll(fds, 2, static_cast<int>(left.count())) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  for (pollfd& fd : fds) {
    if (fd.fd >= 0) ::close(fd.fd);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
    if (result.exit_code == kCannotDrop) result.err += "\n[could not drop privileges]";
    if (result.exit_code == kCannotExec) result.err += "\n[could not start " + program + "]";
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  return result;
}

const std::string& CliPath() {
  static const std::string path = PELORIN_CLI_PATH;
  return path;
}

ProcessResult RunCli(const std::vector<std::string>& args, const ProcessOptions& options) {
  ProcessResult result = RunProgram(CliPath(), args, options);
  // In a sanitizer build a report may end a run whose exit status a case
  // expects to be 1 anyway; the report itself is the failure.
  for (const char* mark : {"Sanitizer", "runtime error:"}) {
    if (result.err.find(mark) != std::string::npos) {
      ADD_FAILURE() << "sanitizer report from pelorin2-cli:\n" << result.err;
      break;
    }
  }
  return result;
}

}  // namespace pelorin::testing
