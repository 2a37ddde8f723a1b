// ReadFolder on real folders: what a listing holds, in which order, and what
// it counts or collects besides.
#include "common/folder_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "common/temp_file_name.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

using testing::TempTree;

struct Listed {
  std::string name;
  EntryKind kind;
  bool operator==(const Listed&) const = default;
};

TEST(ReadFolder, ListsVisibleEntriesInNameOrderAndCollectsTheRest) {
  TempTree tree;
  for (const char* name :
       {"b.txt", "a.txt", "A.txt", "_x", ".hidden", ".pelorin2-1-2.tmp", ".pelorin2-notes.tmp"}) {
    tree.WriteFile("d/" + std::string(name));
  }
  tree.MakeFolder("d/Sub");
  tree.MakeFolder("d/.git");
  for (const auto& [name, target] :
       {std::pair{"to_file", "b.txt"}, {"to_folder", "Sub"}, {"dangling", "nowhere"}}) {
    ASSERT_EQ(::symlink(target, tree.Path("d/" + std::string(name)).c_str()), 0) << name;
  }
  // Ties in upper case go by the raw bytes; a link to a file is a file.
  const std::vector<Listed> expected = {{"A.txt", EntryKind::kFile},   {"a.txt", EntryKind::kFile},
                                        {"b.txt", EntryKind::kFile},   {"Sub", EntryKind::kFolder},
                                        {"to_file", EntryKind::kFile}, {"_x", EntryKind::kFile}};

  const UniqueFd fd = OpenFolder(AT_FDCWD, tree.Path("d"), true);
  ASSERT_TRUE(fd.valid());
  for (const bool just_opened : {true, false}) {  // a second read starts again
    FolderListing listing;
    std::string error;
    ASSERT_TRUE(ReadFolder(fd.get(), &listing, &error, just_opened)) << error;
    std::vector<Listed> listed;
    for (const FolderEntry& entry : listing.entries) listed.push_back({entry.name, entry.kind});
    EXPECT_EQ(listed, expected) << "just_opened " << just_opened;
    EXPECT_EQ(listing.total_subfolders, 2) << "Sub and .git, not the link";
    EXPECT_EQ(listing.temp_files, std::vector<std::string>{".pelorin2-1-2.tmp"});
  }
}

TEST(ReadFolder, FailsWithTheSystemsReason) {
  TempTree tree;
  tree.WriteFile("file");
  const UniqueFd fd(::open(tree.Path("file").c_str(), O_RDONLY | O_CLOEXEC));
  FolderListing listing;
  std::string error;
  EXPECT_FALSE(ReadFolder(fd.get(), &listing, &error, true));
  EXPECT_EQ(error, ErrnoText(ENOTDIR));
}

TEST(TempFileOwner, KnowsOnlyNamesOfTheFormItMakes) {
  const struct {
    std::string name;
    long owner;
  } cases[] = {
      {".pelorin2-123-0.tmp", 123},      {".pelorin2-2147483647-99.tmp", 2147483647},
      {".pelorin2-2147483648-0.tmp", 0},  // no process has that number
      {".pelorin2-0-1.tmp", 0},          {".pelorin2-12.tmp", 0},
      {".pelorin2-12-.tmp", 0},          {".pelorin2--3.tmp", 0},
      {".pelorin2-1x-3.tmp", 0},         {".pelorin2-notes.tmp", 0},
      {"pelorin2-1-2.tmp", 0},           {".pelorin2-1-2.tmp~", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(TempFileOwner(c.name), c.owner) << c.name;

  const std::string made = NewTempFileName();
  EXPECT_EQ(TempFileOwner(made), ::getpid()) << made;
  EXPECT_NE(NewTempFileName(), made);
}

// True when a run (any process, in any PID namespace) holds the file locked.
bool HeldByARun(const TempTree& tree, const std::string& relative) {
  const UniqueFd fd(::open(tree.Path(relative).c_str(), O_RDONLY | O_CLOEXEC));
  return fd.valid() && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

// Whether a leftover is live depends only on the lock its run holds: the
// number in its name may be this process's own, 1 (a container's first
// process, killed once), or a number another namespace gives a live run.
TEST(TempFiles, CleanUpRemovesExactlyTheUnlockedLeftovers) {
  TempTree tree;
  const std::string own = ".pelorin2-" + std::to_string(::getpid()) + "-900000.tmp";
  const struct {
    std::string name;
    bool locked;
    bool removed;
  } cases[] = {
      {own, false, true},
      {".pelorin2-1-0.tmp", false, true},
      {".pelorin2-1-1.tmp", true, false},
      {".pelorin2-4194304-7.tmp", true, false},
      {".pelorin2-notes.tmp", false, false},  // not a name this program makes
  };
  std::vector<UniqueFd> locks;
  std::vector<std::string> names;
  for (const auto& c : cases) {
    tree.WriteFile("d/" + c.name, "half a page");
    names.push_back(c.name);
    if (!c.locked) continue;
    locks.emplace_back(::open(tree.Path("d/" + c.name).c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(locks.back().get(), LOCK_EX), 0);
  }
  const UniqueFd dir = OpenFolder(AT_FDCWD, tree.Path("d"), true);
  RemoveStaleTempFiles(dir.get(), names);
  for (const auto& c : cases) EXPECT_EQ(tree.Exists("d/" + c.name), !c.removed) << c.name;
}

// A leftover under the very name a run is about to use costs it a new name,
// not the folder; the file it gets is locked while its descriptor is open.
TEST(TempFiles, CreatePassesOverNamesTakenByLeftovers) {
  TempTree tree;
  tree.MakeFolder("d");
  const std::string prefix = ".pelorin2-" + std::to_string(::getpid()) + "-";
  const std::string last = NewTempFileName();
  const unsigned long next = std::stoul(last.substr(prefix.size())) + 1;
  for (unsigned long n = next; n < next + 3; ++n) {
    tree.WriteFile("d/" + prefix + std::to_string(n) + ".tmp", "a killed run's");
  }
  const UniqueFd dir = OpenFolder(AT_FDCWD, tree.Path("d"), true);
  std::string name;
  int error = 0;
  UniqueFd fd = CreateTempFile(dir.get(), 0644, &name, &error);
  ASSERT_TRUE(fd.valid()) << ErrnoText(error);
  EXPECT_EQ(name, prefix + std::to_string(next + 3) + ".tmp");
  EXPECT_TRUE(HeldByARun(tree, "d/" + name));
  EXPECT_EQ(tree.ReadFile("d/" + prefix + std::to_string(next) + ".tmp"), "a killed run's");
  fd = UniqueFd();
  EXPECT_FALSE(HeldByARun(tree, "d/" + name));
}

}  // namespace
}  // namespace pelorin
