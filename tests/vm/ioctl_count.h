// Counting a traced run's ioctls on one device node, from strace's lines.
#pragma once

#include <string>

namespace camknob::vmtests {

// The ioctls made on the descriptors opened for `node`, given the output of
// `strace -e trace=openat,ioctl`.
int ioctlsOn(const std::string& trace, const std::string& node);

}  // namespace camknob::vmtests
