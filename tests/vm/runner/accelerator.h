// Which qemu accelerator runs the guest. KVM is used only after a probe boot
// under it came up: on some machines /dev/kvm opens but a guest under it
// never gets past its first instructions, and qemu just waits.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "runner/run_captured.h"

namespace camknob::vm {

enum class Accelerator { kvm, tcg };

// qemu's name for it, as in -accel kvm.
const char* acceleratorName(Accelerator accelerator);

// The environment variable that can force an accelerator.
inline constexpr const char* acceleratorVariable = "CAMKNOB_VM_ACCEL";

// What that variable asks for.
enum class AcceleratorRequest {
  probe,  // unset or empty: KVM where the probe boot comes up under it, else TCG
  kvm,    // KVM, unprobed
  tcg,    // TCG, unprobed
};

// The request a value of the variable makes; nullopt for a value it does not
// know ("kvm" and "tcg" exactly).
std::optional<AcceleratorRequest> acceleratorRequest(std::string_view value);

// How the probe boot under KVM went: qemu's run and the guest's console.
struct KvmProbeResult {
  RunOutcome qemu;
  std::string console;
};

struct AcceleratorChoice {
  Accelerator accelerator;
  std::string reason;  // for the test log, such as "kvm probe: the guest came up in 1.2 s"
};

// KVM when the probe's guest printed the probe marker and qemu then exited by
// itself with status 0; TCG otherwise, with what went wrong.
AcceleratorChoice acceleratorAfterProbe(const KvmProbeResult& probe);

// The accelerator for a request. `kvmDeviceError` is empty when /dev/kvm can
// be opened for reading and writing, else why not. `probeKvm` boots the probe
// under KVM; it is called only for AcceleratorRequest::probe with a usable
// /dev/kvm.
AcceleratorChoice chooseAccelerator(AcceleratorRequest request, const std::string& kvmDeviceError,
                                    const std::function<KvmProbeResult()>& probeKvm);

}  // namespace camknob::vm
