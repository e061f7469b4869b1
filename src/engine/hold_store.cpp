#include "engine/hold_store.h"

#include "engine/stored_document.h"
#include "json/json_text.h"

namespace camknob::engine {

namespace {

constexpr std::size_t holdsLimit = 1u << 20;

std::optional<Holds> holdsOf(const JsonNode& root) {
  const auto* object = std::get_if<JsonObject>(&root.value);
  if (object == nullptr || !hasOnlyKeys(*object, {"camknobHolds", "holds"})) return std::nullopt;
  const JsonNode* version = memberOf(*object, "camknobHolds");
  const auto* number = version ? std::get_if<JsonNumber>(&version->value) : nullptr;
  const JsonNode* list = memberOf(*object, "holds");
  const auto* items = list ? std::get_if<JsonArray>(&list->value) : nullptr;
  if (number == nullptr || number->text != "1" || items == nullptr) return std::nullopt;
  Holds holds;
  for (const JsonNode& item : *items) {
    const auto* hold = std::get_if<JsonObject>(&item.value);
    if (hold == nullptr || !hasOnlyKeys(*hold, {"profile", "uid"})) return std::nullopt;
    const JsonNode* uid = memberOf(*hold, "uid");
    const JsonNode* profile = memberOf(*hold, "profile");
    const auto* uidText = uid ? std::get_if<std::string>(&uid->value) : nullptr;
    const auto* profileText = profile ? std::get_if<std::string>(&profile->value) : nullptr;
    if (uidText == nullptr || profileText == nullptr) return std::nullopt;
    holds[*uidText] = *profileText;
  }
  return holds;
}

}  // namespace

std::string holdsPath(const std::string& configFolder) {
  return configFolder + "/holds.json";
}

HoldsLoad loadHolds(const std::string& configFolder) {
  const DocumentLoad document = loadDocument(holdsPath(configFolder), holdsLimit);
  if (document.missing) return {};
  if (!document.root) return {{}, document.fault, document.corrupt};
  auto holds = holdsOf(*document.root);
  if (!holds) return {{}, "not a holds document", true};
  return {std::move(*holds), {}, false};
}

std::optional<std::string> storeHolds(const std::string& configFolder, const Holds& holds) {
  std::string text = "{\"camknobHolds\": 1, \"holds\": [";
  bool first = true;
  for (const auto& [uid, profile] : holds) {
    text += first ? "\n  " : ",\n  ";
    first = false;
    text += "{\"profile\": ";
    appendJsonString(text, profile);
    text += ", \"uid\": ";
    appendJsonString(text, uid);
    text += "}";
  }
  text += first ? "]}\n" : "\n]}\n";
  return storeDocument(configFolder, holdsPath(configFolder), text);
}

}  // namespace camknob::engine
