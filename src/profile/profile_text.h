#pragma once

#include <optional>
#include <string>

#include "profile/profile_records.h"

namespace camknob {

// The profile document: two-space indentation, one control per line, for a
// person to read and edit. Nothing when a text is not UTF-8 or a number not
// finite (the document could not be read back).
std::optional<std::string> profileText(const Profile& profile);

}  // namespace camknob
