// Runs a program (pelorin2-cli) as a user would: a real child process with
// no terminal on stdin, its output captured through files in a temporary tree.
#pragma once

#include <string>
#include <vector>

#include "support/temp_tree.h"

namespace pelorin::testing {

struct CliResult {
  int status = -1;  // the exit status, or -1 when a signal ended it
  std::string out;
  std::string err;
};

// stdin is /dev/null; HOME is set to home. stdout and stderr go through
// cli.out and cli.err in tree.
CliResult RunProgram(const TempTree& tree, const std::string& binary,
                     const std::vector<std::string>& args,
                     const std::string& home = "/nonexistent");

std::string ReadAll(const std::string& path);

}  // namespace pelorin::testing
