#include "integration/fault_shim_env.h"

#include <cstdlib>

namespace pelorin::testing {

namespace {

// Appends to the child's ASAN_OPTIONS: a preloaded library may not come
// before the sanitizer runtime in a sanitizer build.
std::string AsanOptionsWithPreload() {
  std::string value = "ASAN_OPTIONS=";
  if (const char* old = std::getenv("ASAN_OPTIONS"); old != nullptr && *old != '\0') {
    value += old;
    value += ':';
  }
  value += "verify_asan_link_order=0";
  return value;
}

}  // namespace

std::vector<std::string> FaultShimEnv(FaultAction action, int page, const std::string& path,
                                      const std::string& target) {
  const char* name = "";
  switch (action) {
    case FaultAction::kKill:
      name = "kill";
      break;
    case FaultAction::kInterrupt:
      name = "interrupt";
      break;
    case FaultAction::kUnlink:
      name = "unlink";
      break;
    case FaultAction::kRevokeRead:
      name = "revoke-read";
      break;
    case FaultAction::kSwapForLink:
      name = "swap";
      break;
  }
  return {std::string("LD_PRELOAD=") + PELORIN_FAULT_SHIM_PATH,
          AsanOptionsWithPreload(),
          std::string("PELORIN_FAULT_ACTION=") + name,
          "PELORIN_FAULT_PAGE=" + std::to_string(page),
          "PELORIN_FAULT_PATH=" + path,
          "PELORIN_FAULT_TARGET=" + target};
}

}  // namespace pelorin::testing
