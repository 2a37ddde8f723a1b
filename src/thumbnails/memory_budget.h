// The memory that pictures decoded whole may hold at once, shared by every
// thread that makes thumbnails. Most pictures stream through in strips and
// need none of it; an interlaced PNG, a progressive JPEG or a GIF is
// decoded whole first, and two of those at once would take gigabytes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>

namespace pelorin {

class MemoryBudget {
 public:
  explicit MemoryBudget(std::int64_t bytes) : limit_(bytes) {}

  std::int64_t limit() const { return limit_; }

  // Waits until bytes fit beside what others hold, or nobody holds any (one
  // picture always may run). False, holding nothing, when stop came first.
  bool Acquire(std::int64_t bytes, std::stop_token stop);
  void Release(std::int64_t bytes);

 private:
  const std::int64_t limit_;
  std::mutex mutex_;
  std::condition_variable_any released_;
  std::int64_t held_ = 0;
  int holders_ = 0;
};

// Holds bytes of a budget for as long as it lives.
class BudgetHold {
 public:
  BudgetHold() = default;
  BudgetHold(MemoryBudget* budget, std::int64_t bytes) : budget_(budget), bytes_(bytes) {}
  BudgetHold(const BudgetHold&) = delete;
  BudgetHold& operator=(const BudgetHold&) = delete;
  ~BudgetHold() {
    if (budget_ != nullptr) budget_->Release(bytes_);
  }

 private:
  MemoryBudget* budget_ = nullptr;
  std::int64_t bytes_ = 0;
};

}  // namespace pelorin
