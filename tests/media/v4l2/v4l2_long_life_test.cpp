// The V4L2 service in a program that runs long, over a fake machine whose
// cameras come and go: new looks at the machine, values read afresh on
// demand, and the news of the watch on /dev.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include "discovery/list_devices.h"
#include "fake_cameras.h"
#include "media/property_access.h"
#include "media/property_service.h"
#include "media/v4l2/control_model.h"

namespace camknob::v4l2 {
namespace {

using fake::FakeNode;
using fake::Machine;

constexpr ObjectId deviceAt(unsigned nodeNumber) {
  return (nodeNumber + 1) * deviceIdStride;
}

void useNodes(std::vector<FakeNode> nodes) {
  fake::useMachine(Machine{std::move(nodes), {}});
}

std::vector<ObjectId> idsOf(const std::vector<CameraDevice>& devices) {
  std::vector<ObjectId> ids;
  for (const CameraDevice& device : devices) ids.push_back(device.objectId);
  return ids;
}

std::vector<std::string> uidsOf(const std::vector<CameraDevice>& devices) {
  std::vector<std::string> uids;
  for (const CameraDevice& device : devices) uids.push_back(device.uid);
  return uids;
}

int opensOf(const std::string& node) {
  return fake::machine().calls.opensOf[node];
}

int descriptionsOf(const std::string& node) {
  return fake::machine().calls.descriptionsOf[node];
}

TEST(V4l2LongLife, RescanKeepsWhatIsStillThereAndLooksAtTheRest) {
  useNodes({fake::ptzCamera("video0", "1"), fake::ptzCamera("video2", "2"),
            fake::metadataNode("video3")});
  const auto first = listDevices();
  ASSERT_EQ(idsOf(first), (std::vector<ObjectId>{deviceAt(0), deviceAt(2)}));
  const std::string secondUid = first[1].uid;

  // One camera leaves, another arrives in a third port.
  const unsigned secondFile = fake::unplug("video2");
  fake::plug(fake::ptzCamera("video4", "3"));
  service::rescanDevices();
  const auto afterSwap = listDevices();
  EXPECT_EQ(idsOf(afterSwap), (std::vector<ObjectId>{deviceAt(0), deviceAt(4)}));
  EXPECT_EQ(fake::descriptorsOpenOn(secondFile), 0);
  EXPECT_EQ(uidsOf(afterSwap), (std::vector<std::string>{"usb-dummy_hcd.0-1/1d6b:0102",
                                                         "usb-dummy_hcd.0-3/1d6b:0102"}));
  // The camera that stayed was neither opened nor described again, and its
  // controls kept their ids.
  EXPECT_EQ(opensOf("video0"), 1);
  EXPECT_EQ(descriptionsOf("video0"), 1);
  ASSERT_EQ(afterSwap[0].controls.size(), first[0].controls.size());
  for (std::size_t i = 0; i < first[0].controls.size(); ++i)
    EXPECT_EQ(afterSwap[0].controls[i].objectId, first[0].controls[i].objectId);

  // Back in its port, the camera is described afresh and has its uid again.
  fake::plug(fake::ptzCamera("video2", "2"));
  service::rescanDevices();
  const auto replugged = listDevices();
  EXPECT_EQ(idsOf(replugged), (std::vector<ObjectId>{deviceAt(0), deviceAt(2), deviceAt(4)}));
  EXPECT_EQ(replugged[1].uid, secondUid);
  EXPECT_EQ(descriptionsOf("video2"), 2);
  EXPECT_EQ(descriptionsOf("video0"), 1);
  EXPECT_EQ(descriptionsOf("video4"), 1);
}

TEST(V4l2LongLife, ACameraReplugedBetweenTwoLooksIsFoundAgain) {
  useNodes({fake::ptzCamera("video0", "1")});
  const auto first = listDevices();
  // The node has the same name, but the old descriptor answers no more.
  const unsigned oldFile = fake::unplug("video0");
  FakeNode back = fake::ptzCamera("video0", "1");
  // And the camera says less of itself now.
  std::erase_if(back.controls, [](const fake::FakeControl& control) {
    return control.description.id == V4L2_CID_PRIVACY;
  });
  fake::plug(back);
  service::rescanDevices();
  const auto again = listDevices();
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].objectId, first[0].objectId);
  EXPECT_EQ(again[0].uid, first[0].uid);
  EXPECT_EQ(descriptionsOf("video0"), 2);
  EXPECT_EQ(again[0].controls.size(), first[0].controls.size() - 1);
  EXPECT_EQ(fake::descriptorsOpenOn(oldFile), 0);
  // A write reaches the camera that is there now.
  EXPECT_EQ(writeFloat32(again[0].controls[0].objectId, selectors::nativeValue, 5), noErr);
  EXPECT_EQ(fake::controlOf(V4L2_CID_BRIGHTNESS)->value, 5);
}

