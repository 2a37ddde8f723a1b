#include "engine/walker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "support/temp_tree.h"
#include "support/unprivileged.h"

namespace pelorin {
namespace {

using testing::TempTree;

// Records every call as one line with the folder's names; stops before the
// stop_at-th folder and leaves out a subfolder named skip.
class RecordingCallback : public WalkCallback {
 public:
  explicit RecordingCallback(std::string root) : root_(std::move(root)) {}

  bool SetStatus(WalkEvent event) override {
    const bool stop = event == WalkEvent::kFolder && ++folders_ == stop_at;
    calls.push_back(stop ? "Stop" : "Folder");
    return stop;
  }
  void ProcessDirectory(WalkFolder& folder) override {
    std::string line = "Process " + Relative(folder.path) + ":";
    for (const FolderEntry& entry : folder.listing.entries) line += " " + entry.name;
    calls.push_back(line);
    std::erase(folder.subfolders, skip);
  }
  void FolderFailed(const std::string& path, const std::string& reason) override {
    calls.push_back("Failed " + Relative(path) + ": " + reason);
  }

  std::vector<std::string> calls;
  int stop_at = -1;
  std::string skip;

 private:
  std::string Relative(const std::string& path) const {
    return path.starts_with(root_) ? "R/" + path.substr(root_.size()) : path;
  }
  std::string root_;
  int folders_ = 0;
};

std::string Joined(const std::vector<std::string>& calls) {
  std::string text;
  for (const auto& call : calls) text += call + "\n";
  return text;
}

TEST(WalkDirectory, DepthFirstPreOrderWithoutHiddenEntriesOrLinksToFolders) {
  TempTree tree;
  tree.WriteFile("a.gif");
  tree.WriteFile(".hidden.gif");
  tree.WriteFile(".git/config.gif");
  tree.WriteFile("X/c.png");
  tree.WriteFile("X/Z/d.png");
  tree.MakeFolder("Y");
  tree.MakeFolder("thumbs");
  ASSERT_EQ(::symlink(tree.root().c_str(), tree.Path("loop").c_str()), 0);
  ASSERT_EQ(::symlink("a.gif", tree.Path("link.gif").c_str()), 0);
  ASSERT_EQ(::symlink("missing.gif", tree.Path("dangling.gif").c_str()), 0);

  RecordingCallback callback(tree.root() + "/");
  callback.skip = "thumbs";
  std::string path = tree.root();  // normalised in place
  WalkDirectory(path, callback);
  EXPECT_EQ(path, tree.root() + "/");
  EXPECT_EQ(Joined(callback.calls),
            "Folder\nProcess R/: a.gif link.gif thumbs X Y\n"
            "Folder\nProcess R/X/: c.png Z\n"
            "Folder\nProcess R/X/Z/: d.png\n"
            "Folder\nProcess R/Y/:\n");

  RecordingCallback stopped(tree.root() + "/");
  stopped.stop_at = 3;
  WalkDirectory(path, stopped);
  EXPECT_EQ(Joined(stopped.calls),
            "Folder\nProcess R/: a.gif link.gif thumbs X Y\n"
            "Folder\nProcess R/thumbs/:\n"
            "Stop\nFolder\nProcess R/Y/:\n");

  RecordingCallback missing_callback(tree.root() + "/");
  std::string missing = tree.Path("missing");
  WalkDirectory(missing, missing_callback);
  EXPECT_EQ(Joined(missing_callback.calls),
            "Folder\nFailed R/missing/: No such file or directory\n");
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
  for (const int stop_at : {-1, 2, 40, 90}) {
    std::string expected;
    for (const int threads : {1, 2, 3, 16}) {
      RecordingCallback callback(tree.root() + "/");
      callback.stop_at = stop_at;
      callback.skip = "@eaDir";  // a NAS's thumbnails, before C0
      std::string path = tree.root();
      WalkDirectory(path, callback, threads);
      if (threads == 1) expected = Joined(callback.calls);
      EXPECT_EQ(Joined(callback.calls), expected) << threads << " threads, stop " << stop_at;
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
    WalkDirectory(path, callback);
    return Joined(callback.calls);
  });
  ASSERT_TRUE(output.has_value());
  EXPECT_NE(output->find("Failed R/A/: Permission denied"), std::string::npos) << *output;
  EXPECT_EQ(output->find("secret"), std::string::npos);
  EXPECT_NE(output->find("Process R/B/: open.gif"), std::string::npos) << *output;
}

}  // namespace
}  // namespace pelorin
