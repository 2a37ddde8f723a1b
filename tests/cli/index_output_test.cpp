// pelorin2-cli index end to end: the pages do not depend on the number of
// jobs, and a re-run replaces exactly the pages whose bytes changed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/path_routines.h"
#include "common/text_routines.h"
#include "support/cli_runner.h"
#include "support/temp_tree.h"

namespace pelorin {
namespace {

namespace fs = std::filesystem;
using testing::TempTree;

using testing::ProcessResult;

ProcessResult RunCli(const TempTree& tree, const std::vector<std::string>& args) {
  std::vector<std::string> all{"--settings", tree.Path("settings.ini")};
  all.insert(all.end(), args.begin(), args.end());
  testing::ProcessOptions options;
  options.home = "/nonexistent";  // no settings of the person running the tests
  return testing::RunCli(all, options);
}

void SetOptions(const TempTree& tree,
                const std::vector<std::pair<std::string, std::string>>& options) {
  ASSERT_EQ(RunCli(tree, {"options", "reset"}).exit_code, 0);
  for (const auto& [key, value] : options) {
    ASSERT_EQ(RunCli(tree, {"options", "set", key, value}).exit_code, 0) << key;
  }
}

ProcessResult Index(const TempTree& tree, int jobs) {
  return RunCli(tree,
                {"index", "--yes", "--jobs", std::to_string(jobs), tree.Path("tree")});
}

// Folders several levels deep, pictures with thumbnails, names that need
// escaping or are not UTF-8, hidden folders and files, links, an empty
// folder, and one folder large enough to fill the write queue.
void MakeTree(const TempTree& tree) {
  const std::vector<std::string> files = {
      "tree/a.jpg",
      "tree/small_a.jpg",
      "tree/notes.txt",
      "tree/.hidden.jpg",
      "tree/Holiday/IMG_0001.JPG",
      "tree/Holiday/small_IMG_0001.JPG",
      "tree/Holiday/x y.png",
      "tree/Holiday/Fish & Chips.gif",
      "tree/Holiday/<b>.jpg",
      "tree/Holiday/q\"uote.jpeg",
      "tree/Holiday/100%.jpg",
      "tree/Holiday/h#sh?.html",
      "tree/Holiday/caf\xC3\xA9.jpg",
      "tree/Holiday/caf\xE9.jpg",
      "tree/Holiday/2001/May/Day1/deep.png",
      "tree/.git/objects/x.jpg",
      "tree/Work/.thumbnails/t.jpg",
      "tree/Work/report.pdf",
  };
  for (const std::string& file : files) tree.WriteFile(file);
  tree.MakeFolder("tree/Empty");
  for (int i = 0; i < 400; ++i) tree.WriteFile("tree/Many/IMG_" + std::to_string(i) + ".jpg");
  ASSERT_EQ(::symlink("a.jpg", tree.Path("tree/link.jpg").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere.jpg", tree.Path("tree/dangling.jpg").c_str()), 0);
  ASSERT_EQ(::symlink("..", tree.Path("tree/Work/up").c_str()), 0);
}

// Every page under the tree (hidden folders included), by relative path.
std::map<std::string, std::string> Pages(const TempTree& tree, const std::string& name) {
  std::map<std::string, std::string> pages;
  const fs::path root = tree.Path("tree");
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && entry.path().filename() == name) {
      const std::string relative = fs::relative(entry.path(), root).string();
      pages[relative] = tree.ReadFile("tree/" + relative);
    }
  }
  return pages;
}

struct Stamp {
  ino_t inode;
  std::int64_t mtime_ns;
  std::int64_t atime_ns;  // comparing is not reading the page for a visitor
  mode_t mode;
  uid_t owner;
  gid_t group;
  bool operator==(const Stamp&) const = default;
};

// Looks at every page without reading it.
std::map<std::string, Stamp> Stamps(const TempTree& tree) {
  std::map<std::string, Stamp> stamps;
  const fs::path root = tree.Path("tree");
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().filename() != "index.html") continue;
    struct stat st;
    EXPECT_EQ(::lstat(entry.path().c_str(), &st), 0) << entry.path();
    stamps[fs::relative(entry.path(), root).string()] = {
        st.st_ino,
        st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
        st.st_atim.tv_sec * 1000000000LL + st.st_atim.tv_nsec,
        st.st_mode & 07777,
        st.st_uid,
        st.st_gid};
  }
  return stamps;
}

