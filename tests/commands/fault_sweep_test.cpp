// Every command over a realistic simulated system, once for every way each
// service call of the run can go wrong: whatever the device answers, the
// run ends with one line of valid JSON, nothing on standard error, the exit
// status the rules give and no write beyond the command's own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "commands/dispatch.h"
#include "media/fourcc_and_status_text.h"
#include "media/sim/sim_fixture.h"

namespace camknob {
namespace {

// Two cameras: the first with every shape of control (native and absolute
// values, automatic modes, on/off switches, pan/tilt native data, a class the
// tool has no name for), the second refusing changes to its contrast.
constexpr std::string_view system = R"({"devices": [
  {"objectId": 33, "properties": {"uid ": "PTZ-1", "lnam": "PTZ Camera", "lmak": "Acme"},
   "controls": [
     {"objectId": 41, "properties": {"clas": "brit", "lnam": "Brightness", "fcnv": 128,
                                     "fcnr": [0, 255]}, "settable": ["fcnv"]},
     {"objectId": 42, "properties": {"clas": "xpsr", "lnam": "Exposure", "fcav": 0.03,
                                     "fcar": [0.001, 0.2], "fcnv": 300, "fcnr": [1, 2000],
                                     "fcam": 1}, "settable": ["fcav", "fcnv", "fcam"]},
     {"objectId": 43, "properties": {"clas": "fcus", "lnam": "Focus", "fcnv": 0, "fcnr": [0, 255],
                                     "fcam": 1}, "settable": ["fcnv", "fcam"]},
     {"objectId": 44, "properties": {"clas": "ptab", "lnam": "Pan/Tilt Absolute", "fcoo": 1,
                                     "fcnd": [0, 0, 0, 0, 0, 0, 0, 0],
                                     "fcdr": [240, 8, 248, 255, 96, 14, 251, 255]},
      "settable": ["fcnd", "fcoo"]},
     {"objectId": 45, "properties": {"clas": "ptrl", "lnam": "Pan/Tilt Relative", "fcoo": 0,
                                     "fcnd": [0, 0, 0, 0]}, "settable": ["fcnd", "fcoo"]},
     {"objectId": 46, "properties": {"clas": "xyz!", "fcnv": 1}}]},
  {"objectId": 60, "properties": {"uid ": "WEB-2", "lnam": "Webcam"},
   "controls": [
     {"objectId": 61, "properties": {"clas": "brit", "lnam": "Brightness", "fcnv": 0,
                                     "fcnr": [-64, 64]}, "settable": ["fcnv"]},
     {"objectId": 62, "properties": {"clas": "ctst", "fcnv": 32}, "settable": ["fcnv"],
      "refuse": {"fcnv": -50}}]}]})";

struct Command {
  std::vector<std::string_view> texts;
  int cleanStatus;                              // the exit status without any fault
  std::string_view failurePrefix;               // of the message when its write is refused
  std::vector<std::string_view> otherFailures;  // messages when it cannot write at all
};

const std::vector<Command>& commands() {
  static const std::vector<Command> all{
      {{"list"}, 0, "", {}},
      {{"set", "--device", "PTZ-1", "--control", "exposure", "--value", "0.01"},
       0,
       "Failed to set exposure: ",
       {"Camera device was not found.", "set requires --control and a numeric --value."}},
      {{"auto", "--control", "focus", "--enabled", "off"},
       0,
       "Failed to change automatic mode for focus: ",
       {"Camera device was not found.", "auto requires --control and --enabled."}},
      {{"on", "--control", "panTiltRelative", "--enabled", "on"},
       0,
       "Failed to toggle panTiltRelative: ",
       {"Camera device was not found.", "on requires --control and --enabled."}},
      {{"move", "--pan", "-1", "--tilt", "0.5"},
       0,
       "Failed to move the camera: ",
       {"Camera device was not found.", "This camera does not expose relative pan/tilt control."}},
      {{"home"},
       0,
       "Failed to center the camera: ",
       {"Camera device was not found.", "This camera does not expose absolute pan/tilt control."}},
      {{"absolute", "--pan", "10", "--tilt", "-20"},
       0,
       "Failed to set pan/tilt position: ",
       {"Camera device was not found.", "This camera does not expose absolute pan/tilt control."}},
      {{"set", "--device", "webcam", "--control", "contrast", "--value", "9"},
       1,
       "Failed to set contrast: ",
       {"Camera device was not found.", "set requires --control and a numeric --value."}},
  };
  return all;
}

bool isStringSelector(std::uint32_t selector) {
  return selector == selectors::deviceUid || selector == selectors::name ||
         selector == selectors::manufacturer;
}

// The ways the call at this place of the log can go wrong.
std::vector<sim::Fault> faultsFor(const sim::Call& call) {
  switch (call.operation) {
    case sim::Operation::HasProperty:
      return {sim::Fault::Absent};
    case sim::Operation::GetDataSize:
      return {sim::Fault::FailingStatus, sim::Fault::WrongSize};
    case sim::Operation::GetData:
      if (isStringSelector(call.selector))
        return {sim::Fault::FailingStatus, sim::Fault::ShortData, sim::Fault::NullString};
      return {sim::Fault::FailingStatus, sim::Fault::ShortData};
    case sim::Operation::IsSettable:
      return {sim::Fault::FailingStatus};
    case sim::Operation::SetData:
      return {sim::Fault::Refused};
    case sim::Operation::StringText:
      return {sim::Fault::Unconvertible};
    case sim::Operation::ReleaseString:
      return {};
  }
  return {};
}

