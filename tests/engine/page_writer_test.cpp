// WritePage on real folders: which pages it writes, what it keeps of the old
// page, and that a failure at any step leaves the old page and nothing else.
#include "engine/page_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>

#include "common/folder_reader.h"  // OpenFolder, ErrnoText
#include "support/fake_write_faults.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

using testing::FakeWriteFaults;
using testing::TempTree;

// Every name in the folder, hidden ones included.
std::set<std::string> Names(const TempTree& tree, const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(tree.Path(folder))) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

struct stat Stat(const TempTree& tree, const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(tree.Path(path).c_str(), &st), 0) << path;
  return st;
}

WriteOutcome Write(const TempTree& tree, const std::string& page, std::string* error,
                   WriteFaults* faults = nullptr, const std::string& name = "index.html") {
  const UniqueFd fd = OpenFolder(AT_FDCWD, tree.Path("d"), true);
  return WritePage(fd.get(), tree.Path("d/"), name, page, error, faults);
}

TEST(WritePage, WritesNewAndChangedPagesAndLeavesSameBytesAlone) {
  const struct {
    const char* old_page;  // nullptr: no page yet
    mode_t old_mode;
    WriteOutcome outcome;
  } cases[] = {
      {nullptr, 0, WriteOutcome::kWritten},
      {"new page", 0640, WriteOutcome::kUnchanged},
      {"old page", 0604, WriteOutcome::kWritten},  // a mode the umask leaves as it is
      {"old", 0666, WriteOutcome::kWritten},       // one the umask would change
  };
  for (const auto& c : cases) {
    TempTree tree;
    tree.MakeFolder("d");
    struct stat before {};
    if (c.old_page != nullptr) {
      tree.WriteFile("d/index.html", c.old_page);
      ASSERT_EQ(::chmod(tree.Path("d/index.html").c_str(), c.old_mode), 0);
      timespec old_times[2] = {{0, UTIME_OMIT}, {1000000, 0}};
      ASSERT_EQ(::utimensat(AT_FDCWD, tree.Path("d/index.html").c_str(), old_times, 0), 0);
      before = Stat(tree, "d/index.html");
    }
    std::string error;
    EXPECT_EQ(Write(tree, "new page", &error), c.outcome) << c.old_page << " " << error;
    EXPECT_EQ(tree.ReadFile("d/index.html"), "new page");
    EXPECT_EQ(Names(tree, "d"), std::set<std::string>{"index.html"});
    const struct stat after = Stat(tree, "d/index.html");
    if (c.old_page == nullptr) {
      const mode_t umask = ::umask(0);
      ::umask(umask);
      EXPECT_EQ(after.st_mode & 07777, 0666 & ~umask);
    } else {
      EXPECT_EQ(after.st_mode & 07777, c.old_mode) << c.old_page;
    }
    if (c.outcome == WriteOutcome::kUnchanged) {
      EXPECT_EQ(after.st_ino, before.st_ino);
      EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    }
  }
}

// Only a regular file or a link is replaced. A read-only page is kept also
// when root runs the job (as CI does), whom permission bits do not stop.
TEST(WritePage, ReplacesWhatIsInTheWayOrRefuses) {
  const struct {
    const char* what;
    const char* name;
    WriteOutcome outcome;
    std::string error;
  } cases[] = {
      // The link is replaced; the file it points to stays as it was.
      {"link", "index.html", WriteOutcome::kWritten, ""},
      {"folder", "index.html", WriteOutcome::kFailed, ErrnoText(EISDIR)},
      {"fifo", "index.html", WriteOutcome::kFailed, "not a regular file"},
      {"read-only page", "index.html", WriteOutcome::kFailed, ErrnoText(EACCES)},
      {"nothing", "../index.html", WriteOutcome::kFailed, "not a plain file name"},
  };
  for (const auto& c : cases) {
    TempTree tree;
    tree.WriteFile("d/target.html", "target");
    const std::string what = c.what;
    const std::string page = tree.Path("d/index.html");
    if (what == "link") {
      ASSERT_EQ(::symlink("target.html", page.c_str()), 0);
    } else if (what == "folder") {
      tree.MakeFolder("d/index.html");
    } else if (what == "fifo") {
      ASSERT_EQ(::mkfifo(page.c_str(), 0644), 0);
    } else if (what == "read-only page") {
      tree.WriteFile("d/index.html", "old");
      ASSERT_EQ(::chmod(page.c_str(), 0444), 0);
    }
    const struct stat before = what == "nothing" ? (struct stat){} : Stat(tree, "d/index.html");
    std::string error;
    EXPECT_EQ(Write(tree, "page", &error, nullptr, c.name), c.outcome) << what;
    EXPECT_EQ(error, c.error) << what;
    EXPECT_EQ(tree.ReadFile("d/target.html"), "target") << what;
    if (what == "link") {
      EXPECT_EQ(tree.ReadFile("d/index.html"), "page");
    } else if (what != "nothing") {
      const struct stat after = Stat(tree, "d/index.html");
      EXPECT_EQ(after.st_ino, before.st_ino) << what;
      EXPECT_EQ(after.st_mode, before.st_mode) << what;
    }
    if (what == "read-only page") {
      EXPECT_EQ(tree.ReadFile("d/index.html"), "old");
    }
    EXPECT_FALSE(tree.Exists("index.html")) << what;
    std::set<std::string> names = {"target.html"};
    if (what != "nothing") names.insert("index.html");
    EXPECT_EQ(Names(tree, "d"), names) << what;
  }
}

TEST(WritePage, FaultAtAnyStepLeavesTheOldPageAndNoTemporaryFile) {
  using Step = FakeWriteFaults::Step;
  const struct {
    Step step;
    int error_number;
  } cases[] = {
      {Step::kLookUp, EACCES},
      {Step::kFirstWrite, ENOSPC},
      {Step::kShortWrite, ENOSPC},
      {Step::kRename, EIO},
  };
  for (const auto& c : cases) {
    TempTree tree;
    tree.WriteFile("d/index.html", "old page");
    const struct stat before = Stat(tree, "d/index.html");
    FakeWriteFaults faults(tree.Path("d/"), c.step, c.error_number);
    std::string error;
    EXPECT_EQ(Write(tree, "a new page", &error, &faults), WriteOutcome::kFailed);
    EXPECT_EQ(error, ErrnoText(c.error_number));
    EXPECT_EQ(tree.ReadFile("d/index.html"), "old page");
    EXPECT_EQ(Stat(tree, "d/index.html").st_ino, before.st_ino);
    EXPECT_EQ(Names(tree, "d"), std::set<std::string>{"index.html"}) << error;
    // Another folder's page is not hit.
    FakeWriteFaults elsewhere(tree.Path("e/"), c.step, c.error_number);
    EXPECT_EQ(Write(tree, "a new page", &error, &elsewhere), WriteOutcome::kWritten);
  }
}

}  // namespace
}  // namespace pelorin
