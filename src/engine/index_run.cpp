#include "engine/index_run.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

#include "common/default_jobs.h"
#include "common/path_routines.h"
#include "engine/folder_plan.h"
#include "engine/folder_work.h"
#include "engine/pictures.h"
#include "engine/run_events.h"
#include "engine/run_templates.h"
#include "engine/task_pool.h"
#include "engine/walker.h"

namespace pelorin {

namespace {

// About the bytes a folder's work holds until its pages are written.
std::size_t WeightOf(const FolderListing& listing, std::size_t template_size) {
  std::size_t weight = template_size;
  for (const FolderEntry& entry : listing.entries) weight += sizeof entry + 4 * entry.name.size();
  return weight;
}

}  // namespace

// The walker's view of the run; the run's own surface stays CreateIndexes.
class IndexRun::WalkAdapter : public WalkCallback {
 public:
  explicit WalkAdapter(IndexRun& run) : run_(run) {}
  bool SetStatus(WalkEvent event) override {
    return event == WalkEvent::kFolder && run_.OnFolderReached();
  }
  void ProcessDirectory(WalkFolder& folder) override { run_.ProcessDirectory(folder); }
  void FolderFailed(const std::string& path, const std::string& reason) override {
    run_.Apply({RunEvent::Kind::kFailure, path, "cannot read the folder: " + reason});
  }

