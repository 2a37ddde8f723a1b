#include "thumbnails/memory_budget.h"

namespace pelorin {

bool MemoryBudget::Acquire(std::int64_t bytes, std::stop_token stop) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!released_.wait(lock, stop, [&] { return holders_ == 0 || held_ + bytes <= limit_; })) {
    return false;
  }
  held_ += bytes;
  ++holders_;
  return true;
}

void MemoryBudget::Release(std::int64_t bytes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ -= bytes;
    --holders_;
  }
  released_.notify_all();
}

}  // namespace pelorin
