// The thumbnail maker the programs use: libvips decodes, shrinks while it
// loads (a JPEG is decoded at an eighth of its size when that is enough),
// turns, converts and encodes, streaming the picture through in strips so
// that memory stays small whatever the picture's size. Pictures that cannot
// be streamed share one memory budget.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "engine/thumbnail_maker.h"
#include "thumbnails/memory_budget.h"

namespace pelorin {

struct VipsThumbnailOptions {
  // Threads libvips runs inside one thumbnail. libvips holds one such number
  // for the whole process: each maker sets it at its first Make. The run
  // makes thumbnails on threads of its own, which pays better than splitting
  // one picture (bench/README.md). Default: 1.
  int vips_threads = 1;
  // A picture with more pixels than this is refused from its header, before
  // any of it is decoded. Default: 200 megapixels.
  std::int64_t max_pixels = 200'000'000;
  // What pictures decoded whole (interlaced PNG, progressive JPEG, GIF) may
  // hold at once, over all threads; one that needs more alone is refused.
  // With the streamed pictures and libvips itself, a run stays below
  // 512 MiB. Default: 320 MiB.
  std::int64_t whole_decode_bytes = std::int64_t{320} << 20;
};

class VipsThumbnailMaker : public ThumbnailMaker {
 public:
  // libvips is started by the first Make of any maker; when it cannot
  // start, every Make fails with the reason.
  explicit VipsThumbnailMaker(const VipsThumbnailOptions& options = {});

  MakeResult Make(const ThumbnailJob& job) override;
  bool ReadPictureSize(int fd, int* width, int* height) override;
  bool ReadPictureHeader(int fd, PictureHeader* header) override;

 private:
  VipsThumbnailOptions options_;
  std::once_flag threads_set_;
  MemoryBudget budget_;
};

}  // namespace pelorin
