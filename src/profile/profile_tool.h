// camknob-profile: saving a camera's settable state to a profile, and
// applying a profile back to the camera.
#pragma once

#include <optional>
#include <ostream>
#include <string_view>

#include "commands/command_line.h"

namespace camknob {

struct ProfileCommandLine {
  std::string_view command;  // empty when there is none
  std::optional<std::string_view> device;
  std::optional<std::string_view> file;  // absent or "-": the standard stream
  bool wellFormed;  // no unknown option, no option without its value, one file at most
};

ProfileCommandLine profileCommandLine(const CommandLine& line);

// One run: the answer on `out` (for save without a file, the profile
// itself), and its exit status: 0 done, 1 failed, 2 the profile could not be
// read (then one line on `err` and nothing else).
int runProfileTool(const CommandLine& line, std::ostream& out, std::ostream& err) noexcept;

}  // namespace camknob
