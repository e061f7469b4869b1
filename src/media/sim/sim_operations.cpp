#include "media/sim/sim_operations.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "media/sim/sim_state.h"

namespace camknob::sim {

namespace {

// Counts the call, logs it when asked to, and gives the fault injected for
// this very call, if any.
std::optional<Fault> serviceCall(Operation operation, ObjectId object,
                                 const PropertyAddress& address, std::uint32_t qualifierSize,
                                 const void* qualifier, std::uint32_t dataSize = 0,
                                 const void* data = nullptr) {
  State& current = state();
  const std::size_t call = current.calls++;
  if (current.recording) {
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
  if (current.fault && current.fault->call == call) {
    if (current.fault->fault == Fault::Exception) throw std::bad_alloc();
    return current.fault->fault;
  }
  return std::nullopt;
}

const Script* scriptFor(ObjectId object, std::uint32_t selector) {
  const auto& scripts = state().system.scripts;
  if (scripts.empty()) return nullptr;
  const auto found = scripts.find({object, selector});
  return found == scripts.end() ? nullptr : &found->second;
}

// The property itself, or the status that says why there is none.
struct Lookup {
  Object* object;
  Value* value;
  Status status;
};

Lookup lookUp(System& system, ObjectId objectId, std::uint32_t selector) {
  const auto object = system.objects.find(objectId);
  if (object == system.objects.end()) return {nullptr, nullptr, status::badObject};
  const auto property = object->second.properties.find(selector);
  if (property == object->second.properties.end())
    return {&object->second, nullptr, status::unknownProperty};
  return {&object->second, &property->second, noErr};
}

Lookup lookUp(ObjectId objectId, std::uint32_t selector) {
  return lookUp(state().system, objectId, selector);
}

bool isItemSelector(std::uint32_t selector) {
  return selector == selectors::menuItemName || selector == selectors::menuItemNumber;
}

// Whether the menu item has what the selector reads of it.
bool itemAnswers(const MenuEntry& item, std::uint32_t selector) {
  return selector == selectors::menuItemName ? item.name.has_value() : item.number.has_value();
}

// A menu item's name (a string) or number (8 bytes), read with the item's
// value as a UInt32 qualifier.
struct ItemLookup {
  std::optional<Value> value;
  Status status;
};

ItemLookup lookUpItem(ObjectId objectId, std::uint32_t selector, std::uint32_t qualifierSize,
                      const void* qualifier) {
  const auto& objects = state().system.objects;
  const auto object = objects.find(objectId);
  if (object == objects.end()) return {std::nullopt, status::badObject};
  std::uint32_t itemValue = 0;
  if (qualifier == nullptr || qualifierSize != sizeof itemValue)
    return {std::nullopt, status::unknownProperty};
  std::memcpy(&itemValue, qualifier, sizeof itemValue);
  const auto item = object->second.menu.find(itemValue);
  if (item == object->second.menu.end() || !itemAnswers(item->second, selector))
    return {std::nullopt, status::unknownProperty};
  if (item->second.name) return {stringValue(*item->second.name), noErr};
  const std::int64_t number = *item->second.number;
  std::uint8_t bytes[sizeof number];
  std::memcpy(bytes, &number, sizeof number);
  return {bytesValue(bytes), noErr};
}

// Whether the object has the item property at all: a menu with an item that
// answers it.
bool hasItemProperty(ObjectId objectId, std::uint32_t selector) {
  const auto& objects = state().system.objects;
  const auto object = objects.find(objectId);
  if (object == objects.end()) return false;
  return std::any_of(object->second.menu.begin(), object->second.menu.end(),
                     [&](const auto& entry) { return itemAnswers(entry.second, selector); });
}

// The value a read answers from: the stored property, or a menu item's.
struct ReadLookup {
  const Value* value;
  Status status;
};

ReadLookup lookUpForRead(ObjectId object, std::uint32_t selector, std::uint32_t qualifierSize,
                         const void* qualifier, std::optional<Value>& itemHolder) {
  if (!isItemSelector(selector)) {
    const Lookup found = lookUp(object, selector);
    return {found.value, found.status};
  }
  ItemLookup item = lookUpItem(object, selector, qualifierSize, qualifier);
  itemHolder = std::move(item.value);
  return {itemHolder ? &*itemHolder : nullptr, item.status};
}

// A write carries the value in the property's shape; byte blocks take any length.
bool fitsShape(const Value& value, std::uint32_t dataSize) {
  switch (value.shape()) {
    case PropertyShape::Bytes:
      return true;
    case PropertyShape::Ids:
      return dataSize % sizeof(ObjectId) == 0;
    case PropertyShape::String:
      return false;  // a reference cannot be handed in
    default:
      return dataSize == value.bytes().size();
  }
}

// Every check a write passes, in order, and then the store; the value it
// replaced, if asked for.
Status applyWrite(System& system, ObjectId object, std::uint32_t selector,
                  const std::vector<std::uint8_t>& bytes, Value* replaced = nullptr) {
  if (const auto found = system.objects.find(object); found != system.objects.end()) {
    const auto refusal = found->second.refuse.find(selector);
    if (refusal != found->second.refuse.end()) return refusal->second;
  }
  const Lookup found = lookUp(system, object, selector);
  if (found.status != noErr) return found.status;
  if (found.object->settable.count(selector) == 0) return status::refused;
  const auto dataSize = static_cast<std::uint32_t>(bytes.size());
  if (!fitsShape(*found.value, dataSize)) return status::badSize;
  if (replaced != nullptr) *replaced = *found.value;
  found.value->setBytes(bytes);
  return noErr;
}

}  // namespace

std::uint8_t hasProperty(ObjectId object, const PropertyAddress& address) {
  const auto fault = serviceCall(Operation::HasProperty, object, address, 0, nullptr);
  if (fault == Fault::Absent) return 0;
  if (const auto* script = scriptFor(object, address.mSelector); script && script->hasAnswer)
    return *script->hasAnswer;
  if (isItemSelector(address.mSelector)) return hasItemProperty(object, address.mSelector) ? 1 : 0;
  return lookUp(object, address.mSelector).status == noErr ? 1 : 0;
}

Status getPropertyDataSize(ObjectId object, const PropertyAddress& address,
                           std::uint32_t qualifierSize, const void* qualifier,
                           std::uint32_t& dataSize) {
  const auto fault = serviceCall(Operation::GetDataSize, object, address, qualifierSize, qualifier);
  if (fault == Fault::FailingStatus) return status::unspecified;
  const auto* script = scriptFor(object, address.mSelector);
  if (script && script->sizeStatus) return *script->sizeStatus;
  std::uint32_t size = 0;
  if (script && script->reportedSize) {
    size = *script->reportedSize;
  } else {
    std::optional<Value> item;
    const ReadLookup found =
        lookUpForRead(object, address.mSelector, qualifierSize, qualifier, item);
    if (found.status != noErr) return found.status;
    size = naturalSize(*found.value);
  }
  dataSize = fault == Fault::WrongSize ? size + 1 : size;
  return noErr;
}

Status getPropertyData(ObjectId object, const PropertyAddress& address, std::uint32_t qualifierSize,
                       const void* qualifier, std::uint32_t dataSize, std::uint32_t& dataUsed,
                       void* data) {
  const auto fault =
      serviceCall(Operation::GetData, object, address, qualifierSize, qualifier, dataSize);
  if (fault == Fault::FailingStatus) return status::unspecified;
  const auto* script = scriptFor(object, address.mSelector);
  if (script && script->dataStatus) return *script->dataStatus;
  std::optional<Value> item;
  const ReadLookup found = lookUpForRead(object, address.mSelector, qualifierSize, qualifier, item);
  if (found.status != noErr) return found.status;

  std::uint32_t count = std::min(dataSize, naturalSize(*found.value));
  if (script && script->bytesFilled) count = std::min(count, *script->bytesFilled);
  if (fault == Fault::ShortData) count /= 2;

  if (found.value->shape() == PropertyShape::String) {
    // Only a whole reference is ever handed out.
    if ((script && script->nullString) || fault == Fault::NullString ||
        count != sizeof(StringRef)) {
      dataUsed = 0;
      return noErr;
    }
    const auto* text = new HandedString{std::string(found.value->text()),
                                        !(script && script->unconvertibleString)};
    state().liveStrings.insert(text);
    std::memcpy(data, &text, sizeof text);
  } else if (count != 0) {
    std::memcpy(data, found.value->bytes().data(), count);
  }
  dataUsed = count;
  return noErr;
}

Status isPropertySettable(ObjectId object, const PropertyAddress& address, std::uint8_t& settable) {
  const auto fault = serviceCall(Operation::IsSettable, object, address, 0, nullptr);
  if (fault == Fault::FailingStatus) return status::unspecified;
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
  const auto fault =
      serviceCall(Operation::SetData, object, address, qualifierSize, qualifier, dataSize, data);
  if (fault == Fault::Refused) return status::unspecified;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::vector<std::uint8_t> stored(bytes, bytes + dataSize);
  const std::uint32_t selector = address.mSelector;
  State& current = state();
  Value replaced;
  const Status status = applyWrite(current.system, object, selector, stored, &replaced);
  if (status != noErr || !current.writeHook) return status;

  Commit commit = current.writeHook(
      [object, selector, &stored](System& system) {
        return applyWrite(system, object, selector, stored);
      },
      current.system);
  if (commit.status != noErr) {
    current.system.objects.at(object).properties.at(selector) = std::move(replaced);
    return commit.status;
  }
  if (commit.system) current.system = std::move(*commit.system);
  return noErr;
}

std::optional<std::string> stringText(StringRef reference) {
  const auto fault = serviceCall(Operation::StringText, 0, PropertyAddress{0, 0, 0}, 0, nullptr);
  if (fault == Fault::Unconvertible) return std::nullopt;
  // Only a reference this service handed out and that is not yet released
  // has a text: a caller told to read a string where another shape was
  // stored gets bytes that are no reference at all.
  const auto* text = static_cast<const HandedString*>(reference);
  if (state().liveStrings.count(text) == 0 || !text->convertible) return std::nullopt;
  return text->text;
}

void releaseString(StringRef reference) {
  (void)serviceCall(Operation::ReleaseString, 0, PropertyAddress{0, 0, 0}, 0, nullptr);
  const auto* text = static_cast<const HandedString*>(reference);
  // A reference released twice (or never handed out) is left alone, and shows
  // in the log and the live count.
  if (state().liveStrings.erase(text) != 0) delete text;
}

}  // namespace camknob::sim
