#include "settings/index_command.h"

#include "common/html_text.h"
#include "engine/create_index.h"
#include "engine/run_report.h"
#include "settings/option_keys.h"
#include "settings/options_check.h"
#include "settings/variables.h"

namespace pelorin {

IndexOutcome IndexCommand::Run(const IndexRequest& request, std::stop_token stop) {
  IndexOutcome outcome;
  outcome.problems = CheckOptions(store_);
  if (!outcome.problems.empty()) {
    outcome.option_problems = OptionProblemLines(outcome.problems);
    outcome.status = IndexStatus::kOptionsIncomplete;
    return outcome;
  }

  CreateIndexRequest run_request;
  run_request.selected_folder = SelectedFolderOf(request.folder, request.current_folder);
  run_request.resolved_folder = ResolvedFolderOf(request.folder, request.current_folder);
  run_request.home_folder = request.home_folder;
  run_request.documents_folder = request.documents_folder;
  // Options and filter are read now, so a run always sees what was saved last.
  PageOptions options = LoadPageOptions(store_);
  options.remake_thumbnails = request.remake_thumbnails;
  IndexRun run(host_, std::move(options), LoadFileTypeList(store_));
  run.set_jobs(request.jobs);
  run.set_thumbnail_maker(thumbnail_maker_);
  run.set_dry_run(request.dry_run);
  const CommandResult result =
      CreateIndex(run, host_, run_request, &outcome.summary, std::move(stop));
  if (result == CommandResult::kDeclined) {
    outcome.status = IndexStatus::kDeclined;
    return outcome;
  }

  outcome.summary_line = SummaryLine(outcome.summary);
  for (const Failure& failure : outcome.summary.failures) {
    outcome.failure_lines.push_back(PrintableText(failure.folder) + ": " +
                                    PrintableText(failure.reason));
  }
  for (const Failure& warning : outcome.summary.warnings) {
    outcome.warning_lines.push_back(PrintableText(warning.folder) +
                                    ": warning: " + PrintableText(warning.reason));
  }
  if (request.remember_folder && !request.dry_run) {
    // The next start shows the folder just indexed.
    SaveLastDirectory(store_, request.folder);
    if (!store_.Flush(&outcome.flush_error) && outcome.flush_error.empty()) {
      outcome.flush_error = "cannot write the settings";
    }
  }
  return outcome;
}

}  // namespace pelorin
