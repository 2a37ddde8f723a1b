#include "settings/option_keys.h"

#include <gtest/gtest.h>

#include "settings/options_check.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

// The first-run values are a store every rule accepts as it stands, with
// the templates of the installation, that allows a run.
TEST(OptionKeys, SeedingWritesEveryFirstRunValueThenTheFlag) {
  MemorySettingsStore store;
  SeedFirstRunValues(store, "/opt/pelorin2");
  for (const OptionKey& key : OptionKeys()) {
    const std::string value = GetText(store, key.key);
    std::string stored;
    EXPECT_TRUE(NormaliseValue(key, value, &stored)) << key.key << "=" << value;
    EXPECT_EQ(stored, value) << key.key;
  }
  EXPECT_EQ(GetText(store, keys::kMainTemplate), "/opt/pelorin2/template.htm");
  EXPECT_EQ(GetText(store, keys::kPictureTemplate), "/opt/pelorin2/picture_template.htm");
  EXPECT_TRUE(GetBoolean(store, kDataHasBeenSetUp));
  EXPECT_FALSE(NeedsFirstRunValues(store));
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

  // The thumbnail subfolder's name is checked only while it is in use.
  SaveVariable(store, "MainTemplate", tree.Path("template.htm"));
  SaveVariable(store, "ThumbnailFolder", "");
  EXPECT_TRUE(OptionProblems(store).empty());
  SaveVariable(store, "UseThumbnails", std::int16_t{1});
  SaveVariable(store, "ThumbnailSubdir", std::int16_t{1});
  for (const char* name : {"", ".thumbs", "a/b", ".."}) {
    SaveVariable(store, "ThumbnailFolder", name);
    EXPECT_EQ(OptionProblems(store),
              std::vector<std::string>{"  - Please define the name of the thumbnail subdirectory"})
        << name;
  }
  SaveVariable(store, "ThumbnailFolder", "thumbs");
  EXPECT_TRUE(OptionProblems(store).empty());

  // Making thumbnails: a size in range, and never the picture itself.
  SaveVariable(store, "MakeThumbnails", std::int16_t{1});
  for (const char* size : {"15", "2049", "16.5", "abc", ""}) {
    SaveVariable(store, "ThumbnailSize", size);
    EXPECT_EQ(OptionProblems(store),
              std::vector<std::string>{"  - Please give a thumbnail size from 16 to 2048 pixels"})
        << size;
  }
  SaveVariable(store, "ThumbnailSize", " 2048 ");
  EXPECT_TRUE(OptionProblems(store).empty());
  SaveVariable(store, "ThumbnailSubdir", std::int16_t{0});
  SaveVariable(store, "ThumbnailPrefix", "");
  EXPECT_EQ(
      OptionProblems(store),
      std::vector<std::string>{"  - Please define a thumbnail prefix or a thumbnail subdirectory"});
}

TEST(OptionKeys, EachKeyTakesWhatItsRuleAllows) {
  const struct {
    const char* key;
    const char* value;
    const char* stored;  // nullptr: refused
  } cases[] = {
      {"ShowPics", " Yes ", "1"},
      {"ShowPics", "OFF", "0"},
      {"ShowPics", "maybe", nullptr},
      {"ShowPics", "", nullptr},
      {"ThumbnailSize", " 300 ", "300"},
      {"ThumbnailSize", "15", nullptr},
      {"ThumbnailSize", "1e20", nullptr},
      {"ThumbnailSize", "16.5", nullptr},
      {"ScalePercent", "60%", "60%"},
      {"ScalePercent", "101", nullptr},
      {"BulletWidth", "", ""},
      {"BulletWidth", "x", nullptr},
      {"PictureDisplay", "1", "1"},
      {"PictureDisplay", "2", nullptr},
      {"IndexFilename", "a/b", nullptr},
      {"IndexFilename", "..", nullptr},
      {"ThumbnailPrefix", "", ""},
      {"ThumbnailPrefix", "t/", nullptr},
      {"DataHasBeenSetUp", "on", "True"},
      {"PageTitle", "a/b <b>", "a/b <b>"},
      {"DisplaySize", "", ""},
      {"DisplaySize", "1600", "1600"},
      {"DisplaySize", "319", nullptr},
      {"DisplaySize", "4097", nullptr},
  };
  for (const auto& c : cases) {
    std::string stored;
    const bool taken = NormaliseValue(*FindOptionKey(c.key), c.value, &stored);
    EXPECT_EQ(taken, c.stored != nullptr) << c.key << "=" << c.value;
    if (taken && c.stored != nullptr) {
      EXPECT_EQ(stored, c.stored) << c.key << "=" << c.value;
    }
  }
  // A stored switch must already be 0 or 1: "yes" would read as off.
  EXPECT_FALSE(StoredValueFits(*FindOptionKey("ShowPics"), "yes"));
  EXPECT_TRUE(StoredValueFits(*FindOptionKey("ShowPics"), ""));
}

