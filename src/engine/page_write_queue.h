// Writes pages on worker threads while the walk goes on. Pages are made on
// the walk's thread, so their bytes do not depend on the number of threads;
// only the writing is spread out. Outcomes are handed back to the walk's
// thread, which reports them to the host.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/folder_reader.h"
#include "engine/page_writer.h"

namespace pelorin {

class PageWriteQueue {
 public:
  struct Outcome {
    std::string folder;
    WriteOutcome outcome;
    std::string error;
  };

  PageWriteQueue(int threads, WriteFaults* faults);
  ~PageWriteQueue();  // finishes every queued page

  // Blocks while too much work is pending, which bounds memory.
  void Submit(UniqueFd dir_fd, std::string folder, std::string name, std::string page,
              const ExistingPage& existing);
  // Outcomes finished since the last call.
  std::vector<Outcome> TakeOutcomes();
  // Waits until every submitted page is written.
  void Finish();

 private:
  struct Task {
    UniqueFd dir_fd;
    std::string folder;
    std::string name;
    std::string page;
    ExistingPage existing;
  };
  void Work();

  WriteFaults* faults_;
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable space_ready_;
  std::deque<Task> tasks_;
  std::size_t pending_bytes_ = 0;
  int busy_ = 0;                // workers writing a page
  int idle_ = 0;                // workers asleep, waiting for pages
  int waiting_submitters_ = 0;  // Submit or Finish asleep
  bool closing_ = false;
  std::vector<Outcome> outcomes_;
  std::atomic<bool> has_outcomes_{false};  // lets TakeOutcomes skip the lock
  std::vector<std::thread> threads_;
};

}  // namespace pelorin
