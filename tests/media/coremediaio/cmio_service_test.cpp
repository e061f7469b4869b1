// The CoreMediaIO service's own code, over the stand-in for the platform.
#include <gtest/gtest.h>

#include <poll.h>

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

// Where CoreMediaIO takes no listener, the news is whether the system's
// device list changed since the last time it was asked. (Run in one process
// with the others, this one comes first: the service keeps its listeners.)
TEST(CmioService, WithoutListenersNewsTellsOfAChangedDeviceList) {
  useFixture(R"({"devices": [{"objectId": 10}, {"objectId": 20},
                             {"objectId": 30, "controls": [{"objectId": 31}]}]})");
  cmio_standin::refuseListeners(true);
  EXPECT_EQ(service::startWatching(), -1);
  cmio_standin::refuseListeners(false);
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

// Waits a while for the descriptor to become readable.
bool readable(int descriptor, int milliseconds = 2000) {
  pollfd watched{descriptor, POLLIN, 0};
  return ::poll(&watched, 1, milliseconds) == 1 && (watched.revents & POLLIN) != 0;
}

void setRunning(ObjectId device, std::uint32_t running) {
  cmio_standin::changeStore([&](sim::System& system) {
    system.objects.at(device).properties[selectors::deviceIsRunningSomewhere] =
        sim::uint32Value(running);
  });
}

void setDevices(std::vector<ObjectId> devices) {
  cmio_standin::changeStore([&](sim::System& system) {
    system.objects.at(systemObject).properties[selectors::devices] = sim::idsValue(devices);
  });
}

// With listeners: the descriptor wakes the engine when the device list or a
// device's 'gone' changed; news then says which device another program
// started, and follows devices that come and go.
TEST(CmioService, ListenersTellOfDevicesStartedElsewhereAndOfTheList) {
  useFixture(R"({"devices": [{"objectId": 10, "properties": {"gone": 0}},
                             {"objectId": 20, "properties": {"gone": 1}},
                             {"objectId": 30, "properties": {"gone": 0}}]})");
  setDevices({10, 20});
  const int descriptor = service::startWatching();
  ASSERT_GE(descriptor, 0);
  EXPECT_EQ(service::startWatching(), descriptor);  // once
  EXPECT_EQ(cmio_standin::listenerCount(systemObject, selectors::devices), 1u);
  for (const ObjectId device : {10u, 20u})
    EXPECT_EQ(cmio_standin::listenerCount(device, selectors::deviceIsRunningSomewhere), 1u);
  EXPECT_EQ(cmio_standin::listenerCount(30, selectors::deviceIsRunningSomewhere), 0u);

  // Started by another program: news names it once.
  setRunning(10, 1);
  ASSERT_TRUE(readable(descriptor));
  service::ServiceNews news = service::takeNews();
  EXPECT_FALSE(news.devicesChanged);
  EXPECT_EQ(news.openedElsewhere, std::vector<ObjectId>{10});
  EXPECT_TRUE(service::takeNews().openedElsewhere.empty());
  // Left alone again: no news of an opening.
  setRunning(10, 0);
  ASSERT_TRUE(readable(descriptor));
  EXPECT_TRUE(service::takeNews().openedElsewhere.empty());

  // A camera leaves: its listener goes, and a change of it is never news.
  setDevices({20});
  ASSERT_TRUE(readable(descriptor));
  news = service::takeNews();
  EXPECT_TRUE(news.devicesChanged);
  EXPECT_EQ(cmio_standin::listenerCount(10, selectors::deviceIsRunningSomewhere), 0u);
  const std::size_t callsOfTheLeft =
      cmio_standin::listenerCalls(10, selectors::deviceIsRunningSomewhere);
  setRunning(10, 1);
  setRunning(20, 0);  // something to wait for
  ASSERT_TRUE(readable(descriptor));
  EXPECT_TRUE(service::takeNews().openedElsewhere.empty());
  EXPECT_EQ(cmio_standin::listenerCalls(10, selectors::deviceIsRunningSomewhere), callsOfTheLeft);

  // Two arrive, one already in use: listened to once each from then on.
  setDevices({20, 30, 10});
  ASSERT_TRUE(readable(descriptor));
  EXPECT_TRUE(service::takeNews().devicesChanged);
  for (const ObjectId device : {10u, 20u, 30u})
    EXPECT_EQ(cmio_standin::listenerCount(device, selectors::deviceIsRunningSomewhere), 1u);
  setRunning(30, 1);
  ASSERT_TRUE(readable(descriptor));
  EXPECT_EQ(service::takeNews().openedElsewhere, std::vector<ObjectId>{30});

  // Nothing changed: the descriptor stays quiet, and news reads nothing.
  EXPECT_FALSE(readable(descriptor, 200));
  const std::size_t calls = sim::callCount();
  news = service::takeNews();
  EXPECT_FALSE(news.devicesChanged);
  EXPECT_TRUE(news.openedElsewhere.empty());
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
