// PageWriteQueue with real folders: every submitted page is written by some
// thread and reported exactly once, and Finish returns only when all are.
#include "engine/page_write_queue.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <thread>

#include "support/fake_write_faults.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

using testing::FakeWriteFaults;
using testing::TempTree;

TEST(PageWriteQueue, WritesEveryPageAndReportsEachOnce) {
  constexpr int kFolders = 40;
  const struct {
    int threads;
    std::size_t weight;  // more than the queue holds makes Submit wait for room
  } cases[] = {{1, 100}, {2, 100}, {4, 100}, {3, std::size_t{16} << 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.threads << " threads, weight " << c.weight);
    TempTree tree;
    const std::string failing = tree.Path("f7/");
    FakeWriteFaults faults(failing, FakeWriteFaults::Step::kRename, EIO);
    std::vector<PageWriteQueue::Outcome> outcomes;
    {
      PageWriteQueue queue(c.threads, &faults);
      for (int i = 0; i < kFolders; ++i) {
        const std::string folder = "f" + std::to_string(i);
        tree.MakeFolder(folder);
        queue.Submit(OpenFolder(AT_FDCWD, tree.Path(folder), true), tree.Path(folder + "/"),
                     "index.html", ExistingPage(), c.weight,
                     [i](int, const ExistingPage&, std::string* page, std::string*) {
                       std::this_thread::sleep_for(std::chrono::microseconds(200 * (i % 3)));
                       *page = "page " + std::to_string(i);
                       return true;
                     });
        for (auto& outcome : queue.TakeOutcomes()) outcomes.push_back(std::move(outcome));
      }
      queue.Finish();
      for (int i = 0; i < kFolders; ++i) {
        const std::string page = "f" + std::to_string(i) + "/index.html";
        EXPECT_EQ(tree.ReadFile(page), i == 7 ? "" : "page " + std::to_string(i)) << page;
      }
      for (auto& outcome : queue.TakeOutcomes()) outcomes.push_back(std::move(outcome));
      EXPECT_TRUE(queue.TakeOutcomes().empty());
    }
    std::map<std::string, int> reported;
    for (const PageWriteQueue::Outcome& o : outcomes) {
      ++reported[o.folder];
      const bool fails = o.folder == failing;
      EXPECT_EQ(o.outcome, fails ? WriteOutcome::kFailed : WriteOutcome::kWritten) << o.folder;
      EXPECT_EQ(o.error, fails ? ErrnoText(EIO) : "") << o.folder;
    }
    EXPECT_EQ(reported.size(), std::size_t{kFolders});
    for (const auto& [folder, times] : reported) EXPECT_EQ(times, 1) << folder;
  }
}

}  // namespace
}  // namespace pelorin
