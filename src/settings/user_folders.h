// The user's home and documents folders, as the environment and the XDG
// user-dirs file give them. The front ends read them and hand them to the
// run, which guards them; the engine reads no environment itself.
#pragma once

#include <string>

namespace pelorin {

std::string HomeFolder();
std::string DocumentsFolder();

}  // namespace pelorin
