#include "engine/list_builder.h"

#include <optional>
#include <unordered_set>

#include "common/html_text.h"
#include "common/path_routines.h"
#include "common/text_routines.h"
#include "engine/pictures.h"

namespace pelorin {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kCrLf = "\r\n";

// A name as a link target and as text; a plain name (most are) is copied.
class Name {
 public:
  explicit Name(std::string_view name) : name_(name), plain_(IsPlainText(name)) {}
  void AsUrl(std::string& out) const {
    if (plain_) {
      out.append(name_);
    } else {
      AppendUrlAttribute(out, name_);
    }
  }
  std::string_view view() const { return name_; }
  void AsText(std::string& out) const {
    if (plain_) {
      out.append(name_);
    } else {
      AppendEscapedHtml(out, name_);
    }
  }

 private:
  std::string_view name_;
  bool plain_;
};

// The index file name is a name like any other in a link: "a#b.html" or a
// trailing space must not change where the link goes.
void AppendSubfolderLink(std::string& out, const Name& name, const Name& index,
                         const PageOptions& options) {
  out += "[<a href=\""sv;
  name.AsUrl(out);
  out += '/';
  index.AsUrl(out);
  out += "\">"sv;
  name.AsText(out);
  out += "</a>]"sv;
  out += options.categories_in_one_line ? " "sv : "<br>"sv;
  out += kCrLf;
}

// Where a listed file links to: its picture page, when it has one.
void AppendTarget(std::string& out, const Name& name, bool to_page) {
  name.AsUrl(out);
  if (to_page) out += kPicturePageSuffix;
}

void AppendListItem(std::string& out, const Name& name, bool to_page, const PageOptions& options) {
  if (options.bullet_picture.empty()) {
    out += "<li><a href=\""sv;
  } else {
    out += "<li style=\"list-style: none\"><IMG SRC=\""sv;
    out += options.bullet_picture;
    out += "\" ALT=\"\" "sv;
    if (!options.bullet_width.empty()) {
      out += "Width=\""sv;
      out += options.bullet_width;
      out += "\" "sv;
    }
    if (!options.bullet_height.empty()) {
      out += "Height=\""sv;
      out += options.bullet_height;
      out += "\" "sv;
    }
    out += "border=0> <a href=\""sv;
  }
  AppendTarget(out, name, to_page);
  out += "\">"sv;
  name.AsText(out);
  out += "</a></li>"sv;
  out += kCrLf;
}

// A linked picture, as a paragraph of the column or a cell of the table.
struct LinkedPicture {
  bool cell = false;
  Name link;  // where it links: the picture (or its page, with to_page)
  bool to_page = false;
  // What it shows: the picture itself, scaled by width, or its thumbnail, in
  // src_folder when thumbnails have a folder of their own.
  Name src;
  std::string_view src_folder;
  std::string_view picture;  // the picture's name, for its title
  std::string_view src_2x;   // the sharper thumbnail beside src, or empty
};

void AppendLinkedPicture(std::string& out, const LinkedPicture& p, const std::string& width,
                         const PageOptions& options, const PictureHeaders* headers) {
  out +=
      p.cell ? "<td align=center valign=center><a href=\""sv : "<p ALIGN=\"center\"><a href=\""sv;
  AppendTarget(out, p.link, p.to_page);
  out += "\"><IMG SRC=\""sv;
  if (!p.src_folder.empty()) {
    Name(p.src_folder).AsUrl(out);
    out += '/';
  }
  p.src.AsUrl(out);
  out += p.cell ? "\" ALIGN=center ALT=\""sv : "\" ALT=\""sv;
  if (options.modern_images) {
    AppendEscapedHtml(out, PictureTitleOf(p.picture));
    out += '"';
    std::string src_name;
    if (!p.src_folder.empty()) src_name.append(p.src_folder).append(1, kSeparator);
    src_name.append(p.src.view());
    AppendModernImageAttributes(out, HeaderOf(headers, src_name), !width.empty());
    if (!p.src_2x.empty()) {
      out += " srcset=\""sv;
      AppendSrcsetUrl(out, p.src_folder, p.src.view());
      out += " 1x, "sv;
      AppendSrcsetUrl(out, p.src_folder, p.src_2x);
      out += " 2x\""sv;
    }
    out += ' ';
  } else {
    p.src.AsText(out);
    out += "\" "sv;
  }
  out += width;
  out += "border=0></a>"sv;
  if (options.show_captions) {
    out += "<br><small>"sv;
    AppendEscapedHtml(out, PictureTitleOf(p.picture));
    out += "</small>"sv;
  }
  out += p.cell ? "</td>"sv : "</p>"sv;
  out += kCrLf;
}

enum class FileLayout { kBulletList, kColumn, kTable };

FileLayout LayoutOf(const PageOptions& options) {
  if (!options.show_pics) return FileLayout::kBulletList;
  if (options.picture_display == "1") return FileLayout::kTable;
  if (options.picture_display == "0") return FileLayout::kColumn;
  return options.use_thumbnails ? FileLayout::kTable : FileLayout::kColumn;
}

// What comes before the entries of a list: its heading or table opening.
void AppendListOpening(ListMode mode, const PageOptions& options, std::string& text) {
  if (mode == ListMode::SubdirectoryList) {
    if (options.show_headings) text += "<h2>Categories</h2>"sv;
    text += "<p>\r\n"sv;
  } else if (mode == ListMode::FileList) {
    switch (LayoutOf(options)) {
      case FileLayout::kBulletList:
        if (options.show_headings) text += "<h2>Files</h2>\r\n"sv;
        text += "<ul>\r\n"sv;
        break;
      case FileLayout::kTable:
        text += "<table border=1><tr>\r\n"sv;
        break;
      case FileLayout::kColumn:
        break;
    }
  }
}

void AppendListClosing(ListMode mode, const PageOptions& options, std::string& text) {
  if (mode == ListMode::SubdirectoryList) {
    text += "</p>\r\n"sv;
  } else if (mode == ListMode::FileList) {
    switch (LayoutOf(options)) {
      case FileLayout::kBulletList:
        text += "</ul>\r\n"sv;
        break;
      case FileLayout::kTable:
        text += "</tr></table>\r\n"sv;
        break;
      case FileLayout::kColumn:
        break;
    }
  }
}

// Writes the entries of the file list. In the column and the table only
// pictures are shown (a picture through its thumbnail, when thumbnails are
// on); every other listed file follows them in a list of its own, so that
// each file counted is reachable and nothing shows as a broken picture.
class FileListWriter {
 public:
  FileListWriter(const FolderListing& listing, const PageOptions& options,
                 const FolderListing* thumbnails, const PictureHeaders* headers, std::string& text)
      : listing_(listing),
        options_(options),
        thumbnails_(thumbnails),
        headers_(headers),
        text_(text),
        layout_(LayoutOf(options)),
        width_(options.use_thumbnails ? std::string() : PictureWidthAttribute(options)) {}

