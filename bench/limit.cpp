// The lower bound an indexer is measured against: for every folder, read its
// entries once (getdents64 with the entry's type, no stat unless it is unknown),
// sort them, and write a small page with one line per listed entry through a
// temporary file and rename. Nothing else: no template, no options, no
// checks. What this costs is what the file system costs.
//
//   limit [--jobs N] [--compare] [--pictures] [--name FILE] FOLDER
//     --jobs N     N threads take folders from a shared stack (default 1)
//     --compare    leave a page alone when its bytes are already there
//     --name FILE  the page's name (default index.html)
//     --pictures   also a small page NAME.html beside every picture (gif, png,
//                  jpg, jpeg, jpe, webp, bmp, svg), which is not listed
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options {
  int jobs = 1;
  bool compare = false;
  std::string name = "index.html";
  bool pictures = false;
};

struct Totals {
  std::atomic<std::int64_t> folders{0};
  std::atomic<std::int64_t> entries{0};
  std::atomic<std::int64_t> written{0};
  std::atomic<std::int64_t> unchanged{0};
  std::atomic<std::int64_t> failed{0};
};

struct Entry {
  std::string name;
  bool folder;
};

std::atomic<unsigned long> g_sequence{0};

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool SameBytes(int dir_fd, const std::string& name, const std::string& page) {
  struct stat st;
  if (::fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  if (!S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) != page.size()) return false;
  const int fd = ::openat(dir_fd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOATIME);
  if (fd < 0) return false;
  std::string old(page.size() + 1, '\0');
  std::size_t got = 0;
  for (;;) {
    const ssize_t n = ::read(fd, old.data() + got, old.size() - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return got == page.size() && std::memcmp(old.data(), page.data(), got) == 0;
}

bool EndsWith(const std::string& name, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return name.size() > n && strcasecmp(name.c_str() + name.size() - n, suffix) == 0;
}

bool IsPicture(const std::string& name) {
  for (const char* e : {".gif", ".png", ".jpg", ".jpeg", ".jpe", ".webp", ".bmp", ".svg"}) {
    if (EndsWith(name, e)) return true;
  }
  return false;
}

bool IsPicturePage(const std::string& name) {
  return EndsWith(name, ".html") && IsPicture(name.substr(0, name.size() - 5));
}

// Through a temporary file and rename; left alone with --compare when the
// bytes are there already.
void WriteFile(int dir_fd, const std::string& name, const std::string& page,
               const Options& options, Totals* totals) {
  if (options.compare && SameBytes(dir_fd, name, page)) {
    ++totals->unchanged;
    return;
  }
  static const std::string pid = std::to_string(::getpid());
  const std::string temp = ".limit-" + pid + "-" + std::to_string(g_sequence++) + ".tmp";
  const int fd = ::openat(dir_fd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  bool ok = fd >= 0 && WriteAll(fd, page);
  if (fd >= 0) ok = ::close(fd) == 0 && ok;
  ok = ok && ::renameat(dir_fd, temp.c_str(), dir_fd, name.c_str()) == 0;
  if (ok) {
    ++totals->written;
  } else {
    ::unlinkat(dir_fd, temp.c_str(), 0);
    ++totals->failed;
  }
}

// Reads, sorts, writes the page; returns the visible subfolders' names.
std::vector<std::string> IndexFolder(int dir_fd, const Options& options, Totals* totals) {
  std::vector<Entry> entries;
  alignas(dirent64) char buffer[32768];
  for (;;) {
    const ssize_t size = ::getdents64(dir_fd, buffer, sizeof buffer);
    if (size < 0) {
      ++totals->failed;
      return {};
    }
    if (size == 0) break;
    for (ssize_t offset = 0; offset < size;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
      offset += entry->d_reclen;
      const char* raw = entry->d_name;
      if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0'))) continue;
      unsigned char type = entry->d_type;
      if (type == DT_UNKNOWN) {
        struct stat st;
        if (::fstatat(dir_fd, raw, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
      }
      entries.push_back({raw, type == DT_DIR});
    }
  }
  totals->entries += static_cast<std::int64_t>(entries.size());
  ++totals->folders;
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });

  std::string page;
  std::vector<std::string> subfolders;
  std::vector<std::string> pictures;
  for (Entry& entry : entries) {
    if (entry.name[0] == '.' || entry.name == options.name) continue;
    if (options.pictures && !entry.folder) {
      if (IsPicturePage(entry.name)) continue;
      if (IsPicture(entry.name)) pictures.push_back(entry.name);
    }
    page += "<li><a href=\"";
    page += entry.name;
    if (entry.folder) page += "/" + options.name;
    page += "\">";
    page += entry.name;
    page += "</a></li>\r\n";
    if (entry.folder) subfolders.push_back(std::move(entry.name));
  }

  WriteFile(dir_fd, options.name, page, options, totals);
  if (options.pictures) {
    for (std::size_t k = 0; k < pictures.size(); ++k) {
      std::string picture_page = "<img src=\"" + pictures[k] + "\">\r\n<a href=\"";
      picture_page += k > 0 ? pictures[k - 1] : options.name;
      picture_page += "\">back</a>\r\n";
      WriteFile(dir_fd, pictures[k] + ".html", picture_page, options, totals);
    }
  }
  return subfolders;
}

int OpenChild(int parent_fd, const std::string& name) {
  return ::openat(parent_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

void Walk(int dir_fd, const Options& options, Totals* totals) {
  for (const std::string& sub : IndexFolder(dir_fd, options, totals)) {
    const int child = OpenChild(dir_fd, sub);
    if (child < 0) {
      ++totals->failed;
      continue;
    }
    Walk(child, options, totals);
    ::close(child);
  }
}

// Several threads share a stack of open folders; each pops one, indexes it
// and pushes its subfolders.
class SharedWalk {
 public:
  SharedWalk(const Options& options, Totals* totals) : options_(options), totals_(totals) {}

  void Run(int root_fd, int threads) {
    stack_.push_back(root_fd);
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) workers.emplace_back([this] { Work(); });
    for (std::thread& worker : workers) worker.join();
  }

 private:
  void Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      ready_.wait(lock, [this] { return !stack_.empty() || busy_ == 0; });
      if (stack_.empty()) return;
      const int fd = stack_.back();
      stack_.pop_back();
      ++busy_;
      lock.unlock();
      std::vector<int> children;
      for (const std::string& sub : IndexFolder(fd, options_, totals_)) {
        const int child = OpenChild(fd, sub);
        if (child >= 0) children.push_back(child);
      }
      ::close(fd);
      lock.lock();
      // Pushed in reverse, so the first subfolder is taken first.
      stack_.insert(stack_.end(), children.rbegin(), children.rend());
      --busy_;
      ready_.notify_all();
    }
  }

  const Options& options_;
  Totals* totals_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::vector<int> stack_;
  int busy_ = 0;
};

int Usage() {
  std::fprintf(stderr, "usage: limit [--jobs N] [--compare] [--pictures] [--name FILE] FOLDER\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string folder;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--jobs" && i + 1 < argc) {
      options.jobs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--pictures") {
      options.pictures = true;
    } else if (arg == "--compare") {
      options.compare = true;
    } else if (arg == "--name" && i + 1 < argc) {
      options.name = argv[++i];
    } else if (folder.empty() && arg[0] != '-') {
      folder = arg;
    } else {
      return Usage();
    }
  }
  if (folder.empty()) return Usage();
  const int root = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root < 0) {
    std::perror(folder.c_str());
    return 1;
  }
  Totals totals;
  if (options.jobs == 1) {
    Walk(root, options, &totals);
    ::close(root);
  } else {
    SharedWalk(options, &totals).Run(root, options.jobs);
  }
  std::printf("%lld folders, %lld entries, %lld pages written, %lld unchanged, %lld failed\n",
              static_cast<long long>(totals.folders), static_cast<long long>(totals.entries),
              static_cast<long long>(totals.written), static_cast<long long>(totals.unchanged),
              static_cast<long long>(totals.failed));
  return totals.failed == 0 ? 0 : 1;
}
