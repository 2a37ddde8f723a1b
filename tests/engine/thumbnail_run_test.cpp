// Missing thumbnails made during a run, with a fake maker: which pictures get
// one, where it goes, when it is up to date, failures, threads and stops.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>

#include "engine/index_run.h"
#include "engine/thumbnail_mark.h"
#include "support/fake_run_host.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

using testing::FakeRunHost;
using testing::TempTree;

// Writes a JPEG start, the mark and "thumb of " with the picture's bytes; a
// picture that reads "bad" is not a picture, one that reads "WxH" has that
// size. With hang set, waits for the stop (at most 3 s).
class FakeMaker : public ThumbnailMaker {
 public:
  MakeResult Make(const ThumbnailJob& job) override {
    ++calls;
    if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (hang) {
      std::mutex mutex;
      std::condition_variable_any never;
      std::unique_lock<std::mutex> lock(mutex);
      never.wait_for(lock, job.stop, std::chrono::seconds(3), [] { return false; });
      return {job.stop.stop_requested() ? MakeStatus::kStopped : MakeStatus::kFailed, {}, {}};
    }
    const std::string bytes = Read(job.picture_fd);
    if (bytes == "bad") return {MakeStatus::kFailed, "not a picture", {}};
    std::string out = "\xFF\xD8thumb of " + bytes + " at " + std::to_string(job.size);
    AddThumbnailMark(&out, ThumbnailFormat::kJpeg, job.size);
    const bool written =
        ::write(job.out_fd, out.data(), out.size()) == static_cast<ssize_t>(out.size());
    return {written ? MakeStatus::kMade : MakeStatus::kFailed, {}, {}};
  }
  bool ReadPictureSize(int fd, int* width, int* height) override {
    return std::sscanf(Read(fd).c_str(), "%dx%d", width, height) == 2;
  }
  static std::string Read(int fd) {
    char buffer[64];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
    return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  std::atomic<int> calls{0};
  bool slow = false;  // long enough for the run to yield while thumbnails are made
  bool hang = false;
};

// The text of a thumbnail the fake made, without its mark.
std::string Unmarked(const std::string& thumbnail) {
  const std::size_t text = thumbnail.find("thumb of ");
  return text == std::string::npos ? thumbnail : thumbnail.substr(text);
}

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
  RunSummary Run(int jobs, FakeRunHost* host = nullptr) {
    FakeRunHost own;
    IndexRun run(host != nullptr ? *host : own, options, FileTypeList("jpg png bmp html"));
    run.set_jobs(jobs);
    run.set_thumbnail_maker(&maker);
    running = &run;
    return run.CreateIndexes(tree.Path("g/"), tree.Path("g"));
  }
  TempTree tree;
  PageOptions options;
  FakeMaker maker;
  IndexRun* running = nullptr;
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
      EXPECT_EQ(Unmarked(g.tree.ReadFile(where + "a.jpg")), "thumb of g/a.jpg at 100");
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

TEST(IndexRunThumbnails, AStopLeavesNoTemporaryFile) {
  Gallery g(true);
  for (int i = 0; i < 40; ++i) g.tree.WriteFile("g/p" + std::to_string(i) + ".jpg", "p");
  g.maker.slow = true;
  FakeRunHost host;
  host.on_yield = [&] {
    if (g.maker.calls > 3) g.running->RequestStop();
  };
  const RunSummary summary = g.Run(3, &host);
  EXPECT_TRUE(summary.stopped);
  EXPECT_LT(summary.thumbnails_made, 40);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(g.tree.Path("g"))) {
    EXPECT_FALSE(entry.path().filename().string().starts_with(".pelorin2-")) << entry.path();
  }
}

}  // namespace
}  // namespace pelorin
