// pelorin2-cli index under faults, on real trees: every case checks the exit
// status, the failure lines, that every other page is what a fault-free run
// writes, that no page is half written, that no temporary file is left and
// that nothing outside the tree changed (IndexFixture::ExpectOutcome).
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "common/folder_reader.h"
#include "engine/page_writer.h"
#include "integration/hostile_names.h"
#include "integration/index_fixture.h"
#include "support/unprivileged.h"

namespace pelorin::testing {
namespace {

namespace fs = std::filesystem;

class IndexFaults : public IndexFixture {
 protected:
  // Permission bits stop nothing for root: the run that must meet them goes
  // to an ordinary user, who owns the whole workspace.
  void GiveWorkspaceAway() const { temp_.GiveTo(UnprivilegedUid(), UnprivilegedGid()); }
};

void ChangeMode(const std::string& path, mode_t mode) {
  ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

TEST_F(IndexFaults, PermissionFaultsFailTheirFolderOnly) {
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(std::string("--jobs ") + jobs);
    BuildSmallTree();
    GiveWorkspaceAway();
    const Baseline before = Capture();
    ChangeMode(Tree("a"), 0555);             // cannot be written
    ChangeMode(Tree("b"), 0);                // cannot be read
    ChangeMode(Tree("c/index.html"), 0444);  // the page is read-only

    const ProcessResult result = Index({.unprivileged = true}, {"--jobs", jobs});

    ChangeMode(Tree("a"), 0755);
    ChangeMode(Tree("b"), 0755);
    ChangeMode(Tree("c/index.html"), 0644);
    ExpectOutcome(result, before,
                  {.exit_code = 1,
                   .failures = {{"a", "cannot write index.html: Permission denied"},
                                {"b", "cannot read the folder: Permission denied"},
                                {"c", "cannot write index.html: Permission denied"}},
                   .untouched = {"b/b1"}});
    RemoveWholeTree();
  }
}

TEST_F(IndexFaults, DiskFullKeepsThePreviousPageIntact) {
  // A file-size limit makes the big page's write fail part way, as a full
  // disk would; the other pages are small enough.
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(std::string("--jobs ") + jobs);
    BuildSmallTree();
    for (int i = 0; i < 400; ++i) MakeFile("b/photo-" + std::to_string(1000 + i) + ".gif");
    const Baseline before = Capture();
    ASSERT_GT(before.expected_pages.at("b").size(), 16384u);

    const ProcessResult result = Index({.file_size_limit = 8192}, {"--jobs", jobs});

    ExpectOutcome(result, before,
                  {.exit_code = 1, .failures = {{"b", "cannot write index.html: File too large"}}});
    RemoveWholeTree();
  }
}

// Every page comes from the template as the run read it at its start; one
// that goes away mid-run fails no folder, and the run says it was not clean.
TEST_F(IndexFaults, TemplateLostMidRunStillIndexesEveryFolder) {
  struct Case {
    FaultAction action;
    bool unprivileged;
  };
  for (const Case& c : {Case{FaultAction::kUnlink, false}, Case{FaultAction::kRevokeRead, true}}) {
    SCOPED_TRACE(c.unprivileged ? "made unreadable" : "deleted");
    BuildSmallTree();
    if (c.unprivileged) GiveWorkspaceAway();
    const Baseline before = Capture();

    // The template goes away once the pages of "" and "a" are in place.
    const ProcessResult result =
        Index({.unprivileged = c.unprivileged, .env = FaultShimEnv(c.action, 2, TemplatePath())});

    ASSERT_TRUE(WriteFileAt(Workspace(), "template.htm", kNamesTemplate));
    ChangeMode(TemplatePath(), 0644);
    ExpectOutcome(result, before, {.exit_code = 1});
    EXPECT_NE(result.out.find("Indexed 7 folders: 7 pages written, 0 unchanged, 0 failed; the "
                              "template changed during the run; run again to use the new one\n"),
              std::string::npos)
        << result.Describe();
    RemoveWholeTree();
  }
}

TEST_F(IndexFaults, LinksNeverLeadTheRunOutOfTheTree) {
  BuildSmallTree();
  fs::create_directories(Workspace("outside/photos"));
  ASSERT_TRUE(WriteFileAt(Workspace("outside/photos"), "p.gif", "picture"));
  ASSERT_TRUE(WriteFileAt(Workspace("outside"), "page.html", "not a page of the tree"));
  MakeLink("up", "..");      // the workspace
  MakeLink("a/loop", "..");  // a loop through the tree
  MakeLink("a/self", ".");
  MakeLink("b/out", Workspace("outside/photos"));  // a folder outside
  MakeLink("b/dangling.gif", "nowhere.gif");       // dangling
  MakeLink("c/ring1.gif", "ring2.gif");            // a loop of links
  MakeLink("c/ring2.gif", "ring1.gif");
  MakeLink("c/far.gif", "../../outside/photos/p.gif");  // a file outside
  ASSERT_EQ(::unlink(Tree("c/index.html").c_str()), 0);
  MakeLink("c/index.html", "../../outside/page.html");  // the page itself
  // A page that is a second name of a file outside.
  ASSERT_TRUE(WriteFileAt(Workspace("outside"), "linked.html", "a second name in the tree"));
  ASSERT_EQ(::unlink(Tree("a/index.html").c_str()), 0);
  ASSERT_EQ(::link(Workspace("outside/linked.html").c_str(), Tree("a/index.html").c_str()), 0);
  const Baseline before = Capture();

  const ProcessResult result = Index();

  ExpectOutcome(result, before, {.exit_code = 0});
  const std::string c_page = PagesOf(Snapshot(Tree()), "index.html").at("c");
  EXPECT_NE(c_page.find("<li><a href=\"far.gif\">far.gif</a></li>"), std::string::npos) << c_page;
  EXPECT_EQ(c_page.find("ring1.gif"), std::string::npos) << c_page;
}

TEST_F(IndexFaults, TreeDeeperThanPathMaxIsIndexedWhole) {
  constexpr int kDepth = 300;
  std::vector<std::string> names;
  std::size_t path_length = Tree().size();
  for (int i = 1; i <= kDepth; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "level-%03d-of-a-rather-deep-tree", i);
    names.push_back(name);
    path_length += 1 + names.back().size();
  }
  ASSERT_GT(path_length, static_cast<std::size_t>(PATH_MAX));
  MakeFolder("");
  ASSERT_TRUE(MakeFolderChain(Tree(), names));
  ASSERT_TRUE(WriteFileAt(Tree(), "top.gif", "x"));
  const TreeState outside_before = OutsideState();

