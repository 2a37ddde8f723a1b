// The threads a run's work goes to: thumbnails and pages of every folder,
// taken in turn by a fixed number of threads, so that no folder waits for
// another's pictures. With one thread there is no pool: a task runs on the
// caller's thread as it is posted, which keeps single-threaded runs free of
// any hand-over.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace pelorin {

class TaskPool {
 public:
  using Task = std::function<void()>;

  // tick: called about every 30 ms on the caller's thread while it waits
  // (see Post, WaitIdle and Reserve).
  explicit TaskPool(int threads, std::function<void()> tick = {});
  ~TaskPool();  // runs every task still queued

  bool inline_tasks() const { return threads_.empty(); }

  // Queues a task and never blocks. urgent: taken before the others (a
  // folder's pages, which let go of the folder once written). heavy: worth
  // waking a sleeping thread for at once (a thumbnail); light tasks wake a
  // second thread only when several wait, as a wake-up costs more than a
  // small page. Without threads a heavy task runs on a thread of its own
  // while the caller waits and ticks, so a stop is seen while it runs.
  void Post(Task task, bool urgent = false, bool heavy = false);

  // Waits until no task is queued or running, calling tick about every
  // 30 ms on this thread while it waits.
  void WaitIdle(const std::function<void()>& tick);

  // Bounds what the run holds in memory: Reserve waits (ticking) while the
  // work handed out holds more bytes or more folders than the limits,
  // Release gives room back. One reservation larger than the limit is
  // granted when nothing else is held.
  void Reserve(std::size_t bytes, const std::function<void()>& tick);
  void Release(std::size_t bytes);

 private:
  void Work();
  void RunAside(Task task);

  std::function<void()> tick_;
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable idle_ready_;
  std::deque<Task> tasks_;
  int busy_ = 0;  // threads running a task
  int idle_ = 0;  // threads asleep, waiting for tasks
  bool closing_ = false;
  std::condition_variable room_ready_;
  std::atomic<std::size_t> reserved_{0};
  std::atomic<int> held_{0};          // reservations not given back
  std::atomic<int> room_waiters_{0};  // Reserve asleep; changed under the lock
  std::vector<std::thread> threads_;
};

}  // namespace pelorin
