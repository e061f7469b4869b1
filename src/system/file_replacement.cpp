#include "system/file_replacement.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace camknob {

bool writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = ::write(fd, text.data(), text.size());
    if (put < 0 && errno == EINTR) continue;
    if (put == 0) errno = EIO;
    if (put <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

int replaceFile(const std::string& target, std::string_view text, mode_t mode,
                const std::optional<FileOwner>& owner) {
  const std::string folder = folderOf(target);
  std::string temporary = folder + "/.camknob-XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  // Owner and group stay the file's where this user may keep them.
  if (owner && (owner->user != ::geteuid() || owner->group != ::getegid()))
    (void)::fchown(fd, owner->user, owner->group);
  int error = 0;
  if (::fchmod(fd, mode) != 0 || !writeAll(fd, text) || ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return error;
  }
  // The rename itself is kept once the folder is on disk.
  const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    (void)::fsync(directory);
    ::close(directory);
  }
  return 0;
}

}  // namespace camknob
