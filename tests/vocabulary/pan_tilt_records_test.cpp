#include "vocabulary/pan_tilt_records.h"

#include <gtest/gtest.h>

#include <limits>

namespace camknob {
namespace {

TEST(PanTiltRecords, PositionRecordsAreLittleEndianPanThenTilt) {
  constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
  const auto record = positionRecord(lowest, 1);
  EXPECT_EQ(record, (std::array<std::uint8_t, 8>{0, 0, 0, 0x80, 1, 0, 0, 0}));
  EXPECT_EQ(positionOf(record), (std::array<std::int32_t, 2>{lowest, 1}));
  EXPECT_EQ(positionOf(positionRecord(highest, -1)), (std::array<std::int32_t, 2>{highest, -1}));
}

TEST(PanTiltRecords, MovementRecordsCarryDirectionAndSpeed) {
  EXPECT_EQ(movementRecord(-5, 3), (std::array<std::uint8_t, 4>{0xFF, 5, 0x01, 3}));
  EXPECT_EQ(movementRecord(0, 300), (std::array<std::uint8_t, 4>{0, 0, 0x01, 255}));
  EXPECT_EQ(movementRecord(std::numeric_limits<std::int64_t>::min(), -1),
            (std::array<std::uint8_t, 4>{0xFF, 255, 0xFF, 1}));
  const std::array<std::uint8_t, 4> record{0xFF, 12, 0x00, 7};
  EXPECT_EQ(movementOf(record), (std::array<std::int32_t, 2>{-12, 0}));
  const std::array<std::uint8_t, 4> anyPositive{0x7F, 255, 0x01, 0};
  EXPECT_EQ(movementOf(anyPositive), (std::array<std::int32_t, 2>{255, 0}));
}

}  // namespace
}  // namespace camknob
