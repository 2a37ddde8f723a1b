// Index page generation: the template copied line by line, tag lines replaced.
#pragma once

#include <string>
#include <string_view>

#include "common/folder_reader.h"
#include "engine/file_type_list.h"
#include "engine/page_options.h"

namespace pelorin {

struct PageInput {
  // The folder being indexed, ending in one separator.
  std::string_view folder_path;
  // The run's folder as the user named it: absolute, no trailing separator
  // except for "/" itself. Categories are measured against it.
  std::string_view selected_folder;
  const FolderListing& listing;
  const PageOptions& options;
  const FileTypeList& filter;
};

struct Categories {
  bool is_root = false;
  std::string category;       // HTML-escaped names
  std::string full_category;  // escaped names joined by the Separator value
};

Categories ComputeCategories(std::string_view folder_path, std::string_view selected_folder,
                             std::string_view separator);

// The page for one folder. Template lines end at CR LF, CR or LF; every
// output line ends with CR LF. An empty template gives an empty page.
std::string GeneratePage(std::string_view template_text, const PageInput& input);

}  // namespace pelorin
