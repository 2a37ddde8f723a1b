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

// A linked picture, as a paragraph of the column or a cell of the table: the
// link, then the picture shown (the picture itself, scaled by width, or its
// thumbnail at src, in src_folder when thumbnails have a folder of their own),
// then its caption when captions are on.
void AppendLinkedPicture(std::string& out, bool cell, const Name& link, bool to_page,
                         const Name& src, std::string_view src_folder, const std::string& width,
                         std::string_view caption, const PageOptions& options) {
  out += cell ? "<td align=center valign=center><a href=\""sv : "<p ALIGN=\"center\"><a href=\""sv;
  AppendTarget(out, link, to_page);
  out += "\"><IMG SRC=\""sv;
  if (!src_folder.empty()) {
    Name(src_folder).AsUrl(out);
    out += '/';
  }
  src.AsUrl(out);
  out += cell ? "\" ALIGN=center ALT=\""sv : "\" ALT=\""sv;
  src.AsText(out);
  out += "\" "sv;
  out += width;
  out += "border=0></a>"sv;
  if (options.show_captions) {
    out += "<br><small>"sv;
    AppendEscapedHtml(out, PictureTitleOf(caption));
    out += "</small>"sv;
  }
  out += cell ? "</td>"sv : "</p>"sv;
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
  FileListWriter(const PageOptions& options, const FolderListing* thumbnails, std::string& text)
      : options_(options),
        thumbnails_(thumbnails),
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
  bool ToPage(std::string_view name) const { return options_.pics_in_html && IsPictureName(name); }

  // Whether the file is shown in the column or table: as a picture, as a
  // thumbnail, or as the picture a thumbnail beside it links to.
  bool AddPicture(const std::string& name) {
    if (!options_.use_thumbnails) {
      if (!IsPictureName(name)) return false;
      Show(Name(name), ToPage(name), Name(name), {}, name);
      return true;
    }
    if (ThumbnailsInSubfolder(options_)) {
      if (thumbnails_ == nullptr || !IsPictureName(name)) return false;
      const std::string thumbnail = ThumbnailNameOf(name, options_);
      if (!HasFile(*thumbnails_, thumbnail)) return false;
      Show(Name(name), ToPage(name), Name(thumbnail), options_.thumbnail_folder, name);
      return true;
    }
    if (IsThumbnailBeside(name, options_) && IsPictureName(name)) {
      const std::string full = StripEnds(name, options_.thumbnail_prefix.size(), 0);
      Show(Name(full), ToPage(full), Name(name), {}, full);
      return true;
    }
    return with_thumbnail_.count(name) > 0;
  }

  void Show(const Name& link, bool to_page, const Name& src, std::string_view folder,
            std::string_view picture) {
    const bool cell = layout_ == FileLayout::kTable;
    AppendLinkedPicture(text_, cell, link, to_page, src, folder, width_, picture, options_);
    if (!cell) return;
    if (++row_ == 5) {
      row_ = 0;
      text_ += "</tr><tr>\r\n"sv;
    }
  }

  const PageOptions& options_;
  const FolderListing* thumbnails_;
  std::string& text_;
  const FileLayout layout_;
  const std::string width_;
  int row_ = 0;
  // Thumbnails beside their pictures: the pictures they show.
  std::unordered_set<std::string> with_thumbnail_;
  std::vector<std::string_view> others_;
};

}  // namespace

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
                        const std::vector<bool>* listed, const FolderListing* thumbnails) {
  std::string scratch;  // count modes write nothing
  std::string& text = out != nullptr ? *out : scratch;
  if (mode == ListMode::SubdirectoryList && listing.total_subfolders == 0) return 0;
  AppendListOpening(mode, options, text);
  const Name index(options.index_filename);
  std::optional<FileListWriter> files_out;
  if (mode == ListMode::FileList) files_out.emplace(options, thumbnails, text);
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
