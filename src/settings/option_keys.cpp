#include "settings/option_keys.h"

#include <array>

namespace pelorin {

namespace {

constexpr std::array<OptionKey, 20> kKeys = {{
    {"ShowPics", StoredForm::kFlag, ValueKind::Number, "0"},
    {"ScalePics", StoredForm::kFlag, ValueKind::Number, "0"},
    {"UseThumbnails", StoredForm::kFlag, ValueKind::Number, "0"},
    {"ThumbnailSubdir", StoredForm::kFlag, ValueKind::Number, "0"},
    {"PicsInHtml", StoredForm::kFlag, ValueKind::Number, "0"},
    {"IndexFilename", StoredForm::kText, ValueKind::Text, "index.html"},
    {"ScalePercent", StoredForm::kText, ValueKind::Text, "60"},
    {"ThumbnailPrefix", StoredForm::kText, ValueKind::Text, "small_"},
    {"MainTemplate", StoredForm::kText, ValueKind::Text, ""},
    {"PictureTemplate", StoredForm::kText, ValueKind::Text, ""},
    {"FileTypes", StoredForm::kText, ValueKind::Text, kFirstRunFileTypes},
    {"PageTitle", StoredForm::kText, ValueKind::Text, ""},
    {"Keywords", StoredForm::kText, ValueKind::Text, ""},
    {"Separator", StoredForm::kText, ValueKind::Text, ""},
    {"DynamicTitle", StoredForm::kFlag, ValueKind::Number, "0"},
    {"DynamicDescription", StoredForm::kFlag, ValueKind::Number, "0"},
    {"DynamicKeywords", StoredForm::kFlag, ValueKind::Number, "0"},
    // Bound to the two Display checkboxes; seeded on, so a run opens the top
    // page and the desktop application ends, as it always did.
    {"OpenIndexWhenDone", StoredForm::kFlag, ValueKind::Number, "1"},
    {"CloseWhenDone", StoredForm::kFlag, ValueKind::Number, "1"},
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
  if (name == "MainTemplate") return installation_folder + "/template.htm";
  if (name == "PictureTemplate") return installation_folder + "/picture_template.htm";
  return key.first_run;
}

void SeedFirstRunValues(SettingsStore& store, const std::string& installation_folder) {
  for (const OptionKey& key : kKeys) {
    if (key.form == StoredForm::kBoolean) continue;  // DataHasBeenSetUp comes last
    SaveVariable(store, key.key, FirstRunValue(key, installation_folder));
  }
  SaveVariable(store, kDataHasBeenSetUp, true);
}

PageOptions LoadPageOptions(const SettingsStore& store) {
  PageOptions options;
  options.main_template = GetText(store, "MainTemplate");
  options.index_filename = GetText(store, "IndexFilename");
  options.separator = GetText(store, "Separator");
  options.page_title = GetText(store, "PageTitle");
  options.keywords = GetText(store, "Keywords");
  options.thumbnail_prefix = GetText(store, "ThumbnailPrefix");
  options.scale_percent = GetText(store, "ScalePercent");
  options.dynamic_title = GetFlag(store, "DynamicTitle");
  options.dynamic_keywords = GetFlag(store, "DynamicKeywords");
  options.dynamic_description = GetFlag(store, "DynamicDescription");
  options.show_pics = GetFlag(store, "ShowPics");
  options.use_thumbnails = GetFlag(store, "UseThumbnails");
  options.scale_pics = GetFlag(store, "ScalePics");
  return options;
}

FileTypeList LoadFileTypeList(const SettingsStore& store) {
  return FileTypeList(GetText(store, "FileTypes"));
}

}  // namespace pelorin
