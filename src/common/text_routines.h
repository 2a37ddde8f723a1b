// Text routines shared by the engine, the settings and the windows. All are
// pure functions of their arguments. Texts are byte strings; case-insensitive
// comparisons fold ASCII letters only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelorin {

// The double-quote character that encloses attribute values of generated HTML.
std::string Quote();
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

// Stored multi-line values break lines with CR LF; edit controls and the
// terminal show LF. LfToCrLf leaves a CR LF that is already there alone.
std::string CrLfToLf(std::string_view text);
std::string LfToCrLf(std::string_view text);

// Appends byte as two upper-case hexadecimal digits.
void AppendHexByte(std::string& out, unsigned char byte);

}  // namespace pelorin
