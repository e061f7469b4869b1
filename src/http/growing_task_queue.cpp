#include "http/growing_task_queue.h"

#include <algorithm>

namespace camknob::http {

GrowingTaskQueue::GrowingTaskQueue(TaskQueueLimits limits) : limits_(limits) {}

GrowingTaskQueue::~GrowingTaskQueue() {
  shutdown();
}

EnqueueResult GrowingTaskQueue::enqueue(std::function<void()> task) {
  joinRetired();
  bool taken = false;
  {
    const std::lock_guard lock(mutex_);
    if (!shuttingDown_) {
      tasks_.push_back(std::move(task));
      taken = true;
      if (tasks_.size() > idle_ && threads_.size() < limits_.maxThreads)
        threads_.emplace_back([this] { work(); });
    }
  }
  if (taken) wake_.notify_one();
  return static_cast<EnqueueResult>(taken);
}

void GrowingTaskQueue::shutdown() {
  std::vector<std::thread> threads;
  {
    const std::lock_guard lock(mutex_);
    shuttingDown_ = true;
    threads.swap(threads_);
  }
  wake_.notify_all();
  for (std::thread& thread : threads) thread.join();
  joinRetired();
}

std::size_t GrowingTaskQueue::threadCount() {
  const std::lock_guard lock(mutex_);
  return threads_.size();
}

void GrowingTaskQueue::work() {
  std::unique_lock lock(mutex_);
  while (true) {
    ++idle_;
    wake_.wait_for(lock, limits_.idleLinger, [this] { return !tasks_.empty() || shuttingDown_; });
    --idle_;
    if (tasks_.empty()) {
      if (shuttingDown_) return;
      if (idle_ < limits_.idleThreadsKept) continue;
      // Idle beyond the few kept: this thread ends, and the next enqueue or
      // the shutdown joins it.
      const auto self = std::find_if(threads_.begin(), threads_.end(), [](const std::thread& t) {
        return t.get_id() == std::this_thread::get_id();
      });
      if (self == threads_.end()) continue;  // shutdown took it: it is joined there
      retired_.push_back(std::move(*self));
      threads_.erase(self);
      return;
    }
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    task = nullptr;
    lock.lock();
  }
}

void GrowingTaskQueue::joinRetired() {
  std::vector<std::thread> retired;
  {
    const std::lock_guard lock(mutex_);
    retired.swap(retired_);
  }
  for (std::thread& thread : retired) thread.join();
}

}  // namespace camknob::http