struct Outcome {
  int status;
  std::string output;
  std::vector<std::size_t> writes;  // log places of the write calls
  std::vector<Status> writeStatuses;
};

class FaultSweep : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sim::FixtureLoad loaded = sim::parseFixture(system);
    ASSERT_TRUE(loaded.system) << loaded.fault;
    clean_ = new sim::System(std::move(*loaded.system));
  }

  // One run of the command, with one call made to go wrong when asked.
  static Outcome runOnce(const Command& command,
                         std::optional<std::pair<std::size_t, sim::Fault>> fault) {
    sim::reset(*clean_);
    sim::recordCalls();
    if (fault) sim::injectFault(fault->first, fault->second);
    std::ostringstream out;
    Outcome result{applyCommand(CommandLine{command.texts}, out), out.str(), {}, {}};
    const auto& log = sim::callLog();
    for (std::size_t i = 0; i < log.size(); ++i)
      if (log[i].operation == sim::Operation::SetData) result.writes.push_back(i);
    return result;
  }

  static sim::System* clean_;
};

sim::System* FaultSweep::clean_ = nullptr;

// The checks every run passes, and the exit status the rules give for it.
void checkRun(const Command& command, const Outcome& run, std::optional<std::size_t> refusedCall,
              Status refusal, const std::string& where) {
  SCOPED_TRACE(where);
  ASSERT_FALSE(run.output.empty());
  ASSERT_EQ(run.output.find('\n'), run.output.size() - 1) << "not one line: " << run.output;
  const auto answer = nlohmann::json::parse(run.output, nullptr, false);
  ASSERT_FALSE(answer.is_discarded()) << "not JSON: " << run.output;
  ASSERT_TRUE(answer.is_object());
  ASSERT_TRUE(answer["ok"].is_boolean());
  ASSERT_TRUE(answer["devices"].is_array());
  EXPECT_EQ(answer["ok"].get<bool>(), run.status == 0);
  EXPECT_EQ(answer.contains("error"), run.status != 0);
  EXPECT_EQ(sim::liveStringCount(), 0u);

  const bool list = command.texts.front() == "list";
  const std::size_t writeLimit = command.texts.front() == "move" ? 2 : 1;
  EXPECT_LE(run.writes.size(), list ? 0 : writeLimit);
  if (list) {
    EXPECT_EQ(run.status, 0);
    return;
  }
  if (run.writes.empty()) {
    // Nothing written: a failure, for want of the device or control.
    EXPECT_EQ(run.status, 1);
    const std::string error = answer.value("error", "");
    EXPECT_NE(std::find(command.otherFailures.begin(), command.otherFailures.end(), error),
              command.otherFailures.end())
        << error;
    return;
  }
  // The command's own write is its last one; only its status decides.
  const bool refused = refusedCall == run.writes.back() || command.cleanStatus != 0;
  EXPECT_EQ(run.status, refused ? 1 : 0) << run.output;
  if (refused) {
    const Status status = refusedCall == run.writes.back() ? refusal : -50;
    EXPECT_EQ(answer.value("error", ""),
              std::string(command.failurePrefix) + statusMessage(status) + ".");
  }
}

TEST_F(FaultSweep, EveryFaultOfEveryCallEndsInOneWellFormedAnswer) {
  // Standard error goes to a file for the sweep, which must stay empty.
  std::FILE* captured = std::tmpfile();
  ASSERT_NE(captured, nullptr);
  std::cerr.flush();
  const int savedError = dup(2);
  ASSERT_EQ(dup2(fileno(captured), 2), 2);

  std::size_t faultPoints = 0;
  for (const Command& command : commands()) {
    const Outcome clean = runOnce(command, std::nullopt);
    checkRun(command, clean, std::nullopt, 0, std::string(command.texts.front()) + " clean");
    ASSERT_EQ(clean.status, command.cleanStatus) << clean.output;
    const std::vector<sim::Call> log = sim::callLog();
    for (std::size_t call = 0; call < log.size(); ++call) {
      for (const sim::Fault fault : faultsFor(log[call])) {
        ++faultPoints;
        const Outcome faulty = runOnce(command, std::pair{call, fault});
        const bool refusedHere = fault == sim::Fault::Refused;
        checkRun(command, faulty, refusedHere ? std::optional(call) : std::nullopt,
                 status::unspecified,
                 std::string(command.texts.front()) + ": call " + std::to_string(call) +
                     ", fault " + std::to_string(int(fault)));
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
  }

  std::cerr.flush();
  std::fflush(stderr);
  const long errorBytes = lseek(2, 0, SEEK_END);
  dup2(savedError, 2);
  close(savedError);
  std::fclose(captured);
  EXPECT_EQ(errorBytes, 0) << "something was written to standard error";

  RecordProperty("fault_points", static_cast<int>(faultPoints));
  std::cout << "fault sweep: " << faultPoints << " fault points tried over " << commands().size()
            << " commands\n";
  EXPECT_GT(faultPoints, 0u);
}

}  // namespace
}  // namespace camknob
