#include "common/text_routines.h"

#include <algorithm>

namespace pelorin {
std::string Quote() { return "\""; }

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

bool Contains(std::string_view text, std::string_view part, bool enabled) {
  // An empty text holds nothing, not even the empty part.
  if (!enabled || text.empty()) return false;
  return FindIgnoreCase(text, part) != std::string_view::npos;
}

bool LineStartsWithTag(std::string_view line, std::string_view tag, bool enabled) {
  if (!enabled || line.empty()) return false;
  const auto pos = FindIgnoreCase(line, tag);
  if (pos == std::string_view::npos) return false;
  return IsBlank(line.substr(0, pos));
}

std::int64_t CountOccurrences(std::string_view text, std::string_view part) {
  if (part.empty() || text.size() < part.size()) return 0;
  std::int64_t count = 0;
  for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
    if (text.compare(i, part.size(), part) == 0) ++count;
  }
  return count;
}

std::string StripEnds(std::string_view text, std::size_t from_start, std::size_t from_end) {
  if (from_start + from_end >= text.size()) return {};
  return std::string(text.substr(from_start, text.size() - from_start - from_end));
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string AsciiLowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::size_t FindIgnoreCase(std::string_view text, std::string_view part) {
  if (part.empty()) return 0;
  if (text.size() < part.size()) return std::string_view::npos;
  for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
    if (EqualsIgnoreCase(text.substr(i, part.size()), part)) return i;
  }
  return std::string_view::npos;
}

bool NameLess(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;  // names sorted together share long prefixes
    const auto ca = static_cast<unsigned char>(AsciiUpper(a[i]));
    const auto cb = static_cast<unsigned char>(AsciiUpper(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;  // std::string_view compares as unsigned bytes
}

std::string CrLfToLf(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

std::string LfToCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

void AppendHexByte(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += kHex[byte >> 4];
  out += kHex[byte & 15];
}

}  // namespace pelorin
