// The CoreMediaIO service's own code, over the stand-in for the platform.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "discovery/list_devices.h"
#include "media/coremediaio/cmio_standin.h"
#include "media/property_access.h"
#include "media/property_service.h"
#include "support/sim_support.h"

namespace camknob {
namespace {

using namespace std::string_literals;
using testing::scriptOf;
using testing::useFixture;

TEST(CmioService, StringTextIsTheWholeText) {
  const std::string texts[] = {
      "",
      "Brightness",
      "caf\xc3\xa9 \xe6\x97\xa5",  // two- and three-byte characters
      "\xf0\x9f\x93\xb7 camera",   // a character of two UTF-16 units
      "FaceTime\0HD"s,             // an embedded NUL
      "\0"s,
      std::string(1000, '\xe2') + "x",  // malformed bytes, one unit each
  };
  for (const std::string& text : texts) {
    const CFStringRef string = cmio_standin::newString(text);
    EXPECT_EQ(service::stringText(string), text);
    service::releaseString(string);
  }
  EXPECT_EQ(cmio_standin::liveStringCount(), 0u);
}

TEST(CmioService, StringThatCannotBeConvertedIsNoText) {
  const CFStringRef strings[] = {
      cmio_standin::newString("Camera", false),
      cmio_standin::newString("", false),
      // Three bytes a character overflow the size computation.
      cmio_standin::newStringClaimingLength(LONG_MAX / 3 + 1),
      cmio_standin::newStringClaimingLength(LONG_MAX),
  };
  for (const CFStringRef string : strings) {
    EXPECT_EQ(service::stringText(string), std::nullopt);
    service::releaseString(string);
  }
  EXPECT_EQ(cmio_standin::liveStringCount(), 0u);
}

TEST(CmioService, StringsFromTheStoreReadWholeOrNotAtAll) {
  useFixture(R"({"devices": [
    {"objectId": 10, "properties": {"uid ": "U1", "lnam": "Bad uid"}},
    {"objectId": 20, "properties": {"uid ": "U2", "lnam": "Cam\u0000era \ud83d\udcf7",
                                    "lmak": "Acme"},
     "controls": [{"objectId": 21, "properties": {"clas": "brit", "lnam": "Brightness"}}]}]})");
  scriptOf(10, selectors::deviceUid).unconvertibleString = true;
  scriptOf(20, selectors::manufacturer).unconvertibleString = true;
  const auto devices = listDevices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].uid, "U2");
  EXPECT_EQ(devices[0].name, "Cam\0era \xf0\x9f\x93\xb7"s);
  EXPECT_EQ(devices[0].manufacturer, std::nullopt);
  ASSERT_EQ(devices[0].controls.size(), 1u);
  EXPECT_EQ(devices[0].controls[0].name, "Brightness");
  EXPECT_EQ(cmio_standin::liveStringCount(), 0u);
  EXPECT_EQ(sim::liveStringCount(), 0u);
}

TEST(CmioService, ValuesAndWritesPassThrough) {
  useFixture(R"({"devices": [{"objectId": 33, "controls": [
    {"objectId": 41, "properties": {"clas": "brit", "fcnv": 128.5, "fcnr": [-1.5, 255],
                                    "fcnd": [1, 2, 3]},
     "settable": ["fcnv"], "refuse": {"fcoo": -50}}]}]})");
  EXPECT_EQ(readFloat32(41, selectors::nativeValue), 128.5f);
  EXPECT_EQ(readRange(41, selectors::nativeRange)->mMinimum, -1.5);
  EXPECT_EQ(readBytes(41, selectors::nativeData), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(readObjectIds(33, selectors::ownedObjects, controlClass), std::vector<ObjectId>{41});
  EXPECT_TRUE(isSettable(41, selectors::nativeValue));
  EXPECT_FALSE(isSettable(41, selectors::nativeRange));
  EXPECT_EQ(writeFloat32(41, selectors::nativeValue, 7.0f), noErr);
  EXPECT_EQ(readFloat32(41, selectors::nativeValue), 7.0f);
  EXPECT_EQ(writeUInt32(41, selectors::onOff, 1), -50);
}

// CoreMediaIO answers every read live; the news is whether the system's
// device list changed since the last time it was asked.
TEST(CmioService, NewsTellsOfAChangedDeviceList) {
  useFixture(R"({"devices": [{"objectId": 10}, {"objectId": 20},
                             {"objectId": 30, "controls": [{"objectId": 31}]}]})");
  EXPECT_EQ(service::startWatching(), -1);
  const auto setDevices = [](std::vector<ObjectId> devices) {
    sim::store().objects.at(systemObject).properties[selectors::devices] = sim::idsValue(devices);
  };
  setDevices({10, 20});
  EXPECT_FALSE(service::takeNews().devicesChanged);  // the first only sees the list
  EXPECT_FALSE(service::takeNews().devicesChanged);
  setDevices({10, 20, 30});
  EXPECT_TRUE(service::takeNews().devicesChanged);
  EXPECT_FALSE(service::takeNews().devicesChanged);
  setDevices({20, 10, 30});
  EXPECT_TRUE(service::takeNews().devicesChanged);
  setDevices({});
  EXPECT_TRUE(service::takeNews().devicesChanged);
  // A list that cannot be read is no news, and the last one seen stays.
  scriptOf(systemObject, selectors::devices).sizeStatus = status::unspecified;
  EXPECT_FALSE(service::takeNews().devicesChanged);
  sim::store().scripts.clear();
  EXPECT_FALSE(service::takeNews().devicesChanged);
  EXPECT_TRUE(service::takeNews().openedElsewhere.empty());

  // Nothing is kept to look at again or to read afresh: no platform call.
  const std::size_t calls = sim::callCount();
  service::rescanDevices();
  service::refreshDevice(30);
  EXPECT_EQ(sim::callCount(), calls);
}

// What makes a run through the stand-in fail: a string released twice, or one
// never released.
TEST(CmioStandIn, DoubleReleaseAndLeakEndTheProcess) {
  EXPECT_EXIT(
      {
        const CFStringRef string = cmio_standin::newString("x");
        service::releaseString(string);
        service::releaseString(string);
      },
      ::testing::ExitedWithCode(cmio_standin::faultStatus), "after its release");
  EXPECT_EXIT(
      {
        cmio_standin::newString("x");
        std::exit(0);
      },
      ::testing::ExitedWithCode(cmio_standin::faultStatus), "never released");
}

}  // namespace
}  // namespace camknob
