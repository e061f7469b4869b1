#include "vocabulary/control_kinds.h"

#include <gtest/gtest.h>

#include <set>

namespace camknob {
namespace {

TEST(ControlKinds, NamesAndUniqueness) {
  EXPECT_EQ(controlKindName(0x68756520), "hue");  // trailing blank not in the name
  EXPECT_EQ(controlKindName(0x70616e20), "pan");
  EXPECT_EQ(controlKindName(0x74696c74), "tilt");
  EXPECT_EQ(controlKindName(0x70746162), "panTiltAbsolute");
  EXPECT_EQ(controlKindName(0x7074726c), "panTiltRelative");
  EXPECT_EQ(controlKindName(0x62726974), "brightness");
  EXPECT_EQ(controlKindName(0x726f6c61), "roll");
  EXPECT_EQ(controlKindName(0x00000000), std::nullopt);
  EXPECT_EQ(controlKindName(fourCharCode("Brit")), std::nullopt);

  std::set<std::uint32_t> codes;
  std::set<std::string_view> names;
  for (const ControlKind& kind : controlKinds) {
    codes.insert(kind.classCode);
    names.insert(kind.name);
  }
  EXPECT_EQ(codes.size(), controlKinds.size());
  EXPECT_EQ(names.size(), controlKinds.size());
}

}  // namespace
}  // namespace camknob
