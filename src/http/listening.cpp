#include "http/listening.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "http/fronted_server.h"

namespace camknob::http {

namespace {

constexpr int portAttempts = 8;
constexpr int listenBacklog = 512;

struct Bound {
  Listener listener;
  int port;  // -1 when it failed
  int error;
};

std::string hostPort(const std::string& address, int port) {
  const bool ipv6 = address.find(':') != std::string::npos;
  return (ipv6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

Bound bindOne(ConnectionFront& front, const std::string& address, int port,
              const std::function<void(httplib::Server&)>& setUp) {
  Listener listener{address,
                    std::make_unique<FrontedServer>(front),
                    std::make_shared<int>(-1),
                    {},
                    std::make_shared<std::atomic<bool>>(false)};
  setUp(*listener.server);
  listener.server->set_socket_options([socket = listener.socket](int fd) {
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    *socket = fd;
  });
  errno = 0;
  const int flags = AI_NUMERICHOST | AI_PASSIVE;
  const int got = port == 0 ? listener.server->bind_to_any_port(address, flags)
                            : (listener.server->bind_to_port(address, port, flags) ? port : -1);
  const int error = errno;
  if (got < 0) *listener.socket = -1;
  // The library's backlog is a few connections: a burst of clients would
  // wait a second for their connection to be taken again.
  if (got >= 0) ::listen(*listener.socket, listenBacklog);
  return Bound{std::move(listener), got, error};
}

void closeSocket(Listener& listener) {
  if (*listener.socket >= 0) ::close(*listener.socket);
  *listener.socket = -1;
}

std::string failure(const std::string& address, int port, int error) {
  return "Cannot listen on " + hostPort(address, port) +
         (error != 0 ? ": " + std::string(std::strerror(error)) : std::string()) + ".";
}

}  // namespace

std::variant<Listening, std::string> bindListeners(
    const ListenPlan& plan, const std::function<void(httplib::Server&)>& setUp) {
  for (int attempt = 1;; ++attempt) {
    auto front = std::make_unique<ConnectionFront>(frontLimits);
    Bound first = bindOne(*front, plan.addresses.front(), plan.port, setUp);
    if (first.port < 0) return failure(plan.addresses.front(), plan.port, first.error);
    Listening listening{std::move(front), {}, first.port, {}};
    listening.listeners.push_back(std::move(first.listener));
    if (plan.addresses.size() == 1) return listening;

    Bound second = bindOne(*listening.front, plan.addresses[1], listening.port, setUp);
    if (second.port >= 0) {
      listening.listeners.push_back(std::move(second.listener));
      return listening;
    }
    if (plan.port == 0 && second.error == EADDRINUSE && attempt < portAttempts) {
      closeUnstarted(listening);
      continue;
    }
    listening.notes.push_back(failure(plan.addresses[1], listening.port, second.error) +
                              " Going on with " + hostPort(plan.addresses.front(), listening.port) +
                              " alone.");
    return listening;
  }
}

void startListening(Listening& listening, const std::function<void()>& ended) {
  for (Listener& listener : listening.listeners) {
    httplib::Server* server = listener.server.get();
    listener.thread = std::thread([server, done = listener.ended, ended] {
      server->listen_after_bind();
      *done = true;
      ended();
    });
  }
  // stop() only takes effect on a server that runs.
  for (Listener& listener : listening.listeners)
    while (!listener.server->is_running() && !*listener.ended)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void stopListening(Listening& listening) {
  for (Listener& listener : listening.listeners) listener.server->stop();
  for (Listener& listener : listening.listeners)
    if (listener.thread.joinable()) listener.thread.join();
  listening.front->stop();
}

void closeUnstarted(Listening& listening) {
  for (Listener& listener : listening.listeners)
    if (!listener.thread.joinable()) closeSocket(listener);
}

}  // namespace camknob::http
