#include "http/fronted_server.h"

#include "http/growing_task_queue.h"
#include "http/head_scan.h"

namespace camknob::http {

namespace {

thread_local bool closeAfterAnswer = false;

// The accept loop's queue: the handing over is done at once, on its thread.
class HandOverQueue final : public httplib::TaskQueue {
 public:
  EnqueueResult enqueue(std::function<void()> task) override {
    task();
    return static_cast<EnqueueResult>(true);
  }
  void shutdown() override {}
};

std::chrono::milliseconds millisecondsOf(time_t seconds, time_t microseconds) {
  return std::chrono::milliseconds(seconds * 1000 + microseconds / 1000);
}

}  // namespace

void closeAfterThisAnswer() {
  closeAfterAnswer = true;
}

FrontedServer::FrontedServer(ConnectionFront& front)
    : front_(front),
      serve_([this](FrontConnection& connection, bool last) { return answer(connection, last); }) {
  new_task_queue = [] { return new HandOverQueue; };
}

bool FrontedServer::process_and_close_socket(socket_t socket) {
  front_.admit(socket, serve_);
  return true;
}

AfterAnswer FrontedServer::answer(FrontConnection& connection, bool last) {
  // The library leaves out headers with an empty value; an empty Origin is
  // still an origin, and not this server's.
  const std::vector<std::string> origins = headerValuesIn(
      std::string_view(connection.pending).substr(0, connection.headLength), "Origin");
  const auto setUp = [&origins](httplib::Request& request) {
    request.headers.erase("Origin");
    for (const std::string& origin : origins) request.headers.emplace("Origin", origin);
  };
  ConnectionStream stream(connection.socket, std::move(connection.pending),
                          {millisecondsOf(read_timeout_sec_, read_timeout_usec_),
                           millisecondsOf(write_timeout_sec_, write_timeout_usec_)});
  const bool closeAfter = last || connection.answered + 1 >= keep_alive_max_count_;
  bool closed = false;
  closeAfterAnswer = false;
  const bool answered = processRequest(stream, closeAfter, closed, setUp);
  ++connection.answered;
  connection.pending = stream.takePending();
  const bool keep = answered && !closed && !closeAfter && !closeAfterAnswer;
  closeAfterAnswer = false;
  return keep ? AfterAnswer::KeepOpen : AfterAnswer::Close;
}

}  // namespace camknob::http
