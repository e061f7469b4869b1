#include "media/v4l2/device_discovery.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>

#include "json/json_text.h"
#include "media/v4l2/menu_items.h"

namespace camknob::v4l2 {

namespace {

constexpr unsigned maximumNodeNumber = 0xFFFE;  // keeps device object ids in 32 bits

// A node that exists but may not be opened is still shown: the user sees the
// camera is there. Nodes that vanished are not.
bool shownUnopened(int error) {
  return error == EACCES || error == EPERM || error == EBUSY;
}

// Whether an unopened node is a capture node: udev's record says so, or,
// without one, it is the first node of its device (a camera's capture node
// comes before its metadata node).
bool likelyCapture(const std::string& nodeName, const NodeFacts& facts) {
  if (const auto recorded = recordedCapture(nodeName)) return *recorded;
  return facts.index.value_or(0) == 0;
}

std::optional<std::string> manufacturerOf(const NodeFacts& facts) {
  if (!facts.manufacturer) return std::nullopt;
  return repairedUtf8(*facts.manufacturer);
}

std::optional<ModelDevice> openedDevice(const std::string& nodeName, ObjectId objectId, int fd) {
  const auto capabilities = queryCapabilities(fd);
  if (!capabilities || !isCaptureNode(capabilities->deviceCaps)) return std::nullopt;
  const NodeFacts facts = nodeFacts(nodeName);
  std::string name = repairedUtf8(capabilities->card);
  if (name.empty()) name = repairedUtf8(facts.name.value_or(nodeName));
  std::string identity = deviceUid(capabilities->busInfo, facts, nodeName);
  std::vector<ModelControl> controls = modelControls(objectId, describeControls(fd));
  describeMenus(fd, controls);
  return ModelDevice{
      objectId,           nodeName, fd, identity, identity, std::move(name), manufacturerOf(facts),
      std::move(controls)};
}

std::optional<ModelDevice> unopenedDevice(const std::string& nodeName, ObjectId objectId) {
  const NodeFacts facts = nodeFacts(nodeName);
  if (!likelyCapture(nodeName, facts)) return std::nullopt;
  std::string identity = deviceUid(facts.usbBusInfo.value_or(""), facts, nodeName);
  return ModelDevice{objectId,
                     nodeName,
                     -1,
                     identity,
                     identity,
                     repairedUtf8(facts.name.value_or(nodeName)),
                     manufacturerOf(facts),
                     {}};
}

}  // namespace

std::optional<unsigned> nodeNumber(std::string_view nodeName) {
  constexpr std::string_view prefix = "video";
  if (nodeName.substr(0, prefix.size()) != prefix || nodeName.size() == prefix.size() ||
      nodeName.size() > prefix.size() + 5)
    return std::nullopt;
  unsigned number = 0;
  for (const char c : nodeName.substr(prefix.size())) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + unsigned(c - '0');
  }
  return number;
}

bool isCaptureNode(std::uint32_t deviceCaps) {
  const bool capture = (deviceCaps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) != 0;
  const bool otherwise = (deviceCaps & (V4L2_CAP_VIDEO_M2M | V4L2_CAP_VIDEO_M2M_MPLANE |
                                        V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_VIDEO_OUTPUT_MPLANE)) != 0;
  return capture && !otherwise;
}

std::string deviceUid(std::string_view busInfo, const NodeFacts& facts, std::string_view nodeName) {
  std::string uid =
      busInfo.empty() ? "video4linux:" + std::string(nodeName) : repairedUtf8(busInfo);
  // Appended piece by piece: GCC 12 at -O3 warns, wrongly, about a
  // temporary built with "literal" + string.
  if (facts.usbVendor && facts.usbProduct) {
    uid.append("/").append(repairedUtf8(*facts.usbVendor));
    uid.append(":").append(repairedUtf8(*facts.usbProduct));
  }
  if (facts.index.value_or(0) != 0) uid.append("#").append(std::to_string(*facts.index));
  return uid;
}

std::vector<std::string> videoNodesInOrder() {
  std::vector<std::pair<unsigned, std::string>> nodes;
  for (std::string& name : videoNodeNames())
    if (const auto number = nodeNumber(name); number && *number <= maximumNodeNumber)
      nodes.emplace_back(*number, std::move(name));
  std::sort(nodes.begin(), nodes.end());
  std::vector<std::string> names;
  names.reserve(nodes.size());
  for (auto& node : nodes) names.push_back(std::move(node.second));
  return names;
}

std::optional<ModelDevice> discoverNode(const std::string& nodeName, const OpenedNode& opened) {
  const auto number = nodeNumber(nodeName);
  if (!number || *number > maximumNodeNumber) {
    if (opened.fd >= 0) closeNode(opened.fd);
    return std::nullopt;
  }
  const ObjectId objectId = (*number + 1) * deviceIdStride;
  if (opened.fd >= 0) {
    auto device = openedDevice(nodeName, objectId, opened.fd);
    if (!device) closeNode(opened.fd);
    return device;
  }
  if (shownUnopened(opened.error)) return unopenedDevice(nodeName, objectId);
  return std::nullopt;
}

// Two nodes that give the same identity still get two uids.
void tellApart(std::vector<ModelDevice*> devices) {
  for (auto device = devices.begin(); device != devices.end(); ++device) {
    (*device)->uid = (*device)->identity;
    const bool taken = std::any_of(devices.begin(), device, [&](const ModelDevice* other) {
      return other->uid == (*device)->uid;
    });
    if (taken) (*device)->uid += "@" + (*device)->nodeName;
  }
}

}  // namespace camknob::v4l2
