#include "engine/folder_plan.h"

#include <algorithm>

#include "common/path_routines.h"
#include "common/text_routines.h"

namespace pelorin {

namespace {

const FolderEntry* FindEntry(const FolderListing& listing, std::string_view name) {
  const auto it = std::lower_bound(
      listing.entries.begin(), listing.entries.end(), name,
      [](const FolderEntry& entry, std::string_view n) { return NameLess(entry.name, n); });
  return it != listing.entries.end() && it->name == name ? &*it : nullptr;
}

bool IsFolderEntry(const FolderListing& listing, std::string_view name) {
  const FolderEntry* entry = FindEntry(listing, name);
  return entry != nullptr && entry->kind == EntryKind::kFolder;
}

constexpr std::string_view kIsFolder = "is a folder";

// The thumbnail subfolder is no folder of the tree: it is neither walked
// nor listed.
void LeaveOutThumbnailFolder(FolderPlan& plan, const PageOptions& options, bool make_thumbnails) {
  if (!ThumbnailsInSubfolder(options)) return;
  auto& entries = plan.page_listing.entries;
  const std::string& name = options.thumbnail_folder;
  const auto it = std::find_if(entries.begin(), entries.end(),
                               [&](const FolderEntry& entry) { return entry.name == name; });
  if (it == entries.end()) return;
  if (it->kind == EntryKind::kFolder) {
    entries.erase(it);
    --plan.page_listing.total_subfolders;
  } else if (make_thumbnails) {
    plan.collisions.push_back({name, "is a file, not the thumbnail folder"});
  }
}

void PlanPage(FolderPlan& plan, const PageOptions& options) {
  const std::string& name = options.index_filename;
  // The page lists itself as if it had been made before its lists. A name
  // the listing cannot show (hidden, or not a plain name) is looked up.
  const bool listable = IsPlainFileName(name) && !IsHiddenName(name);
  plan.page_inserted = listable && InsertFileEntry(&plan.page_listing, name);
  plan.look_up_page = !plan.page_inserted;
  if (IsFolderEntry(plan.page_listing, name))
    plan.collisions.push_back({name, std::string(kIsFolder)});
}

void PlanPicturePages(FolderPlan& plan, const std::vector<std::size_t>& pictures,
                      const PageOptions& options) {
  const auto& entries = plan.page_listing.entries;
  for (std::size_t k = 0; k < pictures.size(); ++k) {
    const std::string& name = entries[pictures[k]].name;
    std::string page = PicturePageName(name);
    if (page == options.index_filename) continue;  // the folder's page wins
    if (IsFolderEntry(plan.page_listing, page)) {
      plan.collisions.push_back({std::move(page), std::string(kIsFolder)});
      continue;
    }
    plan.picture_pages.push_back(
        {name, std::move(page), k > 0 ? entries[pictures[k - 1]].name : std::string(),
         k + 1 < pictures.size() ? entries[pictures[k + 1]].name : std::string()});
  }
}

// Adds the task unless a folder stands where its image goes; false then.
bool PlanImage(FolderPlan& plan, const FolderListing* thumbnail_listing, const PageOptions& options,
               ThumbnailTaskPlan task) {
  const FolderListing* where = task.place.in_subfolder ? thumbnail_listing : &plan.page_listing;
  if (where != nullptr && IsFolderEntry(*where, task.place.name)) {
    plan.collisions.push_back({task.place.in_subfolder
                                   ? options.thumbnail_folder + kSeparator + task.place.name
                                   : task.place.name,
                               std::string(kIsFolder)});
    return false;
  }
  task.after_previous = !plan.thumbnails.empty() && plan.thumbnails.back().picture == task.picture;
  plan.thumbnails.push_back(std::move(task));
  return true;
}

// Each picture's thumbnail, with ModernImages its copy of twice the size,
// with display copies its copy for the picture page.
void PlanThumbnails(FolderPlan& plan, const std::vector<std::size_t>& pictures,
                    const FolderListing* thumbnail_listing, const PageOptions& options) {
  const bool display_copies = DisplayCopiesOn(options);
  for (const std::size_t index : pictures) {
    const std::string& picture = plan.page_listing.entries[index].name;
    const std::optional<ThumbnailFormat> format = ThumbnailFormatOf(picture);
    if (!format) continue;  // bmp and svg are shown as they are
    ThumbnailPlace place = ThumbnailPlaceOf(picture, options);
    if (!place.in_subfolder && place.name == picture) continue;  // a picture is never written to
    ThumbnailPlace sharper{place.in_subfolder, DoubleDensityNameOf(place.name)};
    // The display copy first: when it is up to date and they are not, the
    // thumbnails are made from it, if it is larger than they are.
    const int largest = options.modern_images ? 2 * options.thumbnail_size : options.thumbnail_size;
    std::string source;
    if (display_copies) {
      std::string display = DisplayCopyNameOf(picture);
      if (PlanImage(plan, thumbnail_listing, options,
                    {picture, {true, display}, *format, options.display_size}) &&
          options.display_size >= largest) {
        source = std::move(display);
      }
    }
    PlanImage(plan, thumbnail_listing, options,
              {picture, std::move(place), *format, options.thumbnail_size, source});
    if (options.modern_images) {
      PlanImage(plan, thumbnail_listing, options,
                {picture, std::move(sharper), *format, 2 * options.thumbnail_size, source});
    }
  }
}

}  // namespace

FolderPlan PlanFolder(FolderListing listing, const FolderListing* thumbnail_listing,
                      const PageOptions& options, const FileTypeList& filter,
                      bool make_thumbnails) {
  FolderPlan plan;
  plan.page_listing = std::move(listing);
  LeaveOutThumbnailFolder(plan, options, make_thumbnails);
  PlanPage(plan, options);
  if (!options.pics_in_html && !make_thumbnails) return plan;
  const std::vector<std::size_t> pictures = PicturesOf(plan.page_listing, options, filter);
  if (options.pics_in_html) PlanPicturePages(plan, pictures, options);
  if (make_thumbnails) PlanThumbnails(plan, pictures, thumbnail_listing, options);
  return plan;
}

}  // namespace pelorin
