#include "engine/page_generator.h"

#include <gtest/gtest.h>

#include "support/listing.h"

namespace pelorin {
namespace {

using testing::DefaultPageOptions;
using testing::kTestFilter;
using testing::MakeListing;

std::string Page(std::string_view text, std::string_view folder, const PageOptions& options,
                 const FolderListing& listing = FolderListing(),
                 std::string_view selected = "/photos") {
  return GeneratePage(text, PageInput{folder, selected, listing, options, kTestFilter});
}

TEST(ComputeCategories, MeasuredAgainstTheSelectedFolder) {
  const struct {
    const char* folder;
    const char* category;
    const char* full;
  } cases[] = {
      {"", "Main directory", "Main directory"},
      {"Trips/", "Trips", "Trips"},
      {"Trips/2001/", "2001", "Trips - 2001"},
      {"Trips/2001/May/", "2001/May", "Trips - 2001 - May"},
      {"Trips/2001/May/Day1/", "2001/May/Day1", "Trips - 2001 - May - Day1"},
  };
  for (const auto& c : cases) {
    for (const std::string selected : {"/photos", "/"}) {
      const std::string root = selected == "/" ? "/" : selected + "/";
      const Categories result = ComputeCategories(root + c.folder, selected, " - ");
      EXPECT_EQ(result.category, c.category) << selected << " " << c.folder;
      EXPECT_EQ(result.full_category, c.full) << selected << " " << c.folder;
      EXPECT_EQ(result.is_root, std::string(c.folder).empty());
    }
  }
  EXPECT_EQ(ComputeCategories("/p/Trips/2001/", "/p", "").full_category, "Trips2001");
  // Doubled separators collapse once, left to right; only names are escaped.
  EXPECT_EQ(ComputeCategories("/p/a/b/", "/p", "&").full_category, "a&b");
  EXPECT_EQ(ComputeCategories("/p/A&B/<i>/", "/p", " | ").full_category, "A&amp;B | &lt;i&gt;");
  EXPECT_EQ(ComputeCategories("/p/-/x/", "/p", "-").full_category, "-x");
}

TEST(GeneratePage, TitleAndMetaLines) {
  const std::string text = "<!--#title-->\r\n<!--#metakeywords-->\r\n<!--#metadescription-->\r\n";
  PageOptions options = DefaultPageOptions();
  options.page_title = "Holiday pictures";
  options.keywords = "photos";
  EXPECT_EQ(Page(text, "/photos/Trips/2001/", options),
            "<TITLE>Holiday pictures</TITLE>\r\n"
            "<META NAME=\"keywords\" CONTENT=\"photos\">\r\n"
            "<META NAME=\"description\" CONTENT=\"Directory listing of \">\r\n");

  options.dynamic_title = options.dynamic_keywords = options.dynamic_description = true;
  EXPECT_EQ(Page(text, "/photos/Trips/2001/", options),
            "<TITLE>Holiday pictures - Trips - 2001</TITLE>\r\n"
            "<META NAME=\"keywords\" CONTENT=\"photos,Trips,2001\">\r\n"
            "<META NAME=\"description\" CONTENT=\"Directory listing of Trips - 2001\">\r\n");
  EXPECT_EQ(Page(text, "/photos/", options),
            "<TITLE>Holiday pictures - Main directory</TITLE>\r\n"
            "<META NAME=\"keywords\" CONTENT=\"photos,Main directory\">\r\n"
            "<META NAME=\"description\" CONTENT=\"Directory listing of Main directory\">\r\n");

  // A separator inside "Main directory" turns into a comma there too; an
  // empty keyword list starts with the comma; setting values are not escaped.
  options.separator = " ";
  options.keywords = "";
  options.page_title = "<b>Mine</b>";
  EXPECT_EQ(Page(text, "/photos/", options),
            "<TITLE><b>Mine</b> Main directory</TITLE>\r\n"
            "<META NAME=\"keywords\" CONTENT=\",Main,directory\">\r\n"
            "<META NAME=\"description\" CONTENT=\"Directory listing of Main directory\">\r\n");
}

TEST(GeneratePage, TagLinesAreRecognisedOnlyAlone) {
  PageOptions options = DefaultPageOptions();
  options.page_title = "T";
  const struct {
    const char* line;
    const char* expected;
  } cases[] = {
      {"<!--#title-->", "<TITLE>T</TITLE>"},
      {"  <!--#TITLE-->   ", "<TITLE>T</TITLE>"},
      {"\t<!--#title-->", "\t<!--#title-->"},
      {"<p><!--#title--></p>", "<p><!--#title--></p>"},
      {"<!--#title--><!--#title-->", "<!--#title--><!--#title-->"},
      {"<!-- #title -->", "<!-- #title -->"},
      {"", ""},
      {"  plain\ttext  ", "  plain\ttext  "},
      {"<!--#uptotop-->", ""},
      {"<!--#image-->", ""},
      {"<!--#ImageTitle-->", ""},
      {"<!--#imagefilename-->", ""},
      {"<!--#backtodirectory-->", ""},
      {"<!--#nextimage-->", ""},
      {"<!--#previousimage-->", ""},
      {"<!--#category-->", "Main directory"},
      {"<!--#fullcategory-->", "Main directory"},
      {"<!--#uponelevel-->", ""},
      {"<!--#numberofsubdirectories-->", "0 categories"},
      {"<!--#numberoffiles-->", "0 files"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Page(std::string(c.line) + "\r\n", "/photos/", options),
              std::string(c.expected) + "\r\n")
        << c.line;
  }
}

TEST(GeneratePage, LineEndsAndWholePages) {
  const PageOptions options = DefaultPageOptions();
  // CR LF, LF and CR all end a line; output lines always end with CR LF.
  for (const char* end : {"\r\n", "\n", "\r"}) {
    const std::string text = std::string("<h1>") + end + "<!--#category-->" + end + "</h1>" + end;
    EXPECT_EQ(Page(text, "/photos/Trips/", options), "<h1>\r\nTrips\r\n</h1>\r\n");
  }
  EXPECT_EQ(Page("a\n\nb", "/photos/", options), "a\r\n\r\nb\r\n");
  EXPECT_EQ(Page("a\r\n\r\n", "/photos/", options), "a\r\n\r\n");
  EXPECT_EQ(Page("", "/photos/", options), "");

  const FolderListing listing = MakeListing({"Holiday/", "a.gif", "index.html", "x.txt"});
  const std::string text =
      "top\n<!--#subdirectorylist-->\nmiddle\n<!--#filelist-->\n<!--#numberofsubdirectories-->"
      "\n<!--#numberoffiles-->\n<!--#uponelevel-->\nend";
  EXPECT_EQ(Page(text, "/photos/Trips/", options, listing),
            "top\r\n"
            "<h2>Categories</h2><p>\r\n"
            "[<a href=\"Holiday/index.html\">Holiday</a>] \r\n"
            "</p>\r\n"
            "\r\n"
            "middle\r\n"
            "<h2>Files</h2>\r\n<ul>\r\n"
            "<li><a href=\"a.gif\">a.gif</a></li>\r\n"
            "</ul>\r\n"
            "\r\n"
            "1 categories\r\n"
            "1 files\r\n"
            "<p><a href=\"../index.html\">Parent directory</a></p>\r\n"
            "end\r\n");
}

TEST(GeneratePage, FolderNamesInCategoriesAreEscaped) {
  PageOptions options = DefaultPageOptions();
  options.dynamic_title = true;
  const std::string page =
      Page("<!--#title-->\n<!--#category-->\n", "/photos/<img src=x onerror=\"y\">/", options);
  EXPECT_EQ(page,
            "<TITLE> - &lt;img src=x onerror=&quot;y&quot;&gt;</TITLE>\r\n"
            "&lt;img src=x onerror=&quot;y&quot;&gt;\r\n");
}

}  // namespace
}  // namespace pelorin

