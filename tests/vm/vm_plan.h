// The one guest every VM test shares: what it carries and the steps it runs,
// assembled in vmGuest(), booted once per test run by sharedBoot(). A test
// adds its steps to the plan and then checks their results by step name.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runner/boot.h"

namespace camknob::vmtests {

// The guest's video nodes: vivid's, then the virtual camera's two.
inline constexpr const char* vividNode = "/dev/video0";
inline constexpr const char* cameraNode = "/dev/video1";
inline constexpr const char* cameraMetadataNode = "/dev/video2";

// Programs the guest carries in /bin, by the host path they came from.
struct GuestPrograms {
  std::string camknob;                 // always
  std::string camknobProfile;          // always
  std::string captureFixture;          // camknob-capture-fixture, always
  std::optional<std::string> v4l2Ctl;  // when the host has v4l-utils
  std::optional<std::string> strace;   // when the host has strace
  // Where camknobd is built: it and its client, camknobd-check.
  std::optional<std::string> camknobd;
  std::optional<std::string> camknobdCheck;
};

GuestPrograms guestPrograms();

// Steps of the infrastructure's own checks (infrastructure_test.cpp). They
// leave the camera's controls as they found them and its log empty.
std::vector<vm::Step> infrastructureSteps(const GuestPrograms& programs);

// Steps of camknob's own checks (camknob_vm_test.cpp).
std::vector<vm::Step> camknobSteps(const GuestPrograms& programs);

// Steps of camknob-profile's checks (profile_vm_test.cpp).
std::vector<vm::Step> profileSteps(const GuestPrograms& programs);

// Steps of camknob-capture-fixture's checks (capture_vm_test.cpp).
std::vector<vm::Step> captureSteps(const GuestPrograms& programs);

// Steps of camknobd's checks (camknobd_vm_test.cpp). They unplug the camera
// and plug it back, so they come last.
std::vector<vm::Step> camknobdSteps(const GuestPrograms& programs);

vm::Guest vmGuest();
vm::BootSettings bootSettings();

// The boot of vmGuest(), done on the first call.
const vm::Boot& sharedBoot();

// The named step's result from the shared boot, or nullptr after adding a
// test failure.
const vm::StepResult* stepResult(std::string_view name);

}  // namespace camknob::vmtests
