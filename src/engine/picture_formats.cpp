#include "engine/picture_formats.h"

#include "common/text_routines.h"

namespace pelorin {

const PictureFormat* PictureFormatOf(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return nullptr;
  const std::string_view extension = name.substr(dot + 1);
  for (const PictureFormat& format : kPictureFormats) {
    if (EqualsIgnoreCase(extension, format.extension)) return &format;
  }
  return nullptr;
}

const PictureFormat& RowOf(ThumbnailFormat format) {
  for (const PictureFormat& row : kPictureFormats) {
    if (row.thumbnail == format) return row;
  }
  return kPictureFormats[0];
}

std::optional<ThumbnailFormat> ThumbnailFormatOf(std::string_view picture_name) {
  const PictureFormat* format = PictureFormatOf(picture_name);
  return format != nullptr ? format->thumbnail : std::nullopt;
}

}  // namespace pelorin
