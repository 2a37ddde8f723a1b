// In-memory folder listings, options and a file-type filter for the pure
// list and page tests.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <string>

#include "common/folder_reader.h"
#include "common/path_routines.h"
#include "common/text_routines.h"
#include "engine/file_type_list.h"
#include "engine/page_options.h"

namespace pelorin::testing {

// Pictures and pages are listed, anything else is not.
inline const FileTypeList kTestFilter("gif, png, jpg, html");

// The options a fresh installation has, with " - " as the separator.
inline PageOptions DefaultPageOptions() {
  PageOptions options;
  options.index_filename = "index.html";
  options.thumbnail_prefix = "small_";
  options.scale_percent = "60";
  options.separator = " - ";
  options.show_headings = true;
  options.categories_in_one_line = true;
  options.thumbnail_size = 160;
  return options;
}

// Names ending in "/" are folders; hidden folders still count as subfolders.
inline FolderListing MakeListing(std::initializer_list<std::string> names) {
  FolderListing listing;
  for (std::string name : names) {
    if (name.ends_with("/")) {
      name.pop_back();
      ++listing.total_subfolders;
      if (IsHiddenName(name)) continue;
      listing.entries.push_back({name, EntryKind::kFolder});
    } else if (!IsHiddenName(name)) {
      listing.entries.push_back({name, EntryKind::kFile});
    }
  }
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return NameLess(a.name, b.name); });
  return listing;
}

}  // namespace pelorin::testing
