// A command request as a failing test shows it: the command word and each
// option given, as camknob's command line would name them.
#pragma once

#include <ostream>

#include "commands/command_request.h"

namespace camknob {

inline void PrintTo(const CommandRequest& request, std::ostream* out) {
  *out << "{command \"" << request.command << "\"";
  const auto option = [out](const char* name, const std::optional<std::string>& text) {
    if (text) *out << ", " << name << " \"" << *text << "\"";
  };
  option("--device", request.device);
  option("--control", request.control);
  option("--value", request.value);
  option("--enabled", request.enabled);
  option("--pan", request.pan);
  option("--tilt", request.tilt);
  option("--speed", request.speed);
  *out << "}";
}

}  // namespace camknob
