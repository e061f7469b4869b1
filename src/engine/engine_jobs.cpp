// The engine's answer to each kind of request, on the engine thread.
#include <algorithm>
#include <array>
#include <iostream>

#include "commands/device_selection.h"
#include "commands/dispatch.h"
#include "discovery/list_devices.h"
#include "engine/command_requests.h"
#include "engine/engine_answers.h"
#include "engine/engine_state.h"
#include "engine/preset_store.h"
#include "engine/profile_store.h"
#include "engine/stored_document.h"
#include "json/json_object.h"
#include "profile/apply_profile.h"
#include "profile/profile_answers.h"
#include "profile/profile_application.h"
#include "profile/saved_profile.h"

namespace camknob::engine {

// A success is the document just published for the event stream (made once,
// however large the system).
Answer commandAnswer(const Engine& engine, const CommandFailure& failure) {
  if (!failure && engine.published.document) return Answer{200, *engine.published.document};
  return Answer{failure ? 422 : 200, listDocument(engine.core.cameras, !failure, failure)};
}

const CameraDevice* deviceWithId(const Engine& engine, ObjectId id) {
  for (const CameraDevice& device : engine.core.cameras.devices)
    if (device.objectId == id) return &device;
  return nullptr;
}

const CameraDevice* freshDevice(Engine& engine, const std::optional<std::string>& wanted) {
  const CameraDevice* device =
      selectedDevice(engine.core.cameras.devices, wanted ? std::optional<std::string_view>(*wanted)
                                                         : std::optional<std::string_view>());
  if (device == nullptr) return nullptr;
  const ObjectId id = device->objectId;
  rereadDevice(engine, id);
  return deviceWithId(engine, id);
}

namespace {

constexpr std::string_view setRequirement = "set requires --control and a numeric --value.";

Answer fault(int status, std::string_view message) {
  return Answer{status, json::errorDocument(message)};
}

Answer listCameras(Engine& engine) {
  rereadAll(engine);
  return commandAnswer(engine, std::nullopt);
}

bool movesCamera(std::string_view command) {
  constexpr std::array<std::string_view, 3> moving{"move", "home", "absolute"};
  return std::find(moving.begin(), moving.end(), command) != moving.end();
}

// A set with a delta, as the set of the value it comes to.
std::variant<CommandRequest, CommandFailure> deltaRequest(Engine& engine,
                                                          const RunCommand& command) {
  const CameraDevice* device = freshDevice(engine, command.request.device);
  if (device == nullptr) return CommandFailure{std::string(deviceNotFound)};
  const auto& kind = command.request.control;
  const CameraControl* control = kind ? controlOfKind(*device, *kind) : nullptr;
  auto value = control ? valueAfterDelta(*control, *command.delta) : std::nullopt;
  if (!value) return CommandFailure{std::string(setRequirement)};
  CommandRequest request = command.request;
  request.value = std::move(value);
  return request;
}

Answer runCommand(Engine& engine, const RunCommand& command) {
  if (command.lease && renewLease(engine, command.request)) return commandAnswer(engine, {});
  CommandRequest request = command.request;
  if (command.delta) {
    auto made = deltaRequest(engine, command);
    if (auto* failure = std::get_if<CommandFailure>(&made)) {
      publish(engine);
      return commandAnswer(engine, *failure);
    }
    request = std::move(std::get<CommandRequest>(made));
  }
  if (request.command == "list") return listCameras(engine);
  const CommandOutcome outcome = performCommand(request, engine.core.cameras.devices);
  // A command that moves the camera takes the place of its leased move.
  if (outcome.device != nullptr && movesCamera(request.command))
    endLease(engine, outcome.device->objectId);
  // Any move made, a stop among them: stopping a camera that stands is harmless.
  if (request.command == "move" && outcome.device != nullptr && !outcome.failure) {
    noteMovement(engine, outcome.device->objectId);
    if (command.lease) takeLease(engine, outcome.device->objectId, request);
  }
  if (outcome.device != nullptr) {
    // Only the device selected can have changed: it is read again now, and
    // once more when it settled.
    const ObjectId id = outcome.device->objectId;
    rereadDevice(engine, id);
    settleLater(engine, id);
  }
  publish(engine);
  return commandAnswer(engine, outcome.failure);
}

// Applies the profile to the camera; the reply gets camknob-profile's apply
// answer (through `wrap`), after the camera settled when anything was written.
void applyProfile(Engine& engine, const Profile& profile, const CameraDevice& camera,
                  const Reply& reply,
                  std::function<Answer(const std::string& applied, bool ok)> wrap) {
  auto before = std::make_shared<const CameraDevice>(camera);
  auto saved = std::make_shared<const Profile>(profile);
  auto steps = std::make_shared<const std::vector<ApplyStep>>(applySteps(*saved, *before));
  auto statuses = std::make_shared<const std::vector<std::optional<Status>>>(writeSteps(*steps));
  const auto finish = [before, saved, steps, statuses, reply, wrap](Engine& e) {
    const ObjectId id = before->objectId;
    const CameraDevice* now = deviceWithId(e, id);
    if (now != nullptr && now->uid != before->uid) now = nullptr;
    const ProfileApplication applied = profileApplication(*steps, *statuses, now);
    const auto text = appliedAnswer(applied.outcomes, now, applied.error);
    reply->set_value(
        wrap(text.value_or(std::string(profileFallbackAnswer)), text && !applied.error));
  };
  if (!wroteAny(*statuses)) {
    finish(engine);
    return;
  }
  later(engine, settleTime, [finish, id = before->objectId](Engine& e) {
    rereadDevice(e, id);
    publish(e);
    finish(e);
  });
}

Answer plainApply(const std::string& applied, bool ok) {
  return Answer{ok ? 200 : 422, applied};
}

// A profile by name, or the answer saying why it cannot be had.
std::variant<Profile, Answer> namedProfile(Engine& engine, const std::string& name) {
  if (!isProfileName(name)) return fault(400, profileNameRule);
  ProfileLoad load = loadProfile(engine.core.settings.configFolder, name);
  if (load.missing) return fault(404, "No profile is named " + name + ".");
  if (!load.profile) return fault(422, "Profile " + name + " cannot be used: " + load.fault + ".");
  return std::move(*load.profile);
}

const CameraDevice* profileTarget(Engine& engine, const Profile& profile,
                                  const std::optional<std::string>& device) {
  return device ? deviceMatching(engine.core.cameras.devices, *device)
                : profileCamera(engine.core.cameras.devices, profile);
}

Answer saveProfile(Engine& engine, const SaveProfile& request) {
  if (!isProfileName(request.name)) return fault(400, profileNameRule);
  const CameraDevice* camera = freshDevice(engine, request.device);
  publish(engine);
  if (camera == nullptr) return Answer{422, *failureAnswer(deviceNotFound, false)};
  const Profile profile = savedProfile(*camera);
  const std::string& folder = engine.core.settings.configFolder;
  const std::string path = profilePath(folder, request.name);
  if (auto fault = storeProfile(folder, request.name, profile))
    return Answer{500, *failureAnswer("Cannot write " + path + ": " + *fault + ".", false)};
  noteStored(engine, Stored::profiles);
  return Answer{200, savedAnswer(profile, path).value_or(std::string(profileFallbackAnswer))};
}

std::optional<Answer> applyNamedProfile(Engine& engine, const ApplyProfile& request,
                                        const Reply& reply) {
  auto profile = namedProfile(engine, request.name);
  if (auto* answer = std::get_if<Answer>(&profile)) return *answer;
  const Profile& loaded = std::get<Profile>(profile);
  const CameraDevice* camera = profileTarget(engine, loaded, request.device);
  if (camera == nullptr) return Answer{422, *failureAnswer(deviceNotFound, true)};
  const ObjectId id = camera->objectId;
  rereadDevice(engine, id);
  camera = deviceWithId(engine, id);
  if (camera == nullptr) return Answer{422, *failureAnswer(deviceNotFound, true)};
  applyProfile(engine, loaded, *camera, reply, plainApply);
  return std::nullopt;
}

// The holds of the profile are given up with it: stored first, so that a
// failure to store them, or to remove the profile, leaves both as they were.
Answer deleteProfile(Engine& engine, const DeleteProfile& request) {
  if (!isProfileName(request.name)) return fault(400, profileNameRule);
  Core& core = engine.core;
  const std::string& folder = core.settings.configFolder;
  if (!profileExists(folder, request.name))
    return fault(404, "No profile is named " + request.name + ".");
  std::vector<std::string> released;
  Holds holds = core.holds;
  for (const auto& [uid, profile] : core.holds)
    if (profile == request.name) released.push_back(uid);
  for (const std::string& uid : released) holds.erase(uid);
  if (!released.empty())
    if (auto failed = storeHolds(folder, holds))
      return fault(500, "Cannot release the holds of " + request.name + ": " + *failed + ".");
  const ProfileRemoval removal = removeProfile(folder, request.name);
  if (removal.missing || removal.fault) {
    if (!released.empty()) (void)storeHolds(folder, core.holds);
    if (removal.missing) return fault(404, "No profile is named " + request.name + ".");
    return fault(
        500, "Cannot delete " + profilePath(folder, request.name) + ": " + *removal.fault + ".");
  }
  core.holds = std::move(holds);
  noteStored(engine, Stored::profiles);
  if (!released.empty()) noteStored(engine, Stored::holds);
  return Answer{200, deletedProfileAnswer(request.name, released)};
}

std::optional<Answer> holdProfile(Engine& engine, const HoldProfile& request, const Reply& reply) {
  auto profile = namedProfile(engine, request.profile);
  if (auto* answer = std::get_if<Answer>(&profile)) return *answer;
  const Profile& loaded = std::get<Profile>(profile);
  const CameraDevice* camera = profileTarget(engine, loaded, request.device);
  if (request.device && camera == nullptr) return fault(422, deviceNotFound);
  const std::string uid = camera ? camera->uid : loaded.uid;
  Core& core = engine.core;
  Holds holds = core.holds;
  holds[uid] = request.profile;
  if (auto failed = storeHolds(core.settings.configFolder, holds))
    return fault(500, "Cannot keep the hold: " + *failed + ".");
  core.holds = std::move(holds);
  noteStored(engine, Stored::holds);
  if (camera == nullptr) return Answer{200, heldAnswer(core.holds, uid, request.profile, {}, true)};
  // The hold is kept whatever applying it now gives; ok says whether it all
  // went on the camera.
  applyProfile(
      engine, loaded, *camera, reply,
      [holds = core.holds, uid, name = request.profile](const std::string& applied, bool ok) {
        return Answer{ok ? 200 : 422, heldAnswer(holds, uid, name, applied, ok)};
      });
  return std::nullopt;
}

Answer releaseHold(Engine& engine, const ReleaseHold& request) {
  Core& core = engine.core;
  std::string uid;
  if (request.device && core.holds.count(*request.device) != 0) {
    uid = *request.device;  // a held camera that is not there, by its uid
  } else {
    const CameraDevice* camera = selectedDevice(
        core.cameras.devices, request.device ? std::optional<std::string_view>(*request.device)
                                             : std::optional<std::string_view>());
    if (camera == nullptr) return fault(422, deviceNotFound);
    uid = camera->uid;
  }
  const auto hold = core.holds.find(uid);
  if (hold == core.holds.end()) return fault(404, "This camera is not held.");
  const std::string profile = hold->second;
  Holds holds = core.holds;
  holds.erase(uid);
  if (auto failed = storeHolds(core.settings.configFolder, holds))
    return fault(500, "Cannot release the hold: " + *failed + ".");
  core.holds = std::move(holds);
  noteStored(engine, Stored::holds);
  return Answer{200, releasedAnswer(core.holds, uid, profile)};
}

// The presets file, or the answer saying why it cannot be used. A file that
// is not a presets document is kept aside, and said so: the presets start
// anew.
std::variant<std::vector<Preset>, Answer> storedPresets(const Engine& engine) {
  const std::string& folder = engine.core.settings.configFolder;
  PresetsLoad load = loadPresets(folder);
  if (load.fault.empty()) return std::move(load.presets);
  if (load.corrupt) {
    const KeptAside aside = keepAside(presetsPath(folder));
    if (aside.path) {
      std::cerr << "camknobd: presets: " << load.fault << ": kept aside as " << *aside.path
                << "; starting anew" << std::endl;
      return std::vector<Preset>{};
    }
    load.fault += " (and it cannot be kept aside: " + aside.fault + ")";
  }
  return fault(500, "The presets cannot be read: " + load.fault + ".");
}

Answer listPresets(Engine& engine, const ListPresets& request) {
  auto presets = storedPresets(engine);
  if (auto* answer = std::get_if<Answer>(&presets)) return *answer;
  std::optional<std::string> uid;
  if (request.device) {
    const CameraDevice* camera = deviceMatching(engine.core.cameras.devices, *request.device);
    if (camera == nullptr) return fault(422, deviceNotFound);
    uid = camera->uid;
  }
  std::vector<const Preset*> shown;
  for (const Preset& preset : std::get<std::vector<Preset>>(presets))
    if (!uid || preset.profile.uid == *uid) shown.push_back(&preset);
  return Answer{200, presetsAnswer(shown)};
}

Answer savePreset(Engine& engine, const SavePreset& request) {
  if (!isProfileName(request.name)) return fault(400, profileNameRule);
  auto stored = storedPresets(engine);
  if (auto* answer = std::get_if<Answer>(&stored)) return *answer;
  const CameraDevice* camera = freshDevice(engine, request.device);
  publish(engine);
  if (camera == nullptr) return fault(422, deviceNotFound);
  Preset preset{request.name, presetOf(*camera)};
  if (preset.profile.controls.empty())
    return fault(422, "This camera has no pan, tilt, zoom or focus to keep.");
  auto& presets = std::get<std::vector<Preset>>(stored);
  std::erase_if(presets, [&](const Preset& old) {
    return old.name == preset.name && old.profile.uid == preset.profile.uid;
  });
  presets.push_back(preset);
  if (auto failed = storePresets(engine.core.settings.configFolder, presets))
    return fault(500, "Cannot keep the preset: " + *failed + ".");
  noteStored(engine, Stored::presets);
  return Answer{200, presetAnswer(preset)};
}

// The named preset of the camera the request names, or why there is none.
std::variant<Preset, Answer> cameraPreset(Engine& engine, const std::string& name,
                                          const std::optional<std::string>& device) {
  if (!isProfileName(name)) return fault(400, profileNameRule);
  auto stored = storedPresets(engine);
  if (auto* answer = std::get_if<Answer>(&stored)) return *answer;
  const CameraDevice* camera =
      selectedDevice(engine.core.cameras.devices, device ? std::optional<std::string_view>(*device)
                                                         : std::optional<std::string_view>());
  if (camera == nullptr) return fault(422, deviceNotFound);
  const Preset* preset = presetNamed(std::get<std::vector<Preset>>(stored), camera->uid, name);
  if (preset == nullptr) return fault(404, "This camera has no preset named " + name + ".");
  return *preset;
}

std::optional<Answer> recallPreset(Engine& engine, const RecallPreset& request,
                                   const Reply& reply) {
  auto preset = cameraPreset(engine, request.name, request.device);
  if (auto* answer = std::get_if<Answer>(&preset)) return *answer;
  const Profile& profile = std::get<Preset>(preset).profile;
  const CameraDevice* camera = profileCamera(engine.core.cameras.devices, profile);
  if (camera == nullptr) return Answer{422, *failureAnswer(deviceNotFound, true)};
  const ObjectId id = camera->objectId;
  rereadDevice(engine, id);
  camera = deviceWithId(engine, id);
  if (camera == nullptr) return Answer{422, *failureAnswer(deviceNotFound, true)};
  applyProfile(engine, profile, *camera, reply, plainApply);
  return std::nullopt;
}

Answer deletePreset(Engine& engine, const DeletePreset& request) {
  auto preset = cameraPreset(engine, request.name, request.device);
  if (auto* answer = std::get_if<Answer>(&preset)) return *answer;
  const Preset& gone = std::get<Preset>(preset);
  auto stored = storedPresets(engine);
  if (auto* answer = std::get_if<Answer>(&stored)) return *answer;
  auto& presets = std::get<std::vector<Preset>>(stored);
  std::erase_if(presets, [&](const Preset& old) {
    return old.name == gone.name && old.profile.uid == gone.profile.uid;
  });
  if (auto failed = storePresets(engine.core.settings.configFolder, presets))
    return fault(500, "Cannot delete the preset: " + *failed + ".");
  noteStored(engine, Stored::presets);
  return Answer{200, deletedPresetAnswer(gone)};
}

template <typename... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};
template <typename... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

}  // namespace

