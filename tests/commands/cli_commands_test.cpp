// pelorin2-cli driven as a user would: real process, real files, exit codes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>

#include "support/cli_runner.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

using testing::TempTree;

using Result = testing::ProcessResult;

Result Cli(const std::vector<std::string>& args, const std::string& home = "/nonexistent") {
  testing::ProcessOptions options;
  options.home = home;  // no settings of the person running the tests
  return testing::RunCli(args, options);
}

TEST(CliOptions, ResetListGetSetAndErrors) {
  TempTree tree;
  const std::string ini = tree.Path("s.ini");
  Result r = Cli({"--settings", ini, "options", "reset"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  r = Cli({"--settings", ini, "options", "list"});
  EXPECT_EQ(r.exit_code, 0);
  // Line breaks in a value shown as \r and \n, the flag last.
  EXPECT_TRUE(r.out.ends_with("\nDataHasBeenSetUp=True\n")) << r.out;
  EXPECT_NE(r.out.find("\nFileTypes=GIF, PNG, WEBP\\r\\nJPG, JPEG, JPE\\r\\nHTM, HTML, SHTML, PHP, "
                       "PHP3\\r\\n\n"),
            std::string::npos)
      << r.out;

  r = Cli({"--settings", ini, "options", "set", "PageTitle", "My <b>pics</b>"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  r = Cli({"--settings", ini, "options", "get", "PageTitle"});
  EXPECT_EQ(r.out, "My <b>pics</b>\n");

  r = Cli({"--settings", ini, "options", "set", "Colour", "red"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "");
}

// Two commands that change the settings at the same moment take turns:
// neither loses the other's value, even when the file keeps its size.
TEST(CliOptions, SimultaneousSetsKeepBothValues) {
  TempTree tree;
  const std::string cli = testing::CliPath();
  for (int round = 0; round < 10; ++round) {
    const std::string ini = tree.Path("s" + std::to_string(round) + ".ini");
    ASSERT_EQ(Cli({"--settings", ini, "options", "reset"}).exit_code, 0);
    std::vector<pid_t> children;
    for (const char* key : {"ShowPics", "PicsInHtml", "ScalePics", "DynamicTitle",
                            "DynamicKeywords", "MakeThumbnails"}) {
      const pid_t child = ::fork();
      if (child == 0) {
        ::execl(cli.c_str(), "pelorin2-cli", "--settings", ini.c_str(), "options", "set", key, "1",
                static_cast<char*>(nullptr));
        ::_exit(127);
      }
      children.push_back(child);
    }
    for (pid_t child : children) ::waitpid(child, nullptr, 0);
    for (const char* key : {"ShowPics", "PicsInHtml", "ScalePics", "DynamicTitle",
                            "DynamicKeywords", "MakeThumbnails"}) {
      EXPECT_EQ(Cli({"--settings", ini, "options", "get", key}).out, "1\n")
          << key << " in round " << round;
    }
  }
}

TEST(CliCheckAndIndex, RefusesBadOptionsAndFolders) {
  TempTree tree;
  tree.WriteFile("site/a.gif");
  const std::string ini = tree.Path("s.ini");

  ASSERT_EQ(Cli({"--settings", ini, "options", "reset"}).exit_code, 0);
  Result r;
  r = Cli({"--settings", ini, "index", tree.Path("nowhere")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err,
            "pelorin2-cli: cannot index " + tree.Path("nowhere") + ": No such file or directory\n");
  r = Cli({"--settings", ini, "index", tree.Path("site/a.gif")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("not a folder"), std::string::npos);
  EXPECT_EQ(Cli({"--settings", ini, "index", "--jobs", "0", tree.Path("site")}).exit_code, 2);
  EXPECT_EQ(Cli({"--settings", ini, "index", "--bogus", tree.Path("site")}).exit_code, 2);
}

TEST(CliCheckAndIndex, RiskyFolderNeedsYesAndRunsReportFailures) {
  TempTree tree;
  tree.WriteFile("home/a.gif");
  tree.WriteFile("home/Sub/b.gif");
  const std::string ini = tree.Path("s.ini");
  ASSERT_EQ(Cli({"--settings", ini, "options", "reset"}).exit_code, 0);

  // The home folder is risky; without a terminal the answer is no.
  Result r = Cli({"--settings", ini, "index", tree.Path("home")}, tree.Path("home"));
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_FALSE(tree.Exists("home/index.html"));
  r = Cli({"--settings", ini, "index", "--yes", tree.Path("home")}, tree.Path("home"));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(tree.ReadFile("home/index.html").find("<a href=\"Sub/index.html\">Sub</a>"),
            std::string::npos);

  // A folder that fails is listed and the exit status says so.
  const std::string template_path = tree.Path("home/Sub/index.html");
  ASSERT_EQ(Cli({"--settings", ini, "options", "set", "MainTemplate", template_path}).exit_code, 0);
  const std::string before = tree.ReadFile("home/Sub/index.html");
  r = Cli({"--settings", ini, "index", tree.Path("home/Sub")});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("0 pages written, 0 unchanged, 1 failed"), std::string::npos) << r.out;
  EXPECT_TRUE(r.err.starts_with(tree.Path("home/Sub/") + ": the template " + template_path))
      << r.err;
  EXPECT_EQ(tree.ReadFile("home/Sub/index.html"), before);
}

// What is printed must arrive: a full device behind standard output is a
// write error and exit status 2, for every command that prints.
TEST(CliOutput, WriteErrorsOnStandardOutputFailTheCommand) {
  TempTree tree;
  tree.WriteFile("site/a.gif");
  const std::string ini = tree.Path("s.ini");
  ASSERT_EQ(Cli({"--settings", ini, "options", "reset"}).exit_code, 0);
  const std::vector<std::vector<std::string>> commands = {
      {"--settings", ini, "options", "list"},
      {"--settings", ini, "options", "get", "IndexFilename"},
      {"--settings", ini, "check"},
      {"--settings", ini, "index", tree.Path("site")},
      {"--help"},
  };
  for (const auto& args : commands) {
    SCOPED_TRACE(args.back());
    testing::ProcessOptions options;
    options.home = "/nonexistent";
    options.stdout_file = "/dev/full";
    const Result r = testing::RunCli(args, options);
    EXPECT_EQ(r.exit_code, 2) << r.Describe();
    EXPECT_TRUE(r.err.ends_with("pelorin2-cli: write error: No space left on device\n")) << r.err;
  }
}

// Settings or a picture template that are a FIFO are refused at once (exit 2,
// the file named), never opened: opening a FIFO waits for a writer forever.
TEST(CliOptions, SpecialFilesAreRefusedAtOnce) {
  TempTree tree;
  tree.WriteFile("site/a.gif");
  const std::string ini = tree.Path("s.ini");
  ASSERT_EQ(Cli({"--settings", ini, "options", "reset"}).exit_code, 0);
  ASSERT_EQ(::mkfifo(tree.Path("fifo").c_str(), 0644), 0);
  testing::ProcessOptions options;
  options.home = "/nonexistent";
  options.timeout_seconds = 20;
  for (const char* command : {"check", "index"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> args = {"--settings", tree.Path("fifo"), command};
    if (std::string(command) == "index") args.push_back(tree.Path("site"));
    const Result r = testing::RunCli(args, options);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 2) << r.Describe();
    EXPECT_EQ(r.err, "pelorin2-cli: cannot read the settings file " + tree.Path("fifo") +
                         ": not a regular file\n");
  }
  ASSERT_EQ(Cli({"--settings", ini, "options", "set", "PicsInHtml", "1"}).exit_code, 0);
  ASSERT_EQ(
      Cli({"--settings", ini, "options", "set", "PictureTemplate", tree.Path("fifo")}).exit_code,
      0);
  const Result r = testing::RunCli({"--settings", ini, "index", tree.Path("site")}, options);
  EXPECT_EQ(r.exit_code, 2) << r.Describe();
  EXPECT_NE(r.err.find(tree.Path("fifo") + " is not a regular file"), std::string::npos) << r.err;
  EXPECT_FALSE(tree.Exists("site/index.html"));
}

}  // namespace
}  // namespace pelorin
