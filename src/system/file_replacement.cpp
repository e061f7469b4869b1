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

namespace {

// The text in a temporary file beside `target`, flushed to disk: its path,
// or the error number.
struct Written {
  std::string path;
  int error;
};

Written writeBeside(const std::string& target, std::string_view text, mode_t mode,
                    const std::optional<FileOwner>& owner) {
  std::string temporary = folderOf(target) + "/.camknob-XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return {{}, errno};
  // Owner and group stay the file's where this user may keep them.
  if (owner && (owner->user != ::geteuid() || owner->group != ::getegid()))
    (void)::fchown(fd, owner->user, owner->group);
  int error = 0;
  if (::fchmod(fd, mode) != 0 || !writeAll(fd, text) || ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) ::unlink(temporary.c_str());
  return {temporary, error};
}

// The rename or link itself is kept once the folder is on disk.
void flushFolder(const std::string& target) {
  const int directory = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    (void)::fsync(directory);
    ::close(directory);
  }
}

}  // namespace

int replaceFile(const std::string& target, std::string_view text, mode_t mode,
                const std::optional<FileOwner>& owner) {
  const Written written = writeBeside(target, text, mode, owner);
  if (written.error != 0) return written.error;
  if (::rename(written.path.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(written.path.c_str());
    return error;
  }
  flushFolder(target);
  return 0;
}

int createFile(const std::string& target, std::string_view text, mode_t mode) {
  const Written written = writeBeside(target, text, mode, std::nullopt);
  if (written.error != 0) return written.error;
  const int error = ::link(written.path.c_str(), target.c_str()) == 0 ? 0 : errno;
  ::unlink(written.path.c_str());
  if (error == 0) flushFolder(target);
  return error;
}

}  // namespace camknob
