#include "discovery/control_details.h"

#include <gtest/gtest.h>

#include "discovery/inspect_control.h"
#include "support/sim_support.h"

namespace camknob {
namespace {

using testing::scriptOf;
using testing::useFixture;

// The details of control 41 with these properties and menu, as inspected.
ControlDetails detailsOf(std::string_view properties, std::string_view menu = "[]") {
  useFixture(std::string(R"({"devices": [{"objectId": 33, "controls": [{"objectId": 41, )") +
             "\"properties\": " + std::string(properties) + ", \"menu\": " + std::string(menu) +
             "}]}]}");
  const auto control = inspectControl(41);
  EXPECT_TRUE(control);
  if (!control)
    return {41, "", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
  return inspectDetails(*control);
}

// Step and default come in the scale of the value list shows, the unit only
// with an absolute value.
TEST(ControlDetails, StepAndDefaultAreInTheScaleOfTheValue) {
  const std::string both = R"("fcnv": 333, "fcnr": [3, 2047], "cnst": 1, "cndf": 156,
                              "cast": 0.5, "cadf": 0.25, "fcun": "seconds")";
  const ControlDetails absolute =
      detailsOf(R"({"clas": "xpsr", "fcav": 0.0333, "fcar": [0.0003, 0.2047], )" + both + "}");
  EXPECT_EQ(absolute.step, 0.5);
  EXPECT_EQ(absolute.defaultValue, 0.25);
  EXPECT_EQ(absolute.unit, "seconds");
  const ControlDetails native = detailsOf(R"({"clas": "xpsr", )" + both + "}");
  EXPECT_EQ(native.step, 1);
  EXPECT_EQ(native.defaultValue, 156);
  EXPECT_EQ(native.unit, std::nullopt) << "a unit for a native value";
  // A value that is not a number, and a control without a value: nothing.
  const ControlDetails odd = detailsOf(R"({"clas": "brit", "fcnv": 1, "cnst": "nan", "cndf": 2})");
  EXPECT_EQ(odd.step, std::nullopt);
  EXPECT_EQ(odd.defaultValue, 2);
  const ControlDetails valueless = detailsOf(R"({"clas": "ptab", "cnst": 1, "cndf": 2})");
  EXPECT_EQ(valueless, (ControlDetails{.objectId = 41,
                                       .kind = "panTiltAbsolute",
                                       .step = std::nullopt,
                                       .defaultValue = std::nullopt,
                                       .automaticDefault = std::nullopt,
                                       .menu = std::nullopt,
                                       .unit = std::nullopt}));
}

TEST(ControlDetails, AutomaticDefaultOnlyWithAnAutomaticMode) {
  EXPECT_EQ(detailsOf(R"({"clas": "fcus", "fcnv": 1, "fcam": 0, "cdam": 7})").automaticDefault,
            true);
  EXPECT_EQ(detailsOf(R"({"clas": "fcus", "fcnv": 1, "fcam": 1, "cdam": 0})").automaticDefault,
            false);
  EXPECT_EQ(detailsOf(R"({"clas": "fcus", "fcnv": 1, "cdam": 1})").automaticDefault, std::nullopt);
}

// Each item by its value, named or numbered, in the menu's order; an item the
// service gives neither for is left out, and a menu of none is no menu.
TEST(ControlDetails, MenuItemsAreReadPerItem) {
  const std::string menu = R"([{"value": 2, "name": "60 Hz"}, {"value": 0, "name": -5},
                               {"value": 1, "name": "50 Hz"}])";
  const ControlDetails read = detailsOf(R"({"clas": "pwfq", "fcnv": 1})", menu);
  const std::vector<MenuItem> expected{
      {2, "60 Hz", std::nullopt}, {0, std::nullopt, -5}, {1, "50 Hz", std::nullopt}};
  EXPECT_EQ(read.menu, expected);
  useFixture(R"({"devices": [{"objectId": 33, "controls": [{"objectId": 41,
    "properties": {"clas": "pwfq", "fcnv": 1},
    "menu": [{"value": 2, "name": "60 Hz"}, {"value": 1, "name": "50 Hz"}]}]}]})");
  scriptOf(41, selectors::menuItemName).dataStatus = status::unspecified;
  const auto control = inspectControl(41);
  ASSERT_TRUE(control);
  EXPECT_EQ(inspectDetails(*control).menu, std::nullopt);
  EXPECT_EQ(detailsOf(R"({"clas": "pwfq", "fcnv": 1})").menu, std::nullopt);
}

}  // namespace
}  // namespace camknob
