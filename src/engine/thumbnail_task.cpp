#include "engine/thumbnail_task.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <optional>

#include "common/folder_reader.h"
#include "common/temp_file_name.h"
#include "engine/thumbnail_mark.h"

namespace pelorin {

namespace {

bool Older(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}
bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

ThumbnailOutcome Outcome(ThumbnailResult result, std::string error = {}) {
  return {result, std::move(error), {}};
}

// What is at a thumbnail's name. A link is judged by what it leads to; it
// is replaced, never followed, so its target is never written.
struct Existing {
  enum class Kind { kNone, kFile, kOther, kUnknown } kind = Kind::kNone;
  struct stat st {};
  UniqueFd fd;  // the file, open for reading when it could be
  int error = 0;
  std::optional<int> mark;  // the size Pelorin2 made it at
};

Existing LookAt(int dir_fd, const std::string& name) {
  Existing existing;
  if (::fstatat(dir_fd, name.c_str(), &existing.st, AT_SYMLINK_NOFOLLOW) != 0) {
    existing.error = errno;
    if (errno != ENOENT) existing.kind = Existing::Kind::kUnknown;
    return existing;
  }
  if (S_ISLNK(existing.st.st_mode) && ::fstatat(dir_fd, name.c_str(), &existing.st, 0) != 0) {
    return existing;  // a link that leads nowhere stands for nothing
  }
  if (!S_ISREG(existing.st.st_mode)) {
    existing.kind = Existing::Kind::kOther;
    return existing;
  }
  existing.kind = Existing::Kind::kFile;
  existing.fd =
      UniqueFd(::openat(dir_fd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (existing.fd.valid()) {
    existing.mark = ReadThumbnailMark(existing.fd.get());
  } else {
    existing.error = errno;
  }
  return existing;
}

// A thumbnail Pelorin2 made carries its picture's time, so any change to
// the picture, even to an older file moved into place, differs from it;
// one made by hand is up to date when it is not older than its picture,
// whatever its size.
bool UpToDate(const Existing& existing, const struct stat& picture, const ThumbnailTask& task) {
  if (existing.kind != Existing::Kind::kFile) return false;
  if (existing.mark) {
    return !task.remake && *existing.mark == task.size &&
           SameTime(existing.st.st_mtim, picture.st_mtim);
  }
  return !Older(existing.st.st_mtim, picture.st_mtim);
}

// Why what is at the thumbnail's name must stay, or empty when it may be
// replaced: Pelorin2 made it, it is empty, or it is a picture that fits the
// thumbnail's box, as a thumbnail made by hand does. Anything else may be
// someone's photo that happens to have the name.
std::string WhyKept(ThumbnailMaker& maker, Existing& existing, int size) {
  switch (existing.kind) {
    case Existing::Kind::kNone:
      return {};
    case Existing::Kind::kOther:
      return "not a regular file";
    case Existing::Kind::kUnknown:
      return ErrnoText(existing.error);
    case Existing::Kind::kFile:
      break;
  }
  if (existing.mark || existing.st.st_size == 0) return {};
  if (!existing.fd.valid()) return ErrnoText(existing.error);
  int width = 0;
  int height = 0;
  if (!maker.ReadPictureSize(existing.fd.get(), &width, &height)) return "not a picture";
  if (std::max(width, height) <= size) return {};
  return std::to_string(width) + "\u00D7" + std::to_string(height) + " is larger than a thumbnail";
}

// A thumbnail is never more readable than its picture: the group and
// others may read it exactly when they may read the picture.
mode_t ThumbnailMode(mode_t picture_mode) {
  const int umask = CurrentUmask();
  const mode_t base = 0666 & ~static_cast<mode_t>(umask >= 0 ? umask : 022);
  return (base & ~mode_t{044}) | (picture_mode & 044);
}

}  // namespace

bool ThumbnailNeedsMaking(const ThumbnailTask& task) {
  struct stat picture;
  if (::fstatat(task.picture_dir_fd, task.picture.c_str(), &picture, 0) != 0) return true;
  return !UpToDate(LookAt(task.thumbnail_dir_fd, task.thumbnail), picture, task);
}

ThumbnailOutcome MakeThumbnail(ThumbnailMaker& maker, const ThumbnailTask& task,
                               std::stop_token stop) {
  return std::move(MakeThumbnails(maker, {&task, 1}, std::move(stop)).front());
}

std::vector<ThumbnailOutcome> MakeThumbnails(ThumbnailMaker& maker,
                                             std::span<const ThumbnailTask> tasks,
                                             std::stop_token stop) {
  std::vector<ThumbnailOutcome> outcomes(tasks.size());
  const auto all = [&outcomes](ThumbnailResult result, const std::string& error = {}) {
    for (ThumbnailOutcome& outcome : outcomes) {
      if (outcome.result == ThumbnailResult::kNotStarted) outcome = Outcome(result, error);
    }
    return std::move(outcomes);
  };
  if (tasks.empty()) return outcomes;
  if (stop.stop_requested()) return all(ThumbnailResult::kAbandoned);
  const ThumbnailTask& first = tasks.front();
  struct stat picture_st;
  if (::fstatat(first.picture_dir_fd, first.picture.c_str(), &picture_st, 0) != 0) {
    return all(ThumbnailResult::kFailed, ErrnoText(errno));
  }
  // A socket, FIFO or device by a picture's name is no picture to open.
  if (!S_ISREG(picture_st.st_mode)) return all(ThumbnailResult::kFailed, "not a regular file");
  std::vector<std::size_t> to_make;
  for (std::size_t i = 0; i < tasks.size(); ++i) {
    Existing existing = LookAt(tasks[i].thumbnail_dir_fd, tasks[i].thumbnail);
    if (UpToDate(existing, picture_st, tasks[i])) {
      outcomes[i] = Outcome(ThumbnailResult::kUpToDate);
    } else if (std::string why = WhyKept(maker, existing, tasks[i].size); !why.empty()) {
      outcomes[i] = Outcome(ThumbnailResult::kLeftAlone, "not replaced: " + why);
    } else {
      to_make.push_back(i);
    }
  }
  if (to_make.empty()) return outcomes;
  const bool from_first = outcomes[0].result == ThumbnailResult::kUpToDate &&
                          std::all_of(to_make.begin(), to_make.end(),
                                      [&tasks](std::size_t i) { return tasks[i].from_first; });

  // O_NONBLOCK: a FIFO put in the picture's place must not hang the run.
  UniqueFd picture(from_first ? ::openat(first.thumbnail_dir_fd, first.thumbnail.c_str(),
                                         O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)
                              : ::openat(first.picture_dir_fd, first.picture.c_str(),
                                         O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat read_st;
  if (!picture.valid() || ::fstat(picture.get(), &read_st) != 0) {
    return all(ThumbnailResult::kFailed, ErrnoText(errno));
  }
  if (!S_ISREG(read_st.st_mode)) return all(ThumbnailResult::kFailed, "not a regular file");
  // The picture's time as it was read; made from the first image, the
  // picture's, which that image is up to date with.
  if (!from_first) picture_st = read_st;
  // Kept open until the rename: its lock tells other runs the file is live.
  // Readable by its owner alone until it is whole.
  std::vector<std::string> temps(tasks.size());
  std::vector<UniqueFd> outs(tasks.size());
  ThumbnailJob job{picture.get(), first.format, 0, -1, stop, first.time_limit};
  for (const std::size_t i : to_make) {
    int error_number = 0;
    outs[i] = CreateTempFile(tasks[i].thumbnail_dir_fd, 0600, &temps[i], &error_number);
    if (!outs[i].valid()) {
      outcomes[i] = Outcome(ThumbnailResult::kFailed, ErrnoText(error_number));
    } else if (tasks[i].size > job.size) {
      if (job.out_fd >= 0) job.copies.push_back({job.size, job.out_fd});
      job.size = tasks[i].size;
      job.out_fd = outs[i].get();
    } else {
      job.copies.push_back({tasks[i].size, outs[i].get()});
    }
  }
  if (job.out_fd >= 0) {
    MakeResult made = maker.Make(job);
    bool warned = false;
    for (const std::size_t i : to_make) {
      if (!outs[i].valid()) continue;
      switch (made.status) {
        case MakeStatus::kMade: {
          GiveToFolderOwner(outs[i].get(), tasks[i].thumbnail_dir_fd);
          const timespec times[2] = {{0, UTIME_NOW}, picture_st.st_mtim};
          if (::fchmod(outs[i].get(), ThumbnailMode(picture_st.st_mode)) != 0 ||
              ::futimens(outs[i].get(), times) != 0 ||
              ::renameat(tasks[i].thumbnail_dir_fd, temps[i].c_str(), tasks[i].thumbnail_dir_fd,
                         tasks[i].thumbnail.c_str()) != 0) {
            outcomes[i] = Outcome(ThumbnailResult::kFailed, ErrnoText(errno));
          } else {
            outcomes[i] = {ThumbnailResult::kMade, {}, {}};
            if (!warned) outcomes[i].warnings = made.warnings;
            warned = true;
          }
          break;
        }
        case MakeStatus::kStopped:
          outcomes[i] = Outcome(ThumbnailResult::kAbandoned);
          break;
        case MakeStatus::kFailed:
        case MakeStatus::kTookTooLong:
          outcomes[i] = Outcome(ThumbnailResult::kFailed, made.error);
          break;
      }
    }
  }
  for (const std::size_t i : to_make) {
    if (outs[i].valid() && outcomes[i].result != ThumbnailResult::kMade) {
      ::unlinkat(tasks[i].thumbnail_dir_fd, temps[i].c_str(), 0);
    }
  }
  return outcomes;
}

}  // namespace pelorin
