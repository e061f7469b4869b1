#include "media/v4l2/v4l2_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

namespace camknob::v4l2 {

namespace {

// Every control ioctl of a run goes through here; only an interrupted call is
// made again, never one the device answered.
int deviceIoctl(int fd, unsigned long request, void* argument) {
  int result;
  do {
    result = ::ioctl(fd, request, argument);
  } while (result == -1 && errno == EINTR);
  return result == -1 ? errno : 0;
}

// The kernel's fixed-size text fields need not end in a NUL.
template <std::size_t N>
std::string fieldText(const std::uint8_t (&field)[N]) {
  const auto* text = reinterpret_cast<const char*>(field);
  return std::string(text, strnlen(text, N));
}
template <std::size_t N>
std::string fieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// The first line of a small sysfs or udev file, without its line feed.
std::optional<std::string> firstLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  if (!file || !std::getline(file, line)) return std::nullopt;
  return line;
}

std::optional<std::string> realPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return std::nullopt;
  return std::string(resolved);
}

std::string parentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The USB device a node belongs to: the nearest folder above the node's
// device that carries a vendor id.
std::optional<std::string> usbDeviceFolder(const std::string& nodeName) {
  auto folder = realPath("/sys/class/video4linux/" + nodeName + "/device");
  for (int level = 0; folder && level < 4 && folder->rfind("/sys/devices/", 0) == 0; ++level) {
    if (::access((*folder + "/idVendor").c_str(), R_OK) == 0) return folder;
    folder = parentOf(*folder);
  }
  return std::nullopt;
}

// "usb-" + host controller + "-" + port path, as USB drivers name the bus.
std::optional<std::string> usbBusInfo(const std::string& usbFolder) {
  const auto devicePath = firstLine(usbFolder + "/devpath");
  if (!devicePath) return std::nullopt;
  for (std::string folder = usbFolder; folder.size() > 1; folder = parentOf(folder)) {
    if (baseNameOf(folder).rfind("usb", 0) == 0)
      return "usb-" + baseNameOf(parentOf(folder)) + "-" + *devicePath;
  }
  return std::nullopt;
}

std::vector<ControlDescription> describeWithQueryCtrl(int fd) {
  std::vector<ControlDescription> controls;
  v4l2_queryctrl query{};
  query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
  while (controls.size() < maximumControls && deviceIoctl(fd, VIDIOC_QUERYCTRL, &query) == 0) {
    if (!controls.empty() && query.id <= controls.back().id) break;  // a driver going round
    controls.push_back(ControlDescription{
        query.id, query.type, fieldText(query.name), query.minimum, query.maximum,
        std::uint64_t(std::max(query.step, 0)), query.flags, query.default_value});
    const std::uint32_t next = controls.back().id | V4L2_CTRL_FLAG_NEXT_CTRL;
    query = v4l2_queryctrl{};
    query.id = next;
  }
  return controls;
}

bool isVideoNodeName(std::string_view name) {
  return name.substr(0, 5) == "video";
}

// What one inotify event says, or nothing for one that says nothing of use
// (a name in /dev that is no video node, say).
std::optional<NodeEvent> nodeEventOf(const inotify_event& event) {
  if ((event.mask & IN_Q_OVERFLOW) != 0) return NodeEvent{NodeEventKind::Overflow, -1, {}};
  if ((event.mask & IN_IGNORED) != 0) return NodeEvent{NodeEventKind::WatchGone, event.wd, {}};
  if (event.len == 0) {
    if ((event.mask & IN_OPEN) != 0) return NodeEvent{NodeEventKind::Opened, event.wd, {}};
    return std::nullopt;
  }
  const std::string name(event.name, strnlen(event.name, event.len));
  if (!isVideoNodeName(name)) return std::nullopt;
  if ((event.mask & (IN_CREATE | IN_MOVED_TO)) != 0)
    return NodeEvent{NodeEventKind::Appeared, -1, name};
  if ((event.mask & (IN_DELETE | IN_MOVED_FROM)) != 0)
    return NodeEvent{NodeEventKind::Vanished, -1, name};
  if ((event.mask & IN_ATTRIB) != 0) return NodeEvent{NodeEventKind::PermissionsChanged, -1, name};
  return std::nullopt;
}

}  // namespace

