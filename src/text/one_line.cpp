#include "text/one_line.h"

#include "text/hex_text.h"

namespace camknob {

std::string oneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      line += "\\x";
      appendHexByte(line, byte);
    } else {
      line.push_back(c);
    }
  }
  return line;
}

}  // namespace camknob
