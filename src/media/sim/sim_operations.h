// The simulated service's operations, one for each function of the property
// service and with the same meaning, answered from the object store. The
// property service of camknob-sim forwards to them; a test double of another
// platform's API may answer from them too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "records/property_types.h"

namespace camknob::sim {

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

// Nothing for a string scripted as unconvertible.
std::optional<std::string> stringText(StringRef reference);

void releaseString(StringRef reference);

}  // namespace camknob::sim
