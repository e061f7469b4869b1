#include "vm_plan.h"

#include <gtest/gtest.h>

#include "runner/host_tools.h"

namespace camknob::vmtests {

namespace {

std::optional<std::string> built(const char* path) {
  if (std::string_view(path).empty()) return std::nullopt;
  return path;
}

}  // namespace

GuestPrograms guestPrograms() {
  return GuestPrograms{CAMKNOB_PATH,
                       CAMKNOB_PROFILE_PATH,
                       CAMKNOB_CAPTURE_PATH,
                       vm::findProgram("v4l2-ctl"),
                       vm::findProgram("strace"),
                       built(CAMKNOBD_PATH),
                       built(CAMKNOBD_CHECK_PATH)};
}

vm::Guest vmGuest() {
  const GuestPrograms programs = guestPrograms();
  vm::Guest guest;
  guest.vivid = true;
  guest.virtualCamera = true;
  guest.hostBinaries.push_back(programs.camknob);
  guest.hostBinaries.push_back(programs.camknobProfile);
  guest.hostBinaries.push_back(programs.captureFixture);
  if (programs.v4l2Ctl) guest.hostBinaries.push_back(*programs.v4l2Ctl);
  if (programs.strace) guest.hostBinaries.push_back(*programs.strace);
  if (programs.camknobd && programs.camknobdCheck) {
    guest.hostBinaries.push_back(*programs.camknobd);
    guest.hostBinaries.push_back(*programs.camknobdCheck);
  }

  // Steps run in this order. A test file adds its own with a function like
  // infrastructureSteps(), declared in vm_plan.h and appended here; its tests
  // then read the results with stepResult(name).
  for (vm::Step& step : infrastructureSteps(programs)) guest.steps.push_back(std::move(step));
  for (vm::Step& step : camknobSteps(programs)) guest.steps.push_back(std::move(step));
  for (vm::Step& step : profileSteps(programs)) guest.steps.push_back(std::move(step));
  for (vm::Step& step : captureSteps(programs)) guest.steps.push_back(std::move(step));
  for (vm::Step& step : camknobdSteps(programs)) guest.steps.push_back(std::move(step));
  return guest;
}

vm::BootSettings bootSettings() {
  return vm::BootSettings{CAMKNOB_VM_CACHE_DIR, CAMKNOB_VM_STEP_PATH, CAMKNOB_VIRTUAL_CAMERA_PATH};
}

const vm::Boot& sharedBoot() {
  static const vm::Boot boot = vm::bootGuest(vmGuest(), bootSettings());
  return boot;
}

const vm::StepResult* stepResult(std::string_view name) {
  const vm::Boot& boot = sharedBoot();
  const vm::StepResult* result = vm::findStep(boot, name);
  if (result == nullptr)
    ADD_FAILURE() << "step " << name << " sent no result (the guest's console follows the tests)";
  return result;
}

}  // namespace camknob::vmtests
