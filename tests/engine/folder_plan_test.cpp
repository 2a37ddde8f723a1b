#include "engine/folder_plan.h"

#include <gtest/gtest.h>

#include "support/listing.h"

namespace pelorin {
namespace {

using testing::DefaultPageOptions;
using testing::kTestFilter;
using testing::MakeListing;

std::string Names(const FolderListing& listing) {
  std::string names;
  for (const FolderEntry& entry : listing.entries) {
    names += entry.name + (entry.kind == EntryKind::kFolder ? "/ " : " ");
  }
  return names;
}

std::string Describe(const FolderPlan& plan) {
  std::string text =
      "page: " + Names(plan.page_listing) + (plan.look_up_page ? "(look up)" : "(new)") + "\n";
  for (const PicturePageTask& p : plan.picture_pages) {
    text += "picture page " + p.page + " [" + p.previous + "|" + p.next + "]\n";
  }
  for (const ThumbnailTaskPlan& t : plan.thumbnails) {
    text += "thumbnail " + t.picture + (t.source.empty() ? "" : " via " + t.source) + " -> " +
            (t.place.in_subfolder ? "sub/" : "") + t.place.name + " " + std::to_string(t.size) +
            "\n";
  }
  for (const Collision& c : plan.collisions) text += "collision " + c.name + ": " + c.reason + "\n";
  return text;
}

TEST(PlanFolder, PageViewPicturePagesThumbnailsAndCollisions) {
  PageOptions plain = DefaultPageOptions();
  PageOptions gallery = DefaultPageOptions();
  gallery.pics_in_html = gallery.show_pics = gallery.use_thumbnails = true;
  PageOptions subfolder = gallery;
  subfolder.thumbnail_subdir = true;
  subfolder.thumbnail_prefix = "";
  subfolder.thumbnail_folder = "th";
  PageOptions folder_page = plain;
  folder_page.index_filename = "Docs";
  PageOptions modern = subfolder;
  modern.modern_images = modern.make_thumbnails = true;
  modern.display_size = 1600;
  PageOptions picture_is_page = gallery;
  picture_is_page.index_filename = "b.png.html";
  const FolderListing thumbs = MakeListing({"a.jpg", "b.png/"});

  const struct {
    const char* name;
    FolderListing listing;
    const PageOptions& options;
    bool make_thumbnails;
    const char* expected;
  } cases[] = {
      {"a new page lists itself; an old one is looked at", MakeListing({"a.gif", "Sub/"}), plain,
       false, "page: a.gif index.html Sub/ (new)\n"},
      {"", MakeListing({"index.html", "a.gif"}), plain, false,
       "page: a.gif index.html (look up)\n"},
      {"a folder where the page goes", MakeListing({"Docs/", "a.gif"}), folder_page, false,
       "page: a.gif Docs/ (look up)\ncollision Docs: is a folder\n"},
      {"pictures beside their thumbnails, with neighbours",
       MakeListing({"a.jpg", "small_a.jpg", "b.png", "c.bmp", "d.svg", "notes.txt", "e.gif.html/"}),
       gallery, true,
       "page: a.jpg b.png c.bmp d.svg e.gif.html/ index.html notes.txt small_a.jpg (new)\n"
       "picture page a.jpg.html [|b.png]\npicture page b.png.html [a.jpg|]\n"
       "thumbnail a.jpg -> small_a.jpg 160\nthumbnail b.png -> small_b.png 160\n"},
      {"the folder's page wins over a picture page", MakeListing({"a.jpg", "b.png"}),
       picture_is_page, false,
       "page: a.jpg b.png b.png.html (new)\npicture page a.jpg.html [|b.png]\n"},
      {"the thumbnail folder is no folder of the page; folders in the way collide",
       MakeListing({"a.jpg", "b.png", "th/", "c.gif.html/", "c.gif"}), subfolder, true,
       "page: a.jpg b.png c.gif c.gif.html/ index.html (new)\n"
       "picture page a.jpg.html [|b.png]\npicture page b.png.html [a.jpg|c.gif]\n"
       "thumbnail a.jpg -> sub/a.jpg 160\nthumbnail c.gif -> sub/c.gif 160\n"
       "collision c.gif.html: is a folder\ncollision th/b.png: is a folder\n"},
      {"sharper thumbnails and display copies", MakeListing({"a.jpg", "th/"}), modern, true,
       "page: a.jpg index.html (new)\npicture page a.jpg.html [|]\n"
       "thumbnail a.jpg -> sub/display_a.jpg 1600\n"
       "thumbnail a.jpg via display_a.jpg -> sub/a.jpg 160\n"
       "thumbnail a.jpg via display_a.jpg -> sub/a@2x.jpg 320\n"},
  };
  for (const auto& c : cases) {
    const FolderPlan plan =
        PlanFolder(c.listing, &thumbs, c.options, kTestFilter, c.make_thumbnails);
    EXPECT_EQ(Describe(plan), c.expected) << c.name;
  }

  // With the subfolder on, a file of its name is reported only when thumbnails are made.
  const FolderListing in_the_way = MakeListing({"th", "a.jpg"});
  EXPECT_EQ(PlanFolder(in_the_way, nullptr, subfolder, kTestFilter, true).collisions.size(), 1u);
  EXPECT_EQ(PlanFolder(in_the_way, nullptr, subfolder, kTestFilter, false).collisions.size(), 0u);
}

}  // namespace
}  // namespace pelorin
