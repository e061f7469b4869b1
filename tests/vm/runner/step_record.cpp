#include "runner/step_record.h"

#include <charconv>
#include <optional>

namespace camknob::vm {

namespace {

constexpr std::string_view beginTag = "==camknob-step ";
constexpr std::string_view endTag = "==camknob-step-end ";
constexpr std::string_view alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t lineLength = 76;

std::string base64(std::string_view bytes) {
  std::string text;
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned group = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) text += alphabet[(group >> shift) & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    text += alphabet[(group >> 18) & 63];
    text += alphabet[(group >> 12) & 63];
    text += rest == 2 ? alphabet[(group >> 6) & 63] : '=';
    text += '=';
  }
  return text;
}

std::optional<std::string> unbase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    unsigned group = 0;
    int padding = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      const char c = text[i + j];
      unsigned value = 0;
      if (c == '=' && j >= 2 && i + 4 == text.size()) {
        ++padding;
      } else {
        const auto at = alphabet.find(c);
        if (at == std::string_view::npos || padding > 0) return std::nullopt;
        value = static_cast<unsigned>(at);
      }
      group = group << 6 | value;
    }
    bytes += static_cast<char>(group >> 16 & 0xff);
    if (padding < 2) bytes += static_cast<char>(group >> 8 & 0xff);
    if (padding < 1) bytes += static_cast<char>(group & 0xff);
  }
  return bytes;
}

void appendLines(std::string& record, std::string_view label, std::string_view bytes) {
  const std::string text = base64(bytes);
  for (std::size_t i = 0; i < text.size(); i += lineLength) {
    record += label;
    record += ' ';
    record += text.substr(i, lineLength);
    record += '\n';
  }
}

// The value of "key=" among the header's space-separated fields.
std::optional<std::string_view> field(std::string_view header, std::string_view key) {
  std::size_t at = 0;
  while (at < header.size()) {
    std::size_t end = header.find(' ', at);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view item = header.substr(at, end - at);
    if (item.size() > key.size() && item.substr(0, key.size()) == key && item[key.size()] == '=')
      return item.substr(key.size() + 1);
    at = end + 1;
  }
  return std::nullopt;
}

template <typename Number>
std::optional<Number> number(std::string_view header, std::string_view key) {
  const auto text = field(header, key);
  if (!text) return std::nullopt;
  Number value{};
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (error != std::errc() || end != text->data() + text->size()) return std::nullopt;
  return value;
}

// A header line decoded into a result without its output yet, and the two
// byte counts the output must come to.
struct Header {
  StepResult result;
  std::size_t outBytes;
  std::size_t errBytes;
};

std::optional<Header> parseHeader(std::string_view line) {
  const std::string_view header = line.substr(beginTag.size());
  const auto name = field(header, "name");
  const auto exitStatus = number<int>(header, "exit");
  const auto signal = number<int>(header, "signal");
  const auto timedOut = number<int>(header, "timed_out");
  const auto wall = number<std::int64_t>(header, "wall_ns");
  const auto outBytes = number<std::size_t>(header, "out");
  const auto errBytes = number<std::size_t>(header, "err");
  if (!name || !isStepName(*name) || !exitStatus || !signal || !timedOut || !wall || !outBytes ||
      !errBytes)
    return std::nullopt;
  return Header{StepResult{std::string(*name), *exitStatus, *signal, *timedOut != 0, *wall, {}, {}},
                *outBytes, *errBytes};
}

}  // namespace

bool isStepName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (const char c : name) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '_' || c == '-';
    if (!plain) return false;
  }
  return true;
}

std::string encodeStepRecord(const StepResult& result) {
  std::string record(beginTag);
  record += "name=" + result.name + " exit=" + std::to_string(result.exitStatus) +
            " signal=" + std::to_string(result.signal) +
            " timed_out=" + (result.timedOut ? "1" : "0") +
            " wall_ns=" + std::to_string(result.wallNanoseconds) +
            " out=" + std::to_string(result.out.size()) +
            " err=" + std::to_string(result.err.size()) + '\n';
  appendLines(record, "out", result.out);
  appendLines(record, "err", result.err);
  record += std::string(endTag) + "name=" + result.name + '\n';
  return record;
}

std::vector<StepResult> parseStepRecords(std::string_view text) {
  std::vector<StepResult> results;
  std::optional<Header> open;
  std::string outText, errText;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    const bool complete = end != std::string_view::npos;
    if (!complete) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!complete) break;  // a last line without its line feed is cut short

    if (line.substr(0, beginTag.size()) == beginTag) {
      open = parseHeader(line);
      outText.clear();
      errText.clear();
    } else if (!open) {
      continue;
    } else if (line.substr(0, 4) == "out ") {
      outText += line.substr(4);
    } else if (line.substr(0, 4) == "err ") {
      errText += line.substr(4);
    } else if (line.substr(0, endTag.size()) == endTag) {
      const auto out = unbase64(outText);
      const auto err = unbase64(errText);
      if (field(line.substr(endTag.size()), "name") == open->result.name && out && err &&
          out->size() == open->outBytes && err->size() == open->errBytes) {
        open->result.out = *out;
        open->result.err = *err;
        results.push_back(std::move(open->result));
      }
      open.reset();
    } else {
      open.reset();  // a foreign line inside a record spoils it
    }
  }
  return results;
}

}  // namespace camknob::vm
