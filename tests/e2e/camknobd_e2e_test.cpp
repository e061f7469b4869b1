// camknobd-sim as a process, over a copy of the demo fixture: its start line
// and token file, every check a request passes before it reaches the engine,
// the login, the event stream, and its end on a signal. The tests lean on
// the engine for the cameras' list only; the fixture must be unchanged by
// all of it, byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "e2e/camknobd_fixture.h"
#include "e2e/daemon_process.h"
#include "e2e/run_process.h"

namespace camknob::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

TEST_F(Camknobd, PrintsItsStartLineAndKeepsTheTokenForTheUserAlone) {
  launch();
  EXPECT_EQ(daemon.outText.find('\n'), daemon.outText.size() - 1) << "one line, then nothing";
  EXPECT_EQ(start.size(), 3u);
  EXPECT_TRUE(std::regex_match(std::string(start.at("url")),
                               std::regex("http://127\\.0\\.0\\.1:[1-9][0-9]*")));
  EXPECT_TRUE(
      std::regex_match(std::string(start.at("page")),
                       std::regex(std::string(start.at("url")) + "/login\\?code=[0-9a-f]{64}")));
  EXPECT_EQ(start.at("tokenFile"), tokenPath);
  EXPECT_TRUE(std::regex_match(token, std::regex("[0-9a-f]{64}"))) << token;
  EXPECT_EQ(modeOf(tokenPath), 0600u);
  EXPECT_EQ(modeOf(tokenFolder), 0700u);
  expectCameras(get("/api/v1/cameras", withToken()));

  const DaemonEnd end = endDaemon(daemon, SIGTERM, 10s);
  EXPECT_EQ(end.exitStatus, 0);
  EXPECT_EQ(end.err, "");
  EXPECT_EQ(end.out, daemon.outText.substr(0, daemon.outText.find('\n') + 1));
  EXPECT_FALSE(std::filesystem::exists(tokenPath));
}

TEST_F(Camknobd, RefusesRequestsWithoutTheTokenOrASession) {
  launch();
  const std::vector<std::pair<std::string, httplib::Headers>> cases{
      {"no credentials", {}},
      {"a wrong token", {{"Authorization", "Bearer " + std::string(64, '0')}}},
      {"the token cut short", {{"Authorization", "Bearer " + token.substr(0, 63)}}},
      {"the token under another scheme", {{"Authorization", "Basic " + token}}},
      {"the token bare", {{"Authorization", token}}},
      {"the token as a cookie", {{"Cookie", "camknob_session=" + token}}},
      {"a made-up session", {{"Cookie", "camknob_session=" + std::string(64, 'a')}}},
  };
  for (const auto& [what, headers] : cases) {
    SCOPED_TRACE(what);
    EXPECT_EQ(errorOf(get("/api/v1/cameras", headers), 401),
              "This needs the token or the key (Authorization: Bearer SECRET) or the session of "
              "a login.");
    errorOf(post("/api/v1/commands", headers, R"({"command":"list"})"), 401);
    errorOf(get("/api/v1/unknown", headers), 401);
  }
  errorOf(get("/api/v1/cameras?token=" + token, {}), 401);
}

TEST_F(Camknobd, RefusesAHostOfAnotherNameEvenWithTheToken) {
  launch();
  const std::string otherPort = "127.0.0.1:" + std::to_string(port == 65535 ? 1 : port + 1);
  for (const std::string& name : {std::string("evil.example:") + std::to_string(port),
                                  "localhost.evil.example:" + std::to_string(port), otherPort,
                                  std::string("127.0.0.1"), std::string("")}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(errorOf(get("/api/v1/cameras", withToken({{"Host", name}})), 403),
              "The Host header does not name this server.");
    errorOf(get("/login?code=" + codeOf(start.at("page")), {{"Host", name}}), 403);
    errorOf(get("/", {{"Host", name}}), 403);
  }
  expectCameras(get("/api/v1/cameras", withToken({{"Host", "localhost:" + std::to_string(port)}})));

  // Without any Host, as HTTP/1.0 allows.
  const int socket = connectTo(port);
  ASSERT_GE(socket, 0);
  sendText(socket, "GET /api/v1/cameras HTTP/1.0\r\nAuthorization: Bearer " + token + "\r\n\r\n");
  const std::string answer = receiveUntil(socket, "}", 10s);
  ::close(socket);
  EXPECT_EQ(answer.rfind("HTTP/1.1 403", 0), 0u) << answer;
}

