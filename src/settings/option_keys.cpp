#include "settings/option_keys.h"

#include <array>
#include <charconv>

#include "common/path_routines.h"
#include "common/text_routines.h"

namespace pelorin {

namespace {

constexpr std::array<OptionKey, 32> kKeys = {{
    {keys::kShowPics, StoredForm::kFlag, "0", ValueRule::kSwitch},
    {keys::kScalePics, StoredForm::kFlag, "0", ValueRule::kSwitch},
    {keys::kUseThumbnails, StoredForm::kFlag, "0", ValueRule::kSwitch},
    {keys::kThumbnailSubdir, StoredForm::kFlag, "0", ValueRule::kSwitch},
    {keys::kPicsInHtml, StoredForm::kFlag, "0", ValueRule::kSwitch},
    {keys::kIndexFilename, StoredForm::kText, "index.html", ValueRule::kFileName},
    {keys::kScalePercent, StoredForm::kText, "60", ValueRule::kPercent, 1, 100},
    {keys::kThumbnailPrefix, StoredForm::kText, "small_", ValueRule::kNamePrefix},
    {keys::kMainTemplate, StoredForm::kText, "", ValueRule::kPath},
    {keys::kPictureTemplate, StoredForm::kText, "", ValueRule::kPath},
    {keys::kFileTypes, StoredForm::kText, kFirstRunFileTypes},
    {keys::kPageTitle, StoredForm::kText, ""},
    {keys::kKeywords, StoredForm::kText, ""},
    {keys::kSeparator, StoredForm::kText, ""},
    {keys::kDynamicTitle, StoredForm::kFlag, "0", ValueRule::kSwitch},
    {keys::kDynamicDescription, StoredForm::kFlag, "0", ValueRule::kSwitch},
    {keys::kDynamicKeywords, StoredForm::kFlag, "0", ValueRule::kSwitch},
    // Bound to the two Display checkboxes; seeded on: a run opens the top
    // page and the desktop application ends with it.
    {keys::kOpenIndexWhenDone, StoredForm::kFlag, "1", ValueRule::kSwitch},
    {keys::kCloseWhenDone, StoredForm::kFlag, "1", ValueRule::kSwitch},
    // The gallery and the Display tab. Their first-run values (and their
    // absence, in a store written before they existed) give the same pages
    // as a store without them.
    {keys::kThumbnailFolder, StoredForm::kText, "thumbnails", ValueRule::kFileName},
    {keys::kPictureDisplay, StoredForm::kText, "", ValueRule::kPictureDisplay},
    {keys::kShowHeadings, StoredForm::kFlag, "1", ValueRule::kSwitch},
    {keys::kCategoriesInOneLine, StoredForm::kFlag, "1", ValueRule::kSwitch},
    {keys::kBulletPicture, StoredForm::kText, "", ValueRule::kPath},
    {keys::kBulletWidth, StoredForm::kText, "", ValueRule::kOptionalNumber, 1, 10000},
    {keys::kBulletHeight, StoredForm::kText, "", ValueRule::kOptionalNumber, 1, 10000},
    {keys::kMakeThumbnails, StoredForm::kFlag, "0", ValueRule::kSwitch},
    {keys::kThumbnailSize, StoredForm::kText, "160", ValueRule::kWholeNumber, kMinThumbnailSize,
     kMaxThumbnailSize},
    {keys::kShowCaptions, StoredForm::kFlag, "0", ValueRule::kSwitch},
    {keys::kModernImages, StoredForm::kFlag, "0", ValueRule::kSwitch},
    {keys::kDisplaySize, StoredForm::kText, "", ValueRule::kOptionalNumber, kMinDisplaySize,
     kMaxDisplaySize},
    {kDataHasBeenSetUp, StoredForm::kBoolean, "True", ValueRule::kTrueFalse},
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

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The switch a word means: 1 for 1/yes/true/on, 0 for 0/no/false/off, -1
// for anything else.
int SwitchOf(std::string_view word) {
  for (const char* on : {"1", "yes", "true", "on"}) {
    if (EqualsIgnoreCase(word, on)) return 1;
  }
  for (const char* off : {"0", "no", "false", "off"}) {
    if (EqualsIgnoreCase(word, off)) return 0;
  }
  return -1;
}

}  // namespace

bool ReadWholeNumber(std::string_view text, int min, int max, int* value) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  long long number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return false;
  if (number < min || number > max) return false;
  *value = static_cast<int>(number);
  return true;
}

std::string AcceptedForm(const OptionKey& key) {
  const std::string range = "from " + std::to_string(key.min) + " to " + std::to_string(key.max);
  switch (key.rule) {
    case ValueRule::kText:
      return "any text";
    case ValueRule::kPath:
      return "a file's path";
    case ValueRule::kSwitch:
      return "0 or 1 (or yes/no, true/false, on/off)";
    case ValueRule::kTrueFalse:
      return "True or False";
    case ValueRule::kWholeNumber:
      return "a whole number " + range;
    case ValueRule::kPercent:
      return "a whole number " + range + ", with or without %";
    case ValueRule::kOptionalNumber:
      return "nothing or a whole number " + range;
    case ValueRule::kPictureDisplay:
      return "nothing (a table only with thumbnails), 0 (a column) or 1 (a table)";
    case ValueRule::kFileName:
      return "a plain file name (no /)";
    case ValueRule::kNamePrefix:
      return "text without /";
  }
  return {};
}

bool NormaliseValue(const OptionKey& key, std::string_view value, std::string* stored) {
  int number = 0;
  switch (key.rule) {
    case ValueRule::kText:
    case ValueRule::kPath:
      *stored = value;
      return true;
    case ValueRule::kSwitch: {
      const int on = SwitchOf(Trimmed(value));
      if (on < 0) return false;
      *stored = on ? "1" : "0";
      return true;
    }
    case ValueRule::kTrueFalse: {
      const int on = SwitchOf(Trimmed(value));
      if (on < 0) return false;
      *stored = on ? "True" : "False";
      return true;
    }
    case ValueRule::kOptionalNumber:
      if (Trimmed(value).empty()) {
        stored->clear();
        return true;
      }
      [[fallthrough]];
    case ValueRule::kWholeNumber:
      if (!ReadWholeNumber(value, key.min, key.max, &number)) return false;
      *stored = std::to_string(number);
      return true;
    case ValueRule::kPercent: {
      std::string_view digits = Trimmed(value);
      const bool percent = !digits.empty() && digits.back() == '%';
      if (percent) digits.remove_suffix(1);
      if (!ReadWholeNumber(digits, key.min, key.max, &number)) return false;
      *stored = std::to_string(number) + (percent ? "%" : "");
      return true;
    }
    case ValueRule::kPictureDisplay:
      if (value != "" && value != "0" && value != "1") return false;
      *stored = value;
      return true;
    case ValueRule::kFileName:
      if (!IsPlainFileName(value)) return false;
      *stored = value;
      return true;
    case ValueRule::kNamePrefix:
      if (value.find('/') != std::string_view::npos || value.find('\0') != std::string_view::npos) {
        return false;
      }
      *stored = value;
      return true;
  }
  return false;
}

bool StoredValueFits(const OptionKey& key, std::string_view stored) {
  if (stored.empty()) return true;
  if (key.rule == ValueRule::kSwitch) return stored == "0" || stored == "1";
  // Any text reads as true or false; none is out of range.
  if (key.rule == ValueRule::kTrueFalse) return true;
  std::string normalised;
  return NormaliseValue(key, stored, &normalised);
}

bool NeedsFirstRunValues(const SettingsStore& store) {
  if (GetBoolean(store, kDataHasBeenSetUp)) return false;
  for (const OptionKey& key : kKeys) {
    if (IsStored(store, key.key)) return false;
  }
  return true;
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
  // Out of range (the options check reports it) reads as the first-run size,
  // never as a wrapped number.
  if (!ReadWholeNumber(TextOrFirstRun(store, keys::kThumbnailSize), kMinThumbnailSize,
                       kMaxThumbnailSize, &options.thumbnail_size)) {
    options.thumbnail_size = kFirstRunThumbnailSize;
  }
  options.show_captions = FlagOrFirstRun(store, keys::kShowCaptions);
  options.modern_images = FlagOrFirstRun(store, keys::kModernImages);
  // Empty or out of range (the options check reports it): no display copies.
  if (!ReadWholeNumber(GetText(store, keys::kDisplaySize), kMinDisplaySize, kMaxDisplaySize,
                       &options.display_size)) {
    options.display_size = 0;
  }
  return options;
}

FileTypeList LoadFileTypeList(const SettingsStore& store) {
  return FileTypeList(GetText(store, keys::kFileTypes));
}

}  // namespace pelorin
