// File and folder names chosen to break pages: markup, quotes, URL syntax,
// control bytes, bytes that are not UTF-8. Every file name ends in ".gif" so
// the first-run file types list it.
#pragma once

#include <string>
#include <vector>

namespace pelorin::testing {

struct HostileFolder {
  std::string name;
  std::vector<std::string> files;  // inside it
};

// Names that look like HTML or URLs, and odd spacing and encodings.
std::vector<std::string> HostileFileNames();
std::vector<HostileFolder> HostileFolders();

// One file name per byte 0x01 to 0xFF except "/", and two names holding all
// of those bytes between them.
std::vector<std::string> EveryByteFileNames();
// One folder name per byte 0x01 to 0xFF except "/" and ".".
std::vector<std::string> EveryByteFolderNames();

// The inverse of the page's escaping and URL encoding, for checks.
std::string UnescapeHtml(const std::string& text);
std::string PercentDecode(const std::string& text);

}  // namespace pelorin::testing
