// The workers of the connection front (http/connection_front.h), in the
// shape of the HTTP library's task queue: each request whose head came whole
// is one task, and an event stream keeps its task for as long as it is open.
// A fixed few threads would let open streams starve every other request;
// this queue starts a thread whenever a task finds none idle, up to a cap,
// and lets threads idle beyond a few end.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace camknob::http {

// What TaskQueue::enqueue returns in the library's version at hand: nothing
// in older ones, whether the task was taken in newer ones.
using EnqueueResult =
    decltype(std::declval<httplib::TaskQueue&>().enqueue(std::function<void()>()));

struct TaskQueueLimits {
  std::size_t maxThreads;
  std::size_t idleThreadsKept;
  std::chrono::milliseconds idleLinger;  // how long a thread beyond those waits for a task
};

inline constexpr TaskQueueLimits serverTaskLimits{160, 4, std::chrono::seconds(10)};

class GrowingTaskQueue final : public httplib::TaskQueue {
 public:
  explicit GrowingTaskQueue(TaskQueueLimits limits);
  GrowingTaskQueue(const GrowingTaskQueue&) = delete;
  GrowingTaskQueue& operator=(const GrowingTaskQueue&) = delete;
  ~GrowingTaskQueue() override;

  // Runs the task on an idle thread, or a new one below the cap; at the cap
  // it waits for the next thread free.
  EnqueueResult enqueue(std::function<void()> task) override;

  // Runs the tasks queued, waits for every running one, and ends the threads.
  void shutdown() override;

  // How many threads are there now (for tests).
  std::size_t threadCount();

 private:
  void work();
  void joinRetired();

  const TaskQueueLimits limits_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  std::vector<std::thread> threads_;
  std::vector<std::thread> retired_;  // ended on their own, to be joined
  std::size_t idle_ = 0;
  bool shuttingDown_ = false;
};

}  // namespace camknob::http
