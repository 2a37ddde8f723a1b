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
  std::string thumbnail_folder;  // ThumbnailFolder. Default: "thumbnails"
  // PictureDisplay: "1" a table, "0" a column, anything else a table only
  // with thumbnails. Default: "".
  std::string picture_display;
  std::string bullet_picture;    // BulletPicture. Default: ""
  std::string bullet_width;      // BulletWidth. Default: ""
  std::string bullet_height;     // BulletHeight. Default: ""
  std::string picture_template;  // PictureTemplate
  bool dynamic_title = false;
  bool dynamic_keywords = false;
  bool dynamic_description = false;
  bool show_pics = false;
  bool use_thumbnails = false;
  bool scale_pics = false;
  bool thumbnail_subdir = false;
  bool pics_in_html = false;
  bool show_headings = true;           // ShowHeadings. Default: on
  bool categories_in_one_line = true;  // CategoriesInOneLine. Default: on
  bool make_thumbnails = false;        // MakeThumbnails. Default: off
  int thumbnail_size = 160;            // ThumbnailSize, in pixels. Default: 160
  bool show_captions = false;          // ShowCaptions. Default: off
};

}  // namespace pelorin
