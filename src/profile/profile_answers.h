// camknob-profile's one-line answers, keys sorted as camknob sorts them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile/apply_profile.h"
#include "profile/profile_records.h"
#include "records/camera_records.h"

namespace camknob {

// Written in place of an answer that cannot be encoded.
inline constexpr std::string_view profileFallbackAnswer =
    R"({"error":"Failed to encode response","ok":false})";

// After a profile was saved to a file.
std::optional<std::string> savedAnswer(const Profile& profile, std::string_view file);

// After applying: what became of each step, the camera as read afterwards
// (when found), and the failure message when ok is false.
std::optional<std::string> appliedAnswer(const std::vector<StepOutcome>& outcomes,
                                         const CameraDevice* device,
                                         const std::optional<std::string>& error);

// A run that ends before anything is applied; apply's failures carry an
// empty step list, so that every apply answer has one.
std::optional<std::string> failureAnswer(std::string_view message, bool withSteps);

}  // namespace camknob
