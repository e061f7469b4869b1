#include "profile/profile_text.h"

#include "json/json_text.h"

namespace camknob {

namespace {

bool appendControl(std::string& out, const ProfileControl& control) {
  if (!isValidUtf8(control.kind)) return false;
  out += "{\"kind\": ";
  appendJsonString(out, control.kind);
  const auto flag = [&](const char* key, const std::optional<bool>& value) {
    if (value) out += std::string(", \"") + key + "\": " + (*value ? "true" : "false");
  };
  flag("automatic", control.automatic);
  flag("on", control.on);
  if (control.value && control.valueMode) {
    out += ", \"valueMode\": ";
    appendJsonString(out, valueModeName(*control.valueMode));
    out += ", \"value\": ";
    if (!appendJsonNumber(out, *control.value)) return false;
  }
  if (control.nativeData) {
    out += ", \"nativeData\": [";
    for (std::size_t i = 0; i < control.nativeData->size(); ++i) {
      if (i != 0) out += ", ";
      out += std::to_string((*control.nativeData)[i]);
    }
    out += "]";
  }
  out += "}";
  return true;
}

}  // namespace

std::optional<std::string> profileText(const Profile& profile) {
  if (!isValidUtf8(profile.uid) || !isValidUtf8(profile.name)) return std::nullopt;
  std::string out = "{\n  \"camknobProfile\": " + std::to_string(profileVersion) + ",\n";
  out += "  \"uid\": ";
  appendJsonString(out, profile.uid);
  out += ",\n  \"name\": ";
  appendJsonString(out, profile.name);
  out += ",\n  \"controls\": [";
  for (std::size_t i = 0; i < profile.controls.size(); ++i) {
    out += i == 0 ? "\n    " : ",\n    ";
    if (!appendControl(out, profile.controls[i])) return std::nullopt;
  }
  out += profile.controls.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

}  // namespace camknob
