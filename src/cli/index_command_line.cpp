// The index command: its options read from one table (which also writes
// their help), the run through IndexCommand, and its outcome as output and
// exit status.
#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/terminal_host.h"
#include "common/default_jobs.h"
#include "common/folder_reader.h"
#include "engine/run_report.h"
#include "settings/index_command.h"
#include "settings/option_keys.h"
#include "settings/overridden_store.h"
#include "settings/user_folders.h"

namespace pelorin {

namespace {

struct IndexArguments {
  bool assume_yes = false;
  bool quiet = false;
  bool verbose = false;
  bool dry_run = false;
  bool remake_thumbnails = false;
  bool open = false;
  int jobs = 0;  // 0: the default for the folder's file system
  std::vector<std::pair<std::string, std::string>> overrides;  // --set KEY=VALUE, normalised
  std::vector<std::string> folders;
};

using ApplyFlag = bool (*)(IndexArguments& parsed, const std::string& value, std::string* error);

struct IndexFlag {
  const char* name;        // "--jobs"
  char short_name;         // 'j', or 0 for none
  const char* value_name;  // "N"; nullptr for a flag that takes no value
  const char* help;
  ApplyFlag apply;
};

// A flag that turns one thing on.
template <bool IndexArguments::*kMember>
bool SwitchOn(IndexArguments& parsed, const std::string& /*value*/, std::string* /*error*/) {
  parsed.*kMember = true;
  return true;
}

bool ParseJobs(IndexArguments& parsed, const std::string& value, std::string* error) {
  int jobs = 0;
  const auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), jobs);
  if (value.empty() || failure != std::errc() || end != value.data() + value.size() || jobs < 1 ||
      jobs > kMaxJobs) {
    *error =
        "--jobs needs a number from 1 to " + std::to_string(kMaxJobs) + ", not '" + value + "'";
    return false;
  }
  parsed.jobs = jobs;
  return true;
}

bool ParseSet(IndexArguments& parsed, const std::string& value, std::string* error) {
  const std::string::size_type equals = value.find('=');
  if (equals == std::string::npos) {
    *error = "--set needs KEY=VALUE, not '" + value + "'";
    return false;
  }
  const std::string name = value.substr(0, equals);
  const OptionKey* key = FindOptionKey(name);
  if (key == nullptr) {
    *error = UnknownKey(name);
    return false;
  }
  std::string normalised;
  if (!NormaliseValue(*key, value.substr(equals + 1), &normalised)) {
    *error = "--set " + RefusalOf(*key, value.substr(equals + 1));
    return false;
  }
  parsed.overrides.emplace_back(name, normalised);
  return true;
}

// Every option of index: adding one is one entry here.
constexpr IndexFlag kIndexFlags[] = {
    {"--yes", 'y', nullptr,
     "Answer yes to the warning for a risky folder (needed without a terminal).",
     SwitchOn<&IndexArguments::assume_yes>},
    {"--quiet", 'q', nullptr,
     "Print nothing but what failed: no status line, no summary and no top page when all went "
     "well.",
     SwitchOn<&IndexArguments::quiet>},
    {"--verbose", 'v', nullptr, "Print a line for every folder when it is done.",
     SwitchOn<&IndexArguments::verbose>},
    {"--dry-run", 'n', nullptr,
     "Write nothing (no page, thumbnail, folder or temporary file) and print what a run would "
     "do: pages new, changed and unchanged, picture pages, thumbnails to make, existing files "
     "replaced and names that collide; exit 1 when the run would report failures.",
     SwitchOn<&IndexArguments::dry_run>},
    {"--remake-thumbnails", 0, nullptr,
     "Make again every thumbnail Pelorin2 made, even those up to date (never one it did not "
     "make).",
     SwitchOn<&IndexArguments::remake_thumbnails>},
    {"--open", 0, nullptr, "Open the top page with the desktop's opener when done.",
     SwitchOn<&IndexArguments::open>},
    {"--jobs", 'j', "N",
     "Write pages and make thumbnails on N threads, 1 to 64 (default: the processor count, at "
     "most 8; 16 on a network or FUSE file system); the pages are the same bytes.",
     ParseJobs},
    {"--set", 0, "KEY=VALUE",
     "Use VALUE for the option KEY in this run only, checked as 'options set' checks it, "
     "without storing it; may be given again for other keys.",
     ParseSet},
};

