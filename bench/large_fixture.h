// The machine of 1,000 cameras with 100 controls each that the large-system
// benchmarks run over, as fixture text (16 MB).
#pragma once

#include <string>

namespace camknob::bench {

inline constexpr int cameraCount = 1000;
inline constexpr int controlsPerCamera = 100;

// Camera N's uid is CAM-NNNN; its first control is brightness.
std::string largeFixtureText();

}  // namespace camknob::bench
