#include "media/v4l2/menu_items.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "json/json_text.h"

namespace camknob::v4l2 {

bool isMenu(const ControlDescription& control) {
  return control.type == V4L2_CTRL_TYPE_MENU || control.type == V4L2_CTRL_TYPE_INTEGER_MENU;
}

void describeMenus(int fd, std::vector<ModelControl>& controls) {
  for (ModelControl& control : controls) {
    const ControlDescription& menu = control.primary;
    if (control.role != ControlRole::Value || !isMenu(menu) || menu.maximum < 0 ||
        menu.maximum < menu.minimum)
      continue;
    // Indexes are unsigned 32-bit numbers; a driver's range is kept to them.
    const std::int64_t first = std::max<std::int64_t>(menu.minimum, 0);
    const std::int64_t last = std::min<std::int64_t>(
        {menu.maximum, first + maximumMenuIndexes - 1, std::numeric_limits<std::uint32_t>::max()});
    for (std::int64_t index = first; index <= last; ++index) {
      auto item = queryMenuItem(fd, menu, static_cast<std::uint32_t>(index));
      if (!item) continue;
      item->name = repairedUtf8(item->name);
      control.menuItems.push_back(std::move(*item));
    }
  }
}

}  // namespace camknob::v4l2
