// The thumbnail maker the programs use: libvips decodes, shrinks while it
// loads (a JPEG is decoded at an eighth of its size when that is enough),
// turns, converts and encodes, streaming the picture through in strips so
// that memory stays small whatever the picture's size.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "engine/thumbnail_maker.h"

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
};

class VipsThumbnailMaker : public ThumbnailMaker {
 public:
  // libvips is started by the first Make of any maker; when it cannot
  // start, every Make fails with the reason.
  explicit VipsThumbnailMaker(const VipsThumbnailOptions& options = {});

  bool Make(int picture_fd, ThumbnailFormat format, int size, int out_fd,
            std::string* error) override;

 private:
  VipsThumbnailOptions options_;
  std::once_flag threads_set_;
};

}  // namespace pelorin
