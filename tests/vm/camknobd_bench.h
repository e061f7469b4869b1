// camknob_vm_bench camknobd: camknobd's changes over its API on the virtual
// camera under uvcvideo in the VM. How long a set takes from the request
// being sent to the camera receiving its SET_CUR, the ioctls camknobd makes
// per change (while answering, and when it reads the camera again once it
// settled), and what it does while no client asks. It prints the figures;
// it judges nothing.
#pragma once

namespace camknob::vmtests {

// The exit status: 0, 77 where no guest can run here, 1 when the guest
// failed.
int camknobdBench();

}  // namespace camknob::vmtests
