#include "common/install_paths.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/path_routines.h"
#include "common/text_routines.h"

namespace pelorin {

std::string ExecutableFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  std::string folder = FolderOf(std::string(buffer, static_cast<std::size_t>(n)));
  if (folder.size() > 1 && folder.back() == kSeparator) folder.pop_back();
  return folder;
}

std::string InstallationFolder() {
  const std::string exe_folder = ExecutableFolder();
  struct stat st;
  if (::stat((exe_folder + "/template.htm").c_str(), &st) == 0) return exe_folder;
  return FolderOf(exe_folder) + "share/pelorin2";
}

}  // namespace pelorin
