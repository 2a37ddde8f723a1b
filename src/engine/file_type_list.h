// The file-type filter: which files the lists show and the walker reports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace pelorin {

class FileTypeList {
 public:
  FileTypeList() = default;
  // The FileTypes text: entries split at commas, semicolons, white space and
  // line breaks; a leading "*." or "." of an entry is ignored.
  explicit FileTypeList(std::string_view text);

  // True when the name's extension equals an entry, ignoring ASCII case.
  // A name without an extension is never accepted.
  bool IsInteresting(std::string_view name) const;
  const std::vector<std::string>& entries() const { return entries_; }

 private:
  // Lists of many thousand entries are read before the first page: each
  // entry costs one hash look-up, not a pass over the entries before it.
  std::vector<std::string> entries_;              // lower-cased, in order
  std::unordered_set<std::string> long_entries_;  // those longer than 8 bytes
  std::unordered_set<std::uint64_t> short_keys_;  // the others, packed
};

}  // namespace pelorin
