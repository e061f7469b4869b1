#include "timed_log.h"

#include <charconv>
#include <cstdio>
#include <sstream>

namespace camknob::vmtests {

std::vector<TimedLine> timedLines(const std::string& text) {
  std::vector<TimedLine> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const auto space = line.find(' ');
    std::int64_t nanoseconds = 0;
    const char* end = line.data() + (space == std::string::npos ? line.size() : space);
    const auto [stop, error] = std::from_chars(line.data(), end, nanoseconds);
    if (space == std::string::npos || space == 0 || error != std::errc() || stop != end) continue;
    lines.push_back({nanoseconds, line.substr(space + 1)});
  }
  return lines;
}

std::optional<TimedLine> firstAt(const std::vector<TimedLine>& lines, std::int64_t from,
                                 std::string_view text) {
  for (const TimedLine& line : lines)
    if (line.nanoseconds >= from && line.text == text) return line;
  return std::nullopt;
}

std::string processingSet(unsigned selector, int value) {
  const auto bits = static_cast<std::uint16_t>(value);
  char line[64];
  std::snprintf(line, sizeof line, "SET_CUR unit=2 selector=0x%02x len=2 data=%02x %02x", selector,
                bits & 0xffu, bits >> 8);
  return line;
}

}  // namespace camknob::vmtests
