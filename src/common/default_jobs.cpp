#include "common/default_jobs.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace pelorin {

int DefaultJobsFor(unsigned processors) {
  if (processors == 0) return 1;
  return static_cast<int>(std::min(processors, static_cast<unsigned>(kMaxDefaultJobs)));
}

// The affinity mask first: a container or taskset may allow fewer
// processors than the machine has.
int DefaultJobs() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) {
    return DefaultJobsFor(static_cast<unsigned>(CPU_COUNT(&set)));
  }
  return DefaultJobsFor(std::thread::hardware_concurrency());
}

}  // namespace pelorin
