// Making one thumbnail of one picture, behind an interface so that the
// indexing run and its tests do not depend on the picture library. The run
// decides which thumbnails are out of date and where they go; a maker only
// turns the bytes of one picture into the bytes of its thumbnail.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelorin {

// The formats a thumbnail is written in: the picture's own, so that a
// browser shows the thumbnail wherever it shows the picture.
enum class ThumbnailFormat { kJpeg, kPng, kGif, kWebp };

// The thumbnail format for a picture's name, by its extension with ASCII
// case ignored: jpg, jpeg and jpe make JPEG; png, gif and webp their own.
// Every other name (bmp, svg, none at all) has no thumbnail: nullopt.
std::optional<ThumbnailFormat> ThumbnailFormatOf(std::string_view picture_name);

class ThumbnailMaker {
 public:
  virtual ~ThumbnailMaker() = default;

  // Makes one thumbnail: decodes the picture read from picture_fd (a regular
  // file, read from its start), fits it into a size x size box keeping the
  // aspect ratio (never enlarged), turns it upright by its EXIF orientation,
  // converts it to sRGB, drops its metadata and writes it in format to
  // out_fd. Neither descriptor is closed. Returns false with a short reason
  // in *error ("not a picture", "too large: 20000 x 15000 pixels", ...);
  // out_fd may then hold part of a thumbnail, which the caller throws away.
  // Safe to call from several threads at once on different descriptors.
  virtual bool Make(int picture_fd, ThumbnailFormat format, int size, int out_fd,
                    std::string* error) = 0;
};

}  // namespace pelorin
