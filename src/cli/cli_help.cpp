// The help texts of pelorin2-cli and of each of its commands.
#include <sstream>
#include <string>

#include "cli/cli_commands.h"
#include "settings/option_keys.h"

namespace pelorin {

namespace {

// Every key and the start of what it takes share a line, which the bash
// completion reads.
constexpr std::size_t kKeyTextColumn = 24;
constexpr std::size_t kLineWidth = 79;

constexpr char kExitStatus[] =
    R"(Exit status: 0 done; 1 some folders or pictures failed (each is listed as
"folder: reason") or the template changed during the run; 2 usage, options or
settings error, or standard output could not be written; 3 the warning was
declined; 130, 143, 129 the run was stopped by Ctrl-C, SIGTERM, SIGHUP.
)";

constexpr char kOptionsCommands[] =
    R"(  options list        Print every option as KEY=VALUE (CR and LF as \r, \n).
  options get KEY     Print the stored value of KEY.
  options set KEY VALUE
                      Store VALUE under KEY when KEY takes it (switches: 0 or
                      1, also yes/no, true/false, on/off); otherwise store
                      nothing and say what KEY takes.
  options reset       Store every option's first-run value.
)";

}  // namespace

std::string HelpLine(const std::string& label, const std::string& text, std::size_t text_column) {
  std::string out = label;
  if (out.size() + 2 > text_column) {
    out += '\n';
    out += std::string(text_column, ' ');
  } else {
    out += std::string(text_column - out.size(), ' ');
  }
  std::size_t column = text_column;
  std::istringstream words(text);
  std::string word;
  bool first = true;
  while (words >> word) {
    if (!first && column + 1 + word.size() > kLineWidth) {
      out += '\n';
      out += std::string(text_column, ' ');
      column = text_column;
      first = true;
    }
    if (!first) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    first = false;
  }
  return out + '\n';
}

std::string MainHelp() {
  return std::string(R"(Usage: pelorin2-cli [--settings FILE] COMMAND [ARGUMENTS]

Writes an index page into every folder of a tree, made from an HTML template.

Commands:
  index [OPTIONS] FOLDER
                      Write the index page of FOLDER and of every folder below
                      it. The options are checked first. For a risky folder
                      (/, /home, your home or documents folder, system folders)
                      a warning asks [y/N] on a terminal.
)") + IndexOptionLines() +
         R"(  check               Check that the stored options allow a run.
  prune [--dry-run] FOLDER
                      Remove the picture pages, thumbnails and display copies
                      Pelorin2 made below FOLDER for pictures that are gone;
                      --dry-run lists them and removes nothing.
)" + kOptionsCommands +
         R"(  help [COMMAND]      Show this help, or the help of COMMAND; so does
                      'COMMAND --help'.

Global options:
  --settings FILE     Use this INI file instead of the per-user store
                      (~/.config/Pelorin2/Pelorin2.conf, or under
                      $XDG_CONFIG_HOME). A new one starts with the first-run
                      values.
  -h, --help          Show this help.
  --version           Show the version.

)" + kExitStatus +
         R"(Ctrl-C, SIGTERM and SIGHUP stop a run after the folder being written; the
summary is still printed.
)";
}

std::string OptionsHelp() {
  std::string help =
      R"(Usage: pelorin2-cli [--settings FILE] options list | get KEY | set KEY VALUE | reset

Shows and changes the stored options, which the desktop application pelorin2
shares.

)";
  help += kOptionsCommands;
  help += "\nThe keys and the values they take:\n";
  for (const OptionKey& key : OptionKeys()) {
    help += HelpLine(std::string("  ") + key.key, AcceptedForm(key), kKeyTextColumn);
  }
  help +=
      "\nExit status: 0 done; 2 an unknown key, a value the key does not take, or\n"
      "settings that cannot be read or written.\n";
  return help;
}

std::string CheckHelp() {
  return R"(Usage: pelorin2-cli [--settings FILE] check

Checks that the stored options allow a run. Each problem is printed with the
key to fix; 'options set KEY VALUE' or 'options reset' fixes it.

Exit status: 0 the options allow a run; 2 they do not, or the settings cannot
be read.
)";
}

}  // namespace pelorin
