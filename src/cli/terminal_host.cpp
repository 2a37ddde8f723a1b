#include "cli/terminal_host.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
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

TerminalHost::TerminalHost(TerminalHostOptions options, std::istream& in, std::ostream& err,
                           std::ostream* folders)
    : options_(options), in_(in), err_(err), folders_(folders) {}

TerminalHost::~TerminalHost() { EndStatus(); }

// The question's text ends with its question ("Continue?"); the answer
// goes on the same line.
bool TerminalHost::AskYesNo(const std::string& /*title*/, const std::string& text) {
  err_ << CrLfToLf(text);
  if (options_.assume_yes) {
    err_ << " yes (--yes)\n";
    return true;
  }
  if (!options_.can_ask) {
    err_ << " no: there is no terminal to ask; pass --yes to index this folder\n";
    return false;
  }
  err_ << " [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(in_, answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

void TerminalHost::RunStarting() { started_ = std::chrono::steady_clock::now(); }

void TerminalHost::ShowProgress(const RunProgress& progress) {
  if (!options_.show_status) return;
  pending_ = progress;
  status_pending_ = true;
  const auto now = std::chrono::steady_clock::now();
  if (status_shown_ && now - last_status_ < std::chrono::milliseconds(100)) return;
  last_status_ = now;
  WriteStatus(progress);
  status_pending_ = false;
}

void TerminalHost::WriteStatus(const RunProgress& progress) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  err_ << '\r' << TimedProgressLine(progress, seconds) << "\x1b[K" << std::flush;
  status_shown_ = true;
}

void TerminalHost::FolderDone(const FolderReport& report) {
  if (folders_ == nullptr) return;
  EndStatus();
  *folders_ << FolderLine(report, options_.dry_run) << '\n';
}

void TerminalHost::Yield() {
  if (g_interrupted) stop_.request_stop();
}

void TerminalHost::EndStatus() {
  if (!status_shown_) return;
  if (status_pending_) WriteStatus(pending_);
  status_pending_ = false;
  err_ << '\n' << std::flush;
  status_shown_ = false;
}

}  // namespace pelorin
