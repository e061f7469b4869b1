// The V4L2 service looks at the machine's video nodes on its first call, and
// keeps what it found for the run (or until a program that runs long asks it
// to look again).
#pragma once

namespace camknob::v4l2 {

// Closes the nodes, ends any watch and drops what was found, so that the
// next call looks at the machine afresh (tests change the machine between
// runs).
void forgetDevices();

}  // namespace camknob::v4l2
