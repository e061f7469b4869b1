// camknob's and camknob-profile's answers on the real drivers, held against
// the JSON Schemas by the same validator as the end-to-end runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "vm_plan.h"

namespace camknob::vmtests {
namespace {

TEST(VmOutputs, MatchTheJsonSchemas) {
  if (std::string_view(CAMKNOB_PYTHON3).empty())
    GTEST_SKIP() << "no python3 with the jsonschema module";
  const vm::Guest guest = vmGuest();
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("camknob-vm-record-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream records(folder / "vm.jsonl");
  int recorded = 0;
  for (const vm::Step& step : guest.steps) {
    const std::string& program = step.argv.front();
    if (program != "camknob" && program != "camknob-profile") continue;
    const vm::StepResult* result = stepResult(step.name);
    if (result == nullptr || result->exitStatus < 0) continue;
    const nlohmann::json record{
        {"program", program},
        {"arguments", std::vector<std::string>(step.argv.begin() + 1, step.argv.end())},
        {"exitStatus", result->exitStatus},
        {"stdout", result->out}};
    records << record.dump() << '\n';
    ++recorded;
  }
  records.close();
  EXPECT_GT(recorded, 10);

  const std::filesystem::path log = folder / "validator.log";
  const std::string command = std::string(CAMKNOB_PYTHON3) + " " + CAMKNOB_SCHEMA_VALIDATOR +
                              " --schemas " + CAMKNOB_SCHEMA_DIR + " " + folder.string() + " > " +
                              log.string() + " 2>&1";
  const int status = std::system(command.c_str());
  std::ostringstream said;
  said << std::ifstream(log).rdbuf();
  EXPECT_EQ(status, 0) << said.str();
  EXPECT_NE(said.str().find("schema: " + std::to_string(recorded) + " outputs valid"),
            std::string::npos)
      << said.str();
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace camknob::vmtests
