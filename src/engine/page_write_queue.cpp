#include "engine/page_write_queue.h"

namespace pelorin {

namespace {

constexpr std::size_t kMaxPendingTasks = 64;
constexpr std::size_t kMaxPendingBytes = 8 << 20;
// Waking a sleeping thread costs two context switches, more than writing a
// small page. A second worker is woken only when this many pages wait while
// another one is busy; a full queue lets the walk go on once it is half empty.
constexpr std::size_t kWakeBacklog = 4;

bool Full(std::size_t tasks, std::size_t bytes) {
  return tasks >= kMaxPendingTasks || bytes >= kMaxPendingBytes;
}

}  // namespace

PageWriteQueue::PageWriteQueue(int threads, WriteFaults* faults) : faults_(faults) {
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

PageWriteQueue::~PageWriteQueue() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void PageWriteQueue::Submit(UniqueFd dir_fd, std::string folder, std::string name,
                            std::optional<ExistingPage> existing, std::size_t weight,
                            MakePage make_page) {
  std::unique_lock<std::mutex> lock(mutex_);
  // One page larger than the byte limit is still accepted on an empty queue.
  if (!tasks_.empty() && Full(tasks_.size(), pending_bytes_)) {
    ++waiting_submitters_;
    space_ready_.wait(
        lock, [this] { return tasks_.empty() || !Full(tasks_.size() * 2, pending_bytes_ * 2); });
    --waiting_submitters_;
  }
  pending_bytes_ += weight;
  tasks_.push_back({std::move(dir_fd), std::move(folder), std::move(name), existing, weight,
                    std::move(make_page)});
  const bool wake = idle_ > 0 && (busy_ == 0 || tasks_.size() >= kWakeBacklog);
  lock.unlock();
  if (wake) work_ready_.notify_one();
}

std::vector<PageWriteQueue::Outcome> PageWriteQueue::TakeOutcomes() {
  // Called at every status report, most often with nothing to take.
  if (!has_outcomes_.load(std::memory_order_acquire)) return {};
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Outcome> taken;
  taken.swap(outcomes_);
  has_outcomes_.store(false, std::memory_order_relaxed);
  return taken;
}

void PageWriteQueue::Finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  ++waiting_submitters_;
  space_ready_.wait(lock, [this] { return tasks_.empty() && busy_ == 0; });
  --waiting_submitters_;
}

// A worker takes pages until none is left, and only then sleeps.
void PageWriteQueue::Work() {
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

    if (!task.existing) task.existing = LookUpPage(task.dir_fd.get(), task.name);
    std::string page;
    std::string error;
    const bool refused = !task.make_page(task.dir_fd.get(), *task.existing, &page, &error);
    task.make_page = nullptr;  // lets go of the listing
    const WriteOutcome outcome = refused ? WriteOutcome::kFailed
                                         : WritePage(task.dir_fd.get(), task.folder, task.name,
                                                     page, &error, faults_, &*task.existing);
    task.dir_fd = UniqueFd();
    page = std::string();

    lock.lock();
    pending_bytes_ -= task.weight;
    --busy_;
    outcomes_.push_back(
        {std::move(task.folder), std::move(task.name), outcome, std::move(error), refused});
    has_outcomes_.store(true, std::memory_order_release);
    // The walk waits for room (half the queue) or, at the end, for all done.
    if (waiting_submitters_ > 0 &&
        (!Full(tasks_.size() * 2, pending_bytes_ * 2) || (tasks_.empty() && busy_ == 0))) {
      space_ready_.notify_all();
    }
  }
}

}  // namespace pelorin
