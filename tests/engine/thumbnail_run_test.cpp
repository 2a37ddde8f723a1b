// Missing thumbnails made during a run, with a fake maker: which pictures get
// one, where it goes, when it is up to date, failures, threads and stops.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/index_run.h"
#include "support/fake_run_host.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

using testing::FakeRunHost;
using testing::TempTree;

// Writes "thumb of " and the picture's bytes; a picture that reads "bad"
// is not a picture.
class FakeMaker : public ThumbnailMaker {
 public:
  bool Make(int picture_fd, ThumbnailFormat, int size, int out_fd, std::string* error) override {
    ++calls;
    if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    char buffer[64];
    const ssize_t n = ::read(picture_fd, buffer, sizeof buffer);
    const std::string bytes(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    if (bytes == "bad") {
      *error = "not a picture";
      return false;
    }
    const std::string out = "thumb of " + bytes + " at " + std::to_string(size);
    return ::write(out_fd, out.data(), out.size()) == static_cast<ssize_t>(out.size());
  }
  std::atomic<int> calls{0};
  bool slow = false;  // long enough for the run to yield while thumbnails are made
};

struct Gallery {
  explicit Gallery(bool in_subfolder) {
    tree.WriteFile("template.htm", "<!--#filelist-->\n");
    for (const char* name : {"g/a.jpg", "g/b.png", "g/c.bmp", "g/notes.html"}) {
      tree.WriteFile(name, name);
    }
    tree.WriteFile("g/bad.jpg", "bad");
    options.main_template = tree.Path("template.htm");
    options.index_filename = "index.html";
    options.thumbnail_prefix = in_subfolder ? "" : "small_";
    options.thumbnail_folder = "th";
    options.show_pics = options.use_thumbnails = options.make_thumbnails = true;
    options.thumbnail_subdir = in_subfolder;
    options.thumbnail_size = 100;
  }
  RunSummary Run(int jobs, FakeRunHost* host = nullptr, std::stop_token stop = {}) {
    FakeRunHost own;
    IndexRun run(host != nullptr ? *host : own, options, FileTypeList("jpg png bmp html"));
    run.set_jobs(jobs);
    run.set_thumbnail_maker(&maker);
    return run.CreateIndexes(tree.Path("g/"), tree.Path("g"), stop);
  }
  TempTree tree;
  PageOptions options;
  FakeMaker maker;
};

TEST(IndexRunThumbnails, MadeOnceBesideOrInASubfolderWithTheSamePages) {
  std::string first_page;
  for (const bool in_subfolder : {false, true}) {
    for (const int jobs : {1, 3}) {
      Gallery g(in_subfolder);
      const std::string where = in_subfolder ? "g/th/" : "g/small_";
      const RunSummary first = g.Run(jobs);
      EXPECT_EQ(first.thumbnails_made, 2);
      EXPECT_EQ(first.thumbnails_failed, 1);
      ASSERT_EQ(first.failures.size(), 1u);
      EXPECT_EQ(first.failures[0].folder + ": " + first.failures[0].reason,
                g.tree.Path("g/bad.jpg") + ": cannot make a thumbnail: not a picture");
      EXPECT_EQ(g.tree.ReadFile(where + "a.jpg"), "thumb of g/a.jpg at 100");
      EXPECT_FALSE(g.tree.Exists(where + "c.bmp"));      // shown as it is
      EXPECT_EQ(g.tree.ReadFile("g/a.jpg"), "g/a.jpg");  // pictures are only read
      // The page lists what was made in this very run.
      const std::string page = g.tree.ReadFile("g/index.html");
      EXPECT_NE(page.find("a.jpg\"><IMG SRC=\"" + where.substr(2) + "a.jpg\""), std::string::npos)
          << page;
      if (!in_subfolder) {
        if (first_page.empty()) first_page = page;
        EXPECT_EQ(page, first_page) << jobs;
      }

      // An unchanged tree decodes nothing; a picture saved again is made anew.
      const int calls = g.maker.calls;
      const RunSummary again = g.Run(jobs);
      EXPECT_EQ(g.maker.calls - calls, 1);  // only the one that cannot be made
      EXPECT_EQ(again.thumbnails_up_to_date, 2);
      const auto later =
          std::filesystem::last_write_time(g.tree.Path(where + "a.jpg")) + std::chrono::seconds(5);
      std::filesystem::last_write_time(g.tree.Path("g/a.jpg"), later);
      EXPECT_EQ(g.Run(jobs).thumbnails_made, 1);
      EXPECT_GE(std::filesystem::last_write_time(g.tree.Path(where + "a.jpg")), later);
    }
  }
}

// A folder whose thumbnails were cut short keeps its old page: no page shows
// part of its pictures.
TEST(IndexRunThumbnails, AStopLeavesTheFolderAsItWasAndNoTemporaryFile) {
  Gallery g(true);
  for (int i = 0; i < 40; ++i) g.tree.WriteFile("g/p" + std::to_string(i) + ".jpg", "p");
  g.tree.WriteFile("g/index.html", "old page");
  g.maker.slow = true;
  FakeRunHost host;
  std::stop_source stop;
  host.on_yield = [&] {
    if (g.maker.calls > 3) stop.request_stop();
  };
  const RunSummary summary = g.Run(3, &host, stop.get_token());
  EXPECT_TRUE(summary.stopped);
  EXPECT_LT(summary.thumbnails_made, 40);
  EXPECT_EQ(summary.folders_not_reached, 1);
  EXPECT_EQ(summary.folders_indexed, 0);
  EXPECT_EQ(g.tree.ReadFile("g/index.html"), "old page");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(g.tree.Path("g"))) {
    EXPECT_FALSE(entry.path().filename().string().starts_with(".pelorin2-")) << entry.path();
  }
}

}  // namespace
}  // namespace pelorin

