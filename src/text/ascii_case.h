// Case folding of ASCII letters only, so that no outcome depends on the
// user's locale.
#pragma once

#include <string>
#include <string_view>

namespace camknob {

constexpr char asciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::string asciiLowered(std::string_view text);

// Whether the texts are the same but for the case of ASCII letters.
bool equalIgnoringCase(std::string_view a, std::string_view b);

}  // namespace camknob
