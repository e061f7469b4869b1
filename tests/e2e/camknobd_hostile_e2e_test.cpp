// camknobd-sim against a hostile client of the machine: bodies that unpack
// to far more than they weigh, connections that trickle their heads, heads
// too large and origins left empty. Each is refused before it costs the
// server memory or a thread, and the others are still answered.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "e2e/camknobd_fixture.h"

namespace camknob::testing {
namespace {

using Clock = std::chrono::steady_clock;

constexpr long mebibyte = 1024 * 1024;

#if defined(MSG_NOSIGNAL)
constexpr int noSignal = MSG_NOSIGNAL;
#else
constexpr int noSignal = 0;  // SIGPIPE is ignored by the test process
#endif

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
#else
constexpr bool sanitized = false;
#endif

// A field of /proc/PID/status in bytes ("VmRSS", "VmHWM"); -1 when absent.
long statusBytes(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1)) * 1024;
  return -1;
}

// `zeros` zero bytes compressed by zlib: in the gzip format, or the zlib one
// that "deflate" names.
std::string compressedZeros(std::size_t zeros, bool gzip) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, gzip ? 15 + 16 : 15, 9,
                         Z_DEFAULT_STRATEGY),
            Z_OK);
  const std::string block(1 << 20, '\0');
  std::string packed;
  char out[1 << 16];
  for (std::size_t left = zeros; left > 0 || stream.avail_in > 0;) {
    if (stream.avail_in == 0) {
      const std::size_t take = std::min(left, block.size());
      stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(block.data()));
      stream.avail_in = static_cast<uInt>(take);
      left -= take;
    }
    stream.next_out = reinterpret_cast<Bytef*>(out);
    stream.avail_out = sizeof out;
    deflate(&stream, Z_NO_FLUSH);
    packed.append(out, sizeof out - stream.avail_out);
  }
  int state = Z_OK;
  while (state != Z_STREAM_END) {
    stream.next_out = reinterpret_cast<Bytef*>(out);
    stream.avail_out = sizeof out;
    state = deflate(&stream, Z_FINISH);
    packed.append(out, sizeof out - stream.avail_out);
  }
  deflateEnd(&stream);
  return packed;
}

class CamknobdHostile : public Camknobd {};

TEST_F(CamknobdHostile, RefusesCompressedBodiesBeforeUnpackingThem) {
  launch();
  const std::string gzipBomb = compressedZeros(64 * mebibyte, true);
  const std::string deflateBomb = compressedZeros(64 * mebibyte, false);
  // Each within the 64 KiB a body may have, so only its coding refuses it.
  ASSERT_LE(gzipBomb.size(), 64u * 1024);
  ASSERT_LE(deflateBomb.size(), 64u * 1024);
  const long before = statusBytes(daemon.pid, "VmHWM");
  if (before < 0) GTEST_SKIP() << "no /proc to read the resident memory from";
  // The bound the brief sets; a sanitizer's shadow memory comes on top.
  const long bound = sanitized ? before + 30 * mebibyte : 30 * mebibyte;

  struct Case {
    std::string what;
    httplib::Headers headers;
    const std::string* body;
    int status;
  };
  const std::vector<Case> cases{
      {"gzip with the token", withToken({{"Content-Encoding", "gzip"}}), &gzipBomb, 415},
      {"gzip without the token", {{"Content-Encoding", "gzip"}}, &gzipBomb, 401},
      {"deflate with the token", withToken({{"Content-Encoding", "deflate"}}), &deflateBomb, 415},
      {"deflate without the token", {{"Content-Encoding", "deflate"}}, &deflateBomb, 401},
      {"gzip from another host",
       withToken({{"Content-Encoding", "gzip"}, {"Host", "evil.example"}}), &gzipBomb, 403},
      {"gzip, named in capitals", withToken({{"Content-Encoding", "GZIP"}}), &gzipBomb, 415},
  };
  for (int round = 0; round < 2; ++round) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      const auto answer = post("/api/v1/commands", c.headers, *c.body);
      if (answer) errorOf(answer, c.status);  // else: refused before it was sent whole
      EXPECT_LT(statusBytes(daemon.pid, "VmRSS"), bound);
    }
  }
  const long peak = statusBytes(daemon.pid, "VmHWM");
  std::cout << "resident memory: " << before / 1024 << " KiB at start, at most " << peak / 1024
            << " KiB through " << 2 * cases.size() << " compressed bodies of 64 MiB each\n";
  EXPECT_LT(peak, bound);
  expectCameras(get("/api/v1/cameras", withToken()));
}

