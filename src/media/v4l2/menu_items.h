// The items of a camera's menu controls: asked of the driver once, as the
// camera is described, so that reading them later asks nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "media/v4l2/control_model.h"

namespace camknob::v4l2 {

// A menu whose range spans more indexes than this is asked about its first
// ones only.
inline constexpr std::uint32_t maximumMenuIndexes = 1024;

// A menu of names or of numbers.
bool isMenu(const ControlDescription& control);

// Each listed menu control gets the items its driver accepts, from its
// minimum index to its maximum, in that order.
void describeMenus(int fd, std::vector<ModelControl>& controls);

}  // namespace camknob::v4l2
