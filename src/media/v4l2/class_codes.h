// The class code each V4L2 control is listed under: the tool's kind table
// where it has the control, a code of the tool's own for every other
// standard control, and the control id itself for a driver's private one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace camknob::v4l2 {

struct StandardControl {
  std::uint32_t id;
  std::string_view code;  // four characters
  std::string_view what;  // what the control is, for the documentation
};

// Every standard control the tool names, in control id order.
std::span<const StandardControl> standardControls();

// The class code of a control listed on its own (pairs and automatic
// partners are placed by the control model).
std::uint32_t classCodeOf(std::uint32_t id);

}  // namespace camknob::v4l2
