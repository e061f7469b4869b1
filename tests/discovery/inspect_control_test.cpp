#include "discovery/inspect_control.h"

#include <gtest/gtest.h>

#include "support/sim_support.h"

namespace camknob {
namespace {

using testing::scriptOf;
using testing::useFixture;

// Loads one control, object id 41, with these properties and settable list.
std::optional<CameraControl> inspected(std::string_view properties,
                                       std::string_view settable = "[]") {
  useFixture(std::string(R"({"devices": [{"objectId": 33, "controls": [{"objectId": 41, )") +
             "\"properties\": " + std::string(properties) +
             ", \"settable\": " + std::string(settable) + "}]}]}");
  return inspectControl(41);
}

std::vector<std::pair<sim::Operation, std::string>> accesses() {
  std::vector<std::pair<sim::Operation, std::string>> seen;
  for (const sim::Call& call : sim::callLog())
    if (call.operation == sim::Operation::HasProperty ||
        call.operation == sim::Operation::IsSettable)
      seen.emplace_back(call.operation,
                        std::string{char(call.selector >> 24), char(call.selector >> 16),
                                    char(call.selector >> 8), char(call.selector)});
  return seen;
}

TEST(InspectControl, UnreadableClassTouchesNothingElse) {
  EXPECT_FALSE(inspected(R"({"lnam": "No class", "fcnv": 1})"));
  EXPECT_EQ(accesses().size(), 1u);
  scriptOf(41, selectors::objectClass).dataStatus = status::unspecified;
  sim::store().objects[41].properties[selectors::objectClass] = sim::uint32Value(1);
  EXPECT_FALSE(inspectControl(41));
}

TEST(InspectControl, PropertiesAreReadInTheirFixedOrder) {
  ASSERT_TRUE(inspected(R"({"clas": "brit", "fcnv": 1, "fcnr": [0, 2]})", R"(["fcnv"])"));
  using sim::Operation;
  const std::vector<std::pair<Operation, std::string>> expected{
      {Operation::HasProperty, "clas"}, {Operation::HasProperty, "fcav"},
      {Operation::HasProperty, "fcar"}, {Operation::HasProperty, "fcnv"},
      {Operation::HasProperty, "fcnr"}, {Operation::HasProperty, "lnam"},
      {Operation::HasProperty, "fcnv"}, {Operation::IsSettable, "fcnv"},
      {Operation::HasProperty, "fcam"}, {Operation::HasProperty, "fcam"},
      {Operation::HasProperty, "fcoo"}, {Operation::HasProperty, "fcoo"},
      {Operation::HasProperty, "fcnd"}, {Operation::HasProperty, "fcdr"},
      {Operation::HasProperty, "fcnd"},
  };
  EXPECT_EQ(accesses(), expected);
}

TEST(InspectControl, NativeControlWithEverything) {
  const auto control = inspected(
      R"({"clas": "ptab", "lnam": "Pan/Tilt", "fcnv": 0.1, "fcnr": [0, 255], "fcam": 2,
          "fcoo": 0, "fcnd": [1, 2, 3], "fcdr": [4]})",
      R"(["fcnd", "fcoo"])");
  ASSERT_TRUE(control);
  EXPECT_EQ(control->objectId, 41u);
  EXPECT_EQ(control->kind, "panTiltAbsolute");
  EXPECT_EQ(control->classCode, "ptab");
  EXPECT_EQ(control->name, "Pan/Tilt");
  EXPECT_EQ(control->valueMode, ValueMode::Native);
  EXPECT_EQ(control->value, 0.10000000149011612);  // the float, widened exactly
  EXPECT_EQ(control->minimum, 0.0);
  EXPECT_EQ(control->maximum, 255.0);
  EXPECT_FALSE(control->settable);
  EXPECT_EQ(control->automatic, true);
  EXPECT_FALSE(control->automaticSettable);
  EXPECT_EQ(control->on, false);
  EXPECT_TRUE(control->onSettable);
  EXPECT_EQ(control->nativeData, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(control->nativeDataRange, (std::vector<std::uint8_t>{4}));
  EXPECT_TRUE(control->nativeDataSettable);
}

TEST(InspectControl, ValueModeChoice) {
  struct Case {
    std::string_view properties;
    std::string_view settable;
    std::optional<ValueMode> mode;
    std::optional<double> value, minimum, maximum;
    bool isSettable;
  };
  const Case cases[] = {
      // both pairs: absolute wins, settable follows fcav
      {R"({"fcav": 0.5, "fcar": [0, 1], "fcnv": 7, "fcnr": [0, 9]})", R"(["fcav"])",
       ValueMode::Absolute, 0.5, 0, 1, true},
      {R"({"fcav": 0.5, "fcar": [0, 1], "fcnv": 7, "fcnr": [0, 9]})", R"(["fcnv"])",
       ValueMode::Absolute, 0.5, 0, 1, false},
      // absolute value without its range: native
      {R"({"fcav": 0.5, "fcnv": 7, "fcnr": [0, 9]})", R"(["fcnv"])", ValueMode::Native, 7, 0, 9,
       true},
      // absolute range without its value: native, with no native value at all
      {R"({"fcar": [0, 1], "fcnr": [0, 9]})", R"(["fcnv"])", std::nullopt, std::nullopt, 0, 9,
       false},
      // not finite: value absent, range still told
      {R"({"fcnv": "nan", "fcnr": [0, 9]})", R"(["fcnv"])", std::nullopt, std::nullopt, 0, 9,
       false},
      {R"({"fcav": "inf", "fcar": [0, 1]})", R"(["fcav"])", std::nullopt, std::nullopt, 0, 1,
       false},
      {R"({"fcnv": 3, "fcnr": ["-inf", 10]})", "[]", ValueMode::Native, 3, std::nullopt, 10, false},
      {R"({"fcnv": 3})", "[]", ValueMode::Native, 3, std::nullopt, std::nullopt, false},
  };
  for (const Case& c : cases) {
    const std::string properties = "{\"clas\": \"brit\", " + std::string(c.properties.substr(1));
    const auto control = inspected(properties, c.settable);
    ASSERT_TRUE(control) << c.properties;
    EXPECT_EQ(control->valueMode, c.mode) << c.properties;
    EXPECT_EQ(control->value, c.value) << c.properties;
    EXPECT_EQ(control->minimum, c.minimum) << c.properties;
    EXPECT_EQ(control->maximum, c.maximum) << c.properties;
    EXPECT_EQ(control->settable, c.isSettable) << c.properties;
  }
}

TEST(InspectControl, NoValueMeansNoSettableQuestionForIt) {
  ASSERT_TRUE(inspected(R"({"clas": "brit", "fcnr": [0, 9]})", R"(["fcnv"])"));
  for (const auto& [operation, selector] : accesses())
    if (operation == sim::Operation::IsSettable) {
      EXPECT_NE(selector, "fcnv");
    }
}

TEST(InspectControl, UnknownClassIsNamedByItsCode) {
  auto control = inspected(R"({"clas": "wxyz"})");
  ASSERT_TRUE(control);
  EXPECT_EQ(control->kind, "wxyz");
  EXPECT_EQ(control->classCode, "wxyz");
  control = inspected(R"({"clas": 2155905152})");  // 0x80808080
  ASSERT_TRUE(control);
  EXPECT_EQ(control->kind, "0x80808080");
  EXPECT_EQ(control->classCode, "0x80808080");
}

TEST(InspectControl, FlagReadingsAndTheirSettableQuestions) {
  auto control = inspected(R"({"clas": "xpsr", "fcam": 0})", R"(["fcam"])");
  ASSERT_TRUE(control);
  EXPECT_EQ(control->automatic, false);
  EXPECT_TRUE(control->automaticSettable);
  EXPECT_EQ(control->on, std::nullopt);
  EXPECT_FALSE(control->onSettable);

  // A present property whose read fails still answers the settable question.
  inspected(R"({"clas": "xpsr", "fcam": 1, "fcnd": []})", R"(["fcam"])");
  scriptOf(41, selectors::automaticManual).dataStatus = status::unspecified;
  control = inspectControl(41);
  ASSERT_TRUE(control);
  EXPECT_EQ(control->automatic, std::nullopt);
  EXPECT_TRUE(control->automaticSettable);
  EXPECT_EQ(control->nativeData, std::nullopt);  // an empty block reads as absent
}

}  // namespace
}  // namespace camknob
