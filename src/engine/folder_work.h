// Carrying out one folder's plan on the run's threads: its thumbnails first,
// each a task of its own, then, once the last of them is done, its page and
// picture pages. A stop before the pages start leaves the folder untouched
// (its old page stays, and it counts as not reached); pages once started
// are all finished.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "common/folder_reader.h"
#include "engine/file_type_list.h"
#include "engine/folder_plan.h"
#include "engine/page_options.h"
#include "engine/page_writer.h"
#include "engine/picture_info.h"
#include "engine/run_events.h"
#include "engine/run_templates.h"
#include "engine/task_pool.h"
#include "engine/thumbnail_maker.h"

namespace pelorin {

// What every folder of a run shares; it outlives every folder's work.
struct RunContext {
  const PageOptions& options;
  const FileTypeList& filter;
  const RunTemplates& templates;
  const std::string& selected_folder;
  ThumbnailMaker* maker;  // makes the planned thumbnails; none: none planned
  WriteFaults* faults;
  bool dry_run;         // decide and count, write nothing
  bool report_folders;  // the host wants a report per finished folder
  std::stop_token stop;
  TaskPool& pool;
  RunEvents& events;
};

// The thumbnail subfolder as the walk found it.
struct ThumbnailFolderState {
  UniqueFd fd;                             // open when it exists and could be read
  std::shared_ptr<FolderListing> listing;  // its names then
  bool failed = false;                     // it exists but could not be read (reported)
};

// Opens and reads the thumbnail subfolder name of the folder at dir_fd.
// The folder is never walked, so its leftover temporary files are cleared
// here (clean_up). A failure is reported through events.
ThumbnailFolderState ReadThumbnailFolder(int dir_fd, const std::string& path,
                                         const std::string& name, bool clean_up, RunEvents& events);

class FolderWork : public std::enable_shared_from_this<FolderWork> {
 public:
  // dir_fd: the folder, open for the work's lifetime. reserved: the room
  // taken from the pool for this folder (TaskPool::Reserve), given back when
  // the folder is done.
  FolderWork(const RunContext& context, std::string path, UniqueFd dir_fd, FolderPlan plan,
             ThumbnailFolderState thumbnail_folder, std::size_t reserved);

  // Hands the folder's tasks to the pool; with inline tasks, does them.
  void Start();

 private:
  void MakeThumbnails(std::size_t begin, std::size_t end);
  std::vector<ThumbnailResult> BringUpToDate(std::size_t begin, std::size_t end);
  int ThumbnailFolder(std::string* error);
  void ThumbnailDone();
  void ReadHeaders();
  void StartPages();
  bool WriteIndexPage();
  void WritePicturePages(std::size_t begin, std::size_t end);
  WriteOutcome Write(const std::string& name, const std::string& page, const ExistingPage& existing,
                     std::string* error);
  void AddMadeThumbnails();
  void PageTaskDone();
  void Fail(std::string path, std::string reason, bool picture);

  const RunContext& context_;
  const std::string path_;
  const UniqueFd dir_fd_;
  FolderPlan plan_;
  std::size_t reserved_;

  std::mutex thumbnail_folder_mutex_;
  ThumbnailFolderState thumbnail_folder_;
  PictureHeaders headers_;  // written once, before the pages, then only read

  std::vector<ThumbnailResult> thumbnail_results_;
  std::atomic<std::size_t> thumbnails_left_{0};
  std::atomic<std::size_t> page_tasks_left_{0};
  FolderReport::Page page_ = FolderReport::Page::kFailed;
  std::atomic<std::int64_t> picture_pages_written_{0};
  std::atomic<std::int64_t> picture_pages_unchanged_{0};
  std::atomic<std::int64_t> failed_{0};
};

}  // namespace pelorin