  const ProcessResult result = Index();

  ASSERT_EQ(result.exit_code, 0) << result.Describe();
  EXPECT_TRUE(OutsideState() == outside_before);
  EXPECT_NE(result.out.find("Indexed 301 folders: 301 pages written, 0 unchanged, 0 failed"),
            std::string::npos)
      << result.out;
  const TreeState after = Snapshot(Tree());
  const auto pages = PagesOf(after, "index.html");
  ASSERT_EQ(pages.size(), kDepth + 1u);
  EXPECT_TRUE(TempFilesOf(after).empty());
  std::string folder;
  for (int level = 0; level <= kDepth; ++level) {
    SCOPED_TRACE("level " + std::to_string(level));
    const std::string& page = pages.at(folder);
    const bool bottom = level == kDepth;
    EXPECT_NE(page.find(bottom ? "0 categories" : "1 categories"), std::string::npos);
    if (!bottom) {
      const std::string link =
          "[<a href=\"" + names[level] + "/index.html\">" + names[level] + "</a>] ";
      EXPECT_NE(page.find(link), std::string::npos);
    }
    EXPECT_EQ(page.find("Parent directory") != std::string::npos, level > 0);
    if (!bottom) folder = JoinPath(folder, names[level]);
  }
}

TEST_F(IndexFaults, VeryLargeFoldersAreIndexedWhole) {
  // Pages without names of their own, so every leaf page is the same.
  ASSERT_TRUE(WriteFileAt(Workspace(), "plain.htm",
                          "<!--#numberofsubdirectories-->\n<!--#numberoffiles-->\n"
                          "<!--#uponelevel-->\n<!--#subdirectorylist-->\n<!--#filelist-->\n"));
  SetOption("MainTemplate", Workspace("plain.htm"));
  constexpr int kFiles = 100000;
  constexpr int kFolders = 40000;
  MakeFolder("many");
  MakeFolder("wide");
  char name[32];
  for (int i = 0; i < kFiles; ++i) {
    std::snprintf(name, sizeof name, "f%06d.gif", i);
    ASSERT_TRUE(WriteFileAt(Tree("many"), name, ""));
  }
  std::vector<std::string> folders;
  for (int i = 0; i < kFolders; ++i) {
    std::snprintf(name, sizeof name, "d%05d", i);
    folders.push_back(name);
    ASSERT_EQ(::mkdir(Tree("wide/" + folders.back()).c_str(), 0755), 0);
  }

  const TreeState outside_before = OutsideState();

  const ProcessResult result = Index({.timeout_seconds = 1200});

  ASSERT_EQ(result.exit_code, 0) << result.Describe();
  EXPECT_TRUE(OutsideState() == outside_before);
  const TreeState after = Snapshot(Tree());
  EXPECT_TRUE(TempFilesOf(after).empty());
  const auto pages = PagesOf(after, "index.html");
  ASSERT_EQ(pages.size(), 3u + kFolders);

  const std::string& many = pages.at("many");
  EXPECT_NE(many.find("100000 files\r\n"), std::string::npos);  // its own page does not count
  EXPECT_EQ(CountOf(many, "<li><a href=\"f"), static_cast<std::size_t>(kFiles));
  EXPECT_NE(many.find("<li><a href=\"f099999.gif\">f099999.gif</a></li>\r\n</ul>"),
            std::string::npos);

  const std::string& wide = pages.at("wide");
  EXPECT_NE(wide.find("40000 categories\r\n"), std::string::npos);
  std::size_t pos = 0;
  for (const std::string& folder : folders) {
    const std::string link = "[<a href=\"" + folder + "/index.html\">" + folder + "</a>] \r\n";
    pos = wide.find(link, pos);
    ASSERT_NE(pos, std::string::npos) << "link to " << folder << " missing or out of order";
  }

  const std::string leaf =
      "0 categories\r\n0 files\r\n<p><a href=\"../index.html\">Parent directory</a></p>\r\n\r\n"
      "<h2>Files</h2>\r\n<ul>\r\n</ul>\r\n\r\n";
  int wrong = 0;
  for (const std::string& folder : folders) wrong += pages.at("wide/" + folder) != leaf;
  EXPECT_EQ(wrong, 0) << "first leaf page:\n" << pages.at("wide/" + folders[0]);
}

