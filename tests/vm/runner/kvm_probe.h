// The probe boot that tells whether KVM runs a guest on this machine: the
// test guest's machine and kernel, under KVM, with an initramfs of busybox
// alone whose /init prints a marker and powers off. It comes up in a second
// or two where KVM works; where /dev/kvm opens but guests under it hang, qemu
// prints nothing and is killed at the limit.
#pragma once

#include <string>

#include "runner/accelerator.h"

namespace camknob::vm {

// The probe's time limit. A working KVM guest comes up well within it on a
// busy machine; the same boot takes about 5 s without KVM.
inline constexpr int kvmProbeSeconds = 10;

// Why /dev/kvm cannot be opened for reading and writing; empty when it can.
std::string kvmDeviceError();

// Boots the probe in `directory` (made if missing), killing qemu after
// limitSeconds. An initramfs that cannot be written is reported as a qemu
// that did not start.
KvmProbeResult probeKvm(const std::string& qemu, const std::string& kernelImage,
                        const std::string& busybox, const std::string& directory, int limitSeconds);

}  // namespace camknob::vm
