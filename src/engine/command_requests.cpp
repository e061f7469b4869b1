#include "engine/command_requests.h"

#include <cmath>

#include "json/shortest_double.h"
#include "text/number_text.h"

namespace camknob::engine {

CommandLine commandLineOf(const std::vector<std::string>& texts) {
  CommandLine line;
  line.texts.reserve(texts.size());
  for (const std::string& text : texts) line.texts.emplace_back(text);
  return line;
}

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
  if (command.delta) return std::nullopt;
  const CommandLine line = commandLineOf(command.texts);
  if (commandWord(line) != "set" || line.texts.empty()) return std::nullopt;
  const auto control = argument(line, "--control");
  const auto value = argument(line, "--value");
  // Only a value camknob's set reads is written: any other set fails on its
  // own, and must neither take another's place nor give its answer to others.
  if (!control || !value || !parseFloat32(*value)) return std::nullopt;
  std::optional<std::string> device;
  if (const auto named = argument(line, "--device")) device = std::string(*named);
  return CoalescingKey{std::move(device), std::string(*control)};
}

}  // namespace camknob::engine
