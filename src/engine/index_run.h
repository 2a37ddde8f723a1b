// The indexing run: a walk over the tree that writes every folder's page,
// keeps the status line and carries stop requests.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/folder_reader.h"
#include "engine/file_type_list.h"
#include "engine/page_generator.h"
#include "engine/page_options.h"
#include "engine/page_writer.h"
#include "engine/run_host.h"
#include "engine/thumbnail_batch.h"
#include "engine/thumbnail_maker.h"
#include "engine/walk_callback.h"

namespace pelorin {

struct RunSummary {
  std::int64_t folders_indexed = 0;  // pages written or found unchanged
  std::int64_t pages_written = 0;
  std::int64_t pages_unchanged = 0;
  bool picture_pages = false;  // the run made a page per picture
  std::int64_t picture_pages_written = 0;
  std::int64_t picture_pages_unchanged = 0;
  std::vector<Failure> failures;
  // Done, but with something to say (a thumbnail whose colour profile
  // could not be used); no failure.
  std::vector<Failure> warnings;
  bool stopped = false;
  // After a stop: folders the walk had found but did not reach. What lies
  // below them is not known, so the run left at least this many.
  std::int64_t folders_not_reached = 0;
  // The template at its path is no longer the one every page was made from
  // (edited, replaced, deleted or made unreadable during the run).
  bool template_changed = false;
  bool thumbnails = false;  // the run made missing thumbnails
  std::int64_t thumbnails_made = 0;
  std::int64_t thumbnails_up_to_date = 0;
  std::int64_t thumbnails_failed = 0;
  std::string top_page;  // the root's page
};

class PageWriteQueue;

class IndexRun {
 public:
  IndexRun(RunHost& host, PageOptions options, FileTypeList filter);
  ~IndexRun();

  // Pages are written on this many threads (1: on the run's own thread).
  void set_jobs(int jobs) { jobs_ = jobs < 1 ? 1 : jobs; }
  void set_write_faults(WriteFaults* faults) { faults_ = faults; }
  // What makes missing thumbnails (MakeThumbnails); none: none are made.
  void set_thumbnail_maker(ThumbnailMaker* maker) { thumbnail_maker_ = maker; }

  // Walks root (the selected folder with one separator appended) and writes
  // every page. selected_folder is the folder as the user named it.
  RunSummary CreateIndexes(const std::string& root, const std::string& selected_folder);

  // Stops the run at the next folder; the page in hand is finished. Safe to
  // call from the host while it yields, or before the run starts.
  void RequestStop() { stop_requested_ = true; }
  bool StopRequested() const { return stop_requested_; }
  const std::string& index_filename() const { return options_.index_filename; }
  std::int64_t FolderCount() const { return folder_count_; }

 private:
  class WalkAdapter;
  // The one version of the template every page of the run is made from.
  struct TemplateCache {
    struct stat st {};  // the file as it was while it was read
    std::string text;   // compared with the file when the run ends
    // Shared with the pages still to be made on the write queue's threads.
    std::shared_ptr<const PageTemplate> page;
  };

  // Counts the event, shows the status line and yields to the host; returns
  // whether the run is to stop.
  bool SetStatus(WalkEvent event);
  void ShowProgress();
  void ProcessDirectory(WalkFolder& folder);
  // The page's entry in the listing and what is there under its name; false
  // (the folder failed) when that is the template itself.
  bool PreparePage(WalkFolder& folder, ExistingPage* existing, bool* inserted);
  void SubmitPage(WalkFolder& folder, const ExistingPage& existing,
                  std::shared_ptr<const FolderListing> thumbnails);
  // With thumbnails in a subfolder: takes that folder out of the listing (it
  // is neither walked nor listed) and reads its names.
  struct ThumbnailFolder {
    UniqueFd fd;                             // open when the folder exists
    std::shared_ptr<FolderListing> listing;  // its names, when it was read
  };
  ThumbnailFolder TakeThumbnailFolder(WalkFolder& folder);
  // Makes the folder's missing and out-of-date thumbnails before its page.
  void MakeMissingThumbnails(WalkFolder& folder, ThumbnailFolder& thumbnails);
  std::vector<ThumbnailTask> PlanThumbnails(WalkFolder& folder, ThumbnailFolder& thumbnails);
  void WritePicturePages(WalkFolder& folder);
  bool IsTemplateFile(int dir_fd, const std::string& name, const ExistingPage& existing) const;
  bool LoadTemplate(std::string* error);
  void LoadPictureTemplate();
  bool TemplateChangedSinceLoaded() const;
  void RecordFailure(const std::string& folder, const std::string& reason, bool picture = false);
  void Record(const std::string& folder, WriteOutcome outcome, const std::string& error);
  void RecordPicturePage(const std::string& folder, const std::string& name, WriteOutcome outcome,
                         const std::string& error);
  void DrainQueueReports();

  RunHost& host_;
  const PageOptions options_;
  const FileTypeList filter_;
  int jobs_ = 1;
  WriteFaults* faults_ = nullptr;
  ThumbnailMaker* thumbnail_maker_ = nullptr;

  std::int64_t folder_count_ = 0;  // folders the walk reached
  std::int64_t status_count_ = 0;  // the count status_line_ shows
  std::int64_t status_thumbnails_ = 0;
  std::string status_line_;
  bool stop_requested_ = false;
  std::string selected_folder_;
  TemplateCache template_;
  // Read once when the run starts; null with the reason when it cannot be.
  std::shared_ptr<const PageTemplate> picture_template_;
  std::string picture_template_error_;
  struct stat picture_template_st_ {};
  std::string page_;  // the page being written, on one thread
  RunSummary summary_;
  std::unique_ptr<PageWriteQueue> queue_;
};

}  // namespace pelorin
