// thumb_driver: makes the thumbnail of every picture in one folder with
// VipsThumbnailMaker, on N threads, the way an indexing run does: a
// thumbnail that exists and is not older than its picture is left alone;
// another is written to a temporary file and renamed into place.
//
//   thumb_driver [--jobs N] [--size S] [--vips-threads N] PICTURES THUMBS
//
// Prints "made M, up to date U, failed F"; each failure as "name: reason" on
// stderr. Exit status 1 when any picture failed.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/thumbnail_maker.h"
#include "thumbnails/vips_thumbnail_maker.h"

namespace {

using pelorin::ThumbnailFormat;

struct Picture {
  std::string name;
  ThumbnailFormat format;
};

bool NotOlder(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec >= b.tv_nsec;
}

// Regular files with a thumbnail format, sorted by name.
std::vector<Picture> ListPictures(const char* folder) {
  std::vector<Picture> pictures;
  DIR* dir = opendir(folder);
  if (dir == nullptr) return pictures;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_type != DT_REG || entry->d_name[0] == '.') continue;
    if (auto format = pelorin::ThumbnailFormatOf(entry->d_name)) {
      pictures.push_back({entry->d_name, *format});
    }
  }
  closedir(dir);
  std::sort(pictures.begin(), pictures.end(),
            [](const Picture& a, const Picture& b) { return a.name < b.name; });
  return pictures;
}

class Driver {
 public:
  Driver(int pictures_fd, int thumbs_fd, int size, pelorin::ThumbnailMaker& maker)
      : pictures_fd_(pictures_fd), thumbs_fd_(thumbs_fd), size_(size), maker_(maker) {}

  void Run(const std::vector<Picture>& pictures, int jobs) {
    std::vector<std::thread> threads;
    for (int i = 0; i < jobs; ++i) {
      threads.emplace_back([this, &pictures, i] {
        for (std::size_t next = next_++; next < pictures.size(); next = next_++) {
          One(pictures[next], i);
        }
      });
    }
    for (auto& thread : threads) thread.join();
  }

  int made() const { return made_; }
  int up_to_date() const { return up_to_date_; }
  int failed() const { return failed_; }

 private:
  void One(const Picture& picture, int thread) {
    const int fd = openat(pictures_fd_, picture.name.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat picture_st {};
    if (fd < 0 || fstat(fd, &picture_st) != 0) return Failed(picture, std::strerror(errno), fd);
    struct stat thumb_st {};
    if (fstatat(thumbs_fd_, picture.name.c_str(), &thumb_st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(thumb_st.st_mode) && NotOlder(thumb_st.st_mtim, picture_st.st_mtim)) {
      close(fd);
      ++up_to_date_;
      return;
    }
    const std::string temp =
        ".thumb-" + std::to_string(getpid()) + "-" + std::to_string(thread) + ".tmp";
    const int out =
        openat(thumbs_fd_, temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) return Failed(picture, std::strerror(errno), fd);
    std::string error;
    bool ok = maker_.Make(fd, picture.format, size_, out, &error);
    if (close(out) != 0 && ok) {
      ok = false;
      error = std::strerror(errno);
    }
    if (ok && renameat(thumbs_fd_, temp.c_str(), thumbs_fd_, picture.name.c_str()) != 0) {
      ok = false;
      error = std::strerror(errno);
    }
    if (!ok) {
      unlinkat(thumbs_fd_, temp.c_str(), 0);
      return Failed(picture, error, fd);
    }
    close(fd);
    ++made_;
  }

  void Failed(const Picture& picture, const std::string& reason, int fd) {
    if (fd >= 0) close(fd);
    ++failed_;
    std::lock_guard lock(stderr_mutex_);
    std::fprintf(stderr, "%s: %s\n", picture.name.c_str(), reason.c_str());
  }

  const int pictures_fd_;
  const int thumbs_fd_;
  const int size_;
  pelorin::ThumbnailMaker& maker_;
  std::atomic<std::size_t> next_{0};
  std::atomic<int> made_{0};
  std::atomic<int> up_to_date_{0};
  std::atomic<int> failed_{0};
  std::mutex stderr_mutex_;
};

int Usage() {
  std::fprintf(stderr,
               "usage: thumb_driver [--jobs N] [--size S] [--vips-threads N] PICTURES THUMBS\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int jobs = 1;
  int size = 160;
  pelorin::VipsThumbnailOptions options;
  std::vector<const char*> folders;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--jobs" || arg == "--size" || arg == "--vips-threads") && i + 1 < argc) {
      const int value = std::atoi(argv[++i]);
      if (value < 1) return Usage();
      (arg == "--jobs" ? jobs : arg == "--size" ? size : options.vips_threads) = value;
    } else if (arg.starts_with("-")) {
      return Usage();
    } else {
      folders.push_back(argv[i]);
    }
  }
  if (folders.size() != 2) return Usage();
  const int pictures_fd = open(folders[0], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  mkdir(folders[1], 0755);
  const int thumbs_fd = open(folders[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (pictures_fd < 0 || thumbs_fd < 0) {
    std::perror(pictures_fd < 0 ? folders[0] : folders[1]);
    return 1;
  }
  pelorin::VipsThumbnailMaker maker(options);
  Driver driver(pictures_fd, thumbs_fd, size, maker);
  driver.Run(ListPictures(folders[0]), jobs);
  std::printf("made %d, up to date %d, failed %d\n", driver.made(), driver.up_to_date(),
              driver.failed());
  return driver.failed() == 0 ? 0 : 1;
}
