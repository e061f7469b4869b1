#include "system/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace camknob {

void holdStandardDescriptors() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is the one just found closed.
    const int taken = open("/dev/null", O_RDONLY);
    if (taken >= 0 && taken != descriptor) close(taken);
  }
}

}  // namespace camknob
