// What the run's threads tell the walk's thread, which alone counts and
// talks to the host: one event per page, picture page, thumbnail, failure
// and finished folder.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/page_writer.h"
#include "engine/run_host.h"
#include "engine/thumbnail_task.h"

namespace pelorin {

struct RunEvent {
  enum class Kind : std::uint8_t {
    kPage,
    kPicturePage,
    kThumbnail,
    kFailure,
    kWarning,  // done, with something to say
    kFolderDone,
    kFolderNotReached,
  };
  RunEvent(Kind kind, std::string path, std::string reason = {})
      : kind(kind), path(std::move(path)), reason(std::move(reason)) {}

  Kind kind;
  std::string path;                              // the folder, or the failing file
  std::string reason;                            // kFailure
  bool picture = false;                          // kFailure: a picture's thumbnail or page
  WriteOutcome outcome = WriteOutcome::kFailed;  // kPage, kPicturePage
  bool existed = false;                          // kPage, kPicturePage: a file was under the name
  ThumbnailResult thumbnail = ThumbnailResult::kNotStarted;  // kThumbnail
  FolderReport::Page page = FolderReport::Page::kFailed;     // kFolderDone
  FolderTally tally;                                         // kFolderDone
};

class RunEvents {
 public:
  void Push(RunEvent event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
    pending_.store(true, std::memory_order_release);
  }
  // Events since the last call, in the order they came.
  std::vector<RunEvent> Take() {
    // Called at every report, most often with nothing to take.
    if (!pending_.load(std::memory_order_acquire)) return {};
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<RunEvent> taken;
    taken.swap(events_);
    pending_.store(false, std::memory_order_relaxed);
    return taken;
  }

 private:
  std::mutex mutex_;
  std::vector<RunEvent> events_;
  std::atomic<bool> pending_{false};
};

}  // namespace pelorin
