#include "profile/profile_answers.h"

#include "output/json_text.h"

namespace camknob {

namespace {

bool appendText(std::string& out, std::string_view key, std::string_view text) {
  if (!isValidUtf8(text)) return false;
  out += ",\"";
  out += key;
  out += "\":";
  appendJsonString(out, text);
  return true;
}

// Keys in sorted order: error, kind, objectId, property, reason, result. The
// kind comes from a profile read as UTF-8, and the error quotes it.
void appendOutcome(std::string& out, const StepOutcome& outcome) {
  out += "{";
  if (outcome.error) {
    out += "\"error\":";
    appendJsonString(out, *outcome.error);
    out += ",";
  }
  out += "\"kind\":";
  appendJsonString(out, outcome.kind);
  if (outcome.objectId) out += ",\"objectId\":" + std::to_string(*outcome.objectId);
  (void)appendText(out, "property", outcome.property);
  if (outcome.reason) (void)appendText(out, "reason", *outcome.reason);
  (void)appendText(out, "result", outcome.result);
  out += "}";
}

}  // namespace

std::optional<std::string> savedAnswer(const Profile& profile, std::string_view file) {
  std::string out = "{\"controls\":" + std::to_string(profile.controls.size());
  if (!appendText(out, "file", file) || !appendText(out, "name", profile.name)) return std::nullopt;
  out += ",\"ok\":true";
  if (!appendText(out, "uid", profile.uid)) return std::nullopt;
  out += "}";
  return out;
}

std::optional<std::string> appliedAnswer(const std::vector<StepOutcome>& outcomes,
                                         const CameraDevice* device,
                                         const std::optional<std::string>& error) {
  std::string out = "{\"controls\":[";
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    if (i != 0) out += ",";
    appendOutcome(out, outcomes[i]);
  }
  out += "]";
  if (device != nullptr) {
    out += ",\"device\":";
    if (!appendDevice(out, *device)) return std::nullopt;
  }
  if (error && !appendText(out, "error", *error)) return std::nullopt;
  out += error ? ",\"ok\":false}" : ",\"ok\":true}";
  return out;
}

std::optional<std::string> failureAnswer(std::string_view message, bool withSteps) {
  std::string out = withSteps ? "{\"controls\":[]," : "{";
  out += "\"error\":";
  if (!isValidUtf8(message)) return std::nullopt;
  appendJsonString(out, message);
  out += ",\"ok\":false}";
  return out;
}

}  // namespace camknob
