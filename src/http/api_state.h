// What every connection of camknobd shares: the engine, the names, token and
// key the checks compare with, the logins, and the open event streams.
#pragma once

#include <atomic>
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

struct ApiState {
  std::shared_ptr<engine::Engine> engine;
  std::vector<std::string> acceptedHosts;
  std::string url;  // "http://127.0.0.1:9734"
  std::string token;
  KeyWatch key;
  LoginSessions logins;
  EventStreams streams;
};

}  // namespace camknob::http