const IndexFlag* FlagNamed(std::string_view name) {
  for (const IndexFlag& flag : kIndexFlags) {
    if (name == flag.name) return &flag;
  }
  return nullptr;
}

const IndexFlag* FlagWithShortName(char name) {
  for (const IndexFlag& flag : kIndexFlags) {
    if (flag.short_name != 0 && name == flag.short_name) return &flag;
  }
  return nullptr;
}

// Reads "--name", "--name VALUE", "--name=VALUE", "-n VALUE", "-nVALUE" and
// "-yq", and the folder; "--" ends the options. A usage error's message in
// *error, or true.
bool ParseIndexArguments(const std::vector<std::string>& args, IndexArguments* parsed,
                         std::string* error) {
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg == "-" || !arg.starts_with("-")) {
      parsed->folders.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg.starts_with("--")) {
      const std::string::size_type equals = arg.find('=');
      const std::string name = arg.substr(0, equals);
      const IndexFlag* flag = FlagNamed(name);
      if (flag == nullptr) {
        *error = "unknown option '" + name + "' for index";
        return false;
      }
      std::string value;
      if (flag->value_name == nullptr && equals != std::string::npos) {
        *error = name + " takes no value";
        return false;
      }
      if (flag->value_name != nullptr) {
        if (equals != std::string::npos) {
          value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
          value = args[++i];
        } else {
          *error = name + " needs " + flag->value_name;
          return false;
        }
      }
      if (!flag->apply(*parsed, value, error)) return false;
      continue;
    }
    for (std::size_t k = 1; k < arg.size(); ++k) {
      const IndexFlag* flag = FlagWithShortName(arg[k]);
      if (flag == nullptr) {
        *error = "unknown option '-" + std::string(1, arg[k]) + "' for index";
        return false;
      }
      std::string value;
      if (flag->value_name != nullptr) {
        if (k + 1 < arg.size()) {
          value = arg.substr(k + 1);
        } else if (i + 1 < args.size()) {
          value = args[++i];
        } else {
          *error = std::string(flag->name) + " needs " + flag->value_name;
          return false;
        }
        k = arg.size();
      }
      if (!flag->apply(*parsed, value, error)) return false;
    }
  }
  if (parsed->folders.size() != 1) {
    *error = parsed->folders.empty() ? "index needs a FOLDER" : "index takes one FOLDER";
    return false;
  }
  return true;
}

void PrintOutcome(const IndexArguments& parsed, const IndexOutcome& outcome, CliRun& run) {
  std::ostream& out = run.env.out;
  std::ostream& err = run.env.err;
  // Quiet prints a summary only when something went wrong, on stderr, so a
  // script sees why the exit status is not 0.
  const bool clean = outcome.Clean() && !outcome.summary.stopped;
  if (parsed.dry_run) {
    for (const std::string& line : PreviewLines(outcome.summary)) out << line << '\n';
  } else if (!parsed.quiet) {
    out << outcome.summary_line << '\n';
  }
  for (const std::string& line : outcome.failure_lines) err << line << '\n';
  for (const std::string& line : outcome.warning_lines) err << line << '\n';
  if (parsed.dry_run) return;
  if (parsed.quiet && !clean) err << outcome.summary_line << '\n';
  if (!parsed.quiet) out << "Top page: " << outcome.summary.top_page << '\n';
}

}  // namespace

