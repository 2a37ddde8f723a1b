// The file-type filter: which files the lists show and the walker reports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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
  std::vector<std::string> entries_;       // lower-cased
  std::vector<std::uint64_t> short_keys_;  // the entries of up to 8 bytes, packed
};

}  // namespace pelorin
