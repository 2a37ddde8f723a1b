// Snapshots of a folder tree, so a test can say exactly what a run changed.
// Everything works through directory descriptors, so trees deeper than
// PATH_MAX are read, built and removed like any other.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin::testing {

struct Node {
  char kind = 'o';          // 'd' folder, 'f' regular file, 'l' symbolic link, 'o' other
  unsigned mode = 0;        // permission bits
  std::string data;         // a file's bytes, a link's target
  unsigned long links = 0;  // hard links of a file; not compared
  bool operator==(const Node& other) const {
    return kind == other.kind && mode == other.mode && data == other.data;
  }
};

// Paths relative to the snapshot's root, "" being the root itself.
using TreeState = std::map<std::string, Node>;

// Reads the tree without following links. A folder that cannot be opened is
// recorded with data "<unreadable>".
TreeState Snapshot(const std::string& root);
// The state without the entries named page_name (the index pages).
TreeState WithoutPages(const TreeState& state, std::string_view page_name);
// Folder path -> bytes of its page, for folders that have one.
std::map<std::string, std::string> PagesOf(const TreeState& state, std::string_view page_name);
std::vector<std::string> FoldersOf(const TreeState& state);
// Paths of entries named like the page writer's temporary files.
std::vector<std::string> TempFilesOf(const TreeState& state);
// The first differences between two states, one per line, for messages.
std::string Differences(const TreeState& before, const TreeState& after, int limit = 20);

// "a/b" + "c" with the separator only where needed.
std::string JoinPath(std::string_view folder, std::string_view name);
// The parent of a relative path ("" for a top-level name).
std::string ParentOf(std::string_view relative);

// Removes a tree of any depth, opening closed folders as it goes.
void RemoveTree(const std::string& path);
// Creates root/names[0]/names[1]/... one level at a time; returns false on failure.
bool MakeFolderChain(const std::string& root, const std::vector<std::string>& names);
// Writes a file with exact bytes (any name, any depth below an open path).
bool WriteFileAt(const std::string& folder, const std::string& name, std::string_view content);

}  // namespace pelorin::testing
