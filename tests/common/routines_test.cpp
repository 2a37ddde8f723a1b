#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "common/default_jobs.h"
#include "common/path_routines.h"
#include "common/text_routines.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

TEST(DefaultJobs, OneThreadPerProcessorUpToEight) {
  const std::pair<unsigned, int> kCases[] = {{0, 1}, {1, 1}, {2, 2}, {8, 8}, {9, 8}, {64, 8}};
  for (const auto& [processors, jobs] : kCases) {
    EXPECT_EQ(DefaultJobsFor(processors), jobs) << processors;
  }
  EXPECT_GE(DefaultJobs(), 1);
  EXPECT_LE(DefaultJobs(), kMaxDefaultJobs);
  EXPECT_EQ(DefaultJobs(testing::TempTree().root()), DefaultJobs());  // a local disk
}

TEST(DefaultJobs, RemoteFileSystemsByType) {
  const std::pair<long, bool> kCases[] = {{0x6969, true},
                                          {0xFF534D42, true},
                                          {static_cast<std::int32_t>(0xFE534D42), true},
                                          {0x65735546, true},
                                          {0x01021997, true},
                                          {0xEF53, false} /* ext4 */,
                                          {0x01021994, false} /* tmpfs */,
                                          {0x58465342, false} /* xfs */};
  for (const auto& [type, remote] : kCases) {
    EXPECT_EQ(IsRemoteFileSystem(type), remote) << std::hex << type;
  }
}

TEST(CodeLibrary, PathSplitting) {
  EXPECT_EQ(Quote(), "\"");
  EXPECT_EQ(FileNameOf("C:/a/b.txt"), "b.txt");
  EXPECT_EQ(FileNameOf("b.txt"), "b.txt");
  EXPECT_EQ(FileNameOf("C:/a/"), "");
  EXPECT_EQ(FolderOf("C:/a/b.txt"), "C:/a/");
  EXPECT_EQ(FolderOf("b.txt"), "b.txt");
  EXPECT_EQ(ExtensionOf("photo.tar.JPG"), "JPG");
  EXPECT_EQ(ExtensionOf("notes."), "");
  EXPECT_EQ(ExtensionOf("README"), "");
  EXPECT_EQ(ExtensionOf(".profile"), "profile");
  EXPECT_EQ(ExtensionOf(""), "");
}

TEST(CodeLibrary, EnsureTrailingSeparator) {
  const struct {
    const char* path;
    const char* expected;
  } cases[] = {
      {"C:/Photos", "C:/Photos/"},
      {"C:/Photos/", "C:/Photos/"},
      {"C:/Photos/Trip.2001", "C:/Photos/"},
      {"notes.txt", "notes.txt"},
      {"", "/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EnsureTrailingSeparator(c.path, "/"), c.expected) << c.path;
  }
}

TEST(CodeLibrary, TextTests) {
  EXPECT_TRUE(IsBlank(""));
  EXPECT_TRUE(IsBlank("  \t"));
  EXPECT_FALSE(IsBlank(" x"));
  EXPECT_FALSE(IsBlank("\r\n"));

  EXPECT_TRUE(Contains("c:/windows/system", "Windows", true));
  EXPECT_FALSE(Contains("c:/windows/system", "Windows", false));
  EXPECT_TRUE(Contains("abc", "", true));
  EXPECT_FALSE(Contains("", "", true));

  EXPECT_TRUE(LineStartsWithTag("  <!--#title-->", "<!--#title-->", true));
  EXPECT_TRUE(LineStartsWithTag("Small_a.jpg", "small_", true));
  EXPECT_FALSE(LineStartsWithTag("x<!--#title-->", "<!--#title-->", true));
  EXPECT_TRUE(LineStartsWithTag("<!--#title--> more", "<!--#title-->", true));
  EXPECT_TRUE(LineStartsWithTag("abc", "", true));
  EXPECT_FALSE(LineStartsWithTag("small_a.jpg", "small_", false));
  // Only the first occurrence counts.
  EXPECT_FALSE(LineStartsWithTag("a small_ small_", "small_", true));

  EXPECT_EQ(CountOccurrences("c:/a/b/", "/"), 3);
  EXPECT_EQ(CountOccurrences("aaaa", "aa"), 3);
  EXPECT_EQ(CountOccurrences("ABC", "b"), 0);
  EXPECT_EQ(CountOccurrences("abc", ""), 0);
  EXPECT_EQ(CountOccurrences("a", "abc"), 0);

  EXPECT_EQ(StripEnds("abcdef", 2, 1), "cde");
  EXPECT_EQ(StripEnds("abc", 2, 1), "");
  EXPECT_EQ(StripEnds("abc", 0, 0), "abc");
  EXPECT_EQ(StripEnds("abc", 5, 0), "");
}

TEST(CodeLibrary, NameOrderFoldsAsciiCaseThenBytes) {
  EXPECT_TRUE(NameLess("apple", "Banana"));
  EXPECT_TRUE(NameLess("ab", "a_"));  // '_' sorts after letters once upper-cased
  EXPECT_TRUE(NameLess("A", "a"));    // a tie is broken by the raw bytes
  EXPECT_FALSE(NameLess("a", "A"));
  EXPECT_TRUE(NameLess("a", "ab"));
  EXPECT_TRUE(NameLess("z", "\xc3\xa9"));  // bytes above 0x7F sort last
}

TEST(CodeLibrary, FileExistsOnRealFiles) {
  testing::TempTree tree;
  tree.WriteFile("template.htm");
  tree.WriteFile(".hidden.htm");
  tree.MakeFolder("folder.htm");
  EXPECT_TRUE(FileExists(tree.Path("template.htm")));
  EXPECT_FALSE(FileExists(tree.Path(".hidden.htm")));
  EXPECT_FALSE(FileExists(tree.Path("folder.htm")));
  EXPECT_FALSE(FileExists(tree.Path("missing.htm")));
  EXPECT_FALSE(FileExists(tree.Path("no/such/folder/x.htm")));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(FileExists(tree.Path("*.htm")));
  EXPECT_TRUE(FileExists(tree.Path("templ?te.htm")));
  EXPECT_FALSE(FileExists(tree.Path("*.gif")));
  EXPECT_FALSE(FileExists(tree.Path("folder.h?m")));
}

}  // namespace
}  // namespace pelorin
