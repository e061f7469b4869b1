#include "profile/profile_answers.h"

#include "json/json_object.h"
#include "json/json_text.h"

namespace camknob {

namespace {

using json::ObjectText;

// Keys in sorted order. The kind comes from a profile read as UTF-8, and the
// error quotes it.
bool appendOutcome(std::string& out, const StepOutcome& outcome) {
  out.push_back('{');
  ObjectText object{out};
  bool ok = optionalText(object, "error", outcome.error) && text(object, "kind", outcome.kind);
  if (outcome.objectId) integer(object, "objectId", *outcome.objectId);
  ok = ok && text(object, "property", propertyName(outcome.property));
  if (outcome.reason) ok = ok && text(object, "reason", skipReasonName(*outcome.reason));
  ok = ok && text(object, "result", stepResultName(outcome.result));
  out.push_back('}');
  return ok;
}

}  // namespace

std::optional<std::string> savedAnswer(const Profile& profile, std::string_view file) {
  std::string out = "{";
  ObjectText object{out};
  integer(object, "controls", static_cast<std::uint32_t>(profile.controls.size()));
  if (!text(object, "file", file) || !text(object, "name", profile.name)) return std::nullopt;
  boolean(object, "ok", true);
  if (!text(object, "uid", profile.uid)) return std::nullopt;
  out.push_back('}');
  return out;
}

std::optional<std::string> appliedAnswer(const std::vector<StepOutcome>& outcomes,
                                         const CameraDevice* device,
                                         const std::optional<std::string>& error) {
  std::string out = "{\"controls\":[";
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    if (i != 0) out.push_back(',');
    if (!appendOutcome(out, outcomes[i])) return std::nullopt;
  }
  out.push_back(']');
  ObjectText object{out, false};
  if (device != nullptr) {
    key(object, "device");
    if (!appendDevice(out, *device)) return std::nullopt;
  }
  if (!optionalText(object, "error", error)) return std::nullopt;
  boolean(object, "ok", !error);
  out.push_back('}');
  return out;
}

std::optional<std::string> failureAnswer(std::string_view message, bool withSteps) {
  std::string out = withSteps ? "{\"controls\":[]" : "{";
  ObjectText object{out, !withSteps};
  if (!text(object, "error", message)) return std::nullopt;
  boolean(object, "ok", false);
  out.push_back('}');
  return out;
}

}  // namespace camknob
