#include "profile/apply_profile.h"

#include <array>
#include <map>
#include <utility>

#include "commands/refusal_messages.h"
#include "media/property_access.h"
#include "vocabulary/control_kinds.h"

namespace camknob {

namespace {

// Pan, tilt and the pan/tilt position: where the camera points.
bool isPanOrTilt(std::string_view kind) {
  return motionOfKind(kind) == ControlMotion::Aims;
}

// The camera's control for each profile control, matched by kind and by
// occurrence among controls of that kind.
std::vector<const CameraControl*> targetsOf(const Profile& profile, const CameraDevice& camera) {
  std::map<std::string_view, std::vector<const CameraControl*>> byKind;
  for (const CameraControl& control : camera.controls) byKind[control.kind].push_back(&control);
  std::map<std::string_view, std::size_t> seen;
  std::vector<const CameraControl*> targets;
  targets.reserve(profile.controls.size());
  for (const ProfileControl& saved : profile.controls) {
    const std::size_t occurrence = seen[saved.kind]++;
    const auto found = byKind.find(saved.kind);
    const bool present = found != byKind.end() && occurrence < found->second.size();
    targets.push_back(present ? found->second[occurrence] : nullptr);
  }
  return targets;
}

bool hasProperty(const ProfileControl& saved, ProfileProperty property) {
  switch (property) {
    case ProfileProperty::automatic:
      return saved.automatic.has_value();
    case ProfileProperty::on:
      return saved.on.has_value();
    case ProfileProperty::value:
      return saved.value.has_value();
    case ProfileProperty::nativeData:
      return saved.nativeData.has_value();
  }
  return false;
}

// Why the step is not written, or nothing when it is.
std::optional<SkipReason> skipReasonOf(const ProfileControl& saved, ProfileProperty property,
                                       const CameraControl* target) {
  constexpr auto absent = SkipReason::absent;
  if (target == nullptr) return absent;
  switch (property) {
    case ProfileProperty::automatic:
      return target->automatic ? std::nullopt : std::optional(absent);
    case ProfileProperty::on:
      return target->on ? std::nullopt : std::optional(absent);
    case ProfileProperty::nativeData:
      return target->nativeData ? std::nullopt : std::optional(absent);
    case ProfileProperty::value:
      break;
  }
  if (!target->value) return absent;
  if (target->valueMode != saved.valueMode) return SkipReason::valueMode;
  // The automatic mode as the profile just set it, else as the camera has
  // it; a control without one is never held by it.
  if (target->automatic && saved.automatic.value_or(*target->automatic))
    return SkipReason::automatic;
  return std::nullopt;
}

Status writeStep(const ApplyStep& step) {
  const ProfileControl& saved = *step.saved;
  const ObjectId id = step.target->objectId;
  switch (step.property) {
    case ProfileProperty::automatic:
      return writeUInt32(id, selectors::automaticManual, *saved.automatic ? 1 : 0);
    case ProfileProperty::on:
      return writeUInt32(id, selectors::onOff, *saved.on ? 1 : 0);
    case ProfileProperty::value:
      return writeFloat32(id, valueSelector(*saved.valueMode), static_cast<float>(*saved.value));
    case ProfileProperty::nativeData:
      return writeBytes(id, selectors::nativeData, *saved.nativeData);
  }
  return noErr;
}

// The message camknob gives for the same refused change.
std::string refusalText(const ApplyStep& step, Status status) {
  const std::string& kind = step.saved->kind;
  switch (step.property) {
    case ProfileProperty::automatic:
      return automaticRefused(kind, status);
    case ProfileProperty::on:
      return toggleRefused(kind, status);
    case ProfileProperty::value:
      return setRefused(kind, status);
    case ProfileProperty::nativeData:
      return positionRefused(status);
  }
  return setRefused(kind, status);
}

const CameraControl* controlWithId(const CameraDevice& device, std::uint32_t objectId) {
  for (const CameraControl& control : device.controls)
    if (control.objectId == objectId) return &control;
  return nullptr;
}

bool readsAsWritten(const ApplyStep& step, const CameraControl* now) {
  if (isPanOrTilt(step.saved->kind)) return true;
  if (now == nullptr) return false;
  const ProfileControl& saved = *step.saved;
  switch (step.property) {
    case ProfileProperty::automatic:
      return now->automatic == saved.automatic;
    case ProfileProperty::on:
      return now->on == saved.on;
    case ProfileProperty::value:
      return now->valueMode == saved.valueMode && now->value == saved.value;
    case ProfileProperty::nativeData:
      return now->nativeData == saved.nativeData;
  }
  return false;
}

}  // namespace

// Each table in the order of its enum, as asserted.
constexpr std::array<std::pair<ProfileProperty, std::string_view>, 4> propertyNames{{
    {ProfileProperty::automatic, "automatic"},
    {ProfileProperty::on, "on"},
    {ProfileProperty::value, "value"},
    {ProfileProperty::nativeData, "nativeData"},
}};
constexpr std::array<std::pair<SkipReason, std::string_view>, 3> skipReasonNames{{
    {SkipReason::absent, "absent"},
    {SkipReason::automatic, "automatic"},
    {SkipReason::valueMode, "valueMode"},
}};
constexpr std::array<std::pair<StepResult, std::string_view>, 4> stepResultNames{{
    {StepResult::applied, "applied"},
    {StepResult::skipped, "skipped"},
    {StepResult::refused, "refused"},
    {StepResult::differs, "differs"},
}};

template <typename Enum, std::size_t N>
constexpr bool inEnumOrder(const std::array<std::pair<Enum, std::string_view>, N>& names) {
  for (std::size_t i = 0; i < N; ++i)
    if (static_cast<std::size_t>(names[i].first) != i) return false;
  return true;
}
static_assert(inEnumOrder(propertyNames) && inEnumOrder(skipReasonNames) &&
              inEnumOrder(stepResultNames));

std::string_view propertyName(ProfileProperty property) {
  return propertyNames[static_cast<std::size_t>(property)].second;
}

std::string_view skipReasonName(SkipReason reason) {
  return skipReasonNames[static_cast<std::size_t>(reason)].second;
}

std::string_view stepResultName(StepResult result) {
  return stepResultNames[static_cast<std::size_t>(result)].second;
}

std::vector<ApplyStep> applySteps(const Profile& profile, const CameraDevice& camera) {
  const std::vector<const CameraControl*> targets = targetsOf(profile, camera);
  std::vector<ApplyStep> steps;
  const auto addSteps = [&](ProfileProperty property, auto wanted) {
    for (std::size_t i = 0; i < profile.controls.size(); ++i) {
      const ProfileControl& saved = profile.controls[i];
      if (!hasProperty(saved, property) || !wanted(saved)) continue;
      steps.push_back(
          ApplyStep{&saved, property, targets[i], skipReasonOf(saved, property, targets[i])});
    }
  };
  const auto any = [](const ProfileControl&) { return true; };
  addSteps(ProfileProperty::automatic, any);
  addSteps(ProfileProperty::on, any);
  addSteps(ProfileProperty::value, [](const ProfileControl& c) { return !isPanOrTilt(c.kind); });
  addSteps(ProfileProperty::value, [](const ProfileControl& c) { return isPanOrTilt(c.kind); });
  addSteps(ProfileProperty::nativeData, any);
  return steps;
}

std::vector<std::optional<Status>> writeSteps(const std::vector<ApplyStep>& steps) {
  std::vector<std::optional<Status>> statuses;
  statuses.reserve(steps.size());
  for (const ApplyStep& step : steps)
    statuses.push_back(step.skipReason ? std::nullopt : std::optional(writeStep(step)));
  return statuses;
}

std::vector<StepOutcome> stepOutcomes(const std::vector<ApplyStep>& steps,
                                      const std::vector<std::optional<Status>>& statuses,
                                      const CameraDevice* after) {
  std::vector<StepOutcome> outcomes;
  outcomes.reserve(steps.size());
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const ApplyStep& step = steps[i];
    const std::optional<Status>& status = statuses[i];
    std::optional<std::uint32_t> objectId;
    if (step.target != nullptr) objectId = step.target->objectId;
    StepResult result = StepResult::applied;
    std::optional<std::string> error;
    if (!status) {
      result = StepResult::skipped;
    } else if (*status != noErr) {
      result = StepResult::refused;
      error = refusalText(step, *status);
    } else if (after != nullptr &&
               !readsAsWritten(step, controlWithId(*after, step.target->objectId))) {
      result = StepResult::differs;
    }
    outcomes.push_back(StepOutcome{.kind = step.saved->kind,
                                   .property = step.property,
                                   .objectId = objectId,
                                   .result = result,
                                   .reason = step.skipReason,
                                   .error = std::move(error)});
  }
  return outcomes;
}

bool everyStepTook(const std::vector<StepOutcome>& outcomes) {
  for (const StepOutcome& outcome : outcomes)
    if (outcome.result == StepResult::refused || outcome.result == StepResult::differs)
      return false;
  return true;
}

}  // namespace camknob
