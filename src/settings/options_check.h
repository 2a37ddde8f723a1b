// Whether the stored options allow a run, and the message that says what is
// missing. The window shows it in a message box, the command line prints it.
#pragma once

#include <string>
#include <vector>

#include "settings/settings_store.h"

namespace pelorin {

// One thing that keeps a run from starting: the option to fix (its key
// constant) and the line that says so, with its two leading blanks and no
// line end.
struct OptionProblem {
  const char* key;
  std::string line;
};

// The problems in the order the message lists them; empty when a run may start.
std::vector<OptionProblem> FindOptionProblems(const SettingsStore& store);
// Their lines alone.
std::vector<std::string> OptionProblems(const SettingsStore& store);

inline constexpr char kOptionsHeading[] =
    "Sorry, there are a few things in the options window that I need you to fill in first:";
inline constexpr char kOptionsFooter[] =
    "Click OK to open the options window, Cancel to return to the main form";

// Heading, the problem lines and the footer, lines joined by CR LF.
std::string OptionsCheckMessage(const std::vector<std::string>& problems);

}  // namespace pelorin
