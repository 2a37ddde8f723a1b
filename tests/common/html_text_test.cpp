#include "common/html_text.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

std::string Url(std::string_view name) {
  std::string out;
  AppendUrlAttribute(out, name);
  return out;
}

TEST(HtmlText, EscapesMarkupAndEncodesLinkBreakers) {
  EXPECT_EQ(EscapeHtml("<script>alert(1)</script>"), "&lt;script&gt;alert(1)&lt;/script&gt;");
  EXPECT_EQ(EscapeHtml("a&amp;b \"q\""), "a&amp;amp;b &quot;q&quot;");
  EXPECT_EQ(EscapeHtml("Family & Friends"), "Family &amp; Friends");

  const struct {
    std::string name;
    std::string expected;
  } cases[] = {
      {"report 2026.html", "report 2026.html"},  // spaces stay
      {"100%.gif", "100%25.gif"},
      {"a#b?.gif", "a%23b%3F.gif"},
      {"back\\slash.gif", "back%5Cslash.gif"},
      {"\"onerror=x.gif", "&quot;onerror=x.gif"},
      {"a&b<c>.gif", "a&amp;b&lt;c&gt;.gif"},
      {std::string("new\nline\x7f.gif"), "new%0Aline%7F.gif"},
      {"caf\xc3\xa9.gif", "caf\xc3\xa9.gif"},  // valid UTF-8 passes through
      {"bad\xe9.gif", "bad%E9.gif"},           // not UTF-8: encoded so the link works
      // Would be a scheme or a drive at the start of a relative URL.
      {"javascript:alert(1).gif", "javascript%3Aalert(1).gif"},
      {"c|x.gif", "c%7Cx.gif"},
      // Browsers strip spaces at either end of an attribute's URL.
      {" a b.gif ", "%20a b.gif%20"},
      {"  ", "%20%20"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Url(c.name), c.expected) << c.name;
    // The fast path that copies plain names must agree with both routines.
    if (IsPlainText(c.name)) {
      EXPECT_EQ(c.expected, c.name);
      EXPECT_EQ(EscapeHtml(c.name), c.name);
    }
  }
  EXPECT_TRUE(IsPlainText("report 2026.html"));
}

TEST(HtmlText, Utf8Validation) {
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("\xe2\x82\xac \xf0\x9f\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("\xc3"));              // cut short
  EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xf4\x90\x80\x80"));  // beyond U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xff"));
}

}  // namespace
}  // namespace pelorin
