#include "engine/index_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/run_report.h"
#include "support/fake_run_host.h"
#include "support/listing.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

namespace pelorin {
namespace {

using testing::FakeRunHost;
using testing::TempTree;

constexpr char kTemplate[] =
    "<!--#title-->\n<!--#fullcategory-->\n<!--#filelist-->\n<!--#uponelevel-->\n";

PageOptions OptionsFor(const TempTree& tree) {
  PageOptions options = testing::DefaultPageOptions();
  options.main_template = tree.Path("template.htm");
  options.page_title = "Pics";
  return options;
}

struct Tree {
  Tree() {
    tree.WriteFile("template.htm", kTemplate);
    tree.WriteFile("site/a.gif");
    tree.WriteFile("site/Trips/b.png");
    tree.WriteFile("site/Trips/2001/c.jpg");
    tree.WriteFile("site/.hidden/d.gif");
    tree.MakeFolder("site/Empty");
  }
  RunSummary Run(FakeRunHost& host, int jobs = 1) {
    IndexRun run(host, OptionsFor(tree), FileTypeList("gif png jpg html"));
    run.set_jobs(jobs);
    return run.CreateIndexes(tree.Path("site/"), tree.Path("site"));
  }
  TempTree tree;
};

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_ino;
}

TEST(IndexRun, WritesEveryPageAndReportsStatus) {
  Tree t;
  FakeRunHost host;
  const RunSummary summary = t.Run(host);

  EXPECT_TRUE(summary.failures.empty());
  EXPECT_EQ(summary.pages_written, 4);
  EXPECT_EQ(summary.top_page, t.tree.Path("site/index.html"));
  EXPECT_EQ(t.tree.ReadFile("site/index.html"),
            "<TITLE>Pics</TITLE>\r\nMain directory\r\n<h2>Files</h2>\r\n<ul>\r\n"
            "<li><a href=\"a.gif\">a.gif</a></li>\r\n</ul>\r\n\r\n\r\n");
  EXPECT_EQ(t.tree.ReadFile("site/Trips/2001/index.html"),
            "<TITLE>Pics</TITLE>\r\nTrips - 2001\r\n<h2>Files</h2>\r\n<ul>\r\n"
            "<li><a href=\"c.jpg\">c.jpg</a></li>\r\n</ul>\r\n\r\n"
            "<p><a href=\"../index.html\">Parent directory</a></p>\r\n");
  EXPECT_TRUE(t.tree.Exists("site/Empty/index.html"));
  EXPECT_FALSE(t.tree.Exists("site/.hidden/index.html"));

  ASSERT_FALSE(host.statuses.empty());
  EXPECT_EQ(host.statuses.front(), "Indexed 0 folders");
  EXPECT_EQ(host.statuses[1], "Indexed 1 folder");
  EXPECT_EQ(host.statuses.back(), "Indexed 4 folders");
}

TEST(IndexRun, UnchangedPagesAreNotRewrittenAndJobsGiveTheSameBytes) {
  Tree t;
  FakeRunHost host;
  t.Run(host);
  const std::string page = t.tree.ReadFile("site/Trips/index.html");
  const ino_t inode = InodeOf(t.tree.Path("site/Trips/index.html"));

  const RunSummary again = t.Run(host, 2);
  EXPECT_EQ(again.pages_written, 0);
  EXPECT_EQ(again.pages_unchanged, 4);
  EXPECT_EQ(InodeOf(t.tree.Path("site/Trips/index.html")), inode);

  ::unlink(t.tree.Path("site/Trips/index.html").c_str());
  const RunSummary parallel = t.Run(host, 3);
  EXPECT_EQ(parallel.pages_written, 1);
  EXPECT_EQ(t.tree.ReadFile("site/Trips/index.html"), page);
}

// The template as a folder's page itself, by a hard link or by a symbolic
// link: that page is never written.
TEST(IndexRun, TemplateThatIsAFoldersPageIsLeftUntouched) {
  for (const char* how : {"itself", "hard link", "symbolic link"}) {
    Tree t;
    const std::string page = t.tree.Path("site/Trips/index.html");
    const std::string how_s = how;
    if (how_s == "hard link") {
      ASSERT_EQ(::link(t.tree.Path("template.htm").c_str(), page.c_str()), 0);
    } else if (how_s == "symbolic link") {
      ASSERT_EQ(::symlink("../../template.htm", page.c_str()), 0);
    } else {
      t.tree.WriteFile("site/Trips/index.html", kTemplate);
    }
    FakeRunHost host;
    PageOptions options = OptionsFor(t.tree);
    if (how_s == "itself") options.main_template = page;
    IndexRun run(host, options, FileTypeList("gif"));
    const RunSummary summary = run.CreateIndexes(t.tree.Path("site/"), t.tree.Path("site"));

    ASSERT_EQ(summary.failures.size(), 1u) << how;
    EXPECT_EQ(summary.failures[0].folder, t.tree.Path("site/Trips/"));
    EXPECT_EQ(summary.failures[0].reason,
              "the template " + options.main_template +
                  " is this folder's index.html; it was left untouched");
    EXPECT_EQ(t.tree.ReadFile("site/Trips/index.html"), kTemplate);
    EXPECT_TRUE(t.tree.Exists("site/Trips/2001/index.html"));
  }
}

// Without a template there is no page to make: the run fails once, at the
// root, and touches no folder.
TEST(IndexRun, MissingTemplateFailsTheRunAndKeepsOldPages) {
  Tree t;
  t.tree.WriteFile("site/index.html", "old page");
  ::unlink(t.tree.Path("template.htm").c_str());
  FakeRunHost host;
  const RunSummary summary = t.Run(host);
  ASSERT_EQ(summary.failures.size(), 1u);
  EXPECT_EQ(summary.failures[0].folder, t.tree.Path("site/"));
  EXPECT_EQ(summary.failures[0].reason, "cannot read the template " + t.tree.Path("template.htm") +
                                            ": No such file or directory");
  EXPECT_EQ(t.tree.ReadFile("site/index.html"), "old page");
  EXPECT_FALSE(t.tree.Exists("site/Trips/index.html"));
}

TEST(IndexRun, ReadOnlyAndUnreadableFoldersFailAloneAsAnOrdinaryUser) {
  Tree t;
  t.tree.WriteFile("site/Trips/index.html", "old page");
  t.tree.MakeFolder("site/Locked/Inner");
  t.tree.GiveTo(testing::UnprivilegedUid(), testing::UnprivilegedGid());
  ASSERT_EQ(::chmod(t.tree.Path("site/Trips").c_str(), 0555), 0);
  ASSERT_EQ(::chmod(t.tree.Path("site/Locked").c_str(), 0), 0);

  const auto output = testing::RunUnprivileged([&] {
    FakeRunHost host;
    const RunSummary summary = t.Run(host);
    std::string text;
    for (const Failure& failure : summary.failures) {
      text += failure.folder + ": " + failure.reason + "\n";
    }
    return text;
  });
  ASSERT_TRUE(output.has_value());
  EXPECT_EQ(*output, t.tree.Path("site/Locked/") + ": cannot read the folder: Permission denied\n" +
                         t.tree.Path("site/Trips/") +
                         ": cannot write index.html: Permission denied\n");
  EXPECT_EQ(t.tree.ReadFile("site/Trips/index.html"), "old page");
  EXPECT_TRUE(t.tree.Exists("site/Trips/2001/index.html"));
  EXPECT_TRUE(t.tree.Exists("site/Empty/index.html"));
}

TEST(IndexRun, StopRequestedDuringStartProcessesNothing) {
  Tree t;
  FakeRunHost host;
  IndexRun run(host, OptionsFor(t.tree), FileTypeList("gif"));
  std::stop_source stop;
  host.on_yield = [&] {
    if (host.yields == 1) stop.request_stop();
  };
  const RunSummary summary =
      run.CreateIndexes(t.tree.Path("site/"), t.tree.Path("site"), stop.get_token());
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(summary.pages_written, 0);
  EXPECT_FALSE(t.tree.Exists("site/index.html"));
  EXPECT_EQ(summary.folders_reached, 0);
  EXPECT_EQ(summary.folders_not_reached, 1);
}

// A stop counts only the folders whose page is in place; the folders the
// walk had found and then left are counted as not reached, and the last
// status line agrees with the summary. The stop comes as the third folder
// (d0/sub) is reached; with threads, a folder whose page had not started
// then is left as it was and counted as not reached too.
TEST(IndexRun, StoppedRunCountsOnlyFoldersWithTheirPage) {
  for (int jobs : {1, 3}) {
    SCOPED_TRACE("jobs " + std::to_string(jobs));
    TempTree tree;
    tree.WriteFile("template.htm", kTemplate);
    for (int i = 0; i < 10; ++i) tree.WriteFile("site/d" + std::to_string(i) + "/sub/a.gif");
    FakeRunHost host;
    IndexRun run(host, OptionsFor(tree), FileTypeList("gif"));
    run.set_jobs(jobs);
    std::stop_source stop;
    host.on_yield = [&] {
      if (host.statuses.back() == "Indexed 3 folders") stop.request_stop();
    };
    const RunSummary summary =
        run.CreateIndexes(tree.Path("site/"), tree.Path("site"), stop.get_token());
    EXPECT_TRUE(summary.stopped);
    EXPECT_EQ(summary.folders_indexed + summary.folders_not_reached, 12);
    EXPECT_EQ(summary.pages_written, summary.folders_indexed);
    EXPECT_EQ(host.statuses.back(), ProgressLine({.folders_reached = summary.folders_indexed}));
    if (jobs == 1) {
      EXPECT_EQ(SummaryLine(summary),
                "Indexed 2 folders: 2 pages written, 0 unchanged, 0 failed (stopped; 10 folders "
                "and what is below them not reached)");
    }
    EXPECT_FALSE(tree.Exists("site/d0/sub/index.html"));
  }
}

}  // namespace
}  // namespace pelorin

