#include "text/ascii_case.h"

#include <algorithm>

namespace camknob {

std::string asciiLowered(std::string_view text) {
  std::string lowered(text.size(), '\0');
  std::transform(text.begin(), text.end(), lowered.begin(), asciiLower);
  return lowered;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

}  // namespace camknob
