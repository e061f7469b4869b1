#include "ioctl_count.h"

#include <sstream>

namespace camknob::vmtests {

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

}  // namespace camknob::vmtests
