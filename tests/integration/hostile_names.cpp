#include "integration/hostile_names.h"

namespace pelorin::testing {

std::vector<std::string> HostileFileNames() {
  return {
      "<script>alert(1)<\\script>.gif",
      "<img src=x onerror=alert(1)>.gif",
      "\"onerror=x.gif",
      "\" onmouseover=\"alert(1).gif",
      "' onmouseover='alert(1)'.gif",
      "a&amp;b.gif",
      "&#60;b&#62;.gif",
      "<!--.gif",
      "]]>.gif",
      "javascript:alert(1).gif",
      "JaVaScRiPt:alert(2).gif",
      "data:text,x.gif",
      "http:evil.gif",
      "c|.gif",
      "   leading spaces.gif",
      "trailing spaces   .gif",
      "   .gif",
      "#top.gif",
      "?query=1.gif",
      "100%.gif",
      "%2e%2e.gif",
      "%3Cb%3E.gif",
      "back\\slash.gif",
      "line\nbreak.gif",
      "carriage\rreturn.gif",
      "tab\there.gif",
      "caf\xe9 latin-1.gif",
      "\xff\xfe not utf-8.gif",
      "\xc3\xa9t\xc3\xa9 utf-8.gif",
      "\xe2\x80\xae"
      "fig.exe reversed.gif",
      "\xef\xbb\xbf"
      "bom.gif",
  };
}

std::vector<HostileFolder> HostileFolders() {
  return {
      // Together with its file this spells <script>alert(1)</script>.gif.
      {"<script>alert(1)<", {"script>.gif"}},
      {"\"><img src=x onerror=alert(1)>", {"inner.gif"}},
      {"javascript:alert(document.title)", {"inner.gif"}},
      {"c|", {"inner.gif"}},
      {"C:", {"inner.gif"}},
      {"   ", {"inner.gif"}},
      {"a&b <i>", {"a&amp;b.gif"}},
      {"line\nbreak", {"inner.gif"}},
      {"\xff\xfe", {"\xfe\xff.gif"}},
  };
}

std::vector<std::string> EveryByteFileNames() {
  std::vector<std::string> names;
  std::string low = "low-";
  std::string high = "high-";
  for (int b = 1; b <= 0xFF; ++b) {
    if (b == '/') continue;
    const char c = static_cast<char>(b);
    names.push_back(std::string("byte-") + c + ".gif");
    (b < 0x80 ? low : high) += c;
  }
  names.push_back(low + ".gif");
  names.push_back(high + ".gif");
  return names;
}

std::vector<std::string> EveryByteFolderNames() {
  std::vector<std::string> names;
  for (int b = 1; b <= 0xFF; ++b) {
    if (b == '/' || b == '.') continue;
    names.push_back(std::string(1, static_cast<char>(b)));
  }
  return names;
}

std::string UnescapeHtml(const std::string& text) {
  static const std::pair<const char*, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    bool matched = false;
    for (const auto& [entity, c] : kEntities) {
      if (text.compare(i, std::char_traits<char>::length(entity), entity) == 0) {
        out += c;
        i += std::char_traits<char>::length(entity);
        matched = true;
        break;
      }
    }
    if (!matched) out += text[i++];
  }
  return out;
}

std::string PercentDecode(const std::string& text) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace pelorin::testing
