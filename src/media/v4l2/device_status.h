// The statuses the V4L2 service answers with, each four characters that say
// what went wrong when a message shows them.
#pragma once

#include <cstdint>
#include <string_view>

#include "media/property_types.h"

namespace camknob::v4l2 {

namespace status {
inline constexpr Status locked = static_cast<Status>(fourCharCode("lock"));
inline constexpr Status readOnly = static_cast<Status>(fourCharCode("rdon"));
inline constexpr Status refused = static_cast<Status>(fourCharCode("nope"));
inline constexpr Status badValue = static_cast<Status>(fourCharCode("!val"));
inline constexpr Status wrongState = static_cast<Status>(fourCharCode("!sta"));
inline constexpr Status gone = static_cast<Status>(fourCharCode("gone"));
inline constexpr Status busy = static_cast<Status>(fourCharCode("busy"));
inline constexpr Status noPermission = static_cast<Status>(fourCharCode("perm"));
inline constexpr Status ioError = static_cast<Status>(fourCharCode("i/o!"));
inline constexpr Status badObject = static_cast<Status>(fourCharCode("!obj"));
inline constexpr Status unknownProperty = static_cast<Status>(fourCharCode("who?"));
inline constexpr Status badSize = static_cast<Status>(fourCharCode("!siz"));
inline constexpr Status failed = static_cast<Status>(fourCharCode("fail"));
}  // namespace status

// The status for an errno from a device call. Access refusals that a
// control's state explains (read-only, locked) are told apart by the caller.
Status statusOfError(int error);

}  // namespace camknob::v4l2
