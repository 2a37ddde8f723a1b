#include "cli/cli_app.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/terminal_host.h"
#include "common/folder_reader.h"
#include "common/html_text.h"
#include "common/install_paths.h"
#include "common/version.h"
#include "engine/create_index.h"
#include "engine/index_run.h"
#include "settings/option_keys.h"
#include "settings/options_check.h"
#include "settings/qt_settings_store.h"

namespace pelorin {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailures = 1;
constexpr int kExitUsage = 2;
constexpr int kExitDeclined = 3;
// The shell's convention for a program ended by Ctrl-C, so scripts can tell
// a stopped run from a complete one.
constexpr int kExitInterrupted = 130;

constexpr char kHelp[] = R"(Usage: pelorin2-cli [--settings FILE] COMMAND [ARGUMENTS]

Writes an index page into every folder of a tree, made from an HTML template.

Commands:
  index [--yes] [--quiet] [--open] [--jobs N] FOLDER
                      Write the index page of FOLDER and of every folder below
                      it. The options are checked first. For a risky folder
                      (/, /home, your home or documents folder, system folders)
                      a warning asks [y/N] on a terminal.
      --yes           answer yes to that warning (needed without a terminal)
      --quiet         no status line while the run goes on
      --open          open the top page with the desktop's opener when done
      --jobs N        write pages on N threads (default 1); pages are the same
  check               Check that the stored options allow a run.
  options list        Print every option as KEY=VALUE (CR and LF as \r, \n).
  options get KEY     Print the stored value of KEY.
  options set KEY VALUE
                      Store VALUE under KEY.
  options reset       Store every option's first-run value, as the first
                      opening of the options window does.

Global options:
  --settings FILE     Use this INI file instead of the per-user store
                      (~/.config/Pelorin2/Pelorin2.conf, or under
                      $XDG_CONFIG_HOME).
  --help              Show this help.
  --version           Show the version.

Exit status: 0 done; 1 some folders failed (each is listed as "folder: reason");
2 usage, options or settings error; 3 the warning was declined; 130 the run
was stopped by Ctrl-C.
Ctrl-C stops a run after the folder being written; the summary is still printed.
)";

int UsageError(const std::string& message) {
  std::cerr << "pelorin2-cli: " << message << "\nTry 'pelorin2-cli --help'.\n";
  return kExitUsage;
}

int Error(const std::string& message) {
  std::cerr << "pelorin2-cli: " << message << "\n";
  return kExitUsage;
}

std::string ShowLineBreaks(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string KeyList() {
  std::string list;
  for (const OptionKey& key : OptionKeys()) {
    if (!list.empty()) list += ", ";
    list += key.key;
  }
  return list;
}

// Anyone who can create a folder chooses its name: control bytes (a line
// feed, a terminal escape) and C1 controls are shown as \xNN, and so is a
// backslash, so a failure stays one inert, unambiguous line.
std::string Printable(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const bool utf8 = IsValidUtf8(text);
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const bool c1 = utf8 && b == 0xC2 && i + 1 < text.size() &&
                    static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (b < 0x20 || b == 0x7F || b == '\\' || (!utf8 && b >= 0x80) || c1) {
      const int count = c1 ? 2 : 1;
      for (int k = 0; k < count; ++k) {
        const auto byte = static_cast<unsigned char>(text[i + k]);
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
      }
      i += count - 1;
    } else {
      out += text[i];
    }
  }
  return out;
}

int FlushOrFail(SettingsStore& store) {
  std::string error;
  if (!store.Flush(&error)) return Error(error);
  return kExitOk;
}

int OptionsCommand(SettingsStore& store, const std::vector<std::string>& args) {
  if (args.empty()) return UsageError("options needs list, get, set or reset");
  const std::string& verb = args[0];
  if (verb == "list" && args.size() == 1) {
    for (const OptionKey& key : OptionKeys()) {
      std::cout << key.key << '=' << ShowLineBreaks(GetText(store, key.key)) << '\n';
    }
    return kExitOk;
  }
  if (verb == "get" && args.size() == 2) {
    if (FindOptionKey(args[1]) == nullptr) {
      return Error("unknown option '" + args[1] + "'; valid options: " + KeyList());
    }
    std::cout << GetText(store, args[1]) << '\n';
    return kExitOk;
  }
  if (verb == "set" && args.size() == 3) {
    if (FindOptionKey(args[1]) == nullptr) {
      return Error("unknown option '" + args[1] + "'; valid options: " + KeyList());
    }
    SaveVariable(store, args[1], args[2]);
    return FlushOrFail(store);
  }
  if (verb == "reset" && args.size() == 1) {
    SeedFirstRunValues(store, InstallationFolder());
    return FlushOrFail(store);
  }
  return UsageError("unknown or incomplete options command");
}

