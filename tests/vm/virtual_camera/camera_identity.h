// Who the virtual camera says it is on the bus, and how its units are numbered.
#pragma once

#include <cstdint>
#include <string_view>

namespace camknob::virtual_camera {

// pid.codes' test vendor and product id: reserved for testing, never shipped.
inline constexpr std::uint16_t vendorId = 0x1209;
inline constexpr std::uint16_t productId = 0x0001;
inline constexpr std::uint16_t deviceRelease = 0x0100;

inline constexpr std::string_view manufacturerText = "camknob test";
inline constexpr std::string_view productText = "Virtual PTZ Camera";
inline constexpr std::string_view serialText = "CKVC-0001";

// String descriptor indexes.
inline constexpr std::uint8_t manufacturerIndex = 1;
inline constexpr std::uint8_t productIndex = 2;
inline constexpr std::uint8_t serialIndex = 3;

// Interfaces and the units of the VideoControl interface.
inline constexpr std::uint8_t controlInterface = 0;
inline constexpr std::uint8_t streamingInterface = 1;
inline constexpr std::uint8_t cameraTerminalId = 1;
inline constexpr std::uint8_t processingUnitId = 2;
inline constexpr std::uint8_t outputTerminalId = 3;
inline constexpr std::uint8_t streamingEndpoint = 0x81;

// The one video format: YUY2, 640x480 at 30 frames per second.
inline constexpr unsigned frameWidth = 640;
inline constexpr unsigned frameHeight = 480;
inline constexpr std::uint32_t frameInterval = 333333;  // 100 ns units
inline constexpr std::uint32_t frameBytes = frameWidth * frameHeight * 2;

}  // namespace camknob::virtual_camera
