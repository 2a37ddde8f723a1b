// The Create index command without its window: the run root, the warning
// for risky folders and the run itself, shared by the desktop and the CLI.
#pragma once

#include <stop_token>
#include <string>
#include <string_view>

#include "engine/index_run.h"

namespace pelorin {

// The folder as the user named it, made absolute and lexically normal, with
// no trailing separator except for "/" itself. Symbolic links are kept.
std::string SelectedFolderOf(std::string_view path, std::string_view current_folder);

// The folder the kernel reaches for path (relative to current_folder): every
// link followed and ".." taken after the link it follows, as realpath(3)
// does. Empty when it cannot be reached.
std::string ResolvedFolderOf(std::string_view path, std::string_view current_folder);

// The selected folder with exactly one separator appended; never cut back
// at a "." (a folder named "v1.2" is a folder, not a file).
std::string RunRootOf(std::string_view selected_folder);

// Roots that need confirmation: "/" and other one-separator roots, the
// documents and home folders, and system or program folders.
bool IsRiskyFolder(std::string_view root, std::string_view home_folder,
                   std::string_view documents_folder);
// resolved_root: where the run really writes, shown too when it differs.
std::string RiskyFolderMessage(std::string_view index_filename, std::string_view root,
                               std::string_view resolved_root = {});

enum class CommandResult { kDone, kDeclined };

struct CreateIndexRequest {
  std::string selected_folder;  // from SelectedFolderOf
  // From ResolvedFolderOf; empty: the selected folder as it is.
  std::string resolved_folder;
  // The user's home and documents folders, which the warning guards.
  std::string home_folder;
  std::string documents_folder;
};

// Asks the host to confirm a risky root, then runs until done or stopped. The run's root is the
// resolved folder, so every page is written below the folder the kernel reaches; the warning judges
// both it and the folder as named. The options check comes first, in the caller.
CommandResult CreateIndex(IndexRun& run, RunHost& host, const CreateIndexRequest& request,
                          RunSummary* summary, std::stop_token stop = {});

}  // namespace pelorin