  // Thumbnails beside their pictures come after them in the listing, so the
  // listed files are looked at once first to know which pictures have one.
  bool NeedsThumbnailPass() const {
    return layout_ != FileLayout::kBulletList && options_.use_thumbnails &&
           !ThumbnailsInSubfolder(options_);
  }
  void NoteListedFile(const std::string& name) {
    if (IsPictureName(name) && IsThumbnailBeside(name, options_)) {
      with_thumbnail_.insert(StripEnds(name, options_.thumbnail_prefix.size(), 0));
    }
  }

  void Add(const std::string& name) {
    if (layout_ == FileLayout::kBulletList) {
      AppendListItem(text_, Name(name), ToPage(name), options_);
    } else if (!AddPicture(name)) {
      others_.push_back(name);
    }
  }

  // The files the column or table did not show, as a list after it.
  void AddOthers() {
    if (others_.empty()) return;
    if (options_.show_headings) text_ += "<h2>Files</h2>\r\n"sv;
    text_ += "<ul>\r\n"sv;
    for (const std::string_view name : others_)
      AppendListItem(text_, Name(name), ToPage(name), options_);
    text_ += "</ul>\r\n"sv;
  }

 private:
  // Only a picture of the folder has a page: a thumbnail beside it links to
  // itself.
  bool ToPage(std::string_view name) const {
    return options_.pics_in_html && IsFolderPicture(name, options_);
  }

  // Whether the file is shown in the column or table: as a picture, as a
  // thumbnail, or as the picture a thumbnail beside it links to.
  bool AddPicture(const std::string& name) {
    if (!options_.use_thumbnails) {
      if (!IsPictureName(name)) return false;
      Show({.link = Name(name),
            .to_page = ToPage(name),
            .src = Name(name),
            .src_folder = {},
            .picture = name,
            .src_2x = {}});
      return true;
    }
    if (ThumbnailsInSubfolder(options_)) {
      if (thumbnails_ == nullptr || !IsPictureName(name)) return false;
      const std::string thumbnail = ThumbnailNameOf(name, options_);
      if (!HasFile(*thumbnails_, thumbnail)) return false;
      const std::string sharper = SharperOf(*thumbnails_, thumbnail);
      Show({.link = Name(name),
            .to_page = ToPage(name),
            .src = Name(thumbnail),
            .src_folder = options_.thumbnail_folder,
            .picture = name,
            .src_2x = sharper});
      return true;
    }
    if (IsThumbnailBeside(name, options_) && IsPictureName(name)) {
      const std::string full = StripEnds(name, options_.thumbnail_prefix.size(), 0);
      const std::string sharper = SharperOf(listing_, name);
      Show({.link = Name(full),
            .to_page = ToPage(full),
            .src = Name(name),
            .src_folder = {},
            .picture = full,
            .src_2x = sharper});
      return true;
    }
    return with_thumbnail_.count(name) > 0;
  }

