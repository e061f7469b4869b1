#include "runner/host_tools.h"

#include <unistd.h>

#include <cstdlib>

namespace camknob::vm {

std::optional<std::string> findProgram(std::string_view name) {
  if (name.empty()) return std::nullopt;
  if (name.find('/') != std::string_view::npos) {
    const std::string path(name);
    if (access(path.c_str(), X_OK) == 0) return path;
    return std::nullopt;
  }
  const char* pathVariable = std::getenv("PATH");
  std::string directories = pathVariable != nullptr ? pathVariable : "/usr/bin:/bin";
  directories += ":/usr/sbin:/sbin";
  std::size_t at = 0;
  while (at <= directories.size()) {
    std::size_t end = directories.find(':', at);
    if (end == std::string::npos) end = directories.size();
    const std::string directory = directories.substr(at, end - at);
    at = end + 1;
    if (directory.empty()) continue;
    const std::string candidate = directory + '/' + std::string(name);
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

}  // namespace camknob::vm
