#include "engine/list_builder.h"

#include "common/html_text.h"
#include "common/path_routines.h"
#include "common/text_routines.h"

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

void AppendSubfolderLink(std::string& out, const Name& name, const PageOptions& options) {
  out += "[<a href=\""sv;
  name.AsUrl(out);
  out += '/';
  out += options.index_filename;
  out += "\">"sv;
  name.AsText(out);
  out += "</a>] "sv;
  out += kCrLf;
}

void AppendListItem(std::string& out, const Name& name) {
  out += "<li><a href=\""sv;
  name.AsUrl(out);
  out += "\">"sv;
  name.AsText(out);
  out += "</a></li>"sv;
  out += kCrLf;
}

void AppendPictureParagraph(std::string& out, const Name& name, const std::string& width) {
  out += "<p ALIGN=\"center\"><a href=\""sv;
  name.AsUrl(out);
  out += "\"><IMG SRC=\""sv;
  name.AsUrl(out);
  out += "\" ALT=\""sv;
  name.AsText(out);
  out += "\" "sv;
  out += width;
  out += "border=0></a></p>"sv;
  out += kCrLf;
}

void AppendThumbnailCell(std::string& out, const Name& name, const Name& full) {
  out += "<td align=center valign=center><a href=\""sv;
  full.AsUrl(out);
  out += "\"><IMG SRC=\""sv;
  name.AsUrl(out);
  out += "\" ALIGN=center ALT=\""sv;
  name.AsText(out);
  out += "\" border=0></a></td>"sv;
  out += kCrLf;
}

std::string WidthAttribute(const PageOptions& options) {
  if (!options.scale_pics) return {};
  std::string value = options.scale_percent;
  if (value.empty() || value.back() != '%') value += '%';
  return "Width=\"" + value + "\" ";
}

}  // namespace

std::vector<bool> ListedFiles(const FolderListing& listing, const FileTypeList& filter) {
  std::vector<bool> listed(listing.entries.size());
  for (std::size_t i = 0; i < listing.entries.size(); ++i) {
    const FolderEntry& entry = listing.entries[i];
    listed[i] = entry.kind == EntryKind::kFile && filter.IsInteresting(entry.name);
  }
  return listed;
}

namespace {

// What comes before the entries of a list: its heading or table opening.
void AppendListOpening(ListMode mode, const PageOptions& options, std::string& text) {
  if (mode == ListMode::SubdirectoryList) {
    text += "<h2>Categories</h2><p>"sv;
    text += kCrLf;
  } else if (mode == ListMode::FileList) {
    if (!options.show_pics) {
      text += "<h2>Files</h2>\r\n<ul>\r\n"sv;
    } else if (options.use_thumbnails) {
      text += "<table border=1><tr>\r\n"sv;
    }
  }
}

void AppendListClosing(ListMode mode, const PageOptions& options, std::string& text) {
  if (mode == ListMode::SubdirectoryList) {
    text += "</p>\r\n"sv;
  } else if (mode == ListMode::FileList) {
    if (!options.show_pics) {
      text += "</ul>\r\n"sv;
    } else if (options.use_thumbnails) {
      text += "</tr></table>\r\n"sv;
    }
  }
}

// One listed file of the file list, as a list item, a picture or (for a
// thumbnail) a table cell; *row counts the cells of the table's row.
void AppendFileEntry(const std::string& name, const PageOptions& options, const std::string& width,
                     int* row, std::string& text) {
  if (!options.show_pics) {
    AppendListItem(text, Name(name));
  } else if (!options.use_thumbnails) {
    AppendPictureParagraph(text, Name(name), width);
  } else if (LineStartsWithTag(name, options.thumbnail_prefix, true)) {
    const std::string full = StripEnds(name, options.thumbnail_prefix.size(), 0);
    AppendThumbnailCell(text, Name(name), Name(full));
    if (++*row == 5) {
      *row = 0;
      text += "</tr><tr>\r\n"sv;
    }
  }
}

}  // namespace

std::int64_t BuildLists(const FolderListing& listing, ListMode mode, const PageOptions& options,
                        const FileTypeList& filter, std::string* out,
                        const std::vector<bool>* listed) {
  std::string scratch;  // count modes write nothing
  std::string& text = out != nullptr ? *out : scratch;
  if (mode == ListMode::SubdirectoryList && listing.total_subfolders == 0) return 0;
  AppendListOpening(mode, options, text);
  const std::string width =
      mode == ListMode::FileList && options.show_pics && !options.use_thumbnails
          ? WidthAttribute(options)
          : std::string();

  std::int64_t folder_count = 0;
  std::int64_t file_count = 0;
  int row = 0;
  const bool files = mode == ListMode::FileList || mode == ListMode::NumberOfFiles;
  for (std::size_t i = 0; i < listing.entries.size(); ++i) {
    const FolderEntry& entry = listing.entries[i];
    if (entry.kind == EntryKind::kFolder) {
      if (IsHiddenName(entry.name)) continue;
      ++folder_count;
      if (mode == ListMode::SubdirectoryList) AppendSubfolderLink(text, Name(entry.name), options);
      continue;
    }
    if (!files) continue;
    if (listed != nullptr ? !(*listed)[i] : !filter.IsInteresting(entry.name)) continue;
    ++file_count;
    if (mode == ListMode::FileList) AppendFileEntry(entry.name, options, width, &row, text);
  }
  AppendListClosing(mode, options, text);
  if (mode == ListMode::NumberOfSubdirectories) return folder_count;
  if (mode == ListMode::NumberOfFiles) return file_count;
  return 0;
}

}  // namespace pelorin
