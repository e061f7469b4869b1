// News of the machine from CoreMediaIO's own notifications: the system's
// device list ('dev#') and, on every device, whether any process uses it
// ('gone'). The listeners run on a thread of CoreMediaIO's; they only note
// what changed and write a byte to a pipe, which the engine waits on. The
// engine's thread then reads what changed, in takeNews. Nothing polls.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "media/coremediaio/cmio_platform.h"
#include "media/property_service.h"

namespace camknob::service {

namespace {

constexpr CMIOObjectPropertyAddress devicesAddress{selectors::devices, globalScope, mainElement};
constexpr CMIOObjectPropertyAddress runningAddress{selectors::deviceIsRunningSomewhere, globalScope,
                                                   mainElement};

// What the service keeps for watching, in this one place. Made once and never
// freed: a listener may still be called while the process ends.
struct Watch {
  int readEnd = -1;
  int writeEnd = -1;
  // Noted by the listeners, taken by takeNews; guarded by the mutex.
  std::mutex mutex;
  bool devicesNoted = false;
  std::set<ObjectId> runningNoted;
  // The engine thread's alone: whether the listeners are on, the devices
  // listened to, and (without listeners) the device list as the last news
  // saw it.
  bool listening = false;
  std::set<ObjectId> listened;
  std::optional<std::vector<ObjectId>> devicesSeen;
};

Watch& watch() {
  static Watch* const instance = new Watch;
  return *instance;
}

// The system object's device list; nothing when it cannot be read.
std::optional<std::vector<ObjectId>> systemDevices() {
  UInt32 size = 0;
  if (CMIOObjectGetPropertyDataSize(systemObject, &devicesAddress, 0, nullptr, &size) != 0)
    return std::nullopt;
  std::vector<ObjectId> devices(size / sizeof(ObjectId));
  UInt32 used = 0;
  if (!devices.empty() &&
      CMIOObjectGetPropertyData(systemObject, &devicesAddress, 0, nullptr,
                                static_cast<UInt32>(devices.size() * sizeof(ObjectId)), &used,
                                devices.data()) != 0)
    return std::nullopt;
  devices.resize(used / sizeof(ObjectId));
  return devices;
}

// Whether some process uses the device; 0 when that cannot be read.
std::uint32_t runningSomewhere(ObjectId device) {
  UInt32 value = 0;
  UInt32 used = 0;
  if (CMIOObjectGetPropertyData(device, &runningAddress, 0, nullptr, sizeof value, &used, &value) !=
          0 ||
      used != sizeof value)
    return 0;
  return value;
}

// The listener: notes which property of which object changed and wakes the
// engine. A full pipe wakes it as well as one more byte would.
OSStatus noteChange(CMIOObjectID object, UInt32 count, const CMIOObjectPropertyAddress addresses[],
                    void* client) {
  Watch& noted = *static_cast<Watch*>(client);
  {
    const std::lock_guard lock(noted.mutex);
    for (UInt32 i = 0; i < count; ++i) {
      if (addresses[i].mSelector == selectors::devices && object == systemObject)
        noted.devicesNoted = true;
      if (addresses[i].mSelector == selectors::deviceIsRunningSomewhere)
        noted.runningNoted.insert(object);
    }
  }
  const char byte = 1;
  (void)!::write(noted.writeEnd, &byte, 1);
  return 0;
}

void listenTo(Watch& state, ObjectId device) {
  if (state.listened.count(device) != 0) return;
  if (CMIOObjectAddPropertyListener(device, &runningAddress, noteChange, &state) == 0)
    state.listened.insert(device);
}

void stopListeningTo(Watch& state, ObjectId device) {
  (void)CMIOObjectRemovePropertyListener(device, &runningAddress, noteChange, &state);
  state.listened.erase(device);
}

// Listens to every device on the list and to no other.
void followDevices(Watch& state, const std::vector<ObjectId>& devices) {
  const std::set<ObjectId> present(devices.begin(), devices.end());
  std::vector<ObjectId> gone;
  for (const ObjectId device : state.listened)
    if (present.count(device) == 0) gone.push_back(device);
  for (const ObjectId device : gone) stopListeningTo(state, device);
  for (const ObjectId device : devices) listenTo(state, device);
}

bool makePipe(Watch& state) {
  int ends[2];
  if (::pipe(ends) != 0) return false;
  for (const int end : ends) {
    ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    ::fcntl(end, F_SETFD, FD_CLOEXEC);
  }
  state.readEnd = ends[0];
  state.writeEnd = ends[1];
  return true;
}

void drain(int descriptor) {
  char bytes[256];
  for (;;) {
    const ssize_t got = ::read(descriptor, bytes, sizeof bytes);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
  }
}

// Without listeners: the device list is looked at each time news is asked
// for, and no device is known to have been opened.
ServiceNews newsByLooking(Watch& state) {
  std::optional<std::vector<ObjectId>> devices = systemDevices();
  if (!devices) return ServiceNews{false, {}};
  const bool changed = state.devicesSeen && *state.devicesSeen != *devices;
  state.devicesSeen = std::move(devices);
  return ServiceNews{changed, {}};
}

}  // namespace

// The pipe, the listener on the system's device list, and one on each device.
// Where CoreMediaIO will not take the first listener, -1: the engine then asks
// for news once a second.
int startWatching() {
  Watch& state = watch();
  if (state.listening) return state.readEnd;
  if (state.readEnd < 0 && !makePipe(state)) return -1;
  if (CMIOObjectAddPropertyListener(systemObject, &devicesAddress, noteChange, &state) != 0)
    return -1;
  state.listening = true;
  if (const std::optional<std::vector<ObjectId>> devices = systemDevices())
    followDevices(state, *devices);
  return state.readEnd;
}

// What the listeners noted, read now: the device list (listening to arrivals,
// no longer to departures), and each device whose 'gone' changed and reads
// non-zero now: it went from 0 to non-zero, or was left and started again in
// between. The engine's own reads and writes start no device.
ServiceNews takeNews() {
  Watch& state = watch();
  if (!state.listening) return newsByLooking(state);
  drain(state.readEnd);
  bool devicesChanged = false;
  std::set<ObjectId> runningChanged;
  {
    const std::lock_guard lock(state.mutex);
    std::swap(devicesChanged, state.devicesNoted);
    runningChanged.swap(state.runningNoted);
  }
  if (devicesChanged)
    if (const std::optional<std::vector<ObjectId>> devices = systemDevices())
      followDevices(state, *devices);
  ServiceNews news{devicesChanged, {}};
  for (const ObjectId device : runningChanged) {
    if (state.listened.count(device) == 0) continue;  // left since
    if (runningSomewhere(device) != 0) news.openedElsewhere.push_back(device);
  }
  return news;
}

}  // namespace camknob::service
