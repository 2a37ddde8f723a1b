// Permission bits stop nothing for root, and CI runs as root. Permission
// tests therefore run their body in a child process that has dropped to an
// ordinary user, so a failure they expect is real.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace pelorin::testing {

inline constexpr unsigned kNobodyUid = 65534;
inline constexpr unsigned kNobodyGid = 65534;

// The uid the child runs as: nobody when we are root, ourselves otherwise.
unsigned UnprivilegedUid();
unsigned UnprivilegedGid();

// Runs body in a forked child with ordinary privileges and returns what it
// returned, or nullopt when the child could not drop privileges or crashed.
std::optional<std::string> RunUnprivileged(const std::function<std::string()>& body);

}  // namespace pelorin::testing
