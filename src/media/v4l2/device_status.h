// The statuses the V4L2 service answers with, from the tool's one table of
// them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "media/service_status.h"
#include "records/property_types.h"

namespace camknob::v4l2 {

// Every status the service answers with; its documentation lists these.
inline constexpr std::array<Status, 13> answeredStatuses{
    status::locked,    status::readOnly,        status::refused,
    status::badValue,  status::wrongState,      status::gone,
    status::busy,      status::notPermitted,    status::ioError,
    status::badObject, status::unknownProperty, status::badSize,
    status::failed};

// The status for an errno from a device call. Access refusals that a
// control's state explains (read-only, locked) are told apart by the caller.
Status statusOfError(int error);

}  // namespace camknob::v4l2
