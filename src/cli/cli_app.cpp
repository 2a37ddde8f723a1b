#include "cli/cli_app.h"

#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "common/version.h"
#include "settings/option_keys.h"
#include "settings/variables.h"

namespace pelorin {

namespace {

struct Command {
  const char* name;
  std::string (*help)();
  int (*run)(CliRun& run, const std::vector<std::string>& args);
};

// Every command, in the order the help lists them. A command is one entry
// here and its function.
constexpr Command kCommands[] = {
    {"index", IndexHelp, IndexCommandLine},
    {"check", CheckHelp, CheckCommand},
    {"options", OptionsHelp, OptionsCommand},
    {"prune", PruneHelp, PruneCommandLine},
};

const Command* FindCommand(const std::string& name) {
  for (const Command& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

bool AsksForHelp(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

// A store that holds no option yet gets the first-run values, as the
// window's first opening of its options does, so the first run just runs.
bool SeedANewStore(CliRun& run) {
  SettingsStore& store = *run.settings.store;
  if (!NeedsFirstRunValues(store)) return true;
  SeedFirstRunValues(store, run.env.installation_folder);
  std::string error;
  if (!store.Flush(&error)) {
    Error(run.env.err, error.empty() ? "cannot write the settings" : error);
    return false;
  }
  run.env.err << "pelorin2-cli: new settings " << run.settings.file << " with first-run values\n";
  return true;
}

bool IsDryRun(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--dry-run") return true;
    if (arg.size() > 1 && arg[0] == '-' && arg[1] != '-' && arg.find('j') == std::string::npos &&
        arg.find('n') != std::string::npos) {
      return true;
    }
  }
  return false;
}

}  // namespace

int UsageError(std::ostream& err, const std::string& message, const std::string& help_command) {
  err << "pelorin2-cli: " << message << "\nTry 'pelorin2-cli " << help_command << "--help'.\n";
  return kExitUsage;
}

int Error(std::ostream& err, const std::string& message) {
  err << "pelorin2-cli: " << message << "\n";
  return kExitUsage;
}

int RunCli(const std::vector<std::string>& args, CliEnvironment& environment) {
  std::string settings_file;
  bool settings_given = false;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      environment.out << MainHelp();
      return kExitOk;
    }
    if (arg == "--version") {
      environment.out << "pelorin2-cli " << kVersionText << '\n';
      return kExitOk;
    }
    if (arg == "--settings") {
      if (i + 1 >= args.size()) return UsageError(environment.err, "--settings needs a FILE", "");
      settings_file = args[++i];
      settings_given = true;
    } else if (arg.starts_with("--settings=")) {
      settings_file = arg.substr(11);
      settings_given = true;
    } else if (arg.starts_with("-") && arg != "-") {
      return UsageError(environment.err, "unknown option '" + arg + "'", "");
    } else {
      break;
    }
  }
  if (settings_given && settings_file.empty()) {
    return UsageError(environment.err, "--settings needs a FILE", "");
  }
  if (i >= args.size()) return UsageError(environment.err, "no command given", "");
  const std::string name = args[i];
  const std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
  if (name == "help") {
    if (rest.empty()) {
      environment.out << MainHelp();
      return kExitOk;
    }
    if (rest.size() != 1) return UsageError(environment.err, "help takes one COMMAND", "");
    const Command* command = FindCommand(rest[0]);
    if (command == nullptr) {
      return UsageError(environment.err, "unknown command '" + rest[0] + "'", "");
    }
    environment.out << command->help();
    return kExitOk;
  }
  const Command* command = FindCommand(name);
  if (command == nullptr) return UsageError(environment.err, "unknown command '" + name + "'", "");
  if (AsksForHelp(rest)) {
    environment.out << command->help();
    return kExitOk;
  }

  CliRun run{environment, {}, settings_given ? settings_file : std::string()};
  std::string error;
  if (!environment.open_settings(settings_file, &run.settings, &error)) {
    return Error(environment.err, error);
  }
  const bool resets = name == "options" && !rest.empty() && rest[0] == "reset";
  // A dry run writes no settings either: it runs on first-run values it
  // keeps to itself (see IndexCommandLine).
  const bool dry_run = name == "index" && IsDryRun(rest);
  if (!resets && !dry_run && !SeedANewStore(run)) return kExitUsage;
  return command->run(run, rest);
}

}  // namespace pelorin
