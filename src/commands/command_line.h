// The argument texts after the program path, and the option lookup over them.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace camknob {

struct CommandLine {
  std::vector<std::string_view> texts;  // argv[1..], program path left out
};

CommandLine commandLineFrom(int argc, const char* const* argv);

// The first text, whatever it is; "list" when there is none.
std::string_view commandWord(const CommandLine& line);

// The text right after the first occurrence of the option name; nothing when
// the name is absent or ends the line.
std::optional<std::string_view> argument(const CommandLine& line, std::string_view name);

}  // namespace camknob
