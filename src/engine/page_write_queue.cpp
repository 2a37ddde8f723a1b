#include "engine/page_write_queue.h"

namespace pelorin {

namespace {

constexpr std::size_t kMaxPendingTasks = 64;
constexpr std::size_t kMaxPendingBytes = 8 << 20;

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
                            std::string page, const ExistingPage& existing) {
  std::unique_lock<std::mutex> lock(mutex_);
  // One page larger than the byte limit is still accepted on an empty queue.
  space_ready_.wait(lock, [this] {
    return tasks_.empty() ||
           (tasks_.size() < kMaxPendingTasks && pending_bytes_ < kMaxPendingBytes);
  });
  pending_bytes_ += page.size();
  tasks_.push_back(
      {std::move(dir_fd), std::move(folder), std::move(name), std::move(page), existing});
  lock.unlock();
  work_ready_.notify_one();
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
  space_ready_.wait(lock, [this] { return tasks_.empty() && busy_ == 0; });
}

void PageWriteQueue::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [this] { return closing_ || !tasks_.empty(); });
    if (tasks_.empty()) return;  // closing and nothing left
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    pending_bytes_ -= task.page.size();
    ++busy_;
    lock.unlock();
    space_ready_.notify_all();

    std::string error;
    const WriteOutcome outcome =
        WritePage(task.dir_fd.get(), task.folder, task.name, task.page, &error, faults_,
                  &task.existing);

    lock.lock();
    --busy_;
    outcomes_.push_back({std::move(task.folder), outcome, std::move(error)});
    has_outcomes_.store(true, std::memory_order_release);
    space_ready_.notify_all();
  }
}

}  // namespace pelorin
