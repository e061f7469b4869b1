// Typed reads and writes of media-device properties: the only code that talks
// to the property service. Reads give nothing on any failure; writes pass the
// service's status back untouched.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "records/property_types.h"

namespace camknob {

PropertyAddress address(Selector selector);

// The largest byte block or id list read. No camera property comes near it; a
// size beyond it is taken for a failed read rather than let a broken device
// take the machine's memory (4 GiB of zeros, then as text in the response).
inline constexpr std::uint32_t maxPropertyBytes = 1u << 20;

std::optional<std::uint32_t> propertySize(ObjectId objectId, Selector selector,
                                          const void* qualifier, std::uint32_t qualifierSize = 0);

bool isSettable(ObjectId objectId, Selector selector);

std::optional<std::uint32_t> readUInt32(ObjectId objectId, Selector selector);
std::optional<float> readFloat32(ObjectId objectId, Selector selector);
std::optional<AudioValueRange> readRange(ObjectId objectId, Selector selector);
std::optional<std::vector<std::uint8_t>> readBytes(ObjectId objectId, Selector selector);
std::optional<std::string> readString(ObjectId objectId, Selector selector);
std::vector<ObjectId> readObjectIds(ObjectId objectId, Selector selector,
                                    std::optional<std::uint32_t> qualifierClass);

// Reads of one item of a list, the item named by a UInt32 qualifier (a menu's
// item by its index): its name, or its 64-bit signed number (8 bytes, least
// significant first).
std::optional<std::string> readItemString(ObjectId objectId, Selector selector, std::uint32_t item);
std::optional<std::int64_t> readItemInt64(ObjectId objectId, Selector selector, std::uint32_t item);

Status writeUInt32(ObjectId objectId, Selector selector, std::uint32_t value);
Status writeFloat32(ObjectId objectId, Selector selector, float value);
Status writeBytes(ObjectId objectId, Selector selector, const std::vector<std::uint8_t>& bytes);

}  // namespace camknob
