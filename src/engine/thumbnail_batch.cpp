#include "engine/thumbnail_batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>

#include "common/folder_reader.h"
#include "common/temp_file_name.h"

namespace pelorin {

namespace {

bool Older(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

ThumbnailOutcome Failed(std::string error) { return {ThumbnailResult::kFailed, std::move(error)}; }

}  // namespace

bool ThumbnailIsStale(int picture_dir_fd, const std::string& picture, int thumbnail_dir_fd,
                      const std::string& thumbnail) {
  struct stat picture_st;
  struct stat thumbnail_st;
  if (::fstatat(picture_dir_fd, picture.c_str(), &picture_st, 0) != 0) return true;
  if (::fstatat(thumbnail_dir_fd, thumbnail.c_str(), &thumbnail_st, 0) != 0) return true;
  return !S_ISREG(thumbnail_st.st_mode) || Older(thumbnail_st.st_mtim, picture_st.st_mtim);
}

ThumbnailOutcome MakeThumbnail(ThumbnailMaker& maker, const ThumbnailTask& task) {
  // O_NONBLOCK: a FIFO by the picture's name must not hang the run; the
  // maker refuses anything but a regular file.
  UniqueFd picture(::openat(task.picture_dir_fd, task.picture.c_str(),
                            O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat picture_st;
  if (!picture.valid() || ::fstat(picture.get(), &picture_st) != 0) {
    return Failed(ErrnoText(errno));
  }
  std::string temp;
  int error_number = 0;
  // Kept open until the rename: its lock tells other runs the file is live.
  UniqueFd out = CreateTempFile(task.thumbnail_dir_fd, 0666, &temp, &error_number);
  if (!out.valid()) return Failed(ErrnoText(error_number));
  std::string error;
  bool ok = maker.Make(picture.get(), task.format, task.size, out.get(), &error);
  if (ok) {
    // Never older than the picture, even one dated in the future, so the
    // next run finds it up to date.
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    const timespec times[2] = {{0, UTIME_NOW},
                               Older(now, picture_st.st_mtim) ? picture_st.st_mtim : now};
    if (::futimens(out.get(), times) != 0 ||
        ::renameat(task.thumbnail_dir_fd, temp.c_str(), task.thumbnail_dir_fd,
                   task.thumbnail.c_str()) != 0) {
      error = ErrnoText(errno);
      ok = false;
    }
  }
  if (!ok) ::unlinkat(task.thumbnail_dir_fd, temp.c_str(), 0);
  return ok ? ThumbnailOutcome{ThumbnailResult::kMade, {}} : Failed(error);
}

std::vector<ThumbnailOutcome> MakeThumbnails(ThumbnailMaker& maker,
                                             const std::vector<ThumbnailTask>& tasks, int threads,
                                             const std::function<bool(int made)>& tick) {
  std::vector<ThumbnailOutcome> outcomes(tasks.size());
  threads = std::min<int>(threads, static_cast<int>(tasks.size()));
  if (threads <= 1) {
    int made = 0;
    for (std::size_t i = 0; i < tasks.size(); ++i) {
      if (tick(made)) break;
      outcomes[i] = MakeThumbnail(maker, tasks[i]);
      if (outcomes[i].result == ThumbnailResult::kMade) ++made;
    }
    return outcomes;
  }

  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  std::atomic<int> made{0};
  std::mutex mutex;
  std::condition_variable done;
  int running = threads;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      for (std::size_t i; !stop.load() && (i = next.fetch_add(1)) < tasks.size();) {
        outcomes[i] = MakeThumbnail(maker, tasks[i]);
        if (outcomes[i].result == ThumbnailResult::kMade) ++made;
      }
      std::lock_guard<std::mutex> lock(mutex);
      if (--running == 0) done.notify_one();
    });
  }
  std::unique_lock<std::mutex> lock(mutex);
  while (running > 0) {
    done.wait_for(lock, std::chrono::milliseconds(30));
    if (running == 0) break;
    lock.unlock();
    if (tick(made.load())) stop = true;
    lock.lock();
  }
  lock.unlock();
  for (std::thread& worker : workers) worker.join();
  return outcomes;
}

}  // namespace pelorin
