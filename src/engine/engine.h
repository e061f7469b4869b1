// camknobd's engine: one thread that alone talks to the camera service for
// as long as the program runs. It keeps the cameras' list, answers requests
// in the order they come, re-reads only the camera a change touched, keeps
// held cameras at their profiles, and publishes each new state of the list
// for the event stream. Other threads submit requests and wait for states.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "engine/engine_requests.h"

namespace camknob::engine {

struct EngineSettings {
  // Where profiles (profiles/), holds and presets are kept, such as
  // ~/.config/camknob.
  std::string configFolder;
  // Called once, on the engine thread, when the engine stopped by itself on
  // a failure outside any request (looking at the machine, taking news,
  // reading the cameras, a step due later), with what failed; from then on
  // every request is answered 503. A program should end with a failure
  // status so that its service manager starts it again. The failure is
  // written to standard error either way.
  std::function<void(const std::string& what)> onFailure = {};
};

// How many times the profiles, the holds and the presets were changed since
// the engine started: a client that saw other counts lists them again.
struct StoredChanges {
  std::uint64_t profiles = 0;
  std::uint64_t holds = 0;
  std::uint64_t presets = 0;

  friend bool operator==(const StoredChanges&, const StoredChanges&) = default;
};

// A state of the cameras' list, as the `list` document camknob prints, and
// of what is stored; versions count up from 1, one per state published (a
// change of what is stored is a new state with the same document).
struct Published {
  std::uint64_t version;
  std::shared_ptr<const std::string> document;
  StoredChanges stored{};
};

// The engine's one place of state, shared by its thread and the threads that
// call the functions below; what is in it is the engine's own.
struct Engine;

// Starts the engine thread. It looks at the cameras and publishes the first
// state before it answers any request.
std::shared_ptr<Engine> startEngine(EngineSettings settings);

// Queues a request; the future gets its answer. After stopEngine, an answer
// of status 503.
std::future<Answer> submit(Engine& engine, Request request);

// The state published last (version 0 and no document before the first).
Published latest(Engine& engine);

// Waits for a state newer than `version`, until `deadline`: nothing when none
// came by then, or when the engine stopped.
std::optional<Published> waitForNewer(Engine& engine, std::uint64_t version,
                                      std::chrono::steady_clock::time_point deadline);

// An event stream opened or closed. While one is open the engine reads each
// camera's values once a second, so that a change made by another program
// shows; with none it does no device I/O of its own accord.
void addListener(Engine& engine);
void removeListener(Engine& engine);

// Finishes the request being answered, answers the queued ones with 503, wakes
// every waiter, stops every pan/tilt movement the engine started, and ends
// the engine thread. (A movement is stopped too when the engine stops on a
// failure.)
void stopEngine(Engine& engine);

}  // namespace camknob::engine
