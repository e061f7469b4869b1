// A request waits for the engine only so long: a device call that hangs is
// answered 503 with Retry-After, and the worker is free again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <nlohmann/json.hpp>

#include "engine/engine.h"
#include "http/api_handlers.h"
#include "media/sim/sim_fixture.h"
#include "media/sim/sim_store.h"

namespace camknob::http {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view camera = R"({"devices": [
  {"objectId": 33, "properties": {"uid ": "CAM-1", "lnam": "Camera"},
   "controls": [{"objectId": 41, "properties": {"clas": "brit", "fcnv": 1, "fcnr": [0, 255]},
                 "settable": ["fcnv"]}]}]})";

httplib::Request commandRequest(const std::string& body) {
  httplib::Request request;
  request.method = "POST";
  request.path = "/api/v1/commands";
  request.headers = {{"Host", "127.0.0.1:9734"},
                     {"Authorization", "Bearer token"},
                     {"Content-Type", "application/json"},
                     {"Content-Length", std::to_string(body.size())}};
  request.body = body;
  return request;
}

TEST(EngineDeadline, AnAnswerThatDoesNotComeInTimeIs503WithRetryAfter) {
  sim::FixtureLoad loaded = sim::parseFixture(camera);
  ASSERT_TRUE(loaded.system) << loaded.fault;
  sim::reset(std::move(*loaded.system));
  // A write that hangs until the test lets it go, as a stuck device call.
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  sim::setWriteHook([released](const sim::Change&, const sim::System&) {
    released.wait();
    return sim::Commit{noErr, std::nullopt};
  });
  char folder[] = "/tmp/camknob-deadline-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  ApiState state;
  state.engine = engine::startEngine({folder});
  state.acceptedHosts = {"127.0.0.1:9734"};
  state.token = "token";
  state.engineDeadline = 300ms;

  const std::string body = R"({"command":"set","control":"brightness","value":9})";
  httplib::Response response;
  const auto started = std::chrono::steady_clock::now();
  answerRequest(state, commandRequest(body), response, body);
  const auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(response.status, 503);
  EXPECT_EQ(response.get_header_value("Retry-After"), "1");
  const auto answer = nlohmann::json::parse(response.body);
  EXPECT_EQ(answer["ok"], false);
  EXPECT_EQ(answer["error"], "The cameras did not answer in time; try again later.");
  EXPECT_GE(waited, 300ms);
  EXPECT_LT(waited, 5s);

  // Let go, the engine answers the next request as usual.
  release.set_value();
  httplib::Response next;
  answerRequest(state, commandRequest(body), next, body);
  EXPECT_EQ(next.status, 200) << next.body;
  engine::stopEngine(*state.engine);
  sim::setWriteHook({});
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace camknob::http
