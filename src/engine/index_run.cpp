#include "engine/index_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "common/path_routines.h"
#include "common/text_routines.h"
#include "engine/page_generator.h"
#include "engine/page_write_queue.h"
#include "engine/pictures.h"
#include "engine/run_report.h"
#include "engine/walker.h"

namespace pelorin {

namespace {

bool ReadWholeFile(int fd, std::string* text, std::string* error) {
  text->clear();
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = ErrnoText(errno);
      return false;
    }
    if (n == 0) return true;
    text->append(buffer, static_cast<std::size_t>(n));
  }
}

// An editor saving in place truncates and writes while a read may be under
// way; a read is kept only when the file looked the same before and after.
// A file changed only just now may be between the truncation and the write
// of a save: it is looked at again after a pause before it counts as read.
constexpr int kTemplateReadAttempts = 8;
constexpr auto kTemplateReadPause = std::chrono::milliseconds(50);

bool ChangedWithin(const struct stat& st, std::chrono::nanoseconds span) {
  const auto changed =
      std::chrono::seconds(st.st_ctim.tv_sec) + std::chrono::nanoseconds(st.st_ctim.tv_nsec);
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return now - changed < span;
}

bool SameTimes(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool SameVersion(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         SameTimes(a.st_mtim, b.st_mtim) && SameTimes(a.st_ctim, b.st_ctim);
}

// Reads the whole file at path as one version: the same file, size and
// times before and after the read, a few attempts apart.
bool ReadStableFile(const std::string& path, std::string* text, struct stat* st,
                    std::string* error) {
  for (int attempt = 0; attempt < kTemplateReadAttempts; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kTemplateReadPause);
    // O_NONBLOCK: a FIFO in its place must not hang the run.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid() || ::fstat(fd.get(), st) != 0) {
      *error = ErrnoText(errno);
      return false;
    }
    if (!S_ISREG(st->st_mode)) {
      *error = "not a regular file";
      return false;
    }
    if (!ReadWholeFile(fd.get(), text, error)) return false;
    struct stat after;
    if (::fstat(fd.get(), &after) != 0 || !SameVersion(*st, after) ||
        static_cast<std::size_t>(st->st_size) != text->size()) {
      continue;
    }
    if (ChangedWithin(*st, kTemplateReadPause)) std::this_thread::sleep_for(kTemplateReadPause);
    struct stat by_path;
    if (::stat(path.c_str(), &by_path) == 0 && SameVersion(*st, by_path)) return true;
  }
  *error = "it kept changing while it was read; save it and run again";
  return false;
}

}  // namespace

// The walker's view of the run; the run's own surface stays CreateIndexes
// and RequestStop.
class IndexRun::WalkAdapter : public WalkCallback {
 public:
  explicit WalkAdapter(IndexRun& run) : run_(run) {}
  bool SetStatus(WalkEvent event) override { return run_.SetStatus(event); }
  void ProcessDirectory(WalkFolder& folder) override { run_.ProcessDirectory(folder); }
  bool IsInteresting(std::string_view name) override { return run_.filter_.IsInteresting(name); }
  void ProcessFile(const std::string&) override {}
  void FolderFailed(const std::string& path, const std::string& reason) override {
    run_.RecordFailure(path, "cannot read the folder: " + reason);
  }

 private:
  IndexRun& run_;
};

IndexRun::IndexRun(RunHost& host, PageOptions options, FileTypeList filter)
    : host_(host), options_(std::move(options)), filter_(std::move(filter)) {}

IndexRun::~IndexRun() = default;

bool IndexRun::SetStatus(WalkEvent event) {
  const bool folder = event == WalkEvent::kFolder && !stop_requested_;
  if (folder) {
    ++folder_count_;
  } else if (event == WalkEvent::kStart) {
    folder_count_ = 0;
  }
  DrainQueueReports();
  if (event == WalkEvent::kFinish) {
    // The last line agrees with the summary: it counts the folders whose
    // page is in place, not the folders visited.
    status_line_ = ProgressLine(summary_.folders_indexed, false, 0);
    host_.ShowStatus(status_line_);
    host_.Yield();
  } else {
    ShowProgress();
  }
  if (event == WalkEvent::kFolder && stop_requested_) {
    // The walk leaves this folder at once: it is not reached.
    if (folder) --folder_count_;
    ++summary_.folders_not_reached;
  }
  return stop_requested_;
}

