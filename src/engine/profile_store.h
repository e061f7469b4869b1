// The engine's profiles: one file of camknob-profile's format each, named
// after the profile, in the profiles folder of the configuration folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile_records.h"

namespace camknob::engine {

// What makes a profile name (and a preset name): 1 to 64 ASCII letters,
// digits, spaces, dots, underscores and hyphens, starting with a letter or
// digit and not ending with a space; so that it is a plain file name.
bool isProfileName(std::string_view name);
extern const std::string_view profileNameRule;  // the rule, as a message says it

std::string profilesFolder(const std::string& configFolder);
std::string profilePath(const std::string& configFolder, std::string_view name);

struct StoredProfile {
  std::string name;
  std::optional<Profile> profile;  // nothing when the file cannot be used
  std::string fault;               // why not
};

// Every profile in the folder, by name; none when there is no folder.
std::vector<StoredProfile> storedProfiles(const std::string& configFolder);

struct ProfileLoad {
  std::optional<Profile> profile;
  bool missing;       // no such profile
  std::string fault;  // why it cannot be used, when it is there
};
ProfileLoad loadProfile(const std::string& configFolder, std::string_view name);

// Writes the profile in one step; the reason when it cannot.
std::optional<std::string> storeProfile(const std::string& configFolder, std::string_view name,
                                        const Profile& profile);

// Whether a profile of that name is stored.
bool profileExists(const std::string& configFolder, std::string_view name);

// Removes it: whether there was none, or the system's reason it could not be
// removed (both nothing when it was).
struct ProfileRemoval {
  bool missing;
  std::optional<std::string> fault;
};
ProfileRemoval removeProfile(const std::string& configFolder, std::string_view name);

}  // namespace camknob::engine
