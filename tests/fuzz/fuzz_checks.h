// What every fuzzed run must give, checked with a JSON parser independent of
// the tool's own writer: one line of valid JSON whose ok agrees with the exit
// status. A finding aborts with the reason on standard error.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "commands/dispatch.h"
#include "json/write_response.h"
#include "media/sim/sim_store.h"

namespace camknob::fuzzing {

[[noreturn]] inline void finding(const char* what, const std::string& detail) {
  std::fprintf(stderr, "fuzz finding: %s\n%.2000s\n", what, detail.c_str());
  std::abort();
}

// Every string reference handed out was released: true unless the service's
// store holds strings under selectors the tool reads as other shapes, where
// the reference goes out as plain bytes (as it would from a real service).
inline void checkAnswer(const std::string& output, int status, bool referencesReleased = true) {
  if (status != 0 && status != 1) finding("exit status neither 0 nor 1", output);
  if (output.empty() || output.back() != '\n') finding("output does not end a line", output);
  if (output.find('\n') != output.size() - 1) finding("more than one line", output);
  const auto answer = nlohmann::json::parse(output, nullptr, false);
  if (answer.is_discarded() || !answer.is_object()) finding("not a JSON object", output);
  if (!answer.contains("ok") || !answer["ok"].is_boolean()) finding("no ok", output);
  if (!answer.contains("devices") || !answer["devices"].is_array()) finding("no devices", output);
  // The fallback line (a device's text that is not UTF-8) keeps the status
  // of the command, which may have succeeded.
  const bool fallback = output == std::string(fallbackResponseLine) + "\n";
  if (!fallback && answer["ok"].get<bool>() != (status == 0))
    finding("ok disagrees with the status", output);
  if (!fallback && answer.contains("error") != (status != 0))
    finding("error and status disagree", output);
  if (referencesReleased && sim::liveStringCount() != 0)
    finding("a string reference was not released", output);
}

// Runs one command line over the service's current system and checks it.
inline std::string runChecked(const CommandLine& line, bool referencesReleased = true) {
  std::ostringstream out;
  const int status = applyCommand(line, out);
  checkAnswer(out.str(), status, referencesReleased);
  return out.str();
}

}  // namespace camknob::fuzzing
