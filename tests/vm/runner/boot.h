// Booting Debian's kernel under qemu with an initramfs of our own, running
// the guest's steps and collecting their results.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runner/accelerator.h"
#include "runner/guest.h"
#include "runner/step_record.h"

namespace camknob::vm {

struct BootSettings {
  std::string cacheDirectory;  // the kernel is kept here; the last run's files too
  std::string stepRunner;      // camknob-vm-step, built for the host's architecture
  std::string virtualCamera;   // camknob-virtual-camera, needed with Guest::virtualCamera
  int timeoutSeconds = 300;    // for the whole guest, after which qemu is killed
};

enum class BootStatus {
  booted,       // the guest ran and powered off by itself
  unavailable,  // this machine cannot run it: no qemu, busybox, kmod, apt or kernel
  failed,       // it could have run but did not finish; `whyNot` says why
};

struct Boot {
  BootStatus status;
  std::string whyNot;
  std::vector<StepResult> steps;  // those whose records arrived complete
  std::string console;            // the guest's console (kernel log, /init's messages)
  double seconds;                 // building the initramfs and running qemu, after any probe
  std::string runDirectory;  // the initramfs and serial logs of this run (kvm-probe/: the probe's)
  std::optional<AcceleratorChoice> accelerator;  // once chosen, with why
};

// Boots the guest and runs its steps. The accelerator comes from
// CAMKNOB_VM_ACCEL (see accelerator.h): unset, KVM where /dev/kvm opens and a
// probe boot under it comes up within kvmProbeSeconds (kvm_probe.h), else TCG;
// "kvm" or "tcg" forces one.
Boot bootGuest(const Guest& guest, const BootSettings& settings);

// The step's result; nullptr when its record did not arrive.
const StepResult* findStep(const Boot& boot, std::string_view name);

}  // namespace camknob::vm