// Whether the server closed the connection, reading what it sent before.
bool closedNow(int socket) {
  char bytes[4096];
  while (true) {
    const ssize_t got = ::recv(socket, bytes, sizeof bytes, MSG_DONTWAIT);
    if (got == 0) return true;
    if (got < 0) return errno != EAGAIN && errno != EWOULDBLOCK;
  }
}

// A place of a slow client: a connection that sends its head one byte a
// second, opened again whenever the server closes it. Its connecting does
// not wait, so no place holds up the others.
struct SlowPlace {
  int socket = -1;
  bool headSent = false;
  int opened = 0;
};

int connectWithoutWaiting(int port) {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socket < 0) return -1;
  ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
  ::fcntl(socket, F_SETFD, FD_CLOEXEC);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
      errno != EINPROGRESS) {
    ::close(socket);
    return -1;
  }
  return socket;
}

// One step of a place: true when its head has been sent. It opens a
// connection only while `mayOpen` allows, which it counts down: a few at a
// time, so that no burst overflows the server's queue of connections to take.
bool stepSlowPlace(SlowPlace& place, int port, const std::string& partial, int& mayOpen) {
  if (place.socket >= 0 && place.headSent && closedNow(place.socket)) {
    ::close(place.socket);
    place = SlowPlace{-1, false, place.opened};
  }
  if (place.socket < 0) {
    if (mayOpen <= 0) return false;
    --mayOpen;
    place.socket = connectWithoutWaiting(port);
    if (place.socket >= 0) ++place.opened;
    return false;
  }
  if (!place.headSent) {
    // Sent once the connection is made, whole (it is far below the buffer).
    place.headSent = ::send(place.socket, partial.data(), partial.size(), noSignal) ==
                     static_cast<ssize_t>(partial.size());
    return place.headSent;
  }
  (void)::send(place.socket, "x", 1, noSignal);
  return true;
}

TEST_F(CamknobdHostile, SlowHeadsWithoutTheTokenDoNotKeepOthersWaiting) {
  launch();
  constexpr int slowCount = 200;
  const std::string partial = "GET /api/v1/cameras HTTP/1.1\r\nHost: " + host + "\r\nX-Slow: ";
  std::vector<SlowPlace> places(slowCount);
  const int descriptorsBefore = openDescriptors(daemon.pid);
  // Every place kept open and trickling, for 15 s at most.
  std::atomic<bool> done = false;
  std::atomic<int> trickling = 0;  // places whose head is under way, at the last step
  std::atomic<int> rounds = 0;
  std::thread trickle([&] {
    const auto end = Clock::now() + 20s;
    while (!done && Clock::now() < end) {
      int sending = 0;
      int mayOpen = 5;
      for (SlowPlace& place : places)
        sending += stepSlowPlace(place, port, partial, mayOpen) ? 1 : 0;
      trickling = sending;
      ++rounds;
      // Quick steps until every head is under way, then one a second.
      const int steps = rounds < 500 && sending < slowCount ? 1 : 50;
      for (int step = 0; step < steps && !done; ++step) std::this_thread::sleep_for(20ms);
    }
  });
  const auto waitedFrom = Clock::now();
  while (trickling < slowCount && Clock::now() - waitedFrom < 5s) std::this_thread::sleep_for(20ms);
  // A connection the client sees made may still wait for the server to take
  // it: until the server holds them all.
  // (Where the server's descriptors cannot be counted, the test goes on.)
  while (descriptorsBefore >= 0 && openDescriptors(daemon.pid) < descriptorsBefore + slowCount &&
         Clock::now() - waitedFrom < 10s)
    std::this_thread::sleep_for(20ms);
  ASSERT_EQ(trickling, slowCount) << "the slow connections could not all be opened";
  if (descriptorsBefore >= 0) {
    ASSERT_GE(openDescriptors(daemon.pid), descriptorsBefore + slowCount);
  }

  // Requests with the token, while the slow ones stay open: each answered
  // within a second.
  httplib::Client probe("127.0.0.1", port);
  probe.set_connection_timeout(2, 0);
  probe.set_read_timeout(2, 0);
  Clock::duration slowest{};
  bool answered = true;
  for (int count = 0; count < 8 && answered; ++count) {
    SCOPED_TRACE(count);
    const auto asked = Clock::now();
    const auto answer = probe.Get("/api/v1/cameras", withToken());
    const auto took = Clock::now() - asked;
    slowest = std::max(slowest, took);
    answered = static_cast<bool>(answer);
    EXPECT_TRUE(answered) << "no answer with " << trickling << " slow connections open";
    if (answer) {
      EXPECT_EQ(answer->status, 200);
    }
    EXPECT_LT(took, 1s);
    std::this_thread::sleep_for(1s);
  }
  const int stillTrickling = trickling;
  done = true;
  trickle.join();
  int opened = 0;
  for (SlowPlace& place : places) {
    opened += place.opened;
    if (place.socket >= 0) ::close(place.socket);
  }
  std::cout << "with " << stillTrickling << " slow connections open, the slowest of 8 answers took "
            << std::chrono::duration_cast<std::chrono::microseconds>(slowest).count() / 1000.0
            << " ms; " << opened << " slow connections opened in " << rounds << " rounds\n";
  // Each slow head was cut off after its time: every place was opened again.
  EXPECT_GE(opened, 2 * slowCount);
}

