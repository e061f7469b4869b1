// The connection front in-process, over socket pairs and with short times:
// a request is served once its head is whole and the connection comes back
// for the next; a head too slow or too large is answered by the front; the
// oldest waiting connections make room for new ones; and a stop closes what
// waits with nothing.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "http/connection_front.h"

namespace camknob::http {
namespace {

using namespace std::chrono_literals;

constexpr FrontLimits testLimits{300ms, 100ms, 3, TaskQueueLimits{4, 1, 1s}};

// The client's end of a connection the front was given.
struct Peer {
  int socket;
};

Peer connectTo(ConnectionFront& front, const ConnectionServe& serve) {
  int ends[2];
  EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
  front.admit(ends[1], serve);
  return Peer{ends[0]};
}

void send(const Peer& peer, const std::string& text) {
  ASSERT_EQ(::send(peer.socket, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
}

// What the front sends until it closes, within `patience`; "(open)" at the
// end when it did not close.
std::string received(const Peer& peer, std::chrono::milliseconds patience) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd watched{peer.socket, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&watched, 1, static_cast<int>(left.count())) <= 0)
      return text + "(open)";
    char bytes[4096];
    const ssize_t got = ::recv(peer.socket, bytes, sizeof bytes, 0);
    if (got <= 0) return text;
    text.append(bytes, static_cast<std::size_t>(got));
  }
}

// A serve that answers "ANSWER n" with the head it saw, and keeps the
// connection open as told.
struct Recorder {
  std::mutex mutex;
  std::vector<std::string> heads;
  std::atomic<AfterAnswer> after{AfterAnswer::KeepOpen};
  ConnectionServe serve = [this](FrontConnection& connection, bool) {
    const std::string head = connection.pending.substr(0, connection.headLength);
    connection.pending.erase(0, connection.headLength);
    std::size_t count = 0;
    {
      const std::lock_guard lock(mutex);
      heads.push_back(head);
      count = heads.size();
    }
    const std::string answer = "ANSWER " + std::to_string(count) + "\n";
    (void)::send(connection.socket, answer.data(), answer.size(), 0);
    return after.load();
  };
};

const std::string request = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";

TEST(ConnectionFront, ServesEachWholeHeadAndTakesTheConnectionBack) {
  Recorder recorder;
  ConnectionFront front(FrontLimits{3s, 100ms, 3, TaskQueueLimits{4, 1, 1s}});
  const Peer peer = connectTo(front, recorder.serve);
  send(peer, request.substr(0, 10));
  EXPECT_EQ(received(peer, 100ms), "(open)") << "served before its head was whole";
  send(peer, request.substr(10) + request.substr(0, 5));
  EXPECT_EQ(received(peer, 1s), "ANSWER 1\n(open)");
  send(peer, request.substr(5) + request);  // the rest of one, and one more at once
  EXPECT_EQ(received(peer, 1s), "ANSWER 2\nANSWER 3\n(open)");
  {
    const std::lock_guard lock(recorder.mutex);
    EXPECT_EQ(recorder.heads, std::vector<std::string>(3, request));
  }
  recorder.after = AfterAnswer::Close;
  send(peer, request);
  EXPECT_EQ(received(peer, 1s), "ANSWER 4\n") << "closed after the answer";
  ::close(peer.socket);
}

TEST(ConnectionFront, AnswersAHeadTooSlowOrTooLargeItself) {
  Recorder recorder;
  ConnectionFront front(testLimits);
  const Peer slow = connectTo(front, recorder.serve);
  const Peer silent = connectTo(front, recorder.serve);
  const Peer large = connectTo(front, recorder.serve);
  send(slow, "GET / HTTP/1.1\r\n");
  send(large, "GET / HTTP/1.1\r\nCookie: " + std::string(20'000, 'c'));
  const std::string tooLarge = received(large, 1s);
  EXPECT_EQ(tooLarge.rfind("HTTP/1.1 431 Request Header Fields Too Large\r\n", 0), 0u) << tooLarge;
  EXPECT_EQ(tooLarge.find("(open)"), std::string::npos);
  const auto started = std::chrono::steady_clock::now();
  const std::string timedOut = received(slow, 2s);
  EXPECT_EQ(timedOut.rfind("HTTP/1.1 408 Request Timeout\r\n", 0), 0u) << timedOut;
  EXPECT_NE(timedOut.find("\r\nConnection: close\r\n"), std::string::npos);
  EXPECT_EQ(timedOut.find("(open)"), std::string::npos);
  EXPECT_EQ(received(silent, 2s), "") << "closed without an answer";
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
  const std::lock_guard lock(recorder.mutex);
  EXPECT_TRUE(recorder.heads.empty());
  for (const Peer& peer : {slow, silent, large}) ::close(peer.socket);
}

TEST(ConnectionFront, ClosesThoseWaitingLongestBeyondItsLimit) {
  Recorder recorder;
  ConnectionFront front(FrontLimits{5s, 100ms, 3, TaskQueueLimits{4, 1, 1s}});
  std::vector<Peer> peers;
  for (int count = 0; count < 5; ++count) {
    peers.push_back(connectTo(front, recorder.serve));
    std::this_thread::sleep_for(20ms);  // in this order
  }
  EXPECT_EQ(received(peers[0], 1s), "");
  EXPECT_EQ(received(peers[1], 1s), "");
  for (int at = 2; at < 5; ++at) {
    send(peers[at], request);
    EXPECT_EQ(received(peers[at], 1s), "ANSWER " + std::to_string(at - 1) + "\n(open)");
  }
  for (const Peer& peer : peers) ::close(peer.socket);
}

TEST(ConnectionFront, AStopClosesWhatWaitsWithNothingAndFinishesAHeadUnderWay) {
  Recorder recorder;
  auto front = std::make_unique<ConnectionFront>(FrontLimits{2s, 100ms, 8, {4, 1, 1s}});
  const Peer idle = connectTo(*front, recorder.serve);
  const Peer underWay = connectTo(*front, recorder.serve);
  send(underWay, request.substr(0, 10));
  std::this_thread::sleep_for(50ms);
  std::thread stopping([&front] { front->stop(); });
  EXPECT_EQ(received(idle, 1s), "");
  send(underWay, request.substr(10));
  EXPECT_EQ(received(underWay, 1s), "ANSWER 1\n") << "answered, then closed";
  stopping.join();
  EXPECT_EQ(front->connectionCount(), 0u);
  // Nothing is taken once stopped.
  const Peer late = connectTo(*front, recorder.serve);
  EXPECT_EQ(received(late, 1s), "");
  for (const Peer& peer : {idle, underWay, late}) ::close(peer.socket);
}

}  // namespace
}  // namespace camknob::http
