#include "engine/pictures.h"

#include <algorithm>
#include <array>

#include "common/path_routines.h"
#include "common/text_routines.h"
#include "engine/picture_formats.h"

namespace pelorin {

namespace {

bool HasPictureExtension(std::string_view name) { return PictureFormatOf(name) != nullptr; }

}  // namespace

bool IsPictureName(std::string_view name) { return HasPictureExtension(name); }

std::string_view PictureTitleOf(std::string_view picture) {
  return picture.substr(0, picture.rfind('.'));
}

std::string PicturePageName(std::string_view picture) {
  std::string name(picture);
  name += kPicturePageSuffix;
  return name;
}

bool IsPicturePageName(std::string_view name) {
  if (name.size() <= kPicturePageSuffix.size()) return false;
  const std::string_view suffix = name.substr(name.size() - kPicturePageSuffix.size());
  if (!EqualsIgnoreCase(suffix, kPicturePageSuffix)) return false;
  return HasPictureExtension(name.substr(0, name.size() - kPicturePageSuffix.size()));
}

bool ThumbnailsInSubfolder(const PageOptions& options) {
  return options.use_thumbnails && options.thumbnail_subdir;
}

bool IsThumbnailBeside(std::string_view name, const PageOptions& options) {
  return options.use_thumbnails && !options.thumbnail_subdir &&
         LineStartsWithTag(name, options.thumbnail_prefix, true);
}

std::string ThumbnailNameOf(std::string_view picture, const PageOptions& options) {
  std::string name = options.thumbnail_prefix;
  name += picture;
  return name;
}

ThumbnailPlace ThumbnailPlaceOf(std::string_view picture, const PageOptions& options) {
  return {ThumbnailsInSubfolder(options), ThumbnailNameOf(picture, options)};
}

std::string DoubleDensityNameOf(std::string_view thumbnail) {
  std::size_t dot = thumbnail.rfind('.');
  if (dot == std::string_view::npos) dot = thumbnail.size();
  std::string name(thumbnail.substr(0, dot));
  name += kDoubleDensityMark;
  name += thumbnail.substr(dot);
  return name;
}

std::optional<std::string> SingleDensityNameOf(std::string_view name) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) dot = name.size();
  const std::string_view stem = name.substr(0, dot);
  if (!stem.ends_with(kDoubleDensityMark)) return std::nullopt;
  std::string single(stem.substr(0, stem.size() - kDoubleDensityMark.size()));
  single += name.substr(dot);
  return single;
}

std::string DisplayCopyNameOf(std::string_view picture) {
  std::string name(kDisplayCopyPrefix);
  name += picture;
  return name;
}

bool DisplayCopiesOn(const PageOptions& options) {
  return options.display_size > 0 && options.pics_in_html && options.make_thumbnails &&
         ThumbnailsInSubfolder(options);
}

bool IsFolderPicture(std::string_view name, const PageOptions& options) {
  return IsPictureName(name) && !IsThumbnailBeside(name, options);
}

bool IsListedFile(std::string_view name, const PageOptions& options, const FileTypeList& filter) {
  // A page that lists itself would count one file more than it shows.
  if (name == options.index_filename || !filter.IsInteresting(name)) return false;
  // A sharper copy of a thumbnail is shown through its thumbnail.
  if (options.modern_images && IsThumbnailBeside(name, options) && SingleDensityNameOf(name)) {
    return false;
  }
  return !options.pics_in_html || !IsPicturePageName(name);
}

std::vector<std::size_t> PicturesOf(const FolderListing& listing, const PageOptions& options,
                                    const FileTypeList& filter) {
  std::vector<std::size_t> pictures;
  for (std::size_t i = 0; i < listing.entries.size(); ++i) {
    const FolderEntry& entry = listing.entries[i];
    if (entry.kind != EntryKind::kFile || !IsFolderPicture(entry.name, options)) continue;
    if (IsListedFile(entry.name, options, filter)) pictures.push_back(i);
  }
  return pictures;
}

bool HasFile(const FolderListing& listing, std::string_view name) {
  const auto it = std::lower_bound(
      listing.entries.begin(), listing.entries.end(), name,
      [](const FolderEntry& entry, std::string_view n) { return NameLess(entry.name, n); });
  return it != listing.entries.end() && it->name == name && it->kind == EntryKind::kFile;
}

}  // namespace pelorin
