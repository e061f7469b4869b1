// Boots the shared guest once, then runs every VM test on its results. Exits
// 77 (a CTest skip) where this machine cannot run a guest.
#include <gtest/gtest.h>

#include <cstdio>

#include "vm_plan.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

  const camknob::vm::Boot& boot = camknob::vmtests::sharedBoot();
  if (boot.status == camknob::vm::BootStatus::unavailable) {
    std::printf("VM tests skipped: %s\n", boot.whyNot.c_str());
    return 77;
  }
  if (boot.accelerator)
    std::printf("accelerator: %s (%s)\n",
                camknob::vm::acceleratorName(boot.accelerator->accelerator),
                boot.accelerator->reason.c_str());
  std::printf("guest: %s in %.1f s, %zu step results (files in %s)\n",
              boot.status == camknob::vm::BootStatus::booted ? "ran" : "FAILED", boot.seconds,
              boot.steps.size(), boot.runDirectory.c_str());
  if (boot.status != camknob::vm::BootStatus::booted)
    std::printf("guest failure: %s\n", boot.whyNot.c_str());
  std::fflush(stdout);
  const int result = RUN_ALL_TESTS();
  if (result != 0) std::printf("guest console:\n%s\n", boot.console.c_str());
  return result;
}
