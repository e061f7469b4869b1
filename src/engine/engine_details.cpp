// What the engine answers of the controls' details, and the resets that
// write their defaults.
#include <algorithm>

#include "commands/device_selection.h"
#include "commands/value_commands.h"
#include "discovery/control_details.h"
#include "engine/details_answer.h"
#include "engine/engine_state.h"
#include "json/shortest_double.h"

namespace camknob::engine {

namespace {

bool sameControls(const DeviceDetails& details, const CameraDevice& device) {
  return details.objectId == device.objectId &&
         std::equal(details.controls.begin(), details.controls.end(), device.controls.begin(),
                    device.controls.end(), [](const ControlDetails& a, const CameraControl& b) {
                      return a.objectId == b.objectId && a.kind == b.kind;
                    });
}

// The camera's details as read when they were first asked for since it was
// described (again when its controls are no longer those).
const DeviceDetails& knownDetails(Engine& engine, const CameraDevice& device) {
  auto& known = engine.core.details;
  const auto found = known.find(device.uid);
  if (found != known.end() && sameControls(found->second, device)) return found->second;
  return known.insert_or_assign(device.uid, inspectDeviceDetails(device)).first->second;
}

const ControlDetails* detailsOfControl(const DeviceDetails& details, ObjectId id) {
  for (const ControlDetails& control : details.controls)
    if (control.objectId == id) return &control;
  return nullptr;
}

bool resettable(const ControlDetails& details) {
  return details.defaultValue || details.automaticDefault.value_or(false);
}

std::string numberText(double value) {
  char digits[shortestDoubleCapacity];
  return std::string(digits, writeShortestDouble(digits, value));
}

CommandRequest switchRequest(bool automatic) {
  return CommandRequest{.command = "auto", .enabled = automatic ? "true" : "false"};
}

// The control back at its default: its automatic mode on where the device
// starts automatic, else its automatic mode off (where it is on) and its
// default value written.
CommandFailure resetControl(const CameraControl& control, const ControlDetails& details) {
  const bool automaticDefault = details.automaticDefault.value_or(false);
  if (automaticDefault && control.automaticSettable) return runAuto(switchRequest(true), &control);
  if (!details.defaultValue) return std::nullopt;
  if (control.automatic.value_or(false) && control.automaticSettable)
    if (auto failure = runAuto(switchRequest(false), &control)) return failure;
  return runSet(CommandRequest{.command = "set", .value = numberText(*details.defaultValue)},
                &control);
}

CommandFailure resetNamed(const CameraDevice& device, const DeviceDetails& details,
                          const std::string& kind) {
  const CameraControl* control = controlOfKind(device, kind);
  if (control == nullptr) return "This camera has no control named " + kind + ".";
  const ControlDetails* found = detailsOfControl(details, control->objectId);
  if (found == nullptr || !resettable(*found))
    return "The control " + kind + " has no default to reset to.";
  return resetControl(*control, *found);
}

// Every control that has a default; the failures, each its own sentence.
CommandFailure resetEvery(const CameraDevice& device, const DeviceDetails& details) {
  std::string failures;
  for (const CameraControl& control : device.controls) {
    const ControlDetails* found = detailsOfControl(details, control.objectId);
    if (found == nullptr || !resettable(*found)) continue;
    if (auto failure = resetControl(control, *found)) {
      if (!failures.empty()) failures.push_back(' ');
      failures += *failure;
    }
  }
  if (failures.empty()) return std::nullopt;
  return failures;
}

}  // namespace

Answer listDetails(Engine& engine) {
  const auto& devices = engine.core.cameras.devices;
  std::erase_if(engine.core.details, [&](const auto& entry) {
    return std::none_of(devices.begin(), devices.end(),
                        [&](const CameraDevice& device) { return device.uid == entry.first; });
  });
  std::vector<const DeviceDetails*> shown;
  shown.reserve(devices.size());
  for (const CameraDevice& device : devices) shown.push_back(&knownDetails(engine, device));
  return Answer{200, detailsAnswer(shown)};
}

Answer resetControls(Engine& engine, const ResetControls& request) {
  const CameraDevice* device = freshDevice(engine, request.device);
  if (device == nullptr) {
    publish(engine);
    return commandAnswer(engine, std::string(deviceNotFound));
  }
  const ObjectId id = device->objectId;
  const DeviceDetails& details = knownDetails(engine, *device);
  const CommandFailure failure = request.control ? resetNamed(*device, details, *request.control)
                                                 : resetEvery(*device, details);
  rereadDevice(engine, id);
  settleLater(engine, id);
  publish(engine);
  return commandAnswer(engine, failure);
}

}  // namespace camknob::engine
