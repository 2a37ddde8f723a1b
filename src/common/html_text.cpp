#include "common/html_text.h"

namespace pelorin {

void AppendEscapedHtml(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
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

void AppendUrlAttribute(std::string& out, std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const bool encode_high = !IsValidUtf8(name);
  // The name is the first segment of a relative URL, where ":" would make
  // "javascript:x.gif" a scheme and "c|" or "c:" a drive; browsers also strip
  // spaces at either end of a URL attribute.
  const std::size_t first_kept = name.find_first_not_of(' ');
  const std::size_t last_kept = name.find_last_not_of(' ');
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const auto b = static_cast<unsigned char>(c);
    const bool edge_space = c == ' ' && (i < first_kept || i > last_kept);
    const bool encode = b < 0x20 || b == 0x7F || c == '%' || c == '#' || c == '?' || c == '\\' ||
                        c == ':' || c == '|' || edge_space || (encode_high && b >= 0x80);
    if (encode) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    } else {
      AppendEscapedHtml(out, std::string_view(&c, 1));
    }
  }
}

}  // namespace pelorin
