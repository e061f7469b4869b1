// Text for four-character codes and service status codes, as failure
// messages and control records carry them.
#pragma once

#include <cstdint>
#include <string>

#include "records/property_types.h"

namespace camknob {

// Four characters when every byte is 7-bit (control characters included),
// otherwise "0x" and eight lowercase hex digits.
std::string fourCC(std::uint32_t code);

// "ok" for success; otherwise the signed decimal status and its code text.
std::string statusMessage(Status status);

}  // namespace camknob
