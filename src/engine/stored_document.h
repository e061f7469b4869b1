// The engine's own small JSON files (holds, presets): read whole and strictly
// or not at all, written in one step.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "json/json_tree.h"

namespace camknob::engine {

struct DocumentLoad {
  std::optional<JsonNode> root;  // nothing when the file is missing or cannot be used
  bool missing;
  std::string fault;
};

// The file's JSON, of at most `limit` bytes.
DocumentLoad loadDocument(const std::string& path, std::size_t limit);

// The object's member of that key; null when there is none.
const JsonNode* memberOf(const JsonObject& object, std::string_view key);

// Whether the object has only these keys, each once.
bool hasOnlyKeys(const JsonObject& object, std::initializer_list<std::string_view> keys);

// Writes the text in one step into the configuration folder (made when it is
// missing); the reason when it cannot.
std::optional<std::string> storeDocument(const std::string& configFolder, const std::string& path,
                                         const std::string& text);

}  // namespace camknob::engine
