// The cameras' list as the engine keeps it: each device as last read, with
// its text in the list document, so that a change to one camera re-encodes
// only that camera.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "records/camera_records.h"
#include "records/property_types.h"

namespace camknob::engine {

struct CameraList {
  std::vector<CameraDevice> devices;
  std::vector<std::optional<std::string>> texts;  // by device; nothing when it cannot be encoded
};

CameraList cameraListOf(std::vector<CameraDevice> devices);

// Puts the device as read now in place of the one with its object id (or
// drops that one when it was not read). Whether the list changed.
bool replaceDevice(CameraList& list, ObjectId deviceId, std::optional<CameraDevice> device);

// Whether the two lists show the same cameras with the same readings.
bool sameList(const CameraList& a, const CameraList& b);

// The document camknob prints for the list with ok and, when ok is false, the
// failure: the response line, or its fallback line when it cannot be encoded.
std::string listDocument(const CameraList& list, bool ok, const std::optional<std::string>& error);

}  // namespace camknob::engine
