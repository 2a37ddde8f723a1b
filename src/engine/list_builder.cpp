#include "engine/list_builder.h"

#include "common/code_library.h"
#include "common/html_text.h"

namespace pelorin {

namespace {

constexpr char kCrLf[] = "\r\n";

void AppendSubfolderLink(std::string& out, const std::string& name, const PageOptions& options) {
  out += "[<a href=\"";
  AppendUrlAttribute(out, name);
  out += '/';
  out += options.index_filename;
  out += "\">";
  AppendEscapedHtml(out, name);
  out += "</a>] ";
  out += kCrLf;
}

void AppendListItem(std::string& out, const std::string& name) {
  out += "<li><a href=\"";
  AppendUrlAttribute(out, name);
  out += "\">";
  AppendEscapedHtml(out, name);
  out += "</a></li>";
  out += kCrLf;
}

void AppendPictureParagraph(std::string& out, const std::string& name, const std::string& width) {
  out += "<p ALIGN=\"center\"><a href=\"";
  AppendUrlAttribute(out, name);
  out += "\"><IMG SRC=\"";
  AppendUrlAttribute(out, name);
  out += "\" ALT=\"";
  AppendEscapedHtml(out, name);
  out += "\" ";
  out += width;
  out += "border=0></a></p>";
  out += kCrLf;
}

void AppendThumbnailCell(std::string& out, const std::string& name, const std::string& full) {
  out += "<td align=center valign=center><a href=\"";
  AppendUrlAttribute(out, full);
  out += "\"><IMG SRC=\"";
  AppendUrlAttribute(out, name);
  out += "\" ALIGN=center ALT=\"";
  AppendEscapedHtml(out, name);
  out += "\" border=0></a></td>";
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

std::int64_t BuildLists(const FolderListing& listing, ListMode mode, const PageOptions& options,
                        const FileTypeList& filter, std::string* out,
                        const std::vector<bool>* listed) {
  std::string scratch;  // count modes write nothing
  std::string& text = out != nullptr ? *out : scratch;
  std::int64_t folder_count = 0;
  std::int64_t file_count = 0;
  int row = 0;

  const bool thumbnails = options.show_pics && options.use_thumbnails;
  std::string width;
  switch (mode) {
    case ListMode::SubdirectoryList:
      if (listing.total_subfolders == 0) return 0;
      text += "<h2>Categories</h2><p>";
      text += kCrLf;
      break;
    case ListMode::FileList:
      if (!options.show_pics) {
        text += "<h2>Files</h2>\r\n<ul>\r\n";
      } else if (thumbnails) {
        text += "<table border=1><tr>\r\n";
      } else {
        width = WidthAttribute(options);
      }
      break;
    default:
      break;
  }

  const bool files = mode == ListMode::FileList || mode == ListMode::NumberOfFiles;
  for (std::size_t i = 0; i < listing.entries.size(); ++i) {
    const FolderEntry& entry = listing.entries[i];
    if (entry.kind == EntryKind::kFolder) {
      if (IsHiddenName(entry.name)) continue;
      ++folder_count;
      if (mode == ListMode::SubdirectoryList) AppendSubfolderLink(text, entry.name, options);
      continue;
    }
    if (!files) continue;
    if (listed != nullptr ? !(*listed)[i] : !filter.IsInteresting(entry.name)) continue;
    ++file_count;
    if (mode != ListMode::FileList) continue;
    if (!options.show_pics) {
      AppendListItem(text, entry.name);
    } else if (!thumbnails) {
      AppendPictureParagraph(text, entry.name, width);
    } else if (LineStartsWithTag(entry.name, options.thumbnail_prefix, true)) {
      const std::string full = StripEnds(entry.name, options.thumbnail_prefix.size(), 0);
      AppendThumbnailCell(text, entry.name, full);
      if (++row == 5) {
        row = 0;
        text += "</tr><tr>\r\n";
      }
    }
  }

  switch (mode) {
    case ListMode::SubdirectoryList:
      text += "</p>\r\n";
      return 0;
    case ListMode::FileList:
      if (!options.show_pics) {
        text += "</ul>\r\n";
      } else if (thumbnails) {
        text += "</tr></table>\r\n";
      }
      return 0;
    case ListMode::NumberOfSubdirectories:
      return folder_count;
    case ListMode::NumberOfFiles:
      return file_count;
  }
  return 0;
}

}  // namespace pelorin