TEST_F(Camknobd, RefusesOtherOriginsAndSendsNoCorsHeaders) {
  launch();
  for (const std::string& origin :
       {std::string("http://evil.example"), std::string("null"), "https://" + host,
        "http://" + host + ".evil.example", "http://localhost:" + std::to_string(port + 1)}) {
    SCOPED_TRACE(origin);
    EXPECT_EQ(errorOf(get("/api/v1/cameras", withToken({{"Origin", origin}})), 403),
              "Requests from another origin are refused.");
    errorOf(post("/api/v1/commands", withToken({{"Origin", origin}}), R"({"command":"list"})"),
            403);
  }
  expectCameras(get("/api/v1/cameras", withToken({{"Origin", "http://" + host}})));

  const auto preflight = client().Options(
      "/api/v1/commands",
      withToken({{"Origin", "http://evil.example"}, {"Access-Control-Request-Method", "POST"}}));
  errorOf(preflight, 403);
  errorOf(client().Options("/api/v1/commands", withToken()), 405);
  errorOf(client().Options("/api/v1/commands", {}), 401);
}

TEST_F(Camknobd, ChecksTheRouteThenTheBody) {
  launch();
  EXPECT_EQ(errorOf(get("/api/v1/nothing", withToken()), 404), "There is no such route.");
  errorOf(get("/nothing", {}), 404);
  EXPECT_EQ(errorOf(get("/api/v1/commands", withToken()), 405),
            "This route does not take the method GET.");
  errorOf(post("/api/v1/cameras", withToken(), "{}"), 405);
  errorOf(client().Delete("/api/v1/profiles", withToken()), 405);

  EXPECT_EQ(
      errorOf(post("/api/v1/commands", withToken(), R"({"command":"list"})", "text/plain"), 415),
      "The body must be of type application/json.");
  errorOf(
      post("/api/v1/commands", withToken(), "command=list", "application/x-www-form-urlencoded"),
      415);
  errorOf(post("/api/v1/commands", withToken(), "{}", ""), 415);

  const std::string big = R"({"command":"list","device":")" + std::string(65 * 1024, 'x') + "\"}";
  EXPECT_EQ(errorOf(post("/api/v1/commands", withToken(), big), 413),
            "The body is larger than 64 KiB.");
  errorOf(post("/api/v1/commands", {}, big), 401);
  errorOf(post("/api/v1/commands", withToken({{"Host", "evil.example"}}), big), 403);

  EXPECT_EQ(errorOf(post("/api/v1/commands", withToken(), R"({"command":"list")"), 400),
            "The body is not JSON: line 1, column 18: unexpected end of input; expected ',' or a "
            "closing.");
  EXPECT_EQ(errorOf(post("/api/v1/commands", withToken(), R"({"command":"move","speeed":1})"), 400),
            "Unknown key \"speeed\".");
  EXPECT_EQ(
      errorOf(post("/api/v1/commands", withToken(), R"({"command":"set","value":true})"), 400),
      "\"value\" must be a string or a number.");
  EXPECT_EQ(errorOf(post("/api/v1/profiles", withToken(), "{}"), 400), "\"name\" is missing.");
  errorOf(post("/api/v1/commands", withToken(), "[]"), 400);
  errorOf(post("/api/v1/session/page", withToken(), ""), 400);

  // A body just within the limit is read.
  const std::string within =
      R"({"command":"list","device":")" + std::string(64 * 1024 - 32, 'x') + "\"}";
  ASSERT_LE(within.size(), 64u * 1024);
  const auto read = post("/api/v1/commands", withToken(), within);
  ASSERT_TRUE(read);
  EXPECT_NE(read->status, 413);
  EXPECT_NE(read->status, 400);
}