// Splits the generated list lines of a page back into the names they show
// and link to; fails on any line where a name could have become markup.
struct ParsedPage {
  std::multiset<std::string> folder_links, folder_texts, file_links, file_texts;
};

ParsedPage ParseListLines(const std::string& page) {
  ParsedPage parsed;
  const auto raw_free = [](const std::string& text) {
    return text.find_first_of("<>\"") == std::string::npos;
  };
  std::size_t pos = 0;
  while (pos < page.size()) {
    std::size_t end = page.find("\r\n", pos);
    if (end == std::string::npos) end = page.size();
    const std::string line = page.substr(pos, end - pos);
    pos = end + 2;
    const std::string folder_start = "[<a href=\"";
    const std::string folder_end = "</a>] ";
    const std::string file_start = "<li><a href=\"";
    const std::string file_end = "</a></li>";
    const bool folder = line.rfind(folder_start, 0) == 0;
    const bool file = line.rfind(file_start, 0) == 0;
    if (!folder && !file) continue;
    const std::string& start = folder ? folder_start : file_start;
    const std::string& finish = folder ? folder_end : file_end;
    const std::size_t quote = line.find('"', start.size());
    EXPECT_TRUE(quote != std::string::npos && line.compare(quote, 2, "\">") == 0) << line;
    if (quote == std::string::npos) continue;
    std::string href = line.substr(start.size(), quote - start.size());
    EXPECT_TRUE(line.size() >= finish.size() &&
                line.compare(line.size() - finish.size(), finish.size(), finish) == 0)
        << line;
    const std::string text = line.substr(quote + 2, line.size() - finish.size() - quote - 2);
    EXPECT_TRUE(raw_free(href) && raw_free(text)) << line;
    // Bytes a browser would strip, drop or take as URL syntax never reach a link.
    for (char c : href) {
      const auto b = static_cast<unsigned char>(c);
      EXPECT_FALSE(b < 0x20 || b == 0x7F || c == '#' || c == '?' || c == '\\' || c == ':')
          << "raw byte " << int(b) << " in " << href;
    }
    EXPECT_NE(href.front(), ' ') << href;
    if (folder) {
      const std::string suffix = "/index.html";
      EXPECT_TRUE(href.size() > suffix.size() &&
                  href.compare(href.size() - suffix.size(), suffix.size(), suffix) == 0)
          << href;
      href.resize(href.size() - suffix.size());
      parsed.folder_links.insert(PercentDecode(UnescapeHtml(href)));
      parsed.folder_texts.insert(UnescapeHtml(text));
    } else {
      EXPECT_NE(href.back(), ' ') << href;
      parsed.file_links.insert(PercentDecode(UnescapeHtml(href)));
      parsed.file_texts.insert(UnescapeHtml(text));
    }
  }
  return parsed;
}

