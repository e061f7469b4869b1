// What every connection of camknobd shares: the engine, the names, token and
// key the checks compare with, the logins, and the open event streams.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "http/key_file.h"
#include "http/login_sessions.h"

namespace camknob::http {

inline constexpr std::size_t maxEventStreams = 128;

struct EventStreams {
  std::mutex mutex;
  std::size_t open = 0;
  std::condition_variable closed;
  // Set at shutdown: every stream ends, and no new one opens.
  std::atomic<bool> stopping{false};
};

// How long a request waits for the engine's answer: one device call that
// hangs must not hold every worker. Past it the answer is 503 with
// Retry-After, and the engine's late answer is dropped.
inline constexpr std::chrono::milliseconds engineAnswerDeadline{5000};

struct ApiState {
  std::shared_ptr<engine::Engine> engine;
  std::chrono::milliseconds engineDeadline = engineAnswerDeadline;
  std::vector<std::string> acceptedHosts;
  std::string url;  // "http://127.0.0.1:9734"
  std::string token;
  KeyWatch key;
  LoginSessions logins;
  EventStreams streams;
};

}  // namespace camknob::http
