// Random secrets as hexadecimal text: the token, login codes, sessions.
#pragma once

#include <cstddef>
#include <string>

namespace camknob::http {

// `bytes` bytes from the system's random source (getentropy, else
// /dev/urandom), as 2 × bytes lowercase hexadecimal digits. Throws
// std::runtime_error when no random bytes can be had.
std::string randomHex(std::size_t bytes);

inline constexpr std::size_t secretBytes = 32;

}  // namespace camknob::http
