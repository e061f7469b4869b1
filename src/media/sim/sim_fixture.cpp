#include "media/sim/sim_fixture.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

namespace camknob::sim {

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

struct FixtureError {
  std::string message;
};

[[noreturn]] void reject(const std::string& where, const std::string& what) {
  throw FixtureError{where + ": " + what};
}

// Which shape each selector a fixture may name holds.
const std::map<std::string, Shape>& propertyShapes() {
  static const std::map<std::string, Shape> shapes{
      {"clas", Shape::UInt32},  {"fcam", Shape::UInt32},  {"fcoo", Shape::UInt32},
      {"fcav", Shape::Float32}, {"fcnv", Shape::Float32}, {"fcar", Shape::Range},
      {"fcnr", Shape::Range},   {"fcnd", Shape::Bytes},   {"fcdr", Shape::Bytes},
      {"uid ", Shape::String},  {"lnam", Shape::String},  {"lmak", Shape::String},
  };
  return shapes;
}

std::string selectorText(std::uint32_t code) {
  return std::string{char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
}

std::uint32_t knownSelector(const std::string& where, const std::string& text) {
  if (propertyShapes().count(text) == 0) reject(where, "unknown selector \"" + text + "\"");
  return fourCharCode(text);
}

std::uint32_t unsignedOf(const std::string& where, const Json& value) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number <= std::numeric_limits<std::uint32_t>::max()) return std::uint32_t(number);
  }
  reject(where, "expected an integer from 0 to 4294967295");
}

double realOf(const std::string& where, const Json& value) {
  if (value.is_number()) return value.get<double>();
  if (value == "nan") return std::numeric_limits<double>::quiet_NaN();
  if (value == "inf") return std::numeric_limits<double>::infinity();
  if (value == "-inf") return -std::numeric_limits<double>::infinity();
  reject(where, "expected a number, \"nan\", \"inf\" or \"-inf\"");
}

Value valueOf(const std::string& where, Shape shape, const std::string& selector,
              const Json& value) {
  switch (shape) {
    case Shape::UInt32:
      if (selector == "clas" && value.is_string()) {
        const auto text = value.get<std::string>();
        if (text.size() != 4) reject(where, "expected a four-character class code");
        return uint32Value(fourCharCode(text));
      }
      return uint32Value(unsignedOf(where, value));
    case Shape::Float32:
      return float32Value(static_cast<float>(realOf(where, value)));
    case Shape::Range:
      if (!value.is_array() || value.size() != 2) reject(where, "expected [minimum, maximum]");
      return rangeValue(realOf(where + "[0]", value[0]), realOf(where + "[1]", value[1]));
    case Shape::Bytes: {
      if (!value.is_array()) reject(where, "expected an array of bytes");
      std::vector<std::uint8_t> bytes;
      for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string at = where + "[" + std::to_string(i) + "]";
        const std::uint32_t byte = unsignedOf(at, value[i]);
        if (byte > 255) reject(at, "expected an integer from 0 to 255");
        bytes.push_back(std::uint8_t(byte));
      }
      return bytesValue(std::move(bytes));
    }
    case Shape::String:
      if (!value.is_string()) reject(where, "expected a string");
      return stringValue(value.get<std::string>());
    case Shape::Ids:
      break;
  }
  reject(where, "unsupported property");
}

void expectKeys(const std::string& where, const Json& object,
                std::initializer_list<std::string_view> allowed) {
  if (!object.is_object()) reject(where, "expected an object");
  for (const auto& [key, value] : object.items()) {
    (void)value;
    if (std::find(allowed.begin(), allowed.end(), key) == allowed.end())
      reject(where, "unknown key \"" + key + "\"");
  }
}

