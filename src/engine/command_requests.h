// camknob's commands as the engine runs them: the value a delta comes to,
// and which requests may be coalesced.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "engine/engine_requests.h"
#include "records/camera_records.h"

namespace camknob::engine {

// The value a set with a delta writes: the control's value plus the delta,
// held to its range where the control gives one, as text that camknob's
// number syntax reads back; nothing when the control has no value.
std::optional<std::string> valueAfterDelta(const CameraControl& control, double delta);

// Two plain sets one after the other with the same key come to the second
// one's value: the first need not be written. The key of a set that would
// write (a control, and a value that camknob's set reads as a number): its
// device and control texts; nothing for any other request.
using CoalescingKey = std::pair<std::optional<std::string>, std::string>;
std::optional<CoalescingKey> coalescingKey(const RunCommand& command);

}  // namespace camknob::engine
