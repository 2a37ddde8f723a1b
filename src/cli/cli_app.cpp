#include "cli/cli_app.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/terminal_host.h"
#include "common/default_jobs.h"
#include "common/folder_reader.h"
#include "common/html_text.h"
#include "common/install_paths.h"
#include "common/version.h"
#include "engine/run_report.h"
#include "settings/index_command.h"
#include "settings/option_keys.h"
#include "settings/options_check.h"
#include "settings/qt_settings_store.h"
#include "settings/user_folders.h"
#include "thumbnails/lazy_thumbnail_maker.h"

namespace pelorin {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailures = 1;
constexpr int kExitUsage = 2;
constexpr int kExitDeclined = 3;
// The shell's convention for a program ended by a signal (130 for Ctrl-C,
// 143 for SIGTERM, 129 for SIGHUP), so scripts can tell a stopped run from
// a complete one.
constexpr int kExitSignalBase = 128;

constexpr char kHelp[] = R"(Usage: pelorin2-cli [--settings FILE] COMMAND [ARGUMENTS]

Writes an index page into every folder of a tree, made from an HTML template.

Commands:
  index [--yes] [--quiet] [--verbose] [--dry-run] [--open] [--jobs N] FOLDER
                      Write the index page of FOLDER and of every folder below
                      it. The options are checked first. For a risky folder
                      (/, /home, your home or documents folder, system folders)
                      a warning asks [y/N] on a terminal.
      --yes           answer yes to that warning (needed without a terminal)
      --quiet         no status line while the run goes on
      --verbose       print a line for every folder when it is done
      --dry-run       write nothing: print what a run would do (pages new,
                      changed and unchanged, picture pages, thumbnails to
                      make, existing files replaced, names that collide);
                      exit 1 when the run would report failures
      --open          open the top page with the desktop's opener when done
      --jobs N        write pages and make thumbnails on N threads (default:
                      the processor count, at most 8; 16 on a network or FUSE
                      file system); the pages are the same bytes
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

Exit status: 0 done; 1 some folders failed (each is listed as "folder: reason")
or the template changed during the run; 2 usage, options or settings error, or
standard output could not be written; 3 the warning was declined; 130, 143, 129
the run was stopped by Ctrl-C, SIGTERM, SIGHUP.
Ctrl-C, SIGTERM and SIGHUP stop a run after the folder being written; the
summary is still printed.
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

struct IndexArguments {
  TerminalHostOptions host;
  bool open = false;
  int jobs = 0;  // 0: the default for FOLDER's file system
  std::string folder;
};

// Reads the index command's arguments; returns a usage error's exit status,
// or -1 when they are complete.
int ParseIndexArguments(const std::vector<std::string>& args, IndexArguments* parsed) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--yes" || arg == "-y") {
      parsed->host.assume_yes = true;
    } else if (arg == "--quiet" || arg == "-q") {
      parsed->host.quiet = true;
    } else if (arg == "--open") {
      parsed->open = true;
    } else if (arg == "--dry-run" || arg == "-n") {
      parsed->host.dry_run = true;
    } else if (arg == "--verbose" || arg == "-v") {
      parsed->host.verbose = true;
    } else if (arg == "--jobs" || arg == "-j" || arg.starts_with("--jobs=")) {
      std::string value;
      if (arg.starts_with("--jobs=")) {
        value = arg.substr(7);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      }
      char* end = nullptr;
      const long n = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || n < 1 || n > kMaxJobs) {
        return UsageError("--jobs needs a number from 1 to " + std::to_string(kMaxJobs));
      }
      parsed->jobs = static_cast<int>(n);
    } else if (arg == "--") {
      if (i + 2 != args.size() || !parsed->folder.empty()) {
        return UsageError("index takes one FOLDER");
      }
      parsed->folder = args[i + 1];
      break;
    } else if (arg.starts_with("-") && arg != "-") {
      return UsageError("unknown option '" + arg + "' for index");
    } else if (parsed->folder.empty()) {
      parsed->folder = arg;
    } else {
      return UsageError("index takes one FOLDER");
    }
  }
  if (parsed->folder.empty()) return UsageError("index needs a FOLDER");
  return -1;
}

int IndexCommandLine(SettingsStore& store, const std::vector<std::string>& args) {
  IndexArguments parsed;
  if (const int status = ParseIndexArguments(args, &parsed); status >= 0) return status;
  const std::string& folder = parsed.folder;
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) {
    return Error("cannot index " + folder + ": " + ErrnoText(errno));
  }
  if (!S_ISDIR(st.st_mode)) return Error("cannot index " + folder + ": not a folder");

  std::error_code ec;
  IndexRequest request;
  request.folder = folder;
  request.current_folder = std::filesystem::current_path(ec).string();
  request.jobs = parsed.jobs > 0 ? parsed.jobs : DefaultJobs(folder);
  request.dry_run = parsed.host.dry_run;
  request.home_folder = HomeFolder();
  request.documents_folder = DocumentsFolder();

  TerminalHost host(parsed.host);
  LazyThumbnailMaker thumbnail_maker;
  IndexCommand command(store, host, &thumbnail_maker);
  InstallInterruptHandler();
  const IndexOutcome outcome = command.Run(request, host.stop_token());
  switch (outcome.status) {
    case IndexStatus::kOptionsIncomplete:
      std::cerr << kOptionsHeading << '\n';
      for (const OptionProblem& problem : outcome.option_problems) {
        std::cerr << problem.line << '\n';
      }
      std::cerr << "Fix them with 'pelorin2-cli options reset' (first-run values) or "
                   "'pelorin2-cli options set KEY VALUE'.\n";
      return kExitUsage;
    case IndexStatus::kDeclined:
      std::cerr << "Nothing was written.\n";
      return kExitDeclined;
    case IndexStatus::kDone:
      break;
  }
  host.EndStatus();
  if (parsed.host.dry_run) {
    for (const std::string& line : PreviewLines(outcome.summary)) std::cout << line << '\n';
  } else {
    std::cout << outcome.summary_line << '\n';
  }
  for (const std::string& line : outcome.failure_lines) std::cerr << line << '\n';
  for (const std::string& line : outcome.warning_lines) std::cerr << line << '\n';
  if (!parsed.host.dry_run) {
    std::cout << "Top page: " << outcome.summary.top_page << '\n';
    if (parsed.open) OpenWithDesktop(outcome.summary.top_page);
  }
  if (InterruptRequested()) return kExitSignalBase + InterruptSignal();
  return outcome.Clean() ? kExitOk : kExitFailures;
}

// What was printed must have arrived: a full disk or a failing device behind
// standard output is an error, as for any tool whose output is used. A
// closed pipe ("| head -1") is no error worth a message.
int FinishOutput(int status) {
  errno = 0;
  std::cout.flush();
  const bool flushed = std::fflush(stdout) == 0;
  const int error_number = errno;
  if (flushed && !std::ferror(stdout) && std::cout.good()) return status;
  if (error_number == EPIPE) return status;
  std::cerr << "pelorin2-cli: write error";
  if (error_number != 0) std::cerr << ": " << ErrnoText(error_number);
  std::cerr << '\n';
  return status == kExitOk || status == kExitFailures ? kExitUsage : status;
}

int RunCommand(int argc, char** argv) {
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
  return IndexCommandLine(store, rest);
}

}  // namespace

int RunCli(int argc, char** argv) {
  // A file-size limit makes writes fail with EFBIG instead of killing us, so
  // the page in progress is reported and the old one kept.
  ::signal(SIGXFSZ, SIG_IGN);
  return FinishOutput(RunCommand(argc, argv));
}

}  // namespace pelorin
