#include "text/one_line.h"

namespace camknob {

std::string oneLine(std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      line += "\\x";
      line.push_back(hex[byte >> 4]);
      line.push_back(hex[byte & 0xF]);
    } else {
      line.push_back(c);
    }
  }
  return line;
}

}  // namespace camknob
