// Path routines shared by the engine, the settings and the windows: names
// and folders of paths, hidden and plain names, and whether a file exists.
// Paths are byte strings with "/" as separator.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

inline constexpr char kSeparator = '/';

// The part after the last separator; the whole path when it holds none.
std::string FileNameOf(std::string_view path);
// The path up to and including its last separator; unchanged when it holds none.
std::string FolderOf(std::string_view path);
// The text after the last "."; empty when there is none or the name ends with it.
std::string ExtensionOf(std::string_view name);
// A path that ends with the separator. A path with a "." that does not end in
// the separator is taken for a file path and cut back to its folder.
std::string EnsureTrailingSeparator(std::string_view path, std::string_view separator);
// True for an existing regular file (or a link to one) that is not hidden; the
// last component may hold the wildcards * and ?. Every failure reads as false.
bool FileExists(const std::string& path);

// True for names the platform treats as hidden: on POSIX those beginning with ".".
bool IsHiddenName(std::string_view name);

// True for a name that stays inside its folder: not empty, not "." or "..",
// no separator and no NUL byte.
bool IsPlainFileName(std::string_view name);

}  // namespace pelorin
