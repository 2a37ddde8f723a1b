// The option values a run's pages are made from. Nothing can change the
// options while a run goes on, so they are read from the store once per run
// (LoadPageOptions). Their first-run values live in the key table alone.
#pragma once

#include <string>

namespace pelorin {

struct PageOptions {
  std::string main_template;     // MainTemplate
  std::string index_filename;    // IndexFilename
  std::string separator;         // Separator
  std::string page_title;        // PageTitle
  std::string keywords;          // Keywords
  std::string thumbnail_prefix;  // ThumbnailPrefix
  std::string scale_percent;     // ScalePercent
  std::string thumbnail_folder;  // ThumbnailFolder
  // PictureDisplay: "1" a table, "0" a column, anything else a table only
  // with thumbnails.
  std::string picture_display;
  std::string bullet_picture;    // BulletPicture
  std::string bullet_width;      // BulletWidth
  std::string bullet_height;     // BulletHeight
  std::string picture_template;  // PictureTemplate
  bool dynamic_title = false;
  bool dynamic_keywords = false;
  bool dynamic_description = false;
  bool show_pics = false;
  bool use_thumbnails = false;
  bool scale_pics = false;
  bool thumbnail_subdir = false;
  bool pics_in_html = false;
  bool show_headings = false;           // ShowHeadings
  bool categories_in_one_line = false;  // CategoriesInOneLine
  bool make_thumbnails = false;         // MakeThumbnails
  int thumbnail_size = 0;               // ThumbnailSize, in pixels
  bool show_captions = false;           // ShowCaptions
  // ModernImages: pictures with their sizes, loaded lazily, and thumbnails
  // twice as sharp on dense screens.
  bool modern_images = false;
  int display_size = 0;  // DisplaySize, in pixels; 0: no display copies
  // Not stored: every thumbnail Pelorin2 made is made again, up to date or
  // not (index --remake-thumbnails).
  bool remake_thumbnails = false;
};

}  // namespace pelorin
