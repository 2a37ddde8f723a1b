#include "common/path_routines.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <memory>

#include "common/text_routines.h"

namespace pelorin {
std::string FileNameOf(std::string_view path) {
  const auto pos = path.rfind(kSeparator);
  if (pos == std::string_view::npos) return std::string(path);
  return std::string(path.substr(pos + 1));
}

std::string FolderOf(std::string_view path) {
  const auto pos = path.rfind(kSeparator);
  if (pos == std::string_view::npos) return std::string(path);
  return std::string(path.substr(0, pos + 1));
}

std::string ExtensionOf(std::string_view name) {
  const auto pos = name.rfind('.');
  if (pos == std::string_view::npos) return {};
  return std::string(name.substr(pos + 1));
}

std::string EnsureTrailingSeparator(std::string_view path, std::string_view separator) {
  if (!path.empty() && !separator.empty() && path.substr(path.size() - 1) == separator) {
    return std::string(path);
  }
  if (Contains(path, ".", true)) return FolderOf(path);
  return std::string(path) + std::string(separator);
}

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return S_ISREG(st.st_mode);
}

}  // namespace

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  const std::string name = FileNameOf(path);
  if (name.empty() || IsHiddenName(name)) return false;
  if (name.find_first_of("*?") == std::string::npos) return IsRegularFile(path);

  // A pattern: the folder is searched for a plain, visible file that matches.
  std::string folder = FolderOf(path);
  if (folder == name) folder = "./";
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return false;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string entry_name = entry->d_name;
    if (IsHiddenName(entry_name)) continue;
    if (::fnmatch(name.c_str(), entry_name.c_str(), FNM_PERIOD) != 0) continue;
    if (IsRegularFile(folder + entry_name)) return true;
  }
  return false;
}

bool IsHiddenName(std::string_view name) { return !name.empty() && name.front() == '.'; }

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find(kSeparator) == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

}  // namespace pelorin
