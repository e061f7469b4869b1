// The plain types of the property service's seam, shared by the services and
// the code that calls them: objects, selectors, statuses, addresses, ranges
// and the shapes of the properties the tool knows. At the bottom of the tree:
// it includes nothing of the project.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace camknob {

using ObjectId = std::uint32_t;
using Status = std::int32_t;  // 0 is success
using Selector = std::int64_t;

inline constexpr Status noErr = 0;
inline constexpr ObjectId systemObject = 1;

// The code whose four bytes, most significant first, are the first four
// characters of the text (callers pass exactly four).
constexpr std::uint32_t fourCharCode(std::string_view text) {
  return (std::uint32_t(std::uint8_t(text[0])) << 24) |
         (std::uint32_t(std::uint8_t(text[1])) << 16) |
         (std::uint32_t(std::uint8_t(text[2])) << 8) | std::uint32_t(std::uint8_t(text[3]));
}

// Two's complement, least significant byte first, whatever the machine: how
// multi-byte values go into native data.
constexpr std::array<std::uint8_t, 4> littleEndianBytes(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  return {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16),
          std::uint8_t(bits >> 24)};
}

// Every address the tool builds lives in the global scope, main element.
inline constexpr std::uint32_t globalScope = fourCharCode("glob");
inline constexpr std::uint32_t mainElement = 0;

struct PropertyAddress {
  std::uint32_t mSelector;
  std::uint32_t mScope;
  std::uint32_t mElement;
};

struct AudioValueRange {
  double mMinimum;
  double mMaximum;
};
static_assert(sizeof(AudioValueRange) == 16);

// A string object owned by the service; whoever reads one releases it once.
using StringRef = const void*;
static_assert(sizeof(StringRef) == 8, "string references are 8 bytes wide");

namespace selectors {
inline constexpr std::uint32_t devices = fourCharCode("dev#");
inline constexpr std::uint32_t deviceUid = fourCharCode("uid ");
inline constexpr std::uint32_t name = fourCharCode("lnam");
inline constexpr std::uint32_t manufacturer = fourCharCode("lmak");
inline constexpr std::uint32_t ownedObjects = fourCharCode("ownd");
inline constexpr std::uint32_t objectClass = fourCharCode("clas");
inline constexpr std::uint32_t absoluteValue = fourCharCode("fcav");
inline constexpr std::uint32_t absoluteRange = fourCharCode("fcar");
inline constexpr std::uint32_t nativeValue = fourCharCode("fcnv");
inline constexpr std::uint32_t nativeRange = fourCharCode("fcnr");
inline constexpr std::uint32_t automaticManual = fourCharCode("fcam");
inline constexpr std::uint32_t onOff = fourCharCode("fcoo");
inline constexpr std::uint32_t nativeData = fourCharCode("fcnd");
inline constexpr std::uint32_t nativeDataRange = fourCharCode("fcdr");
// Non-zero while any process uses the device (a long-lived program watches it).
inline constexpr std::uint32_t deviceIsRunningSomewhere = fourCharCode("gone");

// What a control tells of itself beyond its value, read once when a camera is
// described: the unit of its absolute value, as the service names it.
inline constexpr std::uint32_t absoluteUnitName = fourCharCode("fcun");
// A menu control's items: the values it offers, in its order; each item's
// name is read with the item's value (a UInt32) as the qualifier.
inline constexpr std::uint32_t menuItems = fourCharCode("scai");
inline constexpr std::uint32_t menuItemName = fourCharCode("scin");
// An integer menu's item: the 64-bit signed number the item stands for (in
// place of a name), read with the item's value as the qualifier.
inline constexpr std::uint32_t menuItemNumber = fourCharCode("cimn");
// The step between values and the value the device starts at, in the scale
// of the value they go with. The platform's camera service has none of
// these; the others answer them where the driver says.
inline constexpr std::uint32_t nativeStep = fourCharCode("cnst");
inline constexpr std::uint32_t nativeDefault = fourCharCode("cndf");
inline constexpr std::uint32_t absoluteStep = fourCharCode("cast");
inline constexpr std::uint32_t absoluteDefault = fourCharCode("cadf");
// Non-zero when the device starts in automatic mode (of a control that has one).
inline constexpr std::uint32_t automaticDefault = fourCharCode("cdam");
}  // namespace selectors

inline constexpr std::uint32_t controlClass = fourCharCode("actl");

// What the data of a property is.
enum class PropertyShape : std::uint8_t { UInt32, Float32, Range, Bytes, Ids, String };

struct PropertyKind {
  std::uint32_t selector;
  PropertyShape shape;
};

// Every property the tool reads or writes, with the shape of its data.
// (A menu item's name and number are read per item, and are not here.)
inline constexpr std::array<PropertyKind, 22> propertyKinds{{
    {selectors::devices, PropertyShape::Ids},
    {selectors::ownedObjects, PropertyShape::Ids},
    {selectors::objectClass, PropertyShape::UInt32},
    {selectors::automaticManual, PropertyShape::UInt32},
    {selectors::onOff, PropertyShape::UInt32},
    {selectors::deviceIsRunningSomewhere, PropertyShape::UInt32},
    {selectors::absoluteValue, PropertyShape::Float32},
    {selectors::nativeValue, PropertyShape::Float32},
    {selectors::absoluteRange, PropertyShape::Range},
    {selectors::nativeRange, PropertyShape::Range},
    {selectors::nativeData, PropertyShape::Bytes},
    {selectors::nativeDataRange, PropertyShape::Bytes},
    {selectors::deviceUid, PropertyShape::String},
    {selectors::name, PropertyShape::String},
    {selectors::manufacturer, PropertyShape::String},
    {selectors::absoluteUnitName, PropertyShape::String},
    {selectors::menuItems, PropertyShape::Ids},
    {selectors::nativeStep, PropertyShape::Float32},
    {selectors::nativeDefault, PropertyShape::Float32},
    {selectors::absoluteStep, PropertyShape::Float32},
    {selectors::absoluteDefault, PropertyShape::Float32},
    {selectors::automaticDefault, PropertyShape::UInt32},
}};

// The shape of a property the tool knows, or nothing.
constexpr std::optional<PropertyShape> propertyShape(std::uint32_t selector) {
  for (const PropertyKind& kind : propertyKinds)
    if (kind.selector == selector) return kind.shape;
  return std::nullopt;
}

}  // namespace camknob
