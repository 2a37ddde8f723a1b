#include "engine/create_index.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/fake_run_host.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

TEST(CreateIndex, RunRootKeepsTheFolderEvenWithDots) {
  EXPECT_EQ(SelectedFolderOf("/Photos/Trip.2001/", "/"), "/Photos/Trip.2001");
  EXPECT_EQ(SelectedFolderOf("Web.Sites/Home", "/srv"), "/srv/Web.Sites/Home");
  EXPECT_EQ(SelectedFolderOf("../x/./y//", "/a/b"), "/a/x/y");
  EXPECT_EQ(SelectedFolderOf("/", "/tmp"), "/");
  EXPECT_EQ(RunRootOf("/Photos/Trip.2001"), "/Photos/Trip.2001/");
  EXPECT_EQ(RunRootOf("/"), "/");
}

TEST(CreateIndex, RiskyFolders) {
  const struct {
    const char* root;
    bool risky;
  } cases[] = {
      {"/", true},
      {"/My Documents/", true},
      {"/my documents/photos/", false},
      {"/data/Program Files/app/", true},
      {"/d/oldwindows/site/", true},
      {"/photos/", false},
      {"/home/", true},
      {"/HOME/", true},
      {"/home/ann/", true},
      {"/home/ann/Documents/", true},
      {"/home/ann/documents/", true},
      {"/home/ann/Pictures/", false},
      {"/usr/", true},
      {"/usr/share/doc/", true},
      {"/Etc/x/", true},
      {"/proc/1/", true},
      {"/srv/www/", false},
      {"/usrdata/", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsRiskyFolder(c.root, "/home/ann", "/home/ann/Documents"), c.risky) << c.root;
  }
}

TEST(CreateIndex, ConfirmationDeclinedWritesNothing) {
  EXPECT_EQ(RiskyFolderMessage("index.html", "/photos/"),
            "This will write index.html into\r\n  \"/photos/\"\r\n"
            "and into every folder below it.\r\nContinue?");

  testing::TempTree tree;
  tree.WriteFile("template.htm", "<!--#filelist-->\n");
  tree.WriteFile("docs/a.gif");

  PageOptions options;
  options.main_template = tree.Path("template.htm");
  options.index_filename = "index.html";
  for (bool answer : {false, true}) {
    testing::FakeRunHost host;
    host.answer = answer;
    IndexRun run(host, options, FileTypeList("gif"));
    RunSummary summary;
    const CommandResult result =
        CreateIndex(run, host, {tree.Path("docs"), {}, tree.Path("docs"), {}}, &summary);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0],
              "Pelorin2|" + RiskyFolderMessage("index.html", tree.Path("docs/")));
    EXPECT_EQ(result, answer ? CommandResult::kDone : CommandResult::kDeclined);
    EXPECT_EQ(tree.Exists("docs/index.html"), answer);
  }
}

// The run writes below the folder the kernel reaches for the name, and the
// warning judges that folder too: a link to home or to "/" is no way round
// it, and "LINK/.." is the parent of the link's target.
TEST(CreateIndex, RunsInTheFolderTheKernelReaches) {
  testing::TempTree tree;
  const std::string real = ResolvedFolderOf(tree.root(), "/");
  tree.WriteFile("template.htm", "<!--#filelist-->\n");
  tree.WriteFile("docs/a.gif");
  tree.WriteFile("far/deep/b.gif");
  tree.WriteFile("here/c.gif");
  ASSERT_EQ(::symlink((real + "/docs").c_str(), tree.Path("home-link").c_str()), 0);
  ASSERT_EQ(::symlink("/", tree.Path("root-link").c_str()), 0);
  ASSERT_EQ(::symlink((real + "/far/deep").c_str(), tree.Path("here/deep-link").c_str()), 0);

  PageOptions options;
  options.main_template = tree.Path("template.htm");
  options.index_filename = "index.html";
  const struct {
    const char* typed;
    std::string question;  // empty: no warning
    const char* written;   // the page the run writes, when it is let run
  } cases[] = {
      {"home-link", RiskyFolderMessage("index.html", real + "/home-link/", real + "/docs/"),
       "docs/index.html"},
      {"root-link", RiskyFolderMessage("index.html", real + "/root-link/", "/"), nullptr},
      {"here/deep-link/..", "", "far/index.html"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    testing::FakeRunHost host;
    host.answer = c.written != nullptr;
    IndexRun run(host, options, FileTypeList("gif"));
    RunSummary summary;
    const CreateIndexRequest request{
        SelectedFolderOf(c.typed, real), ResolvedFolderOf(c.typed, real), real + "/docs", {}};
    CreateIndex(run, host, request, &summary);
    EXPECT_EQ(host.questions, c.question.empty()
                                  ? std::vector<std::string>{}
                                  : std::vector<std::string>{"Pelorin2|" + c.question});
    if (c.written != nullptr) {
      EXPECT_TRUE(tree.Exists(c.written));
      EXPECT_EQ(summary.top_page, real + "/" + c.written);
    }
    EXPECT_FALSE(tree.Exists("index.html"));
    EXPECT_FALSE(tree.Exists("here/index.html"));
  }
  EXPECT_EQ(RiskyFolderMessage("index.html", "/l/", "/home/ann/"),
            "This will write index.html into\r\n  \"/l/\"\r\n  (that is \"/home/ann/\")\r\n"
            "and into every folder below it.\r\nContinue?");
}

}  // namespace
}  // namespace pelorin
