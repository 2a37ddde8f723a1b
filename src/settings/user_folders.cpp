#include "settings/user_folders.h"

#include <cstdlib>
#include <fstream>
#include <string_view>

namespace pelorin {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home != nullptr ? home : "";
}

std::string DocumentsFolder() {
  const std::string home = HomeFolder();
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
    config = xdg;
  } else {
    config = home + "/.config";
  }
  std::ifstream dirs(config + "/user-dirs.dirs");
  std::string line;
  while (std::getline(dirs, line)) {
    constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
    if (!line.starts_with(kKey)) continue;
    std::string value = line.substr(kKey.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.starts_with("$HOME")) value = home + value.substr(5);
    return value;
  }
  return home.empty() ? "" : home + "/Documents";
}

}  // namespace pelorin