TEST(V4l2LongLife, TwinsAreToldApartOverTheWholeNewList) {
  // Two nodes that claim the same identity.
  useNodes({fake::ptzCamera("video0", "1"), fake::ptzCamera("video7", "1")});
  const std::string uid = "usb-dummy_hcd.0-1/1d6b:0102";
  EXPECT_EQ(uidsOf(listDevices()), (std::vector<std::string>{uid, uid + "@video7"}));
  fake::unplug("video0");
  service::rescanDevices();
  EXPECT_EQ(uidsOf(listDevices()), (std::vector<std::string>{uid}));
  fake::plug(fake::ptzCamera("video0", "1"));
  service::rescanDevices();
  EXPECT_EQ(uidsOf(listDevices()), (std::vector<std::string>{uid, uid + "@video7"}));
  EXPECT_EQ(descriptionsOf("video7"), 1);
}

TEST(V4l2LongLife, ANodeThatCouldNotBeOpenedIsLookedAtAgain) {
  FakeNode locked = fake::ptzCamera("video0");
  locked.openError = EACCES;
  useNodes({locked});
  const auto first = listDevices();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_TRUE(first[0].controls.empty());
  fake::changePermissions("video0", 0);  // the user joined the group
  service::rescanDevices();
  const auto opened = listDevices();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].objectId, first[0].objectId);
  EXPECT_EQ(opened[0].controls.size(), 10u);
  EXPECT_EQ(descriptionsOf("video0"), 1);
}

TEST(V4l2LongLife, ARescanBeforeAnyOtherCallIsTheFirstLook) {
  useNodes({fake::ptzCamera("video0"), fake::metadataNode("video1")});
  service::rescanDevices();
  EXPECT_EQ(fake::machine().calls.opens, 2);
  EXPECT_EQ(idsOf(listDevices()), (std::vector<ObjectId>{deviceAt(0)}));
  EXPECT_EQ(fake::machine().calls.opens, 2);
  EXPECT_EQ(fake::machine().calls.descriptions, 1);
}

TEST(V4l2LongLife, RefreshingADeviceMakesItsNextReadAskTheDriver) {
  useNodes({fake::ptzCamera("video0", "1"), fake::ptzCamera("video2", "2")});
  // The look at the cameras read every value, one call for each device.
  const auto devices = listDevices();
  const ObjectId first = devices[0].controls[0].objectId;  // each camera's brightness
  const ObjectId second = devices[1].controls[0].objectId;
  const fake::Calls& calls = fake::machine().calls;
  const int reads = calls.batchReads;

  // Another program changes both; the service answers from what it read.
  fake::machine().nodes[0].controls[0].value = 7;
  fake::machine().nodes[1].controls[0].value = 9;
  EXPECT_EQ(readFloat32(first, selectors::nativeValue), 0.0f);
  EXPECT_EQ(readFloat32(second, selectors::nativeValue), 0.0f);
  EXPECT_EQ(calls.batchReads, reads);

  service::refreshDevice(deviceAt(0));
  service::refreshDevice(deviceAt(9));  // no such device: nothing happens
  EXPECT_EQ(readFloat32(first, selectors::nativeValue), 7.0f);
  EXPECT_EQ(readFloat32(second, selectors::nativeValue), 0.0f);  // not refreshed
  EXPECT_EQ(readFloat32(first, selectors::nativeValue), 7.0f);
  EXPECT_EQ(calls.batchReads, reads + 1);  // all of the device's values in one call again
  EXPECT_EQ(calls.singleReads, 0);
}

struct DeviceIo {
  int opens;
  int capabilityQueries;
  int descriptions;
  int reads;
};

DeviceIo deviceIo() {
  const fake::Calls& calls = fake::machine().calls;
  return {calls.opens, calls.capabilityQueries, calls.descriptions,
          calls.batchReads + calls.singleReads};
}

void expectNoDeviceIoSince(const DeviceIo& before) {
  const DeviceIo now = deviceIo();
  EXPECT_EQ(now.opens, before.opens);
  EXPECT_EQ(now.capabilityQueries, before.capabilityQueries);
  EXPECT_EQ(now.descriptions, before.descriptions);
  EXPECT_EQ(now.reads, before.reads);
}

