#include "media/sim/sim_fixture_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>

#include "system/file_replacement.h"
#include "text/one_line.h"

namespace camknob::sim {

namespace {

// A descriptor closed when it goes out of scope.
struct Descriptor {
  int fd = -1;
  Descriptor() = default;
  explicit Descriptor(int opened) : fd(opened) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

int openQuietly(const std::string& path, int flags) {
  int fd = -1;
  do {
    // Non-blocking, so that a FIFO without a writer cannot hold the run.
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

FileStamp stampFrom(const struct stat& status) {
#if defined(__APPLE__)
  const struct timespec& modified = status.st_mtimespec;
  const struct timespec& changed = status.st_ctimespec;
#else
  const struct timespec& modified = status.st_mtim;
  const struct timespec& changed = status.st_ctim;
#endif
  return FileStamp{static_cast<std::uintmax_t>(status.st_dev),
                   static_cast<std::uintmax_t>(status.st_ino),
                   static_cast<std::uintmax_t>(status.st_size),
                   {std::int64_t(modified.tv_sec), std::int64_t(modified.tv_nsec)},
                   {std::int64_t(changed.tv_sec), std::int64_t(changed.tv_nsec)}};
}

// The whole content of an open regular file of at most fixtureSizeLimit bytes,
// read straight into memory of its own (not copied through a buffer: a
// fixture may be tens of megabytes).
FixtureText readWhole(int fd) {
  const auto fault = [](const std::string& what) { return FixtureText{nullptr, 0, what, 0, {}}; };
  struct stat status {};
  if (::fstat(fd, &status) != 0) return fault("cannot read: " + std::string(std::strerror(errno)));
  if (S_ISDIR(status.st_mode)) return fault("cannot read: a folder");
  if (!S_ISREG(status.st_mode)) return fault("cannot read: not a regular file");
  const std::string tooLarge =
      "cannot read: larger than " + std::to_string(fixtureSizeLimit >> 20) + " MiB";
  if (static_cast<std::uintmax_t>(status.st_size) > fixtureSizeLimit) return fault(tooLarge);

  // One byte more than measured, to see a file that grew meanwhile; such a
  // file is read again into room twice as large, up to the limit.
  std::size_t room = static_cast<std::size_t>(status.st_size) + 1;
  FixtureText read{std::unique_ptr<char[]>(new char[room]), 0, {}, 0, stampFrom(status)};
  for (;;) {
    if (read.size == room) {
      if (room > fixtureSizeLimit) return fault(tooLarge);
      const std::size_t larger = std::min(room * 2, fixtureSizeLimit + 1);
      std::unique_ptr<char[]> grown(new char[larger]);
      std::memcpy(grown.get(), read.bytes.get(), read.size);
      read.bytes = std::move(grown);
      room = larger;
    }
    const ssize_t got = ::read(fd, read.bytes.get() + read.size, room - read.size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return fault("cannot read: " + std::string(std::strerror(errno)));
    if (got == 0) break;
    read.size += static_cast<std::size_t>(got);
  }
  if (read.size > fixtureSizeLimit) return fault(tooLarge);
  read.textHash = std::hash<std::string_view>{}(read.text());
  return read;
}

// Whether this user may write the file: as the system's permission rules say,
// and never a file that grants writing to no one (root included).
bool writable(const std::string& path, const struct stat& status) {
  if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

Commit failed(Status status) {
  return Commit{status, std::nullopt};
}

}  // namespace

std::optional<FileStamp> stampOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return stampFrom(status);
}

FixtureText readFixtureText(const std::string& path) {
  const Descriptor file(openQuietly(path, O_RDONLY));
  if (file.fd < 0)
    return {nullptr, 0, oneLine("cannot open: " + std::string(std::strerror(errno))), 0, {}};
  return readWhole(file.fd);
}

FixtureLoad loadFixture(const std::string& path) {
  const FixtureText read = readFixtureText(path);
  if (!read.read()) return {std::nullopt, read.fault, {}};
  FixtureLoad loaded = parseFixture(read.text());
  loaded.textHash = read.textHash;
  return loaded;
}

Commit commitChange(FixtureFile& file, const Change& change, const System& changed) {
  // The file a symbolic link names is the one changed, beside itself.
  char resolved[PATH_MAX];
  if (::realpath(file.path.c_str(), resolved) == nullptr) return failed(status::unspecified);
  const std::string target = resolved;

  // The lock is the file's own. A run that waited for it may find the file
  // replaced meanwhile by the run before it; it then takes the new file's lock.
  Descriptor lock;
  struct stat status {};
  for (;;) {
    Descriptor opened(openQuietly(target, O_RDONLY));
    if (opened.fd < 0) return failed(errno == EACCES ? status::notPermitted : status::unspecified);
    int locked = 0;
    do {
      locked = ::flock(opened.fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) return failed(status::unspecified);
    struct stat now {};
    if (::fstat(opened.fd, &status) != 0) return failed(status::unspecified);
    if (::stat(target.c_str(), &now) == 0 && now.st_dev == status.st_dev &&
        now.st_ino == status.st_ino) {
      std::swap(lock.fd, opened.fd);
      break;
    }
  }

  FixtureText read = readWhole(lock.fd);
  if (!read.read()) return failed(status::unspecified);
  std::optional<System> current;
  if (read.textHash != file.textHash) {
    // Another run changed the file: the write goes to what it holds now.
    FixtureLoad loaded = parseFixture(read.text());
    if (!loaded.system) return failed(status::unspecified);
    const Status applied = change(*loaded.system);
    if (applied != noErr) return failed(applied);
    current = std::move(loaded.system);
  }
  read.bytes.reset();

  if (!writable(target, status)) return failed(status::notPermitted);
  const std::string text = fixtureText(current ? *current : changed);
  if (replaceFile(target, text, status.st_mode & 07777, FileOwner{status.st_uid, status.st_gid}) !=
      0)
    return failed(status::unspecified);
  file.textHash = std::hash<std::string_view>{}(text);
  return Commit{noErr, std::move(current)};
}

}  // namespace camknob::sim
