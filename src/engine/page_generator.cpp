#include "engine/page_generator.h"

#include <algorithm>
#include <array>

#include "common/html_text.h"
#include "common/path_routines.h"
#include "common/text_routines.h"
#include "engine/list_builder.h"
#include "engine/pictures.h"

namespace pelorin {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kCrLf = "\r\n";

}  // namespace

enum class PageTemplate::Tag : std::uint8_t {
  kNone,
  kFullCategory,
  kCategory,
  kUpToTop,
  kTitle,
  kMetaKeywords,
  kMetaDescription,
  kSubdirectoryList,
  kNumberOfSubdirectories,
  kNumberOfFiles,
  kFileList,
  kUpOneLevel,
  kImage,
  kImageTitle,
  kImageFilename,
  kBackToDirectory,
  kNextImage,
  kPreviousImage,
  kImagePageTitle,
  kImageInfo,
};

namespace {

using Tag = PageTemplate::Tag;

struct TagName {
  std::string_view text;
  Tag tag;
};

constexpr std::array<TagName, 19> kTags = {{
    {"<!--#fullcategory-->", Tag::kFullCategory},
    {"<!--#category-->", Tag::kCategory},
    {"<!--#uptotop-->", Tag::kUpToTop},
    {"<!--#title-->", Tag::kTitle},
    {"<!--#metakeywords-->", Tag::kMetaKeywords},
    {"<!--#metadescription-->", Tag::kMetaDescription},
    {"<!--#subdirectorylist-->", Tag::kSubdirectoryList},
    {"<!--#numberofsubdirectories-->", Tag::kNumberOfSubdirectories},
    {"<!--#numberoffiles-->", Tag::kNumberOfFiles},
    {"<!--#filelist-->", Tag::kFileList},
    {"<!--#uponelevel-->", Tag::kUpOneLevel},
    {"<!--#image-->", Tag::kImage},
    {"<!--#imagetitle-->", Tag::kImageTitle},
    {"<!--#imagefilename-->", Tag::kImageFilename},
    {"<!--#backtodirectory-->", Tag::kBackToDirectory},
    {"<!--#nextimage-->", Tag::kNextImage},
    {"<!--#previousimage-->", Tag::kPreviousImage},
    {"<!--#imagepagetitle-->", Tag::kImagePageTitle},
    {"<!--#imageinfo-->", Tag::kImageInfo},
}};

// The shortest and longest tag, so that most lines are told apart by their
// length alone; worked out from the table, so a new tag of any length works.
constexpr std::size_t kShortestTag =
    std::min_element(kTags.begin(), kTags.end(), [](const TagName& a, const TagName& b) {
      return a.text.size() < b.text.size();
    })->text.size();
constexpr std::size_t kLongestTag =
    std::max_element(kTags.begin(), kTags.end(), [](const TagName& a, const TagName& b) {
      return a.text.size() < b.text.size();
    })->text.size();

// The line with spaces (not tabs) trimmed at both ends, compared ignoring case.
Tag TagOfLine(std::string_view line) {
  std::size_t begin = 0;
  std::size_t end = line.size();
  while (begin < end && line[begin] == ' ') ++begin;
  while (end > begin && line[end - 1] == ' ') --end;
  const std::string_view key = line.substr(begin, end - begin);
  if (key.size() < kShortestTag || key.size() > kLongestTag || key[0] != '<') return Tag::kNone;
  for (const TagName& name : kTags) {
    if (EqualsIgnoreCase(key, name.text)) return name.tag;
  }
  return Tag::kNone;
}

// Replaces every non-overlapping occurrence, left to right, in one pass.
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view with) {
  if (find.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size() + with.size() * 4);
  std::size_t pos = 0;
  for (;;) {
    const std::size_t hit = text.find(find, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos)).append(with);
    pos = hit + find.size();
  }
  out.append(text.substr(pos));
  return out;
}

// The picture of a picture page: its display copy, linked to the picture,
// when there is one; otherwise the picture itself.
void AppendImage(const PageInput& input, std::string& page) {
  const PageOptions& options = input.options;
  const std::string_view name = input.picture->name;
  std::string display;
  if (DisplayCopiesOn(options) && input.thumbnails != nullptr &&
      HasFile(*input.thumbnails, DisplayCopyNameOf(name))) {
    display = DisplayCopyNameOf(name);
  }
  const bool linked = !display.empty();
  const std::string width = linked ? std::string() : PictureWidthAttribute(options);
  if (linked) {
    page += "<a href=\""sv;
    AppendUrlAttribute(page, name);
    page += "\">"sv;
  }
  page += "<IMG SRC=\""sv;
  if (linked) {
    AppendUrlAttribute(page, options.thumbnail_folder);
    page += '/';
    AppendUrlAttribute(page, display);
  } else {
    AppendUrlAttribute(page, name);
  }
  page += "\" ALT=\""sv;
  if (options.modern_images) {
    AppendEscapedHtml(page, PictureTitleOf(name));
    page += '"';
    const std::string shown =
        linked ? options.thumbnail_folder + kSeparator + display : std::string(name);
    AppendModernImageAttributes(page, HeaderOf(input.headers, shown), !width.empty());
    page += ' ';
  } else {
    AppendEscapedHtml(page, name);
    page += "\" "sv;
  }
  page += width;
  page += "border=0>"sv;
  if (linked) page += "</a>"sv;
}

