// The statuses the tool's own services answer with (the simulated and the
// V4L2 one; CoreMediaIO has the platform's), one name each: four characters
// that say what went wrong when a message shows them.
#pragma once

#include "records/property_types.h"

namespace camknob::status {

constexpr Status code(std::string_view text) {
  return static_cast<Status>(fourCharCode(text));
}

inline constexpr Status badObject = code("!obj");        // no object has the id
inline constexpr Status unknownProperty = code("who?");  // the object has no such property
inline constexpr Status badSize = code("!siz");          // the data does not fit the property
inline constexpr Status refused = code("nope");          // the property cannot be written
inline constexpr Status notPermitted = code("perm");     // the user may not make the change
inline constexpr Status locked = code("lock");           // held by the device's state
inline constexpr Status readOnly = code("rdon");         // the device never takes a write
inline constexpr Status badValue = code("!val");         // a value the device does not take
inline constexpr Status wrongState = code("!sta");       // not in the device's present state
inline constexpr Status gone = code("gone");             // the device went away
inline constexpr Status busy = code("busy");             // the device is busy with another
inline constexpr Status ioError = code("i/o!");          // the device did not answer right
inline constexpr Status failed = code("fail");           // any other failure of the device
inline constexpr Status unspecified = code("what");      // a failure with no cause to name

}  // namespace camknob::status
