#include "engine/walker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "engine/file_type_list.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

namespace pelorin {
namespace {

using testing::TempTree;

// Records every call as one line; stops from the given "File" report on.
class RecordingCallback : public WalkCallback {
 public:
  explicit RecordingCallback(std::string root) : root_(std::move(root)) {}

  bool SetStatus(WalkEvent event) override {
    const bool folder = event == WalkEvent::kFolder;
    calls.push_back(folder ? "SetStatus Directory" : "SetStatus File");
    if (event == WalkEvent::kFile && ++files_ == stop_at_file) stop_ = true;
    return folder && stop_;
  }
  void ProcessDirectory(WalkFolder& folder) override {
    calls.push_back("ProcessDirectory " + Relative(folder.path));
    // As a run takes its thumbnail folder out of the walk.
    std::erase_if(folder.listing.entries, [this](const FolderEntry& entry) {
      return entry.kind == EntryKind::kFolder && entry.name == skip_folder;
    });
  }
  bool IsInteresting(std::string_view name) override {
    const bool yes = filter_.IsInteresting(name);
    calls.push_back("IsInteresting " + std::string(name) + (yes ? " yes" : " no"));
    return yes;
  }
  void ProcessFile(const std::string& path) override {
    calls.push_back("ProcessFile " + Relative(path));
  }
  void FolderFailed(const std::string& path, const std::string& reason) override {
    calls.push_back("FolderFailed " + Relative(path) + ": " + reason);
  }

  std::vector<std::string> calls;
  int stop_at_file = -1;
  std::string skip_folder;