bool PrintProblems(const SettingsStore& store, std::ostream& out) {
  const std::vector<std::string> problems = OptionProblems(store);
  if (problems.empty()) return true;
  out << kOptionsHeading << '\n';
  for (const std::string& line : problems) out << line << '\n';
  return false;
}

int CheckCommand(const SettingsStore& store, const std::vector<std::string>& args) {
  if (!args.empty()) return UsageError("check takes no arguments");
  if (PrintProblems(store, std::cout)) {
    std::cout << "The options allow a run.\n";
    return kExitOk;
  }
  return kExitUsage;
}

int IndexCommand(const SettingsStore& store, const std::vector<std::string>& args) {
  TerminalHostOptions host_options;
  bool open = false;
  int jobs = 1;
  std::string folder;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--yes" || arg == "-y") {
      host_options.assume_yes = true;
    } else if (arg == "--quiet" || arg == "-q") {
      host_options.quiet = true;
    } else if (arg == "--open") {
      open = true;
    } else if (arg == "--jobs" || arg == "-j" || arg.starts_with("--jobs=")) {
      std::string value;
      if (arg.starts_with("--jobs=")) {
        value = arg.substr(7);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      }
      char* end = nullptr;
      const long n = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || n < 1 || n > 64) {
        return UsageError("--jobs needs a number from 1 to 64");
      }
      jobs = static_cast<int>(n);
    } else if (arg == "--") {
      if (i + 2 == args.size() && folder.empty())
        folder = args[i + 1];
      else
        return UsageError("index takes one FOLDER");
      break;
    } else if (arg.starts_with("-") && arg != "-") {
      return UsageError("unknown option '" + arg + "' for index");
    } else if (folder.empty()) {
      folder = arg;
    } else {
      return UsageError("index takes one FOLDER");
    }
  }
  if (folder.empty()) return UsageError("index needs a FOLDER");

  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) {
    return Error("cannot index " + folder + ": " + ErrnoText(errno));
  }
  if (!S_ISDIR(st.st_mode)) return Error("cannot index " + folder + ": not a folder");

  if (!PrintProblems(store, std::cerr)) {
    std::cerr << "Fix them with 'pelorin2-cli options reset' (first-run values) or "
                 "'pelorin2-cli options set KEY VALUE'.\n";
    return kExitUsage;
  }

  std::error_code ec;
  const std::string cwd = std::filesystem::current_path(ec).string();
  CreateIndexRequest request;
  request.selected_folder = SelectedFolderOf(folder, cwd);
  request.open_when_done = open;

  TerminalHost host(host_options);
  IndexRun run(host, LoadPageOptions(store), LoadFileTypeList(store));
  run.set_jobs(jobs);
  host.set_run(&run);
  InstallInterruptHandler();

  RunSummary summary;
  if (CreateIndex(run, host, request, &summary) == CommandResult::kDeclined) {
    std::cerr << "Nothing was written.\n";
    return kExitDeclined;
  }
  host.EndStatus();

  std::cout << IndexRun::StatusLine(run.FolderCount()) << ": " << summary.pages_written
            << " pages written, " << summary.pages_unchanged << " unchanged, "
            << summary.failures.size() << " failed" << (summary.stopped ? " (stopped)" : "")
            << '\n';
  for (const Failure& failure : summary.failures) {
    std::cerr << Printable(failure.folder) << ": " << Printable(failure.reason) << '\n';
  }
  std::cout << "Top page: " << summary.top_page << '\n';
  if (InterruptRequested()) return kExitInterrupted;
  return summary.failures.empty() ? kExitOk : kExitFailures;
}

}  // namespace

int RunCli(int argc, char** argv) {
  // A file-size limit makes writes fail with EFBIG instead of killing us, so
  // the page in progress is reported and the old one kept.
  ::signal(SIGXFSZ, SIG_IGN);

  std::vector<std::string> args(argv + 1, argv + argc);
  std::string settings_file;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kHelp;
      return kExitOk;
    }
    if (arg == "--version") {
      std::cout << kProductName << " version " << kVersionText << '\n';
      return kExitOk;
    }
    if (arg == "--settings") {
      if (i + 1 >= args.size()) return UsageError("--settings needs a FILE");
      settings_file = args[++i];
    } else if (arg.starts_with("--settings=")) {
      settings_file = arg.substr(11);
    } else {
      break;
    }
  }
  if (i >= args.size()) return UsageError("no command given");
  const std::string command = args[i];
  const std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
  if (command == "help") {
    std::cout << kHelp;
    return kExitOk;
  }
  if (command != "index" && command != "check" && command != "options") {
    return UsageError("unknown command '" + command + "'");
  }

  QtSettingsStore store(settings_file);
  std::string error;
  if (!store.CheckReadable(&error)) return Error(error);

  if (command == "options") return OptionsCommand(store, rest);
  if (command == "check") return CheckCommand(store, rest);
  return IndexCommand(store, rest);
}

}  // namespace pelorin
