#include "engine/stored_document.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/config_folder.h"
#include "system/text_files.h"

namespace camknob::engine {

DocumentLoad loadDocument(const std::string& path, std::size_t limit) {
  if (::access(path.c_str(), F_OK) != 0) return {std::nullopt, true, {}, false};
  const FileReading file = readBoundedText(path, limit);
  // A file that could be read but was too large is as unusable as bad JSON.
  if (!file.text) return {std::nullopt, false, file.fault, file.fault.rfind("larger", 0) == 0};
  JsonTreeReading tree = readJsonTree(*file.text);
  const bool corrupt = !tree.root;
  return {std::move(tree.root), false, std::move(tree.fault), corrupt};
}

KeptAside keepAside(const std::string& path) {
  for (int attempt = 1; attempt <= 100; ++attempt) {
    std::string aside = path;
    aside += ".corrupt";
    if (attempt > 1) aside += '.' + std::to_string(attempt);
    // link then unlink: never over a file kept aside before.
    if (::link(path.c_str(), aside.c_str()) == 0) {
      if (::unlink(path.c_str()) != 0) {
        const std::string fault = std::strerror(errno);
        (void)::unlink(aside.c_str());
        return {std::nullopt, fault};
      }
      return {aside, {}};
    }
    if (errno != EEXIST) return {std::nullopt, std::strerror(errno)};
  }
  return {std::nullopt, "too many files kept aside already"};
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
