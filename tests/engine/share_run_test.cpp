// Runs on a network share, through bench/latency_fs: the pages do not depend
// on the number of threads nor on the order in which the share's calls
// finish, and a stop leaves only whole pages.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/default_jobs.h"
#include "engine/index_run.h"
#include "support/fake_run_host.h"
#include "support/latency_mount.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

using testing::FakeRunHost;
using testing::LatencyMount;
using testing::TempTree;

void MakeOddTree(const TempTree& tree) {
  const char* const kNames[] = {"Fish & Chips.jpg", "<b>bold<b>.png", "quote \"1\".gif",
                                "Caf\xC3\xA9.jpeg", "100% sure.jpg",  "hash #1.html",
                                "  leading.gif",    "A.gif",          "a.gif"};
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j < 4; ++j) {
      const std::string folder = "src/" + std::string(kNames[i]) + " " + std::to_string(j) + "/";
      for (const char* name : kNames) tree.WriteFile(folder + name);
      tree.MakeFolder(folder + "Sub #" + std::to_string(j));
    }
  }
  tree.WriteFile("template.htm",
                 "<!--#fullcategory-->\n<!--#subdirectorylist-->\n<!--#filelist-->\n");
}

// Every page and every temporary file, by path, with its bytes (read from
// the folder behind the share); removes them when asked.
std::map<std::string, std::string> Pages(const TempTree& tree, bool remove) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> pages;
  for (const auto& entry : fs::recursive_directory_iterator(tree.Path("src"))) {
    const std::string name = entry.path().filename().string();
    if (name != "index.html" && !name.starts_with(".pelorin2-")) continue;
    const std::string relative = fs::relative(entry.path(), tree.root()).string();
    pages[relative] = tree.ReadFile(relative);
    if (remove) fs::remove(entry.path());
  }
  return pages;
}

TEST(IndexRunOnAShare, SameBytesWhateverTheThreadsAndAStopLeavesWholePages) {
  for (const unsigned jitter_us : {0u, 400u}) {
    SCOPED_TRACE(::testing::Message() << "up to " << jitter_us << " us a call");
    TempTree tree;
    MakeOddTree(tree);
    tree.MakeFolder("mnt");
    const LatencyMount mount(tree.Path("src"), tree.Path("mnt"), 0, jitter_us);
    if (!mount.mounted()) GTEST_SKIP() << mount.why_not();
    EXPECT_EQ(DefaultJobs(tree.Path("mnt")), kRemoteDefaultJobs);

    PageOptions options;
    options.main_template = tree.Path("template.htm");
    options.index_filename = "index.html";
    const auto run = [&](int jobs, FakeRunHost& host, std::stop_token stop = {}) {
      IndexRun index_run(host, options, FileTypeList("gif png jpg jpeg html"));
      index_run.set_jobs(jobs);
      return index_run.CreateIndexes(tree.Path("mnt/"), tree.Path("mnt"), stop);
    };
    std::map<std::string, std::string> expected;
    for (const int jobs : {1, 3, 16}) {
      FakeRunHost host;
      EXPECT_TRUE(run(jobs, host).failures.empty()) << jobs;
      const auto pages = Pages(tree, /*remove=*/true);
      if (jobs == 1) expected = pages;
      EXPECT_EQ(pages, expected) << jobs << " threads";
    }
    EXPECT_EQ(expected.size(), 49u);

    FakeRunHost host;
    std::stop_source stop;
    host.on_yield = [&, yields = 0]() mutable {
      if (++yields == 20) stop.request_stop();
    };
    EXPECT_TRUE(run(16, host, stop.get_token()).stopped);
    const auto pages = Pages(tree, /*remove=*/false);
    EXPECT_LT(pages.size(), expected.size());
    for (const auto& [path, bytes] : pages) {
      EXPECT_TRUE(expected.contains(path) && bytes == expected[path]) << path;  // no temporary file
    }
  }
}

}  // namespace
}  // namespace pelorin
