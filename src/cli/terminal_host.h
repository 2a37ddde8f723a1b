// The run's host on the command line: a [y/N] question on a terminal, a
// throttled status line with the time and rate on a terminal's stderr,
// Ctrl-C, SIGTERM and SIGHUP as a stop request.
#pragma once

#include <chrono>
#include <iosfwd>
#include <stop_token>
#include <string>

#include "engine/run_host.h"

namespace pelorin {

struct TerminalHostOptions {
  bool assume_yes = false;   // --yes
  bool can_ask = false;      // standard input is a terminal
  bool show_status = false;  // standard error is a terminal and --quiet is off
  bool dry_run = false;      // the run writes nothing; its folder lines say so
};

class TerminalHost : public RunHost {
 public:
  // Questions are read from in; questions and the status line go to err;
  // a line per finished folder to folders, when given (--verbose).
  TerminalHost(TerminalHostOptions options, std::istream& in, std::ostream& err,
               std::ostream* folders = nullptr);
  ~TerminalHost() override;

  // Stopped by Ctrl-C, SIGTERM and SIGHUP, seen while the run yields.
  std::stop_token stop_token() const { return stop_.get_token(); }

  bool AskYesNo(const std::string& title, const std::string& text) override;
  void ShowProgress(const RunProgress& progress) override;
  void Yield() override;
  bool WantsFolderReports() const override { return folders_ != nullptr; }
  void FolderDone(const FolderReport& report) override;
  void RunStarting() override;

  // Ends the status line so later output starts on a fresh line.
  void EndStatus();

 private:
  void WriteStatus(const RunProgress& progress);

  TerminalHostOptions options_;
  std::istream& in_;
  std::ostream& err_;
  std::ostream* folders_;
  std::stop_source stop_;
  bool status_shown_ = false;
  bool status_pending_ = false;
  RunProgress pending_;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_status_{};
};

// Installs the handler that turns Ctrl-C (SIGINT), SIGTERM and SIGHUP into
// a stop request; a second one ends the program at once.
void InstallInterruptHandler();
bool InterruptRequested();
// The signal that asked for the stop, or 0.
int InterruptSignal();

// Starts the desktop's opener on path and does not wait for it.
void OpenWithDesktop(const std::string& path);

}  // namespace pelorin
