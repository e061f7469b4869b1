#include "media/sim/sim_fixture_watch.h"

#if defined(__linux__)
#include <stdlib.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>

#include "system/file_replacement.h"
#endif

namespace camknob::sim {

#if defined(__linux__)

// Fixtures are replaced by a rename, so it is the folder that is watched:
// the fixture's own, and the one of the file a link there names, which is
// the file each write replaces.
int watchFixtureFile(const std::string& path) {
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch < 0) return -1;
  constexpr std::uint32_t changes =
      IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ONLYDIR;
  bool watched = ::inotify_add_watch(watch, folderOf(path).c_str(), changes) >= 0;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr)
    watched = ::inotify_add_watch(watch, folderOf(resolved).c_str(), changes) >= 0 || watched;
  if (!watched) {
    ::close(watch);
    return -1;
  }
  return watch;
}

void drainFixtureWatch(int watch) {
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(watch, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;  // EAGAIN: nothing more waits
  }
}

void stopFixtureWatch(int watch) {
  ::close(watch);
}

#else

int watchFixtureFile(const std::string& path) {
  (void)path;
  return -1;
}

void drainFixtureWatch(int watch) {
  (void)watch;
}

void stopFixtureWatch(int watch) {
  (void)watch;
}

#endif

}  // namespace camknob::sim