ObjectId objectIdOf(const std::string& where, const Json& entry, System& system) {
  if (!entry.contains("objectId")) reject(where, "missing \"objectId\"");
  const ObjectId id = unsignedOf(where + ".objectId", entry["objectId"]);
  if (id == systemObject) reject(where + ".objectId", "1 is the system object");
  if (system.objects.count(id) != 0)
    reject(where + ".objectId", std::to_string(id) + " is used twice");
  system.objects[id];
  return id;
}

// The parts that devices and controls share: properties, settable, refuse.
Object objectOf(const std::string& where, const Json& entry) {
  Object object;
  if (entry.contains("properties")) {
    const Json& properties = entry["properties"];
    if (!properties.is_object()) reject(where + ".properties", "expected an object");
    for (const auto& [key, value] : properties.items()) {
      const std::string at = where + ".properties." + key;
      const std::uint32_t code = knownSelector(at, key);
      object.properties[code] = valueOf(at, propertyShapes().at(key), key, value);
    }
  }
  if (entry.contains("settable")) {
    const Json& settable = entry["settable"];
    if (!settable.is_array()) reject(where + ".settable", "expected an array of selectors");
    for (std::size_t i = 0; i < settable.size(); ++i) {
      const std::string at = where + ".settable[" + std::to_string(i) + "]";
      if (!settable[i].is_string()) reject(at, "expected a selector");
      object.settable.insert(knownSelector(at, settable[i].get<std::string>()));
    }
  }
  if (entry.contains("refuse")) {
    const Json& refuse = entry["refuse"];
    if (!refuse.is_object()) reject(where + ".refuse", "expected an object");
    for (const auto& [key, value] : refuse.items()) {
      const std::string at = where + ".refuse." + key;
      const std::uint32_t code = knownSelector(at, key);
      const bool fits = value.is_number_integer() &&
                        value.get<std::int64_t>() >= std::numeric_limits<std::int32_t>::min() &&
                        value.get<std::int64_t>() <= std::numeric_limits<std::uint32_t>::max() &&
                        value.get<std::int64_t>() != 0;
      if (!fits) reject(at, "expected a non-zero 32-bit status");
      object.refuse[code] =
          static_cast<Status>(static_cast<std::uint32_t>(value.get<std::int64_t>()));
    }
  }
  return object;
}

System systemOf(const Json& document) {
  expectKeys("fixture", document, {"devices"});
  if (!document.contains("devices") || !document["devices"].is_array())
    reject("fixture", "expected \"devices\" to be an array");
  System system;
  std::vector<ObjectId> deviceIds;
  const Json& devices = document["devices"];
  for (std::size_t d = 0; d < devices.size(); ++d) {
    const std::string where = "devices[" + std::to_string(d) + "]";
    const Json& device = devices[d];
    expectKeys(where, device, {"objectId", "properties", "controls", "settable", "refuse"});
    const ObjectId deviceId = objectIdOf(where, device, system);
    Object deviceObject = objectOf(where, device);
    if (device.contains("controls")) {
      const Json& controls = device["controls"];
      if (!controls.is_array()) reject(where + ".controls", "expected an array");
      std::vector<ObjectId> controlIds;
      for (std::size_t c = 0; c < controls.size(); ++c) {
        const std::string at = where + ".controls[" + std::to_string(c) + "]";
        expectKeys(at, controls[c], {"objectId", "properties", "settable", "refuse"});
        const ObjectId controlId = objectIdOf(at, controls[c], system);
        system.objects[controlId] = objectOf(at, controls[c]);
        controlIds.push_back(controlId);
      }
      deviceObject.properties[fourCharCode("ownd")] = idsValue(controlIds);
    }
    system.objects[deviceId] = std::move(deviceObject);
    deviceIds.push_back(deviceId);
  }
  system.objects[systemObject].properties[fourCharCode("dev#")] = idsValue(deviceIds);
  return system;
}

OrderedJson realJson(double number) {
  if (std::isnan(number)) return "nan";
  if (std::isinf(number)) return number > 0 ? "inf" : "-inf";
  return number;
}

bool printable(std::uint32_t code) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = std::uint8_t(code >> shift);
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

