// The properties of a menu control's items: the indexes of the items its
// driver offers, and each item's name (a menu) or number (an integer menu),
// read with the item's index as a UInt32 qualifier. All answered from what
// was read when the camera was described; none is ever settable.
#pragma once

#include <cstdint>
#include <vector>

#include "media/v4l2/control_properties.h"

namespace camknob::v4l2 {

bool menuHas(const ModelControl& control, std::uint32_t selector);

// Whether the selector is an item's, read with a qualifier.
bool isMenuItemSelector(std::uint32_t selector);

// The indexes of the items offered, in order.
std::vector<std::uint32_t> menuIndexes(const ModelControl& control);

// An item's name (a string reference) or number (8 bytes, a 64-bit signed
// integer least significant byte first): badSize without a 4-byte
// qualifier, unknownProperty for an index the menu does not offer.
PropertyAnswer menuItemProperty(const ModelControl& control, std::uint32_t selector,
                                std::uint32_t qualifierSize, const void* qualifier);

}  // namespace camknob::v4l2
