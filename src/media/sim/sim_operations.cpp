#include "media/sim/sim_operations.h"

#include <algorithm>
#include <cstring>

#include "media/sim/sim_state.h"

namespace camknob::sim {

namespace {

void record(Operation operation, ObjectId object, const PropertyAddress& address,
            std::uint32_t qualifierSize, const void* qualifier, std::uint32_t dataSize = 0,
            const void* data = nullptr) {
  State& current = state();
  if (!current.recording) return;
  const auto* q = static_cast<const std::uint8_t*>(qualifier);
  const auto* d = static_cast<const std::uint8_t*>(data);
  current.log.push_back(Call{
      .operation = operation,
      .object = object,
      .selector = address.mSelector,
      .scope = address.mScope,
      .element = address.mElement,
      .qualifier =
          q ? std::vector<std::uint8_t>(q, q + qualifierSize) : std::vector<std::uint8_t>{},
      .dataSize = dataSize,
      .data = d ? std::vector<std::uint8_t>(d, d + dataSize) : std::vector<std::uint8_t>{},
      .at = std::chrono::steady_clock::now(),
  });
}

const Script* scriptFor(ObjectId object, std::uint32_t selector) {
  const auto& objects = state().system.objects;
  const auto found = objects.find(object);
  if (found == objects.end()) return nullptr;
  const auto script = found->second.scripts.find(selector);
  return script == found->second.scripts.end() ? nullptr : &script->second;
}

// The property itself, or the status that says why there is none.
struct Lookup {
  Object* object;
  Value* value;
  Status status;
};

Lookup lookUp(ObjectId objectId, std::uint32_t selector) {
  auto& objects = state().system.objects;
  const auto object = objects.find(objectId);
  if (object == objects.end()) return {nullptr, nullptr, badObject};
  const auto property = object->second.properties.find(selector);
  if (property == object->second.properties.end())
    return {&object->second, nullptr, unknownProperty};
  return {&object->second, &property->second, noErr};
}

// A write carries the value in the property's shape; byte blocks take any length.
bool fitsShape(const Value& value, std::uint32_t dataSize) {
  switch (value.shape) {
    case Shape::Bytes:
      return true;
    case Shape::Ids:
      return dataSize % sizeof(ObjectId) == 0;
    case Shape::String:
      return false;  // a reference cannot be handed in
    default:
      return dataSize == value.bytes.size();
  }
}

}  // namespace

std::uint8_t hasProperty(ObjectId object, const PropertyAddress& address) {
  record(Operation::HasProperty, object, address, 0, nullptr);
  if (const auto* script = scriptFor(object, address.mSelector); script && script->hasAnswer)
    return *script->hasAnswer;
  return lookUp(object, address.mSelector).status == noErr ? 1 : 0;
}

Status getPropertyDataSize(ObjectId object, const PropertyAddress& address,
                           std::uint32_t qualifierSize, const void* qualifier,
                           std::uint32_t& dataSize) {
  record(Operation::GetDataSize, object, address, qualifierSize, qualifier);
  const auto* script = scriptFor(object, address.mSelector);
  if (script && script->sizeStatus) return *script->sizeStatus;
  if (script && script->reportedSize) {
    dataSize = *script->reportedSize;
    return noErr;
  }
  const Lookup found = lookUp(object, address.mSelector);
  if (found.status != noErr) return found.status;
  dataSize = naturalSize(*found.value);
  return noErr;
}

Status getPropertyData(ObjectId object, const PropertyAddress& address, std::uint32_t qualifierSize,
                       const void* qualifier, std::uint32_t dataSize, std::uint32_t& dataUsed,
                       void* data) {
  record(Operation::GetData, object, address, qualifierSize, qualifier, dataSize);
  const auto* script = scriptFor(object, address.mSelector);
  if (script && script->dataStatus) return *script->dataStatus;
  const Lookup found = lookUp(object, address.mSelector);
  if (found.status != noErr) return found.status;

  std::uint32_t count = std::min(dataSize, naturalSize(*found.value));
  if (script && script->bytesFilled) count = std::min(count, *script->bytesFilled);

  if (found.value->shape == Shape::String) {
    // Only a whole reference is ever handed out.
    if ((script && script->nullString) || count != sizeof(StringRef)) {
      dataUsed = 0;
      return noErr;
    }
    const auto* text =
        new HandedString{found.value->text, !(script && script->unconvertibleString)};
    state().liveStrings.insert(text);
    std::memcpy(data, &text, sizeof text);
  } else if (count != 0) {
    std::memcpy(data, found.value->bytes.data(), count);
  }
  dataUsed = count;
  return noErr;
}

Status isPropertySettable(ObjectId object, const PropertyAddress& address, std::uint8_t& settable) {
  record(Operation::IsSettable, object, address, 0, nullptr);
  const auto* script = scriptFor(object, address.mSelector);
  if (script && script->settableStatus) return *script->settableStatus;
  const Lookup found = lookUp(object, address.mSelector);
  if (found.status != noErr) return found.status;
  if (script && script->settableFlag) {
    settable = *script->settableFlag;
  } else {
    settable = found.object->settable.count(address.mSelector) != 0 ? 1 : 0;
  }
  return noErr;
}

Status setPropertyData(ObjectId object, const PropertyAddress& address, std::uint32_t qualifierSize,
                       const void* qualifier, std::uint32_t dataSize, const void* data) {
  record(Operation::SetData, object, address, qualifierSize, qualifier, dataSize, data);
  const std::uint32_t selector = address.mSelector;
  auto& objects = state().system.objects;
  if (const auto found = objects.find(object); found != objects.end()) {
    const auto refusal = found->second.refuse.find(selector);
    if (refusal != found->second.refuse.end()) return refusal->second;
  }
  const Lookup found = lookUp(object, selector);
  if (found.status != noErr) return found.status;
  if (found.object->settable.count(selector) == 0) return notSettable;
  if (!fitsShape(*found.value, dataSize)) return badSize;

  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::vector<std::uint8_t> stored(bytes, bytes + dataSize);
  if (state().writeHook) {
    System updated = state().system;
    updated.objects[object].properties[selector].bytes = stored;
    if (const Status saved = state().writeHook(updated); saved != noErr) return saved;
  }
  found.value->bytes = std::move(stored);
  return noErr;
}

std::optional<std::string> stringText(StringRef reference) {
  const auto* text = static_cast<const HandedString*>(reference);
  if (!text->convertible) return std::nullopt;
  return text->text;
}

void releaseString(StringRef reference) {
  record(Operation::ReleaseString, 0, PropertyAddress{0, 0, 0}, 0, nullptr);
  const auto* text = static_cast<const HandedString*>(reference);
  // A reference released twice (or never handed out) is left alone, and shows
  // in the log and the live count.
  if (state().liveStrings.erase(text) != 0) delete text;
}

}  // namespace camknob::sim