// The status line while the run goes on, made again only when a count moved
// (kFile comes once per listed file and leaves the counts alone).
void IndexRun::ShowProgress() {
  if (status_count_ != folder_count_ || status_thumbnails_ != summary_.thumbnails_made ||
      status_line_.empty()) {
    status_count_ = folder_count_;
    status_thumbnails_ = summary_.thumbnails_made;
    status_line_ = ProgressLine(folder_count_, summary_.thumbnails, summary_.thumbnails_made);
  }
  host_.ShowStatus(status_line_);
  host_.Yield();
}

void IndexRun::RecordFailure(const std::string& folder, const std::string& reason, bool picture) {
  summary_.failures.push_back({folder, reason, picture});
  host_.FolderFailed(summary_.failures.back());
}

void IndexRun::Record(const std::string& folder, WriteOutcome outcome, const std::string& error) {
  switch (outcome) {
    case WriteOutcome::kWritten:
      ++summary_.pages_written;
      ++summary_.folders_indexed;
      break;
    case WriteOutcome::kUnchanged:
      ++summary_.pages_unchanged;
      ++summary_.folders_indexed;
      break;
    case WriteOutcome::kFailed:
      RecordFailure(folder, "cannot write " + options_.index_filename + ": " + error);
      break;
  }
}

void IndexRun::RecordPicturePage(const std::string& folder, const std::string& name,
                                 WriteOutcome outcome, const std::string& error) {
  switch (outcome) {
    case WriteOutcome::kWritten:
      ++summary_.picture_pages_written;
      break;
    case WriteOutcome::kUnchanged:
      ++summary_.picture_pages_unchanged;
      break;
    case WriteOutcome::kFailed:
      RecordFailure(folder + name, error, /*picture=*/true);
      break;
  }
}

void IndexRun::DrainQueueReports() {
  if (!queue_) return;
  for (auto& outcome : queue_->TakeOutcomes()) {
    if (outcome.name == options_.index_filename) {
      Record(outcome.folder, outcome.outcome, outcome.error);
    } else {
      RecordPicturePage(outcome.folder, outcome.name, outcome.outcome, outcome.error);
    }
  }
}

void IndexRun::LoadPictureTemplate() {
  picture_template_.reset();
  picture_template_error_.clear();
  std::string text;
  if (ReadStableFile(options_.picture_template, &text, &picture_template_st_,
                     &picture_template_error_)) {
    picture_template_ = std::make_shared<const PageTemplate>(text);
  }
}

// The template is read once, before the first folder: every page of a run
// is made from the same whole version, whatever happens to the file later.
bool IndexRun::LoadTemplate(std::string* error) {
  if (!ReadStableFile(options_.main_template, &template_.text, &template_.st, error)) {
    return false;
  }
  template_.page = std::make_shared<const PageTemplate>(template_.text);
  return true;
}

// A change that leaves the bytes as they were (its permissions, say, or a
// save of the same text) is no change to the pages.
bool IndexRun::TemplateChangedSinceLoaded() const {
  struct stat now;
  if (::stat(options_.main_template.c_str(), &now) == 0 && SameVersion(now, template_.st)) {
    return false;
  }
  std::string text;
  struct stat st;
  std::string error;
  return !ReadStableFile(options_.main_template, &text, &st, &error) || text != template_.text;
}

// A page may be a template itself, or a link to one; it is never written.
bool IndexRun::IsTemplateFile(int dir_fd, const std::string& name,
                              const ExistingPage& existing) const {
  if (!existing.exists) return false;
  struct stat target = existing.st;
  if (S_ISLNK(existing.st.st_mode) && ::fstatat(dir_fd, name.c_str(), &target, 0) != 0) {
    target = existing.st;
  }
  const auto same = [&](const struct stat& st) {
    return target.st_dev == st.st_dev && target.st_ino == st.st_ino;
  };
  return same(template_.st) || (picture_template_ && same(picture_template_st_));
}

