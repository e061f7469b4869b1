#include "http/secret_text.h"

#include <fcntl.h>
#include <unistd.h>
#if defined(__APPLE__)
#include <sys/random.h>
#endif

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "text/hex_text.h"

namespace camknob::http {

namespace {

bool fromEntropy(std::vector<std::uint8_t>& bytes) {
  constexpr std::size_t chunk = 256;  // getentropy's limit per call
  for (std::size_t at = 0; at < bytes.size(); at += chunk)
    if (::getentropy(bytes.data() + at, std::min(chunk, bytes.size() - at)) != 0) return false;
  return true;
}

bool fromDevice(std::vector<std::uint8_t>& bytes) {
  const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t read = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (read <= 0) break;
    got += static_cast<std::size_t>(read);
  }
  ::close(fd);
  return got == bytes.size();
}

}  // namespace

std::string randomHex(std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  if (!fromEntropy(bytes) && !fromDevice(bytes))
    throw std::runtime_error("no random bytes can be had");
  std::string text;
  for (const std::uint8_t byte : bytes) appendHexByte(text, byte);
  return text;
}

}  // namespace camknob::http
