// camknobd-sim's event stream as a client reads it: a change made through
// the API, and one made by another program to the same fixture (a value set
// by camknob-sim, a camera added to the file or taken out of it), each comes
// as an event holding the new state, which is the list camknob-sim prints.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "e2e/daemon_process.h"
#include "e2e/e2e_support.h"
#include "support/temporary_folder.h"

namespace camknob::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

const std::string demoFixture = std::string(CAMKNOB_EXAMPLES_DIR) + "/demo-system.json";

// Replaces the file in one step, as an editor or another program would.
void replaceFile(const std::string& path, const std::string& text) {
  const std::string next = path + ".next";
  std::ofstream(next, std::ios::binary) << text;
  ASSERT_EQ(std::rename(next.c_str(), path.c_str()), 0);
}

bool hasCamera(const json& list, const std::string& uid) {
  for (const json& device : list["devices"])
    if (device["uid"] == uid) return true;
  return false;
}

std::optional<double> valueOf(const json& list, unsigned objectId) {
  for (const json& device : list["devices"])
    for (const json& control : device["controls"])
      if (control["objectId"] == objectId && control.contains("value"))
        return control["value"].get<double>();
  return std::nullopt;
}

class CamknobdEvents : public ::testing::Test {
 protected:
  TemporaryFolder folder{"camknobd-events"};
  std::string fixture = folder.path + "/camera.json";
  std::string tokenFolder = folder.path + "/tokens";
  ApiServer server;
  EventReader events;
  std::uint64_t lastId = 0;

  void SetUp() override {
    std::ofstream(fixture) << fileText(demoFixture);
    ASSERT_EQ(::mkdir(tokenFolder.c_str(), 0700), 0);
    server = startApiServer(CAMKNOBD_SIM_PATH,
                            {"--listen", "127.0.0.1:0", "--token-file", tokenFolder + "/t.token"},
                            {{"CAMKNOB_SIM_FIXTURE", fixture},
                             {"XDG_CONFIG_HOME", folder.path + "/config"},
                             {"XDG_RUNTIME_DIR", std::nullopt}});
    ASSERT_NE(server.port, 0) << "no start line; standard error: " << server.process.errText;
    events = openEvents(server, 10s);
    ASSERT_EQ(events.head.rfind("HTTP/1.1 200", 0), 0u) << events.head;
    const std::optional<json> first =
        eventWhere(Clock::now() + 10s, [](const json&) { return true; });
    ASSERT_TRUE(first) << "no first event";
    EXPECT_EQ(*first, listed());
  }

  void TearDown() override {
    closeEvents(events);
    if (server.process.pid < 0) return;
    const DaemonEnd end = endDaemon(server.process, SIGTERM, 20s);
    EXPECT_EQ(end.exitStatus, 0);
    EXPECT_EQ(end.err, "");
  }

  // The list camknob-sim prints over the fixture now.
  json listed() const { return response(camknobSim({"list"}, fixture), 0); }

  // The document of the first event by the deadline that `wanted` accepts;
  // each event's id is above the one before, and its document is one line.
  std::optional<json> eventWhere(Clock::time_point deadline,
                                 const std::function<bool(const json&)>& wanted) {
    while (const std::optional<ServerEvent> event = nextEvent(events, deadline)) {
      EXPECT_GT(event->id, lastId);
      lastId = event->id;
      EXPECT_EQ(event->data.find('\n'), std::string::npos);
      const json document = json::parse(event->data, nullptr, false);
      EXPECT_TRUE(document.is_object()) << event->data;
      EXPECT_EQ(document.value("ok", false), true) << event->data;
      if (wanted(document)) return document;
    }
    return std::nullopt;
  }
};

TEST_F(CamknobdEvents, AValueAnotherProgramSetsShowsWithinASecond) {
  const ProcessResult set =
      camknobSim({"set", "--control", "brightness", "--value", "201"}, fixture);
  const Clock::time_point changed = Clock::now();
  ASSERT_EQ(set.exitStatus, 0) << set.out;
  const std::optional<json> seen =
      eventWhere(changed + 1s, [](const json& list) { return valueOf(list, 41) == 201; });
  ASSERT_TRUE(seen) << "no event with brightness 201 within a second";
  EXPECT_EQ(*seen, listed());

  // And again, on the other camera, by its name.
  const ProcessResult again =
      camknobSim({"set", "--device", "webcam", "--control", "hue", "--value", "-17"}, fixture);
  const Clock::time_point changedAgain = Clock::now();
  ASSERT_EQ(again.exitStatus, 0) << again.out;
  const std::optional<json> seenAgain =
      eventWhere(changedAgain + 1s, [](const json& list) { return valueOf(list, 63) == -17; });
  ASSERT_TRUE(seenAgain) << "no event with hue -17 within a second";
  EXPECT_EQ(valueOf(*seenAgain, 41), 201);
  EXPECT_EQ(*seenAgain, listed());
}

TEST_F(CamknobdEvents, CamerasAddedToTheFixtureOrTakenOutShowWithinASecond) {
  json system = json::parse(fileText(fixture));
  json added = system["devices"][1];
  added["objectId"] = 70;
  added["properties"]["uid "] = "SIM-ADDED-0003";
  added["properties"]["lnam"] = "Added Webcam";
  for (std::size_t i = 0; i < added["controls"].size(); ++i)
    added["controls"][i]["objectId"] = 71 + i;
  system["devices"].push_back(added);
  replaceFile(fixture, system.dump(1));
  const Clock::time_point arrived = Clock::now();
  const std::optional<json> withIt =
      eventWhere(arrived + 1s, [](const json& list) { return hasCamera(list, "SIM-ADDED-0003"); });
  ASSERT_TRUE(withIt) << "the camera added did not show within a second";
  EXPECT_EQ(*withIt, listed());
  EXPECT_EQ((*withIt)["devices"].size(), 3u);

  system["devices"].erase(1);  // the webcam goes
  replaceFile(fixture, system.dump(1));
  const Clock::time_point left = Clock::now();
  const std::optional<json> withoutIt =
      eventWhere(left + 1s, [](const json& list) { return !hasCamera(list, "SIM-WEBCAM-0002"); });
  ASSERT_TRUE(withoutIt) << "the camera taken out still showed after a second";
  EXPECT_EQ(*withoutIt, listed());
  EXPECT_TRUE(hasCamera(*withoutIt, "SIM-ADDED-0003"));
  EXPECT_EQ((*withoutIt)["devices"].size(), 2u);
}

TEST_F(CamknobdEvents, ACommandThroughTheApiShowsItsNewValue) {
  ApiClient client = apiClient(server);
  const HttpAnswer set =
      postTo(client, "/api/v1/commands", R"({"command":"set","control":"zoom","value":333})");
  ASSERT_EQ(set.status, 200) << set.body;
  const std::optional<json> seen =
      eventWhere(Clock::now() + 10s, [](const json& list) { return valueOf(list, 49) == 333; });
  ASSERT_TRUE(seen) << "no event with zoom 333";
  EXPECT_EQ(*seen, json::parse(set.body));
  EXPECT_EQ(*seen, listed());

  const HttpAnswer moved =
      postTo(client, "/api/v1/commands", R"({"command":"absolute","pan":10.5,"tilt":-20.25})");
  ASSERT_EQ(moved.status, 200) << moved.body;
  const json after = json::parse(moved.body);
  const std::optional<json> seenMoved =
      eventWhere(Clock::now() + 10s, [&](const json& list) { return list == after; });
  EXPECT_TRUE(seenMoved) << "no event with the camera moved";
}

}  // namespace
}  // namespace camknob::testing