IndexRun::ThumbnailFolder IndexRun::TakeThumbnailFolder(WalkFolder& folder) {
  ThumbnailFolder thumbnails;
  if (!ThumbnailsInSubfolder(options_)) return thumbnails;
  const std::string& name = options_.thumbnail_folder;
  auto& entries = folder.listing.entries;
  const auto it = std::find_if(entries.begin(), entries.end(), [&](const FolderEntry& entry) {
    return entry.kind == EntryKind::kFolder && entry.name == name;
  });
  if (it == entries.end()) return thumbnails;
  entries.erase(it);
  --folder.listing.total_subfolders;
  thumbnails.fd = OpenFolder(folder.fd, name, /*follow_links=*/false);
  auto listing = std::make_shared<FolderListing>();
  std::string error;
  if (!thumbnails.fd.valid()) {
    error = ErrnoText(errno);
  } else if (ReadFolder(thumbnails.fd.get(), listing.get(), &error, /*just_opened=*/true)) {
    // The folder is never walked, so its leftovers are cleared here.
    if (!listing->temp_files.empty()) {
      RemoveStaleTempFiles(thumbnails.fd.get(), listing->temp_files);
    }
    thumbnails.listing = std::move(listing);
    return thumbnails;
  }
  RecordFailure(folder.path + name + kSeparator, "cannot read the folder: " + error);
  thumbnails.fd = UniqueFd();
  return thumbnails;
}

std::vector<ThumbnailTask> IndexRun::PlanThumbnails(WalkFolder& folder,
                                                    ThumbnailFolder& thumbnails) {
  std::vector<ThumbnailTask> tasks;
  const bool in_subfolder = ThumbnailsInSubfolder(options_);
  const auto& entries = folder.listing.entries;
  for (const std::size_t index : PicturesOf(folder.listing, options_, filter_)) {
    const std::string& picture = entries[index].name;
    const std::optional<ThumbnailFormat> format = ThumbnailFormatOf(picture);
    if (!format) continue;  // bmp and svg are shown as they are
    std::string thumbnail = ThumbnailNameOf(picture, options_);
    if (!in_subfolder && thumbnail == picture) continue;  // a picture is never written to
    const int thumbnail_dir = in_subfolder ? thumbnails.fd.get() : folder.fd;
    ThumbnailTask task{folder.fd,
                       picture,
                       thumbnail_dir,
                       std::move(thumbnail),
                       *format,
                       options_.thumbnail_size,
                       options_.remake_thumbnails};
    if (thumbnail_dir >= 0 && !ThumbnailNeedsMaking(task)) {
      ++summary_.thumbnails_up_to_date;
      continue;
    }
    tasks.push_back(std::move(task));
  }
  if (tasks.empty() || !in_subfolder || thumbnails.fd.valid()) return tasks;

  // The thumbnail folder is made when the first thumbnail needs it.
  const std::string& name = options_.thumbnail_folder;
  const bool made = ::mkdirat(folder.fd, name.c_str(), 0777) == 0;
  if (!made && errno != EEXIST) {
    RecordFailure(folder.path + name + kSeparator, "cannot make the folder: " + ErrnoText(errno));
    summary_.thumbnails_failed += static_cast<std::int64_t>(tasks.size());
    return {};
  }
  thumbnails.fd = OpenFolder(folder.fd, name, /*follow_links=*/false);
  if (!thumbnails.fd.valid()) {
    // A file or a link has the folder's name: it is someone's, and stays.
    const int error = errno;
    RecordFailure(folder.path + name + kSeparator,
                  error == ENOTDIR || error == ELOOP
                      ? "not a folder; it was left alone"
                      : "cannot read the folder: " + ErrnoText(error));
    summary_.thumbnails_failed += static_cast<std::int64_t>(tasks.size());
    return {};
  }
  if (made) GiveToFolderOwner(thumbnails.fd.get(), folder.fd);
  thumbnails.listing = std::make_shared<FolderListing>();
  for (ThumbnailTask& task : tasks) task.thumbnail_dir_fd = thumbnails.fd.get();
  return tasks;
}

