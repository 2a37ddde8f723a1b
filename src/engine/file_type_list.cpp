#include "engine/file_type_list.h"

#include <cstdint>

#include "common/path_routines.h"
#include "common/text_routines.h"

namespace pelorin {

namespace {

constexpr std::size_t kShortKeyLength = 8;

// An extension of up to eight bytes, lower-cased and packed into one number
// from its last byte to its first, the order in which IsInteresting meets
// them; names hold no NUL byte, so the zero padding keeps lengths apart.
std::uint64_t ShortKey(std::string_view ext) {
  std::uint64_t key = 0;
  for (auto it = ext.rbegin(); it != ext.rend(); ++it) {
    char c = *it;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    key = (key << 8) | static_cast<unsigned char>(c);
  }
  return key;
}

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
      const bool added = lowered.size() <= kShortKeyLength
                             ? short_keys_.insert(ShortKey(lowered)).second
                             : long_entries_.insert(lowered).second;
      if (added) entries_.push_back(std::move(lowered));
    }
    i = end;
  }
}

bool FileTypeList::IsInteresting(std::string_view name) const {
  // ExtensionOf without building a string, and its key made on the way to
  // the dot: this runs for every file.
  std::uint64_t key = 0;
  std::size_t length = 0;
  std::size_t i = name.size();
  while (i > 0) {
    const char c = name[--i];
    if (c == '.') break;
    if (++length > kShortKeyLength) {
      const std::size_t dot = name.rfind('.', i);
      if (dot == std::string_view::npos) return false;
      return long_entries_.count(AsciiLowered(name.substr(dot + 1))) != 0;
    }
    key = (key << 8) | static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  if (length == 0 || (i == 0 && name[0] != '.')) return false;  // no dot, or nothing after it
  return short_keys_.count(key) != 0;
}

}  // namespace pelorin
