#include "common/html_text.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "common/text_routines.h"

namespace pelorin {

namespace {

// What each byte may need, looked up once per byte of every listed name.
constexpr std::uint8_t kEscape = 1;       // HTML escaping changes it
constexpr std::uint8_t kNotPlainUrl = 2;  // not kept as it is in a link target

// The ASCII bytes that change where a link goes, percent-encoded in every
// link target. The name is the first segment of a relative URL, where ":"
// would make "javascript:x.gif" a scheme and "c|" or "c:" a drive.
constexpr bool ChangesUrl(unsigned char b) {
  return b < 0x20 || b == 0x7F || b == '%' || b == '#' || b == '?' || b == '\\' || b == ':' ||
         b == '|';
}

constexpr std::array<std::uint8_t, 256> MakeByteClasses() {
  std::array<std::uint8_t, 256> classes{};
  for (int b = 0; b < 256; ++b) {
    const bool escape = b == '&' || b == '<' || b == '>' || b == '"';
    // Bytes from 0x80 are kept only in valid UTF-8, which the slow path checks.
    const bool url = ChangesUrl(static_cast<unsigned char>(b)) || b >= 0x80;
    classes[b] = (escape ? kEscape | kNotPlainUrl : 0) | (url ? kNotPlainUrl : 0);
  }
  return classes;
}
constexpr std::array<std::uint8_t, 256> kByteClasses = MakeByteClasses();

std::uint8_t ClassOf(char c) { return kByteClasses[static_cast<unsigned char>(c)]; }

}  // namespace

void AppendEscapedHtml(std::string& out, std::string_view text) {
  // Runs of plain bytes are appended whole; most names are one such run.
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((ClassOf(text[i]) & kEscape) == 0) continue;
    std::string_view reference;
    switch (text[i]) {
      case '&':
        reference = "&amp;";
        break;
      case '<':
        reference = "&lt;";
        break;
      case '>':
        reference = "&gt;";
        break;
      case '"':
        reference = "&quot;";
        break;
      default:
        continue;
    }
    out.append(text.substr(run, i - run)).append(reference);
    run = i + 1;
  }
  out.append(text.substr(run));
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscapedHtml(out, text);
  return out;
}

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t extra;
    unsigned min_code;
    unsigned code;
    if ((c & 0xE0) == 0xC0) {
      extra = 1, min_code = 0x80, code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, min_code = 0x800, code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, min_code = 0x10000, code = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= n) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      code = (code << 6) | (cc & 0x3F);
    }
    if (code < min_code || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

bool IsPlainText(std::string_view text) {
  if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) return false;
  return std::none_of(text.begin(), text.end(), [](char c) { return ClassOf(c) & kNotPlainUrl; });
}

void AppendUrlAttribute(std::string& out, std::string_view name) {
  if (IsPlainText(name)) {
    out.append(name);
    return;
  }
  const bool encode_high = !IsValidUtf8(name);
  // Browsers strip spaces at either end of a URL attribute.
  const std::size_t first_kept = name.find_first_not_of(' ');
  const std::size_t last_kept = name.find_last_not_of(' ');
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const auto b = static_cast<unsigned char>(c);
    const bool edge_space = c == ' ' && (i < first_kept || i > last_kept);
    const bool encode = ChangesUrl(b) || edge_space || (encode_high && b >= 0x80);
    if (encode) {
      out += '%';
      AppendHexByte(out, b);
    } else {
      AppendEscapedHtml(out, std::string_view(&c, 1));
    }
  }
}

// Anyone who can create a folder chooses its name: control bytes (a line
// feed, a terminal escape) and C1 controls are shown as \xNN, and so is a
// backslash, so a failure stays one inert, unambiguous line.
std::string PrintableText(std::string_view text) {
  const bool utf8 = IsValidUtf8(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const bool c1 =
        utf8 && b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (b < 0x20 || b == 0x7F || b == '\\' || (!utf8 && b >= 0x80) || c1) {
      const int count = c1 ? 2 : 1;
      for (int k = 0; k < count; ++k) {
        out += "\\x";
        AppendHexByte(out, static_cast<unsigned char>(text[i + k]));
      }
      i += count - 1;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace pelorin