void IndexRun::MakeMissingThumbnails(WalkFolder& folder, ThumbnailFolder& thumbnails) {
  if (thumbnail_maker_ == nullptr || !options_.use_thumbnails || !options_.make_thumbnails) return;
  const std::vector<ThumbnailTask> tasks = PlanThumbnails(folder, thumbnails);
  if (tasks.empty()) return;
  const std::int64_t made_before = summary_.thumbnails_made;
  const std::vector<ThumbnailOutcome> outcomes =
      MakeThumbnails(*thumbnail_maker_, tasks, jobs_, [&](int made) {
        summary_.thumbnails_made = made_before + made;
        ShowProgress();
        return stop_requested_;
      });
  summary_.thumbnails_made = made_before;
  FolderListing* listing =
      ThumbnailsInSubfolder(options_) ? thumbnails.listing.get() : &folder.listing;
  for (std::size_t i = 0; i < tasks.size(); ++i) {
    switch (outcomes[i].result) {
      case ThumbnailResult::kMade:
        ++summary_.thumbnails_made;
        InsertFileEntry(listing, tasks[i].thumbnail);
        for (const std::string& warning : outcomes[i].warnings) {
          summary_.warnings.push_back({folder.path + tasks[i].picture, warning, true});
        }
        break;
      case ThumbnailResult::kUpToDate:
        ++summary_.thumbnails_up_to_date;
        break;
      case ThumbnailResult::kFailed:
        ++summary_.thumbnails_failed;
        RecordFailure(folder.path + tasks[i].picture,
                      "cannot make a thumbnail: " + outcomes[i].error, /*picture=*/true);
        break;
      case ThumbnailResult::kLeftAlone: {
        ++summary_.thumbnails_failed;
        const std::string where =
            ThumbnailsInSubfolder(options_) ? options_.thumbnail_folder + kSeparator : "";
        RecordFailure(folder.path + where + tasks[i].thumbnail, outcomes[i].error,
                      /*picture=*/true);
        break;
      }
      case ThumbnailResult::kAbandoned:
      case ThumbnailResult::kNotStarted:
        break;
    }
  }
}

// One page per picture, from the picture template, beside the picture.
void IndexRun::WritePicturePages(WalkFolder& folder) {
  if (!options_.pics_in_html) return;
  const std::vector<std::size_t> pictures = PicturesOf(folder.listing, options_, filter_);
  if (pictures.empty()) return;
  if (!picture_template_) {
    RecordFailure(folder.path, "cannot read the picture template " + options_.picture_template +
                                   ": " + picture_template_error_);
    return;
  }
  const auto& entries = folder.listing.entries;
  for (std::size_t k = 0; k < pictures.size(); ++k) {
    const std::string& name = entries[pictures[k]].name;
    const std::string page_name = PicturePageName(name);
    if (page_name == options_.index_filename) continue;  // the folder's page wins
    const ExistingPage existing = LookUpPage(folder.fd, page_name);
    if (IsTemplateFile(folder.fd, page_name, existing)) {
      RecordFailure(folder.path + page_name, "this is a template; it was left untouched",
                    /*picture=*/true);
      continue;
    }
    std::string previous = k > 0 ? entries[pictures[k - 1]].name : std::string();
    std::string next = k + 1 < pictures.size() ? entries[pictures[k + 1]].name : std::string();
    if (queue_ && folder.shared_listing) {
      UniqueFd dup(::fcntl(folder.fd, F_DUPFD_CLOEXEC, 0));
      if (!dup.valid()) {
        RecordFailure(folder.path + page_name, ErrnoText(errno));
        continue;
      }
      const std::size_t weight = template_.text.size() + 4 * name.size() + 1024;
      queue_->Submit(std::move(dup), folder.path, page_name, existing, weight,
                     [this, page_template = picture_template_, listing = folder.shared_listing,
                      path = folder.path, name, previous = std::move(previous),
                      next = std::move(next)](std::string* page) {
                       const PicturePage picture{name, previous, next};
                       PageInput input{path, selected_folder_, *listing, options_, filter_};
                       input.picture = &picture;
                       page_template->Render(input, page);
                     });
      continue;
    }
    const PicturePage picture{name, previous, next};
    PageInput input{folder.path, selected_folder_, folder.listing, options_, filter_};
    input.picture = &picture;
    page_.clear();
    picture_template_->Render(input, &page_);
    std::string error;
    const WriteOutcome outcome =
        WritePage(folder.fd, folder.path, page_name, page_, &error, faults_, &existing);
    RecordPicturePage(folder.path, page_name, outcome, error);
  }
}

