#include "common/default_jobs.h"

#include <sched.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cstdint>
#include <thread>

namespace pelorin {

namespace {

// statfs(2) f_type values (linux/magic.h and the file systems' own sources).
constexpr std::uint32_t kRemoteFileSystems[] = {
    0x6969,      // NFS
    0x517B,      // SMB (smbfs)
    0xFF534D42,  // CIFS
    0xFE534D42,  // SMB2/SMB3 (cifs.ko)
    0x65735546,  // FUSE: sshfs, rclone, s3fs, virtiofs, ...
    0x01021997,  // 9p (v9fs)
    0x00C36400,  // Ceph
    0x5346414F,  // AFS
    0x6B414653,  // AFS (kAFS)
    0x73757245,  // Coda
    0x564C,      // NCP
    0x0BD00BD0,  // Lustre
    0x47504653,  // GPFS
    0x786F4256,  // VirtualBox shared folders
};

}  // namespace

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

bool IsRemoteFileSystem(long f_type) {
  // Only the low 32 bits: some systems sign-extend the larger magic numbers.
  const auto type = static_cast<std::uint32_t>(f_type);
  return std::find(std::begin(kRemoteFileSystems), std::end(kRemoteFileSystems), type) !=
         std::end(kRemoteFileSystems);
}

bool IsOnRemoteFileSystem(const std::string& folder) {
  struct statfs st;
  return ::statfs(folder.c_str(), &st) == 0 && IsRemoteFileSystem(static_cast<long>(st.f_type));
}

int DefaultJobs(const std::string& folder) {
  return IsOnRemoteFileSystem(folder) ? kRemoteDefaultJobs : DefaultJobs();
}

}  // namespace pelorin
