// Text that comes from the kernel (card, control and sysfs names) is bytes;
// the tool hands out UTF-8 only.
#pragma once

#include <string>
#include <string_view>

namespace camknob::v4l2 {

// The bytes as valid UTF-8: each byte that does not belong to a well-formed
// sequence becomes U+FFFD.
std::string repairedUtf8(std::string_view bytes);

}  // namespace camknob::v4l2
