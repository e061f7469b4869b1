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

CommandOutcome performCommand(std::string_view command, const CommandLine& line,
                              const std::vector<CameraDevice>& devices) {
  const CameraDevice* device = selectedDevice(devices, line);
  if (device == nullptr) return {std::string(deviceNotFound), nullptr};
  const auto kind = argument(line, "--control");
  const CameraControl* control = kind ? controlOfKind(*device, *kind) : nullptr;
  return {runBranch(command, line, *device, control), device};
}

int fail(const std::string& message, std::ostream& out) {
  (void)writeResponse(CameraResponse{.ok = false, .devices = listDevices(), .error = message}, out);
  return 1;
}

int applyCommand(const CommandLine& line, std::ostream& out) {
  const std::string_view command = commandWord(line);
  if (command == "list") return reportDevices(out);
  // Selection and the command over the list read first; that list is gone by
  // the time the ending reads the devices again.
  CommandFailure failure = performCommand(command, line, listDevices()).failure;
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
