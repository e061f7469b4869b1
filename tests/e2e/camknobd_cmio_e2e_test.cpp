// camknobd over the CoreMediaIO service (camknobd-sim-cmio), where the
// platform is a stand-in that answers from the fixture and calls the
// service's listeners from a thread of its own when the fixture changes, as
// CoreMediaIO calls them when an app starts a camera or a camera comes or
// goes. A held camera is written back when another app starts it, and when it
// comes back; listeners follow the cameras; with no client and no change,
// nothing asks the platform anything.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "e2e/daemon_process.h"
#include "e2e/e2e_support.h"
#include "support/temporary_folder.h"

namespace camknob::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr unsigned ptz = 33;  // the demo's pan/tilt/zoom camera
constexpr unsigned brightness = 41;
constexpr unsigned zoom = 49;

json demo() {
  return json::parse(fileText(std::string(CAMKNOB_EXAMPLES_DIR) + "/demo-system.json"));
}

json& deviceIn(json& system, unsigned objectId) {
  for (json& device : system["devices"])
    if (device["objectId"] == objectId) return device;
  throw std::runtime_error("no such device in the fixture");
}

json& controlIn(json& system, unsigned objectId) {
  for (json& device : system["devices"])
    for (json& control : device["controls"])
      if (control["objectId"] == objectId) return control;
  throw std::runtime_error("no such control in the fixture");
}

