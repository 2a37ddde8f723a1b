// How many threads a run writes pages on when the user does not say: the
// same number in the desktop application and on the command line.
#pragma once

namespace pelorin {

inline constexpr int kMaxDefaultJobs = 8;

// The processors this process may run on, from 1 to kMaxDefaultJobs. Beyond
// eight threads a run waits on the disk, not on the processors.
int DefaultJobs();
// The same rule for a given processor count (0: unknown, counts as one).
int DefaultJobsFor(unsigned processors);

}  // namespace pelorin
