// Running a built executable the way a script does, with its own fixture.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace camknob::testing {

struct ProcessResult {
  int exitStatus;  // -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// Runs the program with the arguments; CAMKNOB_SIM_FIXTURE is set to the
// fixture path when one is given and removed otherwise.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::optional<std::string>& fixturePath = std::nullopt);

// A fixture file in a fresh temporary folder, removed with the folder when the
// test's process ends.
std::string fixtureFile(const std::string& text);

std::string fileText(const std::string& path);

}  // namespace camknob::testing
