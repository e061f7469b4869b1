// The JSON documents the engine answers with, beyond those camknob and
// camknob-profile give: one line each, keys sorted.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/hold_store.h"
#include "engine/preset_store.h"
#include "engine/profile_store.h"

namespace camknob::engine {

// The stored profiles, each with the uids of the cameras held at it.
std::string profilesAnswer(const std::vector<StoredProfile>& profiles, const Holds& holds);

// After a profile was deleted, with the holds that went with it.
std::string deletedProfileAnswer(std::string_view name, const std::vector<std::string>& released);

// The holds, after a hold was made (with the application's answer, when the
// camera was there to apply it to; ok false, with an error, when that did
// not all go on the camera) or released.
std::string holdsAnswer(const Holds& holds);
std::string heldAnswer(const Holds& holds, std::string_view uid, std::string_view profile,
                       const std::optional<std::string>& applied, bool ok);
std::string releasedAnswer(const Holds& holds, std::string_view uid, std::string_view profile);

// Presets, one, or the one deleted.
std::string presetsAnswer(const std::vector<const Preset*>& presets);
std::string presetAnswer(const Preset& preset);
std::string deletedPresetAnswer(const Preset& preset);

}  // namespace camknob::engine
