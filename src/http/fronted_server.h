// The httplib::Server camknobd listens with: its accept loop hands each new
// connection to the connection front (http/connection_front.h) at once,
// rather than to a thread that would wait for the request's head, and the
// front hands back each connection whose head came whole, to answer that one
// request with the library's own reading, routing and writing.
#pragma once

#include <httplib.h>

#include <functional>
#include <string>

#include "http/connection_front.h"
#include "http/connection_stream.h"

namespace camknob::http {

class FrontedServer final : public httplib::Server {
 public:
  explicit FrontedServer(ConnectionFront& front);

 private:
  bool process_and_close_socket(socket_t socket) override;
  AfterAnswer answer(FrontConnection& connection, bool last);

  // The library's request step, in the form of its version: later ones take
  // the connection's addresses.
  template <typename Self = FrontedServer>
  bool processRequest(ConnectionStream& stream, bool closeAfter, bool& closed,
                      const std::function<void(httplib::Request&)>& setUp) {
    Self& self = *this;
    if constexpr (requires(bool& flag) { self.process_request(stream, closeAfter, flag, setUp); }) {
      return self.process_request(stream, closeAfter, closed, setUp);
    } else {
      std::string remote, local;
      int remotePort = 0, localPort = 0;
      stream.get_remote_ip_and_port(remote, remotePort);
      stream.get_local_ip_and_port(local, localPort);
      return self.process_request(stream, remote, remotePort, local, localPort, closeAfter, closed,
                                  setUp);
    }
  }

  ConnectionFront& front_;
  ConnectionServe serve_;
};

// Called by a handler while it answers: the connection is closed once this
// answer is written (a body it came with stays unread).
void closeAfterThisAnswer();

}  // namespace camknob::http
