// The commands route: every body to the request camknob runs, and every
// body refused with the key it names.
#include <gtest/gtest.h>

#include "http/body_fields.h"
#include "http/command_body.h"
#include "support/command_requests.h"

namespace camknob::http {
namespace {

std::variant<engine::RunCommand, std::string> read(std::string_view text) {
  auto object = bodyObject(text);
  if (auto* fault = std::get_if<std::string>(&object)) return *fault;
  return readCommandBody(std::get<JsonObject>(object));
}

// Each key is the option of its name, whatever its text reads like: a text
// that reads like an option's name is only that key's value.
TEST(CommandBody, MakesCamknobsRequestOfTheKeys) {
  const std::vector<std::pair<std::string, CommandRequest>> cases{
      {R"({"command": "list"})", {.command = "list"}},
      {R"({"command": "set", "device": "HD Webcam", "control": "brightness", "value": "128"})",
       {.command = "set", .device = "HD Webcam", .control = "brightness", .value = "128"}},
      {R"({"value": 128, "control": "brightness", "command": "set", "device": "HD Webcam"})",
       {.command = "set", .device = "HD Webcam", .control = "brightness", .value = "128"}},
      {R"({"command": "set", "control": "zoom", "value": -2.50e1})",
       {.command = "set", .control = "zoom", .value = "-2.50e1"}},
      {R"({"command": "set", "control": "zoom", "value": "0x10"})",
       {.command = "set", .control = "zoom", .value = "0x10"}},
      {R"({"command": "set", "control": "zoom", "value": ""})",
       {.command = "set", .control = "zoom", .value = ""}},
      {R"({"command": "auto", "control": "focus", "enabled": true})",
       {.command = "auto", .control = "focus", .enabled = "true"}},
      {R"({"command": "on", "control": "focus", "enabled": false})",
       {.command = "on", .control = "focus", .enabled = "false"}},
      {R"({"command": "on", "control": "focus", "enabled": 1})",
       {.command = "on", .control = "focus", .enabled = "1"}},
      {R"({"command": "on", "control": "focus", "enabled": "yes"})",
       {.command = "on", .control = "focus", .enabled = "yes"}},
      {R"({"speed": 0.5, "tilt": "-1", "pan": 1, "command": "move"})",
       {.command = "move", .pan = "1", .tilt = "-1", .speed = "0.5"}},
      {R"({"command": "absolute", "pan": 10.5, "tilt": -20.25, "device": "cam"})",
       {.command = "absolute", .device = "cam", .pan = "10.5", .tilt = "-20.25"}},
      {R"({"command": "home"})", {.command = "home"}},
      {R"({"command": "LIST"})", {.command = "LIST"}},
      {R"({"command": ""})", {.command = ""}},
      {R"({"command": "set", "device": "--control"})", {.command = "set", .device = "--control"}},
      {R"({"command": "set", "control": "--device", "value": 5})",
       {.command = "set", .control = "--device", .value = "5"}},
      {R"({"command": "set", "control": "--value", "value": "--value"})",
       {.command = "set", .control = "--value", .value = "--value"}},
      {R"({"command": "move", "device": "PTZ", "pan": "--tilt", "tilt": "1"})",
       {.command = "move", .device = "PTZ", .pan = "--tilt", .tilt = "1"}},
      {R"({"command": "--device", "device": "cam"})", {.command = "--device", .device = "cam"}},
      {R"({"command": "on", "control": "--enabled", "enabled": "--control"})",
       {.command = "on", .control = "--enabled", .enabled = "--control"}},
      {R"({"command": "stop"})", {.command = "move", .pan = "0", .tilt = "0"}},
      {R"({"speed": 0.2, "command": "stop", "device": "PTZ"})",
       {.command = "move", .device = "PTZ", .pan = "0", .tilt = "0", .speed = "0.2"}},
      {R"({"command": "stop", "device": "--pan", "speed": "--tilt"})",
       {.command = "move", .device = "--pan", .pan = "0", .tilt = "0", .speed = "--tilt"}},
  };
  for (const auto& [body, request] : cases) {
    const auto command = read(body);
    ASSERT_TRUE(std::holds_alternative<engine::RunCommand>(command))
        << body << ": " << std::get<std::string>(command);
    EXPECT_EQ(std::get<engine::RunCommand>(command).request, request) << body;
    EXPECT_FALSE(std::get<engine::RunCommand>(command).delta) << body;
  }
}

TEST(CommandBody, SetsByADeltaWithoutAValue) {
  const std::vector<std::pair<std::string, double>> cases{
      {R"({"command": "set", "control": "zoom", "delta": 10})", 10},
      {R"({"command": "set", "control": "zoom", "delta": -0.5})", -0.5},
      {R"({"command": "set", "control": "zoom", "delta": "-2.5e1"})", -25},
      {R"({"command": "set", "control": "zoom", "delta": "0x10"})", 16},
  };
  for (const auto& [body, delta] : cases) {
    const auto command = read(body);
    ASSERT_TRUE(std::holds_alternative<engine::RunCommand>(command)) << body;
    EXPECT_EQ(std::get<engine::RunCommand>(command).request,
              (CommandRequest{.command = "set", .control = "zoom"}))
        << body;
    EXPECT_EQ(std::get<engine::RunCommand>(command).delta, delta) << body;
  }
}

TEST(CommandBody, LeasesOnlyAMove) {
  const std::vector<std::pair<std::string, bool>> cases{
      {R"({"command": "move", "pan": 1, "tilt": 0, "lease": true})", true},
      {R"({"command": "move", "pan": 1, "tilt": 0, "lease": "yes"})", true},
      {R"({"command": "move", "pan": 1, "tilt": 0, "lease": false})", false},
      {R"({"command": "move", "pan": 1, "tilt": 0})", false},
  };
  for (const auto& [body, lease] : cases) {
    const auto command = read(body);
    ASSERT_TRUE(std::holds_alternative<engine::RunCommand>(command)) << body;
    EXPECT_EQ(std::get<engine::RunCommand>(command).lease, lease) << body;
    EXPECT_EQ(std::get<engine::RunCommand>(command).request,
              (CommandRequest{.command = "move", .pan = "1", .tilt = "0"}))
        << body;
  }
  const std::vector<std::pair<std::string, std::string>> refused{
      {R"({"command": "set", "lease": true})", "\"lease\" goes only with the command \"move\"."},
      {R"({"command": "home", "lease": true})", "\"lease\" goes only with the command \"move\"."},
      {R"({"command": "stop", "lease": true})", "\"lease\" does not go with the command \"stop\"."},
      {R"({"command": "move", "lease": []})",
       "\"lease\" must be a string, true, false or a number."},
  };
  for (const auto& [body, fault] : refused) {
    const auto command = read(body);
    ASSERT_TRUE(std::holds_alternative<std::string>(command)) << body;
    EXPECT_EQ(std::get<std::string>(command), fault) << body;
  }
}

TEST(CommandBody, RefusesEachFaultNamingTheKey) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"", "The body is not JSON: line 1, column 1: unexpected end of input; expected a value."},
      {R"({"command": "list")",
       "The body is not JSON: line 1, column 19: unexpected end of input; expected ',' or a "
       "closing."},
      {R"({"command": "list"} {})",
       "The body is not JSON: line 1, column 21: unexpected text after the value."},
      {R"(["list"])", "The body must be a JSON object."},
      {R"("list")", "The body must be a JSON object."},
      {R"(null)", "The body must be a JSON object."},
      {R"({})", "\"command\" is missing."},
      {R"({"device": "cam"})", "\"command\" is missing."},
      {R"({"command": "move", "speeed": 1})", "Unknown key \"speeed\"."},
      {R"({"command": "move", "Pan": 1})", "Unknown key \"Pan\"."},
      {R"({"command": "list", "command": "set"})", "\"command\" is given more than once."},
      {R"({"command": "set", "value": 1, "value": 2})", "\"value\" is given more than once."},
      {R"({"command": 1})", "\"command\" must be a string."},
      {R"({"command": null})", "\"command\" must be a string."},
      {R"({"command": "set", "device": 5})", "\"device\" must be a string."},
      {R"({"command": "set", "control": ["zoom"]})", "\"control\" must be a string."},
      {R"({"command": "set", "value": true})", "\"value\" must be a string or a number."},
      {R"({"command": "set", "value": null})", "\"value\" must be a string or a number."},
      {R"({"command": "set", "value": {}})", "\"value\" must be a string or a number."},
      {R"({"command": "move", "pan": false})", "\"pan\" must be a string or a number."},
      {R"({"command": "move", "tilt": []})", "\"tilt\" must be a string or a number."},
      {R"({"command": "move", "speed": null})", "\"speed\" must be a string or a number."},
      {R"({"command": "on", "enabled": null})",
       "\"enabled\" must be a string, true, false or a number."},
      {R"({"command": "on", "enabled": [true]})",
       "\"enabled\" must be a string, true, false or a number."},
      {R"({"command": "set", "delta": true})",
       "\"delta\" must be a number or a string that holds one."},
      {R"({"command": "set", "delta": "ten"})", "\"delta\" must be a finite number."},
      {R"({"command": "set", "delta": "nan"})", "\"delta\" must be a finite number."},
      {R"({"command": "set", "delta": "inf"})", "\"delta\" must be a finite number."},
      {R"({"command": "set", "delta": "1e999"})", "\"delta\" must be a finite number."},
      {R"({"command": "set", "delta": "-inf"})", "\"delta\" must be a finite number."},
      {R"({"command": "set", "delta": " 1"})", "\"delta\" must be a finite number."},
      {R"({"command": "set", "delta": ""})", "\"delta\" must be a finite number."},
      {R"({"command": "set", "control": "zoom", "value": 1, "delta": 1})",
       "\"delta\" and \"value\" cannot both be given."},
      {R"({"command": "move", "delta": 1})", "\"delta\" goes only with the command \"set\"."},
      {R"({"command": "SET", "delta": 1})", "\"delta\" goes only with the command \"set\"."},
      {R"({"command": "stop", "delta": 1})", "\"delta\" does not go with the command \"stop\"."},
      {R"({"command": "stop", "pan": 1})", "\"pan\" does not go with the command \"stop\"."},
      {R"({"command": "stop", "tilt": 0})", "\"tilt\" does not go with the command \"stop\"."},
      {R"({"command": "stop", "control": "zoom"})",
       "\"control\" does not go with the command \"stop\"."},
      {R"({"command": "stop", "value": 1})", "\"value\" does not go with the command \"stop\"."},
      {R"({"command": "stop", "enabled": true})",
       "\"enabled\" does not go with the command \"stop\"."},
  };
  for (const auto& [body, fault] : cases) {
    const auto command = read(body);
    ASSERT_TRUE(std::holds_alternative<std::string>(command)) << body;
    EXPECT_EQ(std::get<std::string>(command), fault) << body;
  }
}

}  // namespace
}  // namespace camknob::http