  // The @2x thumbnail of a thumbnail when there is one and the page asks for it.
  std::string SharperOf(const FolderListing& where, const std::string& thumbnail) const {
    if (!options_.modern_images) return {};
    std::string sharper = DoubleDensityNameOf(thumbnail);
    return HasFile(where, sharper) ? sharper : std::string();
  }

  void Show(LinkedPicture picture) {
    picture.cell = layout_ == FileLayout::kTable;
    AppendLinkedPicture(text_, picture, width_, options_, headers_);
    if (!picture.cell) return;
    if (++row_ == 5) {
      row_ = 0;
      text_ += "</tr><tr>\r\n"sv;
    }
  }

  const FolderListing& listing_;
  const PageOptions& options_;
  const FolderListing* thumbnails_;
  const PictureHeaders* headers_;
  std::string& text_;
  const FileLayout layout_;
  const std::string width_;
  int row_ = 0;
  // Thumbnails beside their pictures: the pictures they show.
  std::unordered_set<std::string> with_thumbnail_;
  std::vector<std::string_view> others_;
};

}  // namespace

const PictureHeader* HeaderOf(const PictureHeaders* headers, const std::string& name) {
  if (headers == nullptr) return nullptr;
  const auto it = headers->find(name);
  return it == headers->end() ? nullptr : &it->second;
}

void AppendModernImageAttributes(std::string& out, const PictureHeader* header, bool scaled) {
  out += " loading=\"lazy\" decoding=\"async\""sv;
  int width = 0;
  int height = 0;
  if (scaled || header == nullptr || !UprightSize(*header, &width, &height)) return;
  out += " width=\""sv;
  out += std::to_string(width);
  out += "\" height=\""sv;
  out += std::to_string(height);
  out += '"';
}

void AppendSrcsetUrl(std::string& out, std::string_view folder, std::string_view name) {
  // A browser splits srcset at commas and spaces, so those are encoded too.
  std::string url;
  if (!folder.empty()) {
    AppendUrlAttribute(url, folder);
    url += '/';
  }
  AppendUrlAttribute(url, name);
  for (const char c : url) {
    if (c == ' ') {
      out += "%20"sv;
    } else if (c == ',') {
      out += "%2C"sv;
    } else {
      out += c;
    }
  }
}

std::string PictureWidthAttribute(const PageOptions& options) {
  if (!options.scale_pics) return {};
  std::string value = options.scale_percent;
  if (value.empty() || value.back() != '%') value += '%';
  return "Width=\"" + value + "\" ";
}

std::vector<bool> ListedFiles(const FolderListing& listing, const PageOptions& options,
                              const FileTypeList& filter) {
  std::vector<bool> listed(listing.entries.size());
  for (std::size_t i = 0; i < listing.entries.size(); ++i) {
    const FolderEntry& entry = listing.entries[i];
    listed[i] = entry.kind == EntryKind::kFile && IsListedFile(entry.name, options, filter);
  }
  return listed;
}

std::int64_t BuildLists(const FolderListing& listing, ListMode mode, const PageOptions& options,
                        const FileTypeList& filter, std::string* out,
                        const std::vector<bool>* listed, const FolderListing* thumbnails,
                        const PictureHeaders* headers) {
  std::string scratch;  // count modes write nothing
  std::string& text = out != nullptr ? *out : scratch;
  if (mode == ListMode::SubdirectoryList && listing.total_subfolders == 0) return 0;
  AppendListOpening(mode, options, text);
  const Name index(options.index_filename);
  std::optional<FileListWriter> files_out;
  if (mode == ListMode::FileList) files_out.emplace(listing, options, thumbnails, headers, text);
  const auto is_listed = [&](std::size_t i) {
    const FolderEntry& entry = listing.entries[i];
    return entry.kind == EntryKind::kFile &&
           (listed != nullptr ? (*listed)[i] : IsListedFile(entry.name, options, filter));
  };
  if (files_out && files_out->NeedsThumbnailPass()) {
    for (std::size_t i = 0; i < listing.entries.size(); ++i) {
      if (is_listed(i)) files_out->NoteListedFile(listing.entries[i].name);
    }
  }

  std::int64_t folder_count = 0;
  std::int64_t file_count = 0;
  const bool files = mode == ListMode::FileList || mode == ListMode::NumberOfFiles;
  for (std::size_t i = 0; i < listing.entries.size(); ++i) {
    const FolderEntry& entry = listing.entries[i];
    if (entry.kind == EntryKind::kFolder) {
      if (IsHiddenName(entry.name)) continue;
      ++folder_count;
      if (mode == ListMode::SubdirectoryList) {
        AppendSubfolderLink(text, Name(entry.name), index, options);
      }
      continue;
    }
    if (!files) continue;
    if (!is_listed(i)) continue;
    ++file_count;
    if (files_out) files_out->Add(entry.name);
  }
  AppendListClosing(mode, options, text);
  if (files_out) files_out->AddOthers();
  if (mode == ListMode::NumberOfSubdirectories) return folder_count;
  if (mode == ListMode::NumberOfFiles) return file_count;
  return 0;
}

}  // namespace pelorin
