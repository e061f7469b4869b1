#include "system/text_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "system/file_replacement.h"

namespace camknob {

namespace {

std::string errorText(int error) {
  return std::strerror(error);
}

// The file a path names, following symbolic links; the path itself when it
// names nothing yet.
std::string resolvedPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  return path;
}

mode_t userDefaultMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

std::string sizeText(std::size_t bytes) {
  constexpr std::size_t kibibyte = 1024;
  constexpr std::size_t mebibyte = kibibyte * kibibyte;
  if (bytes != 0 && bytes % mebibyte == 0) return std::to_string(bytes / mebibyte) + " MiB";
  if (bytes != 0 && bytes % kibibyte == 0) return std::to_string(bytes / kibibyte) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

FileReading readBoundedText(const std::optional<std::string>& path, std::size_t limit) {
  const int descriptor = path ? ::open(path->c_str(), O_RDONLY | O_CLOEXEC) : STDIN_FILENO;
  if (descriptor < 0) return {std::nullopt, "cannot read: " + errorText(errno)};
  std::string text;
  std::size_t filled = 0;
  std::optional<std::string> fault;
  for (;;) {
    // One byte past the limit tells a file that is too large.
    const std::size_t wanted = std::min<std::size_t>(limit + 1 - filled, 64 * 1024);
    if (wanted == 0) break;
    text.resize(filled + wanted);
    const ssize_t got = ::read(descriptor, text.data() + filled, wanted);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      fault = "cannot read: " + errorText(errno);
      break;
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  if (path) ::close(descriptor);
  if (fault) return {std::nullopt, *fault};
  if (filled > limit) return {std::nullopt, "larger than " + sizeText(limit)};
  text.resize(filled);
  return {std::move(text), {}};
}

std::optional<std::string> replaceFileText(const std::string& path, const std::string& text) {
  const std::string target = resolvedPath(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return std::string("not a regular file");
  // Replacing the file must not get round its own permissions.
  if (exists && ::access(target.c_str(), W_OK) != 0) return errorText(errno);
  const int error = exists ? replaceFile(target, text, existing.st_mode & 07777,
                                         FileOwner{existing.st_uid, existing.st_gid})
                           : replaceFile(target, text, userDefaultMode(), std::nullopt);
  if (error == 0) return std::nullopt;
  return errorText(error);
}

}  // namespace camknob
