#include "commands/settle_pause.h"

#include <unistd.h>

namespace camknob {

void pauseAfterChange() {
  constexpr useconds_t settleMicroseconds = 80000;
  (void)usleep(settleMicroseconds);
}

}  // namespace camknob