TEST(V4l2LongLife, NewsTellsOfNodesThatCameWentOrChangedPermissions) {
  useNodes({fake::ptzCamera("video0")});
  (void)listDevices();
  const DeviceIo before = deviceIo();
  const int watching = service::startWatching();
  EXPECT_EQ(watching, fake::watchDescriptor);
  EXPECT_EQ(service::startWatching(), watching);
  EXPECT_EQ(service::takeNews().devicesChanged, false);

  const std::function<void()> changes[] = {
      [] { fake::plug(fake::ptzCamera("video2")); },
      [] { fake::plug(fake::metadataNode("video3")); },
      [] { fake::unplug("video2"); },
      [] { fake::changePermissions("video0", EACCES); },
  };
  for (std::size_t i = 0; i < std::size(changes); ++i) {
    changes[i]();
    const service::ServiceNews news = service::takeNews();
    EXPECT_TRUE(news.devicesChanged) << i;
    EXPECT_TRUE(news.openedElsewhere.empty()) << i;
    EXPECT_FALSE(service::takeNews().devicesChanged) << i;  // told once
  }
  expectNoDeviceIoSince(before);
}

TEST(V4l2LongLife, NewsNamesTheDevicesAnotherProgramOpened) {
  useNodes({fake::ptzCamera("video0", "1"), fake::ptzCamera("video2", "2"),
            fake::metadataNode("video3")});
  (void)listDevices();
  const DeviceIo before = deviceIo();
  (void)service::startWatching();
  fake::openElsewhere("video2");
  fake::openElsewhere("video3");  // no device's node
  fake::openElsewhere("video2");
  const service::ServiceNews news = service::takeNews();
  EXPECT_FALSE(news.devicesChanged);
  EXPECT_EQ(news.openedElsewhere, std::vector<ObjectId>{deviceAt(2)});
  EXPECT_TRUE(service::takeNews().openedElsewhere.empty());
  expectNoDeviceIoSince(before);
}

TEST(V4l2LongLife, TheServicesOwnOpensAreNoNews) {
  FakeNode busy = fake::ptzCamera("video4", "4");
  busy.openError = EBUSY;  // shown unopened, yet watched
  useNodes({fake::ptzCamera("video0", "1"), fake::ptzCamera("video2", "2"), busy});
  // Watched from before the first look: every open of that look is the
  // service's own.
  EXPECT_EQ(service::startWatching(), fake::watchDescriptor);
  EXPECT_EQ(fake::machine().calls.opens, 0);
  EXPECT_EQ(listDevices().size(), 3u);
  service::ServiceNews news = service::takeNews();
  EXPECT_FALSE(news.devicesChanged);
  EXPECT_TRUE(news.openedElsewhere.empty());

  // A camera replugged, a node that can be opened now (the same file, still
  // watched) and one open by another program, all before the next look.
  fake::unplug("video2");
  fake::plug(fake::ptzCamera("video2", "2"));
  fake::changePermissions("video4", 0);
  fake::openElsewhere("video0");
  service::rescanDevices();
  EXPECT_EQ(opensOf("video2"), 2);
  EXPECT_EQ(opensOf("video4"), 2);
  news = service::takeNews();
  EXPECT_FALSE(news.devicesChanged);  // the look saw all of it
  EXPECT_EQ(news.openedElsewhere, std::vector<ObjectId>{deviceAt(0)});

  // The replugged camera's new node is watched.
  fake::openElsewhere("video2");
  fake::openElsewhere("video4");
  news = service::takeNews();
  EXPECT_EQ(news.openedElsewhere, (std::vector<ObjectId>{deviceAt(2), deviceAt(4)}));
}

TEST(V4l2LongLife, WithoutAWatchNewsComesFromTheNodesInDev) {
  Machine refusing{{fake::ptzCamera("video0")}, {}};
  refusing.kernel.refusesWatches = true;
  fake::useMachine(std::move(refusing));
  EXPECT_EQ(service::startWatching(), -1);
  EXPECT_FALSE(service::takeNews().devicesChanged);
  (void)listDevices();
  const DeviceIo before = deviceIo();
  EXPECT_FALSE(service::takeNews().devicesChanged);
  fake::plug(fake::ptzCamera("video1"));
  EXPECT_TRUE(service::takeNews().devicesChanged);
  EXPECT_FALSE(service::takeNews().devicesChanged);
  expectNoDeviceIoSince(before);
  fake::unplug("video1");
  EXPECT_TRUE(service::takeNews().devicesChanged);
  fake::openElsewhere("video0");
  EXPECT_TRUE(service::takeNews().openedElsewhere.empty());
}

}  // namespace
}  // namespace camknob::v4l2
