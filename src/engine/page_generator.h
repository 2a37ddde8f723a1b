// Index page generation: the template copied line by line, tag lines replaced.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/folder_reader.h"
#include "engine/file_type_list.h"
#include "engine/page_options.h"
#include "engine/picture_info.h"

namespace pelorin {

// The picture a picture page shows and its neighbours in the folder.
struct PicturePage {
  std::string_view name;
  std::string_view previous;  // empty for the first picture
  std::string_view next;      // empty for the last picture
};

struct PageInput {
  // The folder being indexed, ending in one separator.
  std::string_view folder_path;
  // The run's folder as the user named it: absolute, no trailing separator
  // except for "/" itself. Categories are measured against it.
  std::string_view selected_folder;
  const FolderListing& listing;
  const PageOptions& options;
  const FileTypeList& filter;
  // The thumbnail subfolder's listing, when thumbnails live in one.
  const FolderListing* thumbnails = nullptr;
  // What the headers of the folder's pictures, thumbnails and display
  // copies say, by name relative to the folder; read only when the options
  // or the templates need them.
  const PictureHeaders* headers = nullptr;
  // Set for a picture page: the picture tags are filled in, the list and
  // count tags give an empty line.
  const PicturePage* picture = nullptr;
};

struct Categories {
  bool is_root = false;
  std::string category;       // HTML-escaped names
  std::string full_category;  // escaped names joined by the Separator value
};

Categories ComputeCategories(std::string_view folder_path, std::string_view selected_folder,
                             std::string_view separator);

// A template read once for a run: split into lines, its tag lines found and
// its other lines joined into runs of text, so that making a page only
// copies those runs and fills in the tags. Template lines end at CR LF, CR
// or LF; every output line ends with CR LF. An empty template gives an
// empty page.
class PageTemplate {
 public:
  PageTemplate() = default;
  explicit PageTemplate(std::string_view text);

  // Appends the page of one folder to *page.
  void Render(const PageInput& input, std::string* page) const;

  // The template shows what a picture's header says (<!--#imageinfo-->).
  bool needs_headers() const { return needs_headers_; }

  enum class Tag : std::uint8_t;  // the template tags and kNone

 private:
  std::size_t RoomFor(const PageInput& input) const;
  static void AppendTag(Tag tag, const PageInput& input, const Categories& categories,
                        const std::vector<bool>* listed, std::string& page);
  static void AppendList(Tag tag, const PageInput& input, const std::vector<bool>* listed,
                         std::string& page);
  static void AppendPictureTag(Tag tag, const PageInput& input, std::string& page);

  struct Piece {
    Tag tag;  // kNone: literal_[begin, end), line ends included
    std::size_t begin;
    std::size_t end;
  };
  std::string literal_;
  std::vector<Piece> pieces_;
  bool needs_categories_ = false;
  int list_tags_ = 0;  // subdirectorylist and filelist lines
  int file_tags_ = 0;  // filelist and numberoffiles lines
  bool needs_headers_ = false;
};

// The page for one folder; PageTemplate(template_text).Render(input).
std::string GeneratePage(std::string_view template_text, const PageInput& input);

}  // namespace pelorin
