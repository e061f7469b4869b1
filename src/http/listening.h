// The servers camknobd listens with: one server per address, all with the
// same handlers, on one port, and one connection front that waits for the
// requests' heads of them all (http/fronted_server.h).
//
// The loopback pair binds 127.0.0.1 first, then ::1 on the same port (for
// port 0, on the port 127.0.0.1 got, trying again a few times with a new
// port while ::1 has that one taken); when ::1 cannot be bound the program
// goes on with 127.0.0.1 and says so. Sockets are made with SO_REUSEADDR
// only (never SO_REUSEPORT, which would let another program of the user's
// share the port).
#pragma once

#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "http/connection_front.h"
#include "http/listen_address.h"

namespace camknob::http {

struct Listener {
  std::string address;
  std::unique_ptr<httplib::Server> server;
  std::shared_ptr<int> socket;  // the listening socket, for closing one never run
  std::thread thread;
  std::shared_ptr<std::atomic<bool>> ended;  // set when its thread ends
};

struct Listening {
  std::unique_ptr<ConnectionFront> front;  // made before the servers, which hand it connections
  std::vector<Listener> listeners;
  int port;
  std::vector<std::string> notes;  // for standard error: an address left out
};

// Binds the plan's addresses, each server set up by `setUp` first; the fault
// when the first address cannot be bound.
std::variant<Listening, std::string> bindListeners(
    const ListenPlan& plan, const std::function<void(httplib::Server&)>& setUp);

// Runs each server on a thread of its own and returns once all accept;
// `ended` is called when one stops without being told to.
void startListening(Listening& listening, const std::function<void()>& ended);

// Stops accepting, lets the requests under way be answered (a head under
// way gets until its time), and ends the threads.
void stopListening(Listening& listening);

// Closes the listening sockets of servers bound but never run.
void closeUnstarted(Listening& listening);

}  // namespace camknob::http
