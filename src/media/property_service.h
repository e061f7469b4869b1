// The media-device property service: five operations on (object, address)
// plus the two string-object helpers. One implementation is linked into each
// executable (CoreMediaIO, the simulated service, ...); only the property
// access layer calls these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "records/property_types.h"

namespace camknob::service {

// Non-zero when the object has the property.
std::uint8_t hasProperty(ObjectId object, const PropertyAddress& address);

Status getPropertyDataSize(ObjectId object, const PropertyAddress& address,
                           std::uint32_t qualifierSize, const void* qualifier,
                           std::uint32_t& dataSize);

Status getPropertyData(ObjectId object, const PropertyAddress& address, std::uint32_t qualifierSize,
                       const void* qualifier, std::uint32_t dataSize, std::uint32_t& dataUsed,
                       void* data);

Status isPropertySettable(ObjectId object, const PropertyAddress& address, std::uint8_t& settable);

Status setPropertyData(ObjectId object, const PropertyAddress& address, std::uint32_t qualifierSize,
                       const void* qualifier, std::uint32_t dataSize, const void* data);

// The whole text of a non-null string reference as UTF-8, embedded NULs
// included; nothing when the service cannot convert it.
std::optional<std::string> stringText(StringRef reference);

// Gives a string reference back to the service; called once per reference read.
void releaseString(StringRef reference);

// For a program that runs long rather than once (the engine, camknobd); camknob
// never calls these. A service answers them from the same state it keeps for
// the operations above.

// Looks at the machine again: a camera that arrived is added and one that
// left is dropped; a camera still there keeps its object id and what was
// described of it, so that its controls are not described again.
void rescanDevices();

// The next reads of the device's values (and its controls') ask the device
// again, rather than answer from what was read since the last look at the
// system's devices or the last write.
void refreshDevice(ObjectId device);

// What the service noticed since it was last asked.
struct ServiceNews {
  bool devicesChanged;                    // cameras may have arrived or left: rescan
  std::vector<ObjectId> openedElsewhere;  // devices another program opened since
};

// Starts watching the machine, once. A descriptor that becomes readable when
// there is news to take, or -1 for a service that has none and is to be asked
// about once a second instead. Watching does no device I/O.
int startWatching();

// The news since the last call (everything unread on the descriptor).
ServiceNews takeNews();

}  // namespace camknob::service
