#include "ioctl_count.h"

#include <charconv>
#include <sstream>

namespace camknob::vmtests {

namespace {

template <typename Number>
bool parsed(std::string_view text, Number& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// "1700000000.123456" as microseconds.
bool timeOf(std::string_view text, std::int64_t& microseconds) {
  const auto dot = text.find('.');
  std::int64_t seconds = 0, fraction = 0;
  if (dot == std::string_view::npos || text.size() - dot - 1 != 6) return false;
  if (!parsed(text.substr(0, dot), seconds) || !parsed(text.substr(dot + 1), fraction))
    return false;
  microseconds = seconds * 1'000'000 + fraction;
  return true;
}

}  // namespace

int ioctlsOn(const std::string& trace, const std::string& node) {
  std::istringstream lines(trace);
  std::string descriptor;
  int count = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("openat(", 0) == 0 && line.find("\"" + node + "\"") != std::string::npos)
      descriptor = line.substr(line.rfind("= ") + 2);
    else if (!descriptor.empty() && line.rfind("ioctl(" + descriptor + ",", 0) == 0)
      ++count;
  }
  return count;
}

std::vector<TracedIoctl> tracedIoctls(const std::string& trace) {
  std::vector<TracedIoctl> found;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    const auto call = line.find("ioctl(");
    if (call == std::string::npos) continue;
    const std::string_view before = std::string_view(line).substr(0, call);
    const auto last = before.find_last_not_of(' ');
    if (last == std::string_view::npos) continue;
    const auto first = before.find_last_of(" ]", last);
    const std::string_view stamp =
        before.substr(first == std::string_view::npos ? 0 : first + 1,
                      last - (first == std::string_view::npos ? 0 : first + 1) + 1);
    const std::string_view arguments = std::string_view(line).substr(call + 6);
    const auto comma = arguments.find(',');
    TracedIoctl ioctl{0, 0, {}};
    if (comma == std::string_view::npos || !timeOf(stamp, ioctl.microseconds) ||
        !parsed(arguments.substr(0, comma), ioctl.fd))
      continue;
    const std::string_view rest = arguments.substr(comma + 1);
    const auto start = rest.find_first_not_of(' ');
    const auto end = rest.find_first_of(",) ", start);
    if (start == std::string_view::npos) continue;
    ioctl.request =
        std::string(rest.substr(start, end == std::string_view::npos ? end : end - start));
    found.push_back(std::move(ioctl));
  }
  return found;
}

}  // namespace camknob::vmtests