bool IndexRun::PreparePage(WalkFolder& folder, ExistingPage* existing, bool* inserted) {
  const std::string& name = options_.index_filename;
  // The page lists itself as if it had been created before its lists. When
  // the listing did not hold it, there is no page to compare with or to
  // guard: a name the listing cannot show (hidden, or with a separator) is
  // looked up.
  const bool listable =
      !name.empty() && name.find(kSeparator) == std::string::npos && !IsHiddenName(name);
  *inserted = listable && InsertFileEntry(&folder.listing, name);
  if (!*inserted) *existing = LookUpPage(folder.fd, name);
  if (IsTemplateFile(folder.fd, name, *existing)) {
    RecordFailure(folder.path, "the template " + options_.main_template + " is this folder's " +
                                   name + "; it was left untouched");
    return false;
  }
  return true;
}

// The page is made on a writing thread, from this listing and this
// template, which the task keeps; options and filter stay as they are.
void IndexRun::SubmitPage(WalkFolder& folder, const ExistingPage& existing,
                          std::shared_ptr<const FolderListing> thumbnails) {
  UniqueFd dup(::fcntl(folder.fd, F_DUPFD_CLOEXEC, 0));
  if (!dup.valid()) {
    RecordFailure(folder.path, "cannot write " + options_.index_filename + ": " + ErrnoText(errno));
    return;
  }
  std::size_t weight = template_.text.size();
  for (const FolderEntry& entry : folder.listing.entries) {
    weight += sizeof entry + 4 * entry.name.size();
  }
  queue_->Submit(std::move(dup), folder.path, options_.index_filename, existing, weight,
                 [this, page_template = template_.page, listing = folder.shared_listing,
                  path = folder.path, thumbnails = std::move(thumbnails)](std::string* page) {
                   PageInput input{path, selected_folder_, *listing, options_, filter_};
                   input.thumbnails = thumbnails.get();
                   page_template->Render(input, page);
                 });
}

void IndexRun::ProcessDirectory(WalkFolder& folder) {
  std::string error;
  ExistingPage existing;
  bool inserted = false;
  if (!PreparePage(folder, &existing, &inserted)) return;

  if (!folder.listing.temp_files.empty())
    RemoveStaleTempFiles(folder.fd, folder.listing.temp_files);

  ThumbnailFolder thumbnail_folder = TakeThumbnailFolder(folder);
  MakeMissingThumbnails(folder, thumbnail_folder);
  std::shared_ptr<const FolderListing> thumbnails = std::move(thumbnail_folder.listing);
  if (queue_ && folder.shared_listing) {
    SubmitPage(folder, existing, std::move(thumbnails));
  } else {
    PageInput input{folder.path, selected_folder_, folder.listing, options_, filter_};
    input.thumbnails = thumbnails.get();
    page_.clear();  // its room is kept from folder to folder
    template_.page->Render(input, &page_);
    const std::string& name = options_.index_filename;
    const WriteOutcome outcome =
        WritePage(folder.fd, folder.path, name, page_, &error, faults_, &existing);
    if (outcome == WriteOutcome::kFailed && inserted) RemoveEntry(&folder.listing, name);
    Record(folder.path, outcome, error);
  }
  WritePicturePages(folder);
}

RunSummary IndexRun::CreateIndexes(const std::string& root, const std::string& selected_folder) {
  summary_ = RunSummary();
  template_ = TemplateCache();
  selected_folder_ = selected_folder;
  summary_.picture_pages = options_.pics_in_html;
  summary_.thumbnails =
      thumbnail_maker_ != nullptr && options_.use_thumbnails && options_.make_thumbnails;
  if (options_.pics_in_html) LoadPictureTemplate();
  if (jobs_ > 1) queue_ = std::make_unique<PageWriteQueue>(jobs_, faults_);

  SetStatus(WalkEvent::kStart);
  std::string error;
  if (!LoadTemplate(&error)) {
    // Without one whole version of the template there is no page to write.
    RecordFailure(root, "cannot read the template " + options_.main_template + ": " + error);
  } else {
    std::string walk_root = root;
    WalkAdapter adapter(*this);
    WalkDirectory(walk_root, adapter, true);
    if (queue_) {
      queue_->Finish();
      DrainQueueReports();
      queue_.reset();
    }
    summary_.template_changed = TemplateChangedSinceLoaded();
  }
  summary_.top_page = root + options_.index_filename;
  SetStatus(WalkEvent::kFinish);
  summary_.stopped = stop_requested_;
  return summary_;
}

}  // namespace pelorin
