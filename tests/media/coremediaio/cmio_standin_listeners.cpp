// The stand-in's property listeners: kept per object and selector, and called
// from a thread of the stand-in's own when the device list or a device's
// 'gone' differs from what the thread last saw.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>
#include <vector>

#include "media/coremediaio/cmio_standin.h"
#include "media/coremediaio/cmio_standin_internal.h"
#include "media/service_status.h"
#include "media/sim/sim_startup.h"

namespace camknob::cmio_standin {

namespace {

struct Listener {
  CMIOObjectID object;
  std::uint32_t selector;
  CMIOObjectPropertyListenerProc proc;
  void* client;

  friend bool operator==(const Listener&, const Listener&) = default;
};

// What the store showed of the two watched properties.
struct Sight {
  std::vector<ObjectId> devices;
  std::map<ObjectId, std::uint32_t> running;  // by object, where it has 'gone'

  friend bool operator==(const Sight&, const Sight&) = default;
};

// The listeners and the thread that calls them, in one place. The lists are
// guarded by their own mutex, so that a listener may be added or removed
// while others are being called.
struct Listeners {
  std::mutex mutex;
  std::vector<Listener> added;
  std::map<std::pair<CMIOObjectID, std::uint32_t>, std::size_t> calls;
  bool refusing = false;
  std::thread thread;
  int wakeRead = -1;
  int wakeWrite = -1;
  bool stopping = false;
  Sight seen;

  ~Listeners() {
    if (!thread.joinable()) return;
    {
      const std::lock_guard lock(mutex);
      stopping = true;
    }
    wake();
    thread.join();
  }

  void wake() const {
    const char byte = 1;
    (void)!::write(wakeWrite, &byte, 1);
  }
};

Listeners& listeners() {
  static Listeners instance;
  return instance;
}

// The store as it is now; called under the store's lock.
Sight look() {
  Sight sight;
  const auto& objects = sim::store().objects;
  const auto system = objects.find(systemObject);
  if (system == objects.end()) return sight;
  const auto list = system->second.properties.find(selectors::devices);
  if (list != system->second.properties.end()) sight.devices = sim::idsOf(list->second);
  // Every object that has the property, on the list or not: a listener left
  // on a device taken off the list is still called.
  for (const auto& [id, object] : objects) {
    const auto running = object.properties.find(selectors::deviceIsRunningSomewhere);
    if (running != object.properties.end()) sight.running[id] = sim::uint32Of(running->second);
  }
  return sight;
}

// The addresses that differ between two sights: the device list, and 'gone'
// of each object that had it before and has another value now. An object
// that came or went is news of the list alone.
std::vector<std::pair<CMIOObjectID, std::uint32_t>> differences(const Sight& before,
                                                                const Sight& after) {
  std::vector<std::pair<CMIOObjectID, std::uint32_t>> changed;
  if (before.devices != after.devices) changed.emplace_back(systemObject, selectors::devices);
  for (const auto& [object, value] : after.running) {
    const auto was = before.running.find(object);
    if (was != before.running.end() && was->second != value)
      changed.emplace_back(object, selectors::deviceIsRunningSomewhere);
  }
  return changed;
}

// One look: the fixture read again when another process changed it, then
// every listener of what changed since the last look called, outside the
// locks, as CoreMediaIO calls them.
void lookAndAnnounce(Listeners& all) {
  std::vector<std::pair<CMIOObjectID, std::uint32_t>> changed;
  {
    const std::lock_guard storeLock(detail::storeMutex());
    if (sim::fixtureChanged()) sim::reloadChangedFixture();
    Sight now = look();
    const std::lock_guard lock(all.mutex);
    changed = differences(all.seen, now);
    all.seen = std::move(now);
  }
  for (const auto& [object, selector] : changed) {
    std::vector<Listener> called;
    {
      const std::lock_guard lock(all.mutex);
      for (const Listener& listener : all.added)
        if (listener.object == object && listener.selector == selector) called.push_back(listener);
      all.calls[{object, selector}] += called.size();
    }
    for (const Listener& listener : called) {
      detail::journal("notify " + detail::addressText(object, selector));
      const CMIOObjectPropertyAddress address{selector, globalScope, mainElement};
      (void)listener.proc(object, 1, &address, listener.client);
    }
  }
}

void watchAndAnnounce(Listeners& all) {
  const int fixture = sim::watchFixture();
  for (;;) {
    pollfd watched[2] = {{all.wakeRead, POLLIN, 0}, {fixture, POLLIN, 0}};
    (void)::poll(watched, fixture >= 0 ? 2 : 1, -1);
    char bytes[64];
    while (::read(all.wakeRead, bytes, sizeof bytes) > 0) {
    }
    {
      const std::lock_guard lock(all.mutex);
      if (all.stopping) return;
    }
    lookAndAnnounce(all);
  }
}

// The thread starts with the first listener, from the store as it is then.
void startThread(Listeners& all) {
  if (all.thread.joinable()) return;
  int ends[2];
  if (::pipe(ends) != 0) std::abort();
  for (const int end : ends) ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
  all.wakeRead = ends[0];
  all.wakeWrite = ends[1];
  {
    const std::lock_guard storeLock(detail::storeMutex());
    all.seen = look();
  }
  all.thread = std::thread(watchAndAnnounce, std::ref(all));
}

}  // namespace

void changeStore(const std::function<void(sim::System&)>& change) {
  {
    const std::lock_guard storeLock(detail::storeMutex());
    change(sim::store());
  }
  detail::storeMayHaveChanged();
}

std::size_t listenerCount(CMIOObjectID object, std::uint32_t selector) {
  Listeners& all = listeners();
  const std::lock_guard lock(all.mutex);
  return std::count_if(all.added.begin(), all.added.end(), [&](const Listener& listener) {
    return listener.object == object && listener.selector == selector;
  });
}

std::size_t listenerCalls(CMIOObjectID object, std::uint32_t selector) {
  Listeners& all = listeners();
  const std::lock_guard lock(all.mutex);
  const auto found = all.calls.find({object, selector});
  return found == all.calls.end() ? 0 : found->second;
}

void refuseListeners(bool refusing) {
  Listeners& all = listeners();
  const std::lock_guard lock(all.mutex);
  all.refusing = refusing;
}

namespace detail {

void storeMayHaveChanged() {
  Listeners& all = listeners();
  bool running = false;
  {
    const std::lock_guard lock(all.mutex);
    running = all.thread.joinable();
  }
  if (running) all.wake();
}

}  // namespace detail

}  // namespace camknob::cmio_standin

