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

}  // namespace
}  // namespace pelorin