// The lines built from folder names: title, meta, category lines.
void ExpectNoMarkupFromFolderNames(const std::string& page, const std::string& folder) {
  SCOPED_TRACE("page of '" + folder + "'");
  // Split at CR LF only: a name may hold a line feed of its own.
  std::vector<std::string> lines;
  for (std::size_t pos = 0; pos < page.size();) {
    std::size_t end = page.find("\r\n", pos);
    if (end == std::string::npos) end = page.size();
    lines.push_back(page.substr(pos, end - pos));
    pos = end + 2;
  }
  ASSERT_GT(lines.size(), 10u);
  auto inside = [](const std::string& line, const std::string& before, const std::string& after) {
    EXPECT_EQ(line.rfind(before, 0), 0u) << line;
    EXPECT_TRUE(line.size() >= before.size() + after.size() &&
                line.compare(line.size() - after.size(), after.size(), after) == 0)
        << line;
    const std::string middle =
        line.substr(before.size(), line.size() - before.size() - after.size());
    EXPECT_EQ(middle.find_first_of("<>\""), std::string::npos) << line;
  };
  // The lines of kNamesTemplate.
  inside(lines[1], "<TITLE>Pictures - ", "</TITLE>");
  inside(lines[2], "<META NAME=\"keywords\" CONTENT=\"photos,", "\">");
  inside(lines[3], "<META NAME=\"description\" CONTENT=\"Directory listing of ", "\">");
  inside(lines[6], "", "");  // full category
  inside(lines[9], "", "");  // category
}

TEST_F(IndexFaults, HostileNamesStayText) {
  std::multiset<std::string> top_files;
  std::multiset<std::string> top_folders;
  for (const std::string& name : HostileFileNames()) {
    MakeFile(name);
    top_files.insert(name);
  }
  for (const std::string& name : EveryByteFileNames()) {
    MakeFile(name);
    top_files.insert(name);
  }
  for (const HostileFolder& folder : HostileFolders()) {
    for (const std::string& file : folder.files) MakeFile(folder.name + "/" + file);
    top_folders.insert(folder.name);
  }
  for (const std::string& name : EveryByteFolderNames()) {
    MakeFolder(name);
    MakeFile(name + "/" + name + ".gif");
    top_folders.insert(name);
  }
  MakeFile("  ");  // a name of spaces only; no extension, so not listed
  const Baseline before = Capture();

  const ProcessResult result = Index();

  ExpectOutcome(result, before, {.exit_code = 0});
  const auto pages = PagesOf(Snapshot(Tree()), "index.html");
  ASSERT_EQ(pages.size(), 1 + top_folders.size());

  const ParsedPage top = ParseListLines(pages.at(""));
  EXPECT_EQ(top.file_links, top_files);
  EXPECT_EQ(top.file_texts, top_files);
  EXPECT_EQ(top.folder_links, top_folders);
  EXPECT_EQ(top.folder_texts, top_folders);
  ExpectNoMarkupFromFolderNames(pages.at(""), "");

  for (const HostileFolder& folder : HostileFolders()) {
    const ParsedPage parsed = ParseListLines(pages.at(folder.name));
    const std::multiset<std::string> files(folder.files.begin(), folder.files.end());
    EXPECT_EQ(parsed.file_links, files);
    EXPECT_EQ(parsed.file_texts, files);
    ExpectNoMarkupFromFolderNames(pages.at(folder.name), folder.name);
  }
  for (const std::string& name : EveryByteFolderNames()) {
    const ParsedPage parsed = ParseListLines(pages.at(name));
    EXPECT_EQ(parsed.file_links, (std::multiset<std::string>{name + ".gif"}));
    ExpectNoMarkupFromFolderNames(pages.at(name), name);
  }
}

