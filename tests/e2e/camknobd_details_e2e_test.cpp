// camknobd-sim's control details, resets, leased moves and the events of
// what it stores, over fixtures: the details route gives each control's
// step, default, menu and unit in list's order and scale; a reset writes the
// defaults back (and nothing for a control without one); a leased move stops
// by itself once it is not renewed, and keeps going while it is; every event
// stream hears of a profile, hold or preset changed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
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

const std::string demoText = fileText(std::string(CAMKNOB_EXAMPLES_DIR) + "/demo-system.json");

// The relative pan/tilt record of a camera that stands.
const json standing = json::parse("[0, 0, 0, 0]");

class CamknobdDetails : public ::testing::Test {
 protected:
  TemporaryFolder folder{"camknobd-details"};
  std::string fixture = folder.path + "/cameras.json";
  std::optional<ApiServer> server;

  void SetUp() override {
    ASSERT_EQ(::mkdir((folder.path + "/tokens").c_str(), 0700), 0);
    useFixture(demoText);
  }

  void TearDown() override {
    if (server) (void)endDaemon(server->process, SIGTERM, 20s);
  }

  void useFixture(const std::string& text) { std::ofstream(fixture, std::ios::binary) << text; }

  void launch() {
    server = startApiServer(CAMKNOBD_SIM_PATH,
                            {"--listen", "127.0.0.1:0", "--token-file", folder.path + "/tokens/t"},
                            {{"CAMKNOB_SIM_FIXTURE", fixture},
                             {"XDG_CONFIG_HOME", folder.path + "/config"},
                             {"XDG_RUNTIME_DIR", std::nullopt}});
    ASSERT_NE(server->port, 0) << "no start line; standard error: " << server->process.errText;
  }

  json answer(const HttpAnswer& answer, int status) {
    EXPECT_EQ(answer.status, status) << answer.body;
    EXPECT_EQ(answer.body.find('\n'), std::string::npos) << answer.body;
    return json::parse(answer.body, nullptr, false);
  }

  json get(const std::string& path, int status = 200) {
    ApiClient client = apiClient(*server);
    return answer(getFrom(client, path), status);
  }

  json command(const std::string& body, int status = 200) {
    ApiClient client = apiClient(*server);
    return answer(postTo(client, "/api/v1/commands", body), status);
  }

  json saved(unsigned objectId, const char* selector) {
    return savedProperties(fixture, objectId).value(selector, json());
  }

  // Waits until the saved property is `wanted`, for at most `patience`;
  // whether it came.
  bool waitForSaved(unsigned objectId, const char* selector, const json& wanted,
                    std::chrono::milliseconds patience) {
    const auto deadline = Clock::now() + patience;
    while (Clock::now() < deadline) {
      if (saved(objectId, selector) == wanted) return true;
      std::this_thread::sleep_for(20ms);
    }
    return saved(objectId, selector) == wanted;
  }
};

json controlDetails(const json& details, const std::string& uid, const std::string& kind) {
  for (const json& device : details.at("devices"))
    if (device.at("uid") == uid)
      for (const json& control : device.at("controls"))
        if (control.at("kind") == kind) return control;
  ADD_FAILURE() << kind << " of " << uid << " is not in the details";
  return {};
}

TEST_F(CamknobdDetails, GivesEachControlsStepDefaultMenuAndUnitInListsOrderAndScale) {
  launch();
  if (HasFatalFailure()) return;
  const json details = get("/api/v1/details");
  const json cameras = get("/api/v1/cameras");
  // The cameras and controls of the list, in its order, by object id.
  ASSERT_EQ(details.at("devices").size(), cameras.at("devices").size());
  for (std::size_t d = 0; d < cameras["devices"].size(); ++d) {
    const json& listed = cameras["devices"][d];
    const json& described = details["devices"][d];
    EXPECT_EQ(described.at("uid"), listed.at("uid"));
    ASSERT_EQ(described.at("controls").size(), listed.at("controls").size());
    for (std::size_t c = 0; c < listed["controls"].size(); ++c) {
      EXPECT_EQ(described["controls"][c].at("objectId"), listed["controls"][c].at("objectId"));
      EXPECT_EQ(described["controls"][c].at("kind"), listed["controls"][c].at("kind"));
    }
  }
  struct Case {
    std::string kind;
    json expected;
  };
  const std::vector<Case> cases{
      {"brightness", json::parse(R"({"objectId":41,"kind":"brightness","step":1,"default":128})")},
      // An absolute value's step and default are in its absolute scale, with its unit.
      {"exposure", json::parse(R"({"objectId":47,"kind":"exposure","automaticDefault":true,
                                   "step":0.0001,"default":0.0156,"unit":"seconds"})")},
      {"powerLineFrequency",
       json::parse(R"({"objectId":50,"kind":"powerLineFrequency","step":1,"default":1,
                      "menu":[{"value":0,"name":"Disabled"},{"value":1,"name":"50 Hz"},
                              {"value":2,"name":"60 Hz"}]})")},
      {"panTiltAbsolute", json::parse(R"({"objectId":51,"kind":"panTiltAbsolute"})")},
  };
  for (const Case& each : cases) {
    json found = controlDetails(details, "SIM-PTZ-0001", each.kind);
    // Float32 readings: compared to the nearest float of the expected number.
    for (const char* scaled : {"step", "default"})
      if (found.contains(scaled) && each.expected.contains(scaled)) {
        EXPECT_FLOAT_EQ(found[scaled].get<float>(), each.expected[scaled].get<float>())
            << each.kind << " " << scaled;
        found[scaled] = each.expected[scaled];
      }
    EXPECT_EQ(found, each.expected) << each.kind;
  }
}

