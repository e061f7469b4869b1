// Moves that stop by themselves unless asked again: a page renews its move
// while the button is held, and a page closed mid-move, a lost stop or a
// sleeping laptop leave no camera turning.
#include "commands/device_selection.h"
#include "commands/pan_tilt_commands.h"
#include "engine/engine_state.h"

namespace camknob::engine {

namespace {

void checkLease(Engine& engine, ObjectId deviceId) {
  auto& leases = engine.core.leases;
  const auto found = leases.find(deviceId);
  if (found == leases.end()) return;
  const Clock::time_point now = Clock::now();
  if (now < found->second.until) {
    later(engine, found->second.until - now, [deviceId](Engine& e) { checkLease(e, deviceId); });
    return;
  }
  leases.erase(found);
  const CameraDevice* device = deviceWithId(engine, deviceId);
  if (device == nullptr) return;
  (void)stopPanTilt(*device);
  engine.core.moving.erase(deviceId);
  rereadDevice(engine, deviceId);
  settleLater(engine, deviceId);
  publish(engine);
}

}  // namespace

bool renewLease(Engine& engine, const CommandRequest& move) {
  const auto& devices = engine.core.cameras.devices;
  const CameraDevice* device = selectedDevice(
      devices, move.device ? std::optional<std::string_view>(*move.device) : std::nullopt);
  if (device == nullptr) return false;
  const auto found = engine.core.leases.find(device->objectId);
  if (found == engine.core.leases.end() || !(found->second.move == move)) return false;
  found->second.until = Clock::now() + moveLeaseTime;
  return true;
}

void takeLease(Engine& engine, ObjectId deviceId, const CommandRequest& move) {
  const bool running = engine.core.leases.count(deviceId) != 0;
  engine.core.leases.insert_or_assign(deviceId, MoveLease{move, Clock::now() + moveLeaseTime});
  if (!running) later(engine, moveLeaseTime, [deviceId](Engine& e) { checkLease(e, deviceId); });
}

void endLease(Engine& engine, ObjectId deviceId) {
  engine.core.leases.erase(deviceId);
}

}  // namespace camknob::engine
