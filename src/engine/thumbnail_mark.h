// How a thumbnail says that Pelorin2 made it, and at which size: a short
// text ("Pelorin2 thumbnail 160") inside the image itself, where its format
// keeps comments (a JPEG COM segment, a PNG tEXt chunk, a GIF comment
// extension, a WebP chunk of its own). It travels with the file through
// cp -a, rsync -a and archives, needs no file beside it, and every viewer
// ignores it. Only thumbnails carrying it are ever replaced because the
// thumbnail size changed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/thumbnail_maker.h"

namespace pelorin {

// Puts the mark for size into image, an encoded image of format (as a
// maker wrote it). False, leaving image as it was, when the image is not of
// that format.
bool AddThumbnailMark(std::string* image, ThumbnailFormat format, int size);

// The size in the mark of the file open at fd, read from where
// AddThumbnailMark puts it; nullopt for any file without it. Reads a few
// hundred bytes with pread, whatever the file's size.
std::optional<int> ReadThumbnailMark(int fd);

// png, an encoded PNG, with only the chunks that make its pixels (header,
// palette, transparency, data, end), so that it can take the mark as a
// thumbnail of itself; nullopt when its chunks do not add up or one it
// cannot do without is of a kind not known here.
std::optional<std::string> PngPixelChunks(std::string_view png);

}  // namespace pelorin
