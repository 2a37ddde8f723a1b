#include "settings/option_keys.h"

#include <gtest/gtest.h>

#include "settings/options_check.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

TEST(OptionKeys, SeedingWritesEveryFirstRunValueThenTheFlag) {
  MemorySettingsStore store;
  SeedFirstRunValues(store, "/opt/pelorin2");
  std::string listed;
  for (const OptionKey& key : OptionKeys())
    listed += std::string(key.key) + "=" + GetText(store, key.key) + ";";
  EXPECT_EQ(listed,
            "ShowPics=0;ScalePics=0;UseThumbnails=0;ThumbnailSubdir=0;PicsInHtml=0;"
            "IndexFilename=index.html;ScalePercent=60;ThumbnailPrefix=small_;"
            "MainTemplate=/opt/pelorin2/template.htm;"
            "PictureTemplate=/opt/pelorin2/picture_template.htm;"
            "FileTypes=GIF, PNG\r\nJPG, JPEG, JPE\r\nHTM, HTML, SHTML, PHP, PHP3\r\n;"
            "PageTitle=;Keywords=;Separator=;DynamicTitle=0;DynamicDescription=0;"
            "DynamicKeywords=0;OpenIndexWhenDone=1;CloseWhenDone=1;DataHasBeenSetUp=True;");
  EXPECT_EQ(std::string(kFirstRunFileTypes).size(), 55u);
  EXPECT_TRUE(GetBoolean(store, kDataHasBeenSetUp));
  EXPECT_EQ(FindOptionKey("Nope"), nullptr);
  ASSERT_NE(FindOptionKey("Separator"), nullptr);

  const PageOptions options = LoadPageOptions(store);
  EXPECT_EQ(options.index_filename, "index.html");
  EXPECT_EQ(options.thumbnail_prefix, "small_");
  EXPECT_FALSE(options.show_pics);
  EXPECT_TRUE(LoadFileTypeList(store).IsInteresting("a.JPE"));
}

TEST(OptionProblems, MessagesForEachMissingOption) {
  MemorySettingsStore store;
  EXPECT_EQ(OptionsCheckMessage(OptionProblems(store)),
            "Sorry, there are a few things in the options window that I need you to fill in "
            "first:\r\n"
            "  - Please specify a name for the index files\r\n"
            "  - Please define a template file\r\n"
            "  - Please specify which file types you want to list\r\n"
            "Click OK to open the options window, Cancel to return to the main form");

  testing::TempTree tree;
  tree.WriteFile("template.htm", "x");
  tree.MakeFolder("folder.htm");
  SeedFirstRunValues(store, tree.root());
  store.SaveSetting("General Variables", "PictureTemplate", "");
  EXPECT_TRUE(OptionProblems(store).empty());  // no picture pages asked for

  SaveVariable(store, "PicsInHtml", std::int16_t{1});
  SaveVariable(store, "MainTemplate", tree.Path("folder.htm"));
  EXPECT_EQ(
      OptionProblems(store),
      (std::vector<std::string>{"  - Please define a template file",
                                "  - Please define a template file for the individual pictures"}));
  SaveVariable(store, "PictureTemplate", tree.Path("template.htm"));
  SaveVariable(store, "MainTemplate", tree.Path("missing.htm"));
  EXPECT_EQ(OptionProblems(store).size(), 1u);
}

}  // namespace
}  // namespace pelorin
