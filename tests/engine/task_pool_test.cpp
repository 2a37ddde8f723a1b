#include "engine/task_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace pelorin {
namespace {

// Every task runs once, also those posted by tasks (a folder's pages after
// its thumbnails), and WaitIdle returns only when all are done; a
// reservation beyond the limit waits until room is given back.
TEST(TaskPool, RunsEveryTaskOnceAndBoundsWhatIsHeld) {
  for (const int threads : {1, 2, 5}) {
    SCOPED_TRACE(threads);
    std::atomic<int> done{0};
    int ticks = 0;
    {
      TaskPool pool(threads);
      for (int i = 0; i < 50; ++i) {
        pool.Reserve(1 << 20, [&] { ++ticks; });
        pool.Post(
            [&, i] {
              std::this_thread::sleep_for(std::chrono::microseconds(100 * (i % 3)));
              pool.Post([&] { ++done; }, /*urgent=*/true);
              ++done;
              pool.Release(1 << 20);
            },
            false, i % 2 == 0);
      }
      pool.WaitIdle([&] { ++ticks; });
      EXPECT_EQ(done.load(), 100);
    }
    EXPECT_EQ(done.load(), 100);
    if (threads == 1) {
      EXPECT_EQ(ticks, 0);  // inline tasks never make anyone wait
    }
  }
}

}  // namespace
}  // namespace pelorin