TEST_F(CamknobdHostile, AHeadThatDoesNotComeWholeInTimeIsAnswered408AndClosed) {
  launch();
  struct Case {
    std::string what;
    std::string first;  // sent at once
    std::string drip;   // then a byte of it every 400 ms
    bool answered;      // 408, else closed without an answer
  };
  const std::vector<Case> cases{
      {"nothing sent", "", "", false},
      {"a stalled head", "GET /api/v1/cameras HTTP/1.1\r\nHost: " + host + "\r\n", "", true},
      {"a head dripping in", "GET /api/v1/cameras HTTP/1.1\r\n",
       "Host: " + host + "\r\nAuthorization: Bearer " + token + "\r\n", true},
  };
  struct Outcome {
    std::string received;
    Clock::duration lived{};
    bool closed = false;
  };
  std::vector<Outcome> outcomes(cases.size());
  std::vector<std::thread> runs;
  for (std::size_t at = 0; at < cases.size(); ++at)
    runs.emplace_back([&, at] {
      const Case& c = cases[at];
      Outcome& outcome = outcomes[at];
      const int socket = connectTo(port);
      if (socket < 0) return;
      const auto opened = Clock::now();
      sendText(socket, c.first);
      for (std::size_t next = 0; !outcome.closed && Clock::now() - opened < 10s;) {
        if (next < c.drip.size()) (void)::send(socket, &c.drip[next++], 1, noSignal);
        const std::string got = receiveUntil(socket, std::string(1, '\0'), 400ms);
        outcome.received += got;
        outcome.closed = closedNow(socket);
      }
      outcome.lived = Clock::now() - opened;
      ::close(socket);
    });
  for (std::thread& run : runs) run.join();
  for (std::size_t at = 0; at < cases.size(); ++at) {
    SCOPED_TRACE(cases[at].what);
    const Outcome& outcome = outcomes[at];
    const double seconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(outcome.lived).count() / 1000.0;
    std::cout << cases[at].what << ": closed after " << seconds << " s\n";
    EXPECT_TRUE(outcome.closed);
    EXPECT_GE(seconds, 4.0);
    EXPECT_LT(seconds, 8.0);
    if (!cases[at].answered) {
      EXPECT_EQ(outcome.received, "");
      continue;
    }
    EXPECT_EQ(outcome.received.rfind("HTTP/1.1 408 Request Timeout\r\n", 0), 0u)
        << outcome.received;
    EXPECT_NE(outcome.received.find("\r\nConnection: close\r\n"), std::string::npos);
    EXPECT_NE(outcome.received.find("\r\nCache-Control: no-store\r\n"), std::string::npos);
    const std::size_t body = outcome.received.find("\r\n\r\n");
    ASSERT_NE(body, std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(outcome.received.substr(body + 4)),
              (nlohmann::json{{"error", "The request's head did not come whole in time."},
                              {"ok", false}}));
  }
  expectCameras(get("/api/v1/cameras", withToken()));
}