TEST_F(Camknobd, RefusesABodyWithoutItsLengthAndClosesTheConnection) {
  launch();
  const int socket = connectTo(port);
  ASSERT_GE(socket, 0);
  sendText(socket, "POST /api/v1/commands HTTP/1.1\r\nHost: " + host +
                       "\r\nAuthorization: Bearer " + token +
                       "\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n"
                       "11\r\n{\"command\":\"home\"}\r\n0\r\n\r\n");
  const std::string answer = receiveUntil(socket, "}", 10s);
  EXPECT_EQ(answer.rfind("HTTP/1.1 411", 0), 0u) << answer;
  EXPECT_NE(answer.find("Connection: close"), std::string::npos) << answer;
  ::close(socket);
}

TEST_F(Camknobd, TheLoginCodeWorksOnceAndItsCookieAuthorizes) {
  launch();
  const std::string code = codeOf(start.at("page"));
  const auto login = get("/login?code=" + code, {});
  ASSERT_TRUE(login);
  EXPECT_EQ(login->status, 303);
  EXPECT_EQ(login->get_header_value("Location"), "/");
  const std::string cookie = login->get_header_value("Set-Cookie");
  const std::smatch parts = [&] {
    std::smatch match;
    std::regex_match(
        cookie, match,
        std::regex("camknob_session=([0-9a-f]{64}); HttpOnly; SameSite=Strict; Path=/"));
    return match;
  }();
  ASSERT_EQ(parts.size(), 2u) << cookie;
  const std::string session = parts[1];
  EXPECT_NE(session, token);

  EXPECT_EQ(errorOf(get("/login?code=" + code, {}), 403),
            "The login code is wrong or was used already.");
  errorOf(get("/login?code=" + std::string(64, '0'), {}), 403);
  errorOf(get("/login", {}), 403);

  expectCameras(get("/api/v1/cameras", {{"Cookie", "theme=dark; camknob_session=" + session}}));
  errorOf(
      get("/api/v1/cameras", {{"Cookie", "camknob_session=" + session}, {"Host", "evil.example"}}),
      403);

  const auto page = get("/", {{"Cookie", "camknob_session=" + session}});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(page->body.find("camknobd is running"), std::string::npos);

  // A new page, by the token or the session; each code once.
  for (const httplib::Headers& headers :
       {withToken(), httplib::Headers{{"Cookie", "camknob_session=" + session}}}) {
    const auto made = post("/api/v1/session/page", headers, "{}");
    ASSERT_TRUE(made);
    ASSERT_EQ(made->status, 200) << made->body;
    const json answer = json::parse(made->body);
    EXPECT_EQ(answer.size(), 2u);
    EXPECT_EQ(answer.at("ok"), true);
    const std::string next = codeOf(answer.at("page"));
    EXPECT_NE(next, code);
    const auto used = get("/login?code=" + next, {});
    ASSERT_TRUE(used);
    EXPECT_EQ(used->status, 303);
    errorOf(get("/login?code=" + next, {}), 403);
  }
  errorOf(post("/api/v1/session/page", {}, "{}"), 401);
}

// The head of an event stream's answer and its first event.
struct StreamStart {
  int socket;
  std::string text;
};

StreamStart openStream(int port, const std::string& host, const std::string& token) {
  const int socket = connectTo(port);
  sendText(socket, "GET /api/v1/events HTTP/1.1\r\nHost: " + host + "\r\nAuthorization: Bearer " +
                       token + "\r\n\r\n");
  return {socket, receiveUntil(socket, "\n\n", 10s)};
}

