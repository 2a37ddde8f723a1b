// The command-line front end as a function: the arguments, the streams and
// the way to the settings come in, the exit status goes out. main() passes
// the process's own; tests pass string streams and a memory store.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "settings/settings_lock.h"
#include "settings/settings_store.h"

namespace pelorin {

class ThumbnailMaker;

// Exit status: 0 done, 1 some folders or pictures failed, 2 usage, options
// or settings error, 3 the risky-folder warning was declined; a run stopped
// by a signal gives 128 plus its number.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailures = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDeclined = 3;
inline constexpr int kExitSignalBase = 128;

// An open settings store. The lock, when there is one, keeps other
// commands from changing the file between this command's read and its
// write; it is declared first so that it goes last.
struct OpenedSettings {
  std::unique_ptr<SettingsLock> lock;
  std::unique_ptr<SettingsStore> store;
  std::string file;  // for messages
};

// Opens the store that --settings FILE names (empty: the per-user store);
// false with a reason when it cannot be read.
using SettingsOpener =
    std::function<bool(const std::string& file, OpenedSettings* opened, std::string* error)>;

struct CliEnvironment {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool in_is_terminal = false;   // the risky-folder warning can be answered
  bool err_is_terminal = false;  // the status line is shown
  SettingsOpener open_settings;
  std::string installation_folder;            // where the first-run templates are
  ThumbnailMaker* thumbnail_maker = nullptr;  // none: no thumbnail is made
  // Ctrl-C, SIGTERM and SIGHUP stop a run (the process's handlers change).
  bool stop_on_signals = false;
};

// args: the words after the program's name.
int RunCli(const std::vector<std::string>& args, CliEnvironment& environment);

}  // namespace pelorin
