// pelorin2-cli called in process, with string streams and a memory store:
// first run, the key table's rules, --set, each command's help, --quiet and
// the risky-folder question.
#include "cli/cli_app.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "settings/option_keys.h"
#include "settings/overridden_store.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

using testing::TempTree;

struct Cli {
  Cli() {
    tree.WriteFile("site/a.gif");
    tree.WriteFile("site/Sub/b.gif");
  }
  // Seeded as `options reset` would, with the templates of this build.
  void Reset() { SeedFirstRunValues(store, installation); }

  int Run(std::vector<std::string> args, const std::string& answer = "", bool terminal = false) {
    std::istringstream in(answer);
    std::ostringstream out_stream;
    std::ostringstream err_stream;
    CliEnvironment environment{
        .in = in,
        .out = out_stream,
        .err = err_stream,
        .in_is_terminal = terminal,
        .err_is_terminal = terminal,
        .open_settings =
            [this](const std::string& file, OpenedSettings* opened, std::string*) {
              opened->store = std::make_unique<OverriddenSettingsStore>(store);
              opened->file = file;
              return true;
            },
        .installation_folder = installation};
    args.insert(args.begin(), {"--settings", "s.ini"});
    const int status = RunCli(args, environment);
    out = out_stream.str();
    err = err_stream.str();
    return status;
  }

  TempTree tree;
  std::string installation = PELORIN_DATA_DIR;
  MemorySettingsStore store;
  std::string out;
  std::string err;
};

TEST(CliApp, ADryRunWritesNoPageAndNoSetting) {
  Cli cli;
  EXPECT_EQ(cli.Run({"index", "-nv", cli.tree.Path("site")}), 0) << cli.err;
  EXPECT_EQ(cli.err, "");
  EXPECT_TRUE(NeedsFirstRunValues(cli.store));
  EXPECT_FALSE(cli.tree.Exists("site/index.html"));
  EXPECT_NE(cli.out.find(cli.tree.Path("site/Sub/") + ": new page\n"), std::string::npos)
      << cli.out;
  EXPECT_NE(cli.out.find("Dry run over 2 folders; nothing was written.\n"
                         "Pages: 2 new, 0 changed, 0 unchanged\n"),
            std::string::npos)
      << cli.out;
}

TEST(CliApp, ANewStoreGetsFirstRunValuesAndABrokenOneNamesItsKeys) {
  Cli cli;
  EXPECT_EQ(cli.Run({"index", cli.tree.Path("site")}), 0) << cli.err;
  EXPECT_EQ(cli.err, "pelorin2-cli: new settings s.ini with first-run values\n");
  EXPECT_EQ(cli.out, "Indexed 2 folders: 2 pages written, 0 unchanged, 0 failed\nTop page: " +
                         cli.tree.Path("site/index.html") + "\n");
  EXPECT_EQ(cli.Run({"check"}), 0);
  EXPECT_EQ(cli.err, "");  // said once

  cli.store.SaveSetting(kGeneralSection, "ThumbnailSize", "1e20");
  cli.store.SaveSetting(kGeneralSection, "ShowPics", "yes");
  const std::string problems =
      "The options do not allow a run yet:\n"
      "  ThumbnailSize: please give a thumbnail size from 16 to 2048 pixels\n"
      "  ShowPics: please give 0 or 1 (or yes/no, true/false, on/off)\n"
      "Fix them with 'pelorin2-cli --settings s.ini options set KEY VALUE', or with "
      "'pelorin2-cli --settings s.ini options reset' for the first-run values.\n";
  EXPECT_EQ(cli.Run({"check"}), 2);
  EXPECT_EQ(cli.out, problems);
  EXPECT_EQ(cli.Run({"index", cli.tree.Path("site")}), 2);
  EXPECT_EQ(cli.err, problems);
  EXPECT_EQ(cli.err.find("window"), std::string::npos);
}

TEST(CliApp, ValuesAreCheckedBeforeTheyAreStoredOrUsed) {
  Cli cli;
  cli.Reset();
  EXPECT_EQ(cli.Run({"options", "set", "ShowPics", "Yes"}), 0);
  EXPECT_EQ(GetText(cli.store, "ShowPics"), "1");
  EXPECT_EQ(cli.Run({"options", "set", "ThumbnailSize", "5"}), 2);
  EXPECT_EQ(cli.err,
            "pelorin2-cli: ThumbnailSize takes a whole number from 16 to 2048, not '5'; nothing "
            "was stored\n");
  EXPECT_EQ(GetText(cli.store, "ThumbnailSize"), "160");
  EXPECT_EQ(cli.Run({"options", "set", "Colour", "red"}), 2);
  EXPECT_TRUE(cli.err.starts_with("pelorin2-cli: unknown key 'Colour'; the keys are: ShowPics, "));

  // --set: this run only, checked the same way.
  EXPECT_EQ(cli.Run({"index", "--set", "IndexFilename=start.html", "--set=ShowPics=no",
                     cli.tree.Path("site")}),
            0)
      << cli.err;
  EXPECT_TRUE(cli.tree.Exists("site/Sub/start.html"));
  EXPECT_EQ(GetText(cli.store, "IndexFilename"), "index.html");
  EXPECT_EQ(GetText(cli.store, "ShowPics"), "1");
  for (const char* bad : {"ThumbnailSize=abc", "Nope=1", "ShowPics"}) {
    EXPECT_EQ(cli.Run({"index", "--set", bad, cli.tree.Path("site")}), 2) << bad;
  }
  EXPECT_EQ(cli.err,
            "pelorin2-cli: --set needs KEY=VALUE, not 'ShowPics'\n"
            "Try 'pelorin2-cli index --help'.\n");
}