// The answer to a request sent whole on a new connection, to the end.
std::string answerTo(int port, const std::string& request) {
  const int socket = connectTo(port);
  if (socket < 0) return {};
  sendText(socket, request);
  const std::string answer = receiveUntil(socket, std::string(1, '\0'), 10s);
  ::close(socket);
  return answer;
}

nlohmann::json bodyOf(const std::string& answer) {
  const std::size_t body = answer.find("\r\n\r\n");
  if (body == std::string::npos) return nullptr;
  return nlohmann::json::parse(answer.substr(body + 4), nullptr, false);
}

TEST_F(CamknobdHostile, AHeadOverItsLimitIsAnswered431AndATargetOverItsLimit414) {
  launch();
  const std::string start = "GET /api/v1/cameras HTTP/1.1\r\nHost: " + host +
                            "\r\nAuthorization: Bearer " + token + "\r\n";
  std::string manyHeaders;
  for (int count = 0; count < 400; ++count)
    manyHeaders += "X-Header-" + std::to_string(count) + ": " + std::string(40, 'v') + "\r\n";
  struct Case {
    std::string what;
    std::string request;
    int status;
    std::string message;
  };
  const std::string tooLarge = "The request's headers are too large.";
  const std::vector<Case> cases{
      {"one header line over 8 KiB", start + "Cookie: a=" + std::string(9000, 'c') + "\r\n\r\n",
       431, tooLarge},
      {"a head over 16 KiB of short lines", start + manyHeaders + "\r\n", 431, tooLarge},
      {"a head over 16 KiB without its end", start + manyHeaders, 431, tooLarge},
      {"a target over 8 KiB",
       "GET /api/v1/cameras?" + std::string(9000, 'q') + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n",
       414, "The request's target is too long."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string answer = answerTo(port, c.request);
    EXPECT_EQ(answer.rfind("HTTP/1.1 " + std::to_string(c.status) + " ", 0), 0u)
        << answer.substr(0, 200);
    EXPECT_NE(answer.find("\r\nConnection: close\r\n"), std::string::npos);
    EXPECT_EQ(bodyOf(answer), (nlohmann::json{{"error", c.message}, {"ok", false}}));
  }
  // A head just within the limits is read.
  const std::string within = start + "Cookie: a=" + std::string(8000, 'c') + "\r\n\r\n";
  const std::string answer =
      answerTo(port, within.substr(0, within.size() - 2) + "Connection: close\r\n\r\n");
  EXPECT_EQ(answer.rfind("HTTP/1.1 200 ", 0), 0u) << answer.substr(0, 200);
  EXPECT_EQ(bodyOf(answer), listedCameras());
}

TEST_F(CamknobdHostile, AnEmptyOriginIsAForeignOne) {
  launch();
  for (const std::string& origin : {std::string("Origin:"), std::string("Origin: "),
                                    std::string("origin:\t"), std::string("Origin: \r\nOrigin:")}) {
    SCOPED_TRACE(origin);
    const std::string answer = answerTo(port, "GET /api/v1/cameras HTTP/1.1\r\nHost: " + host +
                                                  "\r\nAuthorization: Bearer " + token + "\r\n" +
                                                  origin + "\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(answer.rfind("HTTP/1.1 403 ", 0), 0u) << answer.substr(0, 200);
    EXPECT_EQ(
        bodyOf(answer),
        (nlohmann::json{{"error", "Requests from another origin are refused."}, {"ok", false}}));
  }
  // The page's own origin still passes.
  const std::string own = answerTo(
      port, "GET /api/v1/cameras HTTP/1.1\r\nHost: " + host + "\r\nAuthorization: Bearer " + token +
                "\r\nOrigin: http://" + host + "\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(bodyOf(own), listedCameras());
}

}  // namespace
}  // namespace camknob::testing
