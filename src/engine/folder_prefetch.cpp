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

void FolderPrefetch::Enter(int dir_fd, const FolderListing& listing) {
  auto level = std::make_shared<Level>();
  for (const FolderEntry& entry : listing.entries) {
    if (entry.kind != EntryKind::kFolder) continue;
    level->slots.emplace_back();
    level->slots.back().name = entry.name;
  }
  // The workers open the subfolders through a descriptor of their own, so a
  // walk that leaves early never pulls it from under a read.
  if (!level->slots.empty()) level->parent = UniqueFd(::fcntl(dir_fd, F_DUPFD_CLOEXEC, 0));
  // Without one, the walk reads every subfolder itself.
  if (!level->parent.valid()) level->slots.clear();
  const std::size_t wake = std::min(level->slots.size(), threads_.size());
  {
    std::lock_guard<std::mutex> lock(mutex_);
    levels_.push_back(std::move(level));
  }
  for (std::size_t i = 0; i < wake; ++i) work_ready_.notify_one();
}

void FolderPrefetch::Leave() {
  std::shared_ptr<Level> level;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    level = std::move(levels_.back());
    levels_.pop_back();
    for (std::size_t i = level->next; i < level->slots.size(); ++i) DropLocked(level->slots[i]);
  }
  work_ready_.notify_one();
}

ReadFolderResult FolderPrefetch::Take(int parent_fd, const std::string& name) {
  std::unique_lock<std::mutex> lock(mutex_);
  Level& level = *levels_.back();
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
  lock.unlock();
  work_ready_.notify_one();
  return result;
}

void FolderPrefetch::DropLocked(Slot& slot) {
  slot.wanted = false;
  if (slot.state == State::kReady) {
    --held_;
    slot.result = ReadFolderResult();
  }
  // A slot being read is let go by its worker.
  if (slot.state != State::kReading) slot.state = State::kTaken;
}

FolderPrefetch::Slot* FolderPrefetch::PickLocked(std::shared_ptr<Level>* level) {
  if (held_ >= 2 * ahead_) return nullptr;
  std::size_t seen = 0;
  // The walk's coming order: the rest of the deepest folder's subfolders,
  // then those of the folder above it, and so on up.
  for (auto it = levels_.rbegin(); it != levels_.rend(); ++it) {
    std::vector<Slot>& slots = (*it)->slots;
    for (std::size_t i = (*it)->next; i < slots.size(); ++i) {
      if (++seen > ahead_) return nullptr;
      if (slots[i].state == State::kPending) {
        *level = *it;
        return &slots[i];
      }
    }
  }
  return nullptr;
}

void FolderPrefetch::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    std::shared_ptr<Level> level;
    Slot* slot = nullptr;
    work_ready_.wait(lock, [&] { return closing_ || (slot = PickLocked(&level)) != nullptr; });
    if (closing_) return;
    slot->state = State::kReading;
    ++held_;
    lock.unlock();

    ReadFolderResult result = OpenAndReadFolder(level->parent.get(), slot->name);

    lock.lock();
    if (slot->wanted) {
      slot->result = std::move(result);
      slot->state = State::kReady;
      slot_ready_.notify_one();
    } else {
      slot->state = State::kTaken;
      --held_;
    }
  }
}

}  // namespace pelorin
