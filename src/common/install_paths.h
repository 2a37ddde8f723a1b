// Where the application's data files (templates, help text) live.
#pragma once

#include <string>

namespace pelorin {

// The folder of the running executable, without a trailing separator.
std::string ExecutableFolder();
// The executable's own folder when template.htm lies there (the build tree),
// otherwise <prefix>/share/pelorin2 of the installed layout.
std::string InstallationFolder();

}  // namespace pelorin
