#include "settings/qt_settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "settings/option_keys.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

namespace pelorin {
namespace {

TEST(QtSettingsStore, ValuesSurviveTheFileByteForByte) {
  testing::TempTree tree;
  const std::string file = tree.Path("settings.ini");
  {
    QtSettingsStore store(file);
    SeedFirstRunValues(store, "/opt/p");
    SaveVariable(store, "Separator", " &amp; \"q\" \\ ; # =");
    SaveVariable(store, "PageTitle", "Caf\xc3\xa9");
    std::string error;
    ASSERT_TRUE(store.Flush(&error)) << error;
  }
  QtSettingsStore store(file);
  std::string error;
  EXPECT_TRUE(store.CheckReadable(&error)) << error;
  EXPECT_EQ(GetText(store, "FileTypes"), kFirstRunFileTypes);
  EXPECT_EQ(GetText(store, "Separator"), " &amp; \"q\" \\ ; # =");
  EXPECT_EQ(GetText(store, "PageTitle"), "Caf\xc3\xa9");
  EXPECT_EQ(GetText(store, "Never"), "");
  EXPECT_FALSE(GetBoolean(store, "Never"));
  EXPECT_EQ(GetNumber(store, "Never"), 0.0);
  EXPECT_EQ(GetNumber(store, "ScalePercent"), 60.0);
  EXPECT_TRUE(GetBoolean(store, kDataHasBeenSetUp));
}

TEST(QtSettingsStore, UnwritableAndUnreadableFilesAreReported) {
  testing::TempTree tree;
  tree.WriteFile("locked.ini", "[General%20Variables]\nIndexFilename=index.html\n");
  tree.GiveTo(testing::UnprivilegedUid(), testing::UnprivilegedGid());
  ASSERT_EQ(::chmod(tree.Path("locked.ini").c_str(), 0), 0);
  const auto output = testing::RunUnprivileged([&] {
    QtSettingsStore store(tree.Path("locked.ini"));
    std::string read_error;
    std::string write_error;
    const bool readable = store.CheckReadable(&read_error);
    SaveVariable(store, "PageTitle", "x");
    const bool written = store.Flush(&write_error);
    return std::string(readable ? "readable" : read_error) + "\n" +
           (written ? "written" : write_error);
  });
  ASSERT_TRUE(output.has_value());
  EXPECT_EQ(*output, "cannot read the settings file " + tree.Path("locked.ini") +
                         ": Permission denied\ncannot write the settings file " +
                         tree.Path("locked.ini") + ": Permission denied");
}

// Values typed into the file by hand with unquoted commas read as the text
// the person wrote, not as nothing.
TEST(QtSettingsStore, HandWrittenValuesWithCommasReadAsWritten) {
  testing::TempTree tree;
  tree.WriteFile("hand.ini",
                 "[General%20Variables]\nPageTitle=Hello, world\nFileTypes=GIF, PNG,JPG\n"
                 "Separator=\" - \"\n");
  QtSettingsStore store(tree.Path("hand.ini"));
  EXPECT_EQ(GetText(store, keys::kPageTitle), "Hello, world");
  EXPECT_EQ(GetText(store, keys::kFileTypes), "GIF, PNG, JPG");
  EXPECT_EQ(GetText(store, keys::kSeparator), " - ");
}

// A settings file that is there but is not a regular file is never opened
// (a FIFO would hang every command) and is reported at once.
TEST(QtSettingsStore, SpecialFilesAreRefusedUnread) {
  testing::TempTree tree;
  ASSERT_EQ(::mkfifo(tree.Path("fifo.ini").c_str(), 0644), 0);
  tree.MakeFolder("folder.ini");
  for (const std::string& file :
       {tree.Path("fifo.ini"), tree.Path("folder.ini"), std::string("/dev/null")}) {
    QtSettingsStore store(file);
    std::string error;
    EXPECT_FALSE(store.CheckReadable(&error));
    EXPECT_EQ(error, "cannot read the settings file " + file + ": not a regular file");
    EXPECT_EQ(GetText(store, keys::kPageTitle), "");
    SaveVariable(store, keys::kPageTitle, "x");
    EXPECT_FALSE(store.Flush(&error));
  }
}

}  // namespace
}  // namespace pelorin
