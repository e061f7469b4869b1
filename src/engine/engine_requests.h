// What a client can ask of the engine, each request as a plain record, and
// the engine's answer. The HTTP API turns each route and body into one of
// these; the engine turns each into one answer.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "commands/command_request.h"

namespace camknob::engine {

// The cameras as `camknob list` prints them, read at that moment.
struct ListCameras {};

// One of camknob's commands, answered with the document camknob prints for a
// command line of that request. With `delta`, a `set` whose value is the
// control's current value plus the delta, held to its range: the engine
// gives the request that value.
//
// With `lease`, a move that stops by itself: the engine stops the camera
// when the same move is not asked again within `moveLeaseTime` (a page that
// closed, a stop that got lost). Asked again, the same move only renews the
// lease; any other command on the camera ends it.
struct RunCommand {
  CommandRequest request;
  std::optional<double> delta;
  bool lease = false;
};

// The controls' details (step, default, menu items, unit) of every camera,
// in the list's order, as read when each camera was described.
struct ListDetails {};

// A control written back to its default, its automatic mode switched back
// on where the device starts automatic; without `control`, every control of
// the camera that has a default. Answered as a set is.
struct ResetControls {
  std::optional<std::string> device;  // camknob's --device rules
  std::optional<std::string> control;
};

// Profiles, stored by name in the profiles folder (camknob-profile's format).
struct ListProfiles {};
struct SaveProfile {
  std::string name;
  std::optional<std::string> device;  // camknob's --device rules; the first camera without it
};
struct ApplyProfile {
  std::string name;
  std::optional<std::string> device;  // else the camera the profile was saved from
};
struct DeleteProfile {
  std::string name;
};

// Holds: "keep this camera at this profile", by the camera's uid.
struct ListHolds {};
struct HoldProfile {
  std::string profile;
  std::optional<std::string> device;  // else the camera the profile was saved from
};
struct ReleaseHold {
  std::optional<std::string> device;  // camknob's --device rules; the first camera without it
};

// Pan/tilt presets: a camera's position, zoom and focus under a name.
struct ListPresets {
  std::optional<std::string> device;  // only that camera's; every camera's without it
};
struct SavePreset {
  std::string name;
  std::optional<std::string> device;
};
struct RecallPreset {
  std::string name;
  std::optional<std::string> device;
};
struct DeletePreset {
  std::string name;
  std::optional<std::string> device;
};

using Request = std::variant<ListCameras, RunCommand, ListProfiles, SaveProfile, ApplyProfile,
                             DeleteProfile, ListHolds, HoldProfile, ReleaseHold, ListPresets,
                             SavePreset, RecallPreset, DeletePreset, ListDetails, ResetControls>;

// An HTTP status and a JSON document of one line.
struct Answer {
  int status;
  std::string body;
};

}  // namespace camknob::engine
