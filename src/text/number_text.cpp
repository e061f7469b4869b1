#include "text/number_text.h"

#include <array>
#include <cstdlib>
#include <string>

#include "text/ascii_case.h"

namespace camknob {

namespace {

bool startsWithSpace(std::string_view text) {
  constexpr std::string_view space = " \t\n\v\f\r";
  return !text.empty() && space.find(text.front()) != std::string_view::npos;
}

// strtof and strtod follow the C locale here: the tool never changes its locale.
template <typename Number, Number (*convert)(const char*, char**)>
std::optional<Number> parseWhole(std::string_view text) {
  if (text.empty() || startsWithSpace(text)) return std::nullopt;
  const std::string terminated(text);  // the conversion needs a terminating NUL
  char* end = nullptr;
  const Number value = convert(terminated.c_str(), &end);
  if (end != terminated.c_str() + terminated.size()) return std::nullopt;
  return value;
}

float toFloat(const char* text, char** end) {
  return std::strtof(text, end);
}
double toDouble(const char* text, char** end) {
  return std::strtod(text, end);
}

}  // namespace

std::optional<float> parseFloat32(std::string_view text) {
  return parseWhole<float, toFloat>(text);
}

std::optional<double> parseDouble(std::string_view text) {
  return parseWhole<double, toDouble>(text);
}

bool isTruthWord(std::string_view text) {
  constexpr std::array<std::string_view, 4> truthWords{"1", "true", "yes", "on"};
  if (text.size() > 4) return false;
  const std::string lowered = asciiLowered(text);
  for (const std::string_view word : truthWords)
    if (lowered == word) return true;
  return false;
}

}  // namespace camknob