using namespace camknob;
using namespace camknob::cmio_standin;

extern "C" {

// As CoreMediaIO: an object that does not exist, or no address, is refused;
// one listener may be added more than once, and each is called.
OSStatus CMIOObjectAddPropertyListener(CMIOObjectID objectID,
                                       const CMIOObjectPropertyAddress* address,
                                       CMIOObjectPropertyListenerProc listener, void* clientData) {
  if (address == nullptr || listener == nullptr) return status::unspecified;
  {
    const std::lock_guard storeLock(detail::storeMutex());
    if (sim::store().objects.count(objectID) == 0) return status::badObject;
  }
  Listeners& all = listeners();
  {
    const std::lock_guard lock(all.mutex);
    if (all.refusing) return status::unspecified;
    all.added.push_back(Listener{objectID, address->mSelector, listener, clientData});
  }
  detail::journal("listen " + detail::addressText(objectID, address->mSelector));
  startThread(all);
  return 0;
}

// Removes one listener added with the same four; none such is an error.
OSStatus CMIOObjectRemovePropertyListener(CMIOObjectID objectID,
                                          const CMIOObjectPropertyAddress* address,
                                          CMIOObjectPropertyListenerProc listener,
                                          void* clientData) {
  if (address == nullptr) return status::unspecified;
  Listeners& all = listeners();
  {
    const std::lock_guard lock(all.mutex);
    const Listener removed{objectID, address->mSelector, listener, clientData};
    const auto found = std::find(all.added.begin(), all.added.end(), removed);
    if (found == all.added.end()) return status::unknownProperty;
    all.added.erase(found);
  }
  detail::journal("unlisten " + detail::addressText(objectID, address->mSelector));
  return 0;
}

}  // extern "C"
