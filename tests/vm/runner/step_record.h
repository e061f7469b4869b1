// The result of one guest step, and the text record in which the guest's step
// runner sends it to the host over the second serial port.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace camknob::vm {

struct StepResult {
  std::string name;
  int exitStatus;  // -1 when ended by a signal or never started
  int signal;      // 0 when it exited
  bool timedOut;   // killed at the step's time limit
  std::int64_t wallNanoseconds;
  std::string out;
  std::string err;
};

// A step name is 1 to 64 characters of A-Z, a-z, 0-9, '.', '_' and '-'.
bool isStepName(std::string_view name);

// The record: a header line with the name, exit status, signal, time-out flag,
// wall time and both byte counts; the output and error output as base64 in
// lines of at most 76 characters; an end line naming the step again.
std::string encodeStepRecord(const StepResult& result);

// Every complete, consistent record in the text, in order. A record cut short
// (the guest stopped while sending it) or whose decoded sizes disagree with
// its header is left out. Carriage returns are ignored.
std::vector<StepResult> parseStepRecords(std::string_view text);

}  // namespace camknob::vm
