// Whether the stored options allow a run, and the message that says what is
// missing. The window shows it in a message box, the command line prints it
// with the keys to fix.
#pragma once

#include <string>
#include <vector>

#include "settings/settings_store.h"

namespace pelorin {

struct OptionProblem {
  std::string key;  // the option to fix
  // What to do, as a sentence without its full stop: "Please give a
  // thumbnail size from 16 to 2048 pixels".
  std::string request;
  // The request does not name the option by itself (a value that breaks its
  // key's rule), so the window's line names it.
  bool names_no_option = false;
};

// Every problem, in the order the window lists them; empty when a run may
// start. Every number and switch stored is checked against the key table:
// one out of range is a problem, never read as some other value.
std::vector<OptionProblem> CheckOptions(const SettingsStore& store);

// The window's problem lines, each with its two leading blanks and no line
// end; empty when a run may start.
std::vector<std::string> OptionProblems(const SettingsStore& store);
std::vector<std::string> OptionProblemLines(const std::vector<OptionProblem>& problems);
// The command line's line for a problem, naming the key:
// "  ThumbnailSize: please give a thumbnail size from 16 to 2048 pixels".
std::string KeyedProblemLine(const OptionProblem& problem);

inline constexpr char kOptionsHeading[] =
    "Sorry, there are a few things in the options window that I need you to fill in first:";
inline constexpr char kOptionsFooter[] =
    "Click OK to open the options window, Cancel to return to the main form";

// Heading, the problem lines and the footer, lines joined by CR LF.
std::string OptionsCheckMessage(const std::vector<std::string>& problems);

}  // namespace pelorin
