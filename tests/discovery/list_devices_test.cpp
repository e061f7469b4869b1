#include "discovery/list_devices.h"

#include <gtest/gtest.h>

#include "support/sim_support.h"

namespace camknob {
namespace {

using testing::scriptOf;
using testing::useFixture;

std::vector<ObjectId> idsOf(const std::vector<CameraDevice>& devices) {
  std::vector<ObjectId> ids;
  for (const CameraDevice& device : devices) ids.push_back(device.objectId);
  return ids;
}

TEST(ListDevices, NoSystemOrNoDevicesGivesAnEmptyList) {
  sim::reset();
  EXPECT_TRUE(listDevices().empty());
  useFixture(R"({"devices": []})");
  EXPECT_TRUE(listDevices().empty());
}

TEST(ListDevices, DevicesInSystemOrderWithIdentityAndControls) {
  useFixture(R"({"devices": [
    {"objectId": 70, "properties": {"uid ": "Z", "lnam": "Zed"},
     "controls": [{"objectId": 71, "properties": {"clas": "zoom"}},
                  {"objectId": 72, "properties": {"lnam": "no class"}},
                  {"objectId": 73, "properties": {"clas": "fcus"}}]},
    {"objectId": 33, "properties": {"uid ": "A", "lnam": "Alpha", "lmak": "Acme"}},
    {"objectId": 40, "properties": {"uid ": "B", "lnam": "Beta"}, "controls": []}]})");
  const auto devices = listDevices();
  EXPECT_EQ(idsOf(devices), (std::vector<ObjectId>{70, 33, 40}));
  EXPECT_EQ(devices[0].uid, "Z");
  EXPECT_EQ(devices[0].name, "Zed");
  EXPECT_EQ(devices[0].manufacturer, std::nullopt);
  ASSERT_EQ(devices[0].controls.size(), 2u);
  EXPECT_EQ(devices[0].controls[0].kind, "zoom");
  EXPECT_EQ(devices[0].controls[1].kind, "focus");
  EXPECT_EQ(devices[1].manufacturer, "Acme");
  EXPECT_TRUE(devices[1].controls.empty());  // no owned-object list at all
  EXPECT_TRUE(devices[2].controls.empty());
}

TEST(ListDevices, DeviceWithoutUidOrNameIsLeftOutUnread) {
  useFixture(R"({"devices": [
    {"objectId": 10, "properties": {"lnam": "No uid"},
     "controls": [{"objectId": 11, "properties": {"clas": "brit"}}]},
    {"objectId": 20, "properties": {"uid ": "no-name"},
     "controls": [{"objectId": 21, "properties": {"clas": "brit"}}]},
    {"objectId": 30, "properties": {"uid ": "ok", "lnam": "Fine"}}]})");
  EXPECT_EQ(idsOf(listDevices()), std::vector<ObjectId>{30});
  for (const sim::Call& call : sim::callLog()) {
    EXPECT_NE(call.object, 11u);
    EXPECT_NE(call.object, 21u);
    if (call.object == 10u) {
      EXPECT_EQ(call.selector, selectors::deviceUid);
    }
    if (call.object == 20u) {
      EXPECT_TRUE(call.selector == selectors::deviceUid || call.selector == selectors::name);
    }
  }
}

TEST(ListDevices, TextThatCannotBeConvertedIsNoText) {
  useFixture(R"({"devices": [
    {"objectId": 10, "properties": {"uid ": "U1", "lnam": "One", "lmak": "Acme"}},
    {"objectId": 20, "properties": {"uid ": "U2", "lnam": "Two", "lmak": "Acme"}},
    {"objectId": 30, "properties": {"uid ": "U3", "lnam": "Three", "lmak": "Acme"}}]})");
  scriptOf(10, selectors::deviceUid).unconvertibleString = true;
  scriptOf(20, selectors::name).unconvertibleString = true;
  scriptOf(30, selectors::manufacturer).unconvertibleString = true;
  const auto devices = listDevices();
  ASSERT_EQ(idsOf(devices), std::vector<ObjectId>{30});
  EXPECT_EQ(devices[0].uid, "U3");
  EXPECT_EQ(devices[0].manufacturer, std::nullopt);
  EXPECT_EQ(sim::liveStringCount(), 0u);
}

TEST(ListDevices, RepeatedIdsStayAndAFailedControlListIsEmpty) {
  useFixture(R"({"devices": [{"objectId": 33, "properties": {"uid ": "A", "lnam": "Alpha"},
     "controls": [{"objectId": 41, "properties": {"clas": "brit"}}]}]})");
  sim::store().objects[1].properties[selectors::devices] = sim::idsValue({33, 33});
  EXPECT_EQ(idsOf(listDevices()), (std::vector<ObjectId>{33, 33}));
  scriptOf(33, selectors::ownedObjects).sizeStatus = status::unspecified;
  const auto devices = listDevices();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_TRUE(devices[0].controls.empty());
}

}  // namespace
}  // namespace camknob
