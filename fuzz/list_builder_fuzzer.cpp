// The list builder's line forms with any names and option values. The output
// is read back form by form: every link target and text must give back the
// entry's name exactly, and no byte of a name may appear where it could end an
// attribute, start markup or change what a link points at.
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/html_text.h"
#include "common/path_routines.h"
#include "common/text_routines.h"
#include "engine/file_type_list.h"
#include "engine/list_builder.h"
#include "engine/pictures.h"
#include "fuzz_input.h"

namespace {

using pelorin::fuzz::Check;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // lower-case digits are not what the encoder writes
}

// Reads the list text from left to right; any mismatch ends the run.
class Reader {
 public:
  explicit Reader(const std::string& text) : text_(text) {}

  void Expect(std::string_view literal) {
    Check(text_.compare(pos_, literal.size(), literal) == 0, "unexpected list text");
    pos_ += literal.size();
  }

  // Escaped text up to `end` (which stays unread): the name it shows.
  std::string Text(std::string_view end) {
    const std::size_t stop = text_.find(end, pos_);
    Check(stop != std::string::npos, "text without its end");
    std::string name;
    for (std::size_t i = pos_; i < stop; ++i) {
      const char c = text_[i];
      Check(c != '<' && c != '>' && c != '"', "raw < > or \" from a name");
      if (c == '&') {
        name += Entity(i);
      } else {
        name += c;
      }
    }
    pos_ = stop;
    return name;
  }

  // A link target up to `end` (which stays unread): the name it opens.
  std::string Target(char end) {
    const std::size_t stop = text_.find(end, pos_);
    Check(stop != std::string::npos, "link target without its end");
    std::string name;
    for (std::size_t i = pos_; i < stop; ++i) {
      const char c = text_[i];
      const auto b = static_cast<unsigned char>(c);
      Check(b >= 0x20 && b != 0x7F, "raw control byte in a link target");
      Check(std::string_view(":|#?\\<>\"").find(c) == std::string_view::npos,
            "raw URL syntax in a link target");
      Check(c != ' ' || (i != pos_ && i + 1 != stop), "raw space at an end of a link target");
      if (c == '%') {
        Check(i + 2 < stop && HexValue(text_[i + 1]) >= 0 && HexValue(text_[i + 2]) >= 0,
              "a lone %");
        name += static_cast<char>(HexValue(text_[i + 1]) * 16 + HexValue(text_[i + 2]));
        i += 2;
      } else if (c == '&') {
        name += Entity(i);
      } else {
        Check(b < 0x80 || raw_high_allowed_, "raw byte >= 0x80 of a name that is not UTF-8");
        name += c;
      }
    }
    pos_ = stop;
    return name;
  }

  // Raw bytes from 0x80 are fine in a link only when the name is UTF-8.
  void AllowRawHigh(const std::string& name) { raw_high_allowed_ = pelorin::IsValidUtf8(name); }
  bool AtEnd() const { return pos_ == text_.size(); }

 private:
  char Entity(std::size_t& i) {
    for (const auto& [entity, c] : {std::pair<std::string_view, char>{"&amp;", '&'},
                                    {"&lt;", '<'},
                                    {"&gt;", '>'},
                                    {"&quot;", '"'}}) {
      if (text_.compare(i, entity.size(), entity) == 0) {
        i += entity.size() - 1;
        return c;
      }
    }
    Check(false, "a raw & from a name");
    return 0;
  }

  const std::string& text_;
  std::size_t pos_ = 0;
  bool raw_high_allowed_ = false;
};

void CheckSubfolderList(const pelorin::FolderListing& listing, const pelorin::PageOptions& options,
                        const std::string& out, std::int64_t count) {
  if (listing.total_subfolders == 0) {
    Check(out.empty(), "no subfolders, no list");
    return;
  }
  Reader reader(out);
  reader.Expect("<h2>Categories</h2><p>\r\n");
  std::int64_t links = 0;
  for (const pelorin::FolderEntry& entry : listing.entries) {
    if (entry.kind != pelorin::EntryKind::kFolder || pelorin::IsHiddenName(entry.name)) continue;
    ++links;
    reader.AllowRawHigh(entry.name);
    reader.Expect("[<a href=\"");
    Check(reader.Target('/') == entry.name, "folder link target");
    // The index file name is encoded in the link like any name.
    reader.Expect("/");
    reader.AllowRawHigh(options.index_filename);
    Check(reader.Target('"') == options.index_filename, "folder link index target");
    reader.Expect("\">");
    Check(reader.Text("</a>] \r\n") == entry.name, "folder link text");
    reader.Expect("</a>] \r\n");
  }
  reader.Expect("</p>\r\n");
  Check(reader.AtEnd(), "text after the folder list");
  Check(links == count, "folder count");
}

void ExpectListItem(Reader& reader, const std::string& name) {
  reader.AllowRawHigh(name);
  reader.Expect("<li><a href=\"");
  Check(reader.Target('"') == name, "list link target");
  reader.Expect("\">");
  Check(reader.Text("</a></li>\r\n") == name, "list link text");
  reader.Expect("</a></li>\r\n");
}

