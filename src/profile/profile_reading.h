// Reading a profile document: strict, so that a mistyped key or a value of
// the wrong type is reported before anything reaches the camera.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "json/json_tree.h"
#include "profile/profile_records.h"

namespace camknob {

// No profile comes near this; a larger file is not a profile.
inline constexpr std::size_t maxProfileBytes = 1u << 20;

// At most this many bytes of pan/tilt data per control (a position is 8).
inline constexpr std::size_t maxProfileNativeData = 64;

struct ProfileReading {
  std::optional<Profile> profile;
  std::string fault;  // one line saying where and what, when profile is absent
};

ProfileReading readProfile(std::string_view text);

// The same for a profile document that is part of a larger one.
ProfileReading readProfileNode(const JsonNode& root);

// Whether the text can be a control's kind: a name of the kind table, a
// four-character class code, or "0x" and eight lowercase hex digits.
bool isWellFormedKind(std::string_view kind);

}  // namespace camknob