// What the title tag puts between its tags.
void AppendTitleText(const PageOptions& options, const Categories& categories, std::string& page) {
  page += options.page_title;
  if (options.dynamic_title) page += options.separator + categories.full_category;
}

}  // namespace

Categories ComputeCategories(std::string_view folder_path, std::string_view selected_folder,
                             std::string_view separator) {
  // Made for every folder: views and few strings.
  std::string_view relative;
  if (folder_path.size() > selected_folder.size())
    relative = folder_path.substr(selected_folder.size());
  if (!relative.empty() && relative.back() == kSeparator) relative.remove_suffix(1);
  if (!relative.empty() && relative.front() == kSeparator) relative.remove_prefix(1);

  Categories result;
  if (relative.empty()) {
    result.is_root = true;
    result.category = result.full_category = "Main directory";
    return result;
  }
  // Folder names cannot hold the separator, so escaping the whole relative
  // path escapes each name and leaves the joints alone.
  std::string text;
  text.reserve(relative.size() + 16);
  AppendEscapedHtml(text, relative);
  const std::size_t first = text.find(kSeparator);
  result.category = first == std::string::npos ? text : text.substr(first + 1);
  const std::string joined = ReplaceAll(text, std::string_view(&kSeparator, 1), separator);
  std::string doubled;
  doubled.append(separator).append(separator);
  result.full_category = ReplaceAll(joined, doubled, separator);
  return result;
}

PageTemplate::PageTemplate(std::string_view text) {
  literal_.reserve(text.size() + text.size() / 16);
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    std::size_t next;
    if (end == std::string_view::npos) {
      end = next = text.size();
    } else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      next = end + 2;
    } else {
      next = end + 1;
    }
    const std::string_view line = text.substr(pos, end - pos);
    pos = next;

    const Tag tag = TagOfLine(line);
    if (tag == Tag::kNone) {
      const std::size_t begin = literal_.size();
      literal_.append(line).append(kCrLf);
      const std::size_t end_of_text = literal_.size();
      if (!pieces_.empty() && pieces_.back().tag == Tag::kNone) {
        pieces_.back().end = end_of_text;
      } else {
        pieces_.push_back({Tag::kNone, begin, end_of_text});
      }
      continue;
    }
    pieces_.push_back({tag, 0, 0});
    if (tag == Tag::kSubdirectoryList || tag == Tag::kFileList) ++list_tags_;
    if (tag == Tag::kFileList || tag == Tag::kNumberOfFiles) ++file_tags_;
    if (tag == Tag::kImageInfo) needs_headers_ = true;
    switch (tag) {
      case Tag::kFullCategory:
      case Tag::kCategory:
      case Tag::kTitle:
      case Tag::kImagePageTitle:
      case Tag::kMetaKeywords:
      case Tag::kMetaDescription:
      case Tag::kUpOneLevel:
        needs_categories_ = true;
        break;
      default:
        break;
    }
  }
}

std::size_t PageTemplate::RoomFor(const PageInput& input) const {
  std::size_t room = literal_.size() + 64 * pieces_.size();
  if (list_tags_ > 0) {
    std::size_t names = 0;
    for (const FolderEntry& entry : input.listing.entries) names += entry.name.size();
    const std::size_t markup =
        128 + input.options.index_filename.size() + input.options.scale_percent.size();
    room += list_tags_ * (6 * names + markup * input.listing.entries.size());
  }
  return room;
}

void PageTemplate::Render(const PageInput& input, std::string* out) const {
  const Categories categories =
      needs_categories_
          ? ComputeCategories(input.folder_path, input.selected_folder, input.options.separator)
          : Categories();

  // Room for the whole page at once: a string that doubles as it grows holds
  // its old and its new buffer for a moment, up to three times a large
  // folder's page. Room reserved but never written takes no memory.
  std::string& page = *out;
  page.reserve(page.size() + RoomFor(input));
  // A template that asks about the files more than once (the file count and
  // the file list) has the filter asked once per file.
  std::vector<bool> listed_files;
  const std::vector<bool>* listed = nullptr;
  if (file_tags_ > 1) {
    listed_files = ListedFiles(input.listing, input.options, input.filter);
    listed = &listed_files;
  }
  for (const Piece& piece : pieces_) {
    if (piece.tag == Tag::kNone) {
      page.append(literal_, piece.begin, piece.end - piece.begin);  // line ends included
      continue;
    }
    AppendTag(piece.tag, input, categories, listed, page);
    page += kCrLf;
  }
  if (input.picture != nullptr) {
    // Whatever the template, a picture page says who made it, so that prune
    // can tell it from a page someone wrote.
    page += kMadeByLine;
    page += kCrLf;
  }
}

