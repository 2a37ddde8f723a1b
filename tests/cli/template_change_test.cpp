// A run makes every page from one whole version of its template, read when
// it starts; a template edited, replaced, deleted or made unreadable
// mid-run changes no page and fails no folder, and the summary says so.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "engine/index_run.h"
#include "engine/run_report.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

namespace pelorin {
namespace {

using testing::TempTree;

// Calls the hook once, just before the second folder's page is made.
class ChangingHost : public RunHost {
 public:
  explicit ChangingHost(std::function<void()> hook) : hook_(std::move(hook)) {}
  bool AskYesNo(const std::string&, const std::string&) override { return true; }
  void ShowProgress(const RunProgress& progress) override {
    if (progress.folders_reached == 2 && hook_) std::exchange(hook_, nullptr)();
  }
  void Yield() override {}

 private:
  std::function<void()> hook_;
};

RunSummary RunWith(const TempTree& tree, std::function<void()> hook, int jobs = 1) {
  ChangingHost host(std::move(hook));
  PageOptions options;
  options.main_template = tree.Path("template.htm");
  options.index_filename = "index.html";
  options.pics_in_html = tree.Exists("picture.htm");
  options.picture_template = tree.Path("picture.htm");
  IndexRun run(host, options, FileTypeList("jpg"));
  run.set_jobs(jobs);
  const std::string folder = tree.Path("tree");
  return run.CreateIndexes(folder + "/", folder);
}

// Writes text over the template in place, then gives it back its old
// modification time: only its change time tells.
void RewriteKeepingMtime(const std::string& path, const std::string& text) {
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  const timespec times[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(::futimens(fd, times), 0);
  ::close(fd);
}

// The root is the first folder, a the second.
TEST(TemplateDuringRun, ChangesLeaveEveryPageFromTheFirstVersion) {
  struct Case {
    const char* what;
    std::function<void(const std::string& path)> change;
    bool changed;  // what the summary must say
  };
  const Case cases[] = {
      {"rewritten, same size and mtime",
       [](const std::string& path) { RewriteKeepingMtime(path, "NEW\r\n"); }, true},
      {"replaced by rename",
       [](const std::string& path) {
         const std::string other = path + ".new";
         FILE* out = std::fopen(other.c_str(), "w");
         std::fputs("NEW\r\n", out);
         std::fclose(out);
         ::rename(other.c_str(), path.c_str());
       },
       true},
      {"deleted", [](const std::string& path) { ::unlink(path.c_str()); }, true},
      {"saved with the same bytes",
       [](const std::string& path) { RewriteKeepingMtime(path, "OLD\r\n"); }, false},
      {"permissions changed", [](const std::string& path) { ::chmod(path.c_str(), 0600); }, false},
  };
  for (int jobs : {1, 3}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + ", jobs " + std::to_string(jobs));
      TempTree tree;
      tree.WriteFile("template.htm", "OLD\r\n");
      tree.WriteFile("tree/a/x.jpg");
      tree.WriteFile("tree/b/y.jpg");
      const std::string path = tree.Path("template.htm");
      const RunSummary summary = RunWith(
          tree, [&] { c.change(path); }, jobs);
      for (const char* page : {"tree/index.html", "tree/a/index.html", "tree/b/index.html"}) {
        EXPECT_EQ(tree.ReadFile(page), "OLD\r\n") << page;
      }
      EXPECT_TRUE(summary.failures.empty());
      EXPECT_EQ(summary.folders_indexed, 3);
      EXPECT_EQ(summary.template_changed, c.changed);
      EXPECT_EQ(SummaryLine(summary).ends_with(
                    "; the template changed during the run; run again to use the new one"),
                c.changed);
    }
  }
  // The picture template too: one version for every picture page, and the
  // run says when it changed.
  TempTree tree;
  tree.WriteFile("template.htm", "OLD\r\n");
  tree.WriteFile("picture.htm", "PIC\r\n");
  tree.WriteFile("tree/a/x.jpg");
  tree.WriteFile("tree/b/y.jpg");
  const RunSummary summary = RunWith(
      tree, [&] { RewriteKeepingMtime(tree.Path("picture.htm"), "NEW\r\n"); }, 3);
  EXPECT_EQ(tree.ReadFile("tree/a/x.jpg.html"), "PIC\r\n<!-- made by Pelorin2 -->\r\n");
  EXPECT_EQ(tree.ReadFile("tree/b/y.jpg.html"), "PIC\r\n<!-- made by Pelorin2 -->\r\n");
  EXPECT_TRUE(summary.template_changed);
}

// Permission bits stop nothing for root, so the run is made by an ordinary user.
TEST(TemplateDuringRun, MadeUnreadableFailsNoFolder) {
  TempTree tree;
  tree.WriteFile("template.htm", "OLD\r\n");
  tree.WriteFile("tree/a/x.jpg");
  tree.GiveTo(testing::UnprivilegedUid(), testing::UnprivilegedGid());
  const std::string path = tree.Path("template.htm");
  const auto result = testing::RunUnprivileged([&] {
    const RunSummary summary = RunWith(tree, [&] { ::chmod(path.c_str(), 0); });
    return std::to_string(summary.failures.size()) + " " + std::to_string(summary.template_changed);
  });
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, "0 1");
  EXPECT_EQ(tree.ReadFile("tree/index.html"), "OLD\r\n");
  EXPECT_EQ(tree.ReadFile("tree/a/index.html"), "OLD\r\n");
}

// An editor saving in place (truncate, then write in parts) again and again
// while a run starts: the run either makes every page from one whole
// version, or finds no stable version and fails without writing a page.
TEST(TemplateDuringRun, SavesInPlaceNeverTearAPage) {
  const std::string first(40000, 'A');
  const std::string second(40000, 'B');
  TempTree tree;
  tree.WriteFile("template.htm", first);
  for (int i = 0; i < 40; ++i) tree.WriteFile("tree/d" + std::to_string(i) + "/x.jpg");
  const std::string path = tree.Path("template.htm");
  std::atomic<bool> saving{true};
  std::thread editor([&] {
    for (int n = 0; saving; ++n) {
      const std::string& text = n % 2 == 0 ? second : first;
      const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
      if (fd < 0) continue;
      for (std::size_t done = 0; done < text.size(); done += 1000) {
        if (::write(fd, text.data() + done, 1000) != 1000) break;
      }
      ::close(fd);
      std::this_thread::sleep_for(std::chrono::milliseconds(n % 20 == 0 ? 200 : 2));
    }
  });
  const RunSummary summary = RunWith(tree, nullptr, 3);
  saving = false;
  editor.join();

  if (!summary.failures.empty()) {
    ASSERT_EQ(summary.failures.size(), 1u);
    EXPECT_EQ(summary.failures[0].reason,
              "cannot read the template " + path +
                  ": it kept changing while it was read; save it and run again");
    EXPECT_EQ(summary.pages_written, 0);
    return;
  }
  EXPECT_EQ(summary.pages_written, 41);
  const std::string top = tree.ReadFile("tree/index.html");
  // A template's last line gets its line break.
  EXPECT_TRUE(top == first + "\r\n" || top == second + "\r\n") << top.size();
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(tree.ReadFile("tree/d" + std::to_string(i) + "/index.html"), top) << i;
  }
}

}  // namespace
}  // namespace pelorin
