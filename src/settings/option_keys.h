// The table of option keys: order, stored form, kind and first-run value.
// The options window and the command line both seed and list from it.
#pragma once

#include <span>
#include <string>

#include "engine/file_type_list.h"
#include "engine/page_options.h"
#include "settings/settings_store.h"
#include "settings/variables.h"

namespace pelorin {

enum class StoredForm { kFlag, kText, kBoolean };

struct OptionKey {
  const char* key;
  StoredForm form;
  ValueKind kind;
  // First-run value; empty for the template paths, which depend on the
  // installation folder (see FirstRunValue).
  const char* first_run;
};

// Every option key, spelt once: a misspelt key does not compile.
namespace keys {
inline constexpr char kShowPics[] = "ShowPics";
inline constexpr char kScalePics[] = "ScalePics";
inline constexpr char kUseThumbnails[] = "UseThumbnails";
inline constexpr char kThumbnailSubdir[] = "ThumbnailSubdir";
inline constexpr char kPicsInHtml[] = "PicsInHtml";
inline constexpr char kIndexFilename[] = "IndexFilename";
inline constexpr char kScalePercent[] = "ScalePercent";
inline constexpr char kThumbnailPrefix[] = "ThumbnailPrefix";
inline constexpr char kMainTemplate[] = "MainTemplate";
inline constexpr char kPictureTemplate[] = "PictureTemplate";
inline constexpr char kFileTypes[] = "FileTypes";
inline constexpr char kPageTitle[] = "PageTitle";
inline constexpr char kKeywords[] = "Keywords";
inline constexpr char kSeparator[] = "Separator";
inline constexpr char kDynamicTitle[] = "DynamicTitle";
inline constexpr char kDynamicDescription[] = "DynamicDescription";
inline constexpr char kDynamicKeywords[] = "DynamicKeywords";
inline constexpr char kOpenIndexWhenDone[] = "OpenIndexWhenDone";
inline constexpr char kCloseWhenDone[] = "CloseWhenDone";
inline constexpr char kThumbnailFolder[] = "ThumbnailFolder";
inline constexpr char kPictureDisplay[] = "PictureDisplay";
inline constexpr char kShowHeadings[] = "ShowHeadings";
inline constexpr char kCategoriesInOneLine[] = "CategoriesInOneLine";
inline constexpr char kBulletPicture[] = "BulletPicture";
inline constexpr char kBulletWidth[] = "BulletWidth";
inline constexpr char kBulletHeight[] = "BulletHeight";
inline constexpr char kMakeThumbnails[] = "MakeThumbnails";
inline constexpr char kThumbnailSize[] = "ThumbnailSize";
}  // namespace keys

inline constexpr char kDataHasBeenSetUp[] = "DataHasBeenSetUp";
inline constexpr char kFirstRunFileTypes[] =
    "GIF, PNG\r\nJPG, JPEG, JPE\r\nHTM, HTML, SHTML, PHP, PHP3\r\n";

// Every key in the order the options window writes and reads them, ending
// with DataHasBeenSetUp.
std::span<const OptionKey> OptionKeys();
const OptionKey* FindOptionKey(const std::string& key);
std::string FirstRunValue(const OptionKey& key, const std::string& installation_folder);

// What the first opening of the options window does: every key gets its
// first-run value, then DataHasBeenSetUp = "True".
void SeedFirstRunValues(SettingsStore& store, const std::string& installation_folder);
// What a later opening does: keys a store written by an older version lacks
// get their first-run values; stored values are left alone.
void SeedMissingValues(SettingsStore& store, const std::string& installation_folder);

// The stored text, or the key's first-run value when the store (written by
// an older version) does not hold the key.
std::string TextOrFirstRun(const SettingsStore& store, const std::string& key);

// The options a run's pages are made from, read once.
PageOptions LoadPageOptions(const SettingsStore& store);
// The file-type filter from the FileTypes option.
FileTypeList LoadFileTypeList(const SettingsStore& store);

}  // namespace pelorin
