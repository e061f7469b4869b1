#include "http/key_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "engine/config_folder.h"
#include "http/secret_text.h"
#include "system/file_replacement.h"

namespace camknob::http {

namespace {

constexpr std::size_t keyDigits = 2 * secretBytes;

bool isKey(std::string_view text) {
  return text.size() == keyDigits && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

std::string systemFault(std::string_view what, const std::string& path, int error) {
  return std::string(what) + " " + path + ": " + std::strerror(error) + ".";
}

// The key in the file; ENOENT as the fault's error when there is no file.
struct Reading {
  std::string key;
  std::string fault;
  int error = 0;
};

Reading readKey(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return {{}, systemFault("Cannot read the key file", path, errno), errno};
  struct stat status {};
  std::array<char, keyDigits + 2> text{};
  ssize_t got = -1;
  const bool own = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                   status.st_uid == ::geteuid() && (status.st_mode & 077) == 0;
  if (own) got = ::read(fd, text.data(), text.size());
  const int error = errno;
  ::close(fd);
  if (!own)
    return {{},
            "The key file " + path +
                " must be a file of this user's that no one else may read (mode 0600).",
            EPERM};
  if (got < 0) return {{}, systemFault("Cannot read the key file", path, error), error};
  std::string_view key(text.data(), static_cast<std::size_t>(got));
  if (!key.empty() && key.back() == '\n') key.remove_suffix(1);
  if (!isKey(key))
    return {{},
            "The key file " + path +
                " does not hold a key (64 hexadecimal digits); --new-key makes a new one.",
            EINVAL};
  return {std::string(key), {}, 0};
}

std::optional<KeyFault> prepareFolder(const std::string& folder) {
  if (const std::optional<std::string> fault = engine::makeFolder(folder))
    return KeyFault{"Cannot make the configuration folder " + folder + ": " + *fault + "."};
  return std::nullopt;
}

}  // namespace

std::string keyFilePath(const std::string& configFolder) {
  return configFolder + "/" + std::string(keyFileName);
}

std::variant<std::string, KeyFault> keptKey(const std::string& configFolder) {
  const std::string path = keyFilePath(configFolder);
  if (const std::optional<KeyFault> fault = prepareFolder(configFolder)) return *fault;
  Reading read = readKey(path);
  if (read.error != ENOENT) {
    if (!read.fault.empty()) return KeyFault{read.fault};
    return read.key;
  }
  const std::string key = randomHex(secretBytes);
  const int error = createFile(path, key + "\n", 0600);
  if (error == EEXIST) {  // another start made it first
    read = readKey(path);
    if (!read.fault.empty()) return KeyFault{read.fault};
    return read.key;
  }
  if (error != 0) return KeyFault{systemFault("Cannot write the key file", path, error)};
  return key;
}

std::variant<std::string, KeyFault> newKey(const std::string& configFolder) {
  const std::string path = keyFilePath(configFolder);
  if (const std::optional<KeyFault> fault = prepareFolder(configFolder)) return *fault;
  struct stat status {};
  if (::lstat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
    return KeyFault{"The key file " + path +
                    " must be a file of this user's that no one else may read (mode 0600)."};
  const std::string key = randomHex(secretBytes);
  if (const int error = replaceFile(path, key + "\n", 0600, std::nullopt); error != 0)
    return KeyFault{systemFault("Cannot write the key file", path, error)};
  return key;
}

void KeyWatch::watch(std::string path, std::string key) {
  const std::lock_guard lock(mutex_);
  path_ = std::move(path);
  seen_ = identityOf(path_);
  key_ = std::move(key);
}

std::string KeyWatch::current() {
  const std::lock_guard lock(mutex_);
  if (path_.empty()) return {};
  const Identity now = identityOf(path_);
  if (!(now == seen_)) {
    seen_ = now;
    key_ = readKey(path_).key;
  }
  return key_;
}

KeyWatch::Identity KeyWatch::identityOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  return {status.st_dev, status.st_ino, status.st_size, status.st_mtime, status.st_ctime};
}

}  // namespace camknob::http
