// One of camknob's commands as its parts: the command word and the text of
// each option, or nothing for an option not given. camknob's command line and
// camknobd's command body each make one, by their own rules; the dispatcher
// runs it, so an option's text is only ever that option's value.
#pragma once

#include <optional>
#include <string>

#include "commands/command_line.h"

namespace camknob {

// An option left out of the initializer is one not given.
struct CommandRequest {
  std::string command;  // as given: an unknown word is the command's failure
  std::optional<std::string> device{};
  std::optional<std::string> control{};
  std::optional<std::string> value{};
  std::optional<std::string> enabled{};
  std::optional<std::string> pan{};
  std::optional<std::string> tilt{};
  std::optional<std::string> speed{};

  friend bool operator==(const CommandRequest&, const CommandRequest&) = default;
};

// The request of a command line by its rules: commandWord, and each option
// the argument of its name (--device, --control, --value, --enabled, --pan,
// --tilt, --speed), wherever the name first stands, whatever text follows.
CommandRequest commandRequestOf(const CommandLine& line);

}  // namespace camknob
