// The property service over the simulated object store.
#include "media/property_service.h"
#include "media/sim/sim_operations.h"
#include "media/sim/sim_startup.h"

namespace camknob::service {

std::uint8_t hasProperty(ObjectId object, const PropertyAddress& address) {
  return sim::hasProperty(object, address);
}

Status getPropertyDataSize(ObjectId object, const PropertyAddress& address,
                           std::uint32_t qualifierSize, const void* qualifier,
                           std::uint32_t& dataSize) {
  return sim::getPropertyDataSize(object, address, qualifierSize, qualifier, dataSize);
}

Status getPropertyData(ObjectId object, const PropertyAddress& address, std::uint32_t qualifierSize,
                       const void* qualifier, std::uint32_t dataSize, std::uint32_t& dataUsed,
                       void* data) {
  return sim::getPropertyData(object, address, qualifierSize, qualifier, dataSize, dataUsed, data);
}

Status isPropertySettable(ObjectId object, const PropertyAddress& address, std::uint8_t& settable) {
  return sim::isPropertySettable(object, address, settable);
}

Status setPropertyData(ObjectId object, const PropertyAddress& address, std::uint32_t qualifierSize,
                       const void* qualifier, std::uint32_t dataSize, const void* data) {
  return sim::setPropertyData(object, address, qualifierSize, qualifier, dataSize, data);
}

std::optional<std::string> stringText(StringRef reference) {
  return sim::stringText(reference);
}

void releaseString(StringRef reference) {
  sim::releaseString(reference);
}

void rescanDevices() {
  sim::reloadChangedFixture();
}

// The values live in the store: each read already answers from it.
void refreshDevice(ObjectId device) {
  (void)device;
}

int startWatching() {
  return sim::watchFixture();
}

ServiceNews takeNews() {
  return ServiceNews{sim::fixtureChanged(), {}};
}

}  // namespace camknob::service
