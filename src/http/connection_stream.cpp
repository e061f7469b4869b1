#include "http/connection_stream.h"
#include "http/socket_send.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace camknob::http {

namespace {

bool waitFor(int socket, short events, std::chrono::milliseconds patience) {
  pollfd watched{socket, events, 0};
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const int ready = ::poll(&watched, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

}  // namespace

void socketAddress(int socket, bool local, std::string& ip, int& port) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  auto* any = reinterpret_cast<sockaddr*>(&address);
  if ((local ? ::getsockname(socket, any, &length) : ::getpeername(socket, any, &length)) != 0)
    return;
  std::array<char, INET6_ADDRSTRLEN> text{};
  if (address.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
    ::inet_ntop(AF_INET, &v4->sin_addr, text.data(), text.size());
    port = ntohs(v4->sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
    if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr))
      ::inet_ntop(AF_INET, &v6->sin6_addr.s6_addr[12], text.data(), text.size());
    else
      ::inet_ntop(AF_INET6, &v6->sin6_addr, text.data(), text.size());
    port = ntohs(v6->sin6_port);
  }
  ip = text.data();
}

ConnectionStream::ConnectionStream(int socket, std::string pending, StreamTimeouts timeouts)
    : socket_(socket),
      pending_(std::move(pending)),
      timeouts_(timeouts),
      started_(std::chrono::steady_clock::now()) {}

std::string ConnectionStream::takePending() {
  std::string rest = pending_.substr(used_);
  pending_.clear();
  used_ = 0;
  return rest;
}

ssize_t ConnectionStream::read(char* bytes, size_t size) {
  if (used_ < pending_.size()) {
    const std::size_t take = std::min(size, pending_.size() - used_);
    std::memcpy(bytes, pending_.data() + used_, take);
    used_ += take;
    return static_cast<ssize_t>(take);
  }
  while (true) {
    if (!wait_readable()) return -1;
    const ssize_t got = ::recv(socket_, bytes, size, 0);
    if (got >= 0) return got;
    if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
  }
}

ssize_t ConnectionStream::write(const char* bytes, size_t size) {
  while (true) {
    if (!wait_writable()) return -1;
    const ssize_t sent = ::send(socket_, bytes, size, sendFlags);
    if (sent >= 0) return sent;
    if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
  }
}

bool ConnectionStream::is_readable() const {
  return used_ < pending_.size() || wait_readable();
}

bool ConnectionStream::is_writable() const {
  return wait_writable() && is_peer_alive();
}

bool ConnectionStream::wait_readable() const {
  return used_ < pending_.size() || waitFor(socket_, POLLIN, timeouts_.read);
}

bool ConnectionStream::wait_writable() const {
  return waitFor(socket_, POLLOUT, timeouts_.write);
}

bool ConnectionStream::is_peer_alive() const {
  if (!waitFor(socket_, POLLIN, std::chrono::milliseconds(0))) return true;
  char byte = 0;
  const ssize_t got = ::recv(socket_, &byte, 1, MSG_PEEK);
  return got > 0 || (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
}

time_t ConnectionStream::duration() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               started_)
      .count();
}

const char* ConnectionStream::buffered_data(size_t& size) const {
  size = pending_.size() - used_;
  return size == 0 ? nullptr : pending_.data() + used_;
}

void ConnectionStream::consume_buffered(size_t size) {
  used_ += std::min(size, pending_.size() - used_);
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  socketAddress(socket_, false, ip, port);
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
  socketAddress(socket_, true, ip, port);
}

int ConnectionStream::socket() const {
  return socket_;
}

}  // namespace camknob::http
