#include "text/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace camknob {
namespace {

std::uint32_t bitsOf(float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST(ParseFloat32, AcceptedTexts) {
  const std::pair<std::string_view, float> cases[] = {
      {"128", 128.0f},          {"1e2", 100.0f}, {"0x10", 16.0f},
      {"-2.5", -2.5f},          {"+7", 7.0f},    {".5", 0.5f},
      {"0x1p-2", 0.25f},        {"-0", -0.0f},   {"INF", INFINITY},
      {"-Infinity", -INFINITY},
  };
  for (const auto& [text, value] : cases) {
    const auto parsed = parseFloat32(text);
    ASSERT_TRUE(parsed) << text;
    EXPECT_EQ(bitsOf(*parsed), bitsOf(value)) << text;
  }
  EXPECT_TRUE(std::isnan(*parseFloat32("nan")));
  EXPECT_TRUE(std::isnan(*parseFloat32("NaN")));
}

TEST(ParseFloat32, RoundsOnceStraightToFloat) {
  // Through a double this text would land on 0x3F800002.
  EXPECT_EQ(bitsOf(*parseFloat32("1.00000017881393432617187499")), 0x3F800001u);
}

TEST(ParseFloat32, RejectedTexts) {
  const std::string_view texts[] = {"",
                                    "12abc",
                                    "1,5",
                                    " 5",
                                    "5 ",
                                    "\t5",
                                    "\n5",
                                    "abc",
                                    "--5",
                                    "1e",
                                    "0x",
                                    "five",
                                    std::string_view("5\0", 2)};
  for (const std::string_view text : texts) EXPECT_FALSE(parseFloat32(text)) << text;
}

TEST(ParseDouble, SameSyntaxFullPrecision) {
  EXPECT_EQ(parseDouble("0.1"), 0.1);
  EXPECT_EQ(parseDouble("-0x1.8p1"), -3.0);
  EXPECT_TRUE(std::isnan(*parseDouble("nan")));
  EXPECT_FALSE(parseDouble(" 1"));
  EXPECT_FALSE(parseDouble("1 "));
  EXPECT_FALSE(parseDouble(""));
}

TEST(TruthWords, LowercasedExactWords) {
  for (const std::string_view yes : {"1", "true", "TRUE", "Yes", "On", "oN"})
    EXPECT_TRUE(isTruthWord(yes)) << yes;
  for (const std::string_view no :
       {"false", "off", "no", "0", "2", "enable", "", " on", "on ", "truee", "y"})
    EXPECT_FALSE(isTruthWord(no)) << no;
}

}  // namespace
}  // namespace camknob
