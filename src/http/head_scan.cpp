#include "http/head_scan.h"

#include <algorithm>

#include "text/ascii_case.h"

namespace camknob::http {

namespace {

constexpr std::string_view lineEnd = "\r\n";
constexpr std::string_view blanks = " \t";

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return asciiLower(x) == asciiLower(y);
         });
}

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

HeadScan scanHead(std::string_view bytes) {
  for (std::size_t start = 0, line = 0;; ++line) {
    const std::size_t end = bytes.find(lineEnd, start);
    const std::size_t length = (end == std::string_view::npos ? bytes.size() : end + 2) - start;
    if (length > maxHeadLineBytes)
      return {line == 0 ? HeadState::TargetTooLong : HeadState::TooLarge, 0};
    if (end == std::string_view::npos) break;
    // A blank line ends the head; one before the request line is that line.
    if (end == start && line > 0) {
      if (end + 2 > maxHeadBytes) return {HeadState::TooLarge, 0};
      return {HeadState::Whole, end + 2};
    }
    start = end + 2;
  }
  return {bytes.size() > maxHeadBytes ? HeadState::TooLarge : HeadState::Partial, 0};
}

std::vector<std::string> headerValuesIn(std::string_view head, std::string_view name) {
  std::vector<std::string> values;
  std::size_t start = head.find(lineEnd);  // past the request line
  while (start != std::string_view::npos) {
    start += lineEnd.size();
    const std::size_t end = head.find(lineEnd, start);
    const std::string_view line =
        head.substr(start, end == std::string_view::npos ? head.npos : end - start);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && equalIgnoringCase(line.substr(0, colon), name))
      values.emplace_back(trimmed(line.substr(colon + 1)));
    start = end;
  }
  return values;
}

}  // namespace camknob::http