TEST_F(CamknobdDetails, AnIntegerMenusItemsAreNumbersAndAMenuIsKeptWhenTheCameraIsWritten) {
  useFixture(R"({"devices": [
    {"objectId": 2, "properties": {"uid ": "MENUS", "lnam": "Menus"}, "controls": [
      {"objectId": 3, "properties": {"clas": "zoom", "lnam": "Zoom", "fcnv": 1, "fcnr": [0, 4]},
       "settable": ["fcnv"],
       "menu": [{"value": 0, "name": 1000000}, {"value": 4, "name": -9007199254740993}]},
      {"objectId": 4, "properties": {"clas": "pwfq", "fcnv": 1, "fcnr": [0, 1], "cndf": 0},
       "settable": ["fcnv"], "menu": [{"value": 1, "name": "50 Hz"}]}]}]})");
  launch();
  if (HasFatalFailure()) return;
  EXPECT_EQ(controlDetails(get("/api/v1/details"), "MENUS", "zoom").at("menu"),
            json::parse(R"([{"value":0,"name":1000000},{"value":4,"name":-9007199254740993}])"));
  command(R"({"command":"reset","control":"powerLineFrequency"})");
  EXPECT_EQ(saved(4, "fcnv"), 0);
  // The fixture written back keeps its menus: the details read afresh show them.
  (void)endDaemon(server->process, SIGTERM, 20s);
  launch();
  if (HasFatalFailure()) return;
  EXPECT_EQ(controlDetails(get("/api/v1/details"), "MENUS", "powerLineFrequency").at("menu"),
            json::parse(R"([{"value":1,"name":"50 Hz"}])"));
}

TEST_F(CamknobdDetails, AResetWritesTheDefaultsBackAndTurnsAutomaticModesOnAgain) {
  launch();
  if (HasFatalFailure()) return;
  command(R"({"command":"set","control":"brightness","value":200})");
  command(R"({"command":"auto","control":"focus","enabled":false})");
  command(R"({"command":"set","control":"focus","value":90})");
  const json reset = command(R"({"command":"reset","control":"brightness"})");
  EXPECT_EQ(controlOf(reset, 41).at("value"), 128);
  EXPECT_EQ(saved(41, "fcnv"), 128);
  EXPECT_EQ(saved(48, "fcam"), 0) << "a reset of one control touched another";
  command(R"({"command":"reset","control":"focus"})");
  EXPECT_EQ(saved(48, "fcam"), 1);

  // Every control of a camera at once.
  command(R"({"command":"set","device":"webcam","control":"brightness","value":-30})");
  command(R"({"command":"set","device":"webcam","control":"hue","value":12})");
  command(R"({"command":"reset","device":"webcam"})");
  EXPECT_EQ(saved(61, "fcnv"), 0);
  EXPECT_EQ(saved(62, "fcnv"), 32);
  EXPECT_EQ(saved(63, "fcnv"), 0);
  EXPECT_EQ(saved(64, "fcnv"), 1);
}

TEST_F(CamknobdDetails, AResetWithoutADefaultIsRefusedAndWritesNothing) {
  launch();
  if (HasFatalFailure()) return;
  command(R"({"command":"set","control":"zoom","value":300})");
  const std::string before = fileText(fixture);
  struct Case {
    std::string body;
    std::string error;
  };
  const std::vector<Case> cases{
      {R"({"command":"reset","control":"panTiltAbsolute"})",
       "The control panTiltAbsolute has no default to reset to."},
      {R"({"command":"reset","control":"iris"})", "This camera has no control named iris."},
      {R"({"command":"reset","device":"nobody"})", "Camera device was not found."},
  };
  for (const Case& each : cases) {
    const json refused = command(each.body, 422);
    EXPECT_EQ(refused.value("ok", true), false) << each.body;
    EXPECT_EQ(refused.value("error", ""), each.error) << each.body;
  }
  EXPECT_EQ(fileText(fixture), before);
  const json wrong = command(R"({"command":"reset","control":"zoom","value":1})", 400);
  EXPECT_EQ(wrong.value("error", ""), "\"value\" does not go with the command \"reset\".");
  EXPECT_EQ(command(R"({"command":"set","control":"zoom","value":1,"lease":true})", 400)
                .value("error", ""),
            "\"lease\" goes only with the command \"move\".");
  EXPECT_EQ(fileText(fixture), before);
}

