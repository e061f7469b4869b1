// The media-device property service: five operations on (object, address)
// plus the two string-object helpers. One implementation is linked into each
// executable (CoreMediaIO, the simulated service, ...); only the property
// access layer calls these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "media/property_types.h"

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

}  // namespace camknob::service
