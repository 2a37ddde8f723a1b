// Missing thumbnails made during a run, with a fake maker: which pictures get
// one, where it goes, when it is up to date, failures, threads and stops.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>

#include "engine/index_run.h"
#include "engine/thumbnail_mark.h"
#include "engine/thumbnail_task.h"
#include "support/fake_run_host.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

using testing::FakeRunHost;
using testing::TempTree;

// A JPEG start, the mark of a thumbnail made at size, and text.
std::string Marked(const std::string& text, int size = 100) {
  std::string bytes = "\xFF\xD8" + text;
  AddThumbnailMark(&bytes, ThumbnailFormat::kJpeg, size);
  return bytes;
}

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
    bool written = true;
    std::vector<ThumbnailCopy> outputs = job.copies;
    outputs.push_back({job.size, job.out_fd});
    for (const ThumbnailCopy& output : outputs) {
      const std::string out =
          Marked("thumb of " + bytes + " at " + std::to_string(output.size), output.size);
      written = written &&
                ::write(output.out_fd, out.data(), out.size()) == static_cast<ssize_t>(out.size());
    }
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

void SetTime(const std::string& path, std::time_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
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
      EXPECT_EQ(g.tree.ReadFile(where + "a.jpg"), Marked("thumb of g/a.jpg at 100"));
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

TEST(IndexRunThumbnails, AStopAbandonsTheThumbnailsInHandAtOnce) {
  for (const int jobs : {1, 3}) {
    Gallery g(true);
    for (int i = 0; i < 10; ++i) g.tree.WriteFile("g/p" + std::to_string(i) + ".jpg", "p");
    g.maker.hang = true;
    FakeRunHost host;
    std::stop_source stop;
    host.on_yield = [&] {
      if (g.maker.calls > 0) stop.request_stop();
    };
    const auto start = std::chrono::steady_clock::now();
    const RunSummary summary = g.Run(jobs, &host, stop.get_token());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << jobs;
    EXPECT_TRUE(summary.stopped);
    EXPECT_EQ(summary.thumbnails_made, 0);
    EXPECT_TRUE(summary.failures.empty());
    for (const auto& entry : std::filesystem::recursive_directory_iterator(g.tree.Path("g"))) {
      EXPECT_FALSE(entry.path().filename().string().starts_with(".pelorin2-")) << entry.path();
    }
  }
}

TEST(IndexRunThumbnails, ReportsSomeonesFileAtTheNameAndRemakesOnlyItsOwn) {
  Gallery g(false);
  g.tree.WriteFile("g/small_a.jpg", "2000x1500");  // a photo named like a.jpg's thumbnail
  SetTime(g.tree.Path("g/small_a.jpg"), std::time(nullptr) - 1000);
  const RunSummary first = g.Run(2);
  EXPECT_EQ(first.thumbnails_made, 1);
  ASSERT_EQ(first.failures.size(), 2u);
  EXPECT_EQ(  // after bad.jpg's: the report is in the order of the paths
      first.failures[1].folder + ": " + first.failures[1].reason,
      g.tree.Path("g/small_a.jpg") + ": not replaced: 2000\u00D71500 is larger than a thumbnail");
  EXPECT_EQ(g.tree.ReadFile("g/small_a.jpg"), "2000x1500");

  EXPECT_EQ(g.Run(2).thumbnails_up_to_date, 1);
  g.options.remake_thumbnails = true;
  const RunSummary remade = g.Run(2);
  EXPECT_EQ(remade.thumbnails_made, 1);  // small_b.png, which it made
  EXPECT_EQ(g.tree.ReadFile("g/small_a.jpg"), "2000x1500");
}

// Run by root (a cron job, say), what the run creates belongs to the
// folder's owner, who can then run it himself.
TEST(IndexRunThumbnails, WhatRootCreatesBelongsToTheFolderOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give files away";
  Gallery g(true);
  g.options.pics_in_html = true;
  g.tree.WriteFile("picture.htm", "<!--#filelist-->\n");
  g.options.picture_template = g.tree.Path("picture.htm");
  ASSERT_EQ(::chown(g.tree.Path("g").c_str(), 4321, 4322), 0);
  g.Run(2);
  for (const char* made : {"g/th", "g/th/a.jpg", "g/index.html", "g/a.jpg.html"}) {
    struct stat st;
    ASSERT_EQ(::stat(g.tree.Path(made).c_str(), &st), 0) << made;
    EXPECT_EQ(st.st_uid, 4321u) << made;
    EXPECT_EQ(st.st_gid, 4322u) << made;
  }
}

TEST(MakeThumbnail, ReplacesOnlyWhatItMadeOrWhatFitsTheBox) {
  using R = ThumbnailResult;
  const std::time_t picture_time = std::time(nullptr) - 1000;
  const std::string ours = Marked("thumb", 100);
  const struct {
    std::string what;    // at the thumbnail's name
    std::time_t offset;  // its time against the picture's
    bool remake;
    R result;
    const char* error;
  } cases[] = {
      {"(nothing)", 0, false, R::kMade, ""},
      {"", -50, false, R::kMade, ""},
      {"100x80", -50, false, R::kMade, ""},  // made by hand, fits the box, out of date
      {"100x80", 50, false, R::kUpToDate, ""},
      {"2000x1500", -50, false, R::kLeftAlone,
       "not replaced: 2000\u00D71500 is larger than a thumbnail"},
      {"2000x1500", 50, false, R::kUpToDate, ""},  // never replaced for its size
      {"2000x1500", 50, true, R::kUpToDate, ""},
      {"hello", -50, false, R::kLeftAlone, "not replaced: not a picture"},
      {"(fifo)", 0, false, R::kLeftAlone, "not replaced: not a regular file"},
      {ours, 0, false, R::kUpToDate, ""},
      {ours, 0, true, R::kMade, ""},
      {Marked("thumb", 160), 0, false, R::kMade, ""},  // made at another size
      {ours, 50, false, R::kMade, ""},                 // an older picture moved into place
  };
  for (const auto& c : cases) {
    const std::string label =
        c.what + " at " + std::to_string(c.offset) + (c.remake ? " remade" : "");
    TempTree tree;
    tree.WriteFile("p.jpg", "picture");
    ::chmod(tree.Path("p.jpg").c_str(), 0640);
    SetTime(tree.Path("p.jpg"), picture_time);
    if (c.what == "(fifo)") {
      ASSERT_EQ(::mkfifo(tree.Path("t.jpg").c_str(), 0600), 0);
    } else if (c.what != "(nothing)") {
      tree.WriteFile("t.jpg", c.what);
      SetTime(tree.Path("t.jpg"), picture_time + c.offset);
    }
    FakeMaker maker;
    const UniqueFd dir(::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const ThumbnailTask task{dir.get(), "p.jpg", dir.get(), "t.jpg", ThumbnailFormat::kJpeg,
                             100,       c.remake};
    EXPECT_EQ(ThumbnailNeedsMaking(task), c.result != R::kUpToDate) << label;
    const ThumbnailOutcome outcome = MakeThumbnail(maker, task);
    EXPECT_EQ(outcome.result, c.result) << label;
    EXPECT_EQ(outcome.error, c.error) << label;
    struct stat st;
    ASSERT_EQ(::stat(tree.Path("t.jpg").c_str(), &st), 0) << label;
    if (c.result == R::kMade) {
      EXPECT_EQ(tree.ReadFile("t.jpg"), Marked("thumb of picture at 100")) << label;
      EXPECT_EQ(st.st_mtim.tv_sec, picture_time) << label;  // the picture's, as read
      EXPECT_EQ(st.st_mode & 0777, 0640u) << label;         // never more readable than it
    } else if (S_ISREG(st.st_mode)) {
      EXPECT_EQ(tree.ReadFile("t.jpg"), c.what) << label;
    }
    const auto names = std::distance(std::filesystem::directory_iterator(tree.root()), {});
    EXPECT_EQ(names, 2) << label;  // no temporary file is left
  }
}
// A picture's images that need making come from one decoding of it, each
// judged, written and finished on its own.
TEST(MakeThumbnail, APicturesImagesComeFromOneDecode) {
  const std::time_t picture_time = std::time(nullptr) - 1000;
  TempTree tree;
  tree.WriteFile("p.jpg", "picture");
  SetTime(tree.Path("p.jpg"), picture_time);
  tree.WriteFile("up_to_date.jpg", Marked("old", 50));
  SetTime(tree.Path("up_to_date.jpg"), picture_time);
  tree.WriteFile("someones.jpg", "2000x1500");
  SetTime(tree.Path("someones.jpg"), picture_time - 50);
  FakeMaker maker;
  const UniqueFd dir(::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const auto task = [&dir](const char* name, int size) {
    return ThumbnailTask{dir.get(), "p.jpg", dir.get(), name, ThumbnailFormat::kJpeg, size};
  };
  const ThumbnailTask tasks[] = {task("small.jpg", 100), task("up_to_date.jpg", 50),
                                 task("large.jpg", 800), task("someones.jpg", 100)};
  const std::vector<ThumbnailOutcome> outcomes = MakeThumbnails(maker, tasks);
  using R = ThumbnailResult;
  ASSERT_EQ(outcomes.size(), 4u);
  EXPECT_EQ(outcomes[0].result, R::kMade);
  EXPECT_EQ(outcomes[1].result, R::kUpToDate);
  EXPECT_EQ(outcomes[2].result, R::kMade);
  EXPECT_EQ(outcomes[3].result, R::kLeftAlone);
  EXPECT_EQ(maker.calls, 1);
  EXPECT_EQ(tree.ReadFile("small.jpg"), Marked("thumb of picture at 100"));
  EXPECT_EQ(tree.ReadFile("large.jpg"), Marked("thumb of picture at 800", 800));
  EXPECT_EQ(tree.ReadFile("someones.jpg"), "2000x1500");
  const auto names = std::distance(std::filesystem::directory_iterator(tree.root()), {});
  EXPECT_EQ(names, 5);  // no temporary file is left

  // From the first task's image when that is up to date, with the picture's time.
  ThumbnailTask from_display = task("from_display.jpg", 40);
  from_display.from_first = true;
  const ThumbnailTask pair[] = {task("up_to_date.jpg", 50), from_display};
  EXPECT_EQ(MakeThumbnails(maker, pair)[1].result, R::kMade);
  EXPECT_EQ(tree.ReadFile("from_display.jpg"),
            Marked("thumb of " + tree.ReadFile("up_to_date.jpg").substr(0, 64) + " at 40", 40));
  struct stat st;
  ASSERT_EQ(::stat(tree.Path("from_display.jpg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, picture_time);
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
