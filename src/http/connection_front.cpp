#include "http/connection_front.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "http/front_answer.h"
#include "http/head_scan.h"
#include "http/socket_send.h"

namespace camknob::http {

namespace {

// What is dropped of a closing connection's input at one look.
constexpr std::size_t dropChunk = 16 * 1024;

void makeNonBlocking(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

bool wouldBlock() {
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

int millisecondsUntil(std::chrono::steady_clock::time_point when) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(when - std::chrono::steady_clock::now());
  return static_cast<int>(std::clamp<long long>(left.count(), 0, 60'000));
}

}  // namespace

ConnectionFront::ConnectionFront(FrontLimits limits) : limits_(limits), workers_(limits.workers) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) throw std::runtime_error("cannot make the connection front's pipe");
  wakeRead_ = pipeEnds[0];
  wakeWrite_ = pipeEnds[1];
  makeNonBlocking(wakeRead_);
  makeNonBlocking(wakeWrite_);
  thread_ = std::thread([this] { run(); });
}

ConnectionFront::~ConnectionFront() {
  stop();
  ::close(wakeRead_);
  ::close(wakeWrite_);
}

void ConnectionFront::admit(int socket, const ConnectionServe& serve) {
  makeNonBlocking(socket);
  const int yes = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  const Clock::time_point now = Clock::now();
  {
    const std::lock_guard lock(mutex_);
    if (!stopping_) {
      incoming_.push_back(
          Entry{FrontConnection{socket, {}, 0, 0, &serve}, now, now + limits_.headPatience});
      socket = -1;
    }
  }
  if (socket >= 0) ::close(socket);
  wake();
}

void ConnectionFront::stop() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake();
  if (thread_.joinable()) thread_.join();
  workers_.shutdown();
}

std::size_t ConnectionFront::connectionCount() {
  const std::lock_guard lock(mutex_);
  return incoming_.size() + answering_ + waiting_;
}

void ConnectionFront::wake() {
  const char byte = 0;
  (void)!::write(wakeWrite_, &byte, 1);
}

void ConnectionFront::run() {
  std::vector<Entry> entries;
  std::vector<pollfd> watched;
  while (true) {
    bool stopping = false;
    {
      const std::lock_guard lock(mutex_);
      for (Entry& entry : incoming_) entries.push_back(std::move(entry));
      incoming_.clear();
      stopping = stopping_;
    }
    const Clock::time_point now = Clock::now();
    std::erase_if(entries, [&](Entry& entry) { return !review(entry, now, stopping); });
    keepWithin(entries);
    {
      const std::lock_guard lock(mutex_);
      waiting_ = entries.size();
      if (stopping && entries.empty() && incoming_.empty() && answering_ == 0) return;
    }

    watched.assign(1, pollfd{wakeRead_, POLLIN, 0});
    Clock::time_point nextDeadline = now + std::chrono::seconds(60);
    for (const Entry& entry : entries) {
      watched.push_back(pollfd{entry.connection.socket, POLLIN, 0});
      nextDeadline = std::min(nextDeadline, entry.deadline);
    }
    if (::poll(watched.data(), watched.size(), millisecondsUntil(nextDeadline)) < 0 &&
        errno != EINTR)
      continue;
    if (watched.front().revents != 0) {
      char drained[64];
      while (::read(wakeRead_, drained, sizeof drained) > 0) {
      }
    }
    for (std::size_t at = 0; at < entries.size(); ++at)
      if (watched[at + 1].revents != 0) receive(entries[at]);
  }
}

bool ConnectionFront::review(Entry& entry, Clock::time_point now, bool stopping) {
  if (entry.connection.socket < 0) return false;
  if (entry.closing) {
    if (now < entry.deadline) return true;
    ::close(entry.connection.socket);
    return false;
  }
  if (entry.fresh) {
    entry.fresh = false;
    const HeadScan scan = scanHead(entry.connection.pending);
    switch (scan.state) {
      case HeadState::Whole:
        entry.connection.headLength = scan.length;
        dispatch(entry);
        return false;
      case HeadState::TargetTooLong:
        refuse(entry, 414, now);
        return true;
      case HeadState::TooLarge:
        refuse(entry, 431, now);
        return true;
      case HeadState::Partial:
        break;
    }
  }
  if (entry.connection.pending.empty() && (stopping || now >= entry.deadline)) {
    ::close(entry.connection.socket);
    return false;
  }
  if (now >= entry.deadline) refuse(entry, 408, now);
  return true;
}

void ConnectionFront::receive(Entry& entry) {
  FrontConnection& connection = entry.connection;
  char bytes[dropChunk];
  const std::size_t room =
      entry.closing
          ? sizeof bytes
          : std::min(sizeof bytes,
                     maxHeadBytes + 1 - std::min(maxHeadBytes + 1, connection.pending.size()));
  if (room == 0) return;
  const ssize_t got = ::recv(connection.socket, bytes, room, 0);
  if (got > 0) {
    if (!entry.closing) {
      connection.pending.append(bytes, static_cast<std::size_t>(got));
      entry.fresh = true;
    }
    return;
  }
  if (got < 0 && wouldBlock()) return;
  // The client closed, or the connection failed: nothing more comes.
  ::close(connection.socket);
  connection.socket = -1;
}

void ConnectionFront::refuse(Entry& entry, int status, Clock::time_point now) {
  const std::string answer = frontAnswer(status);
  (void)::send(entry.connection.socket, answer.data(), answer.size(), sendFlags);
  closeGently(entry, now);
}

void ConnectionFront::closeGently(Entry& entry, Clock::time_point now) {
  ::shutdown(entry.connection.socket, SHUT_WR);
  entry.connection.pending.clear();
  entry.closing = true;
  entry.deadline = now + limits_.lingerFor;
}

void ConnectionFront::dispatch(Entry& entry) {
  {
    const std::lock_guard lock(mutex_);
    ++answering_;
  }
  workers_.enqueue([this, connection = std::move(entry.connection)]() mutable {
    bool last = false;
    {
      const std::lock_guard lock(mutex_);
      last = stopping_;
    }
    AfterAnswer after = AfterAnswer::Close;
    try {
      after = (*connection.serve)(connection, last);
    } catch (...) {
    }
    finish(std::move(connection), after);
  });
  entry.connection.socket = -1;
}

void ConnectionFront::finish(FrontConnection connection, AfterAnswer after) {
  const Clock::time_point now = Clock::now();
  Entry entry{std::move(connection), now, now + limits_.headPatience};
  entry.fresh = !entry.connection.pending.empty();
  {
    const std::lock_guard lock(mutex_);
    if (after == AfterAnswer::Close || stopping_) closeGently(entry, now);
    incoming_.push_back(std::move(entry));
    --answering_;
  }
  wake();
}

void ConnectionFront::keepWithin(std::vector<Entry>& entries) {
  if (entries.size() <= limits_.maxConnections) return;
  // Those closing first, then those that have waited longest.
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.closing != b.closing ? a.closing : a.since < b.since;
  });
  for (std::size_t at = 0; at < entries.size() - limits_.maxConnections; ++at)
    ::close(entries[at].connection.socket);
  entries.erase(entries.begin(),
                entries.begin() + static_cast<long>(entries.size() - limits_.maxConnections));
}

}  // namespace camknob::http
