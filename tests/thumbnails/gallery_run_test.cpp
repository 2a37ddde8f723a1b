// A gallery run with every gallery option on, libvips making the images:
// thumbnails with their @2x copies and display copies, the pages showing
// them with their sizes and the pictures' details, an unchanged re-run that
// writes nothing, and prune after a picture is deleted.
#include <gtest/gtest.h>
#include <vips/vips.h>

#include "engine/index_run.h"
#include "engine/prune.h"
#include "engine/thumbnail_mark.h"
#include "support/fake_run_host.h"
#include "support/listing.h"
#include "support/temp_tree.h"
#include "thumbnails/vips_thumbnail_maker.h"

namespace pelorin {
namespace {

// A JPEG of width x height stored on its side (EXIF orientation 6), with
// its date and camera; or, without EXIF, a PNG.
std::string Picture(int width, int height, bool jpeg) {
  VipsImage* image = nullptr;
  EXPECT_EQ(vips_black(&image, width, height, "bands", 3, nullptr), 0);
  if (jpeg) {
    vips_image_set_int(image, VIPS_META_ORIENTATION, 6);
    vips_image_set_string(image, "exif-ifd2-DateTimeOriginal", "2024:06:01 14:03:22");
    vips_image_set_string(image, "exif-ifd0-Make", "Canon");
    vips_image_set_string(image, "exif-ifd0-Model", "Canon EOS R5");
  }
  void* data = nullptr;
  size_t length = 0;
  EXPECT_EQ(vips_image_write_to_buffer(image, jpeg ? ".jpg" : ".png", &data, &length, nullptr), 0);
  std::string bytes(static_cast<const char*>(data), length);
  g_free(data);
  g_object_unref(image);
  return bytes;
}

TEST(GalleryRun, EveryGalleryOptionOnThenPrune) {
  VipsThumbnailMaker maker;
  testing::TempTree tree;
  tree.WriteFile("template.htm", "<!--#filelist-->\n");
  tree.WriteFile("picture.htm", "<!--#imagepagetitle-->\n<!--#image-->\n<!--#imageinfo-->\n");
  tree.WriteFile("site/a.jpg", Picture(800, 600, true));
  tree.WriteFile("site/b.png", Picture(100, 80, false));
  tree.WriteFile("site/c.pdf", "%PDF");
  PageOptions options = testing::DefaultPageOptions();
  options.main_template = tree.Path("template.htm");
  options.picture_template = tree.Path("picture.htm");
  options.thumbnail_folder = "thumbnails";
  options.page_title = "Trip";
  options.show_pics = options.use_thumbnails = options.thumbnail_subdir = true;
  options.make_thumbnails = options.pics_in_html = true;
  options.show_captions = options.modern_images = true;
  options.display_size = 320;

  for (int round = 0; round < 2; ++round) {
    testing::FakeRunHost host;
    IndexRun run(host, options, FileTypeList("jpg png pdf"));
    run.set_thumbnail_maker(&maker);
    const RunSummary summary = run.CreateIndexes(tree.Path("site/"), tree.Path("site"));
    EXPECT_TRUE(summary.failures.empty()) << summary.failures.front().reason;
    EXPECT_EQ(summary.thumbnails_made, round == 0 ? 6 : 0);
    EXPECT_EQ(summary.pages_written + summary.picture_pages_written, round == 0 ? 3 : 0);
  }
  EXPECT_EQ(
      tree.ReadFile("site/index.html"),
      "<table border=1><tr>\r\n"
      "<td align=center valign=center><a href=\"a.jpg.html\"><IMG SRC=\"thumbnails/small_a.jpg\" "
      "ALIGN=center ALT=\"a\" loading=\"lazy\" decoding=\"async\" width=\"120\" height=\"160\" "
      "srcset=\"thumbnails/small_a.jpg 1x, thumbnails/small_a@2x.jpg 2x\" border=0></a>"
      "<br><small>a</small></td>\r\n"
      "<td align=center valign=center><a href=\"b.png.html\"><IMG SRC=\"thumbnails/small_b.png\" "
      "ALIGN=center ALT=\"b\" loading=\"lazy\" decoding=\"async\" width=\"100\" height=\"80\" "
      "srcset=\"thumbnails/small_b.png 1x, thumbnails/small_b@2x.png 2x\" border=0></a>"
      "<br><small>b</small></td>\r\n"
      "</tr></table>\r\n<h2>Files</h2>\r\n<ul>\r\n<li><a href=\"c.pdf\">c.pdf</a></li>\r\n"
      "</ul>\r\n\r\n");
  EXPECT_EQ(tree.ReadFile("site/a.jpg.html"),
            "<title>a - Trip</title>\r\n"
            "<a href=\"a.jpg\"><IMG SRC=\"thumbnails/display_a.jpg\" ALT=\"a\" loading=\"lazy\" "
            "decoding=\"async\" width=\"240\" height=\"320\" border=0></a>\r\n"
            "<p class=\"imageinfo\">2024-06-01 14:03 &middot; Canon EOS R5 &middot; "
            "600 &times; 800 &middot; " +
                FileSizeText(tree.ReadFile("site/a.jpg").size()) +
                "</p>\r\n<!-- made by Pelorin2 -->\r\n");

  // The picture is deleted; what was made for it goes, b's stays.
  ASSERT_EQ(::unlink(tree.Path("site/a.jpg").c_str()), 0);
  const MadeImageTest marked = [](int fd) { return ReadThumbnailMark(fd).has_value(); };
  const OrphanList list = FindOrphans(tree.Path("site"), options, marked);
  const PruneResult pruned = RemoveOrphans(list.orphans, options, marked);
  EXPECT_EQ(pruned.removed, 4);
  for (const char* gone : {"a.jpg.html", "thumbnails/small_a.jpg", "thumbnails/small_a@2x.jpg",
                           "thumbnails/display_a.jpg"}) {
    EXPECT_FALSE(tree.Exists(std::string("site/") + gone)) << gone;
  }
  EXPECT_TRUE(tree.Exists("site/thumbnails/small_b@2x.png"));

  // Another thumbnail size: the thumbnails are remade from the display copy,
  // which is up to date.
  options.thumbnail_size = 100;
  testing::FakeRunHost host;
  IndexRun run(host, options, FileTypeList("jpg png pdf"));
  run.set_thumbnail_maker(&maker);
  tree.WriteFile("site/a.jpg", Picture(800, 600, true));
  const RunSummary summary = run.CreateIndexes(tree.Path("site/"), tree.Path("site"));
  EXPECT_TRUE(summary.failures.empty()) << summary.failures.front().reason;
  EXPECT_EQ(summary.thumbnails_made, 5);  // a's three, b's thumbnail and @2x
  EXPECT_EQ(summary.thumbnails_up_to_date, 1);
}

}  // namespace
}  // namespace pelorin
