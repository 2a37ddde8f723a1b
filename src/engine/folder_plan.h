// What a run will do in one folder, decided from the folder's listing and the
// options alone: the page's view of the listing, the picture pages with their
// neighbours, the thumbnails to bring up to date, and the names that collide.
// Planning reads no file and writes none, so a plan can be shown before a run
// (a dry run) and tested without a tree.
#pragma once

#include <string>
#include <vector>

#include "common/folder_reader.h"
#include "engine/file_type_list.h"
#include "engine/page_options.h"
#include "engine/pictures.h"
#include "engine/thumbnail_maker.h"

namespace pelorin {

struct PicturePageTask {
  std::string picture;
  std::string page;      // PicturePageName(picture)
  std::string previous;  // empty for the first picture
  std::string next;      // empty for the last picture
};

// A picture whose thumbnail (or its sharper @2x copy, or its display copy)
// is made when it is missing or older than the picture.
struct ThumbnailTaskPlan {
  std::string picture;
  ThumbnailPlace place;
  ThumbnailFormat format;
  int size = 0;  // the box it fits, in pixels
  // Made from this file in the thumbnail subfolder, rather than from the
  // picture, when it is up to date and this is not: the display copy,
  // already upright and in sRGB, is far cheaper to read than a photo.
  std::string source{};
  // Made with the task before it, of the same picture: the images of a
  // picture that need making are made from one decoding of it.
  bool after_previous = false;
};

// A name that stands where the run means to write something else. The run
// reports it as a failure of that file and leaves what is there alone.
struct Collision {
  std::string name;    // relative to the folder
  std::string reason;  // "is a folder", ...
};

struct FolderPlan {
  // The listing as the page shows it: the page's own name in it as if it had
  // been made before its lists, the thumbnail subfolder left out.
  FolderListing page_listing;
  // The listing cannot tell what is under the page's name (it was not added
  // to page_listing because an entry had it, or it cannot be listed): the run
  // looks before it writes. Otherwise there is nothing there yet.
  bool look_up_page = true;
  bool page_inserted = false;  // page_listing gained the page's entry
  std::vector<PicturePageTask> picture_pages;
  std::vector<ThumbnailTaskPlan> thumbnails;
  std::vector<Collision> collisions;
};

// Plans one folder. listing: the folder's listing, which the plan takes over.
// thumbnail_listing: the thumbnail subfolder's names when thumbnails live in
// one and it exists, or nullptr. make_thumbnails: the run makes missing
// thumbnails (MakeThumbnails on and a maker at hand).
FolderPlan PlanFolder(FolderListing listing, const FolderListing* thumbnail_listing,
                      const PageOptions& options, const FileTypeList& filter, bool make_thumbnails);

}  // namespace pelorin
