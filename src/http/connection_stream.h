// One connection as the HTTP library reads and writes it while it answers a
// request (http/fronted_server.h): first the bytes the connection front read
// already, then the socket, each wait at most its timeout. The socket is
// non-blocking; nothing here closes it.
//
// The library's stream interface changed over its versions (Debian 12 has
// 0.11.4, whose stream waits in is_readable and is_writable; later ones wait
// in wait_readable and wait_writable and can scan buffered bytes): the class
// has the functions of both, and each version overrides those it declares.
#pragma once

#include <httplib.h>

#include <chrono>
#include <string>

namespace camknob::http {

struct StreamTimeouts {
  std::chrono::milliseconds read;
  std::chrono::milliseconds write;
};

class ConnectionStream final : public httplib::Stream {
 public:
  ConnectionStream(int socket, std::string pending, StreamTimeouts timeouts);

  // The bytes read and not yet used (the start of a next request).
  std::string takePending();

  ssize_t read(char* bytes, size_t size);
  ssize_t write(const char* bytes, size_t size);
  using httplib::Stream::write;

  // 0.11.4: waits for the socket up to the timeouts.
  bool is_readable() const;
  bool is_writable() const;
  // Later versions.
  bool wait_readable() const;
  bool wait_writable() const;
  bool is_peer_alive() const;
  time_t duration() const;
  const char* buffered_data(size_t& size) const;
  void consume_buffered(size_t size);

  void get_remote_ip_and_port(std::string& ip, int& port) const;
  void get_local_ip_and_port(std::string& ip, int& port) const;
  int socket() const;

 private:
  int socket_;
  std::string pending_;
  std::size_t used_ = 0;  // of pending_
  StreamTimeouts timeouts_;
  std::chrono::steady_clock::time_point started_;
};

// The address and port of either end of a socket, as the library gives them
// ("127.0.0.1", "::1"; an IPv4 address mapped into IPv6 as the IPv4 one).
void socketAddress(int socket, bool local, std::string& ip, int& port);

}  // namespace camknob::http
