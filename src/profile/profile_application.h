// The parts of applying a profile that every program applying one shares:
// which camera it goes to, and what the whole application came to.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile/apply_profile.h"
#include "profile/profile_records.h"
#include "records/camera_records.h"

namespace camknob {

// The failure of an application in which some step was refused or differs.
extern const std::string_view notEveryControlTook;

// The camera a profile was saved from: by uid, else the first of its name;
// null when none is there.
const CameraDevice* profileCamera(const std::vector<CameraDevice>& devices, const Profile& profile);

// Whether any step was written (and so the camera is to be read again).
bool wroteAny(const std::vector<std::optional<Status>>& statuses);

struct ProfileApplication {
  std::vector<StepOutcome> outcomes;
  std::optional<std::string> error;  // the answer's failure, when ok is false
};

// The outcomes of the steps and the failure, given the camera as read after
// the writes (null when it was not found again).
ProfileApplication profileApplication(const std::vector<ApplyStep>& steps,
                                      const std::vector<std::optional<Status>>& statuses,
                                      const CameraDevice* now);

}  // namespace camknob
