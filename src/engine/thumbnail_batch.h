// Making the missing or out-of-date thumbnails of one folder, on the run's
// threads: a thumbnail is written to a locked temporary file beside where it
// goes and renamed into place, so a stopped or failed run leaves either the
// old thumbnail or the new one and no temporary file. The picture is only
// ever read.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/thumbnail_maker.h"

namespace pelorin {

struct ThumbnailTask {
  int picture_dir_fd;     // the picture's folder, open for the batch
  std::string picture;    // its name there
  int thumbnail_dir_fd;   // where the thumbnail goes, open for the batch
  std::string thumbnail;  // its name there
  ThumbnailFormat format;
  int size;  // the longer side, in pixels
};

enum class ThumbnailResult { kMade, kUpToDate, kFailed, kNotStarted };

struct ThumbnailOutcome {
  ThumbnailResult result = ThumbnailResult::kNotStarted;
  std::string error;  // the reason, when it failed
};

// Whether the thumbnail is missing or older than the picture. A picture that
// cannot be looked at is stale: making its thumbnail reports why.
bool ThumbnailIsStale(int picture_dir_fd, const std::string& picture, int thumbnail_dir_fd,
                      const std::string& thumbnail);

// Makes one thumbnail; its modification time is not older than the picture's.
ThumbnailOutcome MakeThumbnail(ThumbnailMaker& maker, const ThumbnailTask& task);

// Makes every task's thumbnail on up to `threads` threads. While it waits,
// the calling thread calls tick about every 30 ms (and between thumbnails
// when it makes them itself) with the number made so far; tick returning
// true stops the batch: thumbnails in hand are finished, the others are
// not started. Outcomes are in the order of tasks.
std::vector<ThumbnailOutcome> MakeThumbnails(ThumbnailMaker& maker,
                                             const std::vector<ThumbnailTask>& tasks, int threads,
                                             const std::function<bool(int made)>& tick);

}  // namespace pelorin
