#include "media/property_access.h"

#include "media/property_service.h"

namespace camknob {

namespace {

// The one rule behind every fixed-size read: the size must be exactly N before
// any data is asked for, and the destination starts zero-filled.
template <typename Value>
std::optional<Value> readFixed(ObjectId objectId, Selector selector, Value zero,
                               const std::uint32_t* qualifier = nullptr) {
  const std::uint32_t qualifierSize = qualifier ? sizeof(*qualifier) : 0;
  const auto size = propertySize(objectId, selector, qualifier, qualifierSize);
  if (!size || *size != sizeof(Value)) return std::nullopt;
  Value value = zero;
  std::uint32_t used = 0;
  const PropertyAddress where = address(selector);
  if (service::getPropertyData(objectId, where, qualifierSize, qualifier, sizeof(Value), used,
                               &value) != noErr)
    return std::nullopt;
  return value;
}

// The text of a string reference read, released once, text or not.
std::optional<std::string> textOf(std::optional<StringRef> reference) {
  if (!reference || *reference == nullptr) return std::nullopt;
  std::optional<std::string> text = service::stringText(*reference);
  service::releaseString(*reference);
  return text;
}

template <typename Value>
Status writeFixed(ObjectId objectId, Selector selector, Value value) {
  const PropertyAddress where = address(selector);
  return service::setPropertyData(objectId, where, 0, nullptr, sizeof(Value), &value);
}

}  // namespace

PropertyAddress address(Selector selector) {
  return PropertyAddress{static_cast<std::uint32_t>(selector), globalScope, mainElement};
}

std::optional<std::uint32_t> propertySize(ObjectId objectId, Selector selector,
                                          const void* qualifier, std::uint32_t qualifierSize) {
  const PropertyAddress where = address(selector);
  if (service::hasProperty(objectId, where) == 0) return std::nullopt;
  std::uint32_t size = 0;
  if (service::getPropertyDataSize(objectId, where, qualifierSize, qualifier, size) != noErr)
    return std::nullopt;
  return size;
}

bool isSettable(ObjectId objectId, Selector selector) {
  const PropertyAddress where = address(selector);
  if (service::hasProperty(objectId, where) == 0) return false;
  std::uint8_t flag = 0;
  if (service::isPropertySettable(objectId, where, flag) != noErr) return false;
  return flag != 0;
}

std::optional<std::uint32_t> readUInt32(ObjectId objectId, Selector selector) {
  return readFixed<std::uint32_t>(objectId, selector, 0);
}

std::optional<float> readFloat32(ObjectId objectId, Selector selector) {
  return readFixed<float>(objectId, selector, 0.0f);
}

std::optional<AudioValueRange> readRange(ObjectId objectId, Selector selector) {
  return readFixed<AudioValueRange>(objectId, selector, AudioValueRange{0.0, 0.0});
}

std::optional<std::string> readString(ObjectId objectId, Selector selector) {
  return textOf(readFixed<StringRef>(objectId, selector, nullptr));
}

std::optional<std::string> readItemString(ObjectId objectId, Selector selector,
                                          std::uint32_t item) {
  return textOf(readFixed<StringRef>(objectId, selector, nullptr, &item));
}

std::optional<std::int64_t> readItemInt64(ObjectId objectId, Selector selector,
                                          std::uint32_t item) {
  const auto bytes = readFixed<std::array<std::uint8_t, 8>>(objectId, selector, {}, &item);
  if (!bytes) return std::nullopt;
  std::uint64_t bits = 0;
  for (std::size_t byte = 0; byte < bytes->size(); ++byte)
    bits |= std::uint64_t((*bytes)[byte]) << (8 * byte);
  return static_cast<std::int64_t>(bits);
}

std::optional<std::vector<std::uint8_t>> readBytes(ObjectId objectId, Selector selector) {
  const auto size = propertySize(objectId, selector, nullptr);
  if (!size || *size == 0 || *size > maxPropertyBytes) return std::nullopt;
  std::vector<std::uint8_t> bytes(*size, 0);
  std::uint32_t used = 0;
  const PropertyAddress where = address(selector);
  if (service::getPropertyData(objectId, where, 0, nullptr, *size, used, bytes.data()) != noErr)
    return std::nullopt;
  return bytes;
}

std::vector<ObjectId> readObjectIds(ObjectId objectId, Selector selector,
                                    std::optional<std::uint32_t> qualifierClass) {
  const std::uint32_t qualifierValue = qualifierClass.value_or(0);
  const void* qualifier = qualifierClass ? &qualifierValue : nullptr;
  const std::uint32_t qualifierSize = qualifierClass ? sizeof(qualifierValue) : 0;

  const auto size = propertySize(objectId, selector, qualifier, qualifierSize);
  if (!size || *size == 0 || *size > maxPropertyBytes) return {};
  // Room for every byte the service was told about, even a ragged tail, so
  // the data call can never write past the storage; only whole ids are kept.
  const std::uint32_t wholeIds = *size / sizeof(ObjectId);
  std::vector<ObjectId> ids(wholeIds + (*size % sizeof(ObjectId) != 0 ? 1 : 0), 0);
  std::uint32_t used = 0;
  const PropertyAddress where = address(selector);
  if (service::getPropertyData(objectId, where, qualifierSize, qualifier, *size, used,
                               ids.data()) != noErr)
    return {};
  ids.resize(wholeIds);
  return ids;
}

Status writeUInt32(ObjectId objectId, Selector selector, std::uint32_t value) {
  return writeFixed(objectId, selector, value);
}

Status writeFloat32(ObjectId objectId, Selector selector, float value) {
  return writeFixed(objectId, selector, value);
}

Status writeBytes(ObjectId objectId, Selector selector, const std::vector<std::uint8_t>& bytes) {
  const PropertyAddress where = address(selector);
  return service::setPropertyData(objectId, where, 0, nullptr,
                                  static_cast<std::uint32_t>(bytes.size()), bytes.data());
}

}  // namespace camknob
