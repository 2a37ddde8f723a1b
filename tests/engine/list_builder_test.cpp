#include "engine/list_builder.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/listing.h"

namespace pelorin {
namespace {

using testing::DefaultPageOptions;
using testing::kTestFilter;
using testing::MakeListing;

std::string Lines(const FolderListing& listing, ListMode mode, const PageOptions& options,
                  std::int64_t* count = nullptr) {
  std::string out;
  const std::int64_t n = BuildLists(listing, mode, options, kTestFilter, &out);
  if (count != nullptr) *count = n;
  return out;
}

TEST(BuildLists, Subfolders) {
  const PageOptions options = DefaultPageOptions();
  std::int64_t count = -1;
  EXPECT_EQ(Lines(MakeListing({"a.gif"}), ListMode::SubdirectoryList, options, &count), "");
  EXPECT_EQ(count, 0);

  const FolderListing only_hidden = MakeListing({".git/", "a.gif"});
  EXPECT_EQ(Lines(only_hidden, ListMode::SubdirectoryList, options),
            "<h2>Categories</h2><p>\r\n</p>\r\n");
  EXPECT_EQ(
      BuildLists(only_hidden, ListMode::NumberOfSubdirectories, options, kTestFilter, nullptr), 0);

  const FolderListing two = MakeListing({"Work/", "Holiday/", ".cache/", "a.gif"});
  EXPECT_EQ(Lines(two, ListMode::SubdirectoryList, options),
            "<h2>Categories</h2><p>\r\n"
            "[<a href=\"Holiday/index.html\">Holiday</a>] \r\n"
            "[<a href=\"Work/index.html\">Work</a>] \r\n"
            "</p>\r\n");
  EXPECT_EQ(BuildLists(two, ListMode::NumberOfSubdirectories, options, kTestFilter, nullptr), 2);
  // Count modes write nothing.
  EXPECT_EQ(Lines(two, ListMode::NumberOfSubdirectories, options), "");
}

TEST(BuildLists, FileListForms) {
  const FolderListing files = MakeListing({"b.jpg", "a.gif", "notes.txt", "Sub/", "index.html"});
  PageOptions options = DefaultPageOptions();
  EXPECT_EQ(Lines(files, ListMode::FileList, options),
            "<h2>Files</h2>\r\n<ul>\r\n"
            "<li><a href=\"a.gif\">a.gif</a></li>\r\n"
            "<li><a href=\"b.jpg\">b.jpg</a></li>\r\n"
            "</ul>\r\n");
  // The folder's own page is neither listed nor counted.
  EXPECT_EQ(BuildLists(files, ListMode::NumberOfFiles, options, kTestFilter, nullptr), 2);
  EXPECT_EQ(Lines(MakeListing({"notes.txt"}), ListMode::FileList, options),
            "<h2>Files</h2>\r\n<ul>\r\n</ul>\r\n");

  // Thumbnails switched on without pictures change nothing.
  options.use_thumbnails = true;
  EXPECT_EQ(Lines(files, ListMode::FileList, options),
            "<h2>Files</h2>\r\n<ul>\r\n<li><a href=\"a.gif\">a.gif</a></li>\r\n"
            "<li><a href=\"b.jpg\">b.jpg</a></li>\r\n</ul>\r\n");

  options = DefaultPageOptions();
  options.show_pics = true;
  const FolderListing one = MakeListing({"a.jpg"});
  EXPECT_EQ(Lines(one, ListMode::FileList, options),
            "<p ALIGN=\"center\"><a href=\"a.jpg\"><IMG SRC=\"a.jpg\" ALT=\"a.jpg\" "
            "border=0></a></p>\r\n");
  options.scale_pics = true;
  for (const char* percent : {"50", "50%"}) {
    options.scale_percent = percent;
    EXPECT_EQ(Lines(one, ListMode::FileList, options),
              "<p ALIGN=\"center\"><a href=\"a.jpg\"><IMG SRC=\"a.jpg\" ALT=\"a.jpg\" "
              "Width=\"50%\" border=0></a></p>\r\n")
        << percent;
  }
  options.scale_percent = "";
  EXPECT_NE(Lines(one, ListMode::FileList, options).find("Width=\"%\" border=0>"),
            std::string::npos);
}

std::string Cell(const std::string& full, const std::string& thumb) {
  return "<td align=center valign=center><a href=\"" + full + "\"><IMG SRC=\"" + thumb +
         "\" ALIGN=center ALT=\"" + thumb + "\" border=0></a></td>\r\n";
}

TEST(BuildLists, ThumbnailTable) {
  PageOptions options = DefaultPageOptions();
  options.show_pics = true;
  options.use_thumbnails = true;

  std::int64_t count = 0;
  const FolderListing mixed = MakeListing({"a.jpg", "Small_a.jpg", "b.gif"});
  EXPECT_EQ(
      Lines(mixed, ListMode::FileList, options),
      "<table border=1><tr>\r\n" + Cell("a.jpg", "Small_a.jpg") +
          "</tr></table>\r\n<h2>Files</h2>\r\n<ul>\r\n<li><a href=\"b.gif\">b.gif</a></li>\r\n"
          "</ul>\r\n");
  EXPECT_EQ(BuildLists(mixed, ListMode::NumberOfFiles, options, kTestFilter, nullptr), 3);

  for (int thumbnails : {10, 12}) {
    FolderListing listing;
    std::string expected = "<table border=1><tr>\r\n";
    for (int i = 0; i < thumbnails; ++i) {
      const std::string name = "p" + std::string(1, static_cast<char>('a' + i)) + ".jpg";
      listing.entries.push_back({"small_" + name, EntryKind::kFile});
      expected += Cell(name, "small_" + name);
      if (i % 5 == 4) expected += "</tr><tr>\r\n";
    }
    expected += "</tr></table>\r\n";
    EXPECT_EQ(Lines(listing, ListMode::FileList, options, &count), expected) << thumbnails;
  }

  // An empty prefix makes every picture a thumbnail of itself.
  options.thumbnail_prefix = "";
  EXPECT_EQ(Lines(MakeListing({"b.gif"}), ListMode::FileList, options),
            "<table border=1><tr>\r\n" + Cell("b.gif", "b.gif") + "</tr></table>\r\n");
}

TEST(BuildLists, NamesAreEscapedInEveryForm) {
  const FolderListing hostile =
      MakeListing({"<script>alert(1)</script>.gif", "\"onerror=x.gif", "a&amp;b.gif", "50% #1?.gif",
                   "Family & Friends/", "<b>/"});
  PageOptions options = DefaultPageOptions();
  EXPECT_EQ(Lines(hostile, ListMode::SubdirectoryList, options),
            "<h2>Categories</h2><p>\r\n"
            "[<a href=\"&lt;b&gt;/index.html\">&lt;b&gt;</a>] \r\n"
            "[<a href=\"Family &amp; Friends/index.html\">Family &amp; Friends</a>] \r\n"
            "</p>\r\n");
  const std::string list = Lines(hostile, ListMode::FileList, options);
  EXPECT_NE(list.find("<li><a href=\"&quot;onerror=x.gif\">&quot;onerror=x.gif</a></li>"),
            std::string::npos)
      << list;
  EXPECT_NE(list.find("<li><a href=\"50%25 %231%3F.gif\">50% #1?.gif</a></li>"), std::string::npos)
      << list;
  EXPECT_NE(list.find("<li><a href=\"&lt;script&gt;alert(1)&lt;/script&gt;.gif\">"
                      "&lt;script&gt;alert(1)&lt;/script&gt;.gif</a></li>"),
            std::string::npos)
      << list;
  EXPECT_NE(list.find(">a&amp;amp;b.gif<"), std::string::npos);

  options.show_pics = true;
  const std::string pictures = Lines(hostile, ListMode::FileList, options);
  EXPECT_NE(pictures.find("<IMG SRC=\"&quot;onerror=x.gif\" ALT=\"&quot;onerror=x.gif\" "),
            std::string::npos)
      << pictures;
  EXPECT_EQ(pictures.find("<script"), std::string::npos);

  options.use_thumbnails = true;
  options.thumbnail_prefix = "";
  const std::string table = Lines(hostile, ListMode::FileList, options);
  EXPECT_EQ(table.find("<script"), std::string::npos);
  EXPECT_EQ(table.find("\"onerror"), std::string::npos);
}

}  // namespace
}  // namespace pelorin

