#include "engine/run_templates.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "common/folder_reader.h"

namespace pelorin {

namespace {

// An editor saving in place truncates and writes while a read may be under
// way; a read is kept only when the file looked the same before and after.
// A file changed only just now may be between the truncation and the write
// of a save: it is looked at again after a pause before it counts as read.
constexpr int kTemplateReadAttempts = 8;
constexpr auto kTemplateReadPause = std::chrono::milliseconds(50);

bool ChangedWithin(const struct stat& st, std::chrono::nanoseconds span) {
  const auto changed =
      std::chrono::seconds(st.st_ctim.tv_sec) + std::chrono::nanoseconds(st.st_ctim.tv_nsec);
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return now - changed < span;
}

bool SameTimes(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool SameVersion(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         SameTimes(a.st_mtim, b.st_mtim) && SameTimes(a.st_ctim, b.st_ctim);
}

// Reads the whole file at path as one version: the same file, size and
// times before and after the read, a few attempts apart.
bool ReadStableFile(const std::string& path, std::string* text, struct stat* st,
                    std::string* error) {
  for (int attempt = 0; attempt < kTemplateReadAttempts; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kTemplateReadPause);
    // O_NONBLOCK: a FIFO in its place must not hang the run.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid() || ::fstat(fd.get(), st) != 0) {
      *error = ErrnoText(errno);
      return false;
    }
    if (!S_ISREG(st->st_mode)) {
      *error = "not a regular file";
      return false;
    }
    if (!ReadWholeFile(fd.get(), text, error)) return false;
    struct stat after;
    if (::fstat(fd.get(), &after) != 0 || !SameVersion(*st, after) ||
        static_cast<std::size_t>(st->st_size) != text->size()) {
      continue;
    }
    if (ChangedWithin(*st, kTemplateReadPause)) std::this_thread::sleep_for(kTemplateReadPause);
    struct stat by_path;
    if (::stat(path.c_str(), &by_path) == 0 && SameVersion(*st, by_path)) return true;
  }
  *error = "it kept changing while it was read; save it and run again";
  return false;
}

}  // namespace

bool RunTemplates::Load(const std::string& path, Loaded* loaded, std::string* error) {
  *loaded = Loaded();
  loaded->path = path;
  if (!ReadStableFile(path, &loaded->text, &loaded->st, error)) return false;
  loaded->page = std::make_shared<const PageTemplate>(loaded->text);
  return true;
}

bool RunTemplates::LoadMain(const std::string& path, std::string* error) {
  return Load(path, &main_, error);
}

void RunTemplates::LoadPicture(const std::string& path) {
  picture_error_.clear();
  Load(path, &picture_, &picture_error_);
}

bool RunTemplates::Changed(const Loaded& loaded) {
  if (!loaded.page) return false;
  struct stat now;
  if (::stat(loaded.path.c_str(), &now) == 0 && SameVersion(now, loaded.st)) return false;
  std::string text;
  struct stat st;
  std::string error;
  return !ReadStableFile(loaded.path, &text, &st, &error) || text != loaded.text;
}

bool RunTemplates::ChangedSinceLoaded() const { return Changed(main_) || Changed(picture_); }

bool RunTemplates::IsTemplateFile(int dir_fd, const std::string& name,
                                  const ExistingPage& existing) const {
  if (!existing.exists) return false;
  struct stat target = existing.st;
  if (S_ISLNK(existing.st.st_mode) && ::fstatat(dir_fd, name.c_str(), &target, 0) != 0) {
    target = existing.st;
  }
  const auto same = [&](const Loaded& loaded) {
    return loaded.page && target.st_dev == loaded.st.st_dev && target.st_ino == loaded.st.st_ino;
  };
  return same(main_) || same(picture_);
}

}  // namespace pelorin
