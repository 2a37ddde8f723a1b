// The run's host on the command line: a [y/N] question on a terminal, a
// throttled status line with the time and rate on a terminal's stderr,
// Ctrl-C, SIGTERM and SIGHUP as a stop request.
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>

#include "engine/run_host.h"

namespace pelorin {

class IndexCommand;

struct TerminalHostOptions {
  bool assume_yes = false;   // --yes
  bool can_ask = false;      // standard input is a terminal
  bool show_status = false;  // standard error is a terminal and --quiet is off
};

class TerminalHost : public RunHost {
 public:
  // Questions are read from in; questions and the status line go to err.
  TerminalHost(TerminalHostOptions options, std::istream& in, std::ostream& err);
  ~TerminalHost() override;

  // The command Ctrl-C stops and whose folders the status line counts.
  void set_command(IndexCommand* command) { command_ = command; }

  bool AskYesNo(const std::string& title, const std::string& text) override;
  void ShowStatus(const std::string& line) override;
  void Yield() override;
  void OpenDocument(const std::string& path) override;
  void RunStarting() override;

  // Ends the status line so later output starts on a fresh line.
  void EndStatus();

 private:
  void WriteStatus(const std::string& line);

  TerminalHostOptions options_;
  std::istream& in_;
  std::ostream& err_;
  IndexCommand* command_ = nullptr;
  bool status_shown_ = false;
  std::string pending_status_;
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
