#include "engine/picture_info.h"

#include <cstdio>
#include <vector>

#include "common/html_text.h"

namespace pelorin {

namespace {

// EXIF text fields are padded with spaces and NULs by some cameras.
std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return text;
}

bool IsDigits(std::string_view text) {
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return !text.empty();
}

}  // namespace

bool UprightSize(const PictureHeader& header, int* width, int* height) {
  if (header.width <= 0 || header.height <= 0) return false;
  const bool on_its_side = header.orientation >= 5 && header.orientation <= 8;
  *width = on_its_side ? header.height : header.width;
  *height = on_its_side ? header.width : header.height;
  return true;
}

std::string DateTakenText(std::string_view date) {
  date = Trimmed(date);
  // "YYYY:MM:DD HH:MM", seconds optional; unknown parts are blanks or zeros.
  if (date.size() < 16 || date[4] != ':' || date[7] != ':' || date[10] != ' ' || date[13] != ':' ||
      !IsDigits(date.substr(0, 4)) || !IsDigits(date.substr(5, 2)) ||
      !IsDigits(date.substr(8, 2)) || !IsDigits(date.substr(11, 2)) ||
      !IsDigits(date.substr(14, 2)) || date.substr(0, 4) == "0000") {
    return {};
  }
  std::string text(date.substr(0, 16));
  text[4] = text[7] = '-';
  return text;
}

std::string CameraText(std::string_view make, std::string_view model) {
  make = Trimmed(make);
  model = Trimmed(model);
  if (make.empty() || model.starts_with(make)) return std::string(model);
  if (model.empty()) return std::string(make);
  return std::string(make) + " " + std::string(model);
}

std::string FileSizeText(std::int64_t bytes) {
  if (bytes < 0) return {};
  if (bytes < 1000) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  const char* units[] = {"kB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1000;
  int unit = 0;
  // 999,999 bytes reads "1.0 MB", not "1000.0 kB".
  while (value >= 999.95 && unit < 3) value /= 1000, ++unit;
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

std::string ImageInfoLine(const PictureHeader* header) {
  if (header == nullptr) return {};
  std::vector<std::string> parts;
  if (std::string date = DateTakenText(header->date_time_original); !date.empty()) {
    parts.push_back(std::move(date));
  }
  if (std::string camera = CameraText(header->make, header->model); !camera.empty()) {
    parts.push_back(EscapeHtml(camera));
  }
  int width = 0;
  int height = 0;
  if (UprightSize(*header, &width, &height)) {
    parts.push_back(std::to_string(width) + " &times; " + std::to_string(height));
  }
  if (std::string size = FileSizeText(header->bytes); !size.empty()) parts.push_back(size);
  if (parts.empty()) return {};
  // Entities rather than the characters, so the line reads right in a page
  // of any character set.
  std::string line = "<p class=\"imageinfo\">";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) line += " &middot; ";
    line += parts[i];
  }
  line += "</p>";
  return line;
}

}  // namespace pelorin
