// What a picture's header says about it, read without decoding the picture,
// and the words a page shows for it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace pelorin {

struct PictureHeader {
  int width = 0;  // as stored; 0 when unknown
  int height = 0;
  int orientation = 1;               // EXIF Orientation, 1 to 8; 5 to 8 lie on their side
  std::string date_time_original{};  // EXIF DateTimeOriginal, "2024:06:01 14:03:22"
  std::string make{};                // EXIF Make
  std::string model{};               // EXIF Model
  std::int64_t bytes = -1;           // the file's size; -1 when unknown
};

// Headers by name relative to the folder ("a.jpg", "thumbnails/small_a.jpg").
using PictureHeaders = std::unordered_map<std::string, PictureHeader>;

// The size a browser shows: upright, sides swapped for a picture stored on
// its side. False when the header gave no size.
bool UprightSize(const PictureHeader& header, int* width, int* height);

// "2024-06-01 14:03" from "2024:06:01 14:03:22"; empty for anything else.
std::string DateTakenText(std::string_view date_time_original);
// Make and model, the make left out when the model starts with it.
std::string CameraText(std::string_view make, std::string_view model);
// "3.2 MB": decimal units, one decimal ("512 bytes" below a kilobyte).
std::string FileSizeText(std::int64_t bytes);

// '<p class="imageinfo">' and the parts that are known (date taken, camera,
// upright size "4000 &times; 3000", file size), escaped, joined by
// " &middot; ", then "</p>"; empty when nothing is known. GPS is never shown.
std::string ImageInfoLine(const PictureHeader* header);

}  // namespace pelorin