namespace pelorin {
namespace {

// Each gallery and Display option against the exact lines it gives.
TEST(BuildLists, GalleryAndDisplayForms) {
  const FolderListing files = MakeListing({"a.jpg", "small_a.jpg", "notes.html", "a.jpg.html"});
  const FolderListing thumbs = MakeListing({"t_a.jpg"});
  struct Case {
    const char* what;
    std::function<void(PageOptions&)> set;
    ListMode mode;
    std::string expected;
  };
  const Case cases[] = {
      {"no headings, categories one per line",
       [](PageOptions& o) { o.show_headings = false, o.categories_in_one_line = false; },
       ListMode::SubdirectoryList, "<p>\r\n[<a href=\"S/index.html\">S</a>]<br>\r\n</p>\r\n"},
      {"index file name encoded in subfolder links",
       [](PageOptions& o) { o.index_filename = "a#b \".html"; }, ListMode::SubdirectoryList,
       "<h2>Categories</h2><p>\r\n[<a href=\"S/a%23b &quot;.html\">S</a>] \r\n</p>\r\n"},
      {"bullet picture with both sizes, no heading",
       [](PageOptions& o) {
         o.show_headings = false, o.bullet_picture = "b.gif", o.bullet_width = "8";
         o.bullet_height = "9";
       },
       ListMode::FileList,
       "<ul>\r\n<li style=\"list-style: none\"><IMG SRC=\"b.gif\" ALT=\"\" Width=\"8\" "
       "Height=\"9\" border=0> <a href=\"a.jpg\">a.jpg</a></li>\r\n"
       "<li style=\"list-style: none\"><IMG SRC=\"b.gif\" ALT=\"\" Width=\"8\" "
       "Height=\"9\" border=0> <a href=\"a.jpg.html\">a.jpg.html</a></li>\r\n"
       "<li style=\"list-style: none\"><IMG SRC=\"b.gif\" ALT=\"\" Width=\"8\" "
       "Height=\"9\" border=0> <a href=\"notes.html\">notes.html</a></li>\r\n"
       "<li style=\"list-style: none\"><IMG SRC=\"b.gif\" ALT=\"\" Width=\"8\" "
       "Height=\"9\" border=0> <a href=\"small_a.jpg\">small_a.jpg</a></li>\r\n</ul>\r\n"},
      {"picture pages: pictures link to them, their pages are not listed",
       [](PageOptions& o) { o.pics_in_html = true; }, ListMode::FileList,
       "<h2>Files</h2>\r\n<ul>\r\n<li><a href=\"a.jpg.html\">a.jpg</a></li>\r\n"
       "<li><a href=\"notes.html\">notes.html</a></li>\r\n"
       "<li><a href=\"small_a.jpg.html\">small_a.jpg</a></li>\r\n</ul>\r\n"},
      {"thumbnails beside their pictures have no page of their own",
       [](PageOptions& o) { o.pics_in_html = true, o.use_thumbnails = true; }, ListMode::FileList,
       "<h2>Files</h2>\r\n<ul>\r\n<li><a href=\"a.jpg.html\">a.jpg</a></li>\r\n"
       "<li><a href=\"notes.html\">notes.html</a></li>\r\n"
       "<li><a href=\"small_a.jpg\">small_a.jpg</a></li>\r\n</ul>\r\n"},
      {"with an empty prefix beside the pictures, every file is its own thumbnail",
       [](PageOptions& o) {
         o.pics_in_html = true, o.use_thumbnails = true, o.thumbnail_prefix = "";
       },
       ListMode::FileList,
       "<h2>Files</h2>\r\n<ul>\r\n<li><a href=\"a.jpg\">a.jpg</a></li>\r\n"
       "<li><a href=\"notes.html\">notes.html</a></li>\r\n"
       "<li><a href=\"small_a.jpg\">small_a.jpg</a></li>\r\n</ul>\r\n"},
      {"table without thumbnails",
       [](PageOptions& o) { o.show_pics = true, o.picture_display = "1", o.scale_pics = true; },
       ListMode::FileList,
       "<table border=1><tr>\r\n<td align=center valign=center><a href=\"a.jpg\"><IMG "
       "SRC=\"a.jpg\" ALIGN=center ALT=\"a.jpg\" Width=\"60%\" border=0></a></td>\r\n"
       "<td align=center valign=center><a href=\"small_a.jpg\"><IMG SRC=\"small_a.jpg\" "
       "ALIGN=center ALT=\"small_a.jpg\" Width=\"60%\" border=0></a></td>\r\n"
       "</tr></table>\r\n<h2>Files</h2>\r\n<ul>\r\n<li><a "
       "href=\"a.jpg.html\">a.jpg.html</a></li>\r\n"
       "<li><a href=\"notes.html\">notes.html</a></li>\r\n</ul>\r\n"},
      {"column with thumbnails beside their pictures, linking to picture pages",
       [](PageOptions& o) {
         o.show_pics = true, o.use_thumbnails = true, o.picture_display = "0";
         o.pics_in_html = true;
       },
       ListMode::FileList,
       "<p ALIGN=\"center\"><a href=\"a.jpg.html\"><IMG SRC=\"small_a.jpg\" "
       "ALT=\"small_a.jpg\" border=0></a></p>\r\n"
       "<h2>Files</h2>\r\n<ul>\r\n<li><a href=\"notes.html\">notes.html</a></li>\r\n</ul>\r\n"},
      {"table of thumbnails in a subfolder",
       [](PageOptions& o) {
         o.show_pics = true, o.use_thumbnails = true, o.thumbnail_subdir = true;
         o.thumbnail_prefix = "t_", o.thumbnail_folder = "th umbs";
       },
       ListMode::FileList,
       "<table border=1><tr>\r\n<td align=center valign=center><a href=\"a.jpg\"><IMG "
       "SRC=\"th umbs/t_a.jpg\" ALIGN=center ALT=\"t_a.jpg\" border=0></a></td>\r\n"
       "</tr></table>\r\n<h2>Files</h2>\r\n<ul>\r\n<li><a "
       "href=\"a.jpg.html\">a.jpg.html</a></li>\r\n"
       "<li><a href=\"notes.html\">notes.html</a></li>\r\n"
       "<li><a href=\"small_a.jpg\">small_a.jpg</a></li>\r\n</ul>\r\n"},
      {"captions under thumbnails beside their pictures",
       [](PageOptions& o) { o.show_pics = o.use_thumbnails = o.show_captions = true; },
       ListMode::FileList,
       "<table border=1><tr>\r\n<td align=center valign=center><a href=\"a.jpg\"><IMG "
       "SRC=\"small_a.jpg\" ALIGN=center ALT=\"small_a.jpg\" border=0></a><br><small>a</small>"
       "</td>\r\n</tr></table>\r\n<h2>Files</h2>\r\n<ul>\r\n"
       "<li><a href=\"a.jpg.html\">a.jpg.html</a></li>\r\n"
       "<li><a href=\"notes.html\">notes.html</a></li>\r\n</ul>\r\n"},
      {"captions under the column's pictures, no heading for the other files",
       [](PageOptions& o) { o.show_pics = o.show_captions = true, o.show_headings = false; },
       ListMode::FileList,
       "<p ALIGN=\"center\"><a href=\"a.jpg\"><IMG SRC=\"a.jpg\" ALT=\"a.jpg\" "
       "border=0></a><br><small>a</small></p>\r\n"
       "<p ALIGN=\"center\"><a href=\"small_a.jpg\"><IMG SRC=\"small_a.jpg\" "
       "ALT=\"small_a.jpg\" border=0></a><br><small>small_a</small></p>\r\n"
       "<ul>\r\n<li><a href=\"a.jpg.html\">a.jpg.html</a></li>\r\n"
       "<li><a href=\"notes.html\">notes.html</a></li>\r\n</ul>\r\n"},
  };
  for (const Case& c : cases) {
    PageOptions options = DefaultPageOptions();
    c.set(options);
    std::string out;
    const FolderListing& listing =
        c.mode == ListMode::SubdirectoryList ? MakeListing({"S/"}) : files;
    BuildLists(listing, c.mode, options, kTestFilter, &out, nullptr, &thumbs);
    EXPECT_EQ(out, c.expected) << c.what;
  }
}

}  // namespace
}  // namespace pelorin

