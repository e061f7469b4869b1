// Reading numbers and truth words from option texts.
#pragma once

#include <optional>
#include <string_view>

namespace camknob {

// The C library's float syntax in the C locale (sign, decimal or hex, inf and
// nan in any case), rounded once straight to a 32-bit float. The whole text
// must be used and it may not start with white space.
std::optional<float> parseFloat32(std::string_view text);

// The same rules, for a 64-bit double.
std::optional<double> parseDouble(std::string_view text);

// "1", "true", "yes" or "on" once ASCII letters are lowercased.
bool isTruthWord(std::string_view text);

}  // namespace camknob
