#pragma once

#include <string>
#include <string_view>

namespace camknob {

// The text with every control character (and DEL) written \xNN, so that a
// message that quotes it stays on one line.
std::string oneLine(std::string_view text);

}  // namespace camknob
