// Making one thumbnail of one picture: deciding whether a
// thumbnail is up to date and whether what is at its name may be replaced,
// then making it. A thumbnail is written to a locked temporary file beside
// where it goes and renamed into place, so a stopped or failed run leaves
// either the old thumbnail or the new one and no temporary file. The
// picture is only ever read; nothing Pelorin2 did not make is replaced
// unless it is empty or small enough to be a thumbnail itself.
#pragma once

#include <chrono>
#include <span>
#include <stop_token>
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
  // Thumbnails Pelorin2 made are made again even when up to date.
  bool remake = false;
  // In MakeThumbnails, made from the first task's image rather than from
  // the picture when that image is up to date: a display copy, already
  // upright and in sRGB, is far cheaper to read than a photo.
  bool from_first = false;
  std::chrono::milliseconds time_limit{20'000};  // see ThumbnailJob
};

enum class ThumbnailResult {
  kMade,
  kUpToDate,
  kFailed,     // error says why; nothing was changed
  kLeftAlone,  // error says why what is at the thumbnail's name was kept
  kAbandoned,  // stopped while in hand; nothing was changed
  kNotStarted,
};

struct ThumbnailOutcome {
  ThumbnailResult result = ThumbnailResult::kNotStarted;
  // kFailed: one plain reason ("damaged picture data", "not a regular
  // file"). kLeftAlone: "not replaced: " and why ("2000 x 1500 is larger
  // than a thumbnail"), about the thumbnail's name rather than the picture.
  std::string error;
  std::vector<std::string> warnings;  // kMade: what the thumbnail lacks
};

// Whether the thumbnail needs making: missing, older than the picture (for
// one Pelorin2 made: dated otherwise than the picture), made at another
// size, or to be remade. Looks at the picture's status and at most the
// first bytes of the thumbnail; never opens the picture.
bool ThumbnailNeedsMaking(const ThumbnailTask& task);

// Makes one thumbnail when it needs making. Its modification time is the
// picture's as it was read, so a picture changed while it was being read
// is newer than its thumbnail; its group and other read permissions are the
// picture's. A stop abandons it within a second.
ThumbnailOutcome MakeThumbnail(ThumbnailMaker& maker, const ThumbnailTask& task,
                               std::stop_token stop = {});

// Brings several thumbnails of one picture (the same picture_dir_fd,
// picture and format) up to date as MakeThumbnail does each, those that
// need making from one decoding of the picture (or of the first task's
// image, see from_first). The outcomes are in the tasks' order; a warning
// about the picture comes with the first made.
std::vector<ThumbnailOutcome> MakeThumbnails(ThumbnailMaker& maker,
                                             std::span<const ThumbnailTask> tasks,
                                             std::stop_token stop = {});

}  // namespace pelorin
