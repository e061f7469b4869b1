// A fixture for camknob-sim made from whatever property service the program
// runs over: every device and control the service lists, with every property
// of the tool's table that the object has, read through the access layer,
// which settable questions answer yes, and each menu's items. Over the V4L2
// service it describes the machine's cameras as their drivers do.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "records/property_types.h"

namespace camknob::capture {

// A menu control's items as a fixture's control entry gives them under
// "menu": [{"value": index, "name": "text"}] for a menu of names,
// {"value": index, "name": number} for an integer menu; nothing for a control
// that is no menu.
std::optional<nlohmann::ordered_json> menuEntry(ObjectId control);

// The fixture of the system as the service answers now: one line per device
// and per control.
std::string capturedFixture();

}  // namespace camknob::capture
