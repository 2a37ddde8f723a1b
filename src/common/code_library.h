// Small text and path routines shared by the engine, the settings and the
// windows. All are pure functions of their arguments except FileExists.
// Texts are byte strings; case-insensitive comparisons fold ASCII letters only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelorin {

inline constexpr char kSeparator = '/';

// The double-quote character that encloses attribute values of generated HTML.
std::string Quote();
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
// True when the text is empty or holds only spaces and tabs.
bool IsBlank(std::string_view text);
// True when enabled and part occurs in text, ignoring ASCII case.
bool Contains(std::string_view text, std::string_view part, bool enabled);
// True when enabled, tag occurs in line (ignoring ASCII case) and only blanks
// stand before its first occurrence.
bool LineStartsWithTag(std::string_view line, std::string_view tag, bool enabled);
// Positions at which part occurs in text, exactly, overlaps counted.
std::int64_t CountOccurrences(std::string_view text, std::string_view part);
// The text without its first from_start and last from_end characters.
std::string StripEnds(std::string_view text, std::size_t from_start, std::size_t from_end);

// ASCII case helpers used wherever the system ignores case.
char AsciiLower(char c);
char AsciiUpper(char c);
std::string AsciiLowered(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// Position of the first occurrence of part in text ignoring ASCII case, or npos.
std::size_t FindIgnoreCase(std::string_view text, std::string_view part);

// Order of every enumeration: bytes compared after ASCII upper-casing, ties by
// the raw bytes, so pages are the same on every file system.
bool NameLess(std::string_view a, std::string_view b);

// True for names the platform treats as hidden: on POSIX those beginning with ".".
bool IsHiddenName(std::string_view name);

// True for a name that stays inside its folder: not empty, not "." or "..",
// no separator and no NUL byte.
bool IsPlainFileName(std::string_view name);

}  // namespace pelorin
