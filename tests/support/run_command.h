// One run of the tool in-process: its exit status and what it printed.
#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "commands/dispatch.h"

namespace camknob::testing {

struct Outcome {
  int status;
  std::string output;
};

inline Outcome run(std::vector<std::string_view> texts) {
  std::ostringstream out;
  const int status = applyCommand(CommandLine{std::move(texts)}, out);
  return {status, out.str()};
}

}  // namespace camknob::testing