std::optional<Answer> answerRequest(Engine& engine, Request& request, const Reply& reply) {
  return std::visit(
      Overloaded{
          [&](const ListCameras&) -> std::optional<Answer> { return listCameras(engine); },
          [&](const RunCommand& r) -> std::optional<Answer> { return runCommand(engine, r); },
          [&](const ListProfiles&) -> std::optional<Answer> {
            return Answer{200, profilesAnswer(storedProfiles(engine.core.settings.configFolder),
                                              engine.core.holds)};
          },
          [&](const SaveProfile& r) -> std::optional<Answer> { return saveProfile(engine, r); },
          [&](const ApplyProfile& r) { return applyNamedProfile(engine, r, reply); },
          [&](const DeleteProfile& r) -> std::optional<Answer> { return deleteProfile(engine, r); },
          [&](const ListHolds&) -> std::optional<Answer> {
            return Answer{200, holdsAnswer(engine.core.holds)};
          },
          [&](const HoldProfile& r) { return holdProfile(engine, r, reply); },
          [&](const ReleaseHold& r) -> std::optional<Answer> { return releaseHold(engine, r); },
          [&](const ListPresets& r) -> std::optional<Answer> { return listPresets(engine, r); },
          [&](const SavePreset& r) -> std::optional<Answer> { return savePreset(engine, r); },
          [&](const RecallPreset& r) { return recallPreset(engine, r, reply); },
          [&](const DeletePreset& r) -> std::optional<Answer> { return deletePreset(engine, r); },
          [&](const ListDetails&) -> std::optional<Answer> { return listDetails(engine); },
          [&](const ResetControls& r) -> std::optional<Answer> { return resetControls(engine, r); },
      },
      request);
}

}  // namespace camknob::engine
