// A stand-in for the nine CoreMediaIO and CoreFoundation functions the
// CoreMediaIO service calls, so that the service's own code runs off Apple.
// The five object calls are answered from the simulated store; the strings
// they hand out are counted objects that behave like CFStrings of UTF-16
// characters. A string released twice, used after its release, or never
// released ends the process with status 70 and one line on standard error.
#pragma once

#include <cstddef>
#include <string_view>

#include "media/coremediaio/cmio_platform.h"

namespace camknob::cmio_standin {

inline constexpr int faultStatus = 70;

// A string with this UTF-8 text; one that is not convertible ends in a
// character UTF-8 cannot carry (a lone surrogate).
CFStringRef newString(std::string_view utf8, bool convertible = true);

// A string that claims `length` characters without holding them, for sizes
// that overflow; reading its characters is a fault.
CFStringRef newStringClaimingLength(CFIndex length);

// Strings handed out and not yet released.
std::size_t liveStringCount();

}  // namespace camknob::cmio_standin
