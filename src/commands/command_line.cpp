#include "commands/command_line.h"

#include <algorithm>

namespace camknob {

CommandLine commandLineFrom(int argc, const char* const* argv) {
  CommandLine line;
  if (argc > 1) line.texts.assign(argv + 1, argv + argc);
  return line;
}

std::string_view commandWord(const CommandLine& line) {
  return line.texts.empty() ? std::string_view("list") : line.texts.front();
}

std::optional<std::string_view> argument(const CommandLine& line, std::string_view name) {
  const auto found = std::find(line.texts.begin(), line.texts.end(), name);
  if (found == line.texts.end() || std::next(found) == line.texts.end()) return std::nullopt;
  return *std::next(found);
}

}  // namespace camknob
