#include "common/code_library.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace pelorin {

std::string Quote() { return "\""; }

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

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

bool Contains(std::string_view text, std::string_view part, bool enabled) {
  // An empty text holds nothing, not even the empty part.
  if (!enabled || text.empty()) return false;
  return FindIgnoreCase(text, part) != std::string_view::npos;
}

bool LineStartsWithTag(std::string_view line, std::string_view tag, bool enabled) {
  if (!enabled || line.empty()) return false;
  const auto pos = FindIgnoreCase(line, tag);
  if (pos == std::string_view::npos) return false;
  return IsBlank(line.substr(0, pos));
}

std::int64_t CountOccurrences(std::string_view text, std::string_view part) {
  if (part.empty() || text.size() < part.size()) return 0;
  std::int64_t count = 0;
  for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
    if (text.compare(i, part.size(), part) == 0) ++count;
  }
  return count;
}

std::string StripEnds(std::string_view text, std::size_t from_start, std::size_t from_end) {
  if (from_start + from_end >= text.size()) return {};
  return std::string(text.substr(from_start, text.size() - from_start - from_end));
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string AsciiLowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::size_t FindIgnoreCase(std::string_view text, std::string_view part) {
  if (part.empty()) return 0;
  if (text.size() < part.size()) return std::string_view::npos;
  for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
    if (EqualsIgnoreCase(text.substr(i, part.size()), part)) return i;
  }
  return std::string_view::npos;
}

bool NameLess(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;  // names sorted together share long prefixes
    const auto ca = static_cast<unsigned char>(AsciiUpper(a[i]));
    const auto cb = static_cast<unsigned char>(AsciiUpper(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;  // std::string_view compares as unsigned bytes
}

bool IsHiddenName(std::string_view name) { return !name.empty() && name.front() == '.'; }

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find(kSeparator) == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

}  // namespace pelorin
