#include "commands/command_request.h"

namespace camknob {

namespace {

std::optional<std::string> optionOf(const CommandLine& line, std::string_view name) {
  const auto text = argument(line, name);
  if (!text) return std::nullopt;
  return std::string(*text);
}

}  // namespace

CommandRequest commandRequestOf(const CommandLine& line) {
  return CommandRequest{
      .command = std::string(commandWord(line)),
      .device = optionOf(line, "--device"),
      .control = optionOf(line, "--control"),
      .value = optionOf(line, "--value"),
      .enabled = optionOf(line, "--enabled"),
      .pan = optionOf(line, "--pan"),
      .tilt = optionOf(line, "--tilt"),
      .speed = optionOf(line, "--speed"),
  };
}

}  // namespace camknob
