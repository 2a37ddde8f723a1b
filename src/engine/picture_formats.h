// The one table of picture formats: which names are pictures, which of them
// get a thumbnail and in what format, and how the picture library loads and
// saves each. The lists, the planner and the thumbnail maker all read it.
#pragma once

#include <optional>
#include <string_view>

namespace pelorin {

// The formats a thumbnail is written in: the picture's own, so that a
// browser shows the thumbnail wherever it shows the picture.
enum class ThumbnailFormat { kJpeg, kPng, kGif, kWebp };

struct PictureFormat {
  std::string_view extension;  // lower case, without its dot
  // The thumbnail's format; none: the picture is shown as it is (bmp, svg).
  std::optional<ThumbnailFormat> thumbnail;
  // The picture library's load class for it (a prefix of the class name)
  // and the word its error texts carry; empty without a thumbnail.
  std::string_view loader;
  std::string_view error_word;
  // What a thumbnail of it is saved with. JPEG is progressive, so that a
  // page of thumbnails shows every one at once, coarse first; GIF keeps only
  // the first frame, since the thumbnail loads only that one. PNG and WebP
  // take the encoders' faster settings: zlib level 3 and WebP effort 2 make
  // files a few per cent larger than their defaults in a third of the time
  // (a display copy is a whole picture's worth of encoding; bench/README.md).
  std::string_view save_suffix;
};

inline constexpr std::string_view kJpegSave = ".jpg[Q=85,interlace,optimize_coding,strip]";

// A JPEG larger than this on its longer side, a display copy, is written
// baseline with kJpegLargeSave: a page shows it alone, drawn from the top as
// it arrives, and a progressive encoding of it takes twice as long.
inline constexpr int kLargestProgressiveJpeg = 1024;
inline constexpr std::string_view kJpegLargeSave = ".jpg[Q=85,optimize_coding,strip]";

inline constexpr PictureFormat kPictureFormats[] = {
    {"gif", ThumbnailFormat::kGif, "VipsForeignLoadNsgif", "gif", ".gif[strip]"},
    {"png", ThumbnailFormat::kPng, "VipsForeignLoadPng", "png", ".png[compression=3,strip]"},
    {"jpg", ThumbnailFormat::kJpeg, "VipsForeignLoadJpeg", "jpeg", kJpegSave},
    {"jpeg", ThumbnailFormat::kJpeg, "VipsForeignLoadJpeg", "jpeg", kJpegSave},
    {"jpe", ThumbnailFormat::kJpeg, "VipsForeignLoadJpeg", "jpeg", kJpegSave},
    {"webp", ThumbnailFormat::kWebp, "VipsForeignLoadWebp", "webp", ".webp[effort=2,strip]"},
    {"bmp", std::nullopt, {}, {}, {}},
    {"svg", std::nullopt, {}, {}, {}},
};

// The row for a file name by the extension after its last ".", ASCII case
// ignored; null for a name that is no picture.
const PictureFormat* PictureFormatOf(std::string_view name);

// The row a thumbnail format is saved and loaded by.
const PictureFormat& RowOf(ThumbnailFormat format);

// The thumbnail format for a picture's name; nullopt for every name without
// a thumbnail (bmp, svg, no picture at all).
std::optional<ThumbnailFormat> ThumbnailFormatOf(std::string_view picture_name);

}  // namespace pelorin