 private:
  IndexRun& run_;
};

IndexRun::IndexRun(RunHost& host, PageOptions options, FileTypeList filter)
    : host_(host), options_(std::move(options)), filter_(std::move(filter)) {}

IndexRun::~IndexRun() = default;

void IndexRun::Apply(const RunEvent& event) {
  RunSummary& s = summary_;
  const bool written = event.outcome == WriteOutcome::kWritten;
  const bool unchanged = event.outcome == WriteOutcome::kUnchanged;
  switch (event.kind) {
    case RunEvent::Kind::kPage:
      s.pages_written += written;
      s.pages_new += written && !event.existed;
      s.pages_unchanged += unchanged;
      s.folders_indexed += written || unchanged;
      s.files_replaced += written && event.existed;
      break;
    case RunEvent::Kind::kPicturePage:
      s.picture_pages_written += written;
      s.picture_pages_new += written && !event.existed;
      s.picture_pages_unchanged += unchanged;
      s.files_replaced += written && event.existed;
      break;
    case RunEvent::Kind::kThumbnail:
      s.thumbnails_made += event.thumbnail == ThumbnailResult::kMade;
      s.thumbnails_up_to_date += event.thumbnail == ThumbnailResult::kUpToDate;
      s.thumbnails_failed += event.thumbnail == ThumbnailResult::kFailed ||
                             event.thumbnail == ThumbnailResult::kLeftAlone;
      break;
    case RunEvent::Kind::kFailure:
      s.failures.push_back({event.path, event.reason, event.picture});
      ++s.failed;
      break;
    case RunEvent::Kind::kWarning:
      s.warnings.push_back({event.path, event.reason, true});
      break;
    case RunEvent::Kind::kFolderDone:
      host_.FolderDone({event.path, event.page, event.tally});
      break;
    case RunEvent::Kind::kFolderNotReached:
      ++s.folders_not_reached;
      break;
  }
}

void IndexRun::ApplyEvents() {
  for (const RunEvent& event : events_->Take()) Apply(event);
}

void IndexRun::Tick() {
  ApplyEvents();
  host_.ShowProgress(summary_);
  host_.Yield();
}

bool IndexRun::OnFolderReached() {
  if (!stop_.stop_requested()) {
    ++summary_.folders_reached;
    Tick();
    if (!stop_.stop_requested()) return false;
    --summary_.folders_reached;
  }
  // The walk leaves this folder at once: it is not reached.
  ++summary_.folders_not_reached;
  return true;
}

void IndexRun::ProcessDirectory(WalkFolder& folder) {
  if (!dry_run_ && !folder.listing.temp_files.empty()) {
    RemoveStaleTempFiles(folder.fd, folder.listing.temp_files);
  }
  ThumbnailFolderState thumbnails;
  if (ThumbnailsInSubfolder(options_)) {
    auto& subfolders = folder.subfolders;
    const auto it = std::find(subfolders.begin(), subfolders.end(), options_.thumbnail_folder);
    if (it != subfolders.end()) {
      subfolders.erase(it);  // never walked
      thumbnails = ReadThumbnailFolder(folder.fd, folder.path, options_.thumbnail_folder, !dry_run_,
                                       *events_);
    }
  }
  const std::size_t weight = WeightOf(folder.listing, templates_->main_size());
  FolderPlan plan = PlanFolder(std::move(folder.listing), thumbnails.listing.get(), options_,
                               filter_, summary_.thumbnails);
  for (Collision& collision : plan.collisions) {
    summary_.collisions.push_back({folder.path + collision.name, std::move(collision.reason)});
  }
  UniqueFd dir_fd(::fcntl(folder.fd, F_DUPFD_CLOEXEC, 0));
  if (!dir_fd.valid()) {
    Apply({RunEvent::Kind::kFailure, folder.path,
           "cannot write " + options_.index_filename + ": " + ErrnoText(errno)});
    return;
  }
  pool_->Reserve(weight, [this] { Tick(); });
  std::make_shared<FolderWork>(*context_, folder.path, std::move(dir_fd), std::move(plan),
                               std::move(thumbnails), weight)
      ->Start();
  ApplyEvents();
}

void IndexRun::Walk(const std::string& root) {
  std::string walk_root = root;
  WalkAdapter adapter(*this);
  // Reading folders ahead overlaps the round trips of a share; on a local
  // disk a folder is read sooner than a thread could be handed it.
  WalkDirectory(walk_root, adapter, IsOnRemoteFileSystem(root) ? jobs_ : 1);
  pool_->WaitIdle([this] { Tick(); });
  ApplyEvents();
}

RunSummary IndexRun::CreateIndexes(const std::string& root, const std::string& selected_folder,
                                   std::stop_token stop) {
  summary_ = RunSummary();
  summary_.dry_run = dry_run_;
  summary_.picture_pages = options_.pics_in_html;
  summary_.thumbnails =
      thumbnail_maker_ != nullptr && options_.use_thumbnails && options_.make_thumbnails;
  stop_ = std::move(stop);
  selected_folder_ = selected_folder;
  templates_ = std::make_unique<RunTemplates>();
  events_ = std::make_unique<RunEvents>();
  pool_ = std::make_unique<TaskPool>(jobs_, [this] { Tick(); });
  context_ = std::make_unique<RunContext>(
      RunContext{options_, filter_, *templates_, selected_folder_, thumbnail_maker_, faults_,
                 dry_run_, host_.WantsFolderReports(), stop_, *pool_, *events_});
  if (options_.pics_in_html) templates_->LoadPicture(options_.picture_template);
  Tick();

  std::string error;
  if (!templates_->LoadMain(options_.main_template, &error)) {
    // Without one whole version of the template there is no page to write.
    Apply({RunEvent::Kind::kFailure, root,
           "cannot read the template " + options_.main_template + ": " + error});
  } else {
    Walk(root);
    summary_.template_changed = templates_->ChangedSinceLoaded();
  }
  // Folders finish in whatever order the threads take; the report reads in
  // the order of the paths, the same for every run of the same tree.
  const auto by_path = [](const Failure& a, const Failure& b) { return a.folder < b.folder; };
  std::stable_sort(summary_.failures.begin(), summary_.failures.end(), by_path);
  std::stable_sort(summary_.warnings.begin(), summary_.warnings.end(), by_path);
  summary_.top_page = root + options_.index_filename;
  // The last line agrees with the summary: it counts the folders whose page
  // is in place, not the folders visited. A stop asked for until then
  // counts.
  RunProgress last = summary_;
  last.folders_reached = summary_.folders_indexed;
  host_.ShowProgress(last);
  host_.Yield();
  summary_.stopped = stop_.stop_requested();
  context_.reset();
  pool_.reset();
  return summary_;
}

}  // namespace pelorin
