#include "media/v4l2/device_values.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>

namespace camknob::v4l2 {

namespace {

std::vector<std::uint32_t> readableIds(const LiveDevice& device) {
  std::vector<std::uint32_t> ids;
  const auto add = [&ids](const ControlDescription& control) {
    if ((control.flags & V4L2_CTRL_FLAG_WRITE_ONLY) == 0 &&
        std::find(ids.begin(), ids.end(), control.id) == ids.end())
      ids.push_back(control.id);
  };
  for (const ModelControl& control : device.model.controls) {
    add(control.primary);
    if (control.secondary) add(*control.secondary);
    if (control.automatic) add(control.automatic->control);
  }
  return ids;
}

const Reading* cached(const ValueCache& cache, std::uint32_t id) {
  for (const auto& [readId, reading] : cache.readings)
    if (readId == id) return &reading;
  return nullptr;
}

}  // namespace

void forgetValues(ValueCache& cache) {
  cache.batchTried = false;
  cache.readings.clear();
}

// The first value asked for reads every value of the device in one call; if
// the driver refuses that, each value is read on its own when asked for.
Reading readValue(LiveDevice& device, const ControlDescription& control) {
  if ((control.flags & V4L2_CTRL_FLAG_WRITE_ONLY) != 0) return Reading{EACCES, 0};
  ValueCache& cache = device.cache;
  if (const Reading* reading = cached(cache, control.id)) return *reading;
  if (!cache.batchTried) {
    cache.batchTried = true;
    const std::vector<std::uint32_t> ids = readableIds(device);
    std::vector<std::int32_t> values(ids.size(), 0);
    if (!ids.empty() && readControls(device.model.fd, ids, values) == 0) {
      for (std::size_t i = 0; i < ids.size(); ++i)
        cache.readings.emplace_back(ids[i], Reading{0, values[i]});
      if (const Reading* reading = cached(cache, control.id)) return *reading;
    }
  }
  std::int32_t value = 0;
  const std::uint32_t id = control.id;
  const int error = readControls(device.model.fd, {&id, 1}, {&value, 1});
  cache.readings.emplace_back(id, Reading{error, value});
  return Reading{error, value};
}

}  // namespace camknob::v4l2