TEST_F(Camknobd, TheEventStreamSendsTheStateAtOnce) {
  launch();
  const StreamStart stream = openStream(port, host, token);
  ASSERT_GE(stream.socket, 0);
  EXPECT_EQ(stream.text.rfind("HTTP/1.1 200", 0), 0u) << stream.text;
  EXPECT_NE(stream.text.find("Content-Type: text/event-stream"), std::string::npos) << stream.text;
  EXPECT_NE(stream.text.find("Cache-Control: no-store"), std::string::npos) << stream.text;
  std::smatch event;
  ASSERT_TRUE(
      std::regex_search(stream.text, event, std::regex("id: ([1-9][0-9]*)\ndata: (.*)\n\n")))
      << stream.text;
  EXPECT_EQ(json::parse(event[2].str()), listedCameras());
  ::close(stream.socket);
}

TEST_F(Camknobd, OpenStreamsDoNotStarveOtherRequests) {
  launch();
  std::vector<int> sockets;
  for (int count = 0; count < 128; ++count) {
    const StreamStart stream = openStream(port, host, token);
    ASSERT_GE(stream.socket, 0);
    sockets.push_back(stream.socket);
    ASSERT_NE(stream.text.find("\nid: "), std::string::npos)
        << "stream " << count << ": " << stream.text;
  }
  EXPECT_EQ(errorOf(get("/api/v1/events", withToken()), 503), "Too many event streams are open.");
  expectCameras(get("/api/v1/cameras", withToken()));
  errorOf(post("/api/v1/commands", withToken(), R"({"speeed":1})"), 400);
  // Commands the engine answers, within a second each, as camknob-sim does.
  const std::vector<std::pair<std::string, std::vector<std::string>>> commands{
      {R"({"command":"list"})", {"list"}},
      {R"({"command":"set","control":"nothing","value":1})",
       {"set", "--control", "nothing", "--value", "1"}},
  };
  for (const auto& [body, line] : commands) {
    SCOPED_TRACE(body);
    const auto asked = std::chrono::steady_clock::now();
    const auto answer = post("/api/v1/commands", withToken(), body);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
    ASSERT_TRUE(answer);
    const ProcessResult expected = runProcess(CAMKNOB_SIM_PATH, line, fixture);
    EXPECT_EQ(answer->status, expected.exitStatus == 0 ? 200 : 422);
    EXPECT_EQ(answer->body + "\n", expected.out);
  }
  for (const int socket : sockets) ::close(socket);
}

TEST_F(Camknobd, EndsOnSigtermAfterTheAnswersUnderWay) {
  launch();
  const StreamStart stream = openStream(port, host, token);
  ASSERT_NE(stream.text.find("\nid: "), std::string::npos) << stream.text;
  // A request whose headers are not all there yet when the signal comes.
  const int slow = connectTo(port);
  ASSERT_GE(slow, 0);
  sendText(slow, "GET /api/v1/cameras HTTP/1.1\r\nHost: " + host + "\r\n");
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(::kill(daemon.pid, SIGTERM), 0);
  std::this_thread::sleep_for(200ms);
  sendText(slow, "Authorization: Bearer " + token + "\r\nConnection: close\r\n\r\n");
  const std::string answer = receiveUntil(slow, std::string(1, '\0'), 10s);  // to the end
  ::close(slow);
  EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
  const std::size_t body = answer.find("\r\n\r\n");
  ASSERT_NE(body, std::string::npos) << answer;
  EXPECT_EQ(json::parse(answer.substr(body + 4)), listedCameras());

  EXPECT_TRUE(closedByPeer(stream.socket, 10s)) << "the event stream did not end";
  ::close(stream.socket);
  const DaemonEnd end = endDaemon(daemon, std::nullopt, 10s);
  EXPECT_EQ(end.exitStatus, 0);
  EXPECT_EQ(end.err, "");
  EXPECT_FALSE(std::filesystem::exists(tokenPath));
  EXPECT_EQ(connectTo(port), -1) << "still accepting";
}

