#include "text/ascii_case.h"

#include <algorithm>

namespace camknob {

std::string asciiLowered(std::string_view text) {
  std::string lowered(text.size(), '\0');
  std::transform(text.begin(), text.end(), lowered.begin(), asciiLower);
  return lowered;
}

}  // namespace camknob
