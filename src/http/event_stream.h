// GET /api/v1/events: the cameras' states as server-sent events
// (text/event-stream). On connect the latest state at once, then every newer
// one, each as "id: VERSION\ndata: DOCUMENT\n\n"; after an event the stream
// waits 50 ms and then sends the newest state, so a burst of changes comes
// as one event (at most about 20 a second); a ": heartbeat" comment after
// 15 s without an event. When the profiles, holds or presets change, an
// "event: saved\ndata: {"holds":H,"presets":P,"profiles":R}\n\n" with how
// often each changed (none on connecting). The engine counts each open stream as a listener.
// At most 128 streams are open at once (the next is answered 503); a stream
// ends when its client goes away or the program stops.
#pragma once

#include <httplib.h>

#include <chrono>

#include "http/api_state.h"

namespace camknob::http {

inline constexpr auto eventSpacing = std::chrono::milliseconds(50);
inline constexpr auto heartbeatAfter = std::chrono::seconds(15);
// How long a stream waits at most before it looks again whether its client
// is still there and the program still runs.
inline constexpr auto streamWakeUp = std::chrono::milliseconds(250);

// Starts the stream on the response, or answers 503 when too many are open.
void startEventStream(ApiState& state, httplib::Response& response);

// Tells every stream to end, and waits until they have (each ends its chunked
// answer properly, so the client sees the end of the stream rather than a
// broken connection), at most `patience`.
void endEventStreams(EventStreams& streams, std::chrono::milliseconds patience);

}  // namespace camknob::http
