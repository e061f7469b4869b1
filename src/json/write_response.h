#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "records/camera_records.h"

namespace camknob {

// Written in place of a response that cannot be encoded; its keys are
// deliberately in this order.
inline constexpr std::string_view fallbackResponseLine =
    R"({"ok":false,"devices":[],"error":"Failed to encode response"})";

// Prints the text as exactly one line, all at once, or the fallback line when
// there is no text; false when the line could not be written and flushed
// whole. Every program of the tool answers through it.
bool writeAnswerLine(std::optional<std::string> text, std::string_view fallback, std::ostream& out);

// Prints the fallback line alone, needing no memory, for a run that has no
// answer to give (memory ran out, say).
void writeFallbackLine(std::string_view fallback, std::ostream& out);

// Prints the response as exactly one line, all at once, or the fallback line;
// false when the line could not be written and flushed whole (standard output
// closed or full), which nothing else reports.
bool writeResponse(const CameraResponse& response, std::ostream& out);

// Prints the fallback line alone, for a run that has no response to give.
void writeFallbackResponse(std::ostream& out);

}  // namespace camknob