TEST_F(IndexFaults, KilledRunLeavesWholePagesAndTheNextRunCleansUp) {
  BuildSmallTree();
  // Leftovers that are not this program's to remove: a live run's (it holds
  // its file locked, whatever number its name carries, here that of a
  // process that is gone), names that only look like its own, a folder, a
  // link.
  const pid_t dead = ::fork();
  if (dead == 0) ::_exit(0);
  ASSERT_GT(dead, 0);
  ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
  const std::string dead_run = ".pelorin2-" + std::to_string(dead);
  const std::string live = dead_run + "-7.tmp";
  MakeFile("c/" + live, "a live run's page");
  const UniqueFd live_lock(::open(Tree("c/" + live).c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(::flock(live_lock.get(), LOCK_EX), 0);
  MakeFile("c/.pelorin2-notes.tmp", "notes");
  MakeFile("c/" + dead_run + "-x.tmp", "not a name this program makes");
  MakeFile("c/" + dead_run + "-1.tmp.old.tmp", "not a name this program makes");
  MakeFile("c/.pelorin2-2147483653-0.tmp", "no process has that number");
  MakeFolder("c/.pelorin2-1-1.tmp");
  MakeLink("c/" + dead_run + "-2.tmp", Workspace("outside/kept.txt"));
  ASSERT_TRUE(WriteFileAt(Workspace("outside"), "kept.txt", "outside"));
  const std::set<std::string> decoys = {"c/" + live,
                                        "c/.pelorin2-notes.tmp",
                                        "c/" + dead_run + "-x.tmp",
                                        "c/" + dead_run + "-1.tmp.old.tmp",
                                        "c/.pelorin2-2147483653-0.tmp",
                                        "c/.pelorin2-1-1.tmp",
                                        "c/" + dead_run + "-2.tmp"};
  // Leftovers of earlier runs that died, whatever number their names carry
  // (this process's own, or 1 as in a container): this program's to remove.
  const std::string stale = "b/" + dead_run + "-3.tmp";
  const std::string stale_own = "a/.pelorin2-" + std::to_string(::getpid()) + "-3.tmp";
  const std::string stale_first = "c/.pelorin2-1-0.tmp";
  for (const std::string& name : {stale, stale_own, stale_first}) MakeFile(name, "half a page");
  const Baseline before = Capture();

  // Killed with the page of a/a1 complete in its temporary file.
  const ProcessResult killed = Index({.env = FaultShimEnv(FaultAction::kKill, 3)});

  ASSERT_EQ(killed.signal, SIGKILL) << killed.Describe();
  const TreeState after_kill = Snapshot(Tree());
  const auto pages = PagesOf(after_kill, "index.html");
  for (const std::string& folder : FoldersOf(before.tree)) {
    if (folder.rfind("c/.pelorin2", 0) == 0) continue;
    const bool done = folder.empty() || folder == "a";
    EXPECT_EQ(pages.at(folder), done ? before.expected_pages.at(folder) : OldPage(folder))
        << "the page of '" << folder << "'";
  }
  std::vector<std::string> left;
  for (const std::string& temp : TempFilesOf(after_kill)) {
    if (decoys.count(temp) == 0 && temp != stale && temp != stale_own && temp != stale_first) {
      left.push_back(temp);
    }
  }
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].rfind("a/a1/.pelorin2-", 0), 0u) << left[0];
  EXPECT_EQ(after_kill.at(left[0]).data, before.expected_pages.at("a/a1"));

  const ProcessResult next = Index();

  ExpectOutcome(
      next, before,
      {.exit_code = 0, .kept_temp_files = decoys, .removed = {stale, stale_own, stale_first}});
}

