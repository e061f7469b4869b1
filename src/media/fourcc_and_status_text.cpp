#include "media/fourcc_and_status_text.h"

#include <array>

#include "text/hex_text.h"

namespace camknob {

std::string fourCC(std::uint32_t code) {
  const std::array<std::uint8_t, 4> bytes{std::uint8_t(code >> 24), std::uint8_t(code >> 16),
                                          std::uint8_t(code >> 8), std::uint8_t(code)};
  bool sevenBit = true;
  for (const std::uint8_t byte : bytes) sevenBit = sevenBit && byte <= 0x7F;
  if (sevenBit) return std::string(bytes.begin(), bytes.end());

  std::string text = "0x";
  for (const std::uint8_t byte : bytes) appendHexByte(text, byte);
  return text;
}

std::string statusMessage(Status status) {
  if (status == noErr) return "ok";
  return std::to_string(status) + " (" + fourCC(static_cast<std::uint32_t>(status)) + ")";
}

}  // namespace camknob
