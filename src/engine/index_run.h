// The indexing run: the walk over the tree, a plan for each folder as the
// walk reaches it, and the plan's work handed to the run's threads. The
// walk's thread alone counts what the threads report and talks to the host.
#pragma once

#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/file_type_list.h"
#include "engine/page_options.h"
#include "engine/page_writer.h"
#include "engine/run_host.h"
#include "engine/thumbnail_maker.h"

namespace pelorin {

struct RunSummary : RunProgress {
  std::vector<Failure> failures;
  // Done, but with something to say (a thumbnail whose colour profile
  // could not be used); no failure.
  std::vector<Failure> warnings;
  // Names where the run means to write something else (a folder where a
  // page goes, ...), found while planning; each also fails when written.
  std::vector<Failure> collisions;
  // Existing files the run replaced (a dry run: would replace).
  std::int64_t files_replaced = 0;
  bool stopped = false;
  // After a stop: folders the walk had found but did not reach, and folders
  // it reached but left untouched. What lies below them is not known, so the
  // run left at least this many.
  std::int64_t folders_not_reached = 0;
  // A template at its path is no longer the one the pages were made from
  // (edited, replaced, deleted or made unreadable during the run).
  bool template_changed = false;
  std::string top_page;  // the root's page
};

struct RunContext;
class FolderWalk;
class RunEvents;
class RunTemplates;
class TaskPool;
struct RunEvent;

class IndexRun {
 public:
  IndexRun(RunHost& host, PageOptions options, FileTypeList filter);
  ~IndexRun();

  // Pages and thumbnails are made on this many threads (1: on the run's own
  // thread).
  void set_jobs(int jobs) { jobs_ = jobs < 1 ? 1 : jobs; }
  void set_write_faults(WriteFaults* faults) { faults_ = faults; }
  // What makes missing thumbnails (MakeThumbnails); none: none are made.
  void set_thumbnail_maker(ThumbnailMaker* maker) { thumbnail_maker_ = maker; }
  // Walk and plan, count what a run would do, and write nothing: no page,
  // no thumbnail, no folder, no temporary file.
  void set_dry_run(bool dry_run) { dry_run_ = dry_run; }
  const std::string& index_filename() const { return options_.index_filename; }

  // Walks root (the selected folder with one separator appended) and writes
  // every page. selected_folder is the folder as the user named it. A stop
  // ends the walk at the next folder; folders whose pages have started are
  // finished, the others are left as they were.
  RunSummary CreateIndexes(const std::string& root, const std::string& selected_folder,
                           std::stop_token stop = {});

 private:
  class WalkAdapter;
  bool OnFolderReached();
  void ProcessDirectory(struct WalkFolder& folder);
  void Apply(const RunEvent& event);
  void ApplyEvents();
  void Tick();
  void Walk(const std::string& root);

  RunHost& host_;
  const PageOptions options_;
  const FileTypeList filter_;
  int jobs_ = 1;
  WriteFaults* faults_ = nullptr;
  ThumbnailMaker* thumbnail_maker_ = nullptr;
  bool dry_run_ = false;

  std::stop_token stop_;
  std::string selected_folder_;
  RunSummary summary_;
  std::unique_ptr<RunTemplates> templates_;
  std::unique_ptr<RunEvents> events_;
  std::unique_ptr<TaskPool> pool_;
  std::unique_ptr<RunContext> context_;
};

}  // namespace pelorin
