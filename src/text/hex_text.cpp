#include "text/hex_text.h"

namespace camknob {

void appendHexByte(std::string& out, std::uint8_t byte) {
  out.push_back(hexDigit(byte >> 4));
  out.push_back(hexDigit(byte));
}

}  // namespace camknob
