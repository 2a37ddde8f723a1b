// The Create index command without its window: the run root, the warning
// for risky folders and the run itself, shared by the desktop and the CLI.
#pragma once

#include <string>
#include <string_view>

#include "engine/index_run.h"

namespace pelorin {

// The folder as the user named it, made absolute and lexically normal, with
// no trailing separator except for "/" itself. Symbolic links are kept.
std::string SelectedFolderOf(std::string_view path, std::string_view current_folder);

// The selected folder with exactly one separator appended; never cut back
// at a "." (a folder named "v1.2" is a folder, not a file).
std::string RunRootOf(std::string_view selected_folder);

// Roots that need confirmation: "/" and other one-separator roots, the
// documents and home folders, and system or program folders.
bool IsRiskyFolder(std::string_view root, std::string_view home_folder,
                   std::string_view documents_folder);
// The user's home and documents folders as the environment gives them.
std::string HomeFolder();
std::string DocumentsFolder();

std::string RiskyFolderMessage(std::string_view index_filename, std::string_view root);

enum class CommandResult { kDone, kDeclined };

struct CreateIndexRequest {
  std::string selected_folder;  // from SelectedFolderOf
  bool open_when_done = false;
};

// Asks the host to confirm a risky root, runs, and opens the top page when
// asked to. The options check comes first, in the caller.
CommandResult CreateIndex(IndexRun& run, RunHost& host, const CreateIndexRequest& request,
                          RunSummary* summary);

}  // namespace pelorin
