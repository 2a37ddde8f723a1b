// What an indexing run needs from the program that hosts it: the desktop
// window or the command line. The engine knows nothing else about either.
#pragma once

#include <cstdint>
#include <string>

namespace pelorin {

struct Failure {
  // The folder's path, ending in a separator, or a file's path.
  std::string folder;
  std::string reason;  // what went wrong, with the system's reason
  // A picture's thumbnail or page failed, not a folder's page.
  bool picture = false;
};

// The counts of a run so far; the host decides how to show them (see
// run_report.h for the words).
struct RunProgress {
  bool dry_run = false;              // nothing is written: the counts say what a run would do
  std::int64_t folders_reached = 0;  // folders the walk has reached
  std::int64_t folders_indexed = 0;  // pages written or found unchanged
  std::int64_t pages_written = 0;    // new and changed
  std::int64_t pages_new = 0;        // of those written, nothing was there before
  std::int64_t pages_unchanged = 0;
  bool picture_pages = false;  // the run makes a page per picture
  std::int64_t picture_pages_written = 0;
  std::int64_t picture_pages_new = 0;
  std::int64_t picture_pages_unchanged = 0;
  bool thumbnails = false;  // the run makes missing thumbnails
  std::int64_t thumbnails_made = 0;
  std::int64_t thumbnails_up_to_date = 0;
  std::int64_t thumbnails_failed = 0;
  std::int64_t failed = 0;  // folders and files that failed
};

// What the run did in one folder besides its page.
struct FolderTally {
  std::int64_t picture_pages_written = 0;
  std::int64_t picture_pages_unchanged = 0;
  std::int64_t thumbnails_made = 0;
  std::int64_t thumbnails_up_to_date = 0;
  std::int64_t failed = 0;
};

// What the run did in one folder, told when the folder is done.
struct FolderReport {
  const std::string& path;
  enum class Page { kNew, kChanged, kUnchanged, kFailed } page;
  FolderTally tally;
};

class RunHost {
 public:
  virtual ~RunHost() = default;
  // A yes/no question (the risky-folder warning); true means go on.
  virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;
  // The counts after every report, on the run's thread.
  virtual void ShowProgress(const RunProgress& progress) = 0;
  // Lets the host handle its events; called once per report and about
  // every 30 ms while the run waits for its threads.
  virtual void Yield() = 0;
  // A folder is done (its page and picture pages written, or failed); only
  // called for a host that wants these reports.
  virtual bool WantsFolderReports() const { return false; }
  virtual void FolderDone(const FolderReport& report) { (void)report; }
  // The walk is about to start (any confirmation has been given) and has just
  // ended. A window enters and leaves its busy state here.
  virtual void RunStarting() {}
  virtual void RunEnded() {}
};

}  // namespace pelorin
