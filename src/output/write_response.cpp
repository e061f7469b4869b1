#include "output/write_response.h"

#include "output/json_text.h"

namespace camknob {

bool writeResponse(const CameraResponse& response, std::ostream& out) {
  std::optional<std::string> text = encodeResponse(response);
  if (!text) text = std::string(fallbackResponseLine);
  text->push_back('\n');
  out.write(text->data(), static_cast<std::streamsize>(text->size()));
  out.flush();
  return out.good();
}

void writeFallbackResponse(std::ostream& out) {
  out.write(fallbackResponseLine.data(), static_cast<std::streamsize>(fallbackResponseLine.size()));
  out.put('\n');
  out.flush();
}

}  // namespace camknob
