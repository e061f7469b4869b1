#include "commands/pan_tilt_commands.h"

#include "commands/device_selection.h"
#include "commands/pan_tilt_requests.h"
#include "commands/refusal_messages.h"
#include "media/property_access.h"
#include "text/number_text.h"
#include "vocabulary/control_kinds.h"

namespace camknob {

namespace {

constexpr std::string_view noRelativeControl =
    "This camera does not expose relative pan/tilt control.";
constexpr std::string_view noAbsoluteControl =
    "This camera does not expose absolute pan/tilt control.";

// A missing or unreadable option takes its default; never a failure.
double clampedOption(const std::optional<std::string>& text, double fallback, double low,
                     double high) {
  const auto number = text ? parseDouble(*text) : std::nullopt;
  return clamped(number.value_or(fallback), low, high);
}

template <std::size_t N>
Status writeRecord(const CameraControl& control, const std::array<std::uint8_t, N>& record) {
  return writeBytes(control.objectId, selectors::nativeData,
                    std::vector<std::uint8_t>(record.begin(), record.end()));
}

CommandFailure failureOf(Status status, std::string (*refused)(Status)) {
  if (status == noErr) return std::nullopt;
  return refused(status);
}

}  // namespace

CommandFailure runMove(const CommandRequest& request, const CameraDevice& device) {
  const CameraControl* control = controlOfKind(device, panTiltRelativeKind);
  if (control == nullptr) return std::string(noRelativeControl);
  const double pan = clampedOption(request.pan, 0, -1, 1);
  const double tilt = clampedOption(request.tilt, 0, -1, 1);
  const double speed = clampedOption(request.speed, 0.45, 0.05, 1);
  const auto record = relativeMoveRecord(pan, tilt, speed);
  // A switched-off mechanism ignores movement; whether switching on worked is
  // left for the movement's own status to tell.
  if (control->onSettable) (void)writeUInt32(control->objectId, selectors::onOff, 1);
  return failureOf(writeRecord(*control, record), moveRefused);
}

CommandFailure stopPanTilt(const CameraDevice& device) {
  const CameraControl* control = controlOfKind(device, panTiltRelativeKind);
  if (control == nullptr) return std::nullopt;
  return failureOf(writeRecord(*control, relativeMoveRecord(0, 0, 1)), moveRefused);
}

CommandFailure runHome(const CameraDevice& device) {
  const CameraControl* control = controlOfKind(device, panTiltAbsoluteKind);
  if (control == nullptr || !control->nativeDataSettable) return std::string(noAbsoluteControl);
  return failureOf(writeRecord(*control, absolutePositionRecord(0, 0)), centerRefused);
}

CommandFailure runAbsolute(const CommandRequest& request, const CameraDevice& device) {
  const CameraControl* control = controlOfKind(device, panTiltAbsoluteKind);
  if (control == nullptr) return std::string(noAbsoluteControl);
  const double pan = clampedOption(request.pan, 0, -145, 145);
  const double tilt = clampedOption(request.tilt, 0, -90, 100);
  return failureOf(writeRecord(*control, absolutePositionRecord(pan, tilt)), positionRefused);
}

}  // namespace camknob
