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

// Where the program's standard output goes: a pipe the test reads, the full
// device (every write fails), or nowhere (the descriptor is closed).
enum class Output { Pipe, Full, Closed };

// Runs the program with the arguments; CAMKNOB_SIM_FIXTURE is set to the
// fixture path when one is given and removed otherwise.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::optional<std::string>& fixturePath = std::nullopt,
                         Output output = Output::Pipe);

// runProcess with standard input read from the file.
ProcessResult runWithInput(const std::string& program, const std::vector<std::string>& arguments,
                           const std::optional<std::string>& fixturePath,
                           const std::string& inputPath);

// Starts every run at once, then waits for them all; results in that order.
std::vector<ProcessResult> runAtOnce(const std::string& program,
                                     const std::vector<std::vector<std::string>>& argumentLists,
                                     const std::optional<std::string>& fixturePath);

// A fixture file in a fresh temporary folder, removed with the folder when the
// test's process ends.
std::string fixtureFile(const std::string& text);

// The texts' pointers with a null after them, as exec and posix_spawn take
// argument and environment lists.
std::vector<char*> nullEndedPointers(std::vector<std::string>& texts);

std::string fileText(const std::string& path);

}  // namespace camknob::testing
