#include "integration/index_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace pelorin::testing {

namespace fs = std::filesystem;

namespace {

TreeState Outside(const TreeState& workspace) {
  TreeState out;
  for (const auto& [path, node] : workspace) {
    if (path == "tree" || path.rfind("tree/", 0) == 0) continue;
    out.emplace(path, node);
  }
  return out;
}

std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool IsHiddenPath(const std::string& relative) {
  return !relative.empty() && (relative[0] == '.' || relative.find("/.") != std::string::npos);
}

}  // namespace

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

std::size_t CountOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t pos = text.find(part); pos != std::string::npos;
       pos = text.find(part, pos + part.size())) {
    ++count;
  }
  return count;
}

void IndexFixture::SetUp() {
  ASSERT_TRUE(WriteFileAt(Workspace(), "template.htm", kNamesTemplate));
  MakeFolder("");
  fs::create_directories(Workspace("outside"));
  const ProcessResult reset = RunCli({"--settings", SettingsPath(), "options", "reset"});
  ASSERT_EQ(reset.exit_code, 0) << reset.Describe();
  SetOption("MainTemplate", TemplatePath());
  SetOption("PageTitle", "Pictures");
  SetOption("Keywords", "photos");
  SetOption("Separator", " - ");
  SetOption("DynamicTitle", "1");
  SetOption("DynamicKeywords", "1");
  SetOption("DynamicDescription", "1");
}

void IndexFixture::TearDown() {
  // The tree may be deeper than the standard library can remove.
  RemoveWholeTree();
}

std::string IndexFixture::Workspace(const std::string& relative) const {
  return relative.empty() ? temp_.root() : temp_.root() + "/" + relative;
}

std::string IndexFixture::Tree(const std::string& relative) const {
  return relative.empty() ? Workspace("tree") : Workspace("tree") + "/" + relative;
}

std::string IndexFixture::FolderLine(const std::string& relative) const {
  return relative.empty() ? Tree() + "/" : Tree(relative) + "/";
}

void IndexFixture::SetOption(const std::string& key, const std::string& value) const {
  const ProcessResult result = RunCli({"--settings", SettingsPath(), "options", "set", key, value});
  ASSERT_EQ(result.exit_code, 0) << result.Describe();
}

ProcessResult IndexFixture::Index(const ProcessOptions& options,
                                  const std::vector<std::string>& extra) const {
  std::vector<std::string> args = {"--settings", SettingsPath(), "index", "--yes"};
  // Faults strike at an exact page in walk order: one thread unless the test
  // names a number (the default follows the machine's processors).
  if (std::find(extra.begin(), extra.end(), "--jobs") == extra.end()) {
    args.insert(args.end(), {"--jobs", "1"});
  }
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back(Tree());
  return RunCli(args, options);
}

void IndexFixture::MakeFolder(const std::string& relative) const {
  std::error_code ec;
  fs::create_directories(Tree(relative), ec);
  ASSERT_FALSE(ec) << relative << ": " << ec.message();
}

void IndexFixture::MakeFile(const std::string& relative, const std::string& content) const {
  const std::string path = Tree(relative);
  const std::string folder = path.substr(0, path.rfind('/'));
  std::error_code ec;
  fs::create_directories(folder, ec);
  ASSERT_TRUE(WriteFileAt(folder, path.substr(folder.size() + 1), content)) << Printable(path);
}

void IndexFixture::MakeLink(const std::string& relative, const std::string& target) const {
  ASSERT_EQ(::symlink(target.c_str(), Tree(relative).c_str()), 0) << relative;
}

void IndexFixture::RemoveWholeTree() const { RemoveTree(Tree()); }

std::string IndexFixture::OldPage(const std::string& folder) {
  return "<p>the old page of '" + folder + "'</p>\r\n";
}

void IndexFixture::BuildSmallTree() const {
  for (const char* folder : {"", "a", "a/a1", "a/a2", "b", "b/b1", "c"}) {
    MakeFolder(folder);
    MakeFile(JoinPath(folder, "index.html"), OldPage(folder));
  }
  MakeFile("top.gif");
  MakeFile("notes.txt");
  MakeFile("a/x.gif");
  MakeFile("a/a1/y.png");
  MakeFile("b/z.jpg");
  MakeFile("b/b1/w.gif");
  MakeFile("c/v.gif");
  MakeFile("c/small_v.gif");
}

