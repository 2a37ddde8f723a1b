// The option values a run's pages are made from. Nothing can change the
// options while a run goes on, so they are read from the store once per run.
#pragma once

#include <string>

namespace pelorin {

struct PageOptions {
  std::string main_template;     // MainTemplate
  std::string index_filename;    // IndexFilename. Default: "index.html"
  std::string separator;         // Separator
  std::string page_title;        // PageTitle
  std::string keywords;          // Keywords
  std::string thumbnail_prefix;  // ThumbnailPrefix. Default: "small_"
  std::string scale_percent;     // ScalePercent. Default: "60"
  bool dynamic_title = false;
  bool dynamic_keywords = false;
  bool dynamic_description = false;
  bool show_pics = false;
  bool use_thumbnails = false;
  bool scale_pics = false;
};

}  // namespace pelorin