 private:
  std::string Relative(const std::string& path) const {
    return path.starts_with(root_) ? "R/" + path.substr(root_.size()) : path;
  }
  std::string root_;
  FileTypeList filter_{"gif, png"};
  int files_ = 0;
  bool stop_ = false;
};

std::string Joined(const std::vector<std::string>& calls) {
  std::string text;
  for (const auto& call : calls) text += call + "\n";
  return text;
}

TEST(WalkDirectory, ReportsDepthFirstPreOrderWithTotals) {
  TempTree tree;
  tree.WriteFile("a.gif");
  tree.WriteFile("b.txt");
  tree.WriteFile("X/c.png");
  tree.MakeFolder("Y");
  RecordingCallback callback(tree.root() + "/");
  std::string path = tree.root();  // normalised in place
  const WalkTotals totals = WalkDirectory(path, callback, true);

  EXPECT_EQ(path, tree.root() + "/");
  EXPECT_EQ(Joined(callback.calls),
            "SetStatus Directory\n"
            "ProcessDirectory R/\n"
            "IsInteresting a.gif yes\n"
            "ProcessFile R/a.gif\n"
            "SetStatus File\n"
            "IsInteresting b.txt no\n"
            "SetStatus Directory\n"
            "ProcessDirectory R/X/\n"
            "IsInteresting c.png yes\n"
            "ProcessFile R/X/c.png\n"
            "SetStatus File\n"
            "SetStatus Directory\n"
            "ProcessDirectory R/Y/\n");
  EXPECT_EQ(totals.FilesSeen, 3);
  EXPECT_EQ(totals.FilesProcessed, 2);
  EXPECT_EQ(totals.SubfoldersSeen, 2);
}

TEST(WalkDirectory, StopDuringFilesFinishesFolderAndReportsRemainingSubfolders) {
  TempTree tree;
  tree.WriteFile("a.gif");
  tree.WriteFile("b.gif");
  tree.WriteFile("X/c.png");
  tree.MakeFolder("Y");
  RecordingCallback callback(tree.root() + "/");
  callback.stop_at_file = 1;
  std::string path = tree.root() + "/";
  const WalkTotals totals = WalkDirectory(path, callback, true);

  EXPECT_EQ(Joined(callback.calls),
            "SetStatus Directory\n"
            "ProcessDirectory R/\n"
            "IsInteresting a.gif yes\n"
            "ProcessFile R/a.gif\n"
            "SetStatus File\n"
            "IsInteresting b.gif yes\n"
            "ProcessFile R/b.gif\n"
            "SetStatus File\n"
            "SetStatus Directory\n"
            "SetStatus Directory\n");
  EXPECT_EQ(totals.FilesProcessed, 2);
  EXPECT_EQ(totals.SubfoldersSeen, 2);
}

TEST(WalkDirectory, RecurseOffHiddenEntriesAndLinks) {
  TempTree tree;
  tree.WriteFile("a.gif");
  tree.WriteFile(".hidden.gif");
  tree.WriteFile(".git/config.gif");
  tree.WriteFile("Sub/deep.gif");
  ASSERT_EQ(::symlink(tree.root().c_str(), tree.Path("loop").c_str()), 0);
  ASSERT_EQ(::symlink("a.gif", tree.Path("link.gif").c_str()), 0);
  ASSERT_EQ(::symlink("missing.gif", tree.Path("dangling.gif").c_str()), 0);

  {
    RecordingCallback callback(tree.root() + "/");
    std::string path = tree.root();
    const WalkTotals totals = WalkDirectory(path, callback, false);
    EXPECT_EQ(totals.FilesSeen, 2) << Joined(callback.calls);  // a.gif and link.gif
    EXPECT_EQ(totals.SubfoldersSeen, 1);                       // Sub; neither .git nor the link
    EXPECT_EQ(std::count(callback.calls.begin(), callback.calls.end(), "SetStatus Directory"), 1);
  }
  {
    RecordingCallback callback(tree.root() + "/");
    std::string path = tree.root();
    const WalkTotals totals = WalkDirectory(path, callback, true);
    const std::string calls = Joined(callback.calls);
    EXPECT_EQ(totals.FilesSeen, 3) << calls;
    EXPECT_EQ(calls.find(".git"), std::string::npos);
    EXPECT_EQ(calls.find("loop"), std::string::npos);
    EXPECT_EQ(calls.find("dangling"), std::string::npos);
    EXPECT_NE(calls.find("ProcessDirectory R/Sub/"), std::string::npos);
  }
  {
    RecordingCallback callback(tree.root() + "/");
    std::string missing = tree.Path("missing");
    EXPECT_EQ(WalkDirectory(missing, callback, true).FilesSeen, 0);
    EXPECT_EQ(Joined(callback.calls),
              "SetStatus Directory\nFolderFailed R/missing/: No such file or directory\n");
  }
}

// Folders read ahead on other threads reach the callback in the walk's own
// order, also when it takes folders out, fails to read one or stops.
TEST(WalkDirectory, SameCallsWhateverTheThreads) {
  TempTree tree;
  for (int a = 0; a < 6; ++a) {
    for (int b = 0; b < 5; ++b) {
      const std::string folder = "A" + std::to_string(a) + "/B &" + std::to_string(b);
      tree.WriteFile(folder + "/p.gif");
      tree.WriteFile(folder + "/@eaDir/small_p.gif");
      for (int c = 0; c < (a + b) % 4; ++c)
        tree.WriteFile(folder + "/C" + std::to_string(c) + "/x.png");
    }
  }
  tree.WriteFile("A3/not a folder");
  ASSERT_EQ(::symlink("../A1", tree.Path("A2/B &1/up").c_str()), 0);
  ASSERT_EQ(::mkfifo(tree.Path("A4/fifo").c_str(), 0644), 0);
  for (const int stop_at_file : {-1, 1, 40, 90}) {
    std::string expected;
    for (const int threads : {1, 2, 3, 16}) {
      RecordingCallback callback(tree.root() + "/");
      callback.stop_at_file = stop_at_file;
      callback.skip_folder = "@eaDir";  // a NAS's thumbnails, before C0
      std::string path = tree.root();
      WalkDirectory(path, callback, true, threads);
      if (threads == 1) expected = Joined(callback.calls);
      EXPECT_EQ(Joined(callback.calls), expected) << threads << " threads, stop " << stop_at_file;
    }
  }
}

TEST(WalkDirectory, UnreadableFolderIsReportedAndTheWalkGoesOn) {
  TempTree tree;
  tree.WriteFile("A/secret.gif");
  tree.WriteFile("B/open.gif");
  tree.GiveTo(testing::UnprivilegedUid(), testing::UnprivilegedGid());
  ASSERT_EQ(::chmod(tree.Path("A").c_str(), 0), 0);

  const auto output = testing::RunUnprivileged([&] {
    RecordingCallback callback(tree.root() + "/");
    std::string path = tree.root();
    WalkDirectory(path, callback, true);
    return Joined(callback.calls);
  });
  ASSERT_TRUE(output.has_value());
  EXPECT_NE(output->find("FolderFailed R/A/: Permission denied"), std::string::npos) << *output;
  EXPECT_EQ(output->find("secret"), std::string::npos);
  EXPECT_NE(output->find("ProcessFile R/B/open.gif"), std::string::npos) << *output;
}

}  // namespace
}  // namespace pelorin
