// camknobd's connections between their requests. One thread waits, with
// poll, for each request's head to come whole, and only then hands the
// connection to a worker that answers that one request; a connection kept
// alive comes back after its answer. So a client that sends its head slowly,
// or never, holds no worker, and the workers are there for the requests
// that came whole:
//   - a head must come whole within `headPatience` of the connection's
//     start or of its previous answer: a connection with nothing of a next
//     request by then is closed, one with part of a head is answered 408;
//   - a head over its limits (http/head_scan.h) is answered 414 or 431;
//   - at most `maxConnections` wait here; beyond, those closing and then
//     those waiting longest are closed;
//   - a connection is closed gently: its end for writing shut, then what the
//     client still sends read and dropped, for at most `lingerFor`, so that
//     the answer reaches a client that is still sending rather than being
//     lost to a reset.
// Stopping: nothing new is admitted, a connection with nothing of a request
// is closed, one with part of a head gets until its time, every request
// under way is answered (and its connection closed), then the workers end.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "http/growing_task_queue.h"

namespace camknob::http {

struct FrontLimits {
  std::chrono::milliseconds headPatience;
  std::chrono::milliseconds lingerFor;
  std::size_t maxConnections;
  TaskQueueLimits workers;
};

inline constexpr FrontLimits frontLimits{std::chrono::seconds(5), std::chrono::seconds(2), 512,
                                         serverTaskLimits};

enum class AfterAnswer { KeepOpen, Close };

struct FrontConnection;

// Answers the request whose head is whole at the start of the connection's
// pending bytes, on a worker; `last` when the connection must close after it
// (the front stops).
using ConnectionServe = std::function<AfterAnswer(FrontConnection& connection, bool last)>;

struct FrontConnection {
  int socket = -1;
  std::string pending;         // bytes read and not answered yet
  std::size_t headLength = 0;  // of the whole head at the start of `pending`
  std::size_t answered = 0;    // requests answered on it so far
  const ConnectionServe* serve = nullptr;
};

class ConnectionFront {
 public:
  explicit ConnectionFront(FrontLimits limits);
  ConnectionFront(const ConnectionFront&) = delete;
  ConnectionFront& operator=(const ConnectionFront&) = delete;
  ~ConnectionFront();

  // Takes an accepted socket; `serve` answers its requests and must outlive
  // the front's stop.
  void admit(int socket, const ConnectionServe& serve);

  // Stops as above and returns once every connection is closed.
  void stop();

  // How many connections wait here or are being answered (for tests).
  std::size_t connectionCount();

 private:
  using Clock = std::chrono::steady_clock;
  struct Entry {
    FrontConnection connection;
    Clock::time_point since;     // of its wait here
    Clock::time_point deadline;  // of its head, or of its closing
    bool closing = false;
    bool fresh = false;  // bytes came since it was last looked at
  };

  void run();
  // Looks at an entry's head and time; false when the entry is done with.
  bool review(Entry& entry, Clock::time_point now, bool stopping);
  void receive(Entry& entry);
  void refuse(Entry& entry, int status, Clock::time_point now);
  void closeGently(Entry& entry, Clock::time_point now);
  void dispatch(Entry& entry);
  void finish(FrontConnection connection, AfterAnswer after);
  void keepWithin(std::vector<Entry>& entries);
  void wake();

  const FrontLimits limits_;
  std::mutex mutex_;
  std::vector<Entry> incoming_;  // admitted or answered, not yet taken by the thread
  std::size_t answering_ = 0;
  std::size_t waiting_ = 0;  // entries the thread holds
  bool stopping_ = false;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  GrowingTaskQueue workers_;
  std::thread thread_;
};

}  // namespace camknob::http
