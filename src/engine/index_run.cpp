#include "engine/index_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "engine/page_generator.h"
#include "engine/page_write_queue.h"
#include "engine/walker.h"

namespace pelorin {

namespace {

bool ReadWholeFile(const std::string& path, std::string* text, std::string* error) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    *error = ErrnoText(errno);
    return false;
  }
  text->clear();
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = ErrnoText(errno);
      return false;
    }
    if (n == 0) return true;
    text->append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

IndexRun::IndexRun(RunHost& host, PageOptions options, FileTypeList filter)
    : host_(host), options_(std::move(options)), filter_(std::move(filter)) {}

IndexRun::~IndexRun() = default;

std::string IndexRun::StatusLine(std::int64_t folder_count) {
  return "Indexed " + std::to_string(folder_count) + " folders";
}

bool IndexRun::SetStatus(std::string_view kind) {
  if (kind == "Directory") {
    ++folder_count_;
  } else if (kind == "Start") {
    folder_count_ = 0;
    stop_requested_ = false;
  } else if (kind == "Stop") {
    stop_requested_ = true;
  }
  DrainQueueReports();
  host_.ShowStatus(StatusLine(folder_count_));
  host_.Yield();
  return stop_requested_;
}

bool IndexRun::IsInteresting(std::string_view name) { return filter_.IsInteresting(name); }

void IndexRun::ProcessFile(const std::string& path) { (void)path; }

void IndexRun::FolderFailed(const std::string& path, const std::string& reason) {
  RecordFailure(path, "cannot read the folder: " + reason);
}

void IndexRun::RecordFailure(const std::string& folder, const std::string& reason) {
  summary_.failures.push_back({folder, reason});
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

void IndexRun::DrainQueueReports() {
  if (!queue_) return;
  for (auto& outcome : queue_->TakeOutcomes())
    Record(outcome.folder, outcome.outcome, outcome.error);
}

// The template is read again only when it changed on disk, and looked at
// before every page so that one deleted mid-run fails the folders after it.
bool IndexRun::LoadTemplate(std::string* error) {
  struct stat st;
  if (::stat(options_.main_template.c_str(), &st) != 0) {
    *error = ErrnoText(errno);
    template_.valid = false;
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = "not a regular file";
    template_.valid = false;
    return false;
  }
  const std::int64_t mtime_ns =
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  if (template_.valid && template_.dev == st.st_dev && template_.ino == st.st_ino &&
      template_.size == st.st_size && template_.mtime_ns == mtime_ns) {
    // Still check that it can be read: permissions may have changed.
    if (::access(options_.main_template.c_str(), R_OK) == 0) return true;
    *error = ErrnoText(errno);
    template_.valid = false;
    return false;
  }
  if (!ReadWholeFile(options_.main_template, &template_.text, error)) {
    template_.valid = false;
    return false;
  }
  template_.valid = true;
  template_.dev = st.st_dev;
  template_.ino = st.st_ino;
  template_.size = st.st_size;
  template_.mtime_ns = mtime_ns;
  return true;
}

void IndexRun::ProcessDirectory(WalkFolder& folder) {
  std::string error;
  if (!LoadTemplate(&error)) {
    RecordFailure(folder.path, "cannot read the template " + options_.main_template + ": " + error);
    return;
  }
  const std::string& name = options_.index_filename;
  struct stat page_stat;
  if (::fstatat(folder.fd, name.c_str(), &page_stat, 0) == 0 && page_stat.st_dev == template_.dev &&
      page_stat.st_ino == template_.ino) {
    RecordFailure(folder.path, "the template " + options_.main_template + " is this folder's " +
                                   name + "; it was left untouched");
    return;
  }

  // The page lists itself as if it had been created before its lists.
  const bool simple_name = name.find('/') == std::string::npos && !name.empty();
  const bool inserted = simple_name && InsertFileEntry(&folder.listing, name);
  const PageInput input{folder.path, selected_folder_, folder.listing, options_, filter_};
  std::string page = GeneratePage(template_.text, input);

  if (!folder.listing.temp_files.empty())
    RemoveStaleTempFiles(folder.fd, folder.listing.temp_files);

  if (queue_) {
    UniqueFd dup(::fcntl(folder.fd, F_DUPFD_CLOEXEC, 0));
    if (!dup.valid()) {
      RecordFailure(folder.path, "cannot write " + name + ": " + ErrnoText(errno));
      return;
    }
    queue_->Submit(std::move(dup), folder.path, name, std::move(page));
    return;
  }
  const WriteOutcome outcome = WritePage(folder.fd, folder.path, name, page, &error, faults_);
  if (outcome == WriteOutcome::kFailed && inserted) RemoveEntry(&folder.listing, name);
  Record(folder.path, outcome, error);
}

RunSummary IndexRun::CreateIndexes(const std::string& root, const std::string& selected_folder) {
  summary_ = RunSummary();
  template_.valid = false;
  selected_folder_ = selected_folder;
  if (jobs_ > 1) queue_ = std::make_unique<PageWriteQueue>(jobs_, faults_);

  SetStatus("Start");
  std::string walk_root = root;
  WalkDirectory(walk_root, *this, true);
  if (queue_) {
    queue_->Finish();
    DrainQueueReports();
    queue_.reset();
  }
  SetStatus("Finish");

  summary_.stopped = stop_requested_;
  summary_.top_page = root + options_.index_filename;
  return summary_;
}

}  // namespace pelorin
