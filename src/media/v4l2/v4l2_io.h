// What the V4L2 service asks of the kernel: the video nodes, their
// capabilities and controls, sysfs facts about the hardware behind them, and
// the watch on /dev. The only code that makes V4L2 ioctls, reads sysfs or
// calls inotify; tests link a fake in its place.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace camknob::v4l2 {

// A node's answer to the capability query.
struct NodeCapabilities {
  std::string card;
  std::string busInfo;
  std::uint32_t deviceCaps;  // device_caps where the driver gives them, else capabilities
};

// One control as the driver describes it.
struct ControlDescription {
  std::uint32_t id;
  std::uint32_t type;
  std::string name;
  std::int64_t minimum;
  std::int64_t maximum;
  std::uint64_t step;
  std::uint32_t flags;
  std::int64_t defaultValue;
};

// One item of a menu control, as the driver names it.
struct MenuItem {
  std::uint32_t index;
  std::string name;     // of a menu's item (V4L2_CTRL_TYPE_MENU)
  std::int64_t number;  // of an integer menu's item (V4L2_CTRL_TYPE_INTEGER_MENU)
};

// What sysfs says about a node, for nodes that cannot be opened and for USB
// identity.
struct NodeFacts {
  std::optional<std::string> name;          // the driver's name of the node
  std::optional<unsigned> index;            // the node's index within its device
  std::optional<std::string> usbVendor;     // four hex digits
  std::optional<std::string> usbProduct;    // four hex digits
  std::optional<std::string> manufacturer;  // the USB manufacturer string
  std::optional<std::string> usbBusInfo;    // what the driver would give as bus_info
};

// The names in /dev that start with "video", in no particular order.
std::vector<std::string> videoNodeNames();

// An open descriptor of the node, shared with other programs, or the errno.
struct OpenedNode {
  int fd;     // -1 when the node could not be opened
  int error;  // errno when fd is -1
};
OpenedNode openNode(const std::string& nodeName);

void closeNode(int fd);

std::optional<NodeCapabilities> queryCapabilities(int fd);

// A driver that lists more controls than this is cut short.
inline constexpr std::size_t maximumControls = 4096;

// Every control the driver lists, in its order (compound controls left out).
std::vector<ControlDescription> describeControls(int fd);

// Current values of the controls in one call; 0, or the errno of the call.
int readControls(int fd, std::span<const std::uint32_t> ids, std::span<std::int32_t> values);

// New values for the controls in one call; 0, or the errno of the call.
int writeControls(int fd, std::span<const std::uint32_t> ids, std::span<const std::int32_t> values);

// Whether the menu control offers the item.
bool menuOffers(int fd, std::uint32_t id, std::uint32_t index);

// The menu control's item at the index; nothing where the driver refuses the
// index (drivers leave holes in their menus).
std::optional<MenuItem> queryMenuItem(int fd, const ControlDescription& control,
                                      std::uint32_t index);

NodeFacts nodeFacts(const std::string& nodeName);

// Whether udev recorded the node as a video capture node; nothing without a
// record. Only a node that cannot be opened needs asking.
std::optional<bool> recordedCapture(const std::string& nodeName);

// Watching the video nodes, for a program that runs long. None of it opens a
// node or asks a driver anything.

enum class NodeEventKind {
  Appeared,            // a video node was created in /dev, or moved there
  Vanished,            // one was deleted, or moved away
  PermissionsChanged,  // its mode, owner or other attributes changed
  Opened,              // a watched node was opened, by any program
  WatchGone,           // a watch ended (removed, or its node's file is gone)
  Overflow,            // the kernel dropped events: anything may have happened
};

struct NodeEvent {
  NodeEventKind kind;
  int watch;             // the node's watch (Opened, WatchGone); -1 otherwise
  std::string nodeName;  // the node in /dev (Appeared, Vanished, PermissionsChanged)
};

// A non-blocking descriptor that becomes readable when a video node appears
// in /dev, vanishes or changes permissions; -1 when the system refuses one.
int watchVideoNodes();

// Adds to the descriptor a watch for opens of the node; the watch's id (the
// same id again for a file already watched), or -1.
int watchNodeOpens(int watching, const std::string& nodeName);

void unwatchNode(int watching, int watch);

// The events waiting on the descriptor, in order; never blocks.
std::vector<NodeEvent> readNodeEvents(int watching);

void stopWatchingNodes(int watching);

}  // namespace camknob::v4l2