OrderedJson propertyJson(std::uint32_t selector, const Value& value) {
  switch (value.shape) {
    case Shape::UInt32: {
      const std::uint32_t number = uint32Of(value);
      if (selector == fourCharCode("clas") && printable(number)) return selectorText(number);
      return number;
    }
    case Shape::Float32:
      return realJson(float32Of(value));
    case Shape::Range: {
      const AudioValueRange range = rangeOf(value);
      return OrderedJson::array({realJson(range.mMinimum), realJson(range.mMaximum)});
    }
    case Shape::Bytes:
      return value.bytes;
    case Shape::String:
      return value.text;
    case Shape::Ids:
      break;
  }
  return nullptr;
}

OrderedJson objectJson(ObjectId id, const Object& object, const System& system) {
  OrderedJson entry;
  entry["objectId"] = id;
  OrderedJson properties = OrderedJson::object();
  for (const auto& [selector, value] : object.properties)
    if (value.shape != Shape::Ids)
      properties[selectorText(selector)] = propertyJson(selector, value);
  entry["properties"] = std::move(properties);
  if (const auto owned = object.properties.find(fourCharCode("ownd"));
      owned != object.properties.end()) {
    OrderedJson controls = OrderedJson::array();
    for (const ObjectId controlId : idsOf(owned->second))
      if (const auto control = system.objects.find(controlId); control != system.objects.end())
        controls.push_back(objectJson(controlId, control->second, system));
    entry["controls"] = std::move(controls);
  }
  if (!object.settable.empty()) {
    OrderedJson settable = OrderedJson::array();
    for (const std::uint32_t selector : object.settable) settable.push_back(selectorText(selector));
    entry["settable"] = std::move(settable);
  }
  if (!object.refuse.empty()) {
    OrderedJson refuse = OrderedJson::object();
    for (const auto& [selector, status] : object.refuse) refuse[selectorText(selector)] = status;
    entry["refuse"] = std::move(refuse);
  }
  return entry;
}

}  // namespace

FixtureLoad parseFixture(std::string_view text) {
  Json document;
  try {
    document = Json::parse(text);
  } catch (const Json::parse_error& error) {
    std::string message = error.what();
    // Drop the library's "[json.exception.parse_error.101] " tag.
    if (const auto tagEnd = message.find("] ");
        message.rfind("[json.", 0) == 0 && tagEnd != std::string::npos)
      message.erase(0, tagEnd + 2);
    return {std::nullopt, message};
  }
  try {
    return {systemOf(document), {}};
  } catch (const FixtureError& error) {
    return {std::nullopt, error.message};
  }
}

FixtureLoad loadFixture(const std::string& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return {std::nullopt, "cannot read: a folder"};
  std::ifstream file(path, std::ios::binary);
  if (!file) return {std::nullopt, std::string("cannot open: ") + std::strerror(errno)};
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) return {std::nullopt, "cannot read the file"};
  return parseFixture(text.str());
}

std::string fixtureText(const System& system) {
  OrderedJson devices = OrderedJson::array();
  if (const auto root = system.objects.find(systemObject); root != system.objects.end()) {
    if (const auto listed = root->second.properties.find(fourCharCode("dev#"));
        listed != root->second.properties.end()) {
      for (const ObjectId deviceId : idsOf(listed->second))
        if (const auto device = system.objects.find(deviceId); device != system.objects.end())
          devices.push_back(objectJson(deviceId, device->second, system));
    }
  }
  OrderedJson document;
  document["devices"] = std::move(devices);
  return document.dump(2) + "\n";
}

Status saveFixture(const System& system, const std::string& path) {
  const std::string temporary = path + ".tmp-" + std::to_string(::getpid());
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << fixtureText(system);
    file.flush();
    if (!file) {
      std::remove(temporary.c_str());
      return unspecified;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return unspecified;
  }
  return noErr;
}

}  // namespace camknob::sim
