// qemu's command line for a guest: the same machine for the probe boot and
// the test guest, only the accelerator differs.
#pragma once

#include <string>
#include <vector>

#include "runner/accelerator.h"

namespace camknob::vm {

// The command to run in the guest's run directory, whose files it names
// relatively (qemu reads commas in option values as separators): it boots
// kernelImage with initramfs.cpio, and writes ttyS0, the kernel's and /init's
// messages, to console.log and ttyS1, the step records, to steps.log. Only
// the given accelerator is named, so that qemu never falls back by itself.
std::vector<std::string> qemuCommand(const std::string& qemu, const std::string& kernelImage,
                                     Accelerator accelerator);

}  // namespace camknob::vm
