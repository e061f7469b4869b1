#include "http/event_stream.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "http/api_texts.h"
#include "json/json_object.h"

namespace camknob::http {

namespace {

using Clock = std::chrono::steady_clock;

struct StreamProgress {
  std::uint64_t version = 0;                    // of the last state seen
  std::shared_ptr<const std::string> document;  // the last one sent
  engine::StoredChanges stored;                 // as last seen
  Clock::time_point lastEvent;
  Clock::time_point lastWrite;  // of an event or a heartbeat
};

// The events of a state newer than the last seen: the cameras' document when
// it is another, and a "saved" event when what is stored changed (not for
// the first state: a client that just connected lists what it needs).
std::string eventsOf(const engine::Published& newer, const StreamProgress& progress) {
  std::string out;
  if (newer.document && newer.document != progress.document)
    out += eventText(newer.version, *newer.document);
  if (progress.version != 0 && newer.stored != progress.stored) out += savedEventText(newer.stored);
  return out;
}

bool openStream(EventStreams& streams) {
  const std::lock_guard lock(streams.mutex);
  if (streams.stopping || streams.open >= maxEventStreams) return false;
  ++streams.open;
  return true;
}

void closeStream(EventStreams& streams) {
  {
    const std::lock_guard lock(streams.mutex);
    --streams.open;
  }
  streams.closed.notify_all();
}

bool write(httplib::DataSink& sink, std::string_view text) {
  return sink.write(text.data(), text.size());
}

// One step of the stream: waits at most streamWakeUp, and writes what is due.
// False ends the stream at once (the client is gone).
bool streamStep(ApiState& state, StreamProgress& progress, httplib::DataSink& sink) {
  if (state.streams.stopping) {
    sink.done();
    return true;
  }
  if (!sink.is_writable()) return false;
  const Clock::time_point now = Clock::now();
  if (progress.version != 0 && now < progress.lastEvent + eventSpacing) {
    std::this_thread::sleep_until(progress.lastEvent + eventSpacing);
    return true;
  }
  const Clock::time_point deadline =
      std::min(now + streamWakeUp, progress.lastWrite + heartbeatAfter);
  const std::optional<engine::Published> newer =
      engine::waitForNewer(*state.engine, progress.version, deadline);
  if (newer && newer->document) {
    const std::string events = eventsOf(*newer, progress);
    if (!events.empty() && !write(sink, events)) return false;
    progress.version = newer->version;
    progress.document = newer->document;
    progress.stored = newer->stored;
    if (!events.empty()) progress.lastEvent = progress.lastWrite = Clock::now();
    return true;
  }
  if (Clock::now() >= progress.lastWrite + heartbeatAfter) {
    if (!write(sink, heartbeatText)) return false;
    progress.lastWrite = Clock::now();
    return true;
  }
  // Nothing before the deadline came early: the engine stopped.
  if (!newer && Clock::now() < deadline) sink.done();
  return true;
}

}  // namespace

void startEventStream(ApiState& state, httplib::Response& response) {
  if (!openStream(state.streams)) {
    response.status = 503;
    response.set_content(json::errorDocument("Too many event streams are open."),
                         "application/json");
    return;
  }
  engine::addListener(*state.engine);
  auto progress = std::make_shared<StreamProgress>();
  progress->lastWrite = Clock::now();
  // The library may copy the response, and each copy calls the releaser.
  auto released = std::make_shared<std::atomic<bool>>(false);
  ApiState* shared = &state;
  response.status = 200;
  response.set_chunked_content_provider(
      "text/event-stream",
      [shared, progress](std::size_t, httplib::DataSink& sink) {
        return streamStep(*shared, *progress, sink);
      },
      [shared, released](bool) {
        if (released->exchange(true)) return;
        engine::removeListener(*shared->engine);
        closeStream(shared->streams);
      });
}

void endEventStreams(EventStreams& streams, std::chrono::milliseconds patience) {
  std::unique_lock lock(streams.mutex);
  streams.stopping = true;
  streams.closed.wait_for(lock, patience, [&] { return streams.open == 0; });
}

}  // namespace camknob::http
