// How many threads a run works on when the user does not say: the same
// number in the desktop application and on the command line.
#pragma once

#include <string>

namespace pelorin {

// --jobs accepts 1 to kMaxJobs.
inline constexpr int kMaxJobs = 64;
// On a local disk: beyond eight threads a run waits on the disk, not on the
// processors.
inline constexpr int kMaxDefaultJobs = 8;
// On a network or user-space file system every call waits a round trip while
// the processors idle, so more calls are kept in flight than there are
// processors.
inline constexpr int kRemoteDefaultJobs = 16;

// The processors this process may run on, from 1 to kMaxDefaultJobs.
int DefaultJobs();
// The same rule for a given processor count (0: unknown, counts as one).
int DefaultJobsFor(unsigned processors);
// The default for a run over folder: kRemoteDefaultJobs when it lies on a
// remote file system, DefaultJobs() otherwise (or when it cannot be told).
int DefaultJobs(const std::string& folder);

// Whether folder lies on such a file system (false when it cannot be told).
bool IsOnRemoteFileSystem(const std::string& folder);

// Whether statfs's f_type names a file system whose calls go over a network
// or to a user-space server (NFS, SMB/CIFS, FUSE, 9p and the like).
bool IsRemoteFileSystem(long f_type);

}  // namespace pelorin
