// What the V4L2 service asks of the kernel: the video nodes, their
// capabilities and controls, and sysfs facts about the hardware behind them.
// The only code that makes V4L2 ioctls or reads sysfs; tests link a fake in
// its place.
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

NodeFacts nodeFacts(const std::string& nodeName);

// Whether udev recorded the node as a video capture node; nothing without a
// record. Only a node that cannot be opened needs asking.
std::optional<bool> recordedCapture(const std::string& nodeName);

}  // namespace camknob::v4l2
