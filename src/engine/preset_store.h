// Pan/tilt presets: where a camera points (its pan/tilt position, or pan and
// tilt), its zoom and its focus, under a name, for each camera by its uid.
// Each preset is a profile of those controls alone, kept in presets.json
// beside the profiles.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "profile/profile_records.h"
#include "records/camera_records.h"

namespace camknob::engine {

struct Preset {
  std::string name;
  Profile profile;  // its uid is the camera's
};

struct PresetsLoad {
  std::vector<Preset> presets;
  std::string fault;  // why the file could not be used (then no presets)
  bool corrupt;       // read, but not a presets document: to be kept aside
};

std::string presetsPath(const std::string& configFolder);

PresetsLoad loadPresets(const std::string& configFolder);
std::optional<std::string> storePresets(const std::string& configFolder,
                                        const std::vector<Preset>& presets);

// What a preset keeps of the camera: the settable state of its pan, tilt,
// pan/tilt position, zoom and focus controls.
Profile presetOf(const CameraDevice& camera);

// The camera's preset of that name; null when there is none.
const Preset* presetNamed(const std::vector<Preset>& presets, const std::string& uid,
                          const std::string& name);

}  // namespace camknob::engine
