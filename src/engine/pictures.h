// Which files of a folder are pictures, which are their thumbnails, and the
// names of picture pages: one home for the rules the lists, the picture
// pages and the thumbnail maker share.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/folder_reader.h"
#include "engine/file_type_list.h"
#include "engine/page_options.h"

namespace pelorin {

// gif, png, jpg, jpeg, jpe, webp, bmp or svg after the last ".", ASCII case
// ignored.
bool IsPictureName(std::string_view name);

// What a picture's name becomes the name of its page with.
inline constexpr std::string_view kPicturePageSuffix = ".html";

// A picture's name as people read it: without its last extension
// ("IMG 1.jpg" -> "IMG 1"). Not escaped.
std::string_view PictureTitleOf(std::string_view picture);

// "IMG_1.jpg" -> "IMG_1.jpg.html".
std::string PicturePageName(std::string_view picture);
// A name a picture page has ("x.JPG.html", case ignored): with picture pages
// on, such files are neither listed nor counted.
bool IsPicturePageName(std::string_view name);

// Thumbnails live in a subfolder of every folder (ThumbnailSubdir and
// UseThumbnails on); that folder is then no folder of the tree.
bool ThumbnailsInSubfolder(const PageOptions& options);
// A thumbnail beside its picture: a name starting with the prefix
// (UseThumbnails on, ThumbnailSubdir off).
bool IsThumbnailBeside(std::string_view name, const PageOptions& options);
// The thumbnail's file name for a picture, wherever it lives.
std::string ThumbnailNameOf(std::string_view picture, const PageOptions& options);

// Where a picture's thumbnail lives: its name, and whether that is in the
// thumbnail subfolder (options.thumbnail_folder) or beside the picture. The
// lists, the thumbnail maker and the clean-up all ask here.
struct ThumbnailPlace {
  bool in_subfolder = false;
  std::string name;
};
ThumbnailPlace ThumbnailPlaceOf(std::string_view picture, const PageOptions& options);

// Whether a file is a picture of its folder, which alone has a picture
// page: a picture's extension, and not a thumbnail beside its picture.
bool IsFolderPicture(std::string_view name, const PageOptions& options);

// The sharper thumbnail beside a thumbnail, for screens of twice the
// density: "small_a.jpg" -> "small_a@2x.jpg".
inline constexpr std::string_view kDoubleDensityMark = "@2x";
std::string DoubleDensityNameOf(std::string_view thumbnail);
// The thumbnail a name is the sharper copy of, or nullopt when it is none.
std::optional<std::string> SingleDensityNameOf(std::string_view name);

// The copy of a picture a picture page shows, sized for the screen, in the
// thumbnail subfolder: "a.jpg" -> "display_a.jpg".
inline constexpr std::string_view kDisplayCopyPrefix = "display_";
std::string DisplayCopyNameOf(std::string_view picture);
// Display copies are made and shown: DisplaySize set, with picture pages,
// thumbnails made by the run, and a thumbnail subfolder to hold them.
bool DisplayCopiesOn(const PageOptions& options);

// The last line of every picture page: a file whose last line is exactly
// this is one the program made, which prune may remove once its picture is
// gone.
inline constexpr std::string_view kMadeByLine = "<!-- made by Pelorin2 -->";

// Whether the file list lists this file: the filter accepts it, it is not
// the folder's own page, and with picture pages on it is not one of them.
bool IsListedFile(std::string_view name, const PageOptions& options, const FileTypeList& filter);

// The entries of the listing that are pictures, in listing order: listed
// files with a picture's extension that are not thumbnails beside their
// pictures.
std::vector<std::size_t> PicturesOf(const FolderListing& listing, const PageOptions& options,
                                    const FileTypeList& filter);

// Whether a sorted listing holds a file of that name.
bool HasFile(const FolderListing& listing, std::string_view name);

}  // namespace pelorin
