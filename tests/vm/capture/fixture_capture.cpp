#include "capture/fixture_capture.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "media/property_access.h"

namespace camknob::capture {

namespace {

using Json = nlohmann::ordered_json;

std::string selectorText(std::uint32_t code) {
  return std::string{char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
}

// A number as the fixture takes it: JSON's own where it has one, else the
// texts the fixture reads for the others. A float goes in its shortest text,
// which the fixture reads back as the same float.
Json numberOf(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  return value;
}

Json floatOf(float value) {
  if (!std::isfinite(value)) return numberOf(value);
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  return std::strtod(std::string(text, written.ptr).c_str(), nullptr);
}

// A class code as its four characters where they are printable and read
// back as the same code, else the number (a driver's own control id).
Json classOf(std::uint32_t code) {
  const std::string text = selectorText(code);
  for (const char c : text)
    if (c < 0x20 || c > 0x7E) return code;
  return text;
}

std::optional<Json> propertyValue(ObjectId object, const PropertyKind& kind) {
  switch (kind.shape) {
    case PropertyShape::UInt32: {
      const auto value = readUInt32(object, kind.selector);
      if (!value) return std::nullopt;
      return kind.selector == selectors::objectClass ? classOf(*value) : Json(*value);
    }
    case PropertyShape::Float32:
      if (const auto value = readFloat32(object, kind.selector)) return floatOf(*value);
      return std::nullopt;
    case PropertyShape::Range:
      if (const auto range = readRange(object, kind.selector))
        return Json::array({numberOf(range->mMinimum), numberOf(range->mMaximum)});
      return std::nullopt;
    case PropertyShape::Bytes:
      if (const auto bytes = readBytes(object, kind.selector)) return Json(*bytes);
      return std::nullopt;
    case PropertyShape::String:
      if (const auto text = readString(object, kind.selector)) return Json(*text);
      return std::nullopt;
    case PropertyShape::Ids:  // the fixture's layout: devices, controls, menus
      return std::nullopt;
  }
  return std::nullopt;
}

// The object's entry: its id, its properties and what may be written.
Json objectEntry(ObjectId object) {
  Json properties = Json::object();
  Json settable = Json::array();
  for (const PropertyKind& kind : propertyKinds) {
    const auto value = propertyValue(object, kind);
    if (!value) continue;
    properties[selectorText(kind.selector)] = *value;
    if (isSettable(object, kind.selector)) settable.push_back(selectorText(kind.selector));
  }
  Json entry = {{"objectId", object}, {"properties", std::move(properties)}};
  if (!settable.empty()) entry["settable"] = std::move(settable);
  return entry;
}

std::string line(const Json& entry) {
  return entry.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::optional<Json> menuEntry(ObjectId control) {
  if (!propertySize(control, selectors::menuItems, nullptr)) return std::nullopt;
  Json items = Json::array();
  for (const ObjectId index : readObjectIds(control, selectors::menuItems, std::nullopt)) {
    if (const auto name = readItemString(control, selectors::menuItemName, index))
      items.push_back({{"value", index}, {"name", *name}});
    else if (const auto number = readItemInt64(control, selectors::menuItemNumber, index))
      items.push_back({{"value", index}, {"name", *number}});
  }
  return items;
}

std::string capturedFixture() {
  std::string out = "{\"devices\": [";
  const std::vector<ObjectId> devices =
      readObjectIds(systemObject, selectors::devices, std::nullopt);
  for (std::size_t d = 0; d < devices.size(); ++d) {
    const ObjectId device = devices[d];
    out += d == 0 ? "\n  " : ",\n  ";
    std::string head = line(objectEntry(device));
    head.pop_back();  // the closing brace: the controls follow
    out += head;
    // A device lists its controls, or has no list at all.
    if (propertySize(device, selectors::ownedObjects, nullptr)) {
      const std::vector<ObjectId> controls =
          readObjectIds(device, selectors::ownedObjects, controlClass);
      out += ", \"controls\": [";
      for (std::size_t c = 0; c < controls.size(); ++c) {
        Json entry = objectEntry(controls[c]);
        if (auto menu = menuEntry(controls[c])) entry["menu"] = std::move(*menu);
        out += (c == 0 ? "\n    " : ",\n    ") + line(entry);
      }
      out += controls.empty() ? "]" : "\n  ]";
    }
    out += "}";
  }
  out += devices.empty() ? "]}\n" : "\n]}\n";
  return out;
}

}  // namespace camknob::capture
