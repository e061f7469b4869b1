#include "commands/device_selection.h"

#include "text/ascii_case.h"

#include <algorithm>
#include <string>
#include <vector>

namespace camknob {

const std::string_view deviceNotFound = "Camera device was not found.";

namespace {

// Knuth-Morris-Pratt over folded letters: linear in the two lengths, so a
// long --device text against a long name costs no more than reading both.
bool containsIgnoringCase(std::string_view text, std::string_view wanted) {
  if (wanted.empty() || wanted.size() > text.size()) return false;
  std::string pattern(wanted.size(), '\0');
  std::transform(wanted.begin(), wanted.end(), pattern.begin(), asciiLower);
  // border[i]: the length of the longest proper prefix of pattern[0..i] that
  // is also its suffix.
  std::vector<std::size_t> border(pattern.size(), 0);
  for (std::size_t i = 1, length = 0; i < pattern.size(); ++i) {
    while (length > 0 && pattern[i] != pattern[length]) length = border[length - 1];
    if (pattern[i] == pattern[length]) ++length;
    border[i] = length;
  }
  std::size_t matched = 0;
  for (const char c : text) {
    const char folded = asciiLower(c);
    while (matched > 0 && folded != pattern[matched]) matched = border[matched - 1];
    if (folded == pattern[matched]) ++matched;
    if (matched == pattern.size()) return true;
  }
  return false;
}

}  // namespace

const CameraDevice* deviceMatching(const std::vector<CameraDevice>& devices,
                                   std::string_view wanted) {
  for (const CameraDevice& device : devices) {
    if (device.uid == wanted || equalIgnoringCase(device.name, wanted) ||
        containsIgnoringCase(device.name, wanted))
      return &device;
  }
  return nullptr;
}

const CameraDevice* selectedDevice(const std::vector<CameraDevice>& devices,
                                   std::optional<std::string_view> wanted) {
  if (!wanted) return devices.empty() ? nullptr : &devices.front();
  return deviceMatching(devices, *wanted);
}

const CameraDevice* selectedDevice(const std::vector<CameraDevice>& devices,
                                   const CommandRequest& request) {
  return selectedDevice(
      devices, request.device ? std::optional<std::string_view>(*request.device) : std::nullopt);
}

const CameraControl* controlOfKind(const CameraDevice& device, std::string_view kind) {
  for (const CameraControl& control : device.controls)
    if (control.kind == kind) return &control;
  return nullptr;
}

}  // namespace camknob
