// Little-endian byte building for USB descriptors and UVC control payloads.
#pragma once

#include <cstdint>
#include <vector>

namespace camknob::virtual_camera {

using Bytes = std::vector<std::uint8_t>;

inline void appendU8(Bytes& bytes, unsigned value) {
  bytes.push_back(value & 0xffu);
}

inline void appendU16(Bytes& bytes, unsigned value) {
  appendU8(bytes, value);
  appendU8(bytes, value >> 8);
}

inline void appendU32(Bytes& bytes, std::uint32_t value) {
  appendU16(bytes, value & 0xffffu);
  appendU16(bytes, value >> 16);
}

// Reads a little-endian field of 1, 2 or 4 bytes, sign-extended when asked.
inline std::int64_t readField(const Bytes& bytes, std::size_t offset, std::size_t size,
                              bool isSigned) {
  std::uint32_t raw = 0;
  for (std::size_t i = 0; i < size; ++i) raw |= std::uint32_t{bytes[offset + i]} << (8 * i);
  if (!isSigned) return raw;
  const unsigned bits = static_cast<unsigned>(size * 8);
  if (bits < 32 && (raw & (1u << (bits - 1))) != 0) raw |= ~((1u << bits) - 1);
  return static_cast<std::int32_t>(raw);
}

// Writes the low bytes of a value as a little-endian field.
inline void writeField(Bytes& bytes, std::size_t offset, std::size_t size, std::int64_t value) {
  const auto raw = static_cast<std::uint64_t>(value);
  for (std::size_t i = 0; i < size; ++i) bytes[offset + i] = (raw >> (8 * i)) & 0xffu;
}

}  // namespace camknob::virtual_camera
