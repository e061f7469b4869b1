#include "commands/pan_tilt_requests.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace camknob {
namespace {

TEST(Clamped, NotANumberEndsHighInfinitiesAtTheirEnds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(clamped(nan, -1, 1), 1);
  EXPECT_EQ(clamped(inf, -1, 1), 1);
  EXPECT_EQ(clamped(-inf, -1, 1), -1);
  EXPECT_EQ(clamped(0.5, -1, 1), 0.5);
  EXPECT_EQ(clamped(7, 0.05, 1), 1);
  EXPECT_EQ(clamped(0, 0.05, 1), 0.05);
}

TEST(RelativeMoveRecord, DirectionsAndSpeeds) {
  using Record = std::array<std::uint8_t, 4>;
  struct Case {
    double pan, tilt, speed;
    Record record;
  };
  const Case cases[] = {
      {0, 0, 0.45, {0x00, 0x00, 0x00, 0x00}},
      {1, 0, 0.45, {0x01, 0x05, 0x00, 0x00}},     // 5.4 rounds to 5
      {-1, 0.5, 0.45, {0xFF, 0x05, 0x01, 0x03}},  // 2.7 rounds to 3
      {1, 0, 0.375, {0x01, 0x05, 0x00, 0x00}},    // 4.5 rounds away from zero
      {0.01, 0, 0.05, {0x01, 0x01, 0x00, 0x00}},  // raised to 1
      {1, -1, 1, {0x01, 0x0C, 0xFF, 0x0C}},
      {-0.0, 0, 0.45, {0x00, 0x00, 0x00, 0x00}},  // negative zero is zero
  };
  for (const Case& c : cases)
    EXPECT_EQ(relativeMoveRecord(c.pan, c.tilt, c.speed), c.record) << c.pan << " " << c.tilt;
}

TEST(AbsolutePositionRecord, LittleEndianArcSeconds) {
  using Record = std::array<std::uint8_t, 8>;
  EXPECT_EQ(absolutePositionRecord(0, 0), Record{});
  EXPECT_EQ(absolutePositionRecord(145, -90),
            (Record{0x10, 0xF7, 0x07, 0x00, 0x60, 0x0E, 0xFB, 0xFF}));
  EXPECT_EQ(absolutePositionRecord(10.5, -20.25),
            (Record{0xA8, 0x93, 0x00, 0x00, 0x3C, 0xE3, 0xFE, 0xFF}));
  // 0.000138888... degrees is half an arc-second: away from zero either way.
  EXPECT_EQ(absolutePositionRecord(0.5 / 3600, -0.5 / 3600),
            (Record{0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace camknob
