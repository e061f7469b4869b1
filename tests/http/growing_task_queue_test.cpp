// The connections' task queue: every task runs at once while threads are
// below the cap (so open event streams cannot starve other requests), no
// more than the cap run at once, and shutdown waits for every task.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "http/growing_task_queue.h"

namespace camknob::http {
namespace {

// Tasks that stay running until released, as event streams do.
struct Blocking {
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t running = 0;
  std::size_t mostAtOnce = 0;
  std::size_t finished = 0;
  bool released = false;

  std::function<void()> task() {
    return [this] {
      std::unique_lock lock(mutex);
      ++running;
      mostAtOnce = std::max(mostAtOnce, running);
      changed.notify_all();
      changed.wait(lock, [this] { return released; });
      --running;
      ++finished;
    };
  }
  bool waitForRunning(std::size_t count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10), [&] { return running >= count; });
  }
  void release() {
    const std::lock_guard lock(mutex);
    released = true;
    changed.notify_all();
  }
};

TEST(GrowingTaskQueue, RunsEveryTaskAtOnceBelowTheCap) {
  GrowingTaskQueue queue({160, 4, std::chrono::seconds(10)});
  Blocking tasks;
  for (int count = 0; count < 130; ++count) queue.enqueue(tasks.task());
  EXPECT_TRUE(tasks.waitForRunning(130)) << "tasks waited for others to end";
  std::atomic<bool> ran = false;
  queue.enqueue([&] { ran = true; });
  tasks.release();
  queue.shutdown();
  EXPECT_TRUE(ran);
  EXPECT_EQ(tasks.finished, 130u);
  EXPECT_EQ(tasks.mostAtOnce, 130u);
}

TEST(GrowingTaskQueue, HoldsTasksBeyondTheCapUntilAThreadIsFree) {
  GrowingTaskQueue queue({4, 1, std::chrono::seconds(10)});
  Blocking tasks;
  for (int count = 0; count < 10; ++count) queue.enqueue(tasks.task());
  EXPECT_TRUE(tasks.waitForRunning(4));
  EXPECT_EQ(queue.threadCount(), 4u);
  tasks.release();
  queue.shutdown();
  EXPECT_EQ(tasks.finished, 10u);
  EXPECT_EQ(tasks.mostAtOnce, 4u);
}

TEST(GrowingTaskQueue, LetsIdleThreadsBeyondTheKeptOnesEnd) {
  GrowingTaskQueue queue({16, 2, std::chrono::milliseconds(20)});
  Blocking tasks;
  for (int count = 0; count < 12; ++count) queue.enqueue(tasks.task());
  EXPECT_TRUE(tasks.waitForRunning(12));
  tasks.release();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (queue.threadCount() > 2 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(queue.threadCount(), 2u);
  // And it grows again.
  Blocking more;
  for (int count = 0; count < 8; ++count) queue.enqueue(more.task());
  EXPECT_TRUE(more.waitForRunning(8));
  more.release();
  queue.shutdown();
  EXPECT_EQ(more.finished, 8u);
}

TEST(GrowingTaskQueue, TakesNoTaskAfterShutdown) {
  GrowingTaskQueue queue({4, 1, std::chrono::seconds(10)});
  queue.shutdown();
  std::atomic<bool> ran = false;
  queue.enqueue([&] { ran = true; });
  queue.shutdown();
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace camknob::http