// The text that replaces one tag line, without its line end.
void PageTemplate::AppendTag(Tag tag, const PageInput& input, const Categories& categories,
                             const std::vector<bool>* listed, std::string& page) {
  const PageOptions& options = input.options;
  switch (tag) {
    case Tag::kFullCategory:
      page += categories.full_category;
      break;
    case Tag::kCategory:
      page += categories.category;
      break;
    case Tag::kTitle:
      page += "<TITLE>"sv;
      AppendTitleText(options, categories, page);
      page += "</TITLE>"sv;
      break;
    case Tag::kMetaKeywords:
      page += "<META NAME=\"keywords\" CONTENT=\""sv;
      page += options.keywords;
      if (options.dynamic_keywords) {
        page += ',';
        page += ReplaceAll(categories.full_category, options.separator, ",");
      }
      page += "\">"sv;
      break;
    case Tag::kMetaDescription:
      page += "<META NAME=\"description\" CONTENT=\"Directory listing of "sv;
      if (options.dynamic_description) page += categories.full_category;
      page += "\">"sv;
      break;
    case Tag::kSubdirectoryList:
    case Tag::kFileList:
    case Tag::kNumberOfSubdirectories:
    case Tag::kNumberOfFiles:
      if (input.picture == nullptr) AppendList(tag, input, listed, page);
      break;
    case Tag::kUpOneLevel:
      if (!categories.is_root) {
        page += "<p><a href=\"../"sv;
        AppendUrlAttribute(page, options.index_filename);
        page += "\">Parent directory</a></p>"sv;
      }
      break;
    case Tag::kImage:
    case Tag::kImageTitle:
    case Tag::kImageFilename:
    case Tag::kBackToDirectory:
    case Tag::kNextImage:
    case Tag::kPreviousImage:
    case Tag::kImageInfo:
      if (input.picture != nullptr) AppendPictureTag(tag, input, page);
      break;
    case Tag::kImagePageTitle:
      // The picture first, so that a browser's tab names it.
      if (input.picture == nullptr) break;
      page += "<title>"sv;
      AppendEscapedHtml(page, PictureTitleOf(input.picture->name));
      page += " - "sv;
      AppendTitleText(options, categories, page);
      page += "</title>"sv;
      break;
    default:  // uptotop gives an empty line
      break;
  }
}

void PageTemplate::AppendList(Tag tag, const PageInput& input, const std::vector<bool>* listed,
                              std::string& page) {
  const PageOptions& options = input.options;
  switch (tag) {
    case Tag::kSubdirectoryList:
      BuildLists(input.listing, ListMode::SubdirectoryList, options, input.filter, &page);
      break;
    case Tag::kFileList:
      BuildLists(input.listing, ListMode::FileList, options, input.filter, &page, listed,
                 input.thumbnails, input.headers);
      break;
    case Tag::kNumberOfSubdirectories:
      page += std::to_string(BuildLists(input.listing, ListMode::NumberOfSubdirectories, options,
                                        input.filter, nullptr));
      page += " categories"sv;
      break;
    case Tag::kNumberOfFiles:
      page += std::to_string(BuildLists(input.listing, ListMode::NumberOfFiles, options,
                                        input.filter, nullptr, listed));
      page += " files"sv;
      break;
    default:
      break;
  }
}

void PageTemplate::AppendPictureTag(Tag tag, const PageInput& input, std::string& page) {
  const PicturePage& picture = *input.picture;
  const PageOptions& options = input.options;
  switch (tag) {
    case Tag::kImage:
      AppendImage(input, page);
      break;
    case Tag::kImageInfo:
      page += ImageInfoLine(HeaderOf(input.headers, std::string(picture.name)));
      break;
    case Tag::kImageTitle:
      AppendEscapedHtml(page, PictureTitleOf(picture.name));
      break;
    case Tag::kImageFilename:
      AppendEscapedHtml(page, picture.name);
      break;
    case Tag::kBackToDirectory:
      page += "<p><a href=\""sv;
      AppendUrlAttribute(page, options.index_filename);
      page += "\">Back to the directory</a></p>"sv;
      break;
    case Tag::kPreviousImage:
    case Tag::kNextImage: {
      const std::string_view other = tag == Tag::kNextImage ? picture.next : picture.previous;
      if (other.empty()) break;
      page += "<p><a href=\""sv;
      AppendUrlAttribute(page, other);
      page += kPicturePageSuffix;
      page += "\">"sv;
      page += tag == Tag::kNextImage ? "Next image"sv : "Previous image"sv;
      page += "</a></p>"sv;
      break;
    }
    default:
      break;
  }
}

std::string GeneratePage(std::string_view template_text, const PageInput& input) {
  std::string page;
  PageTemplate(template_text).Render(input, &page);
  return page;
}

}  // namespace pelorin
