// The cameras of the machine: the video capture nodes, each with its
// identity and its controls, found once per run (and again, node by node, at
// each new look of a program that runs long).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/v4l2/control_model.h"
#include "media/v4l2/v4l2_io.h"
#include "records/property_types.h"

namespace camknob::v4l2 {

struct ModelDevice {
  ObjectId objectId;
  std::string nodeName;
  int fd;  // -1 for a node that could not be opened: listed without controls
  // The uid as the node alone gives it, and as told apart from the uids of
  // the devices before it.
  std::string identity;
  std::string uid;
  std::string name;
  std::optional<std::string> manufacturer;
  std::vector<ModelControl> controls;
};

// The video nodes in /dev that may be devices, in node number order.
std::vector<std::string> videoNodesInOrder();

// The device at one node, given what opening it gave (a descriptor that is no
// device's is closed); nothing for a node that is no camera or has gone. Its
// uid is its identity, until it is told apart.
std::optional<ModelDevice> discoverNode(const std::string& nodeName, const OpenedNode& opened);

// Gives each device its uid: its identity, followed by "@" and its node name
// when an earlier device of the list already has that uid.
void tellApart(std::vector<ModelDevice*> devices);

// N of "videoN"; nothing for any other name.
std::optional<unsigned> nodeNumber(std::string_view nodeName);

// Video capture, single- or multi-planar, and neither memory-to-memory nor
// output.
bool isCaptureNode(std::uint32_t deviceCaps);

// The bus information, with the USB vendor and product ids where there are
// some and the node's index within its device where it is not the first.
std::string deviceUid(std::string_view busInfo, const NodeFacts& facts, std::string_view nodeName);

}  // namespace camknob::v4l2
