#include "runner/shared_libraries.h"

#include <sstream>

#include "runner/host_tools.h"
#include "runner/run_captured.h"

namespace camknob::vm {

std::vector<std::string> sharedLibraries(const std::string& program, std::string& error) {
  const auto ldd = findProgram("ldd");
  if (!ldd) {
    error = "no ldd";
    return {};
  }
  const RunOutcome listed = runCaptured({{*ldd, program}, {}, {}, {}, 60'000, {}});
  if (!listed.started) {
    error = listed.startError;
    return {};
  }
  if (listed.exitStatus != 0) {
    const std::string said = listed.out + listed.err;
    if (said.find("not a dynamic executable") != std::string::npos ||
        said.find("statically linked") != std::string::npos)
      return {};
    error = "ldd " + program + " failed: " + said.substr(0, said.find('\n'));
    return {};
  }
  // "\tlibc.so.6 => /lib/x86_64-linux-gnu/libc.so.6 (0x...)",
  // "\t/lib64/ld-linux-x86-64.so.2 (0x...)", "\tlinux-vdso.so.1 (0x...)".
  std::vector<std::string> libraries;
  std::istringstream lines(listed.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find("not found") != std::string::npos) {
      error = program + " needs a missing library:" + line;
      return {};
    }
    const auto arrow = line.find("=> ");
    const auto start = arrow != std::string::npos ? arrow + 3 : line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] != '/') continue;
    const auto end = line.find(" (", start);
    libraries.push_back(line.substr(start, end == std::string::npos ? end : end - start));
  }
  return libraries;
}

}  // namespace camknob::vm
