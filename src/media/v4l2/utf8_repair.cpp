#include "media/v4l2/utf8_repair.h"

#include "json/json_text.h"

namespace camknob::v4l2 {

namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";

}  // namespace

std::string repairedUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t length = utf8SequenceLength(bytes);
    if (length == 0) {
      text += replacement;
      bytes.remove_prefix(1);
    } else {
      text.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    }
  }
  return text;
}

}  // namespace camknob::v4l2
