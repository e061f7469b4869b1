// camknobd-sim against a hostile client of the machine: bodies that unpack
// to far more than they weigh, connections that trickle their heads, heads
// too large and origins left empty. Each is refused before it costs the
// server memory or a thread, and the others are still answered.
#include <arpa/inet.h>
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
  ASSERT_GT(before, 0);
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

}  // namespace
}  // namespace camknob::testing
