#include "cli/terminal_host.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "common/text_routines.h"
#include "engine/run_report.h"

namespace pelorin {

namespace {

volatile sig_atomic_t g_interrupted = 0;  // the signal's number

void OnInterrupt(int signal_number) { g_interrupted = signal_number; }

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
}

bool InterruptRequested() { return g_interrupted != 0; }
int InterruptSignal() { return g_interrupted; }

void OpenWithDesktop(const std::string& path) {
  // Double fork: the opener is adopted by init and never left a zombie.
  const pid_t child = ::fork();
  if (child == 0) {
    ::setsid();
    if (::fork() == 0) {
      ::execlp("xdg-open", "xdg-open", path.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::_exit(0);
  }
  if (child > 0) ::waitpid(child, nullptr, 0);
}

TerminalHost::TerminalHost(TerminalHostOptions options)
    : options_(options), status_on_terminal_(!options.quiet && ::isatty(STDERR_FILENO)) {}

TerminalHost::~TerminalHost() { EndStatus(); }

bool TerminalHost::AskYesNo(const std::string& title, const std::string& text) {
  std::cerr << title << ": " << CrLfToLf(text) << "?\n";
  if (options_.assume_yes) {
    std::cerr << "Going on (--yes).\n";
    return true;
  }
  if (!::isatty(STDIN_FILENO)) {
    std::cerr << "Not confirmed: no terminal to ask; pass --yes to index this folder.\n";
    return false;
  }
  std::cerr << "Continue? [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

void TerminalHost::ShowStatus(const std::string& line) {
  if (!status_on_terminal_) return;
  pending_status_ = line;
  const auto now = std::chrono::steady_clock::now();
  if (status_shown_ && now - last_status_ < std::chrono::milliseconds(100)) return;
  last_status_ = now;
  status_shown_ = true;
  std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
  std::fflush(stderr);
  pending_status_.clear();
}

void TerminalHost::ShowProgress(const RunProgress& progress) {
  if (status_on_terminal_) ShowStatus(ProgressLine(progress));
}

void TerminalHost::FolderDone(const FolderReport& report) {
  if (!options_.verbose) return;
  EndStatus();
  std::cout << FolderLine(report, options_.dry_run) << '\n';
}

void TerminalHost::Yield() {
  if (g_interrupted) stop_.request_stop();
}

void TerminalHost::EndStatus() {
  if (!status_shown_) return;
  if (!pending_status_.empty()) std::fprintf(stderr, "\r%s\x1b[K", pending_status_.c_str());
  std::fputs("\n", stderr);
  status_shown_ = false;
}

}  // namespace pelorin
