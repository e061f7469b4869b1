// A request's head as the connection front reads it (http/connection_front.h):
// whole once a blank line ends it (CRLF CRLF), and refused when a line or the
// whole grows past its limit before that. Pure functions of the bytes come so
// far.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace camknob::http {

// The request line and each header line, with its CRLF (the HTTP library's
// own limit per line).
inline constexpr std::size_t maxHeadLineBytes = 8 * 1024;
// The whole head, its blank line included.
inline constexpr std::size_t maxHeadBytes = 16 * 1024;

enum class HeadState {
  Partial,        // no blank line yet, every limit kept
  Whole,          // `length` bytes are the head
  TargetTooLong,  // the request line is over its limit (414)
  TooLarge,       // a header line or the whole is over its limit (431)
};

struct HeadScan {
  HeadState state;
  std::size_t length;  // of the head, when whole
};

HeadScan scanHead(std::string_view bytes);

// Every value of the header `name` (ASCII case aside) in a whole head, blanks
// around it trimmed, empty ones too (the HTTP library leaves those out).
std::vector<std::string> headerValuesIn(std::string_view head, std::string_view name);

}  // namespace camknob::http
