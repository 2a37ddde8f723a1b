// The input format of the page and list fuzz targets: NUL-separated fields,
// simple enough to write seeds by hand (see fuzz/corpus/):
//
//   flags \0 Separator \0 PageTitle \0 Keywords \0 IndexFilename \0
//   ThumbnailPrefix \0 ScalePercent \0 FileTypes \0 folder \0
//   entry \0 entry \0 ... \0 \0 text
//
// The bits of the first byte of flags turn on, from the lowest:
// DynamicTitle, DynamicKeywords, DynamicDescription, ShowPics, UseThumbnails,
// ScalePics. folder is the indexed folder's path below the top ("" for the
// top). An entry is 'd' (folder) or 'f' (file) and the name; the first empty
// field ends the entries and everything after it is the text (the template).
// Missing fields are empty; names a folder cannot hold ("/", "." or "..")
// are dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/folder_reader.h"
#include "engine/page_options.h"

namespace pelorin::fuzz {

struct FuzzInput {
  PageOptions options;
  std::string file_types;
  std::string folder;
  FolderListing listing;
  std::string text;
};

inline FuzzInput ParseFuzzInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t pos = 0;
  bool exhausted = false;
  auto next_field = [&]() -> std::string {
    if (pos >= input.size()) {
      exhausted = true;
      return {};
    }
    std::size_t end = input.find('\0', pos);
    if (end == std::string_view::npos) end = input.size();
    std::string field(input.substr(pos, end - pos));
    pos = end + 1;
    return field;
  };

  FuzzInput in;
  const std::string flags = next_field();
  const unsigned bits = flags.empty() ? 0 : static_cast<unsigned char>(flags[0]);
  // What the input does not vary keeps its first-run value.
  in.options.show_headings = true;
  in.options.categories_in_one_line = true;
  in.options.thumbnail_size = 160;
  in.options.dynamic_title = bits & 1;
  in.options.dynamic_keywords = bits & 2;
  in.options.dynamic_description = bits & 4;
  in.options.show_pics = bits & 8;
  in.options.use_thumbnails = bits & 16;
  in.options.scale_pics = bits & 32;
  in.options.separator = next_field();
  in.options.page_title = next_field();
  in.options.keywords = next_field();
  in.options.index_filename = next_field();
  in.options.thumbnail_prefix = next_field();
  in.options.scale_percent = next_field();
  in.file_types = next_field();
  in.folder = next_field();
  for (;;) {
    const std::string entry = next_field();
    if (entry.empty()) break;
    const std::string name = entry.substr(1);
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
      continue;
    }
    const bool folder = entry[0] == 'd';
    in.listing.entries.push_back({name, folder ? EntryKind::kFolder : EntryKind::kFile});
    if (folder) ++in.listing.total_subfolders;
  }
  if (!exhausted && pos < input.size()) in.text = std::string(input.substr(pos));
  return in;
}

// Ends the run with a message libFuzzer shows next to the input.
inline void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "check failed: %s\n", what);
  std::abort();
}

}  // namespace pelorin::fuzz
