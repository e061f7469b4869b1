// The V4L2 service's pure parts: number conversions, records, names, codes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "fake_cameras.h"
#include "json/json_text.h"
#include "media/v4l2/class_codes.h"
#include "media/v4l2/control_model.h"
#include "media/v4l2/device_discovery.h"
#include "media/v4l2/native_values.h"
#include "vocabulary/control_kinds.h"

namespace camknob::v4l2 {
namespace {

constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();

TEST(NativeValues, NumbersRoundHalvesAwayFromZeroAndSaturate) {
  const std::pair<float, std::optional<std::int32_t>> cases[] = {
      {0.5f, 1},
      {-0.5f, -1},
      {2.49f, 2},
      {-7.0f, -7},
      {3e9f, highest},
      {-3e9f, lowest},
      {std::numeric_limits<float>::infinity(), highest},
      {-std::numeric_limits<float>::infinity(), lowest},
      {std::numeric_limits<float>::quiet_NaN(), std::nullopt},
  };
  for (const auto& [number, native] : cases) EXPECT_EQ(nativeFromNumber(number), native) << number;
}

TEST(NativeValues, AbsoluteValuesLandOnTheNearestStep) {
  const ControlDescription exposure =
      fake::described(V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CTRL_TYPE_INTEGER, "", 3, 2047, 1);
  const ControlDescription stepped =
      fake::described(V4L2_CID_PAN_ABSOLUTE, V4L2_CTRL_TYPE_INTEGER, "", -522000, 522000, 3600);
  EXPECT_EQ(nativeFromAbsolute(0.0156f, 10000, exposure), 156);
  EXPECT_EQ(nativeFromAbsolute(0.00004f, 10000, exposure), 0);  // the driver limits it
  EXPECT_EQ(nativeFromAbsolute(0.4f, 3600, stepped), 0);
  EXPECT_EQ(nativeFromAbsolute(0.6f, 3600, stepped), 3600);
  EXPECT_EQ(nativeFromAbsolute(-145.0f, 3600, stepped), -522000);
  EXPECT_EQ(nativeFromAbsolute(1e20f, 3600, stepped), highest);
  EXPECT_EQ(nativeFromAbsolute(std::nanf(""), 3600, stepped), std::nullopt);
  // A zero step (some drivers give one for menus) counts as 1.
  const ControlDescription noStep =
      fake::described(V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CTRL_TYPE_INTEGER, "", 0, 9, 0);
  EXPECT_EQ(nativeFromAbsolute(0.00036f, 10000, noStep), 4);
  EXPECT_EQ(absoluteFromNative(3, 10000), 0.0003);
}

TEST(ClassCodes, OwnCodesArePrintableUniqueAndNeverATableKindByAccident) {
  std::set<std::string_view> codes;
  std::set<std::string_view> named;
  for (const StandardControl& control : standardControls()) {
    ASSERT_EQ(control.code.size(), 4u);
    for (const char c : control.code) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << control.code;
    EXPECT_TRUE(codes.insert(control.code).second) << control.code << " twice";
    if (controlKindName(fourCharCode(control.code))) named.insert(control.code);
    EXPECT_EQ(classCodeOf(control.id), fourCharCode(control.code));
  }
  EXPECT_EQ(named,
            (std::set<std::string_view>{"brit", "ctst", "satu", "hue ", "bklv", "whbv", "whbu",
                                        "gmma", "gain", "pwfq", "temp", "shrp", "bklt", "xpsr",
                                        "pan ", "tilt", "fcus", "zoom", "zomr", "iris"}));
  EXPECT_EQ(classCodeOf(0x0098f901), 0x0098f901u);  // a driver's own control
}

TEST(ControlModel, ADriversPlainExposureTakesTheExposureMenu) {
  const std::vector<ControlDescription> described{
      fake::described(V4L2_CID_EXPOSURE, V4L2_CTRL_TYPE_INTEGER, "Exposure", 0, 500),
      fake::described(V4L2_CID_EXPOSURE_AUTO, V4L2_CTRL_TYPE_MENU, "Auto Exposure", 0, 1),
  };
  const auto controls = modelControls(0x20000, described);
  ASSERT_EQ(controls.size(), 1u);
  EXPECT_EQ(controls[0].objectId, 0x20001u);
  EXPECT_EQ(controls[0].classCode, fourCharCode("expo"));
  ASSERT_TRUE(controls[0].automatic);
  EXPECT_EQ(controls[0].automatic->control.id, std::uint32_t(V4L2_CID_EXPOSURE_AUTO));
  EXPECT_EQ(controls[0].nativePerUnit, std::nullopt);  // driver units, nothing absolute
}

TEST(DeviceDiscovery, NodeNumbersComeOnlyFromVideoNodeNames) {
  const std::pair<std::string_view, std::optional<unsigned>> cases[] = {
      {"video0", 0u},
      {"video42", 42u},
      {"video", std::nullopt},
      {"video-1", std::nullopt},
      {"video1a", std::nullopt},
      {"videox", std::nullopt},
      {"vbi0", std::nullopt},
      {"video123456", std::nullopt}};
  for (const auto& [name, number] : cases) EXPECT_EQ(nodeNumber(name), number) << name;
}

}  // namespace
}  // namespace camknob::v4l2