std::string IndexOptionLines() {
  std::string lines;
  for (const IndexFlag& flag : kIndexFlags) {
    std::string label = "      ";
    if (flag.short_name != 0) label = std::string("  -") + flag.short_name + ", ";
    label += flag.name;
    if (flag.value_name != nullptr) label += std::string(" ") + flag.value_name;
    lines += HelpLine(label, flag.help);
  }
  return lines;
}

std::string IndexHelp() {
  return R"(Usage: pelorin2-cli [--settings FILE] index [OPTIONS] FOLDER

Writes the index page of FOLDER and of every folder below it, with the stored
options. The options are checked first. For a risky folder (/, /home, your
home or documents folder, system folders) a warning asks [y/N] on a terminal.
A run on a terminal shows a status line with the time and the rate; the
summary and the top page follow on standard output, one "folder: reason" line
for each failure on standard error.

Options:
)" + IndexOptionLines() +
         HelpLine("  -h, --help", "Show this help.") + R"(
Exit status: 0 done; 1 some folders or pictures failed, or the template changed
during the run; 2 usage or options error; 3 the warning was declined; 130, 143,
129 the run was stopped by Ctrl-C, SIGTERM, SIGHUP (after the folder being
written; the summary is still printed).
)";
}

int IndexCommandLine(CliRun& run, const std::vector<std::string>& args) {
  IndexArguments parsed;
  std::string error;
  if (!ParseIndexArguments(args, &parsed, &error)) {
    return UsageError(run.env.err, error, "index ");
  }
  const std::string& folder = parsed.folders.front();
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) {
    return Error(run.env.err, "cannot index " + folder + ": " + ErrnoText(errno));
  }
  if (!S_ISDIR(st.st_mode)) return Error(run.env.err, "cannot index " + folder + ": not a folder");

  OverriddenSettingsStore store(*run.settings.store);
  if (parsed.dry_run && NeedsFirstRunValues(store)) {
    for (const OptionKey& key : OptionKeys()) {
      store.Override(key.key, FirstRunValue(key, run.env.installation_folder));
    }
  }
  for (const auto& [key, value] : parsed.overrides) store.Override(key, value);
  // From here on the run only reads its options, from the copy read
  // already: other commands may change the settings meanwhile.
  run.settings.lock.reset();

  std::error_code ec;
  IndexRequest request;
  request.folder = folder;
  request.current_folder = std::filesystem::current_path(ec).string();
  request.jobs = parsed.jobs > 0 ? parsed.jobs : DefaultJobs(folder);
  request.dry_run = parsed.dry_run;
  request.remake_thumbnails = parsed.remake_thumbnails;
  request.home_folder = HomeFolder();
  request.documents_folder = DocumentsFolder();

  TerminalHost host({.assume_yes = parsed.assume_yes,
                     .can_ask = run.env.in_is_terminal,
                     .show_status = run.env.err_is_terminal && !parsed.quiet,
                     .dry_run = parsed.dry_run},
                    run.env.in, run.env.err, parsed.verbose ? &run.env.out : nullptr);
  IndexCommand command(store, host, run.env.thumbnail_maker);
  if (run.env.stop_on_signals) InstallInterruptHandler();
  const IndexOutcome outcome = command.Run(request, host.stop_token());
  switch (outcome.status) {
    case IndexStatus::kOptionsIncomplete:
      PrintProblems(run, outcome.problems, run.env.err);
      return kExitUsage;
    case IndexStatus::kDeclined:
      run.env.err << "Nothing was written.\n";
      return kExitDeclined;
    case IndexStatus::kDone:
      break;
  }
  host.EndStatus();
  PrintOutcome(parsed, outcome, run);
  if (parsed.open && !parsed.dry_run) OpenWithDesktop(outcome.summary.top_page);
  if (InterruptRequested()) return kExitSignalBase + InterruptSignal();
  return outcome.Clean() ? kExitOk : kExitFailures;
}

}  // namespace pelorin