TreeState IndexFixture::OutsideState() const { return Outside(Snapshot(Workspace())); }

Baseline IndexFixture::Capture() const {
  Baseline baseline;
  const std::string reference = Workspace("reference");
  std::error_code ec;
  fs::copy(Tree(), reference, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  EXPECT_FALSE(ec) << "copying the tree: " << ec.message();
  const ProcessResult run =
      RunCli({"--settings", SettingsPath(), "index", "--yes", reference});
  EXPECT_TRUE(run.exit_code == 0 || run.exit_code == 1) << run.Describe();
  baseline.expected_pages = PagesOf(Snapshot(reference), "index.html");
  RemoveTree(reference);

  baseline.tree = Snapshot(Tree());
  baseline.outside = Outside(Snapshot(Workspace()));
  return baseline;
}

void IndexFixture::ExpectOutcome(const ProcessResult& result, const Baseline& before,
                                 const Outcome& outcome) const {
  SCOPED_TRACE(result.Describe());
  EXPECT_EQ(result.exit_code, outcome.exit_code);
  EXPECT_EQ(result.signal, 0);

  // One line per failed folder, "folder: reason", and the count in the summary.
  std::vector<std::string> failure_lines;
  for (const std::string& line : Lines(result.err)) {
    if (line.rfind(Tree() + "/", 0) == 0) failure_lines.push_back(line);
  }
  EXPECT_EQ(failure_lines.size(), outcome.failures.size());
  for (const auto& [folder, reason] : outcome.failures) {
    const std::string prefix = FolderLine(folder) + ": ";
    bool found = false;
    for (const std::string& line : failure_lines) {
      found = found || (line.rfind(prefix, 0) == 0 && line.find(reason) != std::string::npos);
    }
    EXPECT_TRUE(found) << "no failure line '" << prefix << "..." << reason << "'";
  }
  EXPECT_NE(result.out.find(", " + std::to_string(outcome.failures.size()) + " failed"),
            std::string::npos);

  // Every page is the fault-free one, or the old one where the run failed
  // or never came: never anything in between.
  const TreeState after = Snapshot(Tree());
  const auto old_pages = PagesOf(before.tree, "index.html");
  const auto new_pages = PagesOf(after, "index.html");
  for (const std::string& folder : FoldersOf(before.tree)) {
    const auto expected = before.expected_pages.find(folder);
    // Hidden folders are not walked, so they keep what they had.
    const bool keeps_old = outcome.failures.count(folder) > 0 ||
                           outcome.untouched.count(folder) > 0 || IsHiddenPath(folder);
    const auto old_page = old_pages.find(folder);
    const auto new_page = new_pages.find(folder);
    if (keeps_old) {
      const bool same = old_page == old_pages.end()
                            ? new_page == new_pages.end()
                            : new_page != new_pages.end() && new_page->second == old_page->second;
      EXPECT_TRUE(same) << "the page of '" << Printable(folder) << "' changed";
      continue;
    }
    ASSERT_NE(expected, before.expected_pages.end()) << "no reference page for " << folder;
    ASSERT_NE(new_page, new_pages.end()) << "no page in '" << Printable(folder) << "'";
    EXPECT_EQ(new_page->second, expected->second) << "the page of '" << Printable(folder) << "'";
  }

  for (const std::string& temp : TempFilesOf(after)) {
    EXPECT_TRUE(outcome.kept_temp_files.count(temp) > 0) << "temporary file left: " << temp;
  }
  for (const std::string& temp : outcome.kept_temp_files) {
    EXPECT_TRUE(after.count(temp) > 0) << "not ours to remove, but removed: " << temp;
  }

  // Nothing but pages changed in the tree, and nothing at all outside it.
  TreeState before_rest = WithoutPages(before.tree, "index.html");
  const TreeState after_rest = WithoutPages(after, "index.html");
  for (const std::string& path : outcome.removed) {
    EXPECT_EQ(after.count(path), 0u) << "not removed: " << path;
    before_rest.erase(path);
  }
  EXPECT_TRUE(before_rest == after_rest) << Differences(before_rest, after_rest);
  const TreeState outside_after = Outside(Snapshot(Workspace()));
  EXPECT_TRUE(before.outside == outside_after) << Differences(before.outside, outside_after);
}

}  // namespace pelorin::testing
