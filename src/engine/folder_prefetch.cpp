#include "engine/folder_prefetch.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

namespace pelorin {

ReadFolderResult OpenAndReadFolder(int parent_fd, const std::string& name, bool follow_links) {
  ReadFolderResult result;
  result.fd = OpenFolder(parent_fd, name, follow_links);
  if (!result.fd.valid()) {
    result.error = ErrnoText(errno);
  } else if (!ReadFolder(result.fd.get(), &result.listing, &result.error, /*just_opened=*/true)) {
    result.fd = UniqueFd();
  }
  return result;
}

FolderPrefetch::FolderPrefetch(int threads, int ahead)
    : ahead_(static_cast<std::size_t>(std::max(ahead, 1))) {
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

FolderPrefetch::~FolderPrefetch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

// Null for a folder without subfolders, which is most of them.
std::shared_ptr<FolderPrefetch::Node> FolderPrefetch::MakeNode(int dir_fd,
                                                               const FolderListing& listing) {
  auto node = std::make_shared<Node>();
  for (const FolderEntry& entry : listing.entries) {
    if (entry.kind != EntryKind::kFolder) continue;
    node->slots.emplace_back();
    node->slots.back().name = entry.name;
  }
  if (node->slots.empty()) return nullptr;
  node->fd = UniqueFd(::fcntl(dir_fd, F_DUPFD_CLOEXEC, 0));
  // Without a descriptor the walk reads every subfolder itself.
  return node->fd.valid() ? node : nullptr;
}

void FolderPrefetch::Enter(int dir_fd, const FolderListing& listing) {
  std::unique_lock<std::mutex> lock(mutex_);
  std::shared_ptr<Node> node = std::move(taken_node_);
  if (!node) {
    lock.unlock();
    node = MakeNode(dir_fd, listing);
    if (!node) node = std::make_shared<Node>();
    lock.lock();
  }
  const std::size_t wake = std::min(node->slots.size(), threads_.size());
  levels_.push_back(std::move(node));
  lock.unlock();
  for (std::size_t i = 0; i < wake; ++i) work_ready_.notify_one();
}

void FolderPrefetch::Leave() {
  std::shared_ptr<Node> node;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    node = std::move(levels_.back());
    levels_.pop_back();
    for (std::size_t i = node->next; i < node->slots.size(); ++i) DropLocked(node->slots[i]);
  }
  work_ready_.notify_one();
}

ReadFolderResult FolderPrefetch::Take(int parent_fd, const std::string& name) {
  std::unique_lock<std::mutex> lock(mutex_);
  taken_node_.reset();
  Node& level = *levels_.back();
  while (level.next < level.slots.size() && level.slots[level.next].name != name) {
    DropLocked(level.slots[level.next++]);
  }
  if (level.next == level.slots.size()) {
    lock.unlock();
    return OpenAndReadFolder(parent_fd, name);
  }
  Slot& slot = level.slots[level.next++];
  if (slot.state == State::kPending) {
    // No worker has started on it: waking one would only add a wait.
    slot.state = State::kTaken;
    lock.unlock();
    return OpenAndReadFolder(parent_fd, name);
  }
  slot_ready_.wait(lock, [&slot] { return slot.state == State::kReady; });
  slot.state = State::kTaken;
  --held_;
  ReadFolderResult result = std::move(slot.result);
  taken_node_ = std::move(slot.node);
  lock.unlock();
  work_ready_.notify_one();
  return result;
}

void FolderPrefetch::DropLocked(Slot& slot) {
  slot.wanted = false;
  if (slot.state == State::kReady) {
    --held_;
    if (slot.node) {
      for (std::size_t i = slot.node->next; i < slot.node->slots.size(); ++i) {
        DropLocked(slot.node->slots[i]);
      }
    }
    slot.result = ReadFolderResult();
    slot.node.reset();
  }
  // A slot being read is let go by its worker.
  if (slot.state != State::kReading) slot.state = State::kTaken;
}

// The walk's coming order from node on: each subfolder, then what lies
// below it, then the next subfolder.
FolderPrefetch::Slot* FolderPrefetch::ScanLocked(const std::shared_ptr<Node>& node,
                                                 std::size_t* seen, std::shared_ptr<Node>* owner) {
  for (std::size_t i = node->next; i < node->slots.size(); ++i) {
    if (++*seen > ahead_) return nullptr;
    Slot& slot = node->slots[i];
    if (slot.state == State::kPending) {
      *owner = node;
      return &slot;
    }
    if (slot.node) {
      if (Slot* found = ScanLocked(slot.node, seen, owner)) return found;
      if (*seen > ahead_) return nullptr;
    }
  }
  return nullptr;
}

FolderPrefetch::Slot* FolderPrefetch::PickLocked(std::shared_ptr<Node>* owner) {
  if (held_ >= 2 * ahead_) return nullptr;
  std::size_t seen = 0;
  // Below the folder taken last first, then the rest of the deepest folder's
  // subfolders, then those of the folder above it, and so on up.
  if (taken_node_) {
    if (Slot* found = ScanLocked(taken_node_, &seen, owner)) return found;
  }
  for (auto it = levels_.rbegin(); it != levels_.rend() && seen <= ahead_; ++it) {
    if (Slot* found = ScanLocked(*it, &seen, owner)) return found;
  }
  return nullptr;
}

void FolderPrefetch::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    std::shared_ptr<Node> owner;
    Slot* slot = nullptr;
    work_ready_.wait(lock, [&] { return closing_ || (slot = PickLocked(&owner)) != nullptr; });
    if (closing_) return;
    slot->state = State::kReading;
    ++held_;
    lock.unlock();

    ReadFolderResult result = OpenAndReadFolder(owner->fd.get(), slot->name);
    std::shared_ptr<Node> node;
    if (result.fd.valid()) node = MakeNode(result.fd.get(), result.listing);

    lock.lock();
    if (slot->wanted) {
      slot->result = std::move(result);
      slot->node = std::move(node);
      slot->state = State::kReady;
      slot_ready_.notify_one();
      // Its subfolders are new work.
      if (slot->node) work_ready_.notify_one();
    } else {
      slot->state = State::kTaken;
      --held_;
    }
  }
}

}  // namespace pelorin
