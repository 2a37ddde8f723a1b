#include "engine/file_type_list.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "common/text_routines.h"

namespace pelorin {
namespace {

TEST(FileTypeList, MatchesWholeExtensionsIgnoringCase) {
  const FileTypeList offered("GIF, PNG\r\nJPG, JPEG, JPE\r\nHTM, HTML, SHTML, PHP, PHP3\r\n");
  const struct {
    const char* name;
    bool expected;
  } cases[] = {
      {"Photo.JPG", true},       {"page.ph", false}, {"logo.if", false}, {"notes.txt", false},
      {"archive.tar.gz", false}, {"README", false},  {"memo.", false},   {".htaccess", false},
      {"index.html", true},      {"x.php3", true},   {"a.b.PnG", true},
  };
  for (const auto& c : cases) EXPECT_EQ(offered.IsInteresting(c.name), c.expected) << c.name;

  const FileTypeList patterns("*.jpg;.gz\tgif\n\n,,");
  EXPECT_TRUE(patterns.IsInteresting("x.JPG"));
  EXPECT_TRUE(patterns.IsInteresting("archive.tar.gz"));
  EXPECT_TRUE(patterns.IsInteresting("a.gif"));
  EXPECT_EQ(patterns.entries().size(), 3u);

  EXPECT_FALSE(FileTypeList("").IsInteresting("a.gif"));
  EXPECT_FALSE(FileTypeList("*.").IsInteresting("memo."));
}

// A list of 100,000 entries (long and short, each twice in another case) is
// read in linear time: well under a second, where a pass over the entries
// already read for each new one takes tens of seconds.
TEST(FileTypeList, LongListsAreReadInLinearTime) {
  std::string text;
  for (int i = 0; i < 50000; ++i) {
    const std::string ext = (i % 2 == 0 ? "e" : "longer-extension-") + std::to_string(i);
    std::string upper = ext;
    for (char& c : upper) c = AsciiUpper(c);
    text += ext + ", *." + upper + "\n";
  }
  const auto start = std::chrono::steady_clock::now();
  const FileTypeList list(text);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::seconds(2));
  EXPECT_EQ(list.entries().size(), 50000u);
  EXPECT_TRUE(list.IsInteresting("x.E48"));
  EXPECT_TRUE(list.IsInteresting("x.Longer-Extension-49999"));
  EXPECT_FALSE(list.IsInteresting("x.longer-extension-50001"));
  EXPECT_FALSE(list.IsInteresting("x.e1"));
}

}  // namespace
}  // namespace pelorin