std::vector<std::string> linesOf(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

class CamknobdCmio : public ::testing::Test {
 protected:
  TemporaryFolder folder{"camknobd-cmio"};
  std::string fixture = folder.path + "/camera.json";
  std::string journal = folder.path + "/journal.txt";
  std::string tokenFolder = folder.path + "/tokens";
  ApiServer server;

  void SetUp() override { ASSERT_EQ(::mkdir(tokenFolder.c_str(), 0700), 0); }

  void TearDown() override {
    if (server.process.pid < 0) return;
    const DaemonEnd end = endDaemon(server.process, SIGTERM, 20s);
    EXPECT_EQ(end.exitStatus, 0);
    EXPECT_EQ(end.err, "");
  }

  void launch(const json& system, const std::optional<std::string>& throwOn = std::nullopt) {
    std::ofstream(fixture) << system.dump();
    server = startApiServer(CAMKNOBD_SIM_CMIO_PATH,
                            {"--listen", "127.0.0.1:0", "--token-file", tokenFolder + "/t.token"},
                            {{"CAMKNOB_SIM_FIXTURE", fixture},
                             {"CAMKNOB_CMIO_STANDIN_JOURNAL", journal},
                             {"CAMKNOB_CMIO_STANDIN_THROW_ON", throwOn},
                             {"XDG_CONFIG_HOME", folder.path + "/config"},
                             {"XDG_RUNTIME_DIR", std::nullopt}});
    ASSERT_NE(server.port, 0) << "no start line; standard error: " << server.process.errText;
  }

  // What another program does to the system: the fixture replaced in one
  // step, on the camera's own state as the file holds it now.
  void change(const std::function<void(json&)>& edit) {
    json system = json::parse(fileText(fixture));
    edit(system);
    const std::string next = fixture + ".next";
    std::ofstream(next, std::ios::binary) << system.dump();
    ASSERT_EQ(std::rename(next.c_str(), fixture.c_str()), 0);
  }

  json saved(unsigned controlId) {
    return savedProperties(fixture, controlId).value("fcnv", json());
  }

  // How long until the fixture holds the values, at most `patience`.
  std::optional<Clock::duration> timeUntil(const std::map<unsigned, int>& values,
                                           Clock::duration patience) {
    const Clock::time_point started = Clock::now();
    for (;;) {
      bool all = true;
      for (const auto& [control, value] : values) all = all && saved(control) == value;
      if (all) return Clock::now() - started;
      if (Clock::now() - started > patience) return std::nullopt;
      std::this_thread::sleep_for(5ms);
    }
  }

  json post(const std::string& path, const std::string& body) {
    ApiClient client = apiClient(server);
    const HttpAnswer answer = postTo(client, path, body);
    EXPECT_EQ(answer.status, 200) << path << ": " << answer.body;
    return json::parse(answer.body, nullptr, false);
  }

  json cameras() {
    ApiClient client = apiClient(server);
    return json::parse(getFrom(client, "/api/v1/cameras").body, nullptr, false);
  }

  // The journal's lines of the kind ("call", "listen", ...) from line `from`.
  std::vector<std::string> journalOf(const std::string& kind, std::size_t from = 0) {
    std::vector<std::string> lines = linesOf(journal);
    std::vector<std::string> found;
    for (std::size_t i = from; i < lines.size(); ++i)
      if (lines[i].rfind(kind + ' ', 0) == 0) found.push_back(lines[i]);
    return found;
  }

  // Listeners on 'gone' of the device now: added less removed.
  long goneListeners(unsigned device) {
    const std::string address = ' ' + std::to_string(device) + " gone";
    long count = 0;
    for (const std::string& line : linesOf(journal)) {
      if (line == "listen" + address) ++count;
      if (line == "unlisten" + address) --count;
    }
    return count;
  }

  // The profile "desk" of the demo's PTZ camera as it starts, held.
  void holdDesk() {
    post("/api/v1/profiles", R"({"name":"desk"})");
    const json held = post("/api/v1/holds", R"({"profile":"desk"})");
    EXPECT_EQ(held.value("hold", json()),
              json::parse(R"({"profile":"desk","uid":"SIM-PTZ-0001"})"));
  }
};

double milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// An app starts the held camera and resets its controls: they are back
// within a second; stopped and started again, they are back again.
TEST_F(CamknobdCmio, AHeldCameraIsWrittenBackWhenAnotherAppStartsIt) {
  json system = demo();
  deviceIn(system, ptz)["properties"]["gone"] = 0;
  launch(system);
  if (HasFatalFailure()) return;
  holdDesk();
  EXPECT_EQ(goneListeners(ptz), 1);

  const auto startedElsewhere = [&](int brightnessThen, int zoomThen) {
    change([&](json& state) {
      deviceIn(state, ptz)["properties"]["gone"] = 1;
      controlIn(state, brightness)["properties"]["fcnv"] = brightnessThen;
      controlIn(state, zoom)["properties"]["fcnv"] = zoomThen;
    });
    const auto back = timeUntil({{brightness, 128}, {zoom, 100}}, 3s);
    ASSERT_TRUE(back) << "the held values did not come back";
    EXPECT_LT(*back, 1s);
    std::printf("held values back %.0f ms after the camera was started elsewhere\n",
                milliseconds(*back));
  };
  startedElsewhere(10, 480);
  // The later steps after a start write the profile again; past them, the
  // app stops the camera and starts it once more.
  std::this_thread::sleep_for(2300ms);
  change([](json& state) { deviceIn(state, ptz)["properties"]["gone"] = 0; });
  std::this_thread::sleep_for(300ms);
  startedElsewhere(20, 300);

  // A camera not held is left alone, started or not.
  std::this_thread::sleep_for(2300ms);
  change([](json& state) {
    deviceIn(state, 60)["properties"]["gone"] = 1;
    controlIn(state, 61)["properties"]["fcnv"] = 7;
  });
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(saved(61), 7);
}

// A camera taken out leaves the list and the event stream says so; its
// listener goes and is not called. Put back, it has its uid, is listened to
// once again, and its hold is applied.
TEST_F(CamknobdCmio, ACameraThatLeavesAndComesBackKeepsItsUidAndHold) {
  json system = demo();
  deviceIn(system, ptz)["properties"]["gone"] = 0;
  deviceIn(system, 60)["properties"]["gone"] = 0;
  launch(system);
  if (HasFatalFailure()) return;
  holdDesk();
  EventReader events = openEvents(server, 10s);
  ASSERT_EQ(events.head.rfind("HTTP/1.1 200", 0), 0u) << events.head;
  ASSERT_TRUE(nextEvent(events, Clock::now() + 10s));  // the state at once

  const auto listsPtz = [](const json& list) {
    for (const json& device : list["devices"])
      if (device["uid"] == "SIM-PTZ-0001") return true;
    return false;
  };
  // Waits for an event whose list shows the camera or not.
  const auto eventShowing = [&](bool present) -> std::optional<Clock::duration> {
    const Clock::time_point started = Clock::now();
    while (const auto event = nextEvent(events, started + 3s)) {
      const json list = json::parse(event->data, nullptr, false);
      if (listsPtz(list) == present) return Clock::now() - started;
    }
    return std::nullopt;
  };

  const json taken = deviceIn(system, ptz);
  change([](json& state) {
    json kept = json::array();
    for (const json& device : state["devices"])
      if (device["objectId"] != ptz) kept.push_back(device);
    state["devices"] = kept;
  });
  const auto left = eventShowing(false);
  ASSERT_TRUE(left) << "no event without the camera";
  EXPECT_LT(*left, 1s);
  EXPECT_FALSE(listsPtz(cameras()));
  EXPECT_EQ(goneListeners(ptz), 0);
  const std::size_t removedAt = linesOf(journal).size();

  // Back, with its brightness changed while it was away.
  change([&](json& state) {
    state["devices"].insert(state["devices"].begin(), taken);
    controlIn(state, brightness)["properties"]["fcnv"] = 10;
  });
  const auto returned = eventShowing(true);
  ASSERT_TRUE(returned) << "no event with the camera back";
  EXPECT_LT(*returned, 1s);
  const auto held = timeUntil({{brightness, 128}}, 3s);
  ASSERT_TRUE(held) << "the hold was not applied to the camera that came back";
  EXPECT_LT(*held, 1s);
  json list = cameras();
  EXPECT_TRUE(listsPtz(list));
  EXPECT_EQ(goneListeners(ptz), 1);
  // Between leaving and coming back, nothing was told of the camera.
  for (const std::string& line : journalOf("notify", removedAt))
    EXPECT_NE(line, "notify 33 gone") << "a listener of the camera that left was called";
  closeEvents(events);

  // And the camera that came back is written back when an app starts it.
  std::this_thread::sleep_for(2300ms);
  change([](json& state) {
    deviceIn(state, ptz)["properties"]["gone"] = 1;
    controlIn(state, brightness)["properties"]["fcnv"] = 15;
  });
  const auto again = timeUntil({{brightness, 128}}, 3s);
  ASSERT_TRUE(again);
  EXPECT_LT(*again, 1s);
}

// The engine failing outside any request (here reading whether a camera was
// started elsewhere, as memory runs out) ends the program with a failure
// status and a line saying so, for the service manager to start it again;
// the camera it set moving is stopped first.
TEST_F(CamknobdCmio, TheEngineFailingEndsTheProgramAfterStoppingTheCamera) {
  json system = demo();
  deviceIn(system, ptz)["properties"]["gone"] = 0;
  launch(system, "gone");
  if (HasFatalFailure()) return;
  post("/api/v1/commands", R"({"command":"move","pan":-1})");
  const json standing = json::parse("[0, 0, 0, 0]");
  EXPECT_NE(savedProperties(fixture, 52).value("fcnd", json()), standing);

  change([](json& state) { deviceIn(state, ptz)["properties"]["gone"] = 1; });
  const DaemonEnd end = endDaemon(server.process, std::nullopt, 10s);
  EXPECT_EQ(end.exitStatus, 1);
  EXPECT_EQ(end.err, "camknobd: the engine stopped: std::bad_alloc\n");
  EXPECT_EQ(savedProperties(fixture, 52).value("fcnd", json()), standing);
}

// With no client and nothing changing, the engine asks the platform nothing:
// the listeners wait for news, no one looks for it.
TEST_F(CamknobdCmio, WithNoClientAndNoChangeThereIsNoPropertyCall) {
  json system = demo();
  deviceIn(system, ptz)["properties"]["gone"] = 0;
  launch(system);
  if (HasFatalFailure()) return;
  EXPECT_EQ(cameras().value("ok", false), true);
  std::this_thread::sleep_for(300ms);  // the answer's own steps
  const std::size_t calls = journalOf("call").size();
  ASSERT_GT(calls, 0u) << "the journal records no call";
  std::this_thread::sleep_for(3s);
  EXPECT_EQ(journalOf("call").size(), calls);
}

}  // namespace
}  // namespace camknob::testing
