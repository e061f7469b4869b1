// Inside the engine: its one place of state, and the steps its thread takes.
// Only the engine's own files include this.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "commands/command_result.h"
#include "engine/camera_list.h"
#include "engine/engine.h"
#include "engine/hold_store.h"
#include "records/control_details.h"

namespace camknob::engine {

using Clock = std::chrono::steady_clock;

// How long a device is given to settle after a write before it is read again
// for the event stream, as camknob waits before its answer.
inline constexpr std::chrono::milliseconds settleTime{80};

// While an event stream is open, each camera is read this often.
inline constexpr std::chrono::milliseconds pollInterval{1000};

// After another program opened a held camera: when to write its profile
// again, in case the program reset the camera (many do as they start a
// stream), counted from the open.
inline constexpr std::array<std::chrono::milliseconds, 4> holdChecksAfterOpen{
    std::chrono::milliseconds{150}, std::chrono::milliseconds{400}, std::chrono::milliseconds{800},
    std::chrono::milliseconds{2000}};

// A move with a lease is stopped when it was not asked again within this time.
inline constexpr std::chrono::milliseconds moveLeaseTime{1000};

// A move that stops by itself unless asked again before `until`.
struct MoveLease {
  CommandRequest move;
  Clock::time_point until;
};

// An answer given later, from a step the engine takes when its time comes.
using Reply = std::shared_ptr<std::promise<Answer>>;

struct Job {
  Request request;
  Reply reply;
};

// What the engine thread alone touches.
struct Core {
  EngineSettings settings;
  CameraList cameras;
  Holds holds;
  std::map<ObjectId, Clock::time_point> settleAt;                        // devices to read again
  std::multimap<Clock::time_point, std::function<void(Engine&)>> later;  // steps to take then
  int newsDescriptor = -1;
  Clock::time_point nextNewsCheck{};     // without a descriptor: when to ask the service
  Clock::time_point nextPoll{};          // while a stream is open
  std::set<ObjectId> moving;             // devices a move of the engine's may have set turning
  std::map<ObjectId, MoveLease> leases;  // by device
  // Each camera's controls' details, by uid, read the first time they were
  // asked for since the camera was described; dropped with the camera.
  std::map<std::string, DeviceDetails> details;
};

struct Engine {
  // Shared with the threads that submit requests and wait for states.
  std::mutex mutex;
  std::condition_variable stateChanged;
  std::deque<Job> inbox;
  bool stopping = false;
  int listeners = 0;
  Published published{0, nullptr};
  int wakeRead = -1;  // a pipe whose reading end the engine thread watches
  int wakeWrite = -1;
  std::thread thread;
  // The engine thread's own.
  Core core;
};

// Publishes the cameras' list as it is now, when it differs from the last
// state published (or always, with `force`).
void publish(Engine& engine, bool force = false);

// What a request changed of what the engine keeps in files.
enum class Stored { profiles, holds, presets };

// Publishes that the profiles, the holds or the presets changed, for the
// event stream (the cameras' document stays as it is).
void noteStored(Engine& engine, Stored what);

// Reads the device again (asking the device, not what was read before) into
// the list; whether its readings changed.
bool rereadDevice(Engine& engine, ObjectId deviceId);

// Reads every camera again, looking at the system's devices afresh.
void rereadAll(Engine& engine);

// The device is read again for the event stream once it had time to settle
// after a write.
void settleLater(Engine& engine, ObjectId deviceId);

// Takes the step at that time, on the engine thread.
void later(Engine& engine, Clock::duration delay, std::function<void(Engine&)> step);

// How a held camera is kept at its profile.
enum class Keeping {
  whereDiffering,  // the profile is applied when a reading differs from it
  // Applied whatever the readings: after another program opened the camera,
  // the driver may answer from the values it last set while the camera reset
  // them (uvcvideo reads most controls from the camera only once).
  always,
};

// The held camera is at its profile again, or is written to be: it is read
// afresh and, as `keeping` says, the profile is applied. Nothing when the
// camera is not held or not there.
void keepHeld(Engine& engine, const std::string& uid, Keeping keeping = Keeping::whereDiffering);

// After a move of the engine's on the device: it may be turning until the
// engine ends.
void noteMovement(Engine& engine, ObjectId deviceId);

// Stops every movement the engine started and did not stop, each camera on
// its own whatever the others do; for the engine's end.
void stopMovements(Engine& engine);

// The answer to a command once the list was published: on success the
// document just published, on failure the list with its message (422).
Answer commandAnswer(const Engine& engine, const CommandFailure& failure);

// The camera of that object id in the list, or null.
const CameraDevice* deviceWithId(const Engine& engine, ObjectId id);

// The camera a request names by camknob's --device rules (the first camera
// without a name), read afresh; null when there is none.
const CameraDevice* freshDevice(Engine& engine, const std::optional<std::string>& wanted);

// The details of each camera of the list, read where not yet known.
Answer listDetails(Engine& engine);

// Writes the defaults a reset asks for.
Answer resetControls(Engine& engine, const ResetControls& request);

// Leased moves. A move asked again while its lease runs only renews it
// (nothing is written): whether the request was such a renewal. A move run
// with a lease takes one, until `moveLeaseTime` from now; the camera is
// stopped when it runs out. Another command that moves the camera ends its
// lease: the camera does what that says.
bool renewLease(Engine& engine, const CommandRequest& move);
void takeLease(Engine& engine, ObjectId deviceId, const CommandRequest& move);
void endLease(Engine& engine, ObjectId deviceId);

// The answer to one request; nothing when the request is answered later
// through the reply.
std::optional<Answer> answerRequest(Engine& engine, Request& request, const Reply& reply);

}  // namespace camknob::engine
