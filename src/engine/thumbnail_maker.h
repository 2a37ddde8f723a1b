// Making one thumbnail of one picture, behind an interface so that the
// indexing run and its tests do not depend on the picture library. The run
// decides which thumbnails are out of date and where they go; a maker only
// turns the bytes of one picture into the bytes of its thumbnail.
#pragma once

#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "engine/picture_formats.h"
#include "engine/picture_info.h"

namespace pelorin {

// A smaller copy made along with a thumbnail (ThumbnailJob::copies).
struct ThumbnailCopy {
  int size = 160;   // the box's side, in pixels; at most the job's size
  int out_fd = -1;  // not closed
};

// One thumbnail to make.
struct ThumbnailJob {
  int picture_fd = -1;  // a regular file, read from its start; not closed
  ThumbnailFormat format = ThumbnailFormat::kJpeg;
  int size = 160;   // the box's side, in pixels
  int out_fd = -1;  // the thumbnail's bytes go here; not closed
  // The run stopping: the thumbnail is abandoned within a second.
  std::stop_token stop{};
  // A picture still at work after this long is abandoned: a small file can
  // be made to take minutes, and the run must go on. The clock starts when
  // the picture's work starts, not while it waits for memory.
  std::chrono::milliseconds time_limit{20'000};
  // Smaller copies, each made from the thumbnail's own pixels rather than
  // from the picture: decoding a photo is most of what a thumbnail costs,
  // so a display copy and its two thumbnails share one decode. Each is
  // written, marked and finished exactly as the thumbnail is.
  std::vector<ThumbnailCopy> copies{};
};

enum class MakeStatus { kMade, kFailed, kStopped, kTookTooLong };

struct MakeResult {
  MakeStatus status = MakeStatus::kFailed;
  // kFailed: one plain reason ("not a picture", "damaged picture data",
  // "no space left on device"); out_fd and the copies' may then hold part
  // of a thumbnail, which the caller throws away. The thumbnail and its
  // copies are made or fail together.
  std::string error;
  // kMade: what the thumbnail lacks that the picture had ("the colour
  // profile cannot be read; its values are used as they are").
  std::vector<std::string> warnings;
};

class ThumbnailMaker {
 public:
  virtual ~ThumbnailMaker() = default;

  // Makes one thumbnail: decodes the picture, fits it into a size x size box
  // keeping the aspect ratio (never enlarged), turns it upright by its EXIF
  // orientation, converts it to sRGB, drops every piece of metadata (EXIF,
  // XMP, IPTC, ICC), marks it as made by Pelorin2 at that size
  // (thumbnail_mark.h) and writes it in the job's format.
  // Safe to call from several threads at once on different descriptors.
  virtual MakeResult Make(const ThumbnailJob& job) = 0;

  // The width and height of the picture in fd from its header alone, fd
  // read from its start; false when it is no picture the maker reads.
  virtual bool ReadPictureSize(int fd, int* width, int* height) = 0;

  // What the header of the picture in fd says, without decoding a pixel:
  // its size as stored, its EXIF orientation, date taken, make and model
  // (header->bytes is left to the caller). False when it is no picture the
  // maker reads. A maker that knows only sizes gives just those.
  virtual bool ReadPictureHeader(int fd, PictureHeader* header) {
    return ReadPictureSize(fd, &header->width, &header->height);
  }
};

}  // namespace pelorin
