// POST /api/v1/commands: a body such as
//   {"command": "set", "device": "HD Webcam", "control": "brightness", "value": 128}
// becomes one of camknob's command requests: the command word, and each key
// given as the option of its name (device, control, value, enabled, pan,
// tilt, speed), whose text is only ever that option's value, whatever it
// reads like. A number goes as it was written, so 128 and "128" run the same
// command.
//
// - "delta" (a number, or a string camknob's number syntax reads, finite)
//   goes only with "set" and without "value": the engine sets the control's
//   value plus the delta.
// - "stop" is `move --pan 0 --tilt 0`, with device and speed when given.
// - Any other command word is passed as it is; camknob answers it.
#pragma once

#include <span>
#include <string>
#include <variant>

#include "engine/engine_requests.h"
#include "http/body_fields.h"
#include "json/json_tree.h"

namespace camknob::http {

// The body's fields: device, control, value, enabled, pan, tilt, speed,
// command (required), delta.
std::span<const FieldRule> commandFields();

// The command of the fields read by those rules, or the fault (a sentence
// naming the key) for a 400 answer.
std::variant<engine::RunCommand, std::string> commandOf(const FieldTexts& texts);

// Both steps over a body object.
std::variant<engine::RunCommand, std::string> readCommandBody(const JsonObject& body);

}  // namespace camknob::http
