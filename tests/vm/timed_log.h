// The virtual camera's timed log (vm::guestCameraTimedLog) as a step printed
// it: each line's CLOCK_MONOTONIC time and its text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace camknob::vmtests {

struct TimedLine {
  std::int64_t nanoseconds;
  std::string text;  // "SET_CUR unit=2 selector=0x02 len=2 data=19 00", "RESET"
};

// The lines that have a time; others (a step's own output) are left out.
std::vector<TimedLine> timedLines(const std::string& text);

// The first line at or after `from` whose text is `text`.
std::optional<TimedLine> firstAt(const std::vector<TimedLine>& lines, std::int64_t from,
                                 std::string_view text);

// The two bytes of a 16-bit SET_CUR of the processing unit's selector, as
// the log gives them: "SET_CUR unit=2 selector=0x02 len=2 data=19 00".
std::string processingSet(unsigned selector, int value);

}  // namespace camknob::vmtests
