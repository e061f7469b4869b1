// Boots the guest with vivid and the virtual camera, untouched, runs
// camknob-capture-fixture there and writes the fixture it printed to the file
// named: the cameras as the kernel's own drivers describe them, for
// camknob-sim. Exits 77 where this machine cannot run a guest.
#include <cstdio>
#include <fstream>
#include <string>

#include "runner/boot.h"

int main(int argc, char** argv) {
  using namespace camknob;
  if (argc != 2) {
    std::fprintf(stderr, "usage: camknob_capture_vm_fixture FIXTURE\n");
    return 2;
  }
  vm::Guest guest;
  guest.vivid = true;
  guest.virtualCamera = true;
  guest.hostBinaries = {CAMKNOB_CAPTURE_PATH};
  guest.steps.push_back({"capture", {"camknob-capture-fixture"}});
  const vm::Boot boot = vm::bootGuest(
      guest,
      vm::BootSettings{CAMKNOB_VM_CACHE_DIR, CAMKNOB_VM_STEP_PATH, CAMKNOB_VIRTUAL_CAMERA_PATH});
  if (boot.status == vm::BootStatus::unavailable) {
    std::printf("no guest on this machine: %s\n", boot.whyNot.c_str());
    return 77;
  }
  const vm::StepResult* step = vm::findStep(boot, "capture");
  if (boot.status != vm::BootStatus::booted || step == nullptr || step->exitStatus != 0 ||
      !step->err.empty()) {
    std::fprintf(stderr, "the capture failed (%s)%s%s\nguest console:\n%s\n", boot.whyNot.c_str(),
                 step ? ": " : "", step ? step->err.c_str() : "", boot.console.c_str());
    return 1;
  }
  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  file << step->out;
  file.close();
  if (!file) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("wrote %s (guest ran in %.1f s)\n", argv[1], boot.seconds);
  return 0;
}