// The heap laid out at once for a single run over a large fixture (256 MiB
// of address space held, nothing given back) is camknob-sim's; camknobd-sim
// runs long and keeps the allocator as it is.
TEST_F(Camknobd, RunsWithTheAllocatorAsItIs) {
  launch();
  std::ifstream maps("/proc/" + std::to_string(daemon.pid) + "/maps");
  if (!maps) GTEST_SKIP() << "no /proc here";
  for (std::string line; std::getline(maps, line);) {
    if (line.find("[heap]") == std::string::npos) continue;
    const std::size_t dash = line.find('-');
    const std::size_t space = line.find(' ');
    const unsigned long long from = std::stoull(line.substr(0, dash), nullptr, 16);
    const unsigned long long to = std::stoull(line.substr(dash + 1, space - dash - 1), nullptr, 16);
    EXPECT_LT(to - from, 64ull << 20) << line;
  }
}

TEST_F(Camknobd, EndsOnSigintToo) {
  launch();
  const DaemonEnd end = endDaemon(daemon, SIGINT, 10s);
  EXPECT_EQ(end.exitStatus, 0);
  EXPECT_FALSE(std::filesystem::exists(tokenPath));
}

TEST_F(Camknobd, KeepsTheTokenInTheRuntimeFolderByDefault) {
  const std::string runtime = folder.path + "/run";
  ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
  launch({"--listen", "127.0.0.1:0"}, {{"XDG_RUNTIME_DIR", runtime}});
  const std::string expected = runtime + "/camknob/camknobd-" + std::to_string(port) + ".token";
  EXPECT_EQ(start.at("tokenFile"), expected);
  EXPECT_EQ(modeOf(runtime + "/camknob"), 0700u);
  EXPECT_EQ(modeOf(expected), 0600u);
  expectCameras(get("/api/v1/cameras", withToken()));
  EXPECT_EQ(endDaemon(daemon, SIGTERM, 10s).exitStatus, 0);
  EXPECT_FALSE(std::filesystem::exists(expected));
}

TEST_F(Camknobd, ListensOnBothLoopbackAddressesOnOnePort) {
  launch({"--listen", "localhost:0", "--token-file", tokenPath});
  expectCameras(get("/api/v1/cameras", withToken()));
  const int ipv6 = connectTo(port, true);
  if (ipv6 < 0) {
    const DaemonEnd end = endDaemon(daemon, SIGTERM, 10s);
    EXPECT_NE(end.err.find("Going on with 127.0.0.1:" + std::to_string(port) + " alone."),
              std::string::npos)
        << end.err;
    GTEST_SKIP() << "no IPv6 loopback here";
  }
  sendText(ipv6, "GET /api/v1/cameras HTTP/1.1\r\nHost: [::1]:" + std::to_string(port) +
                     "\r\nAuthorization: Bearer " + token + "\r\nConnection: close\r\n\r\n");
  const std::string answer = receiveUntil(ipv6, "\"ok\":true}", 10s);
  ::close(ipv6);
  EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
  const DaemonEnd end = endDaemon(daemon, SIGTERM, 10s);
  EXPECT_EQ(end.exitStatus, 0);
  EXPECT_EQ(end.err, "");
}

TEST_F(Camknobd, WarnsWhenReachableFromTheNetworkAndStillNeedsTheToken) {
  launch({"--listen", "0.0.0.0:0", "--token-file", tokenPath});
  const std::string name = "0.0.0.0:" + std::to_string(port);
  EXPECT_EQ(start.at("url"), "http://" + name);
  expectCameras(get("/api/v1/cameras", withToken({{"Host", name}})));
  errorOf(get("/api/v1/cameras", {{"Host", name}}), 401);
  errorOf(get("/api/v1/cameras", withToken({{"Host", "evil.example:" + std::to_string(port)}})),
          403);
  const DaemonEnd end = endDaemon(daemon, SIGTERM, 10s);
  EXPECT_EQ(end.exitStatus, 0);
  EXPECT_EQ(end.err, "camknobd-sim: Warning: the API is reachable from the network at http://" +
                         name + " (with the token or the key only).\n");
}

