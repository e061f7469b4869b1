// The cameras of the machine: the video capture nodes, each with its
// identity and its controls, found once per run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/property_types.h"
#include "media/v4l2/control_model.h"
#include "media/v4l2/v4l2_io.h"

namespace camknob::v4l2 {

struct ModelDevice {
  ObjectId objectId;
  std::string nodeName;
  int fd;  // -1 for a node that could not be opened: listed without controls
  std::string uid;
  std::string name;
  std::optional<std::string> manufacturer;
  std::vector<ModelControl> controls;
};

// Every capture node, in node number order.
std::vector<ModelDevice> discoverDevices();

// N of "videoN"; nothing for any other name.
std::optional<unsigned> nodeNumber(std::string_view nodeName);

// Video capture, single- or multi-planar, and neither memory-to-memory nor
// output.
bool isCaptureNode(std::uint32_t deviceCaps);

// The bus information, with the USB vendor and product ids where there are
// some and the node's index within its device where it is not the first.
std::string deviceUid(std::string_view busInfo, const NodeFacts& facts, std::string_view nodeName);

}  // namespace camknob::v4l2
