#include "settings/option_keys.h"

#include <array>

namespace pelorin {

namespace {

constexpr std::array<OptionKey, 29> kKeys = {{
    {keys::kShowPics, StoredForm::kFlag, ValueKind::Number, "0"},
    {keys::kScalePics, StoredForm::kFlag, ValueKind::Number, "0"},
    {keys::kUseThumbnails, StoredForm::kFlag, ValueKind::Number, "0"},
    {keys::kThumbnailSubdir, StoredForm::kFlag, ValueKind::Number, "0"},
    {keys::kPicsInHtml, StoredForm::kFlag, ValueKind::Number, "0"},
    {keys::kIndexFilename, StoredForm::kText, ValueKind::Text, "index.html"},
    {keys::kScalePercent, StoredForm::kText, ValueKind::Text, "60"},
    {keys::kThumbnailPrefix, StoredForm::kText, ValueKind::Text, "small_"},
    {keys::kMainTemplate, StoredForm::kText, ValueKind::Text, ""},
    {keys::kPictureTemplate, StoredForm::kText, ValueKind::Text, ""},
    {keys::kFileTypes, StoredForm::kText, ValueKind::Text, kFirstRunFileTypes},
    {keys::kPageTitle, StoredForm::kText, ValueKind::Text, ""},
    {keys::kKeywords, StoredForm::kText, ValueKind::Text, ""},
    {keys::kSeparator, StoredForm::kText, ValueKind::Text, ""},
    {keys::kDynamicTitle, StoredForm::kFlag, ValueKind::Number, "0"},
    {keys::kDynamicDescription, StoredForm::kFlag, ValueKind::Number, "0"},
    {keys::kDynamicKeywords, StoredForm::kFlag, ValueKind::Number, "0"},
    // Bound to the two Display checkboxes; seeded on: a run opens the top
    // page and the desktop application ends with it.
    {keys::kOpenIndexWhenDone, StoredForm::kFlag, ValueKind::Number, "1"},
    {keys::kCloseWhenDone, StoredForm::kFlag, ValueKind::Number, "1"},
    // The gallery and the Display tab. Their first-run values (and their
    // absence, in a store written before they existed) give the same pages
    // as a store without them.
    {keys::kThumbnailFolder, StoredForm::kText, ValueKind::Text, "thumbnails"},
    {keys::kPictureDisplay, StoredForm::kText, ValueKind::Text, ""},
    {keys::kShowHeadings, StoredForm::kFlag, ValueKind::Number, "1"},
    {keys::kCategoriesInOneLine, StoredForm::kFlag, ValueKind::Number, "1"},
    {keys::kBulletPicture, StoredForm::kText, ValueKind::Text, ""},
    {keys::kBulletWidth, StoredForm::kText, ValueKind::Text, ""},
    {keys::kBulletHeight, StoredForm::kText, ValueKind::Text, ""},
    {keys::kMakeThumbnails, StoredForm::kFlag, ValueKind::Number, "0"},
    {keys::kThumbnailSize, StoredForm::kText, ValueKind::Text, "160"},
    {kDataHasBeenSetUp, StoredForm::kBoolean, ValueKind::Boolean, "True"},
}};

}  // namespace

std::span<const OptionKey> OptionKeys() { return kKeys; }

const OptionKey* FindOptionKey(const std::string& key) {
  for (const OptionKey& option : kKeys) {
    if (key == option.key) return &option;
  }
  return nullptr;
}

std::string FirstRunValue(const OptionKey& key, const std::string& installation_folder) {
  const std::string name = key.key;
  if (name == keys::kMainTemplate) return installation_folder + "/template.htm";
  if (name == keys::kPictureTemplate) return installation_folder + "/picture_template.htm";
  return key.first_run;
}

void SeedFirstRunValues(SettingsStore& store, const std::string& installation_folder) {
  for (const OptionKey& key : kKeys) {
    if (key.form == StoredForm::kBoolean) continue;  // DataHasBeenSetUp comes last
    SaveVariable(store, key.key, FirstRunValue(key, installation_folder));
  }
  SaveVariable(store, kDataHasBeenSetUp, true);
}

void SeedMissingValues(SettingsStore& store, const std::string& installation_folder) {
  for (const OptionKey& key : kKeys) {
    if (key.form == StoredForm::kBoolean || IsStored(store, key.key)) continue;
    SaveVariable(store, key.key, FirstRunValue(key, installation_folder));
  }
}

std::string TextOrFirstRun(const SettingsStore& store, const std::string& key) {
  if (IsStored(store, key)) return GetText(store, key);
  const OptionKey* option = FindOptionKey(key);
  return option != nullptr ? option->first_run : "";
}

namespace {

bool FlagOrFirstRun(const SettingsStore& store, const char* key) {
  return ReadNumber(TextOrFirstRun(store, key)) != 0.0;
}

}  // namespace

PageOptions LoadPageOptions(const SettingsStore& store) {
  PageOptions options;
  options.main_template = GetText(store, keys::kMainTemplate);
  options.index_filename = GetText(store, keys::kIndexFilename);
  options.separator = GetText(store, keys::kSeparator);
  options.page_title = GetText(store, keys::kPageTitle);
  options.keywords = GetText(store, keys::kKeywords);
  options.thumbnail_prefix = GetText(store, keys::kThumbnailPrefix);
  options.scale_percent = GetText(store, keys::kScalePercent);
  options.dynamic_title = GetFlag(store, keys::kDynamicTitle);
  options.dynamic_keywords = GetFlag(store, keys::kDynamicKeywords);
  options.dynamic_description = GetFlag(store, keys::kDynamicDescription);
  options.show_pics = GetFlag(store, keys::kShowPics);
  options.use_thumbnails = GetFlag(store, keys::kUseThumbnails);
  options.scale_pics = GetFlag(store, keys::kScalePics);
  options.thumbnail_subdir = GetFlag(store, keys::kThumbnailSubdir);
  options.pics_in_html = GetFlag(store, keys::kPicsInHtml);
  options.picture_template = GetText(store, keys::kPictureTemplate);
  options.thumbnail_folder = TextOrFirstRun(store, keys::kThumbnailFolder);
  options.picture_display = GetText(store, keys::kPictureDisplay);
  options.show_headings = FlagOrFirstRun(store, keys::kShowHeadings);
  options.categories_in_one_line = FlagOrFirstRun(store, keys::kCategoriesInOneLine);
  options.bullet_picture = GetText(store, keys::kBulletPicture);
  options.bullet_width = GetText(store, keys::kBulletWidth);
  options.bullet_height = GetText(store, keys::kBulletHeight);
  options.make_thumbnails = FlagOrFirstRun(store, keys::kMakeThumbnails);
  options.thumbnail_size =
      static_cast<int>(ReadNumber(TextOrFirstRun(store, keys::kThumbnailSize)));
  return options;
}

FileTypeList LoadFileTypeList(const SettingsStore& store) {
  return FileTypeList(GetText(store, keys::kFileTypes));
}

}  // namespace pelorin
