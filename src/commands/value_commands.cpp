#include "commands/value_commands.h"

#include "commands/refusal_messages.h"
#include "media/property_access.h"
#include "text/number_text.h"

namespace camknob {

namespace {

// auto and on differ only in the property they switch and their messages.
CommandFailure switchFlag(const CommandRequest& request, const CameraControl* control,
                          std::string_view requirement, std::uint32_t selector,
                          std::string (*refused)(std::string_view, Status)) {
  if (control == nullptr) return std::string(requirement);
  const auto& enabled = request.enabled;
  if (!enabled) return std::string(requirement);
  const Status status = writeUInt32(control->objectId, selector, isTruthWord(*enabled) ? 1 : 0);
  if (status != noErr) return refused(control->kind, status);
  return std::nullopt;
}

}  // namespace

CommandFailure runSet(const CommandRequest& request, const CameraControl* control) {
  constexpr std::string_view requirement = "set requires --control and a numeric --value.";
  if (control == nullptr) return std::string(requirement);
  const auto& text = request.value;
  if (!text) return std::string(requirement);
  const auto value = parseFloat32(*text);
  if (!value) return std::string(requirement);
  // The number is in the scale of the value the control reported (native for
  // a control that reported none).
  const std::uint32_t selector = valueSelector(control->valueMode.value_or(ValueMode::Native));
  const Status status = writeFloat32(control->objectId, selector, *value);
  if (status != noErr) return setRefused(control->kind, status);
  return std::nullopt;
}

CommandFailure runAuto(const CommandRequest& request, const CameraControl* control) {
  return switchFlag(request, control, "auto requires --control and --enabled.",
                    selectors::automaticManual, automaticRefused);
}

CommandFailure runOn(const CommandRequest& request, const CameraControl* control) {
  return switchFlag(request, control, "on requires --control and --enabled.", selectors::onOff,
                    toggleRefused);
}

}  // namespace camknob
