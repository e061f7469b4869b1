// Shared checks for the end-to-end tests: every run prints one JSON line on
// standard output and nothing on standard error.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "e2e/run_process.h"

namespace camknob::testing {

inline ProcessResult camknobSim(const std::vector<std::string>& arguments,
                                const std::optional<std::string>& fixturePath = std::nullopt) {
  return runProcess(CAMKNOB_SIM_PATH, arguments, fixturePath);
}

// The response of a run that must end with `exitStatus`, after checking that
// it printed exactly one line and nothing else.
inline nlohmann::json response(const ProcessResult& run, int exitStatus) {
  EXPECT_EQ(run.exitStatus, exitStatus) << run.out;
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << "not exactly one line: " << run.out;
  return nlohmann::json::parse(run.out, nullptr, false);
}

// The saved fixture's properties of one object (a device or a control).
inline nlohmann::json savedProperties(const std::string& fixturePath, unsigned objectId) {
  const auto document = nlohmann::json::parse(fileText(fixturePath));
  for (const auto& device : document["devices"]) {
    if (device["objectId"] == objectId) return device["properties"];
    for (const auto& control : device.value("controls", nlohmann::json::array()))
      if (control["objectId"] == objectId) return control["properties"];
  }
  ADD_FAILURE() << "object " << objectId << " is not in the saved fixture";
  return {};
}

inline nlohmann::json controlOf(const nlohmann::json& response, unsigned objectId) {
  for (const auto& device : response["devices"])
    for (const auto& control : device["controls"])
      if (control["objectId"] == objectId) return control;
  ADD_FAILURE() << "control " << objectId << " is not in the response";
  return {};
}

}  // namespace camknob::testing
