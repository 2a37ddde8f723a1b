#include "settings/options_check.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "common/path_routines.h"
#include "common/text_routines.h"
#include "engine/pictures.h"
#include "settings/option_keys.h"
#include "settings/variables.h"

namespace pelorin {

namespace {

// The longest file name Linux file systems take.
constexpr std::size_t kMaxNameBytes = 255;

// A template path that names a FIFO, device or socket: reading one would
// hang or make no sense, and the person is told which file it is. (A folder
// is the usual slip in the file dialog and gets the plain request.)
bool NamesASpecialFile(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) &&
         !S_ISDIR(st.st_mode);
}

// Rules whose values are read as numbers or switches: a stored value the
// rule refuses would be read as something else.
bool IsReadAsNumber(ValueRule rule) {
  return rule == ValueRule::kSwitch || rule == ValueRule::kWholeNumber ||
         rule == ValueRule::kPercent || rule == ValueRule::kOptionalNumber ||
         rule == ValueRule::kPictureDisplay;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string LowerFirst(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

class ProblemList {
 public:
  void Add(const char* key, std::string request, bool names_no_option = false) {
    problems_.push_back({key, std::move(request), names_no_option});
  }
  bool Has(const std::string& key) const {
    return std::any_of(problems_.begin(), problems_.end(),
                       [&](const OptionProblem& problem) { return problem.key == key; });
  }
  std::vector<OptionProblem> Take() { return std::move(problems_); }

 private:
  std::vector<OptionProblem> problems_;
};

void CheckIndexFilename(const SettingsStore& store, ProblemList& problems) {
  const std::string name = GetText(store, keys::kIndexFilename);
  // A name with a separator ("../index.html") would write outside the tree;
  // a picture's name or a picture page's name would put a page over a
  // picture or be overwritten by one.
  if (!IsPlainFileName(name)) {
    problems.Add(keys::kIndexFilename, "Please specify a name for the index files");
  } else if (IsPictureName(name)) {
    problems.Add(keys::kIndexFilename,
                 "Please specify a name for the index files that is not a picture's name");
  } else if (IsPicturePageName(name)) {
    problems.Add(keys::kIndexFilename,
                 "Please specify a name for the index files that is not a picture page's name");
  }
}

void CheckTemplates(const SettingsStore& store, ProblemList& problems) {
  const std::string main_template = GetText(store, keys::kMainTemplate);
  if (NamesASpecialFile(main_template)) {
    problems.Add(keys::kMainTemplate,
                 "The template file " + main_template + " is not a regular file");
  } else if (main_template.empty() || !FileExists(main_template)) {
    problems.Add(keys::kMainTemplate, "Please define a template file");
  }
  if (GetFlag(store, keys::kPicsInHtml)) {
    const std::string picture_template = GetText(store, keys::kPictureTemplate);
    if (NamesASpecialFile(picture_template)) {
      problems.Add(keys::kPictureTemplate,
                   "The picture template " + picture_template + " is not a regular file");
    } else if (picture_template.empty() || !FileExists(picture_template)) {
      problems.Add(keys::kPictureTemplate,
                   "Please define a template file for the individual pictures");
    }
  }
}

void CheckThumbnails(const SettingsStore& store, ProblemList& problems) {
  const bool thumbnails = GetFlag(store, keys::kUseThumbnails);
  const bool subfolder = thumbnails && GetFlag(store, keys::kThumbnailSubdir);
  if (subfolder) {
    const std::string folder = TextOrFirstRun(store, keys::kThumbnailFolder);
    if (!IsPlainFileName(folder) || IsHiddenName(folder)) {
      problems.Add(keys::kThumbnailFolder, "Please define the name of the thumbnail subdirectory");
    } else if (folder.size() > kMaxNameBytes) {
      problems.Add(keys::kThumbnailFolder,
                   "Please define a name of the thumbnail subdirectory of at most 255 bytes");
    } else if (folder == GetText(store, keys::kIndexFilename)) {
      problems.Add(keys::kThumbnailFolder,
                   "Please define a name of the thumbnail subdirectory other than the index "
                   "files' name");
    }
  }
  const std::string prefix = GetText(store, keys::kThumbnailPrefix);
  if (thumbnails && prefix.find('/') != std::string::npos) {
    problems.Add(keys::kThumbnailPrefix, "Please define a thumbnail prefix without /");
  }
  const bool making = thumbnails && GetFlag(store, keys::kMakeThumbnails);
  const std::string size = TextOrFirstRun(store, keys::kThumbnailSize);
  int pixels = 0;
  if ((making || !size.empty()) &&
      !ReadWholeNumber(size, kMinThumbnailSize, kMaxThumbnailSize, &pixels)) {
    problems.Add(keys::kThumbnailSize, "Please give a thumbnail size from 16 to 2048 pixels");
  }
  // Display copies live in the thumbnail subfolder.
  if (!Trimmed(GetText(store, keys::kDisplaySize)).empty() && !subfolder) {
    problems.Add(keys::kDisplaySize,
                 "Please put the thumbnails in a subdirectory for display copies, or leave the "
                 "display size empty");
  }
  // Without either, a thumbnail would be the picture itself.
  if (making && prefix.empty() && !subfolder) {
    problems.Add(keys::kThumbnailPrefix,
                 "Please define a thumbnail prefix or a thumbnail subdirectory");
  }
}

}  // namespace

std::vector<OptionProblem> CheckOptions(const SettingsStore& store) {
  ProblemList problems;
  CheckIndexFilename(store, problems);
  CheckTemplates(store, problems);
  CheckThumbnails(store, problems);
  if (GetText(store, keys::kFileTypes).empty()) {
    problems.Add(keys::kFileTypes, "Please specify which file types you want to list");
  }
  for (const OptionKey& key : OptionKeys()) {
    if (!IsReadAsNumber(key.rule) || problems.Has(key.key)) continue;
    if (!StoredValueFits(key, GetText(store, key.key))) {
      problems.Add(key.key, "Please give " + AcceptedForm(key), true);
    }
  }
  return problems.Take();
}

std::vector<std::string> OptionProblemLines(const std::vector<OptionProblem>& problems) {
  std::vector<std::string> lines;
  for (const OptionProblem& problem : problems) {
    lines.push_back(problem.names_no_option
                        ? "  - " + problem.key + ": " + LowerFirst(problem.request)
                        : "  - " + problem.request);
  }
  return lines;
}

std::vector<std::string> OptionProblems(const SettingsStore& store) {
  return OptionProblemLines(CheckOptions(store));
}

std::string KeyedProblemLine(const OptionProblem& problem) {
  return "  " + problem.key + ": " + LowerFirst(problem.request);
}

std::string OptionsCheckMessage(const std::vector<std::string>& problems) {
  std::string text = kOptionsHeading;
  text += "\r\n";
  for (const std::string& line : problems) text += line + "\r\n";
  text += kOptionsFooter;
  return text;
}

}  // namespace pelorin
