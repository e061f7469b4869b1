// The pause after a change for test programs that run thousands of changes:
// none. Linked in place of the tool's 80 ms pause.
#include "commands/settle_pause.h"

namespace camknob {

void pauseAfterChange() {}

}  // namespace camknob
