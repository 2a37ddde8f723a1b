#include "engine/file_type_list.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pelorin
