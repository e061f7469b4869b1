#include "media/sim/sim_fixture.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "json/json_reader.h"
#include "json/shortest_double.h"
#include "text/hex_text.h"
#include "text/one_line.h"

namespace camknob::sim {

namespace {

// The shape of a property a fixture names by its selector's four characters;
// the lists of devices and controls are made from the fixture's layout.
std::optional<PropertyShape> shapeOf(std::string_view selector) {
  if (selector.size() != 4) return std::nullopt;
  const auto shape = propertyShape(fourCharCode(selector));
  if (shape == PropertyShape::Ids) return std::nullopt;
  return shape;
}

std::string selectorText(std::uint32_t code) {
  return std::string{char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
}

// One JSON value as the parser hands it over; containers only by their start.
struct Event {
  enum class Kind { Other, Integer, Unsigned, Real, Text, Object, Array } kind;
  std::int64_t integer = 0;
  std::uint64_t whole = 0;
  double real = 0;
  const std::string* text = nullptr;

  bool container() const { return kind == Kind::Object || kind == Kind::Array; }
};

// A number, or one of the texts that stand for the numbers JSON has not.
std::optional<double> realOf(const Event& event) {
  switch (event.kind) {
    case Event::Kind::Integer:
      return static_cast<double>(event.integer);
    case Event::Kind::Unsigned:
      return static_cast<double>(event.whole);
    case Event::Kind::Real:
      return event.real;
    case Event::Kind::Text:
      if (*event.text == "nan") return std::numeric_limits<double>::quiet_NaN();
      if (*event.text == "inf") return std::numeric_limits<double>::infinity();
      if (*event.text == "-inf") return -std::numeric_limits<double>::infinity();
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::optional<std::uint32_t> uint32Of(const Event& event) {
  if (event.kind == Event::Kind::Unsigned &&
      event.whole <= std::numeric_limits<std::uint32_t>::max())
    return static_cast<std::uint32_t>(event.whole);
  return std::nullopt;
}

constexpr std::string_view notANumber = "expected a number, \"nan\", \"inf\" or \"-inf\"";

// Reads the fixture as the parser walks it, straight into the system, so
// that a large fixture never exists as a document tree as well. Faults are
// named with where they are ("devices[0].controls[2].properties.fcnv"); that
// text is only made when there is a fault.
class FixtureReader {
 public:
  // Room for the objects a text of this length holds, so that the table of
  // objects is not rebuilt again and again as a large fixture is read.
  explicit FixtureReader(std::size_t textSize) { system_.objects.reserve(textSize / 128); }

  bool null() { return value({Event::Kind::Other}); }
  bool boolean(bool) { return value({Event::Kind::Other}); }
  bool number_integer(std::int64_t number) {
    return value({.kind = Event::Kind::Integer, .integer = number});
  }
  bool number_unsigned(std::uint64_t number) {
    return value({.kind = Event::Kind::Unsigned, .whole = number});
  }
  bool number_float(double number, const std::string&) {
    return value({.kind = Event::Kind::Real, .real = number});
  }
  bool string(std::string& text) { return value({.kind = Event::Kind::Text, .text = &text}); }
  bool start_object(std::size_t) { return value({Event::Kind::Object}); }
  bool start_array(std::size_t) { return value({Event::Kind::Array}); }
  bool key(std::string& name);
  bool end_object();
  bool end_array();

  // The system read, or the first fault; a fault of the text itself, when
  // there is one, before any other.
  FixtureLoad result(std::string_view text, const std::optional<JsonFault>& textFault) &&;

 private:
  enum class Frame : std::uint8_t {
    Root,
    Devices,
    Device,
    Controls,
    Control,
    Properties,
    Settable,
    Refuse,
    Range,
    Bytes,
    Menu,
    MenuItem,
    Skip
  };

  // A device or control being read. One of each is reused throughout, so
  // that its room is made once; the system gets an exact copy.
  struct Entry {
    Object object;
    std::optional<ObjectId> id;
    unsigned keysSeen = 0;
    bool hasControls = false;
    std::vector<ObjectId> controlIds;
    std::vector<ObjectId> menuOrder;  // the menu's item values as given

    void restart() {
      object.properties.clear();
      object.settable.clear();
      object.refuse.clear();
      object.menu.clear();
      menuOrder.clear();
      id.reset();
      keysSeen = 0;
      hasControls = false;
      controlIds.clear();
    }
  };

  // Each value goes to the reader of the place it is in.
  bool value(const Event& event);
  // Opens the frame when the value is of the kind wanted; else the fault.
  bool enter(const Event& event, Event::Kind wanted, Frame frame, const std::string& where,
             std::string_view otherwise);
  void entryValue(Entry& entry, const Event& event);
  void settableValue(const Event& event);
  void refusalValue(const Event& event);
  void rangeElement(const Event& event);
  void byteElement(const Event& event);
  void propertyValue(const Event& event);
  void menuItemValue(const Event& event);
  void finishMenuItem();
  void finishEntry(Frame frame);

  bool failed() const { return !fault_.empty(); }
  void fail(const std::string& where, std::string_view what) {
    fault_ = where + ": " + std::string(what);
  }
  Entry& entry() { return inControl_ ? control_ : device_; }
  std::string entryPath() const {
    std::string path = "devices[" + std::to_string(deviceIndex_) + "]";
    if (inControl_) path += ".controls[" + std::to_string(controlIndex_) + "]";
    return path;
  }
  std::string propertyPath() const { return entryPath() + ".properties." + propertyKey_; }
  std::string elementPath() const { return propertyPath() + "[" + std::to_string(element_) + "]"; }
  std::string menuPath() const { return entryPath() + ".menu[" + std::to_string(element_) + "]"; }

  System system_;
  std::vector<ObjectId> deviceIds_;
  std::vector<Frame> frames_;
  bool devicesSeen_ = false;
  std::size_t deviceIndex_ = 0;
  std::size_t controlIndex_ = 0;
  bool inControl_ = false;
  Entry device_;
  Entry control_;
  std::string entryKey_;
  std::string propertyKey_;
  PropertyShape propertyShape_ = PropertyShape::Bytes;
  std::size_t element_ = 0;
  std::array<double, 2> range_{};
  std::string rangeFault_;  // a range element that is no number, told once its length is right
  std::vector<std::uint8_t> bytes_;
  // The menu item being read: its value, and its name or number.
  std::string menuKey_;
  std::optional<std::uint32_t> itemValue_;
  MenuEntry item_;
  unsigned itemKeysSeen_ = 0;
  std::string fault_;
};

// A device's keys are the first five; a control's, all but "controls".
constexpr std::array<std::string_view, 6> entryKeys{"objectId", "properties", "settable",
                                                    "refuse",   "controls",   "menu"};
constexpr std::array<std::string_view, 2> menuItemKeys{"value", "name"};

bool FixtureReader::key(std::string& name) {
  if (failed()) return true;
  switch (frames_.back()) {
    case Frame::Root:
      if (name != "devices") {
        fail("fixture", "unknown key \"" + name + "\"");
      } else if (devicesSeen_) {
        fail("fixture", "\"devices\" is given twice");
      }
      devicesSeen_ = true;
      break;
    case Frame::Device:
    case Frame::Control: {
      const bool device = frames_.back() == Frame::Device;
      const auto* known = std::find(entryKeys.begin(), entryKeys.end(), name);
      const auto bit = 1u << (known - entryKeys.begin());
      if (known == entryKeys.end() || (device && name == "menu") ||
          (!device && name == "controls")) {
        fail(entryPath(), "unknown key \"" + name + "\"");
      } else if ((entry().keysSeen & bit) != 0) {
        fail(entryPath(), "\"" + name + "\" is given twice");
      }
      entry().keysSeen |= bit;
      entryKey_ = name;
      break;
    }
    case Frame::MenuItem: {
      const auto* known = std::find(menuItemKeys.begin(), menuItemKeys.end(), name);
      const auto bit = 1u << (known - menuItemKeys.begin());
      if (known == menuItemKeys.end()) {
        fail(menuPath(), "unknown key \"" + name + "\"");
      } else if ((itemKeysSeen_ & bit) != 0) {
        fail(menuPath(), "\"" + name + "\" is given twice");
      }
      itemKeysSeen_ |= bit;
      menuKey_ = name;
      break;
    }
    case Frame::Properties:
    case Frame::Refuse: {
      const bool properties = frames_.back() == Frame::Properties;
      const auto where = [&] {
        return entryPath() + (properties ? ".properties." : ".refuse.") + name;
      };
      const auto shape = shapeOf(name);
      if (!shape) {
        fail(where(), "unknown selector \"" + name + "\"");
        break;
      }
      const std::uint32_t code = fourCharCode(name);
      const bool repeated =
          properties ? entry().object.properties.count(code) : entry().object.refuse.count(code);
      if (repeated) fail(where(), "is given twice");
      propertyKey_ = name;
      propertyShape_ = *shape;
      break;
    }
    default:
      break;  // a skipped object's keys
  }
  return true;
}

bool FixtureReader::value(const Event& event) {
  if (failed()) return true;
  if (frames_.empty()) {
    enter(event, Event::Kind::Object, Frame::Root, "fixture", "expected an object");
    return true;
  }
  switch (frames_.back()) {
    case Frame::Root:
      enter(event, Event::Kind::Array, Frame::Devices, "fixture",
            "expected \"devices\" to be an array");
      break;
    case Frame::Devices:
      inControl_ = false;
      if (enter(event, Event::Kind::Object, Frame::Device, entryPath(), "expected an object"))
        device_.restart();
      break;
    case Frame::Controls:
      inControl_ = true;
      if (enter(event, Event::Kind::Object, Frame::Control, entryPath(), "expected an object"))
        control_.restart();
      break;
    case Frame::Device:
    case Frame::Control:
      entryValue(entry(), event);
      break;
    case Frame::Properties:
      propertyValue(event);
      break;
    case Frame::Settable:
      settableValue(event);
      break;
    case Frame::Refuse:
      refusalValue(event);
      break;
    case Frame::Range:
      rangeElement(event);
      break;
    case Frame::Bytes:
      byteElement(event);
      break;
    case Frame::Menu:
      if (enter(event, Event::Kind::Object, Frame::MenuItem, menuPath(), "expected an object")) {
        itemValue_.reset();
        item_ = MenuEntry{};
        itemKeysSeen_ = 0;
      }
      break;
    case Frame::MenuItem:
      menuItemValue(event);
      break;
    case Frame::Skip:
      if (event.container()) frames_.push_back(Frame::Skip);
      break;
  }
  return true;
}

bool FixtureReader::enter(const Event& event, Event::Kind wanted, Frame frame,
                          const std::string& where, std::string_view otherwise) {
  if (event.kind != wanted) {
    fail(where, otherwise);
    return false;
  }
  frames_.push_back(frame);
  return true;
}

void FixtureReader::settableValue(const Event& event) {
  const auto where = [this] { return entryPath() + ".settable[" + std::to_string(element_) + "]"; };
  if (event.kind != Event::Kind::Text) {
    fail(where(), "expected a selector");
  } else if (!shapeOf(*event.text)) {
    fail(where(), "unknown selector \"" + *event.text + "\"");
  } else {
    entry().object.settable.insert(fourCharCode(*event.text));
  }
  ++element_;
}

void FixtureReader::refusalValue(const Event& event) {
  // "-0" arrives as a signed zero, which is no refusal either.
  const bool fits = (event.kind == Event::Kind::Integer && event.integer != 0 &&
                     event.integer >= std::numeric_limits<std::int32_t>::min()) ||
                    (event.kind == Event::Kind::Unsigned && event.whole != 0 &&
                     event.whole <= std::numeric_limits<std::uint32_t>::max());
  if (!fits) {
    fail(entryPath() + ".refuse." + propertyKey_, "expected a non-zero 32-bit status");
    return;
  }
  const auto bits = event.kind == Event::Kind::Integer ? static_cast<std::uint32_t>(event.integer)
                                                       : static_cast<std::uint32_t>(event.whole);
  entry().object.refuse[fourCharCode(propertyKey_)] = static_cast<Status>(bits);
}

void FixtureReader::rangeElement(const Event& event) {
  const std::size_t index = element_++;
  const auto number = realOf(event);
  if (index < 2 && number) {
    range_[index] = *number;
  } else if (index < 2 && rangeFault_.empty()) {
    rangeFault_ = propertyPath() + "[" + std::to_string(index) + "]: " + std::string(notANumber);
  }
  if (event.container()) frames_.push_back(Frame::Skip);
}

void FixtureReader::byteElement(const Event& event) {
  const auto number = uint32Of(event);
  if (!number) {
    fail(elementPath(), "expected an integer from 0 to 4294967295");
  } else if (*number > 255) {
    fail(elementPath(), "expected an integer from 0 to 255");
  } else {
    bytes_.push_back(static_cast<std::uint8_t>(*number));
  }
  ++element_;
}

void FixtureReader::entryValue(Entry& entry, const Event& event) {
  const auto where = [this] { return entryPath() + "." + entryKey_; };
  if (entryKey_ == "objectId") {
    const auto id = uint32Of(event);
    if (!id || *id == 0) {
      fail(where(), "expected an integer from 2 to 4294967295");
    } else if (*id == systemObject) {
      fail(where(), "1 is the system object");
    } else if (system_.objects.count(*id) != 0) {
      fail(where(), std::to_string(*id) + " is used twice");
    } else {
      system_.objects[*id];  // taken from now on
      entry.id = *id;
    }
  } else if (entryKey_ == "properties") {
    if (event.kind != Event::Kind::Object) return fail(where(), "expected an object");
    frames_.push_back(Frame::Properties);
  } else if (entryKey_ == "controls") {
    if (event.kind != Event::Kind::Array) return fail(where(), "expected an array");
    entry.hasControls = true;
    controlIndex_ = 0;
    frames_.push_back(Frame::Controls);
  } else if (entryKey_ == "settable") {
    if (event.kind != Event::Kind::Array) return fail(where(), "expected an array of selectors");
    element_ = 0;
    frames_.push_back(Frame::Settable);
  } else if (entryKey_ == "refuse") {
    if (event.kind != Event::Kind::Object) return fail(where(), "expected an object");
    frames_.push_back(Frame::Refuse);
  } else if (entryKey_ == "menu") {
    if (event.kind != Event::Kind::Array) return fail(where(), "expected an array of items");
    element_ = 0;
    frames_.push_back(Frame::Menu);
  }
}

void FixtureReader::menuItemValue(const Event& event) {
  const auto where = [this] { return menuPath() + "." + menuKey_; };
  if (menuKey_ == "value") {
    if (const auto number = uint32Of(event)) {
      itemValue_ = *number;
    } else {
      fail(where(), "expected an integer from 0 to 4294967295");
    }
  } else if (event.kind == Event::Kind::Text) {
    item_.name = *event.text;
  } else if (event.kind == Event::Kind::Integer) {
    item_.number = event.integer;
  } else if (event.kind == Event::Kind::Unsigned &&
             event.whole <= std::uint64_t(std::numeric_limits<std::int64_t>::max())) {
    item_.number = static_cast<std::int64_t>(event.whole);
  } else {
    fail(where(), "expected a string, or the 64-bit integer of an integer menu's item");
  }
  if (event.container()) frames_.push_back(Frame::Skip);
}

void FixtureReader::finishMenuItem() {
  if (!itemValue_) return fail(menuPath(), "missing \"value\"");
  if (!item_.name && !item_.number) return fail(menuPath(), "missing \"name\"");
  Entry& control = entry();
  if (control.object.menu.count(*itemValue_) != 0)
    return fail(menuPath(), std::to_string(*itemValue_) + " is given twice");
  control.object.menu[*itemValue_] = item_;
  control.menuOrder.push_back(*itemValue_);
  ++element_;
}

void FixtureReader::propertyValue(const Event& event) {
  auto& properties = entry().object.properties;
  const std::uint32_t code = fourCharCode(propertyKey_);
  switch (propertyShape_) {
    case PropertyShape::UInt32:
      if (code == selectors::objectClass && event.kind == Event::Kind::Text) {
        if (event.text->size() != 4)
          return fail(propertyPath(), "expected a four-character class code");
        properties[code] = uint32Value(fourCharCode(*event.text));
      } else if (const auto number = uint32Of(event)) {
        properties[code] = uint32Value(*number);
      } else {
        fail(propertyPath(), "expected an integer from 0 to 4294967295");
      }
      break;
    case PropertyShape::Float32:
      if (const auto number = realOf(event)) {
        properties[code] = float32Value(static_cast<float>(*number));
      } else {
        fail(propertyPath(), notANumber);
      }
      break;
    case PropertyShape::Range:
      if (event.kind != Event::Kind::Array)
        return fail(propertyPath(), "expected [minimum, maximum]");
      element_ = 0;
      rangeFault_.clear();
      frames_.push_back(Frame::Range);
      break;
    case PropertyShape::Bytes:
      if (event.kind != Event::Kind::Array)
        return fail(propertyPath(), "expected an array of bytes");
      element_ = 0;
      bytes_.clear();
      frames_.push_back(Frame::Bytes);
      break;
    case PropertyShape::String:
      if (event.kind != Event::Kind::Text) return fail(propertyPath(), "expected a string");
      properties[code] = stringValue(*event.text);
      break;
    case PropertyShape::Ids:
      break;
  }
}

bool FixtureReader::end_array() {
  if (failed()) return true;
  const Frame frame = frames_.back();
  frames_.pop_back();
  if (frame == Frame::Range) {
    if (element_ != 2) {
      fail(propertyPath(), "expected [minimum, maximum]");
    } else if (!rangeFault_.empty()) {
      fault_ = rangeFault_;
    } else {
      entry().object.properties[fourCharCode(propertyKey_)] = rangeValue(range_[0], range_[1]);
    }
  } else if (frame == Frame::Bytes) {
    entry().object.properties[fourCharCode(propertyKey_)] = bytesValue(bytes_);
  } else if (frame == Frame::Controls) {
    inControl_ = false;
  } else if (frame == Frame::Menu && !entry().menuOrder.empty()) {
    entry().object.properties[selectors::menuItems] = idsValue(entry().menuOrder);
  }
  return true;
}

bool FixtureReader::end_object() {
  if (failed()) return true;
  const Frame frame = frames_.back();
  frames_.pop_back();
  if (frame == Frame::Device || frame == Frame::Control) finishEntry(frame);
  if (frame == Frame::MenuItem) finishMenuItem();
  if (frame == Frame::Root && !devicesSeen_) fail("fixture", "expected \"devices\" to be an array");
  return true;
}

void FixtureReader::finishEntry(Frame frame) {
  Entry& done = entry();
  if (!done.id) return fail(entryPath(), "missing \"objectId\"");
  if (done.hasControls) done.object.properties[selectors::ownedObjects] = idsValue(done.controlIds);
  system_.objects[*done.id] = done.object;
  if (frame == Frame::Control) {
    device_.controlIds.push_back(*done.id);
    ++controlIndex_;
  } else {
    deviceIds_.push_back(*done.id);
    ++deviceIndex_;
  }
}

FixtureLoad FixtureReader::result(std::string_view text,
                                  const std::optional<JsonFault>& textFault) && {
  if (textFault) return {std::nullopt, oneLine(jsonFaultText(text, *textFault))};
  if (failed()) return {std::nullopt, oneLine(fault_)};
  system_.objects[systemObject].properties[selectors::devices] = idsValue(deviceIds_);
  return {std::move(system_), {}};
}

// Writing the fixture format.

void appendText(std::string& out, std::string_view text) {
  out.push_back('"');
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (byte < 0x20) {
      out += "\\u00";
      appendHexByte(out, byte);
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
}

template <typename Number>
void appendNumber(std::string& out, Number number) {
  char digits[40];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, number);
  (void)error;  // forty characters hold every shortest form
  out.append(digits, end);
}

// The numbers whose shortest text would not read back as themselves: the
// non-finite ones, kept as text, and negative zero, which "-0" (read as the
// integer 0) would lose.
bool appendSpecial(std::string& out, double number) {
  if (std::isnan(number)) {
    out += "\"nan\"";
  } else if (std::isinf(number)) {
    out += number > 0 ? "\"inf\"" : "\"-inf\"";
  } else if (number == 0 && std::signbit(number)) {
    out += "-0.0";
  } else {
    return false;
  }
  return true;
}

void appendReal(std::string& out, double number) {
  if (appendSpecial(out, number)) return;
  char digits[shortestDoubleCapacity];
  out.append(digits, writeShortestDouble(digits, number));
}

// A float as its shortest text that the loader, reading it as a double,
// takes back to the same float.
void appendFloat(std::string& out, float number) {
  if (appendSpecial(out, number)) return;
  char digits[shortestDoubleCapacity];
  out.append(digits, writeShortestFloat(digits, number));
}

bool printable(std::uint32_t code) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = std::uint8_t(code >> shift);
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

void appendValue(std::string& out, std::uint32_t selector, const Value& value) {
  switch (value.shape()) {
    case PropertyShape::UInt32: {
      const std::uint32_t number = uint32Of(value);
      if (selector == selectors::objectClass && printable(number)) {
        appendText(out, selectorText(number));
      } else {
        appendNumber(out, number);
      }
      break;
    }
    case PropertyShape::Float32:
      appendFloat(out, float32Of(value));
      break;
    case PropertyShape::Range: {
      const AudioValueRange range = rangeOf(value);
      out.push_back('[');
      appendReal(out, range.mMinimum);
      out += ", ";
      appendReal(out, range.mMaximum);
      out.push_back(']');
      break;
    }
    case PropertyShape::Bytes: {
      out.push_back('[');
      const auto bytes = value.bytes();
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) out += ", ";
        appendNumber(out, unsigned{bytes[i]});
      }
      out.push_back(']');
      break;
    }
    case PropertyShape::String:
      appendText(out, value.text());
      break;
    case PropertyShape::Ids:
      out += "null";  // never written: lists of objects are the file's own structure
      break;
  }
}

void appendObject(std::string& out, ObjectId id, const Object& object, const System& system,
                  std::string_view indent) {
  out += indent;
  out += "{\"objectId\": ";
  appendNumber(out, id);
  out += ", \"properties\": {";
  bool first = true;
  for (const auto& [selector, value] : object.properties) {
    if (value.shape() == PropertyShape::Ids) continue;
    if (!first) out += ", ";
    first = false;
    appendText(out, selectorText(selector));
    out += ": ";
    appendValue(out, selector, value);
  }
  out.push_back('}');
  if (const auto owned = object.properties.find(selectors::ownedObjects);
      owned != object.properties.end()) {
    out += ", \"controls\": [";
    bool any = false;
    for (const ObjectId controlId : idsOf(owned->second)) {
      const auto control = system.objects.find(controlId);
      if (control == system.objects.end()) continue;
      out += any ? ",\n" : "\n";
      any = true;
      appendObject(out, controlId, control->second, system, "    ");
    }
    if (any) {
      out += "\n  ";
    }
    out.push_back(']');
  }
  if (!object.settable.empty()) {
    out += ", \"settable\": [";
    bool firstSelector = true;
    for (const std::uint32_t selector : object.settable) {
      if (!firstSelector) out += ", ";
      firstSelector = false;
      appendText(out, selectorText(selector));
    }
    out.push_back(']');
  }
  if (const auto items = object.properties.find(selectors::menuItems);
      items != object.properties.end() && !object.menu.empty()) {
    out += ", \"menu\": [";
    bool firstItem = true;
    for (const ObjectId value : idsOf(items->second)) {
      const auto item = object.menu.find(value);
      if (item == object.menu.end()) continue;
      if (!firstItem) out += ", ";
      firstItem = false;
      out += "{\"value\": ";
      appendNumber(out, value);
      out += ", \"name\": ";
      if (item->second.name) {
        appendText(out, *item->second.name);
      } else {
        appendNumber(out, item->second.number.value_or(0));
      }
      out.push_back('}');
    }
    out.push_back(']');
  }
  if (!object.refuse.empty()) {
    out += ", \"refuse\": {";
    bool firstSelector = true;
    for (const auto& [selector, status] : object.refuse) {
      if (!firstSelector) out += ", ";
      firstSelector = false;
      appendText(out, selectorText(selector));
      out += ": ";
      appendNumber(out, status);
    }
    out.push_back('}');
  }
  out.push_back('}');
}

}  // namespace

FixtureLoad parseFixture(std::string_view text) {
  try {
    // The parser would take a NUL byte for the end of the text.
    if (const void* nul = std::memchr(text.data(), '\0', text.size()); nul != nullptr) {
      const auto at = static_cast<const char*>(nul) - text.data();
      return {std::nullopt, "a NUL byte at byte " + std::to_string(at) + ": not a JSON text"};
    }
    FixtureReader reader(text.size());
    const auto textFault = readJson(text, reader);
    return std::move(reader).result(text, textFault);
  } catch (const std::exception& error) {
    return {std::nullopt, oneLine(std::string("cannot load: ") + error.what())};
  }
}

std::string fixtureText(const System& system) {
  std::string out = "{\"devices\": [";
  bool any = false;
  if (const auto root = system.objects.find(systemObject); root != system.objects.end()) {
    if (const auto listed = root->second.properties.find(selectors::devices);
        listed != root->second.properties.end()) {
      for (const ObjectId deviceId : idsOf(listed->second)) {
        const auto device = system.objects.find(deviceId);
        if (device == system.objects.end()) continue;
        out += any ? ",\n" : "\n";
        any = true;
        appendObject(out, deviceId, device->second, system, "  ");
      }
    }
  }
  out += any ? "\n]}\n" : "]}\n";
  return out;
}

}  // namespace camknob::sim
