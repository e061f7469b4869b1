#include "json/json_object.h"

#include "json/json_text.h"

namespace camknob::json {

void key(ObjectText& object, std::string_view name) {
  if (!object.first) object.out.push_back(',');
  object.first = false;
  object.out.push_back('"');
  object.out += name;
  object.out += "\":";
}

void boolean(ObjectText& object, std::string_view name, bool value) {
  key(object, name);
  object.out += value ? "true" : "false";
}

void boolean(ObjectText& object, std::string_view name, const std::optional<bool>& value) {
  if (value) boolean(object, name, *value);
}

bool text(ObjectText& object, std::string_view name, std::string_view value) {
  if (!isValidUtf8(value)) return false;
  key(object, name);
  appendJsonString(object.out, value);
  return true;
}

bool optionalText(ObjectText& object, std::string_view name,
                  const std::optional<std::string>& value) {
  return !value || text(object, name, *value);
}

bool number(ObjectText& object, std::string_view name, const std::optional<double>& value) {
  if (!value) return true;
  key(object, name);
  return appendJsonNumber(object.out, *value);
}

void integer(ObjectText& object, std::string_view name, std::uint32_t value) {
  key(object, name);
  appendJsonUnsigned(object.out, value);
}

std::string errorDocument(std::string_view message) {
  std::string out = "{";
  ObjectText object{out};
  (void)text(object, "error", repairedUtf8(message));
  boolean(object, "ok", false);
  out.push_back('}');
  return out;
}

}  // namespace camknob::json
