#include "engine/preset_store.h"

#include <algorithm>

#include "engine/stored_document.h"
#include "json/json_text.h"
#include "profile/profile_reading.h"
#include "profile/profile_text.h"
#include "profile/saved_profile.h"
#include "vocabulary/control_kinds.h"

namespace camknob::engine {

namespace {

constexpr std::size_t presetsLimit = 8u << 20;

bool isPresetKind(std::string_view kind) {
  return motionOfKind(kind) == ControlMotion::Aims || kind == "zoom" || kind == "focus";
}

std::optional<std::vector<Preset>> presetsOf(const JsonNode& root) {
  const auto* object = std::get_if<JsonObject>(&root.value);
  if (object == nullptr || !hasOnlyKeys(*object, {"camknobPresets", "presets"}))
    return std::nullopt;
  const JsonNode* version = memberOf(*object, "camknobPresets");
  const auto* number = version ? std::get_if<JsonNumber>(&version->value) : nullptr;
  const JsonNode* list = memberOf(*object, "presets");
  const auto* items = list ? std::get_if<JsonArray>(&list->value) : nullptr;
  if (number == nullptr || number->text != "1" || items == nullptr) return std::nullopt;
  std::vector<Preset> presets;
  for (const JsonNode& item : *items) {
    const auto* entry = std::get_if<JsonObject>(&item.value);
    if (entry == nullptr || !hasOnlyKeys(*entry, {"name", "profile"})) return std::nullopt;
    const JsonNode* name = memberOf(*entry, "name");
    const JsonNode* profile = memberOf(*entry, "profile");
    const auto* nameText = name ? std::get_if<std::string>(&name->value) : nullptr;
    if (nameText == nullptr || profile == nullptr) return std::nullopt;
    ProfileReading reading = readProfileNode(*profile);
    if (!reading.profile) return std::nullopt;
    presets.push_back({*nameText, std::move(*reading.profile)});
  }
  return presets;
}

}  // namespace

std::string presetsPath(const std::string& configFolder) {
  return configFolder + "/presets.json";
}

PresetsLoad loadPresets(const std::string& configFolder) {
  const DocumentLoad document = loadDocument(presetsPath(configFolder), presetsLimit);
  if (document.missing) return {};
  if (!document.root) return {{}, document.fault, document.corrupt};
  auto presets = presetsOf(*document.root);
  if (!presets) return {{}, "not a presets document", true};
  return {std::move(*presets), {}, false};
}

std::optional<std::string> storePresets(const std::string& configFolder,
                                        const std::vector<Preset>& presets) {
  std::string text = "{\"camknobPresets\": 1, \"presets\": [";
  for (std::size_t i = 0; i < presets.size(); ++i) {
    const std::optional<std::string> profile = profileText(presets[i].profile);
    if (!profile) return std::string("a preset cannot be written");
    text += i == 0 ? "\n" : ",\n";
    text += "{\"name\": ";
    appendJsonString(text, presets[i].name);
    text += ", \"profile\": ";
    text += *profile;
    text += "}";
  }
  text += presets.empty() ? "]}\n" : "\n]}\n";
  return storeDocument(configFolder, presetsPath(configFolder), text);
}

Profile presetOf(const CameraDevice& camera) {
  Profile profile = savedProfile(camera);
  std::erase_if(profile.controls,
                [](const ProfileControl& control) { return !isPresetKind(control.kind); });
  return profile;
}

const Preset* presetNamed(const std::vector<Preset>& presets, const std::string& uid,
                          const std::string& name) {
  for (const Preset& preset : presets)
    if (preset.profile.uid == uid && preset.name == name) return &preset;
  return nullptr;
}

}  // namespace camknob::engine
