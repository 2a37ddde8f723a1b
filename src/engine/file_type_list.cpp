#include "engine/file_type_list.h"

#include <algorithm>

#include "common/code_library.h"

namespace pelorin {

namespace {

bool IsDelimiter(char c) {
  return c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' ||
         c == '\f';
}

}  // namespace

FileTypeList::FileTypeList(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsDelimiter(text[i])) ++i;
    std::size_t end = i;
    while (end < text.size() && !IsDelimiter(text[end])) ++end;
    std::string_view entry = text.substr(i, end - i);
    if (entry.starts_with("*.")) {
      entry.remove_prefix(2);
    } else if (entry.starts_with(".")) {
      entry.remove_prefix(1);
    }
    if (!entry.empty()) {
      std::string lowered = AsciiLowered(entry);
      if (std::find(entries_.begin(), entries_.end(), lowered) == entries_.end()) {
        entries_.push_back(std::move(lowered));
      }
    }
    i = end;
  }
}

bool FileTypeList::IsInteresting(std::string_view name) const {
  const std::string ext = ExtensionOf(name);
  if (ext.empty()) return false;
  for (const std::string& entry : entries_) {
    if (EqualsIgnoreCase(entry, ext)) return true;
  }
  return false;
}

}  // namespace pelorin
