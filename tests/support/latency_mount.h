// A folder seen through bench/latency_fs, the file system whose every call
// waits like a network share's, for tests of runs on shares.
#pragma once

#include <sys/types.h>

#include <string>

namespace pelorin::testing {

class LatencyMount {
 public:
  // Mounts source at mount_point (an empty folder); every call waits
  // delay_us plus up to jitter_us at random. Check mounted() before use.
  LatencyMount(const std::string& source, const std::string& mount_point, unsigned delay_us,
               unsigned jitter_us);
  ~LatencyMount();  // unmounts
  LatencyMount(const LatencyMount&) = delete;
  LatencyMount& operator=(const LatencyMount&) = delete;

  bool mounted() const { return mounted_; }
  const std::string& why_not() const { return why_not_; }  // when not mounted

 private:
  pid_t pid_ = -1;
  bool mounted_ = false;
  std::string why_not_;
};

}  // namespace pelorin::testing