namespace pelorin {
namespace {

TEST(GeneratePage, PicturePageTags) {
  const std::string text =
      "<!--#image-->\n<!--#imagetitle-->\n<!--#imagefilename-->\n<!--#backtodirectory-->\n"
      "<!--#previousimage-->\n<!--#nextimage-->\n<!--#filelist-->\n<!--#numberoffiles-->\n"
      "<!--#category-->\n<!--#uponelevel-->\n";
  PageOptions options = testing::DefaultPageOptions();
  options.index_filename = "in dex.html";
  const FolderListing listing = testing::MakeListing({"a b.jpg", "c.png"});
  const PicturePage first{"a b.jpg", "", "c.png"};
  PageInput input{"/photos/Trips/", "/photos", listing, options, testing::kTestFilter};
  input.picture = &first;
  EXPECT_EQ(GeneratePage(text, input),
            "<IMG SRC=\"a b.jpg\" ALT=\"a b.jpg\" border=0>\r\n"
            "a b\r\n"
            "a b.jpg\r\n"
            "<p><a href=\"in dex.html\">Back to the directory</a></p>\r\n"
            "\r\n"
            "<p><a href=\"c.png.html\">Next image</a></p>\r\n"
            "\r\n\r\n"
            "Trips\r\n"
            "<p><a href=\"../in dex.html\">Parent directory</a></p>\r\n"
            "<!-- made by Pelorin2 -->\r\n");

  options.scale_pics = options.dynamic_title = true;
  options.page_title = "<b>P</b>";
  const PicturePage last{"c&d.x.gif", "a b.jpg", ""};
  input.picture = &last;
  EXPECT_EQ(GeneratePage("<!--#image-->\n<!--#imagetitle-->\n<!--#imagepagetitle-->\n"
                         "<!--#previousimage-->\n<!--#nextimage-->\n",
                         input),
            "<IMG SRC=\"c&amp;d.x.gif\" ALT=\"c&amp;d.x.gif\" Width=\"60%\" border=0>\r\n"
            "c&amp;d.x\r\n"
            "<title>c&amp;d.x - <b>P</b> - Trips</title>\r\n"
            "<p><a href=\"a b.jpg.html\">Previous image</a></p>\r\n"
            "\r\n<!-- made by Pelorin2 -->\r\n");

  // On an index page the picture tags stay empty; the parent link encodes
  // the index file name.
  options.index_filename = "a#b.html";
  EXPECT_EQ(
      Page("<!--#image-->\n<!--#imagepagetitle-->\n<!--#uponelevel-->\n", "/photos/T/", options),
      "\r\n\r\n<p><a href=\"../a%23b.html\">Parent directory</a></p>\r\n");
}

}  // namespace
}  // namespace pelorin

