// The V4L2 service looks at the machine's video nodes once, on its first
// call, and keeps what it found for the run.
#pragma once

namespace camknob::v4l2 {

// Closes the nodes and drops what was found, so that the next call looks at
// the machine again (tests change the machine between runs).
void forgetDevices();

}  // namespace camknob::v4l2
