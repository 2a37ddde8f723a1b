#include "settings/options_check.h"

#include <sys/stat.h>

#include <utility>

#include "common/path_routines.h"
#include "common/text_routines.h"
#include "settings/option_keys.h"
#include "settings/variables.h"

namespace pelorin {

namespace {

// A template path that names a FIFO, device or socket: reading one would
// hang or make no sense, and the person is told which file it is. (A folder
// is the usual slip in the file dialog and gets the plain request.)
bool NamesASpecialFile(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) &&
         !S_ISDIR(st.st_mode);
}

}  // namespace

namespace {

// A whole number from 16 to 2048, blanks around it allowed.
bool IsThumbnailSize(const std::string& text) {
  std::size_t consumed = 0;
  const double value = ReadNumber(text, &consumed);
  if (!IsBlank(std::string_view(text).substr(consumed))) return false;
  return value >= 16 && value <= 2048 && value == static_cast<int>(value);
}

}  // namespace

std::vector<OptionProblem> FindOptionProblems(const SettingsStore& store) {
  std::vector<OptionProblem> problems;
  // A name with a separator ("../index.html") would write outside the tree.
  if (!IsPlainFileName(GetText(store, keys::kIndexFilename))) {
    problems.push_back({keys::kIndexFilename, "  - Please specify a name for the index files"});
  }
  const std::string main_template = GetText(store, keys::kMainTemplate);
  if (NamesASpecialFile(main_template)) {
    problems.push_back(
        {keys::kMainTemplate, "  - The template file " + main_template + " is not a regular file"});
  } else if (main_template.empty() || !FileExists(main_template)) {
    problems.push_back({keys::kMainTemplate, "  - Please define a template file"});
  }
  if (GetFlag(store, keys::kPicsInHtml)) {
    const std::string picture_template = GetText(store, keys::kPictureTemplate);
    if (NamesASpecialFile(picture_template)) {
      problems.push_back({keys::kPictureTemplate, "  - The picture template " + picture_template +
                                                      " is not a regular file"});
    } else if (picture_template.empty() || !FileExists(picture_template)) {
      problems.push_back({keys::kPictureTemplate,
                          "  - Please define a template file for the individual pictures"});
    }
  }
  if (GetFlag(store, keys::kUseThumbnails) && GetFlag(store, keys::kThumbnailSubdir)) {
    const std::string folder = TextOrFirstRun(store, keys::kThumbnailFolder);
    if (!IsPlainFileName(folder) || IsHiddenName(folder)) {
      problems.push_back(
          {keys::kThumbnailFolder, "  - Please define the name of the thumbnail subdirectory"});
    }
  }
  if (GetFlag(store, keys::kUseThumbnails) && GetFlag(store, keys::kMakeThumbnails)) {
    if (!IsThumbnailSize(TextOrFirstRun(store, keys::kThumbnailSize))) {
      problems.push_back(
          {keys::kThumbnailSize, "  - Please give a thumbnail size from 16 to 2048 pixels"});
    }
    // Without either, a thumbnail would be the picture itself.
    if (GetText(store, keys::kThumbnailPrefix).empty() && !GetFlag(store, keys::kThumbnailSubdir)) {
      problems.push_back({keys::kThumbnailPrefix,
                          "  - Please define a thumbnail prefix or a thumbnail subdirectory"});
    }
  }
  if (GetText(store, keys::kFileTypes).empty()) {
    problems.push_back({keys::kFileTypes, "  - Please specify which file types you want to list"});
  }
  return problems;
}

std::vector<std::string> OptionProblems(const SettingsStore& store) {
  std::vector<std::string> lines;
  for (OptionProblem& problem : FindOptionProblems(store)) lines.push_back(std::move(problem.line));
  return lines;
}

std::string OptionsCheckMessage(const std::vector<std::string>& problems) {
  std::string text = kOptionsHeading;
  text += "\r\n";
  for (const std::string& line : problems) text += line + "\r\n";
  text += kOptionsFooter;
  return text;
}

}  // namespace pelorin
