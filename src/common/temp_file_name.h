// The hidden temporary file a page is written to before it is renamed into
// place: how its name is made, how a name is recognised as one, how one is
// created, and how the leftovers of a run killed mid-page are removed. One
// definition, so the folder reader, the page writer and the clean-up always
// agree.
//
// A temporary file is live while the run writing it holds an advisory lock
// (flock) on it; the lock goes with the last descriptor, so a killed run
// leaves an unlocked file. Process numbers in names only keep names of
// concurrent runs apart: they repeat (every container's first process is 1)
// and differ between PID namespaces, so liveness never rests on them.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/folder_reader.h"

namespace pelorin {

// A name no other temporary file of this process has had: the process number
// and a sequence number, ".pelorin2-<pid>-<n>.tmp".
std::string NewTempFileName();

// The process number in a name of exactly that form, or 0 for any other name.
long TempFileOwner(std::string_view name);

// Creates a new temporary file in the folder open at dir_fd, opened for
// writing, with mode (less the umask) and locked for as long as a
// descriptor of it stays open. A name already taken (a leftover of another
// run that had this process number) is passed over for a new one. On failure
// returns an invalid descriptor and the errno value in *error.
UniqueFd CreateTempFile(int dir_fd, mode_t mode, std::string* name, int* error);

// The process's umask, read without changing it (umask(2) can only set it,
// which would race with threads creating files). -1 when unknown.
int CurrentUmask();

// When root runs the job, a file or folder it creates (fd) is given to the
// owner and group of the folder it is created in (dir_fd), so that the
// tree's owner can still edit, replace or remove it. For anyone else, and
// when the folder cannot be looked at, nothing changes.
void GiveToFolderOwner(int fd, int dir_fd);

// Removes the temporary files among names that no run holds locked. Other
// names, and files that cannot be opened or locked, are left alone.
void RemoveStaleTempFiles(int dir_fd, const std::vector<std::string>& names);

}  // namespace pelorin