namespace pelorin {
namespace {

// The picture page's picture: its display copy linked to the original when
// there is one, the sizes with ModernImages, and the details of the header.
TEST(GeneratePage, DisplayCopyAndImageInfo) {
  PageOptions options = testing::DefaultPageOptions();
  options.pics_in_html = options.make_thumbnails = options.use_thumbnails = true;
  options.thumbnail_subdir = true;
  options.thumbnail_folder = "th";
  options.display_size = 1600;
  const FolderListing listing = testing::MakeListing({"a.jpg", "b.gif"});
  const FolderListing thumbs = testing::MakeListing({"display_a.jpg"});
  PictureHeaders headers;
  headers["a.jpg"] = {.width = 4000,
                      .height = 3000,
                      .orientation = 8,
                      .date_time_original = "2024:06:01 14:03:22",
                      .make = "Canon",
                      .model = "Canon EOS <R5>",
                      .bytes = 3'240'000};
  headers["th/display_a.jpg"] = {.width = 1600, .height = 1200, .orientation = 1};
  headers["b.gif"] = {.bytes = 999};
  const std::string text = "<!--#image-->\n<!--#imageinfo-->\n";
  const PicturePage a{"a.jpg", "", "b.gif"};
  const PicturePage b{"b.gif", "a.jpg", ""};
  PageInput input{"/p/", "/p", listing, options, testing::kTestFilter};
  input.thumbnails = &thumbs;
  input.headers = &headers;
  input.picture = &a;
  EXPECT_EQ(GeneratePage(text, input),
            "<a href=\"a.jpg\"><IMG SRC=\"th/display_a.jpg\" ALT=\"a.jpg\" border=0></a>\r\n"
            "<p class=\"imageinfo\">2024-06-01 14:03 &middot; Canon EOS &lt;R5&gt; &middot; "
            "3000 &times; 4000 &middot; 3.2 MB</p>\r\n<!-- made by Pelorin2 -->\r\n");
  options.modern_images = true;
  EXPECT_EQ(GeneratePage("<!--#image-->\n", input),
            "<a href=\"a.jpg\"><IMG SRC=\"th/display_a.jpg\" ALT=\"a\" loading=\"lazy\" "
            "decoding=\"async\" width=\"1600\" height=\"1200\" border=0></a>\r\n"
            "<!-- made by Pelorin2 -->\r\n");
  input.picture = &b;  // no display copy: the picture itself; only its size is known
  EXPECT_EQ(GeneratePage(text, input),
            "<IMG SRC=\"b.gif\" ALT=\"b\" loading=\"lazy\" decoding=\"async\" border=0>\r\n"
            "<p class=\"imageinfo\">999 bytes</p>\r\n<!-- made by Pelorin2 -->\r\n");
  input.headers = nullptr;
  EXPECT_EQ(GeneratePage("<!--#imageinfo-->\n", input), "\r\n<!-- made by Pelorin2 -->\r\n");
}

TEST(PictureInfo, Texts) {
  EXPECT_EQ(DateTakenText("2024:06:01 14:03:22"), "2024-06-01 14:03");
  for (const char* unknown : {"", "0000:00:00 00:00:00", "    :  :     :  :  ", "2024:06:01"}) {
    EXPECT_EQ(DateTakenText(unknown), "") << unknown;
  }
  EXPECT_EQ(CameraText("NIKON CORPORATION", "NIKON D750"), "NIKON CORPORATION NIKON D750");
  EXPECT_EQ(CameraText("Apple ", "iPhone 12\0"), "Apple iPhone 12");
  EXPECT_EQ(CameraText("", "X100"), "X100");
  EXPECT_EQ(CameraText("Fuji", ""), "Fuji");
  const struct {
    std::int64_t bytes;
    const char* text;
  } sizes[] = {{1, "1 byte"},         {999, "999 bytes"},  {1000, "1.0 kB"},
               {3'240'000, "3.2 MB"}, {999'999, "1.0 MB"}, {12'345'678'901, "12.3 GB"}};
  for (const auto& s : sizes) EXPECT_EQ(FileSizeText(s.bytes), s.text) << s.bytes;
  EXPECT_EQ(ImageInfoLine(nullptr), "");
  const PictureHeader nothing_known;
  EXPECT_EQ(ImageInfoLine(&nothing_known), "");
}

}  // namespace
}  // namespace pelorin
