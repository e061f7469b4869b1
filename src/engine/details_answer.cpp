#include "engine/details_answer.h"

#include "json/json_object.h"
#include "json/json_text.h"

namespace camknob::engine {

namespace {

using json::ObjectText;

void appendMenu(std::string& out, ObjectText& object, const std::vector<MenuItem>& menu) {
  key(object, "menu");
  out.push_back('[');
  for (std::size_t at = 0; at < menu.size(); ++at) {
    if (at != 0) out.push_back(',');
    const MenuItem& item = menu[at];
    out.push_back('{');
    ObjectText entry{out};
    if (item.name) {
      (void)text(entry, "name", repairedUtf8(*item.name));
    } else if (item.number) {
      key(entry, "name");
      out += std::to_string(*item.number);
    }
    integer(entry, "value", item.value);
    out.push_back('}');
  }
  out.push_back(']');
}

void appendControl(std::string& out, const ControlDetails& control) {
  out.push_back('{');
  ObjectText object{out};
  boolean(object, "automaticDefault", control.automaticDefault);
  (void)number(object, "default", control.defaultValue);
  (void)text(object, "kind", repairedUtf8(control.kind));
  if (control.menu) appendMenu(out, object, *control.menu);
  integer(object, "objectId", control.objectId);
  (void)number(object, "step", control.step);
  if (control.unit) (void)text(object, "unit", repairedUtf8(*control.unit));
  out.push_back('}');
}

}  // namespace

std::string detailsAnswer(const std::vector<const DeviceDetails*>& devices) {
  std::string out = "{";
  ObjectText object{out};
  key(object, "devices");
  out.push_back('[');
  for (std::size_t at = 0; at < devices.size(); ++at) {
    if (at != 0) out.push_back(',');
    out.push_back('{');
    ObjectText device{out};
    key(device, "controls");
    out.push_back('[');
    const auto& controls = devices[at]->controls;
    for (std::size_t c = 0; c < controls.size(); ++c) {
      if (c != 0) out.push_back(',');
      appendControl(out, controls[c]);
    }
    out.push_back(']');
    (void)text(device, "uid", repairedUtf8(devices[at]->uid));
    out.push_back('}');
  }
  out.push_back(']');
  boolean(object, "ok", true);
  out.push_back('}');
  return out;
}

}  // namespace camknob::engine
