// A run reads its template once and only looks at the open file before each
// folder; a template edited, replaced, deleted or made unreadable mid-run
// must still be noticed at the next folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "engine/index_run.h"
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
  void ShowStatus(const std::string& line) override {
    if (line == "Indexed 2 folders" && hook_) std::exchange(hook_, nullptr)();
  }
  void Yield() override {}
  void OpenDocument(const std::string&) override {}

 private:
  std::function<void()> hook_;
};

RunSummary RunWith(const TempTree& tree, std::function<void()> hook, int jobs = 1) {
  ChangingHost host(std::move(hook));
  PageOptions options;
  options.main_template = tree.Path("template.htm");
  options.index_filename = "index.html";
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

// The root is the first folder, a the second; a's page shows which template
// it was made from, or is missing when the template could not be read.
TEST(TemplateDuringRun, ChangesAreNoticedAtTheNextFolder) {
  struct Case {
    const char* what;
    std::function<void(const std::string& path)> change;
    const char* page_a;  // nullptr: a fails
  };
  const Case cases[] = {
      {"rewritten, same size and mtime",
       [](const std::string& path) { RewriteKeepingMtime(path, "NEW\r\n"); }, "NEW\r\n"},
      {"replaced by rename",
       [](const std::string& path) {
         const std::string other = path + ".new";
         FILE* out = std::fopen(other.c_str(), "w");
         std::fputs("NEW\r\n", out);
         std::fclose(out);
         ::rename(other.c_str(), path.c_str());
       },
       "NEW\r\n"},
      {"deleted", [](const std::string& path) { ::unlink(path.c_str()); }, nullptr},
  };
  // With jobs, pages are made on other threads, still from the template as
  // it was when their folder was reached.
  for (int jobs : {1, 3}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + ", jobs " + std::to_string(jobs));
      TempTree tree;
      tree.WriteFile("template.htm", "OLD\r\n");
      tree.WriteFile("tree/a/x.jpg");
      const std::string path = tree.Path("template.htm");
      const RunSummary summary = RunWith(
          tree, [&] { c.change(path); }, jobs);
      EXPECT_EQ(tree.ReadFile("tree/index.html"), "OLD\r\n");
      if (c.page_a != nullptr) {
        EXPECT_EQ(tree.ReadFile("tree/a/index.html"), c.page_a);
        EXPECT_TRUE(summary.failures.empty());
      } else {
        EXPECT_FALSE(tree.Exists("tree/a/index.html"));
        ASSERT_EQ(summary.failures.size(), 1u);
        EXPECT_EQ(summary.failures[0].reason,
                  "cannot read the template " + path + ": No such file or directory");
      }
    }
  }
}

// Permission bits stop nothing for root, so the run is made by an ordinary user.
TEST(TemplateDuringRun, MadeUnreadableFailsTheFoldersAfter) {
  TempTree tree;
  tree.WriteFile("template.htm", "OLD\r\n");
  tree.WriteFile("tree/a/x.jpg");
  tree.GiveTo(testing::UnprivilegedUid(), testing::UnprivilegedGid());
  const std::string path = tree.Path("template.htm");
  const auto result = testing::RunUnprivileged([&] {
    const RunSummary summary = RunWith(tree, [&] { ::chmod(path.c_str(), 0); });
    std::string text;
    for (const Failure& failure : summary.failures) text += failure.reason + "\n";
    return text;
  });
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, "cannot read the template " + path + ": Permission denied\n");
  EXPECT_EQ(tree.ReadFile("tree/index.html"), "OLD\r\n");
  EXPECT_FALSE(tree.Exists("tree/a/index.html"));
}

}  // namespace
}  // namespace pelorin
