// Requests the engine takes at once, as when several clients send at the same
// moment: the engine thread is held inside a write while they are queued, so
// that it finds them all together when it is let go. Each client gets the
// answer to its own request, and no valid change is lost to another's.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <variant>

#include "engine/engine.h"
#include "engine/engine_support.h"
#include "media/service_status.h"

namespace camknob {
namespace {

using testing::parsed;
using testing::RunningEngine;

constexpr std::string_view cameras = R"({"devices": [
  {"objectId": 33, "properties": {"uid ": "PTZ-1", "lnam": "PTZ Camera"},
   "controls": [
     {"objectId": 41, "properties": {"clas": "brit", "fcnv": 100, "fcnr": [0, 255]},
      "settable": ["fcnv"]}]},
  {"objectId": 60, "properties": {"uid ": "WEB-2", "lnam": "Webcam"},
   "controls": [
     {"objectId": 61, "properties": {"clas": "brit", "fcnv": 0, "fcnr": [-64, 64]},
      "settable": ["fcnv"]}]}]})";

constexpr ObjectId brightness = 41;  // the PTZ camera's, which the requests set
constexpr ObjectId holdingControl = 61;
constexpr float refusedValue = 99;  // the PTZ camera refuses to take this brightness

// The simulated service's write hook: it holds the engine thread inside the
// first write to holdingControl until let go, keeps the values written to the
// brightness, and refuses refusedValue there.
class Writes {
 public:
  sim::WriteHook hook() {
    return [this](const sim::Change&, const sim::System&) {
      const sim::Call& call = sim::callLog().back();
      if (call.object == holdingControl) hold();
      if (call.object != brightness || call.data.size() != sizeof(float))
        return sim::Commit{noErr, std::nullopt};
      float value = 0;
      std::memcpy(&value, call.data.data(), sizeof value);
      const std::lock_guard lock(mutex_);
      written_.push_back(value);
      return sim::Commit{value == refusedValue ? status::refused : noErr, std::nullopt};
    };
  }

  void awaitHeld() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return held_; });
  }

  void letGo() {
    {
      const std::lock_guard lock(mutex_);
      released_ = true;
    }
    changed_.notify_all();
  }

  std::vector<float> written() {
    const std::lock_guard lock(mutex_);
    return written_;
  }

 private:
  void hold() {
    std::unique_lock lock(mutex_);
    held_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool held_ = false;
  bool released_ = false;
  std::vector<float> written_;
};

// A set of the PTZ camera's brightness: to a value's text, or by a delta.
using Change = std::variant<std::string, double>;

engine::Request setOf(const Change& change) {
  CommandRequest set{.command = "set", .device = "PTZ-1", .control = "brightness"};
  if (const auto* delta = std::get_if<double>(&change)) return engine::RunCommand{set, *delta};
  set.value = std::get<std::string>(change);
  return engine::RunCommand{set, std::nullopt};
}

// An answer as a client sees it: the brightness shown after a success, or
// the error of a failure.
struct Seen {
  int status;
  std::variant<double, std::string> shown;
  friend bool operator==(const Seen&, const Seen&) = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& seen) {
  out << seen.status << " ";
  if (const auto* value = std::get_if<double>(&seen.shown)) return out << *value;
  return out << std::get<std::string>(seen.shown);
}

Seen seenIn(const engine::Answer& answer) {
  const nlohmann::json document = parsed(answer.body);
  if (document.value("ok", false)) {
    for (const auto& device : document["devices"])
      if (device["uid"] == "PTZ-1")
        return Seen{answer.status, device["controls"][0]["value"].get<double>()};
    return Seen{answer.status, std::string("no PTZ camera: ") + answer.body};
  }
  return Seen{answer.status, document.value("error", answer.body)};
}

constexpr std::string_view requirement = "set requires --control and a numeric --value.";
const std::string refusal = "Failed to set brightness: 1852797029 (nope).";

Seen shows(double value) {
  return Seen{200, value};
}
Seen fails(std::string_view error) {
  return Seen{422, std::string(error)};
}

TEST(EngineBatch, EachClientGetsItsOwnAnswerAndNoValidChangeIsLost) {
  struct Case {
    std::string what;
    std::vector<Change> changes;  // in the order sent
    std::vector<Seen> answers;    // each client's, in the same order
    std::vector<float> written;   // to the brightness, in order
    double after;                 // the brightness in the end
  };
  const std::vector<Case> cases{
      {"valid, then not a number", {"10", "abc"}, {shows(10), fails(requirement)}, {10}, 10},
      {"valid, then empty", {"10", ""}, {shows(10), fails(requirement)}, {10}, 10},
      {"not a number, then valid", {"abc", "10"}, {fails(requirement), shows(10)}, {10}, 10},
      {"an invalid one between valid ones",
       {"10", "abc", "20"},
       {shows(10), fails(requirement), shows(20)},
       {10, 20},
       20},
      // Values that would each be written come to the last: only it is.
      {"valid ones", {"10", "0x14", "30"}, {shows(30), shows(30), shows(30)}, {30}, 30},
      // The last one refused, each earlier one is written after all, in
      // order, and answered about its own value.
      {"valid, then refused", {"10", "99"}, {shows(10), fails(refusal)}, {99, 10}, 10},
      {"valid ones, then refused",
       {"10", "20", "99"},
       {shows(10), shows(20), fails(refusal)},
       {99, 10, 20},
       20},
      {"refused, then valid", {"99", "10"}, {shows(10), shows(10)}, {10}, 10},
      // A delta adds to the value before it, so neither comes to the other.
      {"valid, then a delta", {"10", 5.0}, {shows(10), shows(15)}, {10, 15}, 15},
      {"a delta, then valid", {5.0, "10"}, {shows(105), shows(10)}, {105, 10}, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Writes writes;
    const RunningEngine running(cameras, testing::temporaryFolder(), writes.hook());
    std::future<engine::Answer> holding = engine::submit(
        *running.engine,
        engine::RunCommand{
            {.command = "set", .device = "WEB-2", .control = "brightness", .value = "1"},
            std::nullopt});
    writes.awaitHeld();
    std::vector<std::future<engine::Answer>> answers;
    for (const Change& change : c.changes)
      answers.push_back(engine::submit(*running.engine, setOf(change)));
    writes.letGo();
    EXPECT_EQ(holding.get().status, 200);
    std::vector<Seen> seen;
    for (auto& answer : answers) seen.push_back(seenIn(answer.get()));
    EXPECT_EQ(seen, c.answers);
    EXPECT_EQ(writes.written(), c.written);
    EXPECT_EQ(seenIn(running.ask(engine::ListCameras{})), shows(c.after));
  }
}

}  // namespace
}  // namespace camknob
