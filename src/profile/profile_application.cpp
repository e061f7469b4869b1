#include "profile/profile_application.h"

#include "commands/device_selection.h"

namespace camknob {

const std::string_view notEveryControlTook = "Not every control took its value.";

const CameraDevice* profileCamera(const std::vector<CameraDevice>& devices,
                                  const Profile& profile) {
  for (const CameraDevice& device : devices)
    if (device.uid == profile.uid) return &device;
  for (const CameraDevice& device : devices)
    if (device.name == profile.name) return &device;
  return nullptr;
}

bool wroteAny(const std::vector<std::optional<Status>>& statuses) {
  for (const auto& status : statuses)
    if (status) return true;
  return false;
}

ProfileApplication profileApplication(const std::vector<ApplyStep>& steps,
                                      const std::vector<std::optional<Status>>& statuses,
                                      const CameraDevice* now) {
  ProfileApplication application{stepOutcomes(steps, statuses, now), std::nullopt};
  if (now == nullptr) {
    application.error = std::string(deviceNotFound);
  } else if (!everyStepTook(application.outcomes)) {
    application.error = std::string(notEveryControlTook);
  }
  return application;
}

}  // namespace camknob
