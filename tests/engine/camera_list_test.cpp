#include "engine/camera_list.h"

#include <gtest/gtest.h>

#include <limits>

#include "json/json_text.h"
#include "json/write_response.h"
#include "support/records.h"

namespace camknob {
namespace {

using engine::cameraListOf;
using engine::listDocument;
using engine::replaceDevice;

CameraDevice device(ObjectId id, std::string uid, double brightness) {
  CameraControl control = testing::bareControl(id + 1);
  control.valueMode = ValueMode::Native;
  control.value = brightness;
  control.settable = true;
  return CameraDevice{.objectId = id,
                      .uid = std::move(uid),
                      .name = "Camera \"" + std::to_string(id) + "\"",
                      .manufacturer = std::nullopt,
                      .controls = {control}};
}

// The document of the kept list is the response camknob encodes for the same
// devices, for success and for a failure, and its fallback line where one
// device cannot be encoded.
TEST(CameraList, DocumentIsCamknobsResponse) {
  const std::vector<CameraDevice> devices = {device(33, "A", 1.5), device(60, "B/ü", -2)};
  const auto list = cameraListOf(devices);
  EXPECT_EQ(listDocument(list, true, std::nullopt),
            *encodeResponse({.ok = true, .devices = devices, .error = std::nullopt}));
  EXPECT_EQ(listDocument(list, false, "Failed to set brightness: 1 (x)."),
            *encodeResponse(
                {.ok = false, .devices = devices, .error = "Failed to set brightness: 1 (x)."}));
  EXPECT_EQ(listDocument(cameraListOf({}), true, std::nullopt), R"({"devices":[],"ok":true})");

  std::vector<CameraDevice> broken = devices;
  broken[1].name.assign(1, '\xFF');
  EXPECT_EQ(listDocument(cameraListOf(broken), true, std::nullopt), fallbackResponseLine);
  EXPECT_EQ(listDocument(list, false, std::string("\xFF")), fallbackResponseLine);
}

TEST(CameraList, ReplacingADeviceSaysWhetherItChanged) {
  auto list = cameraListOf({device(33, "A", 1), device(60, "B", 2)});
  EXPECT_FALSE(replaceDevice(list, 60, device(60, "B", 2)));
  EXPECT_TRUE(replaceDevice(list, 60, device(60, "B", 3)));
  EXPECT_EQ(list.devices[1].controls[0].value, 3);
  EXPECT_FALSE(replaceDevice(list, 99, device(99, "C", 1)));  // not in the list: not added
  EXPECT_EQ(list.devices.size(), 2u);
  EXPECT_TRUE(replaceDevice(list, 33, std::nullopt));  // no longer readable: dropped
  ASSERT_EQ(list.devices.size(), 1u);
  EXPECT_EQ(list.devices[0].uid, "B");
  EXPECT_EQ(listDocument(list, true, std::nullopt),
            *encodeResponse({.ok = true, .devices = list.devices, .error = std::nullopt}));
}

}  // namespace
}  // namespace camknob
