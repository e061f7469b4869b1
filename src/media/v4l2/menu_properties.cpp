#include "media/v4l2/menu_properties.h"

#include <linux/videodev2.h>

#include <cstring>

#include "media/service_status.h"
#include "media/v4l2/menu_items.h"

namespace camknob::v4l2 {

namespace {

const MenuItem* offered(const ModelControl& control, std::uint32_t index) {
  for (const MenuItem& item : control.menuItems)
    if (item.index == index) return &item;
  return nullptr;
}

PropertyAnswer refusal(Status status) {
  return PropertyAnswer{status, 0, {}};
}

}  // namespace

bool menuHas(const ModelControl& control, std::uint32_t selector) {
  if (control.role != ControlRole::Value || !isMenu(control.primary)) return false;
  const bool named = control.primary.type == V4L2_CTRL_TYPE_MENU;
  return selector == selectors::menuItems || (selector == selectors::menuItemName && named) ||
         (selector == selectors::menuItemNumber && !named);
}

bool isMenuItemSelector(std::uint32_t selector) {
  return selector == selectors::menuItemName || selector == selectors::menuItemNumber;
}

std::vector<std::uint32_t> menuIndexes(const ModelControl& control) {
  std::vector<std::uint32_t> indexes;
  indexes.reserve(control.menuItems.size());
  for (const MenuItem& item : control.menuItems) indexes.push_back(item.index);
  return indexes;
}

PropertyAnswer menuItemProperty(const ModelControl& control, std::uint32_t selector,
                                std::uint32_t qualifierSize, const void* qualifier) {
  if (!menuHas(control, selector) || !isMenuItemSelector(selector))
    return refusal(status::unknownProperty);
  if (qualifier == nullptr || qualifierSize != sizeof(std::uint32_t))
    return refusal(status::badSize);
  std::uint32_t index = 0;
  std::memcpy(&index, qualifier, sizeof index);
  const MenuItem* item = offered(control, index);
  if (item == nullptr) return refusal(status::unknownProperty);
  PropertyAnswer answer{noErr, 8, {}};
  if (selector == selectors::menuItemName) {
    const auto reference = static_cast<StringRef>(&item->name);
    std::memcpy(answer.bytes.data(), &reference, sizeof reference);
    return answer;
  }
  const auto bits = static_cast<std::uint64_t>(item->number);
  for (std::size_t byte = 0; byte < 8; ++byte)
    answer.bytes[byte] = static_cast<std::uint8_t>(bits >> (8 * byte));
  return answer;
}

}  // namespace camknob::v4l2
