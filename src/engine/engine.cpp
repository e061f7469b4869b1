// The engine thread: its loop, and the functions other threads call.
#include "engine/engine.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <iostream>

#include "discovery/list_devices.h"
#include "engine/command_requests.h"
#include "engine/engine_answers.h"
#include "engine/engine_state.h"
#include "engine/stored_document.h"
#include "json/json_object.h"
#include "media/property_service.h"

namespace camknob::engine {

namespace {

void wake(Engine& engine) {
  const char byte = 1;
  // A full pipe wakes the thread as well as one more byte would.
  (void)!::write(engine.wakeWrite, &byte, 1);
}

void drainWakes(Engine& engine) {
  char bytes[256];
  while (::read(engine.wakeRead, bytes, sizeof bytes) > 0) {
  }
}

Answer stoppedAnswer() {
  return Answer{503, json::errorDocument("The engine is stopping.")};
}

// Two plain sets of one control one after the other come to the second's
// value: the first is not written, and its client gets the second's answer.
bool supersededBy(const Job& job, const Job& next) {
  const auto* command = std::get_if<RunCommand>(&job.request);
  const auto* following = std::get_if<RunCommand>(&next.request);
  if (command == nullptr || following == nullptr) return false;
  const auto key = coalescingKey(*command);
  return key && key == coalescingKey(*following);
}

Answer answerOrFailure(Engine& engine, Job& job) {
  try {
    if (auto answer = answerRequest(engine, job.request, job.reply)) return *answer;
    return Answer{0, {}};  // answered later
  } catch (...) {
    return Answer{500, json::errorDocument("The engine could not answer.")};
  }
}

// The job's answer, given to its client unless it is given later.
Answer answerJob(Engine& engine, Job& job) {
  Answer answer = answerOrFailure(engine, job);
  if (answer.status != 0) job.reply->set_value(answer);
  return answer;
}

void answerJobs(Engine& engine, std::deque<Job> jobs) {
  std::vector<Job> riders;  // superseded sets, waiting for the last of their run
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (i + 1 < jobs.size() && supersededBy(jobs[i], jobs[i + 1])) {
      riders.push_back(std::move(jobs[i]));
      continue;
    }
    const Answer answer = answerJob(engine, jobs[i]);
    // When the last set of the run failed it changed nothing, and its answer
    // is about a value the riders did not send: each rider's own set is run
    // after all, in order, and answered on its own. The control ends as if
    // every set had run in turn.
    for (Job& rider : riders) {
      if (answer.status == 200)
        rider.reply->set_value(answer);
      else
        (void)answerJob(engine, rider);
    }
    riders.clear();
  }
}

void takeNews(Engine& engine) {
  const service::ServiceNews news = service::takeNews();
  if (news.devicesChanged) {
    std::map<std::string, std::optional<std::string>> before;
    const CameraList& cameras = engine.core.cameras;
    for (std::size_t i = 0; i < cameras.devices.size(); ++i)
      before[cameras.devices[i].uid] = cameras.texts[i];
    service::rescanDevices();
    rereadAll(engine);
    // A held camera that arrived, or whose readings another program changed.
    std::vector<std::string> touched;
    for (std::size_t i = 0; i < cameras.devices.size(); ++i) {
      const std::string& uid = cameras.devices[i].uid;
      const auto known = before.find(uid);
      const bool same = known != before.end() && known->second && known->second == cameras.texts[i];
      if (!same && engine.core.holds.count(uid) != 0) touched.push_back(uid);
    }
    for (const std::string& uid : touched) keepHeld(engine, uid);
  }
  for (const ObjectId opened : news.openedElsewhere) {
    for (const CameraDevice& device : engine.core.cameras.devices) {
      if (device.objectId != opened || engine.core.holds.count(device.uid) == 0) continue;
      for (const auto delay : holdChecksAfterOpen)
        later(engine, delay, [uid = device.uid](Engine& e) { keepHeld(e, uid, Keeping::always); });
    }
  }
}

// Reads each camera again while an event stream is open, so that another
// program's changes show; a held camera that changed is brought back.
void pollCameras(Engine& engine) {
  std::vector<ObjectId> ids;
  for (const CameraDevice& device : engine.core.cameras.devices) ids.push_back(device.objectId);
  std::vector<std::string> changedHeld;
  for (const ObjectId id : ids) {
    if (!rereadDevice(engine, id)) continue;
    for (const CameraDevice& device : engine.core.cameras.devices)
      if (device.objectId == id && engine.core.holds.count(device.uid) != 0)
        changedHeld.push_back(device.uid);
  }
  publish(engine);
  for (const std::string& uid : changedHeld) keepHeld(engine, uid);
}

void takeDueSteps(Engine& engine) {
  Core& core = engine.core;
  const Clock::time_point now = Clock::now();
  std::vector<ObjectId> settled;
  for (auto at = core.settleAt.begin(); at != core.settleAt.end();) {
    if (at->second > now) {
      ++at;
      continue;
    }
    settled.push_back(at->first);
    at = core.settleAt.erase(at);
  }
  for (const ObjectId id : settled) rereadDevice(engine, id);
  if (!settled.empty()) publish(engine);
  while (!core.later.empty() && core.later.begin()->first <= now) {
    auto step = std::move(core.later.begin()->second);
    core.later.erase(core.later.begin());
    step(engine);
  }
}

int listenersOf(Engine& engine) {
  const std::lock_guard lock(engine.mutex);
  return engine.listeners;
}

// How long the thread may sleep: until the next step due, the next poll
// while a stream is open, or the next question to a service without a
// descriptor; -1 for as long as nothing comes.
int sleepMilliseconds(Engine& engine, bool listening) {
  const Core& core = engine.core;
  std::optional<Clock::time_point> until;
  const auto consider = [&until](Clock::time_point at) {
    if (!until || at < *until) until = at;
  };
  for (const auto& [id, at] : core.settleAt) consider(at);
  if (!core.later.empty()) consider(core.later.begin()->first);
  if (listening) consider(core.nextPoll);
  if (core.newsDescriptor < 0) consider(core.nextNewsCheck);
  if (!until) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(std::min<long long>(left, 60'000));
}

// Holds that cannot be used are said so; a file that is not a holds document
// is kept aside, so that the next hold starts a new file without losing it.
void reportUnusableHolds(const std::string& configFolder, const HoldsLoad& holds) {
  std::cerr << "camknobd: holds: " << holds.fault;
  if (holds.corrupt) {
    const KeptAside aside = keepAside(holdsPath(configFolder));
    if (aside.path)
      std::cerr << ": kept aside as " << *aside.path;
    else
      std::cerr << " (and it cannot be kept aside: " << aside.fault << ")";
  }
  std::cerr << ": none kept" << std::endl;
}

void startLooking(Engine& engine) {
  Core& core = engine.core;
  core.newsDescriptor = service::startWatching();
  service::rescanDevices();
  core.cameras = cameraListOf(listDevices());
  publish(engine, true);
  HoldsLoad holds = loadHolds(core.settings.configFolder);
  if (!holds.fault.empty()) reportUnusableHolds(core.settings.configFolder, holds);
  core.holds = std::move(holds.holds);
  std::vector<std::string> present;
  for (const CameraDevice& device : core.cameras.devices)
    if (core.holds.count(device.uid) != 0) present.push_back(device.uid);
  for (const std::string& uid : present) keepHeld(engine, uid);
}

void run(Engine& engine) {
  startLooking(engine);
  bool wasListening = false;
  for (;;) {
    const bool listening = listenersOf(engine) > 0;
    if (listening && !wasListening) engine.core.nextPoll = Clock::now() + pollInterval;
    wasListening = listening;
    pollfd watched[2] = {{engine.wakeRead, POLLIN, 0}, {engine.core.newsDescriptor, POLLIN, 0}};
    const nfds_t count = engine.core.newsDescriptor >= 0 ? 2 : 1;
    (void)::poll(watched, count, sleepMilliseconds(engine, listening));
    drainWakes(engine);

    std::deque<Job> jobs;
    {
      const std::lock_guard lock(engine.mutex);
      if (engine.stopping) break;
      jobs.swap(engine.inbox);
    }
    answerJobs(engine, std::move(jobs));

    const Clock::time_point now = Clock::now();
    const bool newsWaiting = count == 2 && (watched[1].revents & POLLIN) != 0;
    if (newsWaiting || (engine.core.newsDescriptor < 0 && now >= engine.core.nextNewsCheck)) {
      takeNews(engine);
      engine.core.nextNewsCheck = Clock::now() + std::chrono::seconds(1);
    }
    if (listening && Clock::now() >= engine.core.nextPoll) {
      pollCameras(engine);
      engine.core.nextPoll = Clock::now() + pollInterval;
    }
    takeDueSteps(engine);
  }
}

void runGuarded(Engine& engine) {
  std::optional<std::string> failure;
  try {
    run(engine);
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "an unknown failure";
  }
  stopMovements(engine);
  // Whatever was asked and not answered gets 503, now and from now on.
  std::deque<Job> left;
  {
    const std::lock_guard lock(engine.mutex);
    engine.stopping = true;
    left.swap(engine.inbox);
  }
  engine.stateChanged.notify_all();
  for (Job& job : left) job.reply->set_value(stoppedAnswer());
  // Steps still due may hold replies: giving them up breaks their promises,
  // which submit's callers see as 503.
  engine.core.later.clear();
  if (failure) {
    std::cerr << "camknobd: the engine stopped: " << *failure << std::endl;
    if (engine.core.settings.onFailure) engine.core.settings.onFailure(*failure);
  }
}

}  // namespace

std::shared_ptr<Engine> startEngine(EngineSettings settings) {
  auto engine = std::make_shared<Engine>();
  engine->core.settings = std::move(settings);
  int ends[2];
  if (::pipe(ends) != 0) throw std::runtime_error("cannot make the engine's pipe");
  for (const int end : ends) {
    ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    ::fcntl(end, F_SETFD, FD_CLOEXEC);
  }
  engine->wakeRead = ends[0];
  engine->wakeWrite = ends[1];
  engine->thread = std::thread(runGuarded, std::ref(*engine));
  // The first state is published before any request is taken.
  (void)waitForNewer(*engine, 0, Clock::now() + std::chrono::hours(1));
  return engine;
}

std::future<Answer> submit(Engine& engine, Request request) {
  auto reply = std::make_shared<std::promise<Answer>>();
  std::future<Answer> answer = reply->get_future();
  {
    const std::lock_guard lock(engine.mutex);
    if (engine.stopping) {
      reply->set_value(stoppedAnswer());
      return answer;
    }
    engine.inbox.push_back(Job{std::move(request), std::move(reply)});
  }
  wake(engine);
  return answer;
}

Published latest(Engine& engine) {
  const std::lock_guard lock(engine.mutex);
  return engine.published;
}

std::optional<Published> waitForNewer(Engine& engine, std::uint64_t version,
                                      std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(engine.mutex);
  engine.stateChanged.wait_until(
      lock, deadline, [&] { return engine.stopping || engine.published.version > version; });
  if (engine.stopping || engine.published.version <= version) return std::nullopt;
  return engine.published;
}

void addListener(Engine& engine) {
  {
    const std::lock_guard lock(engine.mutex);
    ++engine.listeners;
  }
  wake(engine);
}

void removeListener(Engine& engine) {
  const std::lock_guard lock(engine.mutex);
  if (engine.listeners > 0) --engine.listeners;
}

void stopEngine(Engine& engine) {
  {
    const std::lock_guard lock(engine.mutex);
    engine.stopping = true;
  }
  engine.stateChanged.notify_all();
  wake(engine);
  if (engine.thread.joinable()) engine.thread.join();
  ::close(engine.wakeRead);
  ::close(engine.wakeWrite);
  engine.wakeRead = engine.wakeWrite = -1;
}

}  // namespace camknob::engine
