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
// - "lease" (true or false) goes only with "move": a move the engine stops by
//   itself unless asked again within a second (see engine::RunCommand).
// - "reset" takes device and control only: the control's default written
//   again (every control's without "control"); see resetOf.
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
// command (required), delta, lease.
std::span<const FieldRule> commandFields();

// The command of the fields read by those rules, or the fault (a sentence
// naming the key) for a 400 answer.
std::variant<engine::RunCommand, std::string> commandOf(const FieldTexts& texts);

// The reset of the fields when their command is "reset" (or the fault for
// a 400 answer); nothing for any other command.
std::optional<std::variant<engine::ResetControls, std::string>> resetOf(const FieldTexts& texts);

// Both steps over a body object.
std::variant<engine::RunCommand, std::string> readCommandBody(const JsonObject& body);

}  // namespace camknob::http
