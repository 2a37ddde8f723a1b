// The run's host on the command line: a [y/N] question on a terminal, a
// throttled status line on stderr, Ctrl-C, SIGTERM and SIGHUP as a stop
// request.
#pragma once

#include <chrono>
#include <stop_token>
#include <string>

#include "engine/run_host.h"

namespace pelorin {

struct TerminalHostOptions {
  bool assume_yes = false;
  bool quiet = false;
  bool verbose = false;  // a line per folder on standard output
  bool dry_run = false;  // the run writes nothing; its lines say so
};

class TerminalHost : public RunHost {
 public:
  explicit TerminalHost(TerminalHostOptions options);
  ~TerminalHost() override;

  // Stopped by Ctrl-C, SIGTERM and SIGHUP, seen while the run yields.
  std::stop_token stop_token() const { return stop_.get_token(); }

  bool AskYesNo(const std::string& title, const std::string& text) override;
  void ShowProgress(const RunProgress& progress) override;
  void Yield() override;
  void FolderDone(const FolderReport& report) override;

  // Ends the status line so later output starts on a fresh line.
  void EndStatus();

 private:
  void ShowStatus(const std::string& line);

  TerminalHostOptions options_;
  std::stop_source stop_;
  bool status_on_terminal_;
  bool status_shown_ = false;
  std::string pending_status_;
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