namespace pelorin {
namespace {

// ModernImages: the size from the header (upright), the title as ALT, and a
// srcset wherever a sharper thumbnail is there; @2x files are not listed.
TEST(BuildLists, ModernImages) {
  PageOptions options = DefaultPageOptions();
  options.show_pics = options.modern_images = true;
  PictureHeaders headers;
  headers["a b.jpg"] = {.width = 4000, .height = 3000, .orientation = 6};
  headers["t,s/small_a b.jpg"] = {.width = 120, .height = 160};
  headers["small_c.png"] = {.width = 160, .height = 90};
  const FolderListing beside = MakeListing({"c.png", "small_c.png", "small_c@2x.png", "d.gif"});
  const FolderListing thumbs = MakeListing({"small_a b.jpg", "small_a b@2x.jpg"});
  std::string out;
  BuildLists(MakeListing({"a b.jpg"}), ListMode::FileList, options, kTestFilter, &out, nullptr,
             nullptr, &headers);
  EXPECT_EQ(out,
            "<p ALIGN=\"center\"><a href=\"a b.jpg\"><IMG SRC=\"a b.jpg\" ALT=\"a b\" "
            "loading=\"lazy\" decoding=\"async\" width=\"3000\" height=\"4000\" "
            "border=0></a></p>\r\n");

  options.use_thumbnails = true;
  out.clear();
  BuildLists(beside, ListMode::FileList, options, kTestFilter, &out, nullptr, nullptr, &headers);
  EXPECT_EQ(out,
            "<table border=1><tr>\r\n<td align=center valign=center><a href=\"c.png\"><IMG "
            "SRC=\"small_c.png\" ALIGN=center ALT=\"c\" loading=\"lazy\" decoding=\"async\" "
            "width=\"160\" height=\"90\" srcset=\"small_c.png 1x, small_c@2x.png 2x\" "
            "border=0></a></td>\r\n</tr></table>\r\n"
            "<h2>Files</h2>\r\n<ul>\r\n<li><a href=\"d.gif\">d.gif</a></li>\r\n</ul>\r\n");
  EXPECT_EQ(BuildLists(beside, ListMode::NumberOfFiles, options, kTestFilter, nullptr), 3);

  options.thumbnail_subdir = true;
  options.thumbnail_folder = "t,s";
  out.clear();
  BuildLists(MakeListing({"a b.jpg"}), ListMode::FileList, options, kTestFilter, &out, nullptr,
             &thumbs, &headers);
  EXPECT_EQ(out,
            "<table border=1><tr>\r\n<td align=center valign=center><a href=\"a b.jpg\"><IMG "
            "SRC=\"t,s/small_a b.jpg\" ALIGN=center ALT=\"a b\" loading=\"lazy\" "
            "decoding=\"async\" width=\"120\" height=\"160\" "
            "srcset=\"t%2Cs/small_a%20b.jpg 1x, t%2Cs/small_a%20b@2x.jpg 2x\" "
            "border=0></a></td>\r\n</tr></table>\r\n");
}

}  // namespace
}  // namespace pelorin