TEST(CliApp, ArgumentsHelpAndVersion) {
  Cli cli;
  cli.Reset();
  const struct {
    std::vector<std::string> args;
    int status;
    const char* start;  // of stdout, or of stderr when the status is 2
  } cases[] = {
      {{"--help"}, 0, "Usage: pelorin2-cli [--settings FILE] COMMAND"},
      {{"help", "index"}, 0, "Usage: pelorin2-cli [--settings FILE] index [OPTIONS] FOLDER"},
      {{"index", "--help"}, 0, "Usage: pelorin2-cli [--settings FILE] index [OPTIONS] FOLDER"},
      {{"options", "--help"}, 0, "Usage: pelorin2-cli [--settings FILE] options list"},
      {{"check", "-h"}, 0, "Usage: pelorin2-cli [--settings FILE] check"},
      {{"--version"}, 0, "pelorin2-cli 2.0."},
      {{"--bogus"}, 2, "pelorin2-cli: unknown option '--bogus'\n"},
      {{"launch"}, 2, "pelorin2-cli: unknown command 'launch'\n"},
      {{"index", "-j2", "-q", "SITE"}, 0, ""},
      {{"index", "-yqj", "2", "SITE"}, 0, ""},
      {{"index", "--jobs=2", "--quiet", "SITE"}, 0, ""},
      {{"index", "--jobs=0", "SITE"}, 2, "pelorin2-cli: --jobs needs a number from 1 to 64"},
      {{"index", "--quiet=1", "SITE"}, 2, "pelorin2-cli: --quiet takes no value"},
      {{"index", "-x", "SITE"}, 2, "pelorin2-cli: unknown option '-x' for index"},
      {{"index", "SITE", "SITE"}, 2, "pelorin2-cli: index takes one FOLDER"},
      {{"prune", "--dry-run", "SITE"}, 0, "SITE/gone.gif.html\n1 file to remove; nothing was"},
      {{"prune", "SITE"}, 0, "Removed 1 file made for pictures that are gone\n"},
      {{"prune", "-n", "SITE"}, 0, "0 files to remove"},
      {{"prune"}, 2, "pelorin2-cli: prune needs a FOLDER"},
  };
  cli.tree.WriteFile("site/gone.gif.html", "<p>\n<!-- made by Pelorin2 -->\n");
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    for (std::string& arg : args) {
      if (arg == "SITE") arg = cli.tree.Path("site");
    }
    EXPECT_EQ(cli.Run(args), c.status) << args[0] << ' ' << args.back() << cli.err;
    std::string start = c.start;
    if (start.starts_with("SITE")) start.replace(0, 4, cli.tree.Path("site"));
    EXPECT_TRUE((c.status == 2 ? cli.err : cli.out).starts_with(start))
        << args[0] << ' ' << args.back() << ": " << cli.out << cli.err;
  }
}

TEST(CliApp, QuietSaysOnlyWhatWentWrong) {
  Cli cli;
  cli.Reset();
  EXPECT_EQ(cli.Run({"index", "--quiet", cli.tree.Path("site")}, "", true), 0);
  EXPECT_EQ(cli.out + cli.err, "");
  // Without it a terminal gets the status line, with the time.
  EXPECT_EQ(cli.Run({"index", cli.tree.Path("site")}, "", true), 0);
  EXPECT_TRUE(cli.err.starts_with("\rIndexed ")) << cli.err;
  EXPECT_TRUE(cli.err.ends_with(" s)\x1b[K\n")) << cli.err;

  cli.tree.MakeFolder("bad/index.html");  // where the page goes
  EXPECT_EQ(cli.Run({"index", "--quiet", cli.tree.Path("bad")}), 1);
  EXPECT_EQ(cli.out, "");
  EXPECT_EQ(cli.err, cli.tree.Path("bad/") +
                         ": cannot write index.html: Is a directory\n"
                         "Indexed 1 folder: 1 page written, 0 unchanged, 1 failed\n");
}

TEST(CliApp, RiskyFolderIsOneQuestion) {
  Cli cli;
  cli.Reset();
  const std::string saved_home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", cli.tree.Path("site").c_str(), 1);
  const std::string question = "This will write index.html into\n  \"" + cli.tree.Path("site/") +
                               "\"\nand into every folder below it.\nContinue?";
  EXPECT_EQ(cli.Run({"index", cli.tree.Path("site")}, "n\n", true), 3);
  EXPECT_EQ(cli.err, question + " [y/N] Nothing was written.\n");
  EXPECT_EQ(cli.Run({"index", cli.tree.Path("site")}), 3);
  EXPECT_EQ(cli.err, question +
                         " no: there is no terminal to ask; pass --yes to index this folder\n"
                         "Nothing was written.\n");
  EXPECT_EQ(cli.Run({"index", "--quiet", cli.tree.Path("site")}, "y\n", true), 0);
  EXPECT_TRUE(cli.tree.Exists("site/index.html"));
  ::setenv("HOME", saved_home.c_str(), 1);
}

}  // namespace
}  // namespace pelorin
