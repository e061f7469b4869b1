// What a device's controls hold now: read from the driver once per look at
// the cameras, all of a device's values in one call where it allows that.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "media/v4l2/device_discovery.h"

namespace camknob::v4l2 {

struct Reading {
  int error;  // 0 when the value was read
  std::int32_t value;
};

// What was read of a device since the last look at the cameras or the last
// write to it.
struct ValueCache {
  bool batchTried = false;
  std::vector<std::pair<std::uint32_t, Reading>> readings;
};

struct LiveDevice {
  ModelDevice model;
  ValueCache cache;
};

// The control's current value, from the cache or the driver.
Reading readValue(LiveDevice& device, const ControlDescription& control);

// The next read asks the driver again.
void forgetValues(ValueCache& cache);

}  // namespace camknob::v4l2
