// Bytes as hexadecimal digits, for the escapes of text that must stay
// readable (JSON's \u00XX, a message's \xNN) and for codes shown as numbers.
#pragma once

#include <cstdint>
#include <string>

namespace camknob {

// The lowercase hexadecimal digit of the low four bits.
constexpr char hexDigit(unsigned value) {
  return "0123456789abcdef"[value & 0xF];
}

// Appends the byte as two lowercase hexadecimal digits.
void appendHexByte(std::string& out, std::uint8_t byte);

}  // namespace camknob
