// A temporary workspace for driving pelorin2-cli end to end: the tree to
// index ("tree"), things outside it ("outside"), a settings file and a
// template, plus the checks every fault case shares.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "integration/fault_shim_env.h"
#include "integration/tree_state.h"
#include "support/cli_runner.h"
#include "support/temp_tree.h"

namespace pelorin::testing {

// Uses every tag that carries names, with the dynamic options on.
inline constexpr char kNamesTemplate[] =
    "<html><head>\n"
    "<!--#title-->\n"
    "<!--#metakeywords-->\n"
    "<!--#metadescription-->\n"
    "</head><body>\n"
    "<h1>\n"
    "<!--#fullcategory-->\n"
    "</h1>\n"
    "<p>\n"
    "<!--#category-->\n"
    "</p>\n"
    "<!--#numberofsubdirectories-->\n"
    "<!--#numberoffiles-->\n"
    "<!--#uponelevel-->\n"
    "<!--#subdirectorylist-->\n"
    "<!--#filelist-->\n"
    "</body></html>\n";

// What a run must have done, beyond "every other page is the fault-free one".
struct Outcome {
  int exit_code = 0;
  // Folder (relative, "" for the top) -> text its failure line must contain.
  std::map<std::string, std::string> failures;
  // Folders the run must not have reached: their page is as before.
  std::set<std::string> untouched;
  // Temporary files that may remain (decoys that are not ours to remove).
  std::set<std::string> kept_temp_files;
  // Entries of the tree the run must have removed (stale temporary files).
  std::set<std::string> removed;
};

// The state of the workspace before a fault is applied.
struct Baseline {
  TreeState tree;
  TreeState outside;                                  // the workspace without the tree
  std::map<std::string, std::string> expected_pages;  // what a fault-free run writes
};

class IndexFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Workspace(const std::string& relative = {}) const;
  std::string Tree(const std::string& relative = {}) const;
  std::string SettingsPath() const { return Workspace("settings.ini"); }
  std::string TemplatePath() const { return Workspace("template.htm"); }
  // The folder as a failure line names it: absolute, ending in "/".
  std::string FolderLine(const std::string& relative) const;

  void SetOption(const std::string& key, const std::string& value) const;
  // Runs "index --yes" on the tree with extra arguments before it.
  ProcessResult Index(const ProcessOptions& options = {},
                      const std::vector<std::string>& extra = {}) const;

  void MakeFolder(const std::string& relative) const;
  void MakeFile(const std::string& relative, const std::string& content = "x") const;
  void MakeLink(const std::string& relative, const std::string& target) const;
  void RemoveWholeTree() const;

  // Three levels, pictures, other files and an old page in every folder.
  // Walk order: "", a, a/a1, a/a2, b, b/b1, c.
  void BuildSmallTree() const;
  static std::string OldPage(const std::string& folder);

  // The whole workspace except the tree.
  TreeState OutsideState() const;
  // Indexes a copy of the tree without faults, then records the state.
  Baseline Capture() const;
  // The checks every case makes; see Outcome.
  void ExpectOutcome(const ProcessResult& result, const Baseline& before,
                     const Outcome& outcome) const;

  TempTree temp_;
};

std::vector<std::string> Lines(const std::string& text);
std::size_t CountOf(const std::string& text, const std::string& part);

}  // namespace pelorin::testing
