#include "engine/stored_document.h"

#include <unistd.h>

#include <algorithm>

#include "engine/config_folder.h"
#include "profile/profile_files.h"

namespace camknob::engine {

DocumentLoad loadDocument(const std::string& path, std::size_t limit) {
  if (::access(path.c_str(), F_OK) != 0) return {std::nullopt, true, {}};
  const FileReading file = readBoundedText(path, limit);
  if (!file.text) return {std::nullopt, false, file.fault};
  JsonTreeReading tree = readJsonTree(*file.text);
  return {std::move(tree.root), false, std::move(tree.fault)};
}

const JsonNode* memberOf(const JsonObject& object, std::string_view key) {
  for (const JsonMember& member : object)
    if (member.key == key) return &member.value;
  return nullptr;
}

bool hasOnlyKeys(const JsonObject& object, std::initializer_list<std::string_view> keys) {
  for (std::size_t i = 0; i < object.size(); ++i) {
    if (std::find(keys.begin(), keys.end(), object[i].key) == keys.end()) return false;
    for (std::size_t j = 0; j < i; ++j)
      if (object[j].key == object[i].key) return false;
  }
  return true;
}

std::optional<std::string> storeDocument(const std::string& configFolder, const std::string& path,
                                         const std::string& text) {
  if (auto fault = makeFolder(configFolder)) return fault;
  return replaceFileText(path, text);
}

}  // namespace camknob::engine
