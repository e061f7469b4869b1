#include <gtest/gtest.h>

#include "media/property_access.h"
#include "media/property_service.h"
#include "support/sim_support.h"

namespace camknob {
namespace {

using testing::useFixture;

// A write is checked in this order: refusal, object, property, settable, size.
TEST(SimService, WriteChecksInOrder) {
  useFixture(R"({"devices": [{"objectId": 33, "controls": [
    {"objectId": 41, "properties": {"clas": "brit", "fcnv": 1, "fcam": 1, "fcnd": [1, 2]},
     "settable": ["fcnv", "fcnd", "fcoo"], "refuse": {"fcam": 1852797029, "fcav": -50}}]}]})");
  struct Case {
    ObjectId object;
    std::uint32_t selector;
    std::vector<std::uint8_t> data;
    Status status;
  };
  const Case cases[] = {
      {41, selectors::absoluteValue, {0, 0, 0, 0}, -50},  // refused though absent
      {41, selectors::automaticManual, {0, 0, 0, 0}, static_cast<Status>(0x6e6f7065)},
      {77, selectors::nativeValue, {0, 0, 0, 0}, 0x216f626a},
      {41, selectors::onOff, {0, 0, 0, 0}, 0x77686f3f},  // settable, yet absent
      {41, selectors::objectClass, {0, 0, 0, 0}, 0x6e6f7065},
      {41, selectors::nativeValue, {0, 0}, 0x2173697a},
      {41, selectors::nativeValue, {0, 0, 0x80, 0x3f}, noErr},
      {41, selectors::nativeData, {9, 9, 9, 9, 9}, noErr},  // byte blocks take any length
  };
  for (const Case& c : cases)
    EXPECT_EQ(writeBytes(c.object, c.selector, c.data), c.status) << c.object << " " << c.selector;
  EXPECT_EQ(readFloat32(41, selectors::nativeValue), 1.0f);
  EXPECT_EQ(readBytes(41, selectors::nativeData), (std::vector<std::uint8_t>{9, 9, 9, 9, 9}));
  EXPECT_EQ(readUInt32(41, selectors::automaticManual), 1u);
}

TEST(SimService, SettableQuestionOnAnAbsentPropertyFails) {
  useFixture(R"({"devices": [{"objectId": 33, "settable": ["lmak"]}]})");
  std::uint8_t flag = 7;
  EXPECT_EQ(service::isPropertySettable(33, address(selectors::manufacturer), flag), 0x77686f3f);
  EXPECT_EQ(service::hasProperty(33, address(selectors::manufacturer)), 0);
  EXPECT_FALSE(isSettable(33, selectors::manufacturer));
}

TEST(SimService, WriteHookSeesTheNewStateAndCanRefuseIt) {
  useFixture(R"({"devices": [{"objectId": 33, "controls": [
    {"objectId": 41, "properties": {"fcnv": 1}, "settable": ["fcnv"]}]}]})");
  float seen = 0;
  sim::setWriteHook([&seen](const sim::System& updated) {
    seen = sim::float32Of(updated.objects.at(41).properties.at(selectors::nativeValue));
    return seen > 100 ? sim::unspecified : noErr;
  });
  EXPECT_EQ(writeFloat32(41, selectors::nativeValue, 5), noErr);
  EXPECT_EQ(seen, 5.0f);
  EXPECT_EQ(writeFloat32(41, selectors::nativeValue, 500), sim::unspecified);
  EXPECT_EQ(seen, 500.0f);
  EXPECT_EQ(readFloat32(41, selectors::nativeValue), 5.0f);
}

}  // namespace
}  // namespace camknob
