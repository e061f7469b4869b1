#include "commands/dispatch.h"

#include "commands/device_selection.h"
#include "commands/pan_tilt_commands.h"
#include "commands/settle_pause.h"
#include "commands/value_commands.h"
#include "discovery/list_devices.h"
#include "json/write_response.h"

namespace camknob {

namespace {

// The answer to list, and the end of every successful change. A success
// whose answer could not be written is a failure for the caller all the same.
int reportDevices(std::ostream& out) {
  const bool written = writeResponse(
      CameraResponse{.ok = true, .devices = listDevices(), .error = std::nullopt}, out);
  return written ? 0 : 1;
}

int succeed(std::ostream& out) {
  pauseAfterChange();
  return reportDevices(out);
}

CommandFailure runBranch(const CommandRequest& request, const CameraDevice& device,
                         const CameraControl* control) {
  const std::string& command = request.command;
  if (command == "set") return runSet(request, control);
  if (command == "auto") return runAuto(request, control);
  if (command == "on") return runOn(request, control);
  if (command == "move") return runMove(request, device);
  if (command == "home") return runHome(device);
  if (command == "absolute") return runAbsolute(request, device);
  return "Unknown command: " + command + ".";
}

}  // namespace

CommandOutcome performCommand(const CommandRequest& request,
                              const std::vector<CameraDevice>& devices) {
  const CameraDevice* device = selectedDevice(devices, request);
  if (device == nullptr) return {std::string(deviceNotFound), nullptr};
  const CameraControl* control =
      request.control ? controlOfKind(*device, *request.control) : nullptr;
  return {runBranch(request, *device, control), device};
}

int fail(const std::string& message, std::ostream& out) {
  (void)writeResponse(CameraResponse{.ok = false, .devices = listDevices(), .error = message}, out);
  return 1;
}

int applyCommand(const CommandLine& line, std::ostream& out) {
  const CommandRequest request = commandRequestOf(line);
  if (request.command == "list") return reportDevices(out);
  // Selection and the command over the list read first; that list is gone by
  // the time the ending reads the devices again.
  CommandFailure failure = performCommand(request, listDevices()).failure;
  if (failure) return fail(*failure, out);
  return succeed(out);
}

int applyCommandOrFallback(const CommandLine& line, std::ostream& out) noexcept {
  try {
    return applyCommand(line, out);
  } catch (...) {
    writeFallbackResponse(out);
    return 1;
  }
}

}  // namespace camknob
