// The pause between a change and reading the devices back. It is its own
// library so that a test program can link a pause of its own instead.
#pragma once

namespace camknob {

// Gives the device time to apply a change (80 ms) before it is read back.
void pauseAfterChange();

}  // namespace camknob