std::vector<std::string> videoNodeNames() {
  std::vector<std::string> names;
  if (DIR* dev = ::opendir("/dev")) {
    while (const dirent* entry = ::readdir(dev))
      if (isVideoNodeName(entry->d_name)) names.emplace_back(entry->d_name);
    ::closedir(dev);
  }
  return names;
}

OpenedNode openNode(const std::string& nodeName) {
  const std::string path = "/dev/" + nodeName;
  // Never exclusive: the camera may be streaming to another program. Controls
  // need no write access to the node, so a read-only node still works.
  int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && (errno == EACCES || errno == EROFS))
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  return OpenedNode{fd, fd < 0 ? errno : 0};
}

void closeNode(int fd) {
  ::close(fd);
}

std::optional<NodeCapabilities> queryCapabilities(int fd) {
  v4l2_capability capability{};
  if (deviceIoctl(fd, VIDIOC_QUERYCAP, &capability) != 0) return std::nullopt;
  const std::uint32_t caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS) != 0
                                 ? capability.device_caps
                                 : capability.capabilities;
  return NodeCapabilities{fieldText(capability.card), fieldText(capability.bus_info), caps};
}

std::vector<ControlDescription> describeControls(int fd) {
  std::vector<ControlDescription> controls;
  v4l2_query_ext_ctrl query{};
  query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
  while (controls.size() < maximumControls) {
    const int error = deviceIoctl(fd, VIDIOC_QUERY_EXT_CTRL, &query);
    if (error == ENOTTY && controls.empty()) return describeWithQueryCtrl(fd);
    if (error != 0) break;
    if (!controls.empty() && query.id <= controls.back().id) break;  // a driver going round
    controls.push_back(ControlDescription{query.id, query.type, fieldText(query.name),
                                          query.minimum, query.maximum, query.step, query.flags,
                                          query.default_value});
    query = v4l2_query_ext_ctrl{};
    query.id = controls.back().id | V4L2_CTRL_FLAG_NEXT_CTRL;
  }
  return controls;
}

int readControls(int fd, std::span<const std::uint32_t> ids, std::span<std::int32_t> values) {
  std::vector<v4l2_ext_control> controls(ids.size());
  for (std::size_t i = 0; i < ids.size(); ++i) controls[i].id = ids[i];
  v4l2_ext_controls request{};
  request.which = V4L2_CTRL_WHICH_CUR_VAL;
  request.count = static_cast<std::uint32_t>(controls.size());
  request.controls = controls.data();
  int error = deviceIoctl(fd, VIDIOC_G_EXT_CTRLS, &request);
  if (error == ENOTTY && ids.size() == 1) {
    v4l2_control control{};
    control.id = ids[0];
    error = deviceIoctl(fd, VIDIOC_G_CTRL, &control);
    controls[0].value = control.value;
  }
  if (error != 0) return error;
  for (std::size_t i = 0; i < ids.size(); ++i) values[i] = controls[i].value;
  return 0;
}

int writeControls(int fd, std::span<const std::uint32_t> ids,
                  std::span<const std::int32_t> values) {
  std::vector<v4l2_ext_control> controls(ids.size());
  for (std::size_t i = 0; i < ids.size(); ++i) {
    controls[i].id = ids[i];
    controls[i].value = values[i];
  }
  v4l2_ext_controls request{};
  request.which = V4L2_CTRL_WHICH_CUR_VAL;
  request.count = static_cast<std::uint32_t>(controls.size());
  request.controls = controls.data();
  const int error = deviceIoctl(fd, VIDIOC_S_EXT_CTRLS, &request);
  if (error != ENOTTY) return error;
  // A driver from before extended controls takes them one at a time.
  for (std::size_t i = 0; i < ids.size(); ++i) {
    v4l2_control control{};
    control.id = ids[i];
    control.value = values[i];
    if (const int single = deviceIoctl(fd, VIDIOC_S_CTRL, &control); single != 0) return single;
  }
  return 0;
}

