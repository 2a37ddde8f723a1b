// The table of option keys: order, stored form, kind, first-run value and
// the rule a value must follow. The options window and the command line
// both seed and list from it; `options set`, `index --set` and the options
// check all judge values by it.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/file_type_list.h"
#include "engine/page_options.h"
#include "settings/settings_store.h"
#include "settings/variables.h"

namespace pelorin {

enum class StoredForm { kFlag, kText, kBoolean };

// What a value may be.
enum class ValueRule {
  kText,            // any text
  kPath,            // a file's path (any text; completed as a file name)
  kSwitch,          // "0" or "1"; yes/no, true/false, on/off are stored as "1"/"0"
  kTrueFalse,       // "True" or "False"
  kWholeNumber,     // a whole number from min to max
  kPercent,         // a whole number from min to max, "%" after it allowed
  kOptionalNumber,  // empty, or a whole number from min to max
  kPictureDisplay,  // empty (the table only with thumbnails), "0" a column, "1" a table
  kFileName,        // a plain file name: not empty, no "/", not "." or ".."
  kNamePrefix,      // text without "/", empty allowed
};

struct OptionKey {
  const char* key;
  StoredForm form;
  // First-run value; empty for the template paths, which depend on the
  // installation folder (see FirstRunValue).
  const char* first_run;
  ValueRule rule = ValueRule::kText;
  int min = 0;  // kWholeNumber, kPercent, kOptionalNumber
  int max = 0;
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
inline constexpr char kShowCaptions[] = "ShowCaptions";
inline constexpr char kModernImages[] = "ModernImages";
inline constexpr char kDisplaySize[] = "DisplaySize";
}  // namespace keys

// The thumbnails a run makes fit a square of this many pixels.
inline constexpr int kMinThumbnailSize = 16;
inline constexpr int kMaxThumbnailSize = 2048;
inline constexpr int kFirstRunThumbnailSize = 160;
// The display copies a picture page shows fit a square of this many pixels.
inline constexpr int kMinDisplaySize = 320;
inline constexpr int kMaxDisplaySize = 4096;

inline constexpr char kDataHasBeenSetUp[] = "DataHasBeenSetUp";
inline constexpr char kFirstRunFileTypes[] =
    "GIF, PNG, WEBP\r\nJPG, JPEG, JPE\r\nHTM, HTML, SHTML, PHP, PHP3\r\n";

// Every key in the order the options window writes and reads them, ending
// with DataHasBeenSetUp.
std::span<const OptionKey> OptionKeys();
const OptionKey* FindOptionKey(const std::string& key);
std::string FirstRunValue(const OptionKey& key, const std::string& installation_folder);

// The values the key accepts, for messages: "a whole number from 16 to 2048".
std::string AcceptedForm(const OptionKey& key);
// Whether value follows the key's rule; *stored gets the text to store:
// switches as "0"/"1", "True"/"False", numbers without blanks, other values
// as given.
bool NormaliseValue(const OptionKey& key, std::string_view value, std::string* stored);
// Whether a stored text means what it says: empty, or what NormaliseValue
// accepts, a switch as "0" or "1" only (a stored "yes" would read as off).
bool StoredValueFits(const OptionKey& key, std::string_view stored);
// The whole number text holds (blanks around it allowed) when it is one
// from min to max.
bool ReadWholeNumber(std::string_view text, int min, int max, int* value);

// Whether the store holds no option yet: a new settings file, or one the
// desktop application wrote before its options were ever filled in.
bool NeedsFirstRunValues(const SettingsStore& store);

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
