// Reading ahead of a depth-first walk. On a network share every open and every
// read of a folder waits a round trip; reading the folders the walk is about
// to enter on worker threads overlaps those waits. The walk still takes each
// folder in its own order, so what it does with them (and every page made
// from them) does not depend on the number of threads or on which read
// finished first.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/folder_reader.h"

namespace pelorin {

// A folder opened and read, or why it could not be.
struct ReadFolderResult {
  UniqueFd fd;  // valid when read
  FolderListing listing;
  std::string error;  // empty when read
};

// Opens the folder name inside the folder open at parent_fd and reads its
// entries. Below the walk's start links are not followed.
ReadFolderResult OpenAndReadFolder(int parent_fd, const std::string& name,
                                   bool follow_links = false);

class FolderPrefetch {
 public:
  // threads: how many folders are read at once. At most `ahead` folders of
  // the walk's coming order are read before the walk takes them, and never
  // more than twice that are held, which bounds memory.
  FolderPrefetch(int threads, int ahead);
  ~FolderPrefetch();  // lets reads under way finish, drops what was read
  FolderPrefetch(const FolderPrefetch&) = delete;
  FolderPrefetch& operator=(const FolderPrefetch&) = delete;

  // The walk has read the folder open at dir_fd (the descriptor stays the
  // caller's), the one it took last or its start, and will enter the
  // subfolders of listing in its order.
  void Enter(int dir_fd, const FolderListing& listing);
  // The walk is done with the folder it entered last.
  void Leave();
  // The subfolder name of the folder entered last (open at parent_fd),
  // opened and read: waits while a worker reads it, and reads it on the
  // calling thread when none has started. The subfolders before it that the
  // walk passed over are dropped.
  ReadFolderResult Take(int parent_fd, const std::string& name);

 private:
  enum class State { kPending, kReading, kReady, kTaken };
  struct Node;
  struct Slot {
    std::string name;
    State state = State::kPending;
    bool wanted = true;  // false once the walk passed it over or left
    ReadFolderResult result;
    // Its own subfolders, once read: a worker reads ahead below a folder
    // before the walk gets there.
    std::shared_ptr<Node> node;
  };
  // A folder whose subfolders may be read, through the workers' own
  // descriptor of it, so a walk that leaves early never pulls it from under
  // a read.
  struct Node {
    UniqueFd fd;
    std::vector<Slot> slots;
    std::size_t next = 0;  // the first slot the walk has not taken
  };
  static std::shared_ptr<Node> MakeNode(int dir_fd, const FolderListing& listing);

  void Work();
  // The first pending slot among the next `ahead_` of the walk's order, when
  // fewer than 2 * ahead_ are held; null otherwise.
  Slot* PickLocked(std::shared_ptr<Node>* owner);
  Slot* ScanLocked(const std::shared_ptr<Node>& node, std::size_t* seen,
                   std::shared_ptr<Node>* owner);
  void DropLocked(Slot& slot);

  const std::size_t ahead_;
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable slot_ready_;
  std::vector<std::shared_ptr<Node>> levels_;  // the walk's path, deepest last
  std::shared_ptr<Node> taken_node_;           // read below the folder taken last
  std::size_t held_ = 0;                       // slots being read or read, not taken
  bool closing_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace pelorin
