// pelorin2-cli prune [--dry-run] FOLDER: removes, below FOLDER, what the
// program made for pictures that are gone, or with --dry-run lists it.
#include <filesystem>

#include "cli/cli_commands.h"
#include "settings/prune_command.h"

namespace pelorin {

std::string PruneHelp() {
  return R"(Usage: pelorin2-cli [--settings FILE] prune [--dry-run] FOLDER

Removes, in FOLDER and every folder below it, the picture pages, thumbnails,
@2x thumbnails and display copies that Pelorin2 made and whose picture is
gone. Nothing else is ever removed: not index pages, not files Pelorin2 did
not make (a picture page ends with the line <!-- made by Pelorin2 -->, an
image carries Pelorin2's mark), and a thumbnail folder only when it is empty
and held nothing else.

  -n, --dry-run       List what would be removed, one path a line, and
                      remove nothing.

Exit status: 0 done (always after --dry-run); 1 something could not be
removed or a folder could not be read (each listed as "path: reason"); 2 usage
or settings error.
)";
}

int PruneCommandLine(CliRun& run, const std::vector<std::string>& args) {
  bool dry_run = false;
  std::string folder;
  for (const std::string& arg : args) {
    if (arg == "--dry-run" || arg == "-n") {
      dry_run = true;
    } else if (arg.starts_with("-") && arg != "-") {
      return UsageError(run.env.err, "unknown option '" + arg + "'", "prune ");
    } else if (!folder.empty()) {
      return UsageError(run.env.err, "prune takes one FOLDER", "prune ");
    } else {
      folder = arg;
    }
  }
  if (folder.empty()) return UsageError(run.env.err, "prune needs a FOLDER", "prune ");
  std::error_code ec;
  const std::string current = std::filesystem::current_path(ec).string();

  const PruneListing listing = ListOrphans(*run.settings.store, folder, current);
  std::ostream& out = run.env.out;
  for (const std::string& line : listing.failure_lines) run.env.err << line << '\n';
  if (dry_run) {
    for (const std::string& line : listing.lines) out << line << '\n';
    out << FileCount(static_cast<std::int64_t>(listing.lines.size()))
        << " to remove; nothing was removed\n";
    return kExitOk;
  }
  const PruneOutcome outcome = RemoveListedOrphans(listing);
  for (const std::string& line : outcome.failure_lines) run.env.err << line << '\n';
  out << outcome.summary_line << '\n';
  const bool failed = !listing.failure_lines.empty() || !outcome.failure_lines.empty();
  return failed ? kExitFailures : kExitOk;
}

}  // namespace pelorin
