#include "engine/folder_work.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "common/path_routines.h"
#include "common/temp_file_name.h"
#include "engine/pictures.h"
#include "engine/thumbnail_task.h"

namespace pelorin {

namespace {

// Picture pages are small: a task writes several, so that a folder of many
// pictures spreads over the threads without a hand-over per page.
constexpr std::size_t kPicturePagesPerTask = 32;

// Adds the header of every picture of listing (in the folder open at
// dir_fd) to *headers, under prefix and its name.
void ReadHeadersOf(ThumbnailMaker& maker, int dir_fd, const FolderListing& listing,
                   const std::string& prefix, PictureHeaders* headers) {
  for (const FolderEntry& entry : listing.entries) {
    if (entry.kind != EntryKind::kFile || !IsPictureName(entry.name)) continue;
    const UniqueFd fd(
        ::openat(dir_fd, entry.name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    PictureHeader header;
    maker.ReadPictureHeader(fd.get(), &header);
    header.bytes = st.st_size;
    headers->emplace(prefix + entry.name, std::move(header));
  }
}

// Makes the thumbnail subfolder name of the folder at dir_fd, when it is
// not there yet, and opens it into *folder; false with the reason (and the
// folder marked failed) when it cannot be.
bool MakeThumbnailFolder(int dir_fd, const std::string& name, ThumbnailFolderState* folder,
                         std::string* error) {
  const bool made = ::mkdirat(dir_fd, name.c_str(), 0777) == 0;
  if (!made && errno != EEXIST) {
    *error = "cannot make the folder: " + ErrnoText(errno);
  } else if (folder->fd = OpenFolder(dir_fd, name, /*follow_links=*/false); !folder->fd.valid()) {
    // A file or a link has the folder's name: it is someone's, and stays.
    const int error_number = errno;
    *error = error_number == ENOTDIR || error_number == ELOOP
                 ? "not a folder; it was left alone"
                 : "cannot read the folder: " + ErrnoText(error_number);
  } else {
    if (made) GiveToFolderOwner(folder->fd.get(), dir_fd);
    folder->listing = std::make_shared<FolderListing>();
    return true;
  }
  folder->failed = true;
  return false;
}

}  // namespace

ThumbnailFolderState ReadThumbnailFolder(int dir_fd, const std::string& path,
                                         const std::string& name, bool clean_up,
                                         RunEvents& events) {
  ThumbnailFolderState folder;
  folder.fd = OpenFolder(dir_fd, name, /*follow_links=*/false);
  auto listing = std::make_shared<FolderListing>();
  std::string error;
  if (!folder.fd.valid()) {
    error = ErrnoText(errno);
  } else if (ReadFolder(folder.fd.get(), listing.get(), &error, /*just_opened=*/true)) {
    if (clean_up && !listing->temp_files.empty()) {
      RemoveStaleTempFiles(folder.fd.get(), listing->temp_files);
    }
    folder.listing = std::move(listing);
    return folder;
  }
  events.Push(
      {RunEvent::Kind::kFailure, path + name + kSeparator, "cannot read the folder: " + error});
  folder.fd = UniqueFd();
  folder.failed = true;
  return folder;
}

FolderWork::FolderWork(const RunContext& context, std::string path, UniqueFd dir_fd,
                       FolderPlan plan, ThumbnailFolderState thumbnail_folder, std::size_t reserved)
    : context_(context),
      path_(std::move(path)),
      dir_fd_(std::move(dir_fd)),
      plan_(std::move(plan)),
      reserved_(reserved),
      thumbnail_folder_(std::move(thumbnail_folder)),
      thumbnail_results_(plan_.thumbnails.size(), ThumbnailResult::kNotStarted) {}

void FolderWork::Start() {
  const std::size_t count = plan_.thumbnails.size();
  const std::shared_ptr<FolderWork> self = shared_from_this();
  if (count == 0) {
    // Even a folder's look at what is there goes to the pool: on a share
    // every call waits, and the walk must not.
    context_.pool.Post([self] { self->StartPages(); });
    return;
  }
  thumbnails_left_.store(count);
  // The images of one picture are made together, in one pool task.
  for (std::size_t begin = 0; begin < count;) {
    std::size_t end = begin + 1;
    while (end < count && plan_.thumbnails[end].after_previous) ++end;
    context_.pool.Post([self, begin, end] { self->MakeThumbnails(begin, end); },
                       /*urgent=*/false, /*heavy=*/true);
    begin = end;
  }
}

void FolderWork::Fail(std::string path, std::string reason, bool picture) {
  failed_.fetch_add(1, std::memory_order_relaxed);
  RunEvent event{RunEvent::Kind::kFailure, std::move(path)};
  event.reason = std::move(reason);
  event.picture = picture;
  context_.events.Push(std::move(event));
}

// The thumbnail subfolder, made when the first thumbnail needs it; -1 when
// it is not there (a dry run makes nothing) or cannot be made, which is
// reported once.
int FolderWork::ThumbnailFolder(std::string* error) {
  std::lock_guard<std::mutex> lock(thumbnail_folder_mutex_);
  ThumbnailFolderState& folder = thumbnail_folder_;
  if (folder.fd.valid() || folder.failed || context_.dry_run) return folder.fd.get();
  const std::string& name = context_.options.thumbnail_folder;
  if (MakeThumbnailFolder(dir_fd_.get(), name, &folder, error)) return folder.fd.get();
  Fail(path_ + name + kSeparator, *error, /*picture=*/false);
  return -1;
}

std::vector<ThumbnailResult> FolderWork::BringUpToDate(std::size_t begin, std::size_t end) {
  std::vector<ThumbnailResult> results(end - begin, ThumbnailResult::kNotStarted);
  std::vector<ThumbnailTask> tasks;
  std::vector<std::size_t> indexes;  // of the plan's tasks, in tasks' order
  for (std::size_t i = begin; i < end; ++i) {
    const ThumbnailTaskPlan& plan = plan_.thumbnails[i];
    int thumbnail_dir = dir_fd_.get();
    if (plan.place.in_subfolder) {
      std::string folder_error;
      thumbnail_dir = ThumbnailFolder(&folder_error);
      // Its folder's failure is reported once, not once per picture.
      if (thumbnail_dir < 0 && !context_.dry_run) {
        results[i - begin] = ThumbnailResult::kFailed;
        continue;
      }
    }
    // The planner makes a display copy the source of the thumbnails after it.
    tasks.push_back({dir_fd_.get(), plan.picture, thumbnail_dir, plan.place.name, plan.format,
                     plan.size, context_.options.remake_thumbnails, !plan.source.empty()});
    indexes.push_back(i);
  }
  if (context_.dry_run) {
    for (std::size_t k = 0; k < tasks.size(); ++k) {
      results[indexes[k] - begin] =
          tasks[k].thumbnail_dir_fd >= 0 && !ThumbnailNeedsMaking(tasks[k])
              ? ThumbnailResult::kUpToDate
              : ThumbnailResult::kMade;
    }
    return results;
  }
  std::vector<ThumbnailOutcome> outcomes =
      pelorin::MakeThumbnails(*context_.maker, tasks, context_.stop);
  std::string picture_failure;  // said once for all the picture's images
  for (std::size_t k = 0; k < tasks.size(); ++k) {
    const ThumbnailTaskPlan& plan = plan_.thumbnails[indexes[k]];
    ThumbnailOutcome& outcome = outcomes[k];
    results[indexes[k] - begin] = outcome.result;
    switch (outcome.result) {
      case ThumbnailResult::kFailed:
        if (outcome.error == picture_failure) break;
        picture_failure = outcome.error;
        Fail(path_ + plan.picture, "cannot make a thumbnail: " + outcome.error, /*picture=*/true);
        break;
      case ThumbnailResult::kLeftAlone:
        // Someone's file at the thumbnail's name: reported where it is.
        Fail(path_ +
                 (plan.place.in_subfolder ? context_.options.thumbnail_folder + kSeparator : "") +
                 plan.place.name,
             outcome.error, /*picture=*/true);
        break;
      case ThumbnailResult::kMade:
        for (std::string& warning : outcome.warnings) {
          context_.events.Push(
              {RunEvent::Kind::kWarning, path_ + plan.picture, std::move(warning)});
        }
        break;
      default:
        break;
    }
  }
  return results;
}

void FolderWork::MakeThumbnails(std::size_t begin, std::size_t end) {
  const std::vector<ThumbnailResult> results =
      context_.stop.stop_requested()
          ? std::vector<ThumbnailResult>(end - begin, ThumbnailResult::kNotStarted)
          : BringUpToDate(begin, end);
  for (std::size_t i = begin; i < end; ++i) {
    thumbnail_results_[i] = results[i - begin];
    RunEvent event{RunEvent::Kind::kThumbnail, {}};
    event.thumbnail = results[i - begin];
    context_.events.Push(std::move(event));
    ThumbnailDone();
  }
}

void FolderWork::ThumbnailDone() {
  // The last thumbnail lets the pages go; it sees every other's result.
  if (thumbnails_left_.fetch_sub(1, std::memory_order_acq_rel) == 1) StartPages();
}

// Thumbnails made (or, in a dry run, to be made) are in the page's lists.
void FolderWork::AddMadeThumbnails() {
  for (std::size_t i = 0; i < plan_.thumbnails.size(); ++i) {
    if (thumbnail_results_[i] != ThumbnailResult::kMade) continue;
    const ThumbnailPlace& place = plan_.thumbnails[i].place;
    if (!place.in_subfolder) {
      InsertFileEntry(&plan_.page_listing, place.name);
      continue;
    }
    if (!thumbnail_folder_.listing) thumbnail_folder_.listing = std::make_shared<FolderListing>();
    InsertFileEntry(thumbnail_folder_.listing.get(), place.name);
  }
}

// What the pages show of the pictures' headers: with ModernImages the sizes
// of the pictures, thumbnails and display copies, for <!--#imageinfo--> the
// pictures' details. Read once, before the pages, by the maker, which never
// decodes a picture for it.
void FolderWork::ReadHeaders() {
  const PageOptions& options = context_.options;
  const auto& picture_template = context_.templates.picture();
  const bool details =
      options.pics_in_html && picture_template && picture_template->needs_headers();
  if (context_.maker == nullptr || (!options.modern_images && !details)) return;
  ReadHeadersOf(*context_.maker, dir_fd_.get(), plan_.page_listing, {}, &headers_);
  const FolderListing* thumbnails = thumbnail_folder_.listing.get();
  if (!options.modern_images || thumbnails == nullptr || !thumbnail_folder_.fd.valid()) return;
  ReadHeadersOf(*context_.maker, thumbnail_folder_.fd.get(), *thumbnails,
                options.thumbnail_folder + kSeparator, &headers_);
}

void FolderWork::StartPages() {
  if (context_.stop.stop_requested()) {
    // The folder stays as it was: no page shows part of its pictures.
    context_.events.Push({RunEvent::Kind::kFolderNotReached, path_});
    context_.pool.Release(reserved_);
    return;
  }
  AddMadeThumbnails();
  ReadHeaders();
  const std::size_t count = plan_.picture_pages.size();
  bool pictures = WriteIndexPage() && count > 0;
  if (pictures && !context_.templates.picture()) {
    Fail(path_,
         "cannot read the picture template " + context_.options.picture_template + ": " +
             context_.templates.picture_error(),
         /*picture=*/false);
    pictures = false;
  }
  const std::size_t tasks =
      pictures ? (count + kPicturePagesPerTask - 1) / kPicturePagesPerTask : 0;
  page_tasks_left_.store(1 + tasks);
  const std::shared_ptr<FolderWork> self = shared_from_this();
  for (std::size_t begin = 0; tasks > 0 && begin < count; begin += kPicturePagesPerTask) {
    const std::size_t end = std::min(count, begin + kPicturePagesPerTask);
    context_.pool.Post(
        [self, begin, end] {
          self->WritePicturePages(begin, end);
          self->PageTaskDone();
        },
        /*urgent=*/true);
  }
  PageTaskDone();
}

WriteOutcome FolderWork::Write(const std::string& name, const std::string& page,
                               const ExistingPage& existing, std::string* error) {
  if (context_.dry_run) return PreviewPage(dir_fd_.get(), name, page, existing, error);
  return WritePage(dir_fd_.get(), path_, name, page, error, context_.faults, &existing);
}

// False when the page is a template, which leaves the folder's picture
// pages alone too.
bool FolderWork::WriteIndexPage() {
  const std::string& name = context_.options.index_filename;
  const ExistingPage existing =
      plan_.look_up_page ? LookUpPage(dir_fd_.get(), name) : ExistingPage();
  if (context_.templates.IsTemplateFile(dir_fd_.get(), name, existing)) {
    Fail(path_,
         "the template " + context_.options.main_template + " is this folder's " + name +
             "; it was left untouched",
         /*picture=*/false);
    return false;
  }
  PageInput input{path_, context_.selected_folder, plan_.page_listing, context_.options,
                  context_.filter};
  input.thumbnails = thumbnail_folder_.listing.get();
  input.headers = &headers_;
  std::string page;
  context_.templates.main()->Render(input, &page);
  std::string error;
  const WriteOutcome outcome = Write(name, page, existing, &error);
  RunEvent event{RunEvent::Kind::kPage, path_};
  event.outcome = outcome;
  event.existed = existing.exists;
  context_.events.Push(std::move(event));
  switch (outcome) {
    case WriteOutcome::kWritten:
      page_ = existing.exists ? FolderReport::Page::kChanged : FolderReport::Page::kNew;
      break;
    case WriteOutcome::kUnchanged:
      page_ = FolderReport::Page::kUnchanged;
      break;
    case WriteOutcome::kFailed:
      Fail(path_, "cannot write " + name + ": " + error, /*picture=*/false);
      break;
  }
  return true;
}

void FolderWork::WritePicturePages(std::size_t begin, std::size_t end) {
  std::string page;
  std::string error;
  for (std::size_t k = begin; k < end; ++k) {
    const PicturePageTask& task = plan_.picture_pages[k];
    const ExistingPage existing = LookUpPage(dir_fd_.get(), task.page);
    if (context_.templates.IsTemplateFile(dir_fd_.get(), task.page, existing)) {
      Fail(path_ + task.page, "this is a template; it was left untouched", /*picture=*/true);
      continue;
    }
    const PicturePage picture{task.picture, task.previous, task.next};
    PageInput input{path_, context_.selected_folder, plan_.page_listing, context_.options,
                    context_.filter};
    input.picture = &picture;
    input.thumbnails = thumbnail_folder_.listing.get();
    input.headers = &headers_;
    page.clear();
    context_.templates.picture()->Render(input, &page);
    const WriteOutcome outcome = Write(task.page, page, existing, &error);
    RunEvent event{RunEvent::Kind::kPicturePage, path_ + task.page};
    event.outcome = outcome;
    event.existed = existing.exists;
    context_.events.Push(std::move(event));
    if (outcome == WriteOutcome::kWritten) picture_pages_written_.fetch_add(1);
    if (outcome == WriteOutcome::kUnchanged) picture_pages_unchanged_.fetch_add(1);
    if (outcome == WriteOutcome::kFailed) Fail(path_ + task.page, error, /*picture=*/true);
  }
}

void FolderWork::PageTaskDone() {
  if (page_tasks_left_.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  if (!context_.report_folders) {
    context_.pool.Release(reserved_);
    return;
  }
  RunEvent event{RunEvent::Kind::kFolderDone, path_};
  event.page = page_;
  FolderTally& tally = event.tally;
  tally.picture_pages_written = picture_pages_written_.load();
  tally.picture_pages_unchanged = picture_pages_unchanged_.load();
  for (const ThumbnailResult result : thumbnail_results_) {
    if (result == ThumbnailResult::kMade) ++tally.thumbnails_made;
    if (result == ThumbnailResult::kUpToDate) ++tally.thumbnails_up_to_date;
  }
  tally.failed = failed_.load();
  context_.events.Push(std::move(event));
  context_.pool.Release(reserved_);
}

}  // namespace pelorin
