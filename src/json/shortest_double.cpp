#include "json/shortest_double.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace camknob {

namespace {

constexpr double twoTo53 = 9007199254740992.0;
constexpr double twoTo64 = 18446744073709551616.0;

bool everyday(double magnitude) {
  return magnitude >= 1e-4 && magnitude < twoTo53;
}

bool wholeBelow2To53(double magnitude) {
  return magnitude < twoTo53 && magnitude == std::trunc(magnitude);
}

char* writeWhole(char* out, std::uint64_t whole) {
  return std::to_chars(out, out + 20, whole).ptr;
}

char* writeSign(char* out, double value) {
  if (std::signbit(value)) *out++ = '-';
  return out;
}

char* copy(char* out, const char* from, const char* to) {
  std::memcpy(out, from, static_cast<std::size_t>(to - from));
  return out + (to - from);
}

// A positive decimal d1.d2d3... x 10^exponent: its digits, without the point.
struct Decimal {
  char digits[17];
  int count;
  int exponent;
};

// printf's "%e" text, correctly rounded to `count` significant digits, as a
// decimal of exactly that many digits. (printf and strtod work in the "C"
// locale, which the tool never changes.)
Decimal printedDecimal(double magnitude, int count) {
  char text[40];
  std::snprintf(text, sizeof text, "%.*e", count - 1, magnitude);
  Decimal decimal{{}, 0, 0};
  const char* at = text;
  for (; *at != 'e'; ++at)
    if (*at != '.') decimal.digits[decimal.count++] = *at;
  decimal.exponent = static_cast<int>(std::strtol(at + 1, nullptr, 10));
  return decimal;
}

Decimal withoutTrailingZeros(Decimal decimal) {
  while (decimal.count > 1 && decimal.digits[decimal.count - 1] == '0') --decimal.count;
  return decimal;
}

// The next decimal up with as many digits.
Decimal nextUp(Decimal decimal) {
  int at = decimal.count - 1;
  while (at >= 0 && decimal.digits[at] == '9') decimal.digits[at--] = '0';
  if (at >= 0) {
    ++decimal.digits[at];
  } else {
    decimal.digits[0] = '1';
    ++decimal.exponent;
  }
  return decimal;
}

// The magnitude correctly rounded to `count` digits. Rounding its 17 digits
// once more gives the same, except where they end in exactly 5000...: then
// the digits beyond the 17th decide, and printf is asked again.
Decimal nearestDecimal(double magnitude, const Decimal& seventeen, int count) {
  if (count >= seventeen.count) return seventeen;
  const char* rest = seventeen.digits + count;
  const char* const end = seventeen.digits + seventeen.count;
  if (*rest == '5' && std::all_of(rest + 1, end, [](char digit) { return digit == '0'; }))
    return printedDecimal(magnitude, count);
  Decimal decimal = seventeen;
  decimal.count = count;
  return *rest >= '5' ? nextUp(decimal) : decimal;
}

// The exponent form as printf writes it, the exponent with a sign and at
// least two digits.
char* writeScientific(char* out, const Decimal& decimal) {
  *out++ = decimal.digits[0];
  if (decimal.count > 1) {
    *out++ = '.';
    out = copy(out, decimal.digits + 1, decimal.digits + decimal.count);
  }
  *out++ = 'e';
  *out++ = decimal.exponent < 0 ? '-' : '+';
  const auto exponent = static_cast<unsigned>(std::abs(decimal.exponent));
  if (exponent < 10) *out++ = '0';
  return writeWhole(out, exponent);
}

char* writePlain(char* out, const Decimal& decimal) {
  if (decimal.exponent < 0) {
    *out++ = '0';
    *out++ = '.';
    for (int zero = 1; zero < -decimal.exponent; ++zero) *out++ = '0';
    return copy(out, decimal.digits, decimal.digits + decimal.count);
  }
  for (int at = 0; at <= decimal.exponent; ++at)
    *out++ = at < decimal.count ? decimal.digits[at] : '0';
  if (decimal.count <= decimal.exponent + 1) return out;
  *out++ = '.';
  return copy(out, decimal.digits + decimal.exponent + 1, decimal.digits + decimal.count);
}

double readBack(const Decimal& decimal) {
  char text[shortestDoubleCapacity];
  *writeScientific(text, decimal) = '\0';
  return std::strtod(text, nullptr);
}

// The decimal of `count` digits that reads back as the magnitude, if any. The
// nearest is the one to take; only at a power of two, where the doubles below
// lie closer than those above, can the one above read back when the nearest,
// below, does not.
bool roundTrip(double magnitude, const Decimal& seventeen, int count, Decimal& found) {
  const Decimal nearest = nearestDecimal(magnitude, seventeen, count);
  const double back = readBack(nearest);
  if (back == magnitude) {
    found = withoutTrailingZeros(nearest);
    return true;
  }
  int binaryExponent = 0;
  if (back > magnitude || std::frexp(magnitude, &binaryExponent) != 0.5) return false;
  const Decimal above = nextUp(nearest);
  if (readBack(above) != magnitude) return false;
  found = withoutTrailingZeros(above);
  return true;
}

// The fewest significant digits that read back, by binary search: whenever a
// decimal of n digits reads back, one of n + 1 digits does. The 17 digits
// always do, and so do they without their trailing zeros. A 32-bit float
// reading mostly needs 16 or 17, so 16 is tried first.
Decimal shortestDecimal(double magnitude) {
  const Decimal seventeen = printedDecimal(magnitude, 17);
  Decimal shortest = withoutTrailingZeros(seventeen);
  int low = 1, high = shortest.count;
  if (high == 17) {
    if (!roundTrip(magnitude, seventeen, 16, shortest)) return shortest;
    high = 16;
  }
  while (low < high) {
    const int middle = (low + high) / 2;
    if (roundTrip(magnitude, seventeen, middle, shortest)) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return shortest;
}

// The exact digits of a whole number from 2^53 up, or null when there are
// more of them than any exponent form has characters (from 1e23 up).
char* writeLargeWhole(char* out, double magnitude) {
  if (magnitude < twoTo64) return writeWhole(out, static_cast<std::uint64_t>(magnitude));
  if (magnitude >= 1e23) return nullptr;
  char text[40];
  const int length = std::snprintf(text, sizeof text, "%.0f", magnitude);
  return copy(out, text, text + length);
}

}  // namespace

char* writeShortestDoublePortable(char* out, double value) {
  out = writeSign(out, value);
  const double magnitude = std::fabs(value);
  if (wholeBelow2To53(magnitude)) return writeWhole(out, static_cast<std::uint64_t>(magnitude));
  const Decimal decimal = shortestDecimal(magnitude);
  if (everyday(magnitude)) return writePlain(out, decimal);

  char scientific[shortestDoubleCapacity];
  const char* scientificEnd = writeScientific(scientific, decimal);
  // Below 1e-4 the plain form, with its leading zeros, is always the longer.
  if (magnitude >= twoTo53) {
    char plain[shortestDoubleCapacity];
    const char* plainEnd = writeLargeWhole(plain, magnitude);
    if (plainEnd != nullptr && plainEnd - plain <= scientificEnd - scientific)
      return copy(out, plain, plainEnd);
  }
  return copy(out, scientific, scientificEnd);
}

char* writeShortestDouble(char* out, double value) {
#if defined(__APPLE__)
  return writeShortestDoublePortable(out, value);
#else
  const double magnitude = std::fabs(value);
  if (wholeBelow2To53(magnitude))
    return writeWhole(writeSign(out, value), static_cast<std::uint64_t>(magnitude));
  // Without a format, std::to_chars takes the shorter of the plain and the
  // exponent form, the plain one on a tie, and writes whole numbers exactly.
  char* const end = out + shortestDoubleCapacity;
  return everyday(magnitude) ? std::to_chars(out, end, value, std::chars_format::fixed).ptr
                             : std::to_chars(out, end, value).ptr;
#endif
}

char* writeShortestFloatPortable(char* out, float value) {
  // Nine significant digits always give a float back.
  for (int digits = 1; digits <= 9; ++digits) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*e", digits - 1, static_cast<double>(value));
    const double read = std::strtod(text, nullptr);
    if (static_cast<float>(read) == value) return writeShortestDouble(out, read);
  }
  return writeShortestDouble(out, static_cast<double>(value));
}

char* writeShortestFloat(char* out, float value) {
#if defined(__APPLE__) || defined(_LIBCPP_VERSION)
  return writeShortestFloatPortable(out, value);
#else
  char text[32];
  // The digits alone: in scientific form no whole number is written out
  // digit for digit.
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
  double read = 0;
  if (error == std::errc()) std::from_chars(text, end, read);
  const bool readsBack = error == std::errc() && static_cast<float>(read) == value;
  return writeShortestDouble(out, readsBack ? read : static_cast<double>(value));
#endif
}

}  // namespace camknob
