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
  bool corrupt;  // read, but too large or not JSON: no later read will do better
};

// The file's JSON, of at most `limit` bytes.
DocumentLoad loadDocument(const std::string& path, std::size_t limit);

// Moves a file that cannot be used out of the way, to PATH.corrupt (or
// PATH.corrupt.2, .3, ... when that is taken), so that the next save starts
// a new file without losing the old one.
struct KeptAside {
  std::optional<std::string> path;  // where it went; nothing when it could not be moved
  std::string fault;                // why not
};
KeptAside keepAside(const std::string& path);

// The object's member of that key; null when there is none.
const JsonNode* memberOf(const JsonObject& object, std::string_view key);

// Whether the object has only these keys, each once.
bool hasOnlyKeys(const JsonObject& object, std::initializer_list<std::string_view> keys);

// Writes the text in one step into the configuration folder (made when it is
// missing); the reason when it cannot.
std::optional<std::string> storeDocument(const std::string& configFolder, const std::string& path,
                                         const std::string& text);

}  // namespace camknob::engine
