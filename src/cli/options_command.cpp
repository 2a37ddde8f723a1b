// The options and check commands: the stored options shown, changed by the
// key table's rules, and judged before a run.
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "settings/option_keys.h"
#include "settings/options_check.h"
#include "settings/variables.h"

namespace pelorin {

namespace {

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

// A word as a shell reads it back: quoted when it holds anything but
// letters, digits and "_./-+=:,@".
std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789_./-+=:,@") == std::string::npos) {
    return word;
  }
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int Flush(CliRun& run) {
  std::string error;
  if (run.settings.store->Flush(&error)) return kExitOk;
  return Error(run.env.err, error.empty() ? "cannot write the settings" : error);
}

}  // namespace

std::string RefusalOf(const OptionKey& key, const std::string& value) {
  return std::string(key.key) + " takes " + AcceptedForm(key) + ", not '" + value + "'";
}

std::string UnknownKey(const std::string& key) {
  std::string message = "unknown key '" + key + "'; the keys are: ";
  bool first = true;
  for (const OptionKey& option : OptionKeys()) {
    if (!first) message += ", ";
    message += option.key;
    first = false;
  }
  return message;
}

void PrintProblems(const CliRun& run, const std::vector<OptionProblem>& problems,
                   std::ostream& out) {
  out << "The options do not allow a run yet:\n";
  for (const OptionProblem& problem : problems) out << KeyedProblemLine(problem) << '\n';
  const std::string command = run.settings_argument.empty()
                                  ? std::string("pelorin2-cli")
                                  : "pelorin2-cli --settings " + ShellWord(run.settings_argument);
  out << "Fix them with '" << command << " options set KEY VALUE', or with '" << command
      << " options reset' for the first-run values.\n";
}

int OptionsCommand(CliRun& run, const std::vector<std::string>& args) {
  SettingsStore& store = *run.settings.store;
  std::ostream& out = run.env.out;
  if (args.empty())
    return UsageError(run.env.err, "options needs list, get, set or reset", "options ");
  const std::string& verb = args[0];
  if (verb == "list" && args.size() == 1) {
    for (const OptionKey& key : OptionKeys()) {
      out << key.key << '=' << ShowLineBreaks(GetText(store, key.key)) << '\n';
    }
    return kExitOk;
  }
  if (verb == "get" && args.size() == 2) {
    if (FindOptionKey(args[1]) == nullptr) return Error(run.env.err, UnknownKey(args[1]));
    out << GetText(store, args[1]) << '\n';
    return kExitOk;
  }
  if (verb == "set" && args.size() == 3) {
    const OptionKey* key = FindOptionKey(args[1]);
    if (key == nullptr) return Error(run.env.err, UnknownKey(args[1]));
    std::string stored;
    if (!NormaliseValue(*key, args[2], &stored)) {
      return Error(run.env.err, RefusalOf(*key, args[2]) + "; nothing was stored");
    }
    SaveVariable(store, key->key, stored);
    return Flush(run);
  }
  if (verb == "reset" && args.size() == 1) {
    SeedFirstRunValues(store, run.env.installation_folder);
    return Flush(run);
  }
  return UsageError(run.env.err, "unknown or incomplete options command", "options ");
}

int CheckCommand(CliRun& run, const std::vector<std::string>& args) {
  if (!args.empty()) return UsageError(run.env.err, "check takes no arguments", "check ");
  const std::vector<OptionProblem> problems = CheckOptions(*run.settings.store);
  if (!problems.empty()) {
    PrintProblems(run, problems, run.env.out);
    return kExitUsage;
  }
  run.env.out << "The options allow a run.\n";
  return kExitOk;
}

}  // namespace pelorin
