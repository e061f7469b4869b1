// The steps the engine thread takes on the cameras' list: reading devices
// again, publishing the list, and keeping held cameras at their profiles.
#include <array>
#include <iostream>

#include "commands/pan_tilt_commands.h"
#include "discovery/list_devices.h"
#include "engine/engine_state.h"
#include "engine/profile_store.h"
#include "media/property_service.h"
#include "profile/apply_profile.h"

namespace camknob::engine {

void publish(Engine& engine, bool force) {
  auto document =
      std::make_shared<const std::string>(listDocument(engine.core.cameras, true, std::nullopt));
  {
    const std::lock_guard lock(engine.mutex);
    const auto& last = engine.published.document;
    if (!force && last && *last == *document) return;
    engine.published =
        Published{engine.published.version + 1, std::move(document), engine.published.stored};
  }
  engine.stateChanged.notify_all();
}

void noteStored(Engine& engine, Stored what) {
  {
    const std::lock_guard lock(engine.mutex);
    // The count of each Stored, in its order.
    constexpr std::array<std::uint64_t StoredChanges::*, 3> counts{
        &StoredChanges::profiles, &StoredChanges::holds, &StoredChanges::presets};
    ++(engine.published.stored.*counts[static_cast<std::size_t>(what)]);
    ++engine.published.version;
  }
  engine.stateChanged.notify_all();
}

bool rereadDevice(Engine& engine, ObjectId deviceId) {
  service::refreshDevice(deviceId);
  return replaceDevice(engine.core.cameras, deviceId, inspectDevice(deviceId));
}

void rereadAll(Engine& engine) {
  engine.core.cameras = cameraListOf(listDevices());
  publish(engine);
}

void settleLater(Engine& engine, ObjectId deviceId) {
  engine.core.settleAt[deviceId] = Clock::now() + settleTime;
}

void later(Engine& engine, Clock::duration delay, std::function<void(Engine&)> step) {
  engine.core.later.emplace(Clock::now() + delay, std::move(step));
}

void keepHeld(Engine& engine, const std::string& uid, Keeping keeping) {
  Core& core = engine.core;
  const auto hold = core.holds.find(uid);
  if (hold == core.holds.end()) return;
  const ProfileLoad load = loadProfile(core.settings.configFolder, hold->second);
  if (!load.profile) {
    std::cerr << "camknobd: hold of " << uid << ": profile " << hold->second << ": "
              << (load.missing ? "not found" : load.fault) << std::endl;
    return;
  }
  ObjectId deviceId = 0;
  for (const CameraDevice& device : core.cameras.devices)
    if (device.uid == uid) deviceId = device.objectId;
  if (deviceId == 0) return;
  rereadDevice(engine, deviceId);
  const CameraDevice* camera = nullptr;
  for (const CameraDevice& device : core.cameras.devices)
    if (device.objectId == deviceId) camera = &device;
  if (camera == nullptr) {
    publish(engine);
    return;
  }
  // Every step as if it had been written: those that read otherwise differ.
  const std::vector<ApplyStep> steps = applySteps(*load.profile, *camera);
  std::vector<std::optional<Status>> unwritten;
  for (const ApplyStep& step : steps)
    unwritten.push_back(step.skipReason ? std::nullopt : std::optional<Status>(noErr));
  bool differs = false;
  for (const StepOutcome& outcome : stepOutcomes(steps, unwritten, camera))
    differs = differs || outcome.result == StepResult::differs;
  if (differs || keeping == Keeping::always) {
    (void)writeSteps(steps);
    rereadDevice(engine, deviceId);
    settleLater(engine, deviceId);
  }
  publish(engine);
}

void noteMovement(Engine& engine, ObjectId deviceId) {
  engine.core.moving.insert(deviceId);
}

void stopMovements(Engine& engine) {
  for (const ObjectId id : engine.core.moving) {
    try {
      for (const CameraDevice& device : engine.core.cameras.devices)
        if (device.objectId == id) (void)stopPanTilt(device);
    } catch (...) {
      // The next camera is stopped all the same.
    }
  }
  engine.core.moving.clear();
}

}  // namespace camknob::engine
