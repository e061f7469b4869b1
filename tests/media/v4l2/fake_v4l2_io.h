// A machine of video nodes in memory, answering the V4L2 service's calls
// into the kernel, with a record of what was asked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/v4l2/v4l2_io.h"

namespace camknob::v4l2::fake {

struct FakeControl {
  ControlDescription description;
  std::int32_t value = 0;
  int readError = 0;                          // errno of a read that includes this control
  int writeError = 0;                         // errno of a write that includes this control
  std::vector<std::uint32_t> menuItems = {};  // items a menu offers
};

struct FakeNode {
  std::string name;  // "video0", ...
  int openError = 0;
  std::optional<NodeCapabilities> capabilities;
  NodeFacts facts;
  std::optional<bool> recordedCapture;  // udev's record of the node
  std::vector<FakeControl> controls;
  bool refusesBatches = false;  // reads of more than one control fail with EINVAL
};

struct Calls {
  int opens = 0;
  int closes = 0;
  int capabilityQueries = 0;
  int descriptions = 0;
  int batchReads = 0;   // reads of several controls in one call
  int singleReads = 0;  // reads of one control
  int menuQueries = 0;
  int captureRecords = 0;  // looks at udev's records
  std::vector<std::vector<std::pair<std::uint32_t, std::int32_t>>> writes;
};

struct Machine {
  std::vector<FakeNode> nodes;
  Calls calls;
};

// The machine the calls answer from; replacing it makes the service look
// again.
Machine& machine();
void useMachine(Machine replacement);

FakeControl* controlOf(std::uint32_t id);  // on any node

}  // namespace camknob::v4l2::fake
