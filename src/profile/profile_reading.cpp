#include "profile/profile_reading.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "json/json_text.h"
#include "json/json_tree.h"
#include "system/text_files.h"
#include "text/number_text.h"
#include "vocabulary/control_kinds.h"

namespace camknob {

namespace {

// The first fault found, with the path of the value it is about.
struct Fault {
  std::string text;
};

Fault faultAt(const std::string& path, std::string_view what) {
  return Fault{path + ": " + std::string(what)};
}

Fault wrongType(const std::string& path, std::string_view expected, const JsonNode& node) {
  return faultAt(path,
                 "expected " + std::string(expected) + ", not " + std::string(jsonTypeName(node)));
}

// A key as it may be shown in a message: printable ASCII, shortened.
std::string shownText(std::string_view text) {
  std::string shown;
  for (const char c : text.substr(0, 40)) {
    const auto byte = static_cast<unsigned char>(c);
    shown.push_back(byte >= 0x20 && byte < 0x7F ? c : '?');
  }
  if (text.size() > 40) shown += "...";
  return "\"" + shown + "\"";
}

// Each key of the object once, and only keys of the list.
std::optional<Fault> checkKeys(const JsonObject& object, const std::string& path,
                               std::initializer_list<std::string_view> allowed) {
  for (std::size_t i = 0; i < object.size(); ++i) {
    const std::string& key = object[i].key;
    if (std::find(allowed.begin(), allowed.end(), key) == allowed.end())
      return faultAt(path, "unknown key " + shownText(key));
    for (std::size_t j = 0; j < i; ++j)
      if (object[j].key == key) return faultAt(path, "key " + shownText(key) + " given twice");
  }
  return std::nullopt;
}

const JsonNode* member(const JsonObject& object, std::string_view key) {
  for (const JsonMember& entry : object)
    if (entry.key == key) return &entry.value;
  return nullptr;
}

template <typename T>
const T* as(const JsonNode* node) {
  return node == nullptr ? nullptr : std::get_if<T>(&node->value);
}

// A number converted with one rounding to the nearest float; nothing beyond
// the float range.
std::optional<float> float32Of(const JsonNumber& number) {
  const auto value = parseFloat32(number.text);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  return value;  // what underflows is the nearest float all the same
}

std::optional<std::uint8_t> byteOf(const JsonNumber& number) {
  unsigned value = 0;
  const char* end = number.text.data() + number.text.size();
  const auto [stop, error] = std::from_chars(number.text.data(), end, value);
  if (!number.integral || error != std::errc() || stop != end || value > 255) return std::nullopt;
  return static_cast<std::uint8_t>(value);
}

// "automatic" and "on", each where the control has it.
struct SavedFlags {
  std::optional<bool> automatic;
  std::optional<bool> on;
};

std::variant<SavedFlags, Fault> flagsOf(const JsonObject& object, const std::string& path) {
  SavedFlags flags;
  for (const auto& [key, flag] :
       {std::pair{"automatic", &flags.automatic}, std::pair{"on", &flags.on}}) {
    const JsonNode* node = member(object, key);
    if (node == nullptr) continue;
    const auto* value = as<bool>(node);
    if (value == nullptr) return wrongType(path + "." + key, "true or false", *node);
    *flag = *value;
  }
  return flags;
}

// "value" with its "valueMode", or neither.
struct SavedValue {
  std::optional<ValueMode> mode;
  std::optional<double> value;
};

std::variant<SavedValue, Fault> valueOf(const JsonObject& object, const std::string& path) {
  const JsonNode* modeNode = member(object, "valueMode");
  const JsonNode* valueNode = member(object, "value");
  if ((modeNode == nullptr) != (valueNode == nullptr))
    return faultAt(path, "\"value\" and \"valueMode\" go together");
  if (valueNode == nullptr) return SavedValue{};
  const auto* modeName = as<std::string>(modeNode);
  const auto mode = modeName ? valueModeNamed(*modeName) : std::nullopt;
  if (!mode) return faultAt(path + ".valueMode", "expected \"absolute\" or \"native\"");
  const auto* number = as<JsonNumber>(valueNode);
  if (number == nullptr) return wrongType(path + ".value", "a number", *valueNode);
  const auto converted = float32Of(*number);
  if (!converted) return faultAt(path + ".value", "beyond the range of a 32-bit float");
  return SavedValue{mode, static_cast<double>(*converted)};
}

using SavedBytes = std::optional<std::vector<std::uint8_t>>;

// A pan/tilt position's "nativeData".
std::variant<SavedBytes, Fault> nativeDataOf(const JsonObject& object, std::string_view kind,
                                             const std::string& path) {
  const JsonNode* dataNode = member(object, "nativeData");
  if (dataNode == nullptr) return SavedBytes{};
  const std::string where = path + ".nativeData";
  if (kind != panTiltAbsoluteKind) return faultAt(where, "only a panTiltAbsolute control has one");
  const auto* items = as<JsonArray>(dataNode);
  if (items == nullptr) return wrongType(where, "an array", *dataNode);
  if (items->size() > maxProfileNativeData)
    return faultAt(where, "more than " + std::to_string(maxProfileNativeData) + " bytes");
  std::vector<std::uint8_t> bytes;
  bytes.reserve(items->size());
  for (std::size_t i = 0; i < items->size(); ++i) {
    const auto* number = as<JsonNumber>(&(*items)[i]);
    const auto byte = number ? byteOf(*number) : std::nullopt;
    if (!byte)
      return faultAt(where + "[" + std::to_string(i) + "]", "expected an integer from 0 to 255");
    bytes.push_back(*byte);
  }
  return SavedBytes{std::move(bytes)};
}

std::variant<std::string, Fault> kindOf(const JsonObject& object, const std::string& path) {
  const JsonNode* kindNode = member(object, "kind");
  if (kindNode == nullptr) return faultAt(path, "no \"kind\"");
  const auto* kind = as<std::string>(kindNode);
  if (kind == nullptr) return wrongType(path + ".kind", "a string", *kindNode);
  if (!isWellFormedKind(*kind)) return faultAt(path + ".kind", "unknown kind " + shownText(*kind));
  return *kind;
}

std::variant<ProfileControl, Fault> controlOf(const JsonNode& node, const std::string& path) {
  const auto* object = std::get_if<JsonObject>(&node.value);
  if (object == nullptr) return wrongType(path, "an object", node);
  if (auto fault =
          checkKeys(*object, path, {"kind", "automatic", "on", "valueMode", "value", "nativeData"}))
    return *fault;
  auto kind = kindOf(*object, path);
  if (auto* fault = std::get_if<Fault>(&kind)) return *fault;
  const auto flags = flagsOf(*object, path);
  if (const auto* fault = std::get_if<Fault>(&flags)) return *fault;
  const auto saved = valueOf(*object, path);
  if (const auto* fault = std::get_if<Fault>(&saved)) return *fault;
  auto nativeData = nativeDataOf(*object, std::get<std::string>(kind), path);
  if (auto* fault = std::get_if<Fault>(&nativeData)) return *fault;

  const auto& [automatic, on] = std::get<SavedFlags>(flags);
  const auto& [valueMode, value] = std::get<SavedValue>(saved);
  SavedBytes& bytes = std::get<SavedBytes>(nativeData);
  if (!automatic && !on && !value && !bytes)
    return faultAt(path,
                   "nothing to apply (no \"automatic\", \"on\", \"value\" or \"nativeData\")");
  return ProfileControl{.kind = std::move(std::get<std::string>(kind)),
                        .automatic = automatic,
                        .on = on,
                        .valueMode = valueMode,
                        .value = value,
                        .nativeData = std::move(bytes)};
}

std::variant<Profile, Fault> profileOf(const JsonNode& root) {
  const auto* object = std::get_if<JsonObject>(&root.value);
  const JsonNode* version = object ? member(*object, "camknobProfile") : nullptr;
  if (version == nullptr)
    return Fault{"not a camknob profile (no \"camknobProfile\": " + std::to_string(profileVersion) +
                 ")"};
  const auto* number = as<JsonNumber>(version);
  if (number == nullptr || number->text != std::to_string(profileVersion))
    return faultAt("camknobProfile",
                   "this tool reads profiles of version " + std::to_string(profileVersion));
  if (auto fault = checkKeys(*object, "profile", {"camknobProfile", "uid", "name", "controls"}))
    return *fault;

  std::string texts[2];
  const char* textKeys[2] = {"uid", "name"};
  for (int i = 0; i < 2; ++i) {
    const JsonNode* node = member(*object, textKeys[i]);
    if (node == nullptr) return faultAt("profile", std::string("no \"") + textKeys[i] + "\"");
    const auto* text = as<std::string>(node);
    if (text == nullptr) return wrongType(textKeys[i], "a string", *node);
    texts[i] = *text;
  }

  const JsonNode* controlsNode = member(*object, "controls");
  if (controlsNode == nullptr) return faultAt("profile", "no \"controls\"");
  const auto* items = as<JsonArray>(controlsNode);
  if (items == nullptr) return wrongType("controls", "an array", *controlsNode);
  std::vector<ProfileControl> controls;
  controls.reserve(items->size());
  for (std::size_t i = 0; i < items->size(); ++i) {
    auto control = controlOf((*items)[i], "controls[" + std::to_string(i) + "]");
    if (auto* fault = std::get_if<Fault>(&control)) return *fault;
    controls.push_back(std::move(std::get<ProfileControl>(control)));
  }
  return Profile{
      .uid = std::move(texts[0]), .name = std::move(texts[1]), .controls = std::move(controls)};
}

bool isLowerHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

bool isWellFormedKind(std::string_view kind) {
  if (std::any_of(controlKinds.begin(), controlKinds.end(),
                  [&](const ControlKind& known) { return known.name == kind; }))
    return true;
  if (kind.size() == 4)
    return std::all_of(kind.begin(), kind.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return kind.size() == 10 && kind.substr(0, 2) == "0x" &&
         std::all_of(kind.begin() + 2, kind.end(), isLowerHex);
}

ProfileReading readProfile(std::string_view text) {
  if (text.size() > maxProfileBytes)
    return {std::nullopt, "larger than " + sizeText(maxProfileBytes)};
  JsonTreeReading tree = readJsonTree(text);
  if (!tree.root) return {std::nullopt, std::move(tree.fault)};
  return readProfileNode(*tree.root);
}

ProfileReading readProfileNode(const JsonNode& root) {
  auto profile = profileOf(root);
  if (auto* fault = std::get_if<Fault>(&profile)) return {std::nullopt, std::move(fault->text)};
  return {std::move(std::get<Profile>(profile)), {}};
}

}  // namespace camknob
