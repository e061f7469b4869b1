// The order of the checks: each request answered by the first it fails,
// whatever else is wrong with it.
#include <gtest/gtest.h>

#include "http/request_gate.h"

namespace camknob::http {
namespace {

const std::vector<std::string> accepted{"127.0.0.1:9734", "localhost:9734", "[::1]:9734"};
const std::string token(64, 'f');
const std::string key(64, 'd');
const std::vector<std::string> sessions{std::string(64, 'e')};

RequestHead head(std::string method, std::string path) {
  RequestHead request{};
  request.method = std::move(method);
  request.path = std::move(path);
  request.hosts = {"127.0.0.1:9734"};
  request.authorizations = {"Bearer " + token};
  return request;
}

RequestHead jsonPost(std::string path) {
  RequestHead request = head("POST", std::move(path));
  request.contentTypes = {"application/json"};
  request.contentLengths = {"2"};
  return request;
}

int statusOf(const RequestHead& request) {
  const auto passed = passGate(GateKeys{accepted, token, key, sessions}, request);
  if (const auto* rejection = std::get_if<Rejection>(&passed)) return rejection->status;
  return 200;
}

TEST(RequestGate, PassesAWellFormedRequestToItsRoute) {
  const auto passed =
      passGate(GateKeys{accepted, token, key, sessions}, jsonPost("/api/v1/commands"));
  ASSERT_TRUE(std::holds_alternative<const Route*>(passed));
  EXPECT_EQ(std::get<const Route*>(passed)->path, "/api/v1/commands");
  EXPECT_EQ(statusOf(head("GET", "/api/v1/cameras")), 200);
  EXPECT_EQ(statusOf(jsonPost("/api/v1/session/page")), 200);
}

TEST(RequestGate, AnswersByTheFirstCheckFailed) {
  struct Case {
    std::string what;
    RequestHead request;
    int status;
  };
  std::vector<Case> cases;
  const auto add = [&](std::string what, RequestHead request, int status) {
    cases.push_back({std::move(what), std::move(request), status});
  };
  RequestHead request = jsonPost("/api/v1/commands");
  request.hosts = {"evil.example:9734"};
  add("a foreign Host, even with the token", request, 403);
  request.authorizations = {};
  request.contentTypes = {"text/plain"};
  request.path = "/nowhere";
  add("a foreign Host before everything else", request, 403);
  request = jsonPost("/api/v1/commands");
  request.hosts = {};
  add("no Host", request, 403);
  request = jsonPost("/api/v1/commands");
  request.origins = {"http://evil.example"};
  add("a foreign Origin, even with the token", request, 403);
  request.authorizations = {};
  add("a foreign Origin before the token", request, 403);
  request = jsonPost("/api/v1/commands");
  request.authorizations = {};
  request.contentTypes = {"text/plain"};
  add("no token before the body's type", request, 401);
  request = head("GET", "/api/v1/unknown");
  request.authorizations = {};
  add("no token before an unknown route under /api/", request, 401);
  request = head("GET", "/api/v1/unknown");
  add("an unknown route with the token", request, 404);
  add("an unknown route outside /api/", head("GET", "/unknown"), 404);
  add("a path of another method", head("GET", "/api/v1/commands"), 405);
  add("POST to a GET route", jsonPost("/api/v1/cameras"), 405);
  add("OPTIONS, as a preflight", head("OPTIONS", "/api/v1/cameras"), 405);
  add("HEAD", head("HEAD", "/api/v1/cameras"), 405);
  request = jsonPost("/api/v1/commands");
  request.contentTypes = {"text/plain"};
  add("a text body", request, 415);
  request.contentTypes = {};
  add("a body without a type", request, 415);
  request = jsonPost("/api/v1/commands");
  request.contentEncodings = {"gzip"};
  add("a compressed body", request, 415);
  request = jsonPost("/api/v1/commands");
  request.transferEncodings = {"chunked"};
  add("a body without its length", request, 411);
  RequestHead page = head("GET", "/");
  page.authorizations = {};
  add("the page needs no token", page, 200);
  RequestHead login = head("GET", "/login");
  login.authorizations = {};
  add("the login needs no token", login, 200);
  login.hosts = {"evil.example:9734"};
  add("the login checks the Host", login, 403);
  RequestHead cookie = head("GET", "/api/v1/cameras");
  cookie.authorizations = {};
  cookie.cookies = {"camknob_session=" + sessions[0]};
  add("a session cookie", cookie, 200);
  RequestHead keyed = head("GET", "/api/v1/cameras");
  keyed.authorizations = {"Bearer " + key};
  add("the key", keyed, 200);
  keyed.hosts = {"evil.example:9734"};
  add("the key with a foreign Host", keyed, 403);
  RequestHead arrived = head("GET", "/api/v1/cameras");
  arrived.hosts = {"192.168.1.20:9734"};
  arrived.arrivedAs = {"192.168.1.20:9734"};
  add("the address the connection came to", arrived, 200);
  arrived.origins = {""};
  add("an empty Origin", arrived, 403);
  for (const Case& c : cases) EXPECT_EQ(statusOf(c.request), c.status) << c.what;
}

TEST(RequestGate, SaysWhatWentWrong) {
  RequestHead request = head("GET", "/api/v1/commands");
  const auto passed = passGate(GateKeys{accepted, token, key, sessions}, request);
  ASSERT_TRUE(std::holds_alternative<Rejection>(passed));
  EXPECT_EQ(std::get<Rejection>(passed).message, "This route does not take the method GET.");
  EXPECT_EQ(libraryStatusMessage(413), "The body is larger than 64 KiB.");
  EXPECT_EQ(libraryStatusMessage(418), "The request failed with the status 418.");
}

}  // namespace
}  // namespace camknob::http
