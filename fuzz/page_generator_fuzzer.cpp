// Template processing over an in-memory folder: any template, options and
// names. Beyond crashes and undefined behaviour it checks the line rules:
// every template line gives at least one CR LF line, and a template gives the
// same page whether its lines end in CR LF, CR or LF.
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_type_list.h"
#include "engine/page_generator.h"
#include "fuzz_input.h"

namespace {

// Lines as the template format defines them: ended by CR LF, CR or LF; the
// last needs no line end.
std::vector<std::string_view> TemplateLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

std::size_t CrLfCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = text.find("\r\n"); pos != std::string_view::npos;
       pos = text.find("\r\n", pos + 2)) {
    ++count;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using pelorin::fuzz::Check;
  const pelorin::fuzz::FuzzInput in = pelorin::fuzz::ParseFuzzInput(data, size);
  const pelorin::FileTypeList filter(in.file_types);
  const std::string selected = "/fuzz/top";
  const std::string folder_path = selected + "/" + (in.folder.empty() ? "" : in.folder + "/");
  const pelorin::PageInput input{folder_path, selected, in.listing, in.options, filter};

  const std::string page = pelorin::GeneratePage(in.text, input);

  const std::vector<std::string_view> lines = TemplateLines(in.text);
  Check(lines.empty() == page.empty(), "an empty page comes from an empty template only");
  Check(page.empty() || page.ends_with("\r\n"), "the page ends with CR LF");
  Check(CrLfCount(page) >= lines.size(), "every template line gives a line");

  for (const char* ending : {"\r\n", "\r", "\n"}) {
    std::string rejoined;
    for (std::string_view line : lines) rejoined.append(line).append(ending);
    Check(pelorin::GeneratePage(rejoined, input) == page, "line ends do not change the page");
  }
  return 0;
}
