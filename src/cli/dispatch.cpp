#include "cli/dispatch.h"

#include <unistd.h>

#include "cli/device_selection.h"
#include "cli/pan_tilt_commands.h"
#include "cli/value_commands.h"
#include "discovery/list_devices.h"
#include "output/write_response.h"

namespace camknob {

namespace {

// Give the device time to apply the change before it is read back.
constexpr useconds_t settleMicroseconds = 80000;

// The answer to list, and the end of every successful change.
int reportDevices(std::ostream& out) {
  writeResponse(CameraResponse{.ok = true, .devices = listDevices(), .error = std::nullopt}, out);
  return 0;
}

int succeed(std::ostream& out) {
  (void)usleep(settleMicroseconds);
  return reportDevices(out);
}

CommandFailure runBranch(std::string_view command, const CommandLine& line,
                         const CameraDevice& device, const CameraControl* control) {
  if (command == "set") return runSet(line, control);
  if (command == "auto") return runAuto(line, control);
  if (command == "on") return runOn(line, control);
  if (command == "move") return runMove(line, device);
  if (command == "home") return runHome(device);
  if (command == "absolute") return runAbsolute(line, device);
  return "Unknown command: " + std::string(command) + ".";
}

}  // namespace

int fail(const std::string& message, std::ostream& out) {
  writeResponse(CameraResponse{.ok = false, .devices = listDevices(), .error = message}, out);
  return 1;
}

int applyCommand(const CommandLine& line, std::ostream& out) {
  const std::string_view command = commandWord(line);
  if (command == "list") return reportDevices(out);

  const std::vector<CameraDevice> devices = listDevices();
  const CameraDevice* device = selectedDevice(devices, line);
  if (device == nullptr) return fail("Camera device was not found.", out);

  const auto kind = argument(line, "--control");
  const CameraControl* control = kind ? controlOfKind(*device, *kind) : nullptr;

  const CommandFailure failure = runBranch(command, line, *device, control);
  if (failure) return fail(*failure, out);
  return succeed(out);
}

}  // namespace camknob
