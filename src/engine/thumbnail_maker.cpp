#include "engine/thumbnail_maker.h"

#include "common/path_routines.h"
#include "common/text_routines.h"

namespace pelorin {

std::optional<ThumbnailFormat> ThumbnailFormatOf(std::string_view picture_name) {
  const std::string ext = AsciiLowered(ExtensionOf(picture_name));
  if (ext == "jpg" || ext == "jpeg" || ext == "jpe") return ThumbnailFormat::kJpeg;
  if (ext == "png") return ThumbnailFormat::kPng;
  if (ext == "gif") return ThumbnailFormat::kGif;
  if (ext == "webp") return ThumbnailFormat::kWebp;
  return std::nullopt;
}

}  // namespace pelorin
