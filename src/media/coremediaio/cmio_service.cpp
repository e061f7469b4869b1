// The property service over the platform's CoreMediaIO.
#include <string>

#include "media/coremediaio/cmio_platform.h"
#include "media/property_service.h"

namespace camknob::service {

namespace {

static_assert(sizeof(CMIOObjectPropertyAddress) == sizeof(PropertyAddress));

CMIOObjectPropertyAddress platformAddress(const PropertyAddress& address) {
  return CMIOObjectPropertyAddress{address.mSelector, address.mScope, address.mElement};
}

}  // namespace

std::uint8_t hasProperty(ObjectId object, const PropertyAddress& address) {
  const CMIOObjectPropertyAddress where = platformAddress(address);
  return CMIOObjectHasProperty(object, &where);
}

Status getPropertyDataSize(ObjectId object, const PropertyAddress& address,
                           std::uint32_t qualifierSize, const void* qualifier,
                           std::uint32_t& dataSize) {
  const CMIOObjectPropertyAddress where = platformAddress(address);
  UInt32 size = dataSize;
  const OSStatus status =
      CMIOObjectGetPropertyDataSize(object, &where, qualifierSize, qualifier, &size);
  dataSize = size;
  return status;
}

Status getPropertyData(ObjectId object, const PropertyAddress& address, std::uint32_t qualifierSize,
                       const void* qualifier, std::uint32_t dataSize, std::uint32_t& dataUsed,
                       void* data) {
  const CMIOObjectPropertyAddress where = platformAddress(address);
  UInt32 used = dataUsed;
  const OSStatus status =
      CMIOObjectGetPropertyData(object, &where, qualifierSize, qualifier, dataSize, &used, data);
  dataUsed = used;
  return status;
}

Status isPropertySettable(ObjectId object, const PropertyAddress& address, std::uint8_t& settable) {
  const CMIOObjectPropertyAddress where = platformAddress(address);
  Boolean flag = settable;
  const OSStatus status = CMIOObjectIsPropertySettable(object, &where, &flag);
  settable = flag;
  return status;
}

Status setPropertyData(ObjectId object, const PropertyAddress& address, std::uint32_t qualifierSize,
                       const void* qualifier, std::uint32_t dataSize, const void* data) {
  const CMIOObjectPropertyAddress where = platformAddress(address);
  return CMIOObjectSetPropertyData(object, &where, qualifierSize, qualifier, dataSize, data);
}

std::optional<std::string> stringText(StringRef reference) {
  const auto text = static_cast<CFStringRef>(reference);
  const CFIndex length = CFStringGetLength(text);
  // The most bytes the text can take; kCFNotFound when that does not fit.
  const CFIndex capacity = CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8);
  if (capacity == kCFNotFound || capacity < 0) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(capacity), '\0');
  CFIndex used = 0;
  // By length, not up to a terminator, so that an embedded NUL stays. A loss
  // byte of 0 stops at the first character UTF-8 cannot carry.
  const CFIndex converted =
      CFStringGetBytes(text, CFRange{0, length}, kCFStringEncodingUTF8, 0, false,
                       reinterpret_cast<UInt8*>(bytes.data()), capacity, &used);
  if (converted != length || used < 0 || used > capacity) return std::nullopt;
  bytes.resize(static_cast<std::size_t>(used));
  return bytes;
}

void releaseString(StringRef reference) {
  CFRelease(static_cast<CFTypeRef>(reference));
}

// CoreMediaIO's properties are live: every read asks the device, and the
// system's device list is the platform's own. Watching is in cmio_watching.cpp.
void rescanDevices() {}

void refreshDevice(ObjectId device) {
  (void)device;
}

}  // namespace camknob::service
