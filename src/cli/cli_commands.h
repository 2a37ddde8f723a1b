// The commands of pelorin2-cli and what they share; cli_app.cpp picks one
// from its table and hands it the open settings.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "settings/option_keys.h"
#include "settings/options_check.h"

namespace pelorin {

// One command line's run: its environment, the settings it opened and how
// --settings was given, for the hints it prints.
struct CliRun {
  CliEnvironment& env;
  OpenedSettings settings;
  std::string settings_argument;  // the --settings FILE, empty without one
};

int IndexCommandLine(CliRun& run, const std::vector<std::string>& args);
int OptionsCommand(CliRun& run, const std::vector<std::string>& args);
int CheckCommand(CliRun& run, const std::vector<std::string>& args);
int PruneCommandLine(CliRun& run, const std::vector<std::string>& args);

// The help texts; the index command's options come from its flag table.
std::string MainHelp();
std::string IndexHelp();
std::string IndexOptionLines();
std::string OptionsHelp();
std::string CheckHelp();
std::string PruneHelp();
// "  -j, --jobs N        text", the text from column on, wrapped and
// indented below.
std::string HelpLine(const std::string& label, const std::string& text, std::size_t column = 22);

// "pelorin2-cli: message" and, for a usage error, where the help is.
int UsageError(std::ostream& err, const std::string& message, const std::string& help_command);
int Error(std::ostream& err, const std::string& message);

// Why a key does not take a value: "ThumbnailSize takes a whole number
// from 16 to 2048, not 'abc'".
std::string RefusalOf(const OptionKey& key, const std::string& value);
// "unknown key 'X'; the keys are: ShowPics, ...".
std::string UnknownKey(const std::string& key);

// What must be fixed before a run, one line per key, and the commands that
// fix it.
void PrintProblems(const CliRun& run, const std::vector<OptionProblem>& problems,
                   std::ostream& out);

}  // namespace pelorin
