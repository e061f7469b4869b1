#include "json/shortest_double.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace camknob {
namespace {

std::string shortest(double value) {
  char text[shortestDoubleCapacity];
  return std::string(text, writeShortestDouble(text, value));
}

std::string portable(double value) {
  char text[shortestDoubleCapacity];
  return std::string(text, writeShortestDoublePortable(text, value));
}

TEST(ShortestDouble, PinnedTexts) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0.0, "0"},
      {-0.0, "-0"},
      {255.0, "255"},
      {-10.0, "-10"},
      {0.5, "0.5"},
      {static_cast<double>(0.1f), "0.10000000149011612"},
      {static_cast<double>(0.45f), "0.44999998807907104"},
      {-static_cast<double>(0.45f), "-0.44999998807907104"},
      {0.0001, "0.0001"},
      {0.0003, "0.0003"},  // plain, though "3e-04" is one character shorter
      {0.000123, "0.000123"},
      {1234567.25, "1234567.25"},
      {4503599627370495.5, "4503599627370495.5"},
      {1e15, "1000000000000000"},
      {9007199254740991.0, "9007199254740991"},
      // From 2^53 up every double is whole: its exact digits, unless the
      // exponent form is shorter.
      {9007199254740992.0, "9007199254740992"},
      {-9007199254740992.0, "-9007199254740992"},
      {9007199254740994.0, "9007199254740994"},
      {36028797018963968.0, "36028797018963968"},
      {18446744073709551616.0, "18446744073709551616"},
      {123456789012345683968.0, "123456789012345683968"},
      {1e21, "1e+21"},
      {1e22, "1e+22"},
      {1e23, "1e+23"},
      {std::ldexp(1.0, 80), "1.2089258196146292e+24"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {1e-5, "1e-05"},
      {-2.5e-300, "-2.5e-300"},
      {std::numeric_limits<double>::min(), "2.2250738585072014e-308"},
      {std::numeric_limits<double>::denorm_min(), "5e-324"},
      // Powers of two whose nearest 16-digit decimal lies below them, where
      // the doubles are closer together, and reads back as another double.
      {std::ldexp(1.0, -24), "5.960464477539063e-08"},
      {std::ldexp(1.0, 89), "6.189700196426902e+26"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shortest(c.value), c.text);
    EXPECT_EQ(portable(c.value), c.text);
  }
}

#if !defined(__APPLE__)
// The rule in the terms of std::to_chars: everyday magnitudes in plain
// notation, every other one in whichever notation is shorter.
std::string reference(double value) {
  char text[400];
  const double magnitude = std::fabs(value);
  const auto result = magnitude >= 1e-4 && magnitude < 9007199254740992.0
                          ? std::to_chars(text, text + sizeof text, value, std::chars_format::fixed)
                          : std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

void expectBothAgree(const std::vector<double>& values) {
  int mismatches = 0;
  for (const double value : values) {
    const std::string expected = reference(value);
    const std::string fast = shortest(value), slow = portable(value);
    if (fast != expected || slow != expected) {
      ADD_FAILURE() << "to_chars " << expected << ", writer " << fast << ", portable " << slow;
      if (++mismatches == 10) return;
    }
  }
}

double doubleOfBits(std::uint64_t bits) {
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

TEST(ShortestDouble, AgreesWithToCharsAtPowersOfTwoAndTen) {
  std::vector<double> values;
  for (int exponent = -1074; exponent <= 1023; ++exponent) {
    const double power = std::ldexp(1.0, exponent);
    values.insert(values.end(),
                  {power, std::nextafter(power, 0.0), std::nextafter(power, 2 * power), -power});
  }
  for (int exponent = -323; exponent <= 308; ++exponent) {
    const double power = std::strtod(("1e" + std::to_string(exponent)).c_str(), nullptr);
    values.insert(values.end(), {power, std::nextafter(power, 0.0),
                                 std::nextafter(power, std::numeric_limits<double>::infinity())});
  }
  expectBothAgree(values);
}

TEST(ShortestDouble, AgreesWithToCharsOnRandomDoubles) {
  std::mt19937_64 random(20240607);
  std::vector<double> values;
  // Any finite double.
  while (values.size() < 100000) {
    const double value = doubleOfBits(random());
    if (std::isfinite(value)) values.push_back(value);
  }
  // Readings of a 32-bit float, as cameras give them.
  std::uniform_int_distribution<std::uint32_t> floatBits;
  while (values.size() < 150000) {
    const auto bits = floatBits(random);
    float reading = 0;
    std::memcpy(&reading, &bits, sizeof reading);
    if (std::isfinite(reading)) values.push_back(static_cast<double>(reading));
  }
  // Whole numbers from 2^53 to 1e23, where the two notations trade places.
  std::uniform_real_distribution<double> exponent(53.0, 76.5);
  for (int i = 0; i < 20000; ++i) values.push_back(std::round(std::exp2(exponent(random))));
  // Short decimals.
  for (int i = 1; i < 20000; ++i) values.push_back(i / 1000.0);
  expectBothAgree(values);
}

std::string shortestFloat(float value) {
  char text[shortestDoubleCapacity];
  return std::string(text, writeShortestFloat(text, value));
}

std::string portableFloat(float value) {
  char text[shortestDoubleCapacity];
  return std::string(text, writeShortestFloatPortable(text, value));
}

// Both float writers give one text, which the fixture loader's way of
// reading (a double, then the nearest float) takes back to the float.
TEST(ShortestFloat, BothWritersAgreeAndReadBack) {
  std::mt19937_64 random(20261210);
  std::vector<float> values{0.0333f,       0.0003f,         128.0f,      -12.5f, 1e-45f,
                            3.4028235e38f, 1.17549435e-38f, 16777217.0f, 0.1f,   1e10f};
  std::uniform_int_distribution<std::uint32_t> bits;
  while (values.size() < 200000) {
    const std::uint32_t word = bits(random);
    float value = 0;
    std::memcpy(&value, &word, sizeof value);
    if (std::isfinite(value)) values.push_back(value);
  }
  for (int i = -1000; i <= 1000; ++i) values.push_back(static_cast<float>(i) / 100.0f);
  int mismatches = 0;
  for (const float value : values) {
    const std::string text = shortestFloat(value);
    EXPECT_EQ(static_cast<float>(std::strtod(text.c_str(), nullptr)), value) << text;
    if (portableFloat(value) != text && ++mismatches <= 10)
      ADD_FAILURE() << value << ": " << text << " and " << portableFloat(value);
  }
  EXPECT_EQ(shortestFloat(0.0003f), "0.0003");
  EXPECT_EQ(shortestFloat(0.0333f), "0.0333");
  EXPECT_EQ(shortestFloat(1e10f), "10000000000");
}
#endif

}  // namespace
}  // namespace camknob