TEST(OptionProblems, NamesThatTakeAPicturesPlaceAndNumbersOutOfRange) {
  testing::TempTree tree;
  tree.WriteFile("template.htm", "x");
  MemorySettingsStore store;
  SeedFirstRunValues(store, tree.root());
  SaveVariable(store, "UseThumbnails", "1");
  SaveVariable(store, "ThumbnailSubdir", "1");
  const struct {
    const char* key;
    std::string value;
    const char* line;
  } cases[] = {
      {"IndexFilename", "b.PNG",
       "  - Please specify a name for the index files that is not a picture's name"},
      {"IndexFilename", "b.jpe.html",
       "  - Please specify a name for the index files that is not a picture page's name"},
      {"ThumbnailFolder", std::string(256, 't'),
       "  - Please define a name of the thumbnail subdirectory of at most 255 bytes"},
      {"ThumbnailFolder", "index.html",
       "  - Please define a name of the thumbnail subdirectory other than the index files' name"},
      // Checked even while no thumbnail is made, and never read as a wrapped number.
      {"ThumbnailSize", "1e20", "  - Please give a thumbnail size from 16 to 2048 pixels"},
      {"ShowPics", "yes", "  - ShowPics: please give 0 or 1 (or yes/no, true/false, on/off)"},
      {"BulletHeight", "99999",
       "  - BulletHeight: please give nothing or a whole number from 1 to 10000"},
      {"DisplaySize", "big",
       "  - DisplaySize: please give nothing or a whole number from 320 to 4096"},
      {"ThumbnailSubdir", "0",
       "  - Please put the thumbnails in a subdirectory for display copies, or leave the "
       "display size empty"},
  };
  for (const auto& c : cases) {
    MemorySettingsStore changed = store;
    if (std::string(c.key) == "ThumbnailSubdir") SaveVariable(changed, "DisplaySize", "1600");
    SaveVariable(changed, c.key, c.value);
    EXPECT_EQ(OptionProblems(changed), std::vector<std::string>{c.line}) << c.key;
    EXPECT_EQ(LoadPageOptions(changed).thumbnail_size, 160) << c.key;
  }
}

TEST(OptionKeys, AStoreWithoutTheNewerKeysKeepsItsPages) {
  MemorySettingsStore store;
  SeedFirstRunValues(store, "/opt");
  const PageOptions first_run = LoadPageOptions(store);
  SaveVariable(store, "PageTitle", "Mine");
  for (const char* key :
       {"ThumbnailFolder", "PictureDisplay", "ShowHeadings", "CategoriesInOneLine", "BulletPicture",
        "BulletWidth", "BulletHeight", "ShowCaptions", "ModernImages", "DisplaySize"}) {
    store.Erase(kGeneralSection, key);
  }
  const PageOptions older = LoadPageOptions(store);
  EXPECT_TRUE(older.show_headings);
  EXPECT_TRUE(older.categories_in_one_line);
  EXPECT_EQ(older.thumbnail_folder, first_run.thumbnail_folder);
  EXPECT_EQ(older.picture_display, "");
  EXPECT_FALSE(older.show_captions || older.modern_images);
  EXPECT_EQ(older.display_size, 0);

  SeedMissingValues(store, "/opt");
  EXPECT_EQ(GetText(store, "ShowHeadings"), "1");
  EXPECT_EQ(GetText(store, "ThumbnailFolder"), "thumbnails");
  EXPECT_EQ(GetText(store, "PageTitle"), "Mine");
}

}  // namespace
}  // namespace pelorin