// Ctrl-C, SIGTERM and SIGHUP all stop a run the same way; the exit status
// tells which one came.
TEST_F(IndexFaults, InterruptFinishesTheCurrentFolderAndReports) {
  for (const auto& [signal_number, exit_code] :
       {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
    SCOPED_TRACE(::strsignal(signal_number));
    BuildSmallTree();
    const Baseline before = Capture();

    // The signal arrives while the page of a/a1 is being written.
    std::vector<std::string> env = FaultShimEnv(FaultAction::kInterrupt, 3);
    env.push_back("PELORIN_FAULT_SIGNAL=" + std::to_string(signal_number));
    const ProcessResult result = Index({.env = env});

    ExpectOutcome(result, before,
                  {.exit_code = exit_code, .untouched = {"a/a2", "b", "b/b1", "c"}});
    // a/a2, b and c were found and not reached; b/b1 was never seen.
    EXPECT_NE(result.out.find("Indexed 3 folders: 3 pages written, 0 unchanged, 0 failed "
                              "(stopped; 3 folders and what is below them not reached)\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("Top page: " + Tree() + "/index.html"), std::string::npos);
    RemoveWholeTree();
  }
}

// With pages written on two threads, which folders were done when Ctrl-C came
// depends on timing; what must hold is the same: whole pages, old or new, no
// temporary file, the summary, exit 130.
TEST_F(IndexFaults, InterruptWithTwoJobsLeavesEveryPageWhole) {
  BuildSmallTree();
  const Baseline before = Capture();

  const ProcessResult result =
      Index({.env = FaultShimEnv(FaultAction::kInterrupt, 3)}, {"--jobs", "2"});

  EXPECT_EQ(result.exit_code, 130) << result.Describe();
  EXPECT_NE(result.out.find(" 0 failed (stopped"), std::string::npos) << result.out;
  const TreeState after = Snapshot(Tree());
  EXPECT_TRUE(TempFilesOf(after).empty());
  EXPECT_TRUE(WithoutPages(after, "index.html") == WithoutPages(before.tree, "index.html"));
  const auto pages = PagesOf(after, "index.html");
  for (const std::string& folder : FoldersOf(before.tree)) {
    const std::string& page = pages.at(folder);
    EXPECT_TRUE(page == OldPage(folder) || page == before.expected_pages.at(folder))
        << "the page of '" << folder << "'";
  }
  EXPECT_TRUE(OutsideState() == before.outside);
}

TEST_F(IndexFaults, SettingsThatCannotBeReadOrWrittenStopBeforeTheTree) {
  BuildSmallTree();
  GiveWorkspaceAway();
  const TreeState tree_before = Snapshot(Tree());
  const std::string settings_before = temp_.ReadFile("settings.ini");
  struct Case {
    const char* what;
    std::vector<std::string> args;
    mode_t settings_mode;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"unreadable settings",
       {"--settings", SettingsPath(), "index", "--yes", Tree()},
       0,
       "cannot read the settings file "},
      {"settings that are a folder",
       {"--settings", Tree("a"), "index", "--yes", Tree()},
       0644,
       "cannot read the settings file "},
      {"read-only settings",
       {"--settings", SettingsPath(), "options", "set", "PageTitle", "x"},
       0444,
       "cannot write the settings file "},
      {"settings in a folder that cannot be written",
       {"--settings", Tree("a/new.ini"), "options", "reset"},
       0644,
       "cannot write the settings file "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ChangeMode(SettingsPath(), c.settings_mode);
    ChangeMode(Tree("a"), 0555);
    const ProcessResult result = RunCli(c.args, {.unprivileged = true});
    ChangeMode(Tree("a"), 0755);
    ChangeMode(SettingsPath(), 0644);
    EXPECT_EQ(result.exit_code, 2) << result.Describe();
    EXPECT_NE(result.err.find(std::string("pelorin2-cli: ") + c.message), std::string::npos)
        << result.Describe();
    EXPECT_EQ(temp_.ReadFile("settings.ini"), settings_before);
    const TreeState tree_after = Snapshot(Tree());
    EXPECT_TRUE(tree_after == tree_before) << Differences(tree_before, tree_after);
  }
}

TEST_F(IndexFaults, FolderSwappedForALinkMidRunIsNotFollowed) {
  BuildSmallTree();
  fs::create_directories(Workspace("outside/photos"));
  ASSERT_TRUE(WriteFileAt(Workspace("outside/photos"), "p.gif", "picture"));
  const Baseline before = Capture();

  // Once the pages of "" and "a" are written, b becomes a link out of the tree.
  const ProcessResult result = Index(
      {.env = FaultShimEnv(FaultAction::kSwapForLink, 2, Tree("b"), Workspace("outside/photos"))});

  ASSERT_EQ(::unlink(Tree("b").c_str()), 0);
  ASSERT_EQ(::rename(Tree("b.moved").c_str(), Tree("b").c_str()), 0);
  ExpectOutcome(
      result, before,
      {.exit_code = 1, .failures = {{"b", "cannot read the folder: "}}, .untouched = {"b/b1"}});
}

TEST_F(IndexFaults, IndexFileNameMustNameAFileInItsFolder) {
  BuildSmallTree();
  const TreeState tree_before = Snapshot(Tree());
  const TreeState outside_before = Snapshot(Workspace("outside"));
  const std::string problem = "  IndexFilename: please specify a name for the index files";
  const std::string settings = temp_.ReadFile("settings.ini");
  const std::string stored = "IndexFilename=index.html\n";
  const std::string::size_type line = settings.find(stored);
  ASSERT_NE(line, std::string::npos);
  for (const std::string& name :
       {std::string("../escape.html"), std::string("a/index.html"),
        Workspace("outside/absolute.html"), std::string(".."), std::string(".")}) {
    SCOPED_TRACE("IndexFilename " + name);
    // Refused when set; written into the file by hand, refused by the check.
    EXPECT_EQ(
        RunCli({"--settings", SettingsPath(), "options", "set", "IndexFilename", name}).exit_code,
        2);
    std::string edited = settings;
    edited.replace(line, stored.size(), "IndexFilename=" + name + "\n");
    temp_.WriteFile("settings.ini", edited);
    const ProcessResult check = RunCli({"--settings", SettingsPath(), "check"});
    EXPECT_EQ(check.exit_code, 2) << check.Describe();
    EXPECT_NE(check.out.find(problem), std::string::npos) << check.Describe();
    const ProcessResult index = Index();
    EXPECT_EQ(index.exit_code, 2) << index.Describe();
    EXPECT_NE(index.err.find(problem), std::string::npos) << index.Describe();
  }
  EXPECT_FALSE(temp_.Exists("escape.html"));
  const TreeState tree_after = Snapshot(Tree());
  EXPECT_TRUE(tree_after == tree_before) << Differences(tree_before, tree_after);
  const TreeState outside_after = Snapshot(Workspace("outside"));
  EXPECT_TRUE(outside_after == outside_before) << Differences(outside_before, outside_after);

  // The page writer refuses such a name too, whoever calls it.
  const UniqueFd folder = OpenFolder(AT_FDCWD, Tree("a"), true);
  ASSERT_TRUE(folder.valid());
  for (const char* name : {"../escape.html", "a1/index.html", "..", ""}) {
    std::string error;
    EXPECT_EQ(WritePage(folder.get(), Tree("a") + "/", name, "page", &error), WriteOutcome::kFailed)
        << name;
    EXPECT_EQ(error, "not a plain file name") << name;
  }
  EXPECT_TRUE(Snapshot(Tree()) == tree_before);
  EXPECT_FALSE(temp_.Exists("tree/escape.html"));
}

TEST_F(IndexFaults, FailureLinesShowHostileNamesInert) {
  BuildSmallTree();
  struct Case {
    std::string name;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {"line\nfeed \x1b]0;title\x07", "line\\x0Afeed \\x1B]0;title\\x07"},
      {"c1 \xc2\x9b"
       "31m back\\slash",
       "c1 \\xC2\\x9B31m back\\x5Cslash"},
      {"latin-1 \xe9\x9b", "latin-1 \\xE9\\x9B"},
  };
  for (const Case& c : cases) MakeFolder(c.name);
  GiveWorkspaceAway();
  for (const Case& c : cases) ChangeMode(Tree(c.name), 0555);

  const ProcessResult result = Index({.unprivileged = true});

  for (const Case& c : cases) ChangeMode(Tree(c.name), 0755);
  ASSERT_EQ(result.exit_code, 1) << result.Describe();
  std::set<std::string> expected;
  for (const Case& c : cases) {
    expected.insert(Tree() + "/" + c.shown + "/: cannot write index.html: Permission denied");
  }
  const std::vector<std::string> lines = Lines(result.err);
  EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expected) << result.Describe();
  for (char c : result.err) {
    const auto b = static_cast<unsigned char>(c);
    EXPECT_TRUE(c == '\n' || (b >= 0x20 && b < 0x7F)) << "byte " << int(b) << " on stderr";
  }
}

}  // namespace
}  // namespace pelorin::testing