// Puts every page's access time an hour before its modification time, where
// even a relatime mount records the next read.
void AgeAccessTimes(const TempTree& tree) {
  for (const auto& [path, stamp] : Stamps(tree)) {
    const timespec times[2] = {{static_cast<time_t>(stamp.mtime_ns / 1000000000 - 3600), 0},
                               {0, UTIME_OMIT}};
    ASSERT_EQ(::utimensat(AT_FDCWD, tree.Path("tree/" + path).c_str(), times, 0), 0) << path;
  }
}

std::string SummaryLine(const ProcessResult& result) {
  return result.out.substr(0, result.out.find('\n'));
}

TEST(IndexCommand, PagesAreTheSameForAnyNumberOfJobs) {
  const std::vector<std::vector<std::pair<std::string, std::string>>> option_sets = {
      {},
      {{"ShowPics", "1"}, {"UseThumbnails", "1"}},
      {{"ShowPics", "1"}, {"ScalePics", "1"}, {"ScalePercent", "50"}},
      {{"DynamicTitle", "1"},
       {"DynamicKeywords", "1"},
       {"DynamicDescription", "1"},
       {"Separator", " - "},
       {"PageTitle", "Pictures & more"},
       {"IndexFilename", "default.htm"}},
  };
  for (std::size_t i = 0; i < option_sets.size(); ++i) {
    SCOPED_TRACE("option set " + std::to_string(i));
    const std::string name = i == 3 ? "default.htm" : "index.html";
    std::map<std::string, std::string> one_job_pages;
    std::string one_job_summary;
    for (int jobs : {1, 2, 5}) {
      SCOPED_TRACE("--jobs " + std::to_string(jobs));
      TempTree tree;
      MakeTree(tree);
      SetOptions(tree, option_sets[i]);
      const ProcessResult result = Index(tree, jobs);
      ASSERT_EQ(result.exit_code, 0) << result.err;
      const auto pages = Pages(tree, name);
      ASSERT_EQ(pages.size(), 8u);  // hidden folders get none
      if (jobs == 1) {
        one_job_pages = pages;
        one_job_summary = SummaryLine(result);
        EXPECT_EQ(one_job_summary, "Indexed 8 folders: 8 pages written, 0 unchanged, 0 failed");
        continue;
      }
      EXPECT_EQ(SummaryLine(result), one_job_summary);
      for (const auto& [path, bytes] : one_job_pages) {
        EXPECT_EQ(pages.at(path), bytes) << path;
      }
    }
  }
}

TEST(IndexCommand, UnchangedRerunLeavesEveryPageAlone) {
  for (int jobs : {1, 2}) {
    SCOPED_TRACE("--jobs " + std::to_string(jobs));
    TempTree tree;
    MakeTree(tree);
    SetOptions(tree, {{"ShowPics", "1"}, {"UseThumbnails", "1"}});
    ASSERT_EQ(Index(tree, jobs).exit_code, 0);
    ASSERT_EQ(::chmod(tree.Path("tree/Holiday/index.html").c_str(), 0604), 0);
    const auto pages = Pages(tree, "index.html");
    AgeAccessTimes(tree);
    const auto before = Stamps(tree);

    const ProcessResult again = Index(tree, jobs);
    ASSERT_EQ(again.exit_code, 0) << again.err;
    EXPECT_EQ(SummaryLine(again), "Indexed 8 folders: 0 pages written, 8 unchanged, 0 failed");
    EXPECT_EQ(Stamps(tree), before);
    EXPECT_EQ(Pages(tree, "index.html"), pages);
  }
}

// Root can give a replaced page back to its owner, and must: a page that a
// job run as root took over could no longer be edited by its owner.
TEST(IndexCommand, OptionChangeReplacesEveryPageAndKeepsItsModeAndOwner) {
  for (int jobs : {1, 2}) {
    SCOPED_TRACE("--jobs " + std::to_string(jobs));
    TempTree tree;
    MakeTree(tree);
    SetOptions(tree, {{"PageTitle", "Old"}});
    ASSERT_EQ(Index(tree, jobs).exit_code, 0);
    ASSERT_EQ(::chmod(tree.Path("tree/Holiday/index.html").c_str(), 0640), 0);
    ASSERT_EQ(::chmod(tree.Path("tree/Work/index.html").c_str(), 0666), 0);  // beyond the umask
    if (::geteuid() == 0) {
      ASSERT_EQ(::chown(tree.Path("tree/Holiday/index.html").c_str(), 65534, 65534), 0);
      ASSERT_EQ(::chmod(tree.Path("tree/Holiday/index.html").c_str(), 0640), 0);
    }
    const auto before = Stamps(tree);

    // Same length, so every page is read and compared before it is replaced.
    ASSERT_EQ(RunCli(tree, {"options", "set", "PageTitle", "New"}).exit_code, 0);
    const ProcessResult changed = Index(tree, jobs);
    ASSERT_EQ(changed.exit_code, 0) << changed.err;
    EXPECT_EQ(SummaryLine(changed), "Indexed 8 folders: 8 pages written, 0 unchanged, 0 failed");
    const auto after = Stamps(tree);
    for (const auto& [path, stamp] : before) {
      EXPECT_NE(after.at(path).inode, stamp.inode) << path;
      EXPECT_EQ(after.at(path).mode, stamp.mode) << path;
      EXPECT_EQ(after.at(path).owner, stamp.owner) << path;
      EXPECT_EQ(after.at(path).group, stamp.group) << path;
    }
    for (const auto& [path, bytes] : Pages(tree, "index.html")) {
      EXPECT_NE(bytes.find("<TITLE>New</TITLE>"), std::string::npos) << path;
    }
    for (const auto& entry : fs::recursive_directory_iterator(tree.Path("tree"))) {
      EXPECT_EQ(entry.path().filename().string().find(".pelorin2-"), std::string::npos)
          << entry.path();
    }
  }
}

