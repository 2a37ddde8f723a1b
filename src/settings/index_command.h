// The Create index command as both front ends run it: check the options,
// load them fresh, run over the tree, format what failed, remember the
// folder and flush the store. The window and the command line map the
// outcome to their own output; prompts and the status line stay with the
// host they pass in.
#pragma once

#include <stop_token>
#include <string>
#include <vector>

#include "engine/index_run.h"
#include "engine/run_host.h"
#include "settings/options_check.h"
#include "settings/settings_store.h"

namespace pelorin {

struct IndexRequest {
  std::string folder;          // as the user named it, absolute or relative
  std::string current_folder;  // what a relative folder is relative to
  // The user's home and documents folders (user_folders.h), which the
  // warning for risky folders guards.
  std::string home_folder{};
  std::string documents_folder{};
  int jobs = 1;
  // Walk and plan only: count what a run would do and write nothing.
  bool dry_run = false;
  // Make again every thumbnail Pelorin2 made, even those up to date.
  bool remake_thumbnails = false;
  // Store the folder as "Last directory" after the run (the window does).
  bool remember_folder = false;
};

enum class IndexStatus {
  kDone,               // the run went over the tree; see the summary
  kOptionsIncomplete,  // nothing ran: option_problems says what is missing
  kDeclined,           // nothing ran: the warning for a risky folder was declined
};

struct IndexOutcome {
  IndexStatus status = IndexStatus::kDone;
  std::vector<OptionProblem> problems;       // nothing ran: what to fix, by key
  std::vector<std::string> option_problems;  // the same as OptionProblems gives them
  RunSummary summary;
  // IndexRun::SummaryLine: the counts, a stop and the folders it left, a
  // template that changed during the run.
  std::string summary_line;
  // One printable line per failure: "folder: reason".
  std::vector<std::string> failure_lines;
  // One printable line per warning: "path: warning: what".
  std::vector<std::string> warning_lines;
  std::string flush_error;  // the store could not be written; empty when it was

  // Every folder reached has its page from the template as it still is.
  bool Clean() const { return summary.failures.empty() && !summary.template_changed; }
};

class IndexCommand {
 public:
  // thumbnail_maker makes missing thumbnails when the options ask for them;
  // none: no thumbnail is made.
  IndexCommand(SettingsStore& store, RunHost& host, ThumbnailMaker* thumbnail_maker = nullptr)
      : store_(store), host_(host), thumbnail_maker_(thumbnail_maker) {}

  // stop: the front end's stop (Ctrl-C, the cancel button, closing the
  // window); the run ends at its next folder.
  IndexOutcome Run(const IndexRequest& request, std::stop_token stop = {});

 private:
  SettingsStore& store_;
  RunHost& host_;
  ThumbnailMaker* thumbnail_maker_;
};

}  // namespace pelorin
