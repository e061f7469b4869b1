#include "engine/command_requests.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/records.h"
#include "text/number_text.h"

namespace camknob {
namespace {

using engine::coalescingKey;
using engine::RunCommand;
using engine::valueAfterDelta;

TEST(CommandRequests, DeltaIsAddedAndHeldToTheRange) {
  CameraControl control = testing::bareControl(41);
  control.value = 100;
  control.minimum = 0;
  control.maximum = 255;
  struct Case {
    double delta;
    std::optional<double> written;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {{10, 110},          {-0.25, 99.75},      {500, 255},
                        {-500, 0},          {inf, std::nullopt}, {std::nan(""), std::nullopt},
                        {1e-7, 100.0000001}};
  for (const Case& c : cases) {
    const auto text = valueAfterDelta(control, c.delta);
    EXPECT_EQ(text.has_value(), c.written.has_value()) << c.delta;
    if (text && c.written) {
      EXPECT_EQ(parseDouble(*text), c.written) << *text;
    }
  }
  control.maximum = std::nullopt;
  EXPECT_EQ(valueAfterDelta(control, 1e3), "1100");
  control.value = std::nullopt;
  EXPECT_EQ(valueAfterDelta(control, 1), std::nullopt);
}

TEST(CommandRequests, OnlyPlainSetsOfOneControlCoalesce) {
  const auto key = [](CommandRequest request, std::optional<double> delta = {}) {
    return coalescingKey(RunCommand{std::move(request), delta});
  };
  const auto a = key({.command = "set", .control = "zoom", .value = "1"});
  ASSERT_TRUE(a);
  EXPECT_EQ(a, key({.command = "set", .control = "zoom", .value = "9"}));
  EXPECT_NE(a, key({.command = "set", .device = "x", .control = "zoom", .value = "1"}));
  EXPECT_NE(key({.command = "set", .device = "", .control = "zoom", .value = "1"}),
            key({.command = "set", .device = "x", .control = "zoom", .value = "1"}));
  EXPECT_NE(a, key({.command = "set", .control = "focus", .value = "1"}));
  // A delta depends on the value before it.
  EXPECT_EQ(key({.command = "set", .control = "zoom"}, 1.0), std::nullopt);
  EXPECT_EQ(key({.command = "set", .control = "zoom"}), std::nullopt);
  EXPECT_EQ(key({.command = "set", .value = "1"}), std::nullopt);
  // Only a set whose value camknob's set reads would write anything.
  EXPECT_EQ(a, key({.command = "set", .control = "zoom", .value = "-0x1p3"}));
  for (const std::string value : {"abc", "", "12 ", " 12", "1,5", "--value"})
    EXPECT_EQ(key({.command = "set", .control = "zoom", .value = value}), std::nullopt) << value;
  for (const std::string command : {"auto", "move", "SET", "", "list"})
    EXPECT_EQ(key({.command = command, .control = "zoom", .value = "1"}), std::nullopt) << command;
}

}  // namespace
}  // namespace camknob