// The listing read for the walk says whether a page is there; what it does
// not show as a plain page must still be handled as before.
TEST(IndexCommand, PageNameTakenByAFolderOrALink) {
  for (int jobs : {1, 2}) {
    SCOPED_TRACE("--jobs " + std::to_string(jobs));
    TempTree tree;
    tree.MakeFolder("tree/folder/index.html");
    tree.WriteFile("tree/dangling/a.jpg");
    ASSERT_EQ(::symlink("gone.html", tree.Path("tree/dangling/index.html").c_str()), 0);
    tree.WriteFile("tree/linked/a.jpg");
    tree.WriteFile("outside.html", "keep me");
    ASSERT_EQ(
        ::symlink(tree.Path("outside.html").c_str(), tree.Path("tree/linked/index.html").c_str()),
        0);
    SetOptions(tree, {});

    const ProcessResult result = Index(tree, jobs);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.err,
              tree.Path("tree/folder/") + ": cannot write index.html: Is a directory\n");
    for (const char* page : {"tree/dangling/index.html", "tree/linked/index.html"}) {
      struct stat st;
      ASSERT_EQ(::lstat(tree.Path(page).c_str(), &st), 0) << page;
      EXPECT_TRUE(S_ISREG(st.st_mode)) << page;
      EXPECT_NE(tree.ReadFile(page).find("a.jpg"), std::string::npos) << page;
    }
    EXPECT_EQ(tree.ReadFile("outside.html"), "keep me");
  }
}

// Folders are sorted with a shortcut on the names' first eight bytes; the
// pages must still list entries in NameLess order: case folded, ties by
// bytes, a name before the longer names it begins, bytes from 0x80 last.
TEST(IndexCommand, ListsEntriesInNameOrder) {
  TempTree tree;
  std::vector<std::string> names = {
      "A",         "a",           "AB",           "aB",
      "ab",        "abcdefg",     "abcdefgh",     "ABCDEFGH",
      "abcdefgh0", "ABCDEFGH1",   "abcdefghi",    "abcdefgH",
      "[x",        "_x",          "`x",           "zzzzzzzz",
      "ZZZZZZZZZ", "caf\xC3\xA9", "caf\xC3\xA9s", "\xC3\xA9t\xC3\xA9",
      "IMG_0001",  "IMG_0001x",   "img_0002",     "small_IMG_0001",
  };
  std::mt19937 random(5);
  const std::string letters = "aAbBzZ019_[`~";
  for (int i = 0; i < 300; ++i) {
    std::string name(1 + random() % 12, 'x');
    for (char& c : name) c = letters[random() % letters.size()];
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  for (const std::string& name : names) tree.WriteFile("tree/" + name + ".jpg");
  SetOptions(tree, {{"FileTypes", "jpg"}, {"IndexFilename", "index.htm"}});
  ASSERT_EQ(Index(tree, 1).exit_code, 0);

  std::vector<std::string> expected;
  for (const std::string& name : names) expected.push_back(name + ".jpg");
  std::sort(expected.begin(), expected.end(),
            [](const std::string& a, const std::string& b) { return NameLess(a, b); });
  std::vector<std::string> listed;
  const std::string page = tree.ReadFile("tree/index.htm");
  for (std::size_t pos = 0; (pos = page.find("<li><a href=\"", pos)) != std::string::npos;) {
    pos += 13;
    listed.push_back(page.substr(pos, page.find('"', pos) - pos));
  }
  ASSERT_EQ(listed.size(), expected.size());
  for (std::size_t i = 0; i < listed.size(); ++i) {
    ASSERT_EQ(listed[i], expected[i]) << "at " << i;
  }
}

}  // namespace
}  // namespace pelorin
