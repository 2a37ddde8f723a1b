// Makes and writes pages on worker threads while the walk goes on. A page is
// made from what the walk's thread captured for it (the folder's listing and
// the template as they were), so its bytes do not depend on the number of
// threads or on when it is made. Outcomes are handed back to the walk's
// thread, which reports them to the host.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
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
    std::string name;  // the page's file name
    WriteOutcome outcome;
    std::string error;
    bool refused = false;  // left alone by MakePage; error says why
  };

  PageWriteQueue(int threads, WriteFaults* faults);
  ~PageWriteQueue();  // finishes every queued page

  // Makes the page of one folder into *page, knowing what is under its name
  // in the folder open at dir_fd; returns false with the reason in *refusal
  // to leave that alone.
  using MakePage = std::function<bool(int dir_fd, const ExistingPage& existing, std::string* page,
                                      std::string* refusal)>;

  // Blocks while too much work is pending, which bounds memory; weight is
  // about how many bytes the task holds until it is written. Without
  // existing, the writing thread looks at the page's name itself: on a
  // network share that look waits a round trip, which the walk must not.
  void Submit(UniqueFd dir_fd, std::string folder, std::string name,
              std::optional<ExistingPage> existing, std::size_t weight, MakePage make_page);
  // Outcomes finished since the last call.
  std::vector<Outcome> TakeOutcomes();
  // Waits until every submitted page is written.
  void Finish();

 private:
  struct Task {
    UniqueFd dir_fd;
    std::string folder;
    std::string name;
    std::optional<ExistingPage> existing;
    std::size_t weight;
    MakePage make_page;
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
