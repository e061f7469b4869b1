#include "http/token_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "system/file_replacement.h"

namespace camknob::http {

namespace {

bool isAbsolute(const char* path) {
  return path != nullptr && path[0] == '/';
}

std::string joined(std::string folder, std::string_view name) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.back() != '/') folder.push_back('/');
  return folder + std::string(name);
}

std::string systemFault(std::string_view what, const std::string& path) {
  return std::string(what) + " " + path + ": " + std::strerror(errno) + ".";
}

}  // namespace

std::string defaultTokenFolder(const char* runtimeFolder, const char* temporaryFolder, uid_t user) {
  if (isAbsolute(runtimeFolder)) return joined(runtimeFolder, "camknob");
  const std::string temporary = isAbsolute(temporaryFolder) ? temporaryFolder : "/tmp";
  return joined(temporary, "camknob-" + std::to_string(user));
}

std::string tokenFileName(int port) {
  return "camknobd-" + std::to_string(port) + ".token";
}

std::optional<std::string> prepareTokenFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return systemFault("Cannot make the token folder", folder);
  struct stat status {};
  if (::lstat(folder.c_str(), &status) != 0)
    return systemFault("Cannot look at the token folder", folder);
  if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid() || (status.st_mode & 077) != 0)
    return "The token folder " + folder +
           " must be a folder of this user's that no one else may enter (mode 0700).";
  return std::nullopt;
}

std::variant<TokenFile, std::string> writeTokenFile(const std::string& path,
                                                    std::string_view token) {
  struct stat status {};
  if (::stat(folderOf(path).c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
    return "The token file's folder " + folderOf(path) + " does not exist.";
  if (::lstat(path.c_str(), &status) == 0) {
    if (!S_ISREG(status.st_mode) || status.st_uid != ::geteuid())
      return "The token file " + path + " is there already and is not a file of this user's.";
    if (::unlink(path.c_str()) != 0) return systemFault("Cannot replace the token file", path);
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return systemFault("Cannot make the token file", path);
  const bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, token) && ::fstat(fd, &status) == 0;
  std::string fault = written ? std::string() : systemFault("Cannot write the token file", path);
  if (::close(fd) != 0 && fault.empty()) fault = systemFault("Cannot write the token file", path);
  if (!fault.empty()) {
    ::unlink(path.c_str());
    return fault;
  }
  return TokenFile{path, std::string(token), status.st_dev, status.st_ino};
}

void removeTokenFile(const TokenFile& file) {
  const int fd = ::open(file.path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  struct stat status {};
  std::string text(file.token.size() + 1, '\0');
  const bool same =
      ::fstat(fd, &status) == 0 && status.st_dev == file.device && status.st_ino == file.inode &&
      ::read(fd, text.data(), text.size()) == static_cast<ssize_t>(file.token.size()) &&
      text.compare(0, file.token.size(), file.token) == 0;
  ::close(fd);
  if (same) ::unlink(file.path.c_str());
}

}  // namespace camknob::http
