#include "engine/profile_store.h"

#include <cstring>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "engine/config_folder.h"
#include "profile/profile_reading.h"
#include "profile/profile_text.h"
#include "system/text_files.h"

namespace camknob::engine {

namespace {

constexpr std::string_view suffix = ".json";

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
         c == '.' || c == '_' || c == '-';
}

bool isLetterOrDigit(char c) {
  return isNameCharacter(c) && c != ' ' && c != '.' && c != '_' && c != '-';
}

}  // namespace

const std::string_view profileNameRule =
    "A name is 1 to 64 letters, digits, spaces, dots, underscores or hyphens, starting with a "
    "letter or digit.";

bool isProfileName(std::string_view name) {
  return !name.empty() && name.size() <= 64 && isLetterOrDigit(name.front()) &&
         name.back() != ' ' && std::all_of(name.begin(), name.end(), isNameCharacter);
}

std::string profilesFolder(const std::string& configFolder) {
  return configFolder + "/profiles";
}

std::string profilePath(const std::string& configFolder, std::string_view name) {
  return profilesFolder(configFolder) + "/" + std::string(name) + std::string(suffix);
}

ProfileLoad loadProfile(const std::string& configFolder, std::string_view name) {
  const FileReading file = readBoundedText(profilePath(configFolder, name), maxProfileBytes);
  if (!file.text) {
    const bool missing = ::access(profilePath(configFolder, name).c_str(), F_OK) != 0;
    return {std::nullopt, missing, file.fault};
  }
  ProfileReading reading = readProfile(*file.text);
  return {std::move(reading.profile), false, std::move(reading.fault)};
}

std::vector<StoredProfile> storedProfiles(const std::string& configFolder) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(profilesFolder(configFolder).c_str()),
                                                   ::closedir);
  if (folder) {
    while (const dirent* entry = ::readdir(folder.get())) {
      const std::string_view file = entry->d_name;
      if (file.size() <= suffix.size() || !file.ends_with(suffix)) continue;
      const std::string_view name = file.substr(0, file.size() - suffix.size());
      if (isProfileName(name)) names.emplace_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  std::vector<StoredProfile> profiles;
  for (std::string& name : names) {
    ProfileLoad load = loadProfile(configFolder, name);
    if (load.missing) continue;
    profiles.push_back({std::move(name), std::move(load.profile), std::move(load.fault)});
  }
  return profiles;
}

std::optional<std::string> storeProfile(const std::string& configFolder, std::string_view name,
                                        const Profile& profile) {
  const std::optional<std::string> text = profileText(profile);
  if (!text) return std::string("the camera's readings cannot be written as a profile");
  if (auto fault = makeFolder(profilesFolder(configFolder))) return fault;
  return replaceFileText(profilePath(configFolder, name), *text);
}

bool profileExists(const std::string& configFolder, std::string_view name) {
  return ::access(profilePath(configFolder, name).c_str(), F_OK) == 0;
}

ProfileRemoval removeProfile(const std::string& configFolder, std::string_view name) {
  if (::unlink(profilePath(configFolder, name).c_str()) == 0) return {false, std::nullopt};
  if (errno == ENOENT) return {true, std::nullopt};
  return {false, std::string(std::strerror(errno))};
}

}  // namespace camknob::engine
