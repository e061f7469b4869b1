// The connection front's view of a request's head: whole at its blank line,
// refused as soon as a line or the whole is over its limit, and the values of
// a header as they came.
#include <gtest/gtest.h>

#include "http/head_scan.h"

namespace camknob::http {
namespace {

std::string line(std::size_t length) {
  return std::string(length - 2, 'x') + "\r\n";
}

TEST(HeadScan, FindsTheEndOfTheHeadOrTheLimitItPassed) {
  const std::string request = "GET /api/v1/cameras HTTP/1.1\r\nHost: 127.0.0.1:9734\r\n";
  const std::string atLimit =
      "GET / HTTP/1.1\r\nA: " + std::string(maxHeadLineBytes - 5, 'a') + "\r\n";
  struct Case {
    std::string what;
    std::string bytes;
    HeadState state;
    std::size_t length;
  };
  const std::vector<Case> cases{
      {"nothing yet", "", HeadState::Partial, 0},
      {"part of the request line", "GET /api/v1/cam", HeadState::Partial, 0},
      {"headers without their end", request, HeadState::Partial, 0},
      {"half the blank line", request + "\r", HeadState::Partial, 0},
      {"a whole head", request + "\r\n", HeadState::Whole, request.size() + 2},
      {"a whole head and a body", request + "\r\n{}", HeadState::Whole, request.size() + 2},
      {"two heads: the first", request + "\r\n" + request + "\r\n", HeadState::Whole,
       request.size() + 2},
      {"a blank line before the request line", "\r\n" + request + "\r\n", HeadState::Whole,
       request.size() + 4},
      {"bare line feeds end nothing", "GET / HTTP/1.1\nHost: x\n\n", HeadState::Partial, 0},
      {"a header line at its limit", atLimit + "\r\n", HeadState::Whole, atLimit.size() + 2},
      {"a request line over its limit, unended", "GET /" + std::string(maxHeadLineBytes, 'a'),
       HeadState::TargetTooLong, 0},
      {"a request line over its limit", "GET /" + std::string(maxHeadLineBytes, 'a') + "\r\n\r\n",
       HeadState::TargetTooLong, 0},
      {"a header line over its limit, unended",
       "GET / HTTP/1.1\r\nCookie: " + std::string(maxHeadLineBytes, 'c'), HeadState::TooLarge, 0},
      {"a header line one over its limit",
       "GET / HTTP/1.1\r\nA: " + std::string(maxHeadLineBytes - 4, 'a') + "\r\n\r\n",
       HeadState::TooLarge, 0},
      {"many lines, each within, over the whole's limit, unended",
       "GET / HTTP/1.1\r\n" + line(1000) + line(1000) + std::string(maxHeadBytes, 'h'),
       HeadState::TooLarge, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const HeadScan scan = scanHead(c.bytes);
    EXPECT_EQ(scan.state, c.state);
    EXPECT_EQ(scan.length, c.length);
  }
}

TEST(HeadScan, TheWholeHeadHasALimitToo) {
  std::string lines;
  for (int count = 0; count < 16; ++count) lines += line(1000);
  const std::string requestLine = "GET / HTTP/1.1\r\n";
  const std::size_t rest = maxHeadBytes - requestLine.size() - lines.size() - 2;
  const std::string atLimit = requestLine + lines + line(rest) + "\r\n";
  ASSERT_EQ(atLimit.size(), maxHeadBytes);
  EXPECT_EQ(scanHead(atLimit).state, HeadState::Whole);
  EXPECT_EQ(scanHead(atLimit).length, maxHeadBytes);
  EXPECT_EQ(scanHead(requestLine + lines + line(rest + 1) + "\r\n").state, HeadState::TooLarge);
}

TEST(HeadScan, ReadsAHeadersValuesAsTheyCame) {
  const std::string head =
      "GET / HTTP/1.1\r\nHost: a\r\norigin:\r\nX-Origin: x\r\nORIGIN:  http://b \r\n"
      "Origin\r\nOrigin: \t\r\n\r\n";
  EXPECT_EQ(headerValuesIn(head, "Origin"), (std::vector<std::string>{"", "http://b", ""}));
  EXPECT_EQ(headerValuesIn(head, "Host"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(headerValuesIn(head, "Cookie"), (std::vector<std::string>{}));
  EXPECT_EQ(headerValuesIn("GET /Origin: x HTTP/1.1\r\n\r\n", "GET /Origin"),
            (std::vector<std::string>{}));
}

}  // namespace
}  // namespace camknob::http
