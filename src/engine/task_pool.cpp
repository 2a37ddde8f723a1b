#include "engine/task_pool.h"

#include <chrono>
#include <future>

namespace pelorin {

namespace {

// A second thread is woken for light tasks only when this many wait while
// another thread is busy.
constexpr std::size_t kWakeBacklog = 4;
constexpr auto kTick = std::chrono::milliseconds(30);
// What the folders handed out may hold, in bytes and in folders: the walk
// stays a few dozen folders ahead of the writers, whose listings then stay
// in the processor's caches.
constexpr std::size_t kMaxReserved = 8 << 20;
constexpr int kMaxFoldersHeld = 64;

}  // namespace

TaskPool::TaskPool(int threads, std::function<void()> tick) : tick_(std::move(tick)) {
  if (threads <= 1) return;
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

TaskPool::~TaskPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void TaskPool::Post(Task task, bool urgent, bool heavy) {
  if (inline_tasks()) {
    if (heavy && tick_) {
      RunAside(std::move(task));
    } else {
      task();
    }
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (urgent) {
    tasks_.push_front(std::move(task));
  } else {
    tasks_.push_back(std::move(task));
  }
  const bool wake = idle_ > 0 && (busy_ == 0 || heavy || tasks_.size() >= kWakeBacklog);
  lock.unlock();
  if (wake) work_ready_.notify_one();
}

void TaskPool::RunAside(Task task) {
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  std::thread aside([&] {
    task();
    done.set_value();
  });
  while (finished.wait_for(kTick) != std::future_status::ready) tick_();
  aside.join();
}

void TaskPool::WaitIdle(const std::function<void()>& tick) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!tasks_.empty() || busy_ > 0) {
    // Light tasks may wait for a backlog that never comes: wake a thread.
    if (!tasks_.empty() && idle_ > 0) work_ready_.notify_one();
    idle_ready_.wait_for(lock, kTick);
    if (tasks_.empty() && busy_ == 0) break;
    lock.unlock();
    tick();
    lock.lock();
  }
}

// Taking and giving back room is a counter alone while there is room, as
// it is for almost every folder; only a full pool takes the lock and waits.
void TaskPool::Reserve(std::size_t bytes, const std::function<void()>& tick) {
  for (;;) {
    std::size_t now = reserved_.load(std::memory_order_relaxed);
    // Inline tasks are done before Post returns: there is always room.
    if (inline_tasks() || now == 0 ||
        (now + bytes <= kMaxReserved && held_.load(std::memory_order_relaxed) < kMaxFoldersHeld)) {
      if (reserved_.compare_exchange_weak(now, now + bytes, std::memory_order_acq_rel)) {
        held_.fetch_add(1, std::memory_order_relaxed);
        return;
      }
      continue;
    }
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ++room_waiters_;
      if (!tasks_.empty() && idle_ > 0) work_ready_.notify_one();
      room_ready_.wait_for(lock, kTick);
      --room_waiters_;
    }
    now = reserved_.load(std::memory_order_relaxed);
    if (now != 0 &&
        (now + bytes > kMaxReserved || held_.load(std::memory_order_relaxed) >= kMaxFoldersHeld)) {
      tick();
    }
  }
}

void TaskPool::Release(std::size_t bytes) {
  held_.fetch_sub(1, std::memory_order_relaxed);
  reserved_.fetch_sub(bytes, std::memory_order_acq_rel);
  if (room_waiters_.load(std::memory_order_acquire) == 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  room_ready_.notify_all();
}

// A thread takes tasks until none is left, and only then sleeps.
void TaskPool::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (tasks_.empty()) {
      if (closing_) return;
      ++idle_;
      work_ready_.wait(lock, [this] { return closing_ || !tasks_.empty(); });
      --idle_;
      continue;
    }
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    ++busy_;
    lock.unlock();
    task();
    task = nullptr;  // lets go of what it holds before the count drops
    lock.lock();
    --busy_;
    if (tasks_.empty() && busy_ == 0) idle_ready_.notify_all();
  }
}

}  // namespace pelorin