TEST_F(CamknobdDetails, ALeasedMoveNotRenewedStopsWithinASecond) {
  launch();
  if (HasFatalFailure()) return;
  command(R"({"command":"move","pan":1,"tilt":-1,"lease":true})");
  const auto started = Clock::now();
  ASSERT_NE(saved(52, "fcnd"), standing);
  EXPECT_TRUE(waitForSaved(52, "fcnd", standing, 1500ms)) << "still moving after 1.5 s";
  const auto stoppedAfter = Clock::now() - started;
  EXPECT_GE(stoppedAfter, 900ms) << "stopped before its lease ran out";
  std::cout << "a leased move stopped "
            << std::chrono::duration_cast<std::chrono::milliseconds>(stoppedAfter).count()
            << " ms after it started\n";
}

TEST_F(CamknobdDetails, ALeasedMoveRenewedKeepsGoingAndAPlainMoveIsNotLeased) {
  launch();
  if (HasFatalFailure()) return;
  const std::string move = R"({"command":"move","pan":-1,"tilt":0,"lease":true})";
  command(move);
  const json moving = saved(52, "fcnd");
  ASSERT_NE(moving, standing);
  // Renewed every 300 ms for 2.5 s, the move goes on, and a renewal writes
  // nothing to the camera (the simulated camera's file is not written again).
  const auto writtenAt = std::filesystem::last_write_time(fixture);
  for (auto until = Clock::now() + 2500ms; Clock::now() < until;) {
    std::this_thread::sleep_for(300ms);
    command(move);
    EXPECT_EQ(saved(52, "fcnd"), moving);
  }
  EXPECT_EQ(std::filesystem::last_write_time(fixture), writtenAt) << "a renewal wrote the move";
  // A stop ends it; a plain move then is not leased.
  command(R"({"command":"stop"})");
  EXPECT_EQ(saved(52, "fcnd"), standing);
  command(R"({"command":"move","pan":1,"tilt":1})");
  std::this_thread::sleep_for(1500ms);
  EXPECT_NE(saved(52, "fcnd"), standing) << "a move without a lease stopped by itself";
  command(R"({"command":"stop"})");
}

// Two clients' event streams (two pages open at once) each hear of every
// profile, hold and preset changed anywhere, and of nothing refused.
TEST_F(CamknobdDetails, EveryEventStreamHearsOfWhatIsStored) {
  launch();
  if (HasFatalFailure()) return;
  std::vector<EventReader> streams{openEvents(*server, 5s), openEvents(*server, 5s)};
  for (EventReader& stream : streams)
    ASSERT_TRUE(nextEvent(stream, Clock::now() + 5s)) << "no first state";
  ApiClient client = apiClient(*server);
  const auto saved = [&](const std::string& path, const std::string& body, int status,
                         const json& counts) {
    EXPECT_EQ(postTo(client, path, body).status, status) << path << " " << body;
    for (EventReader& stream : streams) {
      const auto event = nextEvent(stream, Clock::now() + 1s, "saved");
      ASSERT_TRUE(event) << "no saved event within 1 s after " << path << " " << body;
      EXPECT_EQ(json::parse(event->data), counts) << path << " " << body;
    }
  };
  saved("/api/v1/profiles", R"({"name":"desk"})", 200,
        json::parse(R"({"holds":0,"presets":0,"profiles":1})"));
  // Refused: nothing stored, nothing said (the next event is the next change's).
  EXPECT_EQ(postTo(client, "/api/v1/profiles", R"({"name":"../x"})").status, 400);
  EXPECT_EQ(postTo(client, "/api/v1/holds", R"({"profile":"nope"})").status, 404);
  saved("/api/v1/holds", R"({"profile":"desk"})", 200,
        json::parse(R"({"holds":1,"presets":0,"profiles":1})"));
  saved("/api/v1/presets", R"({"name":"wide"})", 200,
        json::parse(R"({"holds":1,"presets":1,"profiles":1})"));
  saved("/api/v1/presets/delete", R"({"name":"wide"})", 200,
        json::parse(R"({"holds":1,"presets":2,"profiles":1})"));
  // Deleting a held profile gives up its hold too.
  saved("/api/v1/profiles/delete", R"({"name":"desk"})", 200,
        json::parse(R"({"holds":2,"presets":2,"profiles":2})"));
  for (EventReader& stream : streams) closeEvents(stream);
}

}  // namespace
}  // namespace camknob::testing
