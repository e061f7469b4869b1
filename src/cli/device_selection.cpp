#include "cli/device_selection.h"

#include <algorithm>

namespace camknob {

namespace {

// Case is folded for ASCII letters only, so the outcome never depends on the
// user's locale.
char foldedCase(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return foldedCase(x) == foldedCase(y); });
}

bool containsIgnoringCase(std::string_view text, std::string_view wanted) {
  if (wanted.empty()) return false;
  const auto found = std::search(text.begin(), text.end(), wanted.begin(), wanted.end(),
                                 [](char x, char y) { return foldedCase(x) == foldedCase(y); });
  return found != text.end();
}

}  // namespace

const CameraDevice* selectedDevice(const std::vector<CameraDevice>& devices,
                                   const CommandLine& line) {
  const auto wanted = argument(line, "--device");
  if (!wanted) return devices.empty() ? nullptr : &devices.front();
  for (const CameraDevice& device : devices) {
    if (device.uid == *wanted || equalIgnoringCase(device.name, *wanted) ||
        containsIgnoringCase(device.name, *wanted))
      return &device;
  }
  return nullptr;
}

const CameraControl* controlOfKind(const CameraDevice& device, std::string_view kind) {
  for (const CameraControl& control : device.controls)
    if (control.kind == kind) return &control;
  return nullptr;
}

}  // namespace camknob