// Pictures go into the column or table (with thumbnails: the thumbnails, and
// the pictures they stand for are left out); every other listed file is
// reachable from a list after it.
void CheckFileList(const pelorin::FolderListing& listing, const pelorin::PageOptions& options,
                   const pelorin::FileTypeList& filter, const std::string& out,
                   std::int64_t count) {
  Reader reader(out);
  const bool thumbnails = options.show_pics && options.use_thumbnails;
  std::string width;
  if (options.scale_pics) {
    std::string value = options.scale_percent;
    if (value.empty() || value.back() != '%') value += '%';
    width = "Width=\"" + value + "\" ";
  }
  std::vector<std::string> listed;
  std::set<std::string> with_thumbnail;
  const auto is_thumbnail = [&](const std::string& name) {
    return pelorin::IsPictureName(name) &&
           pelorin::LineStartsWithTag(name, options.thumbnail_prefix, true);
  };
  for (const pelorin::FolderEntry& entry : listing.entries) {
    if (entry.kind != pelorin::EntryKind::kFile || !filter.IsInteresting(entry.name)) continue;
    if (entry.name == options.index_filename) continue;  // the page itself
    listed.push_back(entry.name);
    if (is_thumbnail(entry.name)) {
      const std::size_t cut = options.thumbnail_prefix.size();
      with_thumbnail.insert(cut >= entry.name.size() ? std::string() : entry.name.substr(cut));
    }
  }
  if (!options.show_pics) reader.Expect("<h2>Files</h2>\r\n<ul>\r\n");
  if (thumbnails) reader.Expect("<table border=1><tr>\r\n");

  std::vector<std::string> others;
  int row = 0;
  for (const std::string& name : listed) {
    reader.AllowRawHigh(name);
    if (!options.show_pics) {
      ExpectListItem(reader, name);
    } else if (!thumbnails) {
      if (!pelorin::IsPictureName(name)) {
        others.push_back(name);
        continue;
      }
      reader.Expect("<p ALIGN=\"center\"><a href=\"");
      Check(reader.Target('"') == name, "picture link target");
      reader.Expect("\"><IMG SRC=\"");
      Check(reader.Target('"') == name, "picture source");
      reader.Expect("\" ALT=\"");
      Check(reader.Text("\"") == name, "picture text");
      reader.Expect("\" " + width + "border=0></a></p>\r\n");
    } else if (is_thumbnail(name)) {
      const std::size_t cut = options.thumbnail_prefix.size();
      const std::string full = cut >= name.size() ? std::string() : name.substr(cut);
      reader.Expect("<td align=center valign=center><a href=\"");
      reader.AllowRawHigh(full);
      Check(reader.Target('"') == full, "thumbnail link target");
      reader.AllowRawHigh(name);
      reader.Expect("\"><IMG SRC=\"");
      Check(reader.Target('"') == name, "thumbnail source");
      reader.Expect("\" ALIGN=center ALT=\"");
      Check(reader.Text("\"") == name, "thumbnail text");
      reader.Expect("\" border=0></a></td>\r\n");
      if (++row == 5) {
        row = 0;
        reader.Expect("</tr><tr>\r\n");
      }
    } else if (with_thumbnail.count(name) == 0) {
      others.push_back(name);
    }
  }
  if (!options.show_pics) reader.Expect("</ul>\r\n");
  if (thumbnails) reader.Expect("</tr></table>\r\n");
  if (!others.empty()) {
    reader.Expect("<h2>Files</h2>\r\n<ul>\r\n");
    for (const std::string& name : others) ExpectListItem(reader, name);
    reader.Expect("</ul>\r\n");
  }
  Check(reader.AtEnd(), "text after the file list");
  Check(static_cast<std::int64_t>(listed.size()) == count, "file count");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const pelorin::fuzz::FuzzInput in = pelorin::fuzz::ParseFuzzInput(data, size);
  const pelorin::FileTypeList filter(in.file_types);
  using pelorin::ListMode;

  const std::int64_t folders = pelorin::BuildLists(in.listing, ListMode::NumberOfSubdirectories,
                                                   in.options, filter, nullptr);
  const std::int64_t files =
      pelorin::BuildLists(in.listing, ListMode::NumberOfFiles, in.options, filter, nullptr);
  std::string counted;
  pelorin::BuildLists(in.listing, ListMode::NumberOfFiles, in.options, filter, &counted);
  Check(counted.empty(), "the count modes write nothing");

  std::string subfolder_list;
  Check(pelorin::BuildLists(in.listing, ListMode::SubdirectoryList, in.options, filter,
                            &subfolder_list) == 0,
        "the list modes return 0");
  CheckSubfolderList(in.listing, in.options, subfolder_list, folders);

  std::string file_list;
  Check(pelorin::BuildLists(in.listing, ListMode::FileList, in.options, filter, &file_list) == 0,
        "the list modes return 0");
  CheckFileList(in.listing, in.options, filter, file_list, files);
  return 0;
}
