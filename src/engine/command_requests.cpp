#include "engine/command_requests.h"

#include <cmath>

#include "json/shortest_double.h"
#include "text/number_text.h"

namespace camknob::engine {

std::optional<std::string> valueAfterDelta(const CameraControl& control, double delta) {
  if (!control.value || !std::isfinite(delta)) return std::nullopt;
  double value = *control.value + delta;
  if (control.maximum && value > *control.maximum) value = *control.maximum;
  if (control.minimum && value < *control.minimum) value = *control.minimum;
  if (!std::isfinite(value)) return std::nullopt;
  char digits[shortestDoubleCapacity];
  return std::string(digits, writeShortestDouble(digits, value));
}

std::optional<CoalescingKey> coalescingKey(const RunCommand& command) {
  const CommandRequest& request = command.request;
  if (command.delta || request.command != "set") return std::nullopt;
  // Only a value camknob's set reads is written: any other set fails on its
  // own, and must neither take another's place nor give its answer to others.
  if (!request.control || !request.value || !parseFloat32(*request.value)) return std::nullopt;
  return CoalescingKey{request.device, *request.control};
}

}  // namespace camknob::engine
