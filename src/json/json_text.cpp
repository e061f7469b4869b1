#include "json/json_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "json/json_object.h"
#include "json/shortest_double.h"
#include "text/hex_text.h"

namespace camknob {

std::size_t utf8SequenceLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  const auto second = static_cast<unsigned char>(text[1]);
  if (second < low || second > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0;
  return length;
}

std::string repairedUtf8(std::string_view bytes) {
  constexpr std::string_view replacement = "\xEF\xBF\xBD";
  std::string text;
  text.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t length = utf8SequenceLength(bytes);
    if (length == 0) {
      text += replacement;
      bytes.remove_prefix(1);
    } else {
      text.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    }
  }
  return text;
}

bool isValidUtf8(std::string_view text) {
  while (!text.empty()) {
    const std::size_t length = utf8SequenceLength(text);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

namespace {

// The escape of a byte that JSON text cannot hold as it is (or that is
// written escaped, the slash); empty for every other byte.
std::string_view escapeOf(char c, char (&spelled)[7]) {
  switch (c) {
    case '"':
      return "\\\"";
    case '\\':
      return "\\\\";
    case '/':
      return "\\/";
    case '\b':
      return "\\b";
    case '\f':
      return "\\f";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '\t':
      return "\\t";
    default:
      if (static_cast<unsigned char>(c) >= 0x20) return {};
      spelled[0] = '\\';
      spelled[1] = 'u';
      spelled[2] = '0';
      spelled[3] = '0';
      spelled[4] = hexDigit(static_cast<unsigned char>(c) >> 4);
      spelled[5] = hexDigit(static_cast<unsigned char>(c));
      return {spelled, 6};
  }
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  // Runs of bytes that need no escape go in whole.
  std::size_t plain = 0;
  char spelled[7];
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view escape = escapeOf(text[i], spelled);
    if (escape.empty()) continue;
    out.append(text.data() + plain, i - plain);
    out.append(escape);
    plain = i + 1;
  }
  out.append(text.data() + plain, text.size() - plain);
  out.push_back('"');
}

bool appendJsonNumber(std::string& out, double value) {
  if (!std::isfinite(value)) return false;
  char text[shortestDoubleCapacity];
  out.append(text, writeShortestDouble(text, value));
  return true;
}

void appendJsonUnsigned(std::string& out, std::uint32_t value) {
  char digits[10];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  (void)error;  // ten digits hold every 32-bit value
  out.append(digits, end);
}

namespace {

using json::ObjectText;

void bytes(ObjectText& object, std::string_view name,
           const std::optional<std::vector<std::uint8_t>>& value) {
  if (!value) return;
  key(object, name);
  object.out.push_back('[');
  for (std::size_t i = 0; i < value->size(); ++i) {
    if (i != 0) object.out.push_back(',');
    appendJsonUnsigned(object.out, (*value)[i]);
  }
  object.out.push_back(']');
}

bool appendControl(std::string& out, const CameraControl& control) {
  out.push_back('{');
  ObjectText object{out};
  boolean(object, "automatic", control.automatic);
  boolean(object, "automaticSettable", control.automaticSettable);
  bool ok = text(object, "classCode", control.classCode);
  ok = ok && text(object, "kind", control.kind);
  ok = ok && number(object, "maximum", control.maximum);
  ok = ok && number(object, "minimum", control.minimum);
  ok = ok && optionalText(object, "name", control.name);
  if (!ok) return false;
  bytes(object, "nativeData", control.nativeData);
  bytes(object, "nativeDataRange", control.nativeDataRange);
  boolean(object, "nativeDataSettable", control.nativeDataSettable);
  integer(object, "objectId", control.objectId);
  boolean(object, "on", control.on);
  boolean(object, "onSettable", control.onSettable);
  boolean(object, "settable", control.settable);
  ok = number(object, "value", control.value) &&
       (!control.valueMode || text(object, "valueMode", valueModeName(*control.valueMode)));
  out.push_back('}');
  return ok;
}

// No response text is longer than this: every key and punctuation mark,
// every string escaped at worst six bytes for one, every number at its
// longest. Room reserved once is never copied as the text grows, and pages of
// it that stay unused cost no memory.
std::size_t sizeBound(const CameraResponse& response) {
  constexpr std::size_t escaped = 6, number = 32, byteText = 4;
  const auto optionalSize = [](const std::optional<std::string>& text) {
    return text ? text->size() : 0;
  };
  std::size_t bound = 64 + escaped * optionalSize(response.error);
  for (const CameraDevice& device : response.devices) {
    bound += 128 +
             escaped * (device.uid.size() + device.name.size() + optionalSize(device.manufacturer));
    for (const CameraControl& control : device.controls) {
      bound += 384 + 3 * number +
               escaped * (control.kind.size() + control.classCode.size() +
                          optionalSize(control.name) + 8);
      if (control.nativeData) bound += byteText * control.nativeData->size();
      if (control.nativeDataRange) bound += byteText * control.nativeDataRange->size();
    }
  }
  return bound;
}

// What follows the devices: the error when there is one, and ok.
bool appendResponseEnd(std::string& out, bool ok, const std::optional<std::string>& error) {
  out.push_back(']');
  ObjectText object{out, false};
  if (!optionalText(object, "error", error)) return false;
  boolean(object, "ok", ok);
  out.push_back('}');
  return true;
}

}  // namespace

bool appendDevice(std::string& out, const CameraDevice& device) {
  out += "{\"controls\":[";
  for (std::size_t i = 0; i < device.controls.size(); ++i) {
    if (i != 0) out.push_back(',');
    if (!appendControl(out, device.controls[i])) return false;
  }
  out.push_back(']');
  ObjectText object{out, false};
  bool ok = optionalText(object, "manufacturer", device.manufacturer);
  ok = ok && text(object, "name", device.name);
  if (!ok) return false;
  integer(object, "objectId", device.objectId);
  ok = text(object, "uid", device.uid);
  out.push_back('}');
  return ok;
}

std::optional<std::string> encodeResponse(const CameraResponse& response) {
  std::string out;
  out.reserve(sizeBound(response));
  out += "{\"devices\":[";
  for (std::size_t i = 0; i < response.devices.size(); ++i) {
    if (i != 0) out.push_back(',');
    if (!appendDevice(out, response.devices[i])) return std::nullopt;
  }
  if (!appendResponseEnd(out, response.ok, response.error)) return std::nullopt;
  return out;
}

std::optional<std::string> encodeResponseOfTexts(const std::vector<const std::string*>& devices,
                                                 bool ok, const std::optional<std::string>& error) {
  std::size_t size = 64 + (error ? 6 * error->size() : 0);
  for (const std::string* device : devices) size += device->size() + 1;
  std::string out;
  out.reserve(size);
  out += "{\"devices\":[";
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (i != 0) out.push_back(',');
    out += *devices[i];
  }
  if (!appendResponseEnd(out, ok, error)) return std::nullopt;
  return out;
}

}  // namespace camknob
