// The JSON a step of the shared guest printed, with the checks every such
// step shares: its exit status and nothing on standard error.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "vm_plan.h"

namespace camknob::vmtests {

inline nlohmann::json parsedOutput(const char* stepName, const vm::StepResult& step,
                                   int exitStatus) {
  EXPECT_EQ(step.exitStatus, exitStatus) << stepName << ": " << step.out << step.err;
  EXPECT_EQ(step.err, "") << stepName;
  nlohmann::json parsed = nlohmann::json::parse(step.out, nullptr, false);
  EXPECT_FALSE(parsed.is_discarded()) << stepName << ": " << step.out;
  return parsed.is_discarded() ? nlohmann::json() : parsed;
}

// The document a step printed (a saved profile, say), which may span lines;
// null after a test failure.
inline nlohmann::json stepJson(const char* stepName, int exitStatus) {
  const vm::StepResult* step = stepResult(stepName);
  return step == nullptr ? nlohmann::json() : parsedOutput(stepName, *step, exitStatus);
}

// The one JSON line a camknob or camknob-profile step answered.
inline nlohmann::json stepAnswer(const char* stepName, int exitStatus) {
  const vm::StepResult* step = stepResult(stepName);
  if (step == nullptr) return nlohmann::json();
  EXPECT_EQ(step->out.find('\n'), step->out.size() - 1) << stepName << ": " << step->out;
  return parsedOutput(stepName, *step, exitStatus);
}

}  // namespace camknob::vmtests
