// Choosing the device a command acts on, and the control of it that is named.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "commands/command_request.h"
#include "records/camera_records.h"

namespace camknob {

// What a command answers when no device passes the selection.
extern const std::string_view deviceNotFound;

// The first device whose uid equals the text, or whose name equals it or
// contains it ignoring case; null when none does.
const CameraDevice* deviceMatching(const std::vector<CameraDevice>& devices,
                                   std::string_view wanted);

// deviceMatching the text, or the first device when there is no text.
const CameraDevice* selectedDevice(const std::vector<CameraDevice>& devices,
                                   std::optional<std::string_view> wanted);

// By the request's device: the first device whose uid equals the text, or
// whose name equals it or contains it ignoring case; the first device when
// the request names none. Null when none passes.
const CameraDevice* selectedDevice(const std::vector<CameraDevice>& devices,
                                   const CommandRequest& request);

// The first control of the device with exactly this kind, or null.
const CameraControl* controlOfKind(const CameraDevice& device, std::string_view kind);

}  // namespace camknob
