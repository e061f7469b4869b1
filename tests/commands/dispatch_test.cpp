// The dispatcher in-process, over the simulated service, where the log shows
// exactly what reached the device and when.
#include "commands/dispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <sstream>

#include "media/property_access.h"
#include "support/run_command.h"
#include "support/sim_support.h"

namespace camknob {
namespace {

using testing::useFixture;

constexpr std::string_view camera = R"({"devices": [
  {"objectId": 33, "properties": {"uid ": "A1", "lnam": "Cam"},
   "controls": [
     {"objectId": 41, "properties": {"clas": "brit", "fcnv": 1, "fcnr": [0, 255]},
      "settable": ["fcnv"]},
     {"objectId": 42, "properties": {"clas": "xpsr", "fcav": 0.5, "fcar": [0, 1], "fcnv": 9,
                                     "fcnr": [0, 99], "fcam": 1},
      "settable": ["fcav", "fcnv", "fcam"]},
     {"objectId": 43, "properties": {"clas": "ptrl", "fcoo": 1, "fcnd": [0, 0, 0, 0]},
      "settable": ["fcoo", "fcnd"], "refuse": {"fcoo": -50}},
     {"objectId": 44, "properties": {"clas": "ptab", "fcnd": [0, 0, 0, 0, 0, 0, 0, 0]}}]}]})";

using testing::Outcome;
using testing::run;

std::vector<sim::Call> writes() {
  std::vector<sim::Call> found;
  for (const sim::Call& call : sim::callLog())
    if (call.operation == sim::Operation::SetData) found.push_back(call);
  return found;
}

int deviceListReads() {
  int reads = 0;
  for (const sim::Call& call : sim::callLog())
    if (call.operation == sim::Operation::HasProperty && call.object == systemObject) ++reads;
  return reads;
}

TEST(Dispatch, ListReadsOnceAndLooksAtNoOption) {
  useFixture(camera);
  const Outcome listed = run({"list", "--device", "nothing-like-it"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(deviceListReads(), 1);
  EXPECT_EQ(nlohmann::json::parse(listed.output)["devices"].size(), 1u);
  EXPECT_EQ(run({}).output, listed.output);
}

TEST(Dispatch, SuccessWaitsThenReadsTheListAgain) {
  useFixture(camera);
  const Outcome set = run({"set", "--control", "brightness", "--value", "77"});
  EXPECT_EQ(set.status, 0);
  const auto changed = writes();
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(deviceListReads(), 2);
  // Everything read after the write comes at least 80 ms later.
  bool afterWrite = false;
  for (const sim::Call& call : sim::callLog()) {
    if (call.operation == sim::Operation::SetData) {
      afterWrite = true;
      continue;
    }
    if (afterWrite) {
      EXPECT_GE(call.at - changed[0].at, std::chrono::milliseconds(80));
    }
  }
  EXPECT_EQ(nlohmann::json::parse(set.output)["devices"][0]["controls"][0]["value"], 77);
}

TEST(Dispatch, FailureReadsTheListAgainAndWritesNothing) {
  struct Case {
    std::vector<std::string_view> texts;
    std::string error;
  };
  const Case cases[] = {
      {{"LIST"}, "Unknown command: LIST."},
      {{""}, "Unknown command: ."},
      {{"--device", "Cam", "list"}, "Unknown command: --device."},
      {{"set", "--device", "Nope", "--control", "brightness", "--value", "1"},
       "Camera device was not found."},
      {{"set", "--control", "Brightness", "--value", "1"},
       "set requires --control and a numeric --value."},
      {{"set", "--control", "brightness", "--value", " 1"},
       "set requires --control and a numeric --value."},
      {{"auto", "--control", "exposure"}, "auto requires --control and --enabled."},
      {{"on", "--control", "exposure", "--enabled"}, "on requires --control and --enabled."},
      {{"home"}, "This camera does not expose absolute pan/tilt control."},
  };
  for (const Case& c : cases) {
    useFixture(camera);
    const Outcome failed = run(c.texts);
    EXPECT_EQ(failed.status, 1);
    const auto response = nlohmann::json::parse(failed.output);
    EXPECT_EQ(response["error"], c.error);
    EXPECT_EQ(response["ok"], false);
    EXPECT_EQ(response["devices"].size(), 1u);
    EXPECT_TRUE(writes().empty()) << c.error;
    EXPECT_EQ(deviceListReads(), 2) << c.error;
  }
}

TEST(Dispatch, SetWritesTheFloatToThePropertyOfItsValueMode) {
  struct Case {
    std::string_view kind;
    ObjectId object;
    std::uint32_t selector;
  };
  for (const Case& c : {Case{"brightness", 41, selectors::nativeValue},
                        Case{"exposure", 42, selectors::absoluteValue}}) {
    useFixture(camera);
    EXPECT_EQ(run({"set", "--control", c.kind, "--value", "1.00000017881393432617187499"}).status,
              0);
    const auto changed = writes();
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].object, c.object);
    EXPECT_EQ(changed[0].selector, c.selector);
    std::uint32_t bits = 0;
    ASSERT_EQ(changed[0].data.size(), 4u);
    std::memcpy(&bits, changed[0].data.data(), 4);
    EXPECT_EQ(bits, 0x3F800001u);
  }
}

TEST(Dispatch, MoveSwitchesOnFirstAndGoesOnWhenThatIsRefused) {
  useFixture(camera);
  const Outcome moved = run({"move", "--pan", "-1", "--tilt", "0.5"});
  EXPECT_EQ(moved.status, 0) << moved.output;
  const auto changed = writes();
  ASSERT_EQ(changed.size(), 2u);
  EXPECT_EQ(changed[0].selector, selectors::onOff);
  EXPECT_EQ(changed[0].data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(changed[1].selector, selectors::nativeData);
  EXPECT_EQ(changed[1].data, (std::vector<std::uint8_t>{0xFF, 0x05, 0x01, 0x03}));
}

TEST(Dispatch, AbsoluteWritesEvenWhenNativeDataIsNotSettable) {
  useFixture(camera);
  const Outcome placed = run({"absolute", "--pan", "10.5", "--tilt", "-20.25"});
  EXPECT_EQ(placed.status, 1);
  EXPECT_EQ(nlohmann::json::parse(placed.output)["error"],
            "Failed to set pan/tilt position: 1852797029 (nope).");
  const auto changed = writes();
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].data,
            (std::vector<std::uint8_t>{0xA8, 0x93, 0x00, 0x00, 0x3C, 0xE3, 0xFE, 0xFF}));
}

}  // namespace
}  // namespace camknob
