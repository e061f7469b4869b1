#include "commands/command_request.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>

#include "support/command_requests.h"

namespace camknob {
namespace {

// Each option's name on the line and its field of the request.
using Field = std::optional<std::string> CommandRequest::*;
constexpr std::array<std::pair<std::string_view, Field>, 7> options{{
    {"--device", &CommandRequest::device},
    {"--control", &CommandRequest::control},
    {"--value", &CommandRequest::value},
    {"--enabled", &CommandRequest::enabled},
    {"--pan", &CommandRequest::pan},
    {"--tilt", &CommandRequest::tilt},
    {"--speed", &CommandRequest::speed},
}};

// Lines whose options are hard to tell from their values: the request holds
// what camknob's command line has always read from each.
TEST(CommandRequest, TakesEachOptionAsTheCommandLineReadsIt) {
  struct Case {
    std::vector<std::string_view> texts;
    CommandRequest request;
  };
  const Case cases[] = {
      {{}, {.command = "list"}},
      {{""}, {.command = ""}},
      {{"LIST", "--device", "cam"}, {.command = "LIST", .device = "cam"}},
      {{"set", "--control", "zoom", "--value", "5"},
       {.command = "set", .control = "zoom", .value = "5"}},
      {{"set", "--control", "--value", "--value", "5"},
       {.command = "set", .control = "--value", .value = "--value"}},
      {{"set", "--value", "5", "--value", "6"}, {.command = "set", .value = "5"}},
      {{"set", "--control"}, {.command = "set"}},
      {{"set", "--value", ""}, {.command = "set", .value = ""}},
      {{"set", "--value=5", "--Control", "zoom"}, {.command = "set"}},
      {{"set", "--device", "--control", "x"},
       {.command = "set", .device = "--control", .control = "x"}},
      {{"--device", "X", "list"}, {.command = "--device", .device = "X"}},
      {{"--value", "7"}, {.command = "--value", .value = "7"}},
      {{"move", "--pan", "--tilt", "1"}, {.command = "move", .pan = "--tilt", .tilt = "1"}},
      {{"on", "--enabled", "--enabled"}, {.command = "on", .enabled = "--enabled"}},
      {{"absolute", "--speed", "1", "--tilt", "-2", "--pan", "3", "--enabled", "no", "--device",
        "d", "--control", "c", "--value", "v"},
       {.command = "absolute",
        .device = "d",
        .control = "c",
        .value = "v",
        .enabled = "no",
        .pan = "3",
        .tilt = "-2",
        .speed = "1"}},
  };
  for (const Case& c : cases) {
    const CommandLine line{c.texts};
    const CommandRequest request = commandRequestOf(line);
    EXPECT_EQ(request.command, c.request.command);
    for (const auto& [name, field] : options) {
      SCOPED_TRACE(std::string(name));
      EXPECT_EQ(request.*field, c.request.*field);
      const auto argumentText = argument(line, name);
      EXPECT_EQ(request.*field, argumentText ? std::optional<std::string>(*argumentText)
                                             : std::optional<std::string>());
    }
  }
}

}  // namespace
}  // namespace camknob