namespace pelorin {
namespace {

// A gallery: picture pages, thumbnails in a subfolder, the same bytes with
// one or three threads, and nothing rewritten when nothing changed.
TEST(IndexRun, GalleryWithPicturePagesAndAThumbnailSubfolder) {
  std::string first_bytes;
  for (const int jobs : {1, 3}) {
    TempTree tree;
    tree.WriteFile("template.htm", "<!--#subdirectorylist-->\n<!--#filelist-->\n");
    tree.WriteFile("picture.htm", "<!--#image-->\n<!--#previousimage-->\n<!--#nextimage-->\n");
    for (const char* name :
         {"site/a.jpg", "site/b.png", "site/c.jpg", "site/notes.html", "site/thumbs/small_a.jpg",
          "site/thumbs/small_c.jpg", "site/old.gif.html", "site/Sub/d.gif"}) {
      tree.WriteFile(name);
    }
    PageOptions options = OptionsFor(tree);
    options.picture_template = tree.Path("picture.htm");
    options.show_pics = options.use_thumbnails = options.thumbnail_subdir = true;
    options.pics_in_html = true;
    options.thumbnail_folder = "thumbs";
    for (int round = 0; round < 2; ++round) {
      FakeRunHost host;
      IndexRun run(host, options, FileTypeList("gif png jpg html"));
      run.set_jobs(jobs);
      const RunSummary summary = run.CreateIndexes(tree.Path("site/"), tree.Path("site"));
      EXPECT_TRUE(summary.failures.empty()) << summary.failures.front().reason;
      EXPECT_EQ(summary.pages_written, round == 0 ? 2 : 0) << jobs;
      EXPECT_EQ(summary.picture_pages_written, round == 0 ? 4 : 0) << jobs;
      EXPECT_EQ(summary.picture_pages_unchanged, round == 0 ? 0 : 4) << jobs;
    }
    const std::string index = tree.ReadFile("site/index.html");
    EXPECT_EQ(
        index,
        "<h2>Categories</h2><p>\r\n[<a href=\"Sub/index.html\">Sub</a>] \r\n</p>\r\n\r\n"
        "<table border=1><tr>\r\n"
        "<td align=center valign=center><a href=\"a.jpg.html\"><IMG "
        "SRC=\"thumbs/small_a.jpg\" ALIGN=center ALT=\"small_a.jpg\" border=0></a></td>\r\n"
        "<td align=center valign=center><a href=\"c.jpg.html\"><IMG "
        "SRC=\"thumbs/small_c.jpg\" ALIGN=center ALT=\"small_c.jpg\" border=0></a></td>\r\n"
        "</tr></table>\r\n<h2>Files</h2>\r\n<ul>\r\n<li><a href=\"b.png.html\">b.png</a></li>\r\n"
        "<li><a href=\"notes.html\">notes.html</a></li>\r\n</ul>\r\n\r\n");
    EXPECT_EQ(tree.ReadFile("site/b.png.html"),
              "<IMG SRC=\"b.png\" ALT=\"b.png\" border=0>\r\n"
              "<p><a href=\"a.jpg.html\">Previous image</a></p>\r\n"
              "<p><a href=\"c.jpg.html\">Next image</a></p>\r\n<!-- made by Pelorin2 -->\r\n");
    EXPECT_TRUE(tree.Exists("site/Sub/d.gif.html"));
    EXPECT_FALSE(tree.Exists("site/thumbs/index.html"));
    EXPECT_FALSE(tree.Exists("site/old.gif.html.html"));
    const std::string bytes = index + tree.ReadFile("site/a.jpg.html");
    if (first_bytes.empty()) first_bytes = bytes;
    EXPECT_EQ(bytes, first_bytes) << jobs;
  }
}

}  // namespace
}  // namespace pelorin
