// What the V4L2 service tells of a control beyond its value, over a fake
// machine: the driver's step and default (native and absolute), the unit of
// an absolute value, and a menu's items with their names or numbers, all
// answered from what was read as the camera was described.
#include <gtest/gtest.h>

#include <cerrno>

#include "discovery/list_devices.h"
#include "fake_cameras.h"
#include "media/property_access.h"
#include "media/property_service.h"
#include "media/service_status.h"

namespace camknob::v4l2 {
namespace {

using fake::FakeControl;
using fake::FakeNode;
using fake::Machine;

constexpr std::uint32_t integerMenuId = 0x0098f903;  // a driver's own integer menu

// The virtual camera with a power line menu whose item 2 the driver leaves
// out, and an integer menu from 1 to 5 without item 3. Every value starts
// away from its default, so that a default read from the value shows.
FakeNode cameraWithMenus() {
  FakeNode node = fake::ptzCamera("video0");
  FakeControl powerLine = fake::menu(V4L2_CID_POWER_LINE_FREQUENCY, "Power Line Frequency", 0, 3, 1,
                                     {{0, "Disabled", 0}, {1, "50 Hz", 0}, {3, "Auto", 0}});
  powerLine.description.defaultValue = 3;
  FakeControl numbers{
      fake::described(integerMenuId, V4L2_CTRL_TYPE_INTEGER_MENU, "Integer Menu", 1, 5, 1, 0, 2),
      4,
      0,
      0,
      {{1, {}, -5}, {2, {}, std::int64_t(1) << 40}, {4, {}, 7}, {5, {}, 0}}};
  node.controls.push_back(powerLine);
  node.controls.push_back(numbers);
  for (FakeControl& control : node.controls) control.value += 1;
  return node;
}

// The controls' object ids by kind, from the tool's own listing.
ObjectId objectOf(const CameraDevice& device, std::string_view kind) {
  for (const CameraControl& control : device.controls)
    if (control.kind == kind) return control.objectId;
  ADD_FAILURE() << "no control of kind " << kind;
  return 0;
}

CameraDevice listedCamera() {
  const std::vector<CameraDevice> devices = listDevices();
  EXPECT_EQ(devices.size(), 1u);
  return devices.empty() ? CameraDevice{} : devices[0];
}

Status sizeStatus(ObjectId object, std::uint32_t selector, const void* qualifier,
                  std::uint32_t qualifierSize) {
  std::uint32_t size = 0;
  return service::getPropertyDataSize(object, address(selector), qualifierSize, qualifier, size);
}

Status dataStatus(ObjectId object, std::uint32_t selector, const void* qualifier,
                  std::uint32_t qualifierSize) {
  std::array<std::uint8_t, 16> data{};
  std::uint32_t used = 0;
  return service::getPropertyData(object, address(selector), qualifierSize, qualifier,
                                  std::uint32_t(data.size()), used, data.data());
}

TEST(V4l2Details, StepAndDefaultReadInTheNativeAndTheAbsoluteScale) {
  fake::useMachine(Machine{{cameraWithMenus()}, {}});
  const CameraDevice camera = listedCamera();
  struct Case {
    std::string_view kind;
    std::uint32_t selector;
    std::optional<float> read;
  };
  namespace s = selectors;
  const Case cases[] = {
      {"brightness", s::nativeStep, 1.0f},
      {"brightness", s::nativeDefault, 0.0f},
      {"brightness", s::absoluteStep, std::nullopt},  // no absolute scale
      {"brightness", s::absoluteDefault, std::nullopt},
      // Exposure time: 100 µs steps, given in seconds.
      {"exposure", s::nativeStep, 1.0f},
      {"exposure", s::nativeDefault, 156.0f},
      {"exposure", s::absoluteStep, 0.0001f},
      {"exposure", s::absoluteDefault, 0.0156f},
      {"temperature", s::nativeStep, 10.0f},
      {"temperature", s::absoluteStep, 10.0f},
      {"temperature", s::absoluteDefault, 4600.0f},
      {"powerLineFrequency", s::nativeDefault, 3.0f},
      {"0x0098f903", s::nativeDefault, 2.0f},
      // Pan with tilt is one record of both: no single step or default.
      {"panTiltAbsolute", s::nativeStep, std::nullopt},
      {"panTiltAbsolute", s::nativeDefault, std::nullopt},
      {"panTiltRelative", s::absoluteStep, std::nullopt},
  };
  for (const Case& c : cases) {
    const ObjectId object = objectOf(camera, c.kind);
    EXPECT_EQ(readFloat32(object, c.selector), c.read) << c.kind << " " << c.selector;
    EXPECT_EQ(service::hasProperty(object, address(c.selector)) != 0, c.read.has_value()) << c.kind;
    EXPECT_FALSE(isSettable(object, c.selector)) << c.kind;
  }
}

// Whether the camera starts automatic, from the default of the control's
// automatic partner as that partner means it (the exposure menu's manual
// item is 1).
TEST(V4l2Details, AutomaticDefaultIsThePartnersDefault) {
  FakeNode node = cameraWithMenus();
  const std::vector<std::pair<std::uint32_t, std::int64_t>> partnerDefaults{
      {V4L2_CID_FOCUS_AUTO, 1},
      {V4L2_CID_AUTO_WHITE_BALANCE, 0},
      {V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL},
  };
  for (FakeControl& control : node.controls)
    for (const auto& [id, value] : partnerDefaults)
      if (control.description.id == id) control.description.defaultValue = value;
  fake::useMachine(Machine{{node}, {}});
  const CameraDevice camera = listedCamera();
  const std::vector<std::pair<std::string_view, std::optional<std::uint32_t>>> cases{
      {"focus", 1}, {"temperature", 0}, {"exposure", 0}, {"brightness", std::nullopt}};
  for (const auto& [kind, wanted] : cases) {
    EXPECT_EQ(readUInt32(objectOf(camera, kind), selectors::automaticDefault), wanted) << kind;
    EXPECT_FALSE(isSettable(objectOf(camera, kind), selectors::automaticDefault)) << kind;
  }
}

TEST(V4l2Details, AbsoluteValuesNameTheirUnit) {
  FakeNode camera = cameraWithMenus();
  // Pan on its own, without tilt, is in degrees too.
  camera.controls.erase(camera.controls.begin() + 7);  // tilt absolute
  ASSERT_EQ(camera.controls[6].description.id, std::uint32_t(V4L2_CID_PAN_ABSOLUTE));
  fake::useMachine(Machine{{camera}, {}});
  const CameraDevice listed = listedCamera();
  const std::pair<std::string_view, std::optional<std::string>> cases[] = {
      {"exposure", "seconds"},
      {"temperature", "kelvin"},
      {"pan", "degrees"},
      {"brightness", std::nullopt},
      {"powerLineFrequency", std::nullopt},
  };
  for (const auto& [kind, unit] : cases) {
    const ObjectId object = objectOf(listed, kind);
    EXPECT_EQ(readString(object, selectors::absoluteUnitName), unit) << kind;
    EXPECT_FALSE(isSettable(object, selectors::absoluteUnitName)) << kind;
  }
  EXPECT_EQ(readFloat32(objectOf(listed, "pan"), selectors::absoluteStep), 1.0f);
}

TEST(V4l2Details, AMenuListsTheItemsItsDriverAcceptsWithTheirNames) {
  fake::useMachine(Machine{{cameraWithMenus()}, {}});
  const CameraDevice camera = listedCamera();
  const ObjectId powerLine = objectOf(camera, "powerLineFrequency");
  EXPECT_EQ(readObjectIds(powerLine, selectors::menuItems, std::nullopt),
            (std::vector<ObjectId>{0, 1, 3}));
  const std::pair<std::uint32_t, std::optional<std::string>> names[] = {
      {0, "Disabled"}, {1, "50 Hz"}, {2, std::nullopt}, {3, "Auto"}, {4, std::nullopt},
  };
  for (const auto& [index, name] : names)
    EXPECT_EQ(readItemString(powerLine, selectors::menuItemName, index), name) << index;
  // A menu of names has no numbers.
  EXPECT_EQ(readItemInt64(powerLine, selectors::menuItemNumber, 1), std::nullopt);
  for (const std::uint32_t selector :
       {selectors::menuItems, selectors::menuItemName, selectors::menuItemNumber})
    EXPECT_FALSE(isSettable(powerLine, selector));

  // Neither a plain value nor a pair has items.
  for (const std::string_view kind : {"brightness", "panTiltAbsolute"}) {
    const ObjectId object = objectOf(camera, kind);
    EXPECT_EQ(service::hasProperty(object, address(selectors::menuItems)), 0) << kind;
    EXPECT_EQ(service::hasProperty(object, address(selectors::menuItemName)), 0) << kind;
    EXPECT_EQ(readItemString(object, selectors::menuItemName, 0), std::nullopt) << kind;
  }
}

TEST(V4l2Details, AnIntegerMenuGivesEachItemsNumber) {
  fake::useMachine(Machine{{cameraWithMenus()}, {}});
  const ObjectId numbers = objectOf(listedCamera(), "0x0098f903");
  EXPECT_EQ(readObjectIds(numbers, selectors::menuItems, std::nullopt),
            (std::vector<ObjectId>{1, 2, 4, 5}));
  const std::pair<std::uint32_t, std::optional<std::int64_t>> cases[] = {
      {1, -5}, {2, std::int64_t(1) << 40}, {3, std::nullopt}, {4, 7}, {5, 0}, {0, std::nullopt},
  };
  for (const auto& [index, number] : cases)
    EXPECT_EQ(readItemInt64(numbers, selectors::menuItemNumber, index), number) << index;
  // Its items have no names.
  EXPECT_EQ(service::hasProperty(numbers, address(selectors::menuItemName)), 0);
  EXPECT_EQ(readItemString(numbers, selectors::menuItemName, 1), std::nullopt);

  // The 8 bytes least significant first, whatever the machine.
  const std::uint32_t index = 1;
  std::array<std::uint8_t, 8> bytes{};
  std::uint32_t used = 0;
  ASSERT_EQ(service::getPropertyData(numbers, address(selectors::menuItemNumber), 4, &index, 8,
                                     used, bytes.data()),
            noErr);
  EXPECT_EQ(used, 8u);
  EXPECT_EQ(bytes, (std::array<std::uint8_t, 8>{0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(V4l2Details, AnItemIsReadOnlyWithTheIndexOfOneOffered) {
  fake::useMachine(Machine{{cameraWithMenus()}, {}});
  const CameraDevice camera = listedCamera();
  const ObjectId powerLine = objectOf(camera, "powerLineFrequency");
  const ObjectId numbers = objectOf(camera, "0x0098f903");
  const std::uint32_t offered = 1;
  const std::uint32_t hole = 2;
  const std::uint32_t beyond = 9;
  const std::uint64_t wide = 1;
  struct Case {
    std::string_view what;
    ObjectId object;
    std::uint32_t selector;
    const void* qualifier;
    std::uint32_t qualifierSize;
    Status status;
  };
  namespace s = selectors;
  const Case cases[] = {
      {"an offered item", powerLine, s::menuItemName, &offered, 4, noErr},
      {"no qualifier", powerLine, s::menuItemName, nullptr, 0, status::badSize},
      {"a size without the qualifier", powerLine, s::menuItemName, nullptr, 4, status::badSize},
      {"a qualifier of 8 bytes", powerLine, s::menuItemName, &wide, 8, status::badSize},
      {"a hole", powerLine, s::menuItemName, &hole, 4, status::unknownProperty},
      {"beyond the maximum", powerLine, s::menuItemName, &beyond, 4, status::unknownProperty},
      {"a number of a menu of names", powerLine, s::menuItemNumber, &offered, 4,
       status::unknownProperty},
      {"an offered number", numbers, s::menuItemNumber, &offered, 4, noErr},
      {"a number without the qualifier", numbers, s::menuItemNumber, nullptr, 0, status::badSize},
      {"a name of an integer menu", numbers, s::menuItemName, &offered, 4, status::unknownProperty},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sizeStatus(c.object, c.selector, c.qualifier, c.qualifierSize), c.status) << c.what;
    EXPECT_EQ(dataStatus(c.object, c.selector, c.qualifier, c.qualifierSize), c.status) << c.what;
  }
}

TEST(V4l2Details, ReadOnceAsTheCameraIsDescribedAndNeverAgain) {
  fake::useMachine(Machine{{cameraWithMenus()}, {}});
  const CameraDevice camera = listedCamera();
  // Each index of each listed menu asked once: 0 to 3 and 1 to 5. The
  // exposure menu goes with the exposure time and is not listed.
  EXPECT_EQ(fake::machine().calls.menuQueries, 4 + 5);
  const fake::Calls before = fake::machine().calls;

  namespace s = selectors;
  for (const CameraControl& control : camera.controls) {
    for (const std::uint32_t selector :
         {s::nativeStep, s::nativeDefault, s::absoluteStep, s::absoluteDefault})
      (void)readFloat32(control.objectId, selector);
    (void)readString(control.objectId, s::absoluteUnitName);
    for (const ObjectId index : readObjectIds(control.objectId, s::menuItems, std::nullopt)) {
      (void)readItemString(control.objectId, s::menuItemName, index);
      (void)readItemInt64(control.objectId, s::menuItemNumber, index);
    }
  }
  const fake::Calls& after = fake::machine().calls;
  EXPECT_EQ(after.menuQueries, before.menuQueries);
  EXPECT_EQ(after.descriptions, before.descriptions);
  EXPECT_EQ(after.batchReads, before.batchReads);
  EXPECT_EQ(after.singleReads, before.singleReads);
  EXPECT_EQ(after.opens, before.opens);
  EXPECT_EQ(after.capabilityQueries, before.capabilityQueries);
}

TEST(V4l2Details, AMenuOfHugeRangeIsAskedAboutItsFirstIndexesOnly) {
  FakeNode camera = fake::ptzCamera("video0");
  camera.controls = {fake::menu(V4L2_CID_COLORFX, "Colors", 2, 0x7fffffff, 2,
                                {{2, "None", 0}, {900, "Far", 0}, {5000, "Too far", 0}})};
  fake::useMachine(Machine{{camera}, {}});
  const ObjectId colors = objectOf(listedCamera(), "cofx");
  EXPECT_EQ(fake::machine().calls.menuQueries, 1024);
  EXPECT_EQ(readObjectIds(colors, selectors::menuItems, std::nullopt),
            (std::vector<ObjectId>{2, 900}));
}

}  // namespace
}  // namespace camknob::v4l2
