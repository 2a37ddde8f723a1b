#include "settings/index_command.h"

#include <gtest/gtest.h>

#include "settings/option_keys.h"
#include "settings/variables.h"
#include "support/fake_run_host.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

using testing::FakeRunHost;
using testing::TempTree;

struct Fixture {
  Fixture() {
    tree.WriteFile("template.htm", "<!--#subdirectorylist-->\n");
    tree.MakeFolder("site/A");
    // A folder whose page cannot be written, under a name with a control byte.
    tree.MakeFolder("site/bad\x01/index.html");
    SeedFirstRunValues(store, tree.root());
    SaveVariable(store, keys::kMainTemplate, tree.Path("template.htm"));
  }
  IndexOutcome Run(IndexRequest request) {
    IndexCommand command(store, host);
    return command.Run(request);
  }
  TempTree tree;
  MemorySettingsStore store;
  FakeRunHost host;
};

TEST(IndexCommand, OutcomeOfEachWayARunEnds) {
  {  // Incomplete options: nothing runs, the problems are handed back.
    Fixture f;
    SaveVariable(f.store, keys::kFileTypes, "");
    const IndexOutcome outcome = f.Run({.folder = "site", .current_folder = f.tree.root()});
    EXPECT_EQ(outcome.status, IndexStatus::kOptionsIncomplete);
    ASSERT_EQ(outcome.option_problems.size(), 1u);
    EXPECT_EQ(outcome.option_problems[0], "  - Please specify which file types you want to list");
    EXPECT_FALSE(f.tree.Exists("site/index.html"));
  }
  {  // A declined warning for a risky folder writes nothing.
    Fixture f;
    f.host.answer = false;
    const IndexOutcome outcome = f.Run({.folder = "/", .current_folder = "/"});
    EXPECT_EQ(outcome.status, IndexStatus::kDeclined);
    EXPECT_EQ(f.host.questions.size(), 1u);
  }
  {  // A run: summary, printable failure lines, the folder remembered.
    Fixture f;
    const IndexOutcome outcome =
        f.Run({.folder = "site/", .current_folder = f.tree.root(), .remember_folder = true});
    EXPECT_EQ(outcome.status, IndexStatus::kDone);
    EXPECT_EQ(outcome.summary_line, "Indexed 3 folders: 3 pages written, 0 unchanged, 1 failed");
    EXPECT_FALSE(outcome.Clean());
    EXPECT_EQ(outcome.failure_lines,
              std::vector<std::string>{f.tree.Path("site/bad\\x01/") +
                                       ": cannot write index.html: Is a directory"});
    EXPECT_EQ(GetLastDirectory(f.store, ""), "site/");
    EXPECT_TRUE(outcome.flush_error.empty());
  }
  {  // Options are read when the run starts, not when the command is made.
    Fixture f;
    IndexCommand command(f.store, f.host);
    SaveVariable(f.store, keys::kIndexFilename, "start.html");
    command.Run({.folder = f.tree.Path("site"), .current_folder = "/"});
    EXPECT_TRUE(f.tree.Exists("site/A/start.html"));
  }
  {  // A stop asked for while the host yields ends the run at the next folder.
    Fixture f;
    IndexCommand command(f.store, f.host);
    std::stop_source stop;
    f.host.on_yield = [&] { stop.request_stop(); };
    const IndexOutcome outcome =
        command.Run({.folder = f.tree.Path("site"), .current_folder = "/"}, stop.get_token());
    EXPECT_TRUE(outcome.summary.stopped);
    EXPECT_FALSE(f.tree.Exists("site/index.html"));
  }
}

}  // namespace
}  // namespace pelorin
