// Counting a traced run's ioctls on one device node, from strace's lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace camknob::vmtests {

// The ioctls made on the descriptors opened for `node`, given the output of
// `strace -e trace=openat,ioctl`.
int ioctlsOn(const std::string& trace, const std::string& node);

// One ioctl of a trace taken with `strace -f -ttt -e trace=ioctl` (with the
// process ids strace puts before the time, as "[pid N] " or "N "): when it
// was made (CLOCK_REALTIME microseconds), on which descriptor, and which
// request ("VIDIOC_S_EXT_CTRLS").
struct TracedIoctl {
  std::int64_t microseconds;
  int fd;
  std::string request;
};
std::vector<TracedIoctl> tracedIoctls(const std::string& trace);

}  // namespace camknob::vmtests
