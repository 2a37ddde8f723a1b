#include "engine/prune.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/listing.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

using testing::DefaultPageOptions;
using testing::MakeListing;

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += name + " ";
  return text;
}

TEST(OrphanCandidates, NamesWhosePictureIsGone) {
  PageOptions beside = DefaultPageOptions();
  beside.use_thumbnails = true;
  PageOptions subfolder = beside;
  subfolder.thumbnail_subdir = true;
  subfolder.thumbnail_folder = "th";
  PageOptions no_prefix = beside;
  no_prefix.thumbnail_prefix = "";
  PageOptions page_named_like_one = beside;
  page_named_like_one.index_filename = "c.gif.html";
  const FolderListing thumbs =
      MakeListing({"small_a.jpg", "small_a@2x.jpg", "small_b@2x.png", "display_b.png",
                   "display_c.gif", "small_c.gif", "small_d.jpg", "notes.txt", "d@2x.jpg"});
  const struct {
    const char* what;
    FolderListing folder;
    const PageOptions& options;
    const char* expected;
  } cases[] = {
      {"pages, thumbnails and @2x beside pictures",
       MakeListing({"a.jpg", "a.jpg.html", "b.png.html", "small_a.jpg", "small_a@2x.jpg",
                    "small_b.png", "small_b@2x.png", "small_notes.txt", "index.html", "x.html"}),
       beside, "b.png.html small_b.png small_b@2x.png "},
      {"an index page named like a picture page stays", MakeListing({"c.gif.html", "d.gif.html"}),
       page_named_like_one, "d.gif.html "},
      {"with no prefix a picture is its own thumbnail", MakeListing({"a.jpg", "b.jpg"}), no_prefix,
       ""},
      {"the thumbnail subfolder: thumbnails, @2x and display copies",
       MakeListing({"a.jpg", "c.gif", "small_b.png"}), subfolder,
       "th/display_b.png th/small_b@2x.png th/small_d.jpg "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Joined(OrphanCandidates(c.folder, &thumbs, c.options)), c.expected) << c.what;
  }
}

// A tree whose pictures were deleted after a run: what the run made for
// them goes, what merely looks like it stays, and the emptied thumbnail
// folder goes only when everything in it was the program's.
TEST(Prune, RemovesWhatWasMadeForPicturesThatAreGone) {
  testing::TempTree tree;
  constexpr std::string_view kMark = "MARK";  // what the fake test takes for the mark
  const std::string page = "<html>\r\n</html>\r\n<!-- made by Pelorin2 -->\r\n";
  tree.WriteFile("a.jpg");
  tree.WriteFile("a.jpg.html", page);
  tree.WriteFile("gone.jpg.html", page);
  tree.WriteFile("mine.jpg.html", "<p>\n<!-- made by Pelorin2 --> and more\n");
  tree.WriteFile("index.html", page);
  tree.WriteFile("thumbnails/a.jpg", kMark);
  tree.WriteFile("thumbnails/gone.jpg", kMark);
  tree.WriteFile("thumbnails/gone@2x.jpg", kMark);
  tree.WriteFile("thumbnails/display_gone.jpg", kMark);
  tree.WriteFile("thumbnails/holiday.jpg", "a photo someone put here");
  tree.WriteFile("Sub/lone.png.html", "<!-- made by Pelorin2 -->");
  tree.WriteFile("Sub/thumbnails/lone.png", kMark);
  PageOptions options = DefaultPageOptions();
  options.use_thumbnails = options.thumbnail_subdir = true;
  options.thumbnail_prefix = "";
  options.thumbnail_folder = "thumbnails";
  const MadeImageTest made = [&](int fd) {
    char head[4];
    return ::pread(fd, head, sizeof head, 0) == 4 && std::string_view(head, 4) == kMark;
  };

  const OrphanList list = FindOrphans(tree.root(), options, made);
  EXPECT_TRUE(list.failures.empty());
  std::string found;
  for (const Orphan& orphan : list.orphans) {
    found += orphan.folder.substr(tree.root().size() + 1) + orphan.name + " ";
  }
  EXPECT_EQ(found,
            "gone.jpg.html thumbnails/display_gone.jpg thumbnails/gone.jpg "
            "thumbnails/gone@2x.jpg Sub/lone.png.html Sub/thumbnails/lone.png Sub/thumbnails/ ");
  EXPECT_TRUE(tree.Exists("gone.jpg.html"));  // listing removes nothing

  tree.WriteFile("thumbnails/gone@2x.jpg", "replaced since the list was made");
  const PruneResult result = RemoveOrphans(list.orphans, options, made);
  EXPECT_TRUE(result.failures.empty());
  EXPECT_EQ(result.removed, 5);
  EXPECT_EQ(result.folders_removed, 1);
  for (const char* gone : {"gone.jpg.html", "thumbnails/gone.jpg", "thumbnails/display_gone.jpg",
                           "Sub/lone.png.html", "Sub/thumbnails"}) {
    EXPECT_FALSE(tree.Exists(gone)) << gone;
  }
  for (const char* kept : {"a.jpg.html", "mine.jpg.html", "index.html", "thumbnails/a.jpg",
                           "thumbnails/gone@2x.jpg", "thumbnails/holiday.jpg"}) {
    EXPECT_TRUE(tree.Exists(kept)) << kept;
  }
}

}  // namespace
}  // namespace pelorin
