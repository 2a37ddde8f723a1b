#include "engine/create_index.h"

#include <filesystem>

#include "common/path_routines.h"
#include "common/text_routines.h"
#include "common/version.h"

namespace pelorin {

namespace {

constexpr std::string_view kSystemFolders[] = {"/usr/",  "/etc/",   "/bin/",   "/sbin/",
                                               "/lib/",  "/lib32/", "/lib64/", "/boot/",
                                               "/proc/", "/sys/",   "/dev/",   "/run/"};

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::string WithSeparator(std::string_view folder) {
  if (folder.empty()) return {};
  return RunRootOf(folder);
}

}  // namespace

std::string SelectedFolderOf(std::string_view path, std::string_view current_folder) {
  std::filesystem::path p{std::string(path)};
  if (p.is_relative()) p = std::filesystem::path(std::string(current_folder)) / p;
  std::string text = p.lexically_normal().string();
  while (text.size() > 1 && text.back() == kSeparator) text.pop_back();
  return text;
}

std::string ResolvedFolderOf(std::string_view path, std::string_view current_folder) {
  std::string full(path);
  if (full.empty() || full.front() != kSeparator) {
    full = std::string(current_folder) + kSeparator + full;
  }
  char* resolved = ::realpath(full.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string text = resolved;
  std::free(resolved);
  return text;
}

std::string RunRootOf(std::string_view selected_folder) {
  std::string root(selected_folder);
  while (!root.empty() && root.back() == kSeparator) root.pop_back();
  root += kSeparator;
  return root;
}

bool IsRiskyFolder(std::string_view root, std::string_view home_folder,
                   std::string_view documents_folder) {
  const std::int64_t separators = CountOccurrences(root, "/");
  if (separators == 1) return true;
  if (separators <= 2 && Contains(root, "My Documents", true)) return true;
  if (Contains(root, "Program Files", true) || Contains(root, "windows", true)) return true;
  if (EqualsIgnoreCase(root, "/home/")) return true;
  const std::string home = WithSeparator(home_folder);
  if (!home.empty() && EqualsIgnoreCase(root, home)) return true;
  const std::string documents = WithSeparator(documents_folder);
  if (!documents.empty() && EqualsIgnoreCase(root, documents)) return true;
  for (std::string_view system : kSystemFolders) {
    if (StartsWithIgnoreCase(root, system)) return true;
  }
  return false;
}

std::string RiskyFolderMessage(std::string_view index_filename, std::string_view root,
                               std::string_view resolved_root) {
  // One sentence with the folder on a line of its own, so a long path is
  // read whole; the question is the last line, for a box or a [y/N] prompt.
  std::string text = "This will write ";
  text += index_filename;
  text += " into\r\n  ";
  text += Quote();
  text += root;
  text += Quote();
  if (!resolved_root.empty() && resolved_root != root) {
    text += "\r\n  (that is ";
    text += Quote();
    text += resolved_root;
    text += Quote();
    text += ")";
  }
  text += "\r\nand into every folder below it.\r\nContinue?";
  return text;
}

CommandResult CreateIndex(IndexRun& run, RunHost& host, const CreateIndexRequest& request,
                          RunSummary* summary, std::stop_token stop) {
  const std::string named_root = RunRootOf(request.selected_folder);
  const std::string& folder =
      request.resolved_folder.empty() ? request.selected_folder : request.resolved_folder;
  const std::string root = RunRootOf(folder);
  // A link, as the folder named or as the home folder, hides nothing: the
  // folder is judged as named and as resolved, against home and documents
  // as named and as resolved.
  const std::string& home = request.home_folder;
  const std::string& documents = request.documents_folder;
  const std::string real_home = ResolvedFolderOf(home, "/");
  const std::string real_documents = ResolvedFolderOf(documents, "/");
  const bool risky = IsRiskyFolder(named_root, home, documents) ||
                     IsRiskyFolder(root, home, documents) ||
                     IsRiskyFolder(root, real_home, real_documents);
  if (risky) {
    if (!host.AskYesNo(kAppTitle, RiskyFolderMessage(run.index_filename(), named_root, root))) {
      return CommandResult::kDeclined;
    }
  }
  host.RunStarting();
  *summary = run.CreateIndexes(root, folder, std::move(stop));
  host.RunEnded();
  return CommandResult::kDone;
}

}  // namespace pelorin