namespace pelorin {
namespace {

// Every file under root with its size and modification time.
std::string Snapshot(const std::string& root) {
  std::string text;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    struct stat st;
    ::lstat(entry.path().c_str(), &st);
    text += entry.path().string() + " " + std::to_string(st.st_size) + " " +
            std::to_string(st.st_mtim.tv_nsec) + "\n";
  }
  return text;
}

// A dry run writes nothing, makes no folder and no temporary file, and
// counts exactly what the run that follows does (a picture that cannot be
// decoded is found out only by decoding it).
TEST(IndexRunThumbnails, ADryRunCountsWhatTheRunDoesAndWritesNothing) {
  for (const bool in_subfolder : {false, true}) {
    Gallery g(in_subfolder);
    std::filesystem::remove(g.tree.Path("g/bad.jpg"));
    g.options.pics_in_html = true;
    g.tree.WriteFile("picture.htm", "<!--#image-->\n");
    g.options.picture_template = g.tree.Path("picture.htm");
    g.tree.WriteFile("g/index.html", "old page");
    for (const int round : {1, 2}) {
      const std::string before = Snapshot(g.tree.Path("g"));
      FakeRunHost host;
      IndexRun dry(host, g.options, FileTypeList("jpg png bmp html"));
      dry.set_thumbnail_maker(&g.maker);
      dry.set_dry_run(true);
      const RunSummary preview = dry.CreateIndexes(g.tree.Path("g/"), g.tree.Path("g"));
      EXPECT_EQ(Snapshot(g.tree.Path("g")), before);
      const RunSummary done = g.Run(2);
      const auto counts = [](const RunSummary& s) {
        return std::vector<std::int64_t>{s.pages_written,
                                         s.pages_new,
                                         s.pages_unchanged,
                                         s.picture_pages_written,
                                         s.picture_pages_unchanged,
                                         s.files_replaced,
                                         s.thumbnails_made,
                                         s.thumbnails_up_to_date,
                                         s.failed};
      };
      EXPECT_EQ(counts(preview), counts(done)) << in_subfolder << round;
    }
  }
}

}  // namespace
}  // namespace pelorin
