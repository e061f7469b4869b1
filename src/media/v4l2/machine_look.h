// A look at the machine's video nodes: the first of a run, or another one by
// a program that runs long, which keeps what it can of the last.
#pragma once

#include <string>
#include <vector>

#include "media/v4l2/device_values.h"
#include "media/v4l2/node_watching.h"

namespace camknob::v4l2 {

// The devices at the nodes (/dev's video nodes, in node number order). A
// device of `earlier` whose descriptor still answers is kept as it is, with
// its controls and its values; every other node is discovered afresh, and
// the devices whose node is gone are closed. The rule that tells identical
// devices apart applies to the whole new list. While watching, each device's
// node is watched for opens, and the look's own opens are not news.
std::vector<LiveDevice> lookAgain(const std::vector<std::string>& nodes,
                                  std::vector<LiveDevice> earlier, Watching& watching);

// Closes the device's node, when it was opened.
void closeDevice(const LiveDevice& device);

}  // namespace camknob::v4l2
