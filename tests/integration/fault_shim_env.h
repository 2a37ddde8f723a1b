// The environment that preloads the fault shim into pelorin2-cli, making a
// fault happen at an exact point of a run.
#pragma once

#include <string>
#include <vector>

namespace pelorin::testing {

// What the fault shim does, and after how many completed page writes.
// kKill and kInterrupt act just before the n-th page is renamed into place
// (its temporary file is complete); kUnlink, kRevokeRead and kSwapForLink
// (path moved aside, a link to target in its place) act on `path` just after
// the n-th page is in place.
enum class FaultAction { kKill, kInterrupt, kUnlink, kRevokeRead, kSwapForLink };
// Environment entries that load the shim into the child.
std::vector<std::string> FaultShimEnv(FaultAction action, int page, const std::string& path = {},
                                      const std::string& target = {});

}  // namespace pelorin::testing
