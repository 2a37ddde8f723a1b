// The file-type list on any "FileTypes" text, asked about any names (the
// input is the text, then NUL-separated names). Beyond crashes and undefined
// behaviour: entries are clean, and a name is accepted exactly when its
// extension is an entry, ignoring case.
#include <string>
#include <string_view>
#include <vector>

#include "common/path_routines.h"
#include "common/text_routines.h"
#include "engine/file_type_list.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using pelorin::fuzz::Check;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const pelorin::FileTypeList list(input.substr(0, split));

  const std::vector<std::string>& entries = list.entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string& entry = entries[i];
    Check(!entry.empty(), "no empty entry");
    Check(entry.find_first_of(",; \t\r\n\v\f") == std::string::npos, "no delimiter in an entry");
    Check(entry == pelorin::AsciiLowered(entry), "entries are lower case");
    for (std::size_t j = 0; j < i; ++j) Check(entries[j] != entry, "no entry twice");
    if (entry.find('.') == std::string::npos) {
      std::string upper;
      for (char c : entry) upper += pelorin::AsciiUpper(c);
      Check(list.IsInteresting("x." + upper), "an entry's extension is accepted in any case");
    }
  }

  std::size_t pos = split == std::string_view::npos ? input.size() : split + 1;
  while (pos < input.size()) {
    std::size_t end = input.find('\0', pos);
    if (end == std::string_view::npos) end = input.size();
    const std::string_view name = input.substr(pos, end - pos);
    pos = end + 1;
    const std::string extension = pelorin::AsciiLowered(pelorin::ExtensionOf(name));
    bool listed = false;
    for (const std::string& entry : entries) listed = listed || entry == extension;
    Check(list.IsInteresting(name) == (!extension.empty() && listed),
          "accepted exactly when the extension is an entry");
  }
  return 0;
}
