// The hidden temporary file a page is written to before it is renamed into
// place: how its name is made, how a name is recognised as one, and how the
// leftovers of a process killed mid-page are removed. One definition, so the
// folder reader, the page writer and the clean-up always agree.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// A name no other temporary file of this process has had: the process number
// and a sequence number, ".pelorin2-<pid>-<n>.tmp".
std::string NewTempFileName();

// The process number in a name of exactly that form, or 0 for any other name.
long TempFileOwner(std::string_view name);

// Removes the temporary files among names whose process is gone. Other
// names, and files of a process still running, are left alone.
void RemoveStaleTempFiles(int dir_fd, const std::vector<std::string>& names);

}  // namespace pelorin
