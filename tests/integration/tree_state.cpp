#include "integration/tree_state.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pelorin::testing {

namespace {

std::vector<std::string> NamesIn(int dir_fd) {
  std::vector<std::string> names;
  const int dup_fd = ::fcntl(dir_fd, F_DUPFD_CLOEXEC, 0);
  if (dup_fd < 0) return names;
  DIR* dir = ::fdopendir(dup_fd);
  if (dir == nullptr) {
    ::close(dup_fd);
    return names;
  }
  ::rewinddir(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

std::string ReadAllAt(int dir_fd, const std::string& name) {
  std::string data;
  const int fd = ::openat(dir_fd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return "<unreadable>";
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) data.append(buffer, n);
  ::close(fd);
  return data;
}

void SnapshotLevel(int dir_fd, const std::string& relative, TreeState& state) {
  for (const std::string& name : NamesIn(dir_fd)) {
    struct stat st;
    if (::fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    const std::string path = JoinPath(relative, name);
    Node node;
    node.mode = st.st_mode & 07777;
    if (S_ISDIR(st.st_mode)) {
      node.kind = 'd';
      const int fd =
          ::openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (fd < 0) {
        node.data = "<unreadable>";
        state[path] = node;
        continue;
      }
      state[path] = node;
      SnapshotLevel(fd, path, state);
      ::close(fd);
    } else if (S_ISREG(st.st_mode)) {
      node.kind = 'f';
      node.links = st.st_nlink;
      node.data = ReadAllAt(dir_fd, name);
      state[path] = node;
    } else if (S_ISLNK(st.st_mode)) {
      node.kind = 'l';
      std::string target(4096, '\0');
      const ssize_t n = ::readlinkat(dir_fd, name.c_str(), target.data(), target.size());
      target.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
      node.data = target;
      node.mode = 0;  // not meaningful for links
      state[path] = node;
    } else {
      state[path] = node;
    }
  }
}

bool IsPage(const std::string& path, std::string_view page_name) {
  const std::size_t slash = path.rfind('/');
  const std::string_view base = slash == std::string::npos
                                    ? std::string_view(path)
                                    : std::string_view(path).substr(slash + 1);
  return base == page_name;
}

void RemoveContents(int dir_fd) {
  for (const std::string& name : NamesIn(dir_fd)) {
    struct stat st;
    if (::fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      // A folder that stays unreadable shows as such below.
      [[maybe_unused]] const int made_readable = ::fchmodat(dir_fd, name.c_str(), 0700, 0);
      const int fd =
          ::openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (fd >= 0) {
        RemoveContents(fd);
        ::close(fd);
      }
      ::unlinkat(dir_fd, name.c_str(), AT_REMOVEDIR);
    } else {
      ::unlinkat(dir_fd, name.c_str(), 0);
    }
  }
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  return std::string(folder) + "/" + std::string(name);
}

std::string ParentOf(std::string_view relative) {
  const std::size_t slash = relative.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(relative.substr(0, slash));
}

TreeState Snapshot(const std::string& root) {
  TreeState state;
  Node node;
  node.kind = 'd';
  struct stat st;
  if (::stat(root.c_str(), &st) == 0) node.mode = st.st_mode & 07777;
  const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    node.data = "<unreadable>";
    state[""] = node;
    return state;
  }
  state[""] = node;
  SnapshotLevel(fd, "", state);
  ::close(fd);
  return state;
}

TreeState WithoutPages(const TreeState& state, std::string_view page_name) {
  TreeState out;
  for (const auto& [path, node] : state) {
    if (!IsPage(path, page_name)) out.emplace(path, node);
  }
  return out;
}

std::map<std::string, std::string> PagesOf(const TreeState& state, std::string_view page_name) {
  std::map<std::string, std::string> pages;
  for (const auto& [path, node] : state) {
    if (node.kind == 'f' && IsPage(path, page_name)) pages[ParentOf(path)] = node.data;
  }
  return pages;
}

std::vector<std::string> FoldersOf(const TreeState& state) {
  std::vector<std::string> folders;
  for (const auto& [path, node] : state) {
    if (node.kind == 'd') folders.push_back(path);
  }
  return folders;
}

std::vector<std::string> TempFilesOf(const TreeState& state) {
  std::vector<std::string> temps;
  for (const auto& [path, node] : state) {
    const std::size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.rfind(".pelorin2-", 0) == 0) temps.push_back(path);
  }
  return temps;
}

std::string Differences(const TreeState& before, const TreeState& after, int limit) {
  std::string text;
  int count = 0;
  auto note = [&](const std::string& line) {
    if (count++ < limit) text += line + "\n";
  };
  for (const auto& [path, node] : before) {
    const auto it = after.find(path);
    if (it == after.end()) {
      note("removed: '" + path + "'");
    } else if (!(it->second == node)) {
      note("changed: '" + path + "'");
    }
  }
  for (const auto& [path, node] : after) {
    if (before.find(path) == before.end()) note("added: '" + path + "'");
  }
  if (count > limit) text += "... " + std::to_string(count - limit) + " more\n";
  return text;
}

void RemoveTree(const std::string& path) {
  ::chmod(path.c_str(), 0700);
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    RemoveContents(fd);
    ::close(fd);
  }
  ::rmdir(path.c_str());
}

bool MakeFolderChain(const std::string& root, const std::vector<std::string>& names) {
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  for (const std::string& name : names) {
    if (::mkdirat(fd, name.c_str(), 0755) != 0 && errno != EEXIST) {
      ::close(fd);
      return false;
    }
    const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    if (next < 0) return false;
    fd = next;
  }
  ::close(fd);
  return true;
}

bool WriteFileAt(const std::string& folder, const std::string& name, std::string_view content) {
  const int dir_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) return false;
  const int fd = ::openat(dir_fd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ::close(dir_fd);
  if (fd < 0) return false;
  const bool ok =
      ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  return ::close(fd) == 0 && ok;
}

}  // namespace pelorin::testing
