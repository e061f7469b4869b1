// The text a response gives a number: the shortest decimal that reads back as
// the same double. Whole values have no decimal point; everyday magnitudes
// (1e-4 up to 2^53) are always plain, and beyond them an exponent is used only
// where it is shorter than the plain form ("1e+22", "1e-05", but
// "9007199254740992").
#pragma once

#include <cstddef>

namespace camknob {

// Room the text of any finite double needs.
inline constexpr std::size_t shortestDoubleCapacity = 32;

// Writes the text of a finite value at `out`, which has room for
// shortestDoubleCapacity characters, and returns the end of the text.
char* writeShortestDouble(char* out, double value);

// The same text made with the C library's printf and strtod alone, for
// platforms whose std::to_chars has no floating point (macOS before 13.3).
// Built everywhere, so that it is tested against std::to_chars.
char* writeShortestDoublePortable(char* out, double value);

// The text of a finite float: the shortest decimal that gives the float back
// when read as a double and rounded to a float (as fixtures are read),
// written as writeShortestDouble writes the double it reads as; the exact
// double of the float where no shorter decimal reads back so.
char* writeShortestFloat(char* out, float value);

// The same with printf and strtod alone, for C++ libraries without
// floating-point from_chars (libc++, Apple's among them); built everywhere,
// so that it is tested against the other.
char* writeShortestFloatPortable(char* out, float value);

}  // namespace camknob
