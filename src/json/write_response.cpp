#include "json/write_response.h"

#include "json/json_text.h"

namespace camknob {

bool writeAnswerLine(std::optional<std::string> text, std::string_view fallback,
                     std::ostream& out) {
  if (!text) text = std::string(fallback);
  text->push_back('\n');
  out.write(text->data(), static_cast<std::streamsize>(text->size()));
  out.flush();
  return out.good();
}

void writeFallbackLine(std::string_view fallback, std::ostream& out) {
  out.write(fallback.data(), static_cast<std::streamsize>(fallback.size()));
  out.put('\n');
  out.flush();
}

bool writeResponse(const CameraResponse& response, std::ostream& out) {
  return writeAnswerLine(encodeResponse(response), fallbackResponseLine, out);
}

void writeFallbackResponse(std::ostream& out) {
  writeFallbackLine(fallbackResponseLine, out);
}

}  // namespace camknob
