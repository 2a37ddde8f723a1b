// The command-line front end: parses the arguments and runs one command.
#pragma once

namespace pelorin {

// Exit status: 0 done, 1 some folders failed, 2 usage or configuration
// error, 3 the risky-folder warning was declined.
int RunCli(int argc, char** argv);

}  // namespace pelorin