TEST_F(Camknobd, RefusesToStartOnABadCommandLineOrTokenPlace) {
  const std::string runtime = folder.path + "/run";
  ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((runtime + "/camknob").c_str(), 0755), 0);
  const std::string other = tokenFolder + "/other";
  std::filesystem::create_symlink(fixture, other);
  struct Case {
    std::vector<std::string> arguments;
    EnvironmentChanges environment;
    std::string error;
  };
  const std::vector<Case> cases{
      {{"--bogus"}, {}, "camknobd-sim: Unknown option \"--bogus\".\n"},
      {{"--listen", "127.0.0.1:0", "--listen", "127.0.0.1:0"},
       {},
       "camknobd-sim: --listen is given twice.\n"},
      {{"--listen", "example.com:80"},
       {},
       "camknobd-sim: --listen \"example.com:80\": ADDRESS:PORT takes a numeric address, such as "
       "127.0.0.1:9734 or [::1]:9734, or localhost:PORT.\n"},
      {{"--token-file"}, {}, "camknobd-sim: --token-file needs a PATH.\n"},
      {{"--listen", "127.0.0.1:0", "--token-file", folder.path + "/missing/t.token"},
       {},
       "camknobd-sim: The token file's folder " + folder.path + "/missing does not exist.\n"},
      {{"--listen", "127.0.0.1:0", "--token-file", other},
       {},
       "camknobd-sim: The token file " + other +
           " is there already and is not a file of this user's.\n"},
      {{"--listen", "127.0.0.1:0"},
       {{"XDG_RUNTIME_DIR", runtime}},
       "camknobd-sim: The token folder " + runtime +
           "/camknob must be a folder of this user's that no one else may enter (mode 0700).\n"},
      {{"--listen", "127.0.0.1:0", "--token-file", tokenPath},
       {{"CAMKNOB_SIM_FIXTURE", folder.path + "/none.json"}},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    EnvironmentChanges env = environment();
    for (const auto& [name, value] : c.environment) env[name] = value;
    DaemonProcess run = startDaemon(CAMKNOBD_SIM_PATH, c.arguments, env);
    const DaemonEnd end = endDaemon(run, std::nullopt, 10s);
    EXPECT_EQ(end.exitStatus, 2);
    EXPECT_EQ(end.out, "");
    if (c.error.empty()) {
      EXPECT_EQ(end.err.rfind("camknobd-sim: fixture ", 0), 0u) << end.err;
      EXPECT_EQ(end.err.find('\n'), end.err.size() - 1) << end.err;
    } else {
      EXPECT_EQ(end.err, c.error);
    }
  }
  EXPECT_TRUE(std::filesystem::is_symlink(other));
  EXPECT_EQ(std::filesystem::directory_iterator(runtime + "/camknob"),
            std::filesystem::directory_iterator());
}

TEST_F(Camknobd, PrintsItsUsage) {
  DaemonProcess run = startDaemon(CAMKNOBD_SIM_PATH, {"--help"}, environment());
  const DaemonEnd end = endDaemon(run, std::nullopt, 10s);
  EXPECT_EQ(end.exitStatus, 0);
  EXPECT_EQ(end.out,
            "Usage: camknobd-sim [--listen ADDRESS:PORT] [--token-file PATH] [--allow-host NAME "
            "...] [--show-key | --new-key]\n");
  EXPECT_EQ(end.err, "");
}

}  // namespace
}  // namespace camknob::testing
