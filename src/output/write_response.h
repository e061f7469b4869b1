#pragma once

#include <ostream>
#include <string_view>

#include "output/camera_records.h"

namespace camknob {

// Written in place of a response that cannot be encoded; its keys are
// deliberately in this order.
inline constexpr std::string_view fallbackResponseLine =
    R"({"ok":false,"devices":[],"error":"Failed to encode response"})";

// Prints the response as exactly one line, all at once, or the fallback line;
// false when the line could not be written and flushed whole (standard output
// closed or full), which nothing else reports.
bool writeResponse(const CameraResponse& response, std::ostream& out);

// Prints the fallback line alone, for a run that has no response to give.
void writeFallbackResponse(std::ostream& out);

}  // namespace camknob