bool menuOffers(int fd, std::uint32_t id, std::uint32_t index) {
  v4l2_querymenu item{};
  item.id = id;
  item.index = index;
  return deviceIoctl(fd, VIDIOC_QUERYMENU, &item) == 0;
}

std::optional<MenuItem> queryMenuItem(int fd, const ControlDescription& control,
                                      std::uint32_t index) {
  v4l2_querymenu item{};
  item.id = control.id;
  item.index = index;
  if (deviceIoctl(fd, VIDIOC_QUERYMENU, &item) != 0) return std::nullopt;
  if (control.type == V4L2_CTRL_TYPE_INTEGER_MENU) return MenuItem{index, {}, item.value};
  return MenuItem{index, fieldText(item.name), 0};
}

NodeFacts nodeFacts(const std::string& nodeName) {
  const std::string folder = "/sys/class/video4linux/" + nodeName;
  NodeFacts facts;
  facts.name = firstLine(folder + "/name");
  if (const auto index = firstLine(folder + "/index");
      index && !index->empty() && index->size() < 6 &&
      std::all_of(index->begin(), index->end(), [](char c) { return c >= '0' && c <= '9'; }))
    facts.index = unsigned(std::stoul(*index));
  if (const auto usb = usbDeviceFolder(nodeName)) {
    facts.usbVendor = firstLine(*usb + "/idVendor");
    facts.usbProduct = firstLine(*usb + "/idProduct");
    facts.manufacturer = firstLine(*usb + "/manufacturer");
    facts.usbBusInfo = usbBusInfo(*usb);
  }
  return facts;
}

std::optional<bool> recordedCapture(const std::string& nodeName) {
  // udev's record lists the node's capabilities, such as ":capture:".
  struct stat node {};
  if (::stat(("/dev/" + nodeName).c_str(), &node) != 0 || !S_ISCHR(node.st_mode))
    return std::nullopt;
  std::ifstream record("/run/udev/data/c" + std::to_string(major(node.st_rdev)) + ":" +
                       std::to_string(minor(node.st_rdev)));
  constexpr std::string_view key = "E:ID_V4L_CAPABILITIES=";
  for (std::string line; std::getline(record, line);)
    if (line.rfind(key, 0) == 0) return line.find(":capture:") != std::string::npos;
  return std::nullopt;
}

int watchVideoNodes() {
  const int watching = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watching < 0) return -1;
  constexpr std::uint32_t changes =
      IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_ONLYDIR;
  if (::inotify_add_watch(watching, "/dev", changes) < 0) {
    ::close(watching);
    return -1;
  }
  return watching;
}

int watchNodeOpens(int watching, const std::string& nodeName) {
  // The node itself, never a link in its place.
  const int watch =
      ::inotify_add_watch(watching, ("/dev/" + nodeName).c_str(), IN_OPEN | IN_DONT_FOLLOW);
  return watch < 0 ? -1 : watch;
}

void unwatchNode(int watching, int watch) {
  (void)::inotify_rm_watch(watching, watch);
}

std::vector<NodeEvent> readNodeEvents(int watching) {
  std::vector<NodeEvent> events;
  alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
  for (;;) {
    const ssize_t got = ::read(watching, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // EAGAIN: nothing more waits
    // The kernel pads each name so that the next event starts aligned.
    for (std::size_t at = 0; at + sizeof(inotify_event) <= std::size_t(got);) {
      const auto& event = *reinterpret_cast<const inotify_event*>(buffer + at);
      at += sizeof(inotify_event) + event.len;
      if (at > std::size_t(got)) break;
      if (const auto read = nodeEventOf(event)) events.push_back(*read);
    }
  }
  return events;
}

void stopWatchingNodes(int watching) {
  ::close(watching);
}

}  // namespace camknob::v4l2
