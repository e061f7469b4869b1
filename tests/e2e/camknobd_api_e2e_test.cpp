// camknobd-sim's API over fixtures, held against the programs it stands for:
// the cameras' list and each command body answer as camknob-sim does for the
// same command line, and leave the fixture as camknob-sim leaves it; a set
// with a delta as the set of the value it comes to; profiles as
// camknob-profile-sim saves and applies them; holds and presets; a refused
// request changes nothing; and many clients at once each get their own
// answers and leave no descriptor open.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <latch>
#include <nlohmann/json.hpp>
#include <thread>

#include "e2e/daemon_process.h"
#include "e2e/e2e_support.h"
#include "support/json_entries.h"
#include "support/temporary_folder.h"

namespace camknob::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::vector<std::string>>;

const std::string demoText = fileText(std::string(CAMKNOB_EXAMPLES_DIR) + "/demo-system.json");

// One camera of every shape of reading the list shows: texts to escape,
// a control without a range, one with an infinite limit, empty data, a
// control of a class without a name; a camera without a control list and
// one with an empty list.
const std::string oddCameras = R"({"devices": [
  {"objectId": 7,
   "properties": {"uid ": "usb-1/2:3", "lnam": "Caméra \"Front\"\t\u0001", "lmak": "Maker/Ltd"},
   "controls": [
     {"objectId": 8, "properties": {"clas": "xpsr", "lnam": "Exposure", "fcav": 0.1,
                                    "fcar": [0.0001, "inf"], "fcam": 0},
      "settable": ["fcav", "fcam"]},
     {"objectId": 9, "properties": {"clas": "zoom", "fcnv": 3}, "settable": ["fcnv"]},
     {"objectId": 10, "properties": {"clas": "ptab", "fcnd": [], "fcoo": 1},
      "settable": ["fcnd"]},
     {"objectId": 11, "properties": {"clas": "wxyz", "lnam": "Vendor"}}
   ]},
  {"objectId": 20, "properties": {"uid ": "NO-CONTROLS"}},
  {"objectId": 30, "properties": {"lnam": "Empty list"}, "controls": []}
]})";

ProcessResult profileSim(const std::vector<std::string>& arguments, const std::string& fixture) {
  return runProcess(CAMKNOB_PROFILE_SIM_PATH, arguments, fixture);
}

json parsed(const HttpAnswer& answer) {
  return json::parse(answer.body, nullptr, false);
}

// The answer of that status, a JSON object of one line whose ok says whether
// the status is 200.
json answerOf(const HttpAnswer& answer, int status) {
  EXPECT_EQ(answer.status, status) << answer.body;
  EXPECT_EQ(answer.contentType, "application/json");
  EXPECT_EQ(answer.body.find('\n'), std::string::npos) << answer.body;
  const json document = parsed(answer);
  EXPECT_TRUE(document.is_object()) << answer.body;
  if (document.is_object()) {
    EXPECT_EQ(document.value("ok", status != 200), status == 200) << answer.body;
  }
  return document;
}

std::string errorOf(const HttpAnswer& answer, int status) {
  const json document = answerOf(answer, status);
  return document.is_object() ? document.value("error", "") : "";
}

// The saved fixture's value of a control (its "fcnv").
json savedValue(const std::string& fixture, unsigned controlId) {
  return savedProperties(fixture, controlId).value("fcnv", json());
}

std::string hexText(std::size_t number) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%zx", number);
  return digits;
}

json deviceOf(const json& list, const std::string& uid) {
  return entryWhere(list, "devices", "uid", uid);
}

class CamknobdApi : public ::testing::Test {
 protected:
  TemporaryFolder folder{"camknobd-api"};
  std::string configFolder = folder.path + "/config/camknob";
  std::string tokenFolder = folder.path + "/tokens";
  std::optional<ApiServer> server;
  int fixtures = 0;

  void SetUp() override { ASSERT_EQ(::mkdir(tokenFolder.c_str(), 0700), 0); }

  void TearDown() override {
    if (server) stop();
  }

  // A fixture file of the text, of this test's own.
  std::string fixtureOf(const std::string& text) {
    const std::string path = folder.path + "/fixture-" + std::to_string(++fixtures) + ".json";
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // camknobd-sim over the fixture (the built-in demo with none), keeping its
  // profiles, holds and presets in configFolder.
  void launch(const std::optional<std::string>& fixture) {
    server = startApiServer(CAMKNOBD_SIM_PATH,
                            {"--listen", "127.0.0.1:0", "--token-file", tokenFolder + "/t.token"},
                            {{"CAMKNOB_SIM_FIXTURE", fixture},
                             {"XDG_CONFIG_HOME", folder.path + "/config"},
                             {"XDG_RUNTIME_DIR", std::nullopt}});
    ASSERT_NE(server->port, 0) << "no start line; standard error: " << server->process.errText;
  }

  // It ends on SIGTERM, with status 0 and nothing said.
  void stop() {
    const DaemonEnd end = endDaemon(server->process, SIGTERM, 20s);
    EXPECT_EQ(end.exitStatus, 0);
    EXPECT_EQ(end.err, "");
    server.reset();
  }

  HttpAnswer get(const std::string& path) {
    ApiClient client = apiClient(*server);
    return getFrom(client, path);
  }

  HttpAnswer post(const std::string& path, const std::string& body) {
    ApiClient client = apiClient(*server);
    return postTo(client, path, body);
  }

  // A command through the API, which must be made.
  void command(const std::string& body) { answerOf(post("/api/v1/commands", body), 200); }

  json cameras() { return answerOf(get("/api/v1/cameras"), 200); }
};

// GET /api/v1/cameras is camknob-sim's list line, byte for byte.
TEST_F(CamknobdApi, ListsTheCamerasAsCamknobSimDoes) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> systems{
      {"the built-in demo", std::nullopt},
      {"a copy of the demo", fixtureOf(demoText)},
      {"odd cameras", fixtureOf(oddCameras)},
  };
  for (const auto& [what, fixture] : systems) {
    SCOPED_TRACE(what);
    const ProcessResult listed = runProcess(CAMKNOB_SIM_PATH, {"list"}, fixture);
    ASSERT_EQ(listed.exitStatus, 0) << listed.err;
    launch(fixture);
    if (HasFatalFailure()) return;
    const HttpAnswer answer = get("/api/v1/cameras");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.contentType, "application/json");
    EXPECT_EQ(answer.body + "\n", listed.out);
    stop();
  }
}

// A body of POST /api/v1/commands, the camknob-sim command line it stands
// for, and what camknob-sim runs over the fixture before.
struct CommandCase {
  std::string what;
  std::string body;
  std::vector<std::string> line;
  Lines before = {};
};

class CamknobdCommands : public CamknobdApi {
 protected:
  // The body's answer from camknobd-sim and the line's from camknob-sim,
  // each over its own copy of the same fixture: the same line, the status
  // 200 or 422 as the exit status is 0 or 1, and the same fixture after.
  void expectSameAsCamknobSim(const CommandCase& c, const std::string& system) {
    SCOPED_TRACE(c.what + ": " + c.body);
    const std::string base = fixtureOf(system);
    for (const auto& line : c.before) ASSERT_EQ(camknobSim(line, base).exitStatus, 0);
    const std::string prepared = fileText(base);
    const std::string served = fixtureOf(prepared);
    const std::string ran = fixtureOf(prepared);

    launch(served);
    if (HasFatalFailure()) return;
    const HttpAnswer answer = post("/api/v1/commands", c.body);
    // As the answer left it: a camera set moving is stopped as camknobd ends.
    const std::string answered = fileText(served);
    stop();
    const ProcessResult expected = camknobSim(c.line, ran);

    ASSERT_TRUE(expected.exitStatus == 0 || expected.exitStatus == 1) << expected.err;
    const bool ok = expected.exitStatus == 0;
    answerOf(answer, ok ? 200 : 422);
    EXPECT_EQ(answer.body + "\n", expected.out);
    EXPECT_EQ(answered, fileText(ran)) << "the fixtures differ afterwards";
    if (!ok || c.line.front() == "list")
      EXPECT_EQ(answered, prepared) << "the fixture changed";
    else
      EXPECT_NE(answered, prepared) << "the case changes nothing";
  }
};

TEST_F(CamknobdCommands, EveryCommandAnswersAsCamknobSimDoes) {
  const Lines moving{{"move", "--pan", "1", "--tilt", "-1"}};
  const std::vector<CommandCase> cases{
      {"list", R"({"command":"list"})", {"list"}},
      {"list takes no option",
       R"({"command":"list","device":"nobody"})",
       {"list", "--device", "nobody"}},
      {"set",
       R"({"command":"set","control":"zoom","value":250})",
       {"set", "--control", "zoom", "--value", "250"}},
      {"set, the value as text",
       R"({"command":"set","control":"zoom","value":"250"})",
       {"set", "--control", "zoom", "--value", "250"}},
      {"set on a camera by name",
       R"({"device":"webcam","command":"set","control":"brightness",
        "value":-12})",
       {"set", "--device", "webcam", "--control", "brightness", "--value", "-12"}},
      {"set, a number with an exponent",
       R"({"command":"set","control":"brightness","value":1e2})",
       {"set", "--control", "brightness", "--value", "1e2"}},
      {"set, a negative fraction",
       R"({"command":"set","device":"SIM-WEBCAM-0002",
        "control":"hue","value":-2.5e1})",
       {"set", "--device", "SIM-WEBCAM-0002", "--control", "hue", "--value", "-2.5e1"}},
      {"set, hexadecimal text",
       R"({"command":"set","control":"brightness","value":"0x10"})",
       {"set", "--control", "brightness", "--value", "0x10"}},
      {"set beyond the range",
       R"({"command":"set","control":"brightness","value":300})",
       {"set", "--control", "brightness", "--value", "300"}},
      {"set beyond a float",
       R"({"command":"set","control":"brightness","value":1e39})",
       {"set", "--control", "brightness", "--value", "1e39"}},
      {"auto",
       R"({"command":"auto","control":"focus","enabled":"off"})",
       {"auto", "--control", "focus", "--enabled", "off"}},
      {"auto, a JSON false",
       R"({"command":"auto","control":"gain","enabled":false})",
       {"auto", "--control", "gain", "--enabled", "false"}},
      {"on, a JSON true",
       R"({"command":"on","control":"panTiltRelative","enabled":true})",
       {"on", "--control", "panTiltRelative", "--enabled", "true"}},
      {"on, a number",
       R"({"command":"on","control":"panTiltRelative","enabled":1})",
       {"on", "--control", "panTiltRelative", "--enabled", "1"}},
      {"move",
       R"({"command":"move","pan":-1,"tilt":0.5})",
       {"move", "--pan", "-1", "--tilt", "0.5"}},
      {"move with a speed",
       R"({"command":"move","pan":"1","speed":0.2})",
       {"move", "--pan", "1", "--speed", "0.2"}},
      {"home", R"({"command":"home"})", {"home"}, {{"absolute", "--pan", "30", "--tilt", "10"}}},
      {"absolute",
       R"({"command":"absolute","pan":10.5,"tilt":-20.25})",
       {"absolute", "--pan", "10.5", "--tilt", "-20.25"}},
      {"absolute beyond the limits",
       R"({"command":"absolute","pan":500,"tilt":"-500"})",
       {"absolute", "--pan", "500", "--tilt", "-500"}},
      {"stop", R"({"command":"stop"})", {"move", "--pan", "0", "--tilt", "0"}, moving},
      {"stop with a device and a speed",
       R"({"command":"stop","device":"PTZ","speed":0.3})",
       {"move", "--device", "PTZ", "--pan", "0", "--tilt", "0", "--speed", "0.3"},
       moving},

      {"no such camera",
       R"({"command":"set","device":"nobody","control":"zoom","value":1})",
       {"set", "--device", "nobody", "--control", "zoom", "--value", "1"}},
      {"no such control",
       R"({"command":"set","control":"nothing","value":1})",
       {"set", "--control", "nothing", "--value", "1"}},
      {"a control of the other camera",
       R"({"command":"set","control":"hue","value":1})",
       {"set", "--control", "hue", "--value", "1"}},
      {"a value that is not a number",
       R"({"command":"set","control":"zoom","value":"abc"})",
       {"set", "--control", "zoom", "--value", "abc"}},
      {"a value with more after the number",
       R"({"command":"set","control":"zoom","value":"12 "})",
       {"set", "--control", "zoom", "--value", "12 "}},
      {"an empty value",
       R"({"command":"set","control":"zoom","value":""})",
       {"set", "--control", "zoom", "--value", ""}},
      {"set without a value",
       R"({"command":"set","control":"zoom"})",
       {"set", "--control", "zoom"}},
      {"set without a control", R"({"command":"set","value":5})", {"set", "--value", "5"}},
      {"auto without enabled",
       R"({"command":"auto","control":"focus"})",
       {"auto", "--control", "focus"}},
      {"on without anything", R"({"command":"on"})", {"on"}},
      {"auto of a control without it",
       R"({"command":"auto","control":"zoom","enabled":"on"})",
       {"auto", "--control", "zoom", "--enabled", "on"}},
      {"move on a camera without it",
       R"({"command":"move","device":"webcam","pan":1})",
       {"move", "--device", "webcam", "--pan", "1"}},
      {"stop on a camera without it",
       R"({"command":"stop","device":"webcam"})",
       {"move", "--device", "webcam", "--pan", "0", "--tilt", "0"}},
      {"absolute on a camera without it",
       R"({"command":"absolute","device":"webcam"})",
       {"absolute", "--device", "webcam"}},
      {"home on a camera without it",
       R"({"command":"home","device":"webcam"})",
       {"home", "--device", "webcam"}},
      {"a command word in capitals", R"({"command":"LIST"})", {"LIST"}},
      {"an empty command word", R"({"command":""})", {""}},
      {"no such command",
       R"({"command":"zoomin","control":"zoom"})",
       {"zoomin", "--control", "zoom"}},
  };
  for (const CommandCase& c : cases) {
    expectSameAsCamknobSim(c, demoText);
    if (HasFatalFailure()) return;
  }
}

// A body's value is only ever its key's value, whatever it reads like: the
// command is the one camknob-sim runs for a line that gives each option the
// same text.
TEST_F(CamknobdCommands, AValueThatReadsLikeAnOptionIsOnlyAValue) {
  const std::vector<CommandCase> cases{
      {"a pan that reads like --tilt",
       R"({"command":"move","device":"PTZ","pan":"--tilt","tilt":"1"})",
       {"move", "--device", "PTZ", "--tilt", "1", "--pan", "--tilt"}},
      {"a control that reads like --device",
       R"({"command":"set","control":"--device","value":5})",
       {"set", "--value", "5", "--control", "--device"}},
      {"an absolute pan that reads like --tilt",
       R"({"command":"absolute","pan":"--tilt","tilt":20})",
       {"absolute", "--tilt", "20", "--pan", "--tilt"}},
  };
  for (const CommandCase& c : cases) {
    expectSameAsCamknobSim(c, demoText);
    if (HasFatalFailure()) return;
  }

  // The pan that is no number stands; the camera tilts up at the default
  // speed.
  const std::string fixture = fixtureOf(demoText);
  launch(fixture);
  if (HasFatalFailure()) return;
  command(R"({"command":"move","device":"PTZ","pan":"--tilt","tilt":"1"})");
  EXPECT_EQ(savedProperties(fixture, 52).value("fcnd", json()), json::array({0, 0, 1, 5}));
}

// A refused write leaves the fixture as it was in both programs.
TEST_F(CamknobdCommands, ARefusedWriteAnswersAsCamknobSimDoes) {
  const std::string refusing = R"({"devices": [
    {"objectId": 33, "properties": {"uid ": "LOCKED-1", "lnam": "Locked Camera"},
     "controls": [
       {"objectId": 41, "properties": {"clas": "brit", "fcnv": 10, "fcnr": [0, 20]},
        "settable": ["fcnv"], "refuse": {"fcnv": 1819239275}},
       {"objectId": 42, "properties": {"clas": "ptab", "fcnd": [0, 0, 0, 0, 0, 0, 0, 0]},
        "settable": ["fcnd"], "refuse": {"fcnd": -50}}
     ]}
  ]})";
  const std::vector<CommandCase> cases{
      {"set refused",
       R"({"command":"set","control":"brightness","value":12})",
       {"set", "--control", "brightness", "--value", "12"}},
      {"delta refused",
       R"({"command":"set","control":"brightness","delta":2})",
       {"set", "--control", "brightness", "--value", "12"}},
      {"absolute refused", R"({"command":"absolute","pan":1})", {"absolute", "--pan", "1"}},
  };
  for (const CommandCase& c : cases) {
    expectSameAsCamknobSim(c, refusing);
    if (HasFatalFailure()) return;
  }
}

// A delta is the set of the value it comes to, held to the control's range;
// where there is no value to add to, the set without a value.
TEST_F(CamknobdCommands, ADeltaSetsTheValueItComesTo) {
  const std::vector<CommandCase> cases{
      {"up",
       R"({"command":"set","control":"brightness","delta":10})",
       {"set", "--control", "brightness", "--value", "138"}},
      {"down, as text",
       R"({"command":"set","control":"zoom","delta":"-25.5"})",
       {"set", "--control", "zoom", "--value", "174.5"},
       {{"set", "--control", "zoom", "--value", "200"}}},
      {"held to the maximum",
       R"({"command":"set","control":"brightness","delta":1000})",
       {"set", "--control", "brightness", "--value", "255"}},
      {"held to the minimum",
       R"({"command":"set","control":"brightness","delta":-1e3})",
       {"set", "--control", "brightness", "--value", "0"},
       {{"set", "--control", "brightness", "--value", "5"}}},
      {"held to a negative minimum",
       R"({"command":"set","device":"webcam","control":"brightness","delta":-100})",
       {"set", "--device", "webcam", "--control", "brightness", "--value", "-64"},
       {{"set", "--device", "webcam", "--control", "brightness", "--value", "-10"}}},
      {"back into the range",
       R"({"command":"set","control":"brightness","delta":1})",
       {"set", "--control", "brightness", "--value", "255"},
       {{"set", "--control", "brightness", "--value", "300"}}},
      {"a control without a value",
       R"({"command":"set","control":"panTiltAbsolute","delta":1})",
       {"set", "--control", "panTiltAbsolute"}},
      {"a value that is not finite",
       R"({"command":"set","control":"brightness","delta":1})",
       {"set", "--control", "brightness"},
       {{"set", "--control", "brightness", "--value", "inf"}}},
      {"no such control",
       R"({"command":"set","control":"nothing","delta":1})",
       {"set", "--control", "nothing"}},
      {"no control", R"({"command":"set","delta":1})", {"set"}},
      {"no such camera",
       R"({"command":"set","device":"nobody","control":"zoom","delta":1})",
       {"set", "--device", "nobody", "--control", "zoom", "--value", "1"}},
  };
  for (const CommandCase& c : cases) {
    expectSameAsCamknobSim(c, demoText);
    if (HasFatalFailure()) return;
  }

  // A delta that cannot go with the rest of the body runs nothing.
  const std::string fixture = fixtureOf(demoText);
  launch(fixture);
  if (HasFatalFailure()) return;
  const std::vector<std::pair<std::string, std::string>> refused{
      {R"({"command":"move","delta":1})", "\"delta\" goes only with the command \"set\"."},
      {R"({"command":"set","control":"zoom","value":1,"delta":1})",
       "\"delta\" and \"value\" cannot both be given."},
      {R"({"command":"set","control":"zoom","delta":"much"})",
       "\"delta\" must be a finite number."},
      {R"({"command":"set","control":"zoom","delta":"inf"})", "\"delta\" must be a finite number."},
      {R"({"command":"set","control":"zoom","delta":true})",
       "\"delta\" must be a number or a string that holds one."},
  };
  for (const auto& [body, message] : refused) {
    SCOPED_TRACE(body);
    EXPECT_EQ(errorOf(post("/api/v1/commands", body), 400), message);
  }
  EXPECT_EQ(fileText(fixture), demoText);
}

TEST_F(CamknobdApi, ProfilesAreSavedListedAppliedAndDeletedAsCamknobProfileSimDoes) {
  // Two copies of the demo brought to the same state, one through the API
  // and one by camknob-sim.
  const std::string served = fixtureOf(demoText);
  const std::string ran = fixtureOf(demoText);
  launch(served);
  if (HasFatalFailure()) return;
  const auto both = [&](const std::string& body, const std::vector<std::string>& line) {
    command(body);
    ASSERT_EQ(camknobSim(line, ran).exitStatus, 0);
  };
  both(R"({"command":"set","control":"brightness","value":200})",
       {"set", "--control", "brightness", "--value", "200"});
  both(R"({"command":"auto","control":"focus","enabled":false})",
       {"auto", "--control", "focus", "--enabled", "false"});
  both(R"({"command":"set","control":"focus","value":77})",
       {"set", "--control", "focus", "--value", "77"});
  both(R"({"command":"absolute","pan":20,"tilt":-5})", {"absolute", "--pan", "20", "--tilt", "-5"});
  ASSERT_EQ(fileText(served), fileText(ran));

  const HttpAnswer saved = post("/api/v1/profiles", R"({"name":"desk"})");
  const std::string profileFile = configFolder + "/profiles/desk.json";
  const std::string otherFile = folder.path + "/desk.json";
  json expected = response(profileSim({"save", otherFile}, ran), 0);
  ASSERT_EQ(expected.value("file", ""), otherFile);
  expected["file"] = profileFile;
  EXPECT_EQ(answerOf(saved, 200), expected);
  EXPECT_EQ(fileText(profileFile), fileText(otherFile));

  answerOf(post("/api/v1/profiles", R"({"name":"cam 2","device":"webcam"})"), 200);
  std::ofstream(configFolder + "/profiles/broken.json") << "{\"camknobProfile\": 1";
  std::ofstream(configFolder + "/profiles/.hidden.json") << "{}";
  std::ofstream(configFolder + "/profiles/notes.txt") << "not a profile";
  const json listedProfiles = answerOf(get("/api/v1/profiles"), 200);
  ASSERT_EQ(listedProfiles["profiles"].size(), 3u) << listedProfiles;
  // By name; the broken file with its fault, the others not at all.
  EXPECT_EQ(listedProfiles["profiles"][0].value("name", ""), "broken");
  EXPECT_EQ(listedProfiles["profiles"][0].value("heldBy", json()), json::array());
  EXPECT_NE(listedProfiles["profiles"][0].value("error", ""), "");
  EXPECT_EQ(listedProfiles["profiles"][1],
            json::parse(R"({"camera":"HD Webcam","controls":4,"heldBy":[],"name":"cam 2",
                            "uid":"SIM-WEBCAM-0002"})"));
  EXPECT_EQ(listedProfiles["profiles"][2],
            json::parse(R"({"camera":"PTZ Pro USB Camera","controls":12,"heldBy":[],
                            "name":"desk","uid":"SIM-PTZ-0001"})"));

  // Both changed alike, then the profile applied by each program.
  both(R"({"command":"set","control":"brightness","value":10})",
       {"set", "--control", "brightness", "--value", "10"});
  both(R"({"command":"auto","control":"focus","enabled":"on"})",
       {"auto", "--control", "focus", "--enabled", "on"});
  both(R"({"command":"set","control":"zoom","value":400})",
       {"set", "--control", "zoom", "--value", "400"});
  both(R"({"command":"absolute","pan":-40,"tilt":30})",
       {"absolute", "--pan", "-40", "--tilt", "30"});
  ASSERT_EQ(fileText(served), fileText(ran));
  const HttpAnswer applied = post("/api/v1/profiles/apply", R"({"name":"desk"})");
  const ProcessResult appliedByTool = profileSim({"apply", profileFile}, ran);
  ASSERT_EQ(appliedByTool.exitStatus, 0) << appliedByTool.out;
  EXPECT_EQ(applied.status, 200);
  EXPECT_EQ(applied.body + "\n", appliedByTool.out);
  EXPECT_EQ(fileText(served), fileText(ran));
  EXPECT_EQ(savedValue(served, 41), 200);

  // A profile of one camera applied to another, by --device rules.
  const HttpAnswer onWebcam =
      post("/api/v1/profiles/apply", R"({"name":"desk","device":"SIM-WEBCAM-0002"})");
  const ProcessResult onWebcamByTool =
      profileSim({"apply", "--device", "SIM-WEBCAM-0002", profileFile}, ran);
  EXPECT_EQ(onWebcam.status, onWebcamByTool.exitStatus == 0 ? 200 : 422);
  EXPECT_EQ(onWebcam.body + "\n", onWebcamByTool.out);
  EXPECT_EQ(fileText(served), fileText(ran));

  const std::string before = fileText(served);
  EXPECT_EQ(errorOf(post("/api/v1/profiles/apply", R"({"name":"nothing"})"), 404),
            "No profile is named nothing.");
  EXPECT_EQ(errorOf(post("/api/v1/profiles/apply", R"({"name":"broken"})"), 422)
                .rfind("Profile broken cannot be used: ", 0),
            0u);
  EXPECT_EQ(errorOf(post("/api/v1/profiles/apply", R"({"name":"../desk"})"), 400),
            "A name is 1 to 64 letters, digits, spaces, dots, underscores or hyphens, starting "
            "with a letter or digit.");
  answerOf(post("/api/v1/profiles/apply", R"({"name":"desk","device":"nobody"})"), 422);
  errorOf(post("/api/v1/profiles", R"({"name":" desk"})"), 400);
  answerOf(post("/api/v1/profiles", R"({"name":"other","device":"nobody"})"), 422);
  EXPECT_FALSE(std::filesystem::exists(configFolder + "/profiles/other.json"));
  EXPECT_EQ(fileText(served), before);

  EXPECT_EQ(answerOf(post("/api/v1/profiles/delete", R"({"name":"desk"})"), 200),
            json::parse(R"({"deleted":"desk","ok":true,"released":[]})"));
  EXPECT_FALSE(std::filesystem::exists(profileFile));
  EXPECT_EQ(errorOf(post("/api/v1/profiles/delete", R"({"name":"desk"})"), 404),
            "No profile is named desk.");
  errorOf(post("/api/v1/profiles/apply", R"({"name":"desk"})"), 404);
  const json left = answerOf(get("/api/v1/profiles"), 200);
  ASSERT_EQ(left["profiles"].size(), 2u) << left;
  EXPECT_EQ(left["profiles"][1].value("name", ""), "cam 2");
}

TEST_F(CamknobdApi, AHeldCameraIsBroughtBackAndTheHoldOutlivesARestart) {
  const std::string fixture = fixtureOf(demoText);
  launch(fixture);
  if (HasFatalFailure()) return;
  answerOf(post("/api/v1/profiles", R"({"name":"desk"})"), 200);
  command(R"({"command":"set","control":"brightness","value":60})");

  // The hold applies the profile at once.
  const json held = answerOf(post("/api/v1/holds", R"({"profile":"desk"})"), 200);
  EXPECT_EQ(held["hold"], json::parse(R"({"profile":"desk","uid":"SIM-PTZ-0001"})"));
  EXPECT_EQ(held["holds"], json::parse(R"([{"profile":"desk","uid":"SIM-PTZ-0001"}])"));
  EXPECT_EQ(held["applied"].value("ok", false), true) << held;
  EXPECT_EQ(savedValue(fixture, 41), 128);
  const json holds =
      json::parse(R"({"holds":[{"profile":"desk","uid":"SIM-PTZ-0001"}],"ok":true})");
  EXPECT_EQ(answerOf(get("/api/v1/holds"), 200), holds);
  EXPECT_EQ(answerOf(get("/api/v1/profiles"), 200)["profiles"][0]["heldBy"],
            json::parse(R"(["SIM-PTZ-0001"])"));
  EXPECT_TRUE(std::filesystem::exists(configFolder + "/holds.json"));

  // Another program changes the held camera: it is brought back, in the
  // fixture too. camknob-sim's write was made (exit 0), so a value of the
  // profile in the file afterwards is camknobd-sim's.
  const auto changedBack = [&](const std::vector<std::string>& line, unsigned controlId,
                               const json& value) {
    ASSERT_EQ(camknobSim(line, fixture).exitStatus, 0);
    const Clock::time_point deadline = Clock::now() + 10s;
    while (savedValue(fixture, controlId) != value && Clock::now() < deadline)
      std::this_thread::sleep_for(20ms);
    EXPECT_EQ(savedValue(fixture, controlId), value) << "not brought back";
  };
  changedBack({"set", "--device", "SIM-PTZ-0001", "--control", "brightness", "--value", "10"}, 41,
              128);
  changedBack({"set", "--control", "zoom", "--value", "480"}, 49, 100);
  EXPECT_EQ(controlOf(cameras(), 41)["value"], 128);
  // A camera not held is left alone.
  ASSERT_EQ(camknobSim({"set", "--device", "webcam", "--control", "hue", "--value", "9"}, fixture)
                .exitStatus,
            0);

  // Stopped, changed meanwhile, started again: the hold is still there and
  // the camera is at its profile before the first answer.
  stop();
  ASSERT_EQ(camknobSim({"set", "--control", "brightness", "--value", "11"}, fixture).exitStatus, 0);
  EXPECT_EQ(savedValue(fixture, 41), 11);
  launch(fixture);
  if (HasFatalFailure()) return;
  EXPECT_EQ(answerOf(get("/api/v1/holds"), 200), holds);
  const json restarted = cameras();
  EXPECT_EQ(controlOf(restarted, 41)["value"], 128);
  EXPECT_EQ(controlOf(restarted, 63)["value"], 9);
  EXPECT_EQ(savedValue(fixture, 41), 128);

  // Released: a change stays. Once the list shows it, camknobd-sim has
  // taken the news, and would have written the profile back by then.
  EXPECT_EQ(answerOf(post("/api/v1/holds/release", "{}"), 200),
            json::parse(R"({"holds":[],"ok":true,"released":{"profile":"desk",
                            "uid":"SIM-PTZ-0001"}})"));
  EXPECT_EQ(errorOf(post("/api/v1/holds/release", "{}"), 404), "This camera is not held.");
  ASSERT_EQ(camknobSim({"set", "--control", "brightness", "--value", "12"}, fixture).exitStatus, 0);
  const Clock::time_point deadline = Clock::now() + 10s;
  while (controlOf(cameras(), 41)["value"] != 12 && Clock::now() < deadline)
    std::this_thread::sleep_for(20ms);
  EXPECT_EQ(controlOf(cameras(), 41)["value"], 12);
  EXPECT_EQ(savedValue(fixture, 41), 12);
  stop();
  launch(fixture);
  if (HasFatalFailure()) return;
  EXPECT_EQ(answerOf(get("/api/v1/holds"), 200), json::parse(R"({"holds":[],"ok":true})"));
  EXPECT_EQ(savedValue(fixture, 41), 12);

  // Holds that cannot be, and a hold given up with its profile.
  EXPECT_EQ(errorOf(post("/api/v1/holds", R"({"profile":"nothing"})"), 404),
            "No profile is named nothing.");
  EXPECT_EQ(errorOf(post("/api/v1/holds", R"({"profile":"desk","device":"nobody"})"), 422),
            "Camera device was not found.");
  EXPECT_EQ(errorOf(post("/api/v1/holds/release", R"({"device":"nobody"})"), 422),
            "Camera device was not found.");
  answerOf(post("/api/v1/holds", R"({"profile":"desk","device":"PTZ"})"), 200);
  EXPECT_EQ(answerOf(post("/api/v1/profiles/delete", R"({"name":"desk"})"), 200),
            json::parse(R"({"deleted":"desk","ok":true,"released":["SIM-PTZ-0001"]})"));
  EXPECT_EQ(answerOf(get("/api/v1/holds"), 200), json::parse(R"({"holds":[],"ok":true})"));
}

// A camera camknobd set moving is not left turning when it ends.
TEST_F(CamknobdApi, EndingStopsTheCameraItSetMoving) {
  const std::string fixture = fixtureOf(demoText);
  launch(fixture);
  if (HasFatalFailure()) return;
  const json standing = json::parse("[0, 0, 0, 0]");
  command(R"({"command":"move","pan":1,"tilt":-1})");
  EXPECT_NE(savedProperties(fixture, 52).value("fcnd", json()), standing);
  stop();
  EXPECT_EQ(savedProperties(fixture, 52).value("fcnd", json()), standing);
}

TEST_F(CamknobdApi, APresetBringsBackWhereTheCameraPointedItsZoomAndFocus) {
  // The demo with a second pan/tilt camera, its ids moved by 100.
  json system = json::parse(demoText);
  json second = system["devices"][0];
  second["objectId"] = 133;
  second["properties"]["uid "] = "SIM-PTZ-0003";
  second["properties"]["lnam"] = "Ceiling PTZ";
  for (json& control : second["controls"])
    control["objectId"] = control["objectId"].get<int>() + 100;
  system["devices"].push_back(second);
  const std::string fixture = fixtureOf(system.dump(1));
  launch(fixture);
  if (HasFatalFailure()) return;

  command(R"({"command":"auto","control":"focus","enabled":"off"})");
  command(R"({"command":"set","control":"focus","value":40})");
  command(R"({"command":"set","control":"zoom","value":300})");
  command(R"({"command":"absolute","pan":20,"tilt":-5})");
  const json aimed = deviceOf(cameras(), "SIM-PTZ-0001");

  const auto presetOf = [](const std::string& camera, const std::string& uid,
                           const std::string& name) {
    return json{{"camera", camera}, {"controls", 3}, {"name", name}, {"uid", uid}};
  };
  const json desk = presetOf("PTZ Pro USB Camera", "SIM-PTZ-0001", "desk");
  const json door = presetOf("PTZ Pro USB Camera", "SIM-PTZ-0001", "door");
  const json ceilingDesk = presetOf("Ceiling PTZ", "SIM-PTZ-0003", "desk");
  EXPECT_EQ(answerOf(post("/api/v1/presets", R"({"name":"desk"})"), 200),
            json({{"ok", true}, {"preset", desk}}));
  EXPECT_EQ(answerOf(post("/api/v1/presets", R"({"name":"desk","device":"Ceiling"})"), 200),
            json({{"ok", true}, {"preset", ceilingDesk}}));
  EXPECT_EQ(answerOf(post("/api/v1/presets", R"({"name":"door","device":"SIM-PTZ-0001"})"), 200),
            json({{"ok", true}, {"preset", door}}));
  EXPECT_EQ(errorOf(post("/api/v1/presets", R"({"name":"x","device":"webcam"})"), 422),
            "This camera has no pan, tilt, zoom or focus to keep.");
  errorOf(post("/api/v1/presets", R"({"name":"x","device":"nobody"})"), 422);
  errorOf(post("/api/v1/presets", R"({"name":"x/y"})"), 400);

  const auto listed = [&](const std::string& query) {
    return answerOf(get("/api/v1/presets" + query), 200);
  };
  EXPECT_EQ(listed(""), json({{"ok", true}, {"presets", json::array({desk, ceilingDesk, door})}}));
  EXPECT_EQ(listed("?device=Ceiling"),
            json({{"ok", true}, {"presets", json::array({ceilingDesk})}}));
  EXPECT_EQ(listed("?device=SIM-PTZ-0001"),
            json({{"ok", true}, {"presets", json::array({desk, door})}}));
  EXPECT_EQ(listed("?device=webcam"), json({{"ok", true}, {"presets", json::array()}}));
  errorOf(get("/api/v1/presets?device=nobody"), 422);
  errorOf(get("/api/v1/presets?camera=webcam"), 400);

  // Moved away, zoomed, focused, focus back to automatic and brightness
  // changed: the recall brings back all but the brightness.
  command(R"({"command":"absolute","pan":-40,"tilt":30})");
  command(R"({"command":"set","control":"zoom","value":120})");
  command(R"({"command":"set","control":"focus","value":200})");
  command(R"({"command":"auto","control":"focus","enabled":"on"})");
  command(R"({"command":"set","control":"brightness","value":10})");
  const json ceilingBefore = deviceOf(cameras(), "SIM-PTZ-0003");
  const json recalled = answerOf(post("/api/v1/presets/recall", R"({"name":"desk"})"), 200);
  const json now = cameras();
  json expected = aimed;
  for (json& control : expected["controls"])
    if (control["kind"] == "brightness") control["value"] = 10;
  EXPECT_EQ(deviceOf(now, "SIM-PTZ-0001"), expected);
  EXPECT_EQ(recalled["device"], deviceOf(now, "SIM-PTZ-0001"));
  EXPECT_EQ(deviceOf(now, "SIM-PTZ-0003"), ceilingBefore);
  EXPECT_EQ(errorOf(post("/api/v1/presets/recall", R"({"name":"nothing"})"), 404),
            "This camera has no preset named nothing.");
  errorOf(post("/api/v1/presets/recall", R"({"name":"door","device":"Ceiling"})"), 404);

  EXPECT_EQ(answerOf(post("/api/v1/presets/delete", R"({"name":"desk"})"), 200),
            json({{"deleted", desk}, {"ok", true}}));
  errorOf(post("/api/v1/presets/delete", R"({"name":"desk"})"), 404);
  errorOf(post("/api/v1/presets/recall", R"({"name":"desk"})"), 404);
  EXPECT_EQ(listed(""), json({{"ok", true}, {"presets", json::array({ceilingDesk, door})}}));

  // Kept across a restart.
  stop();
  launch(fixture);
  if (HasFatalFailure()) return;
  EXPECT_EQ(listed(""), json({{"ok", true}, {"presets", json::array({ceilingDesk, door})}}));
}

// Every request the checks refuse before the engine: a set that would change
// the brightness otherwise leaves the fixture and the list as they were.
TEST_F(CamknobdApi, ARefusedRequestChangesNothing) {
  const std::string fixture = fixtureOf(demoText);
  launch(fixture);
  if (HasFatalFailure()) return;
  const std::string listBefore = get("/api/v1/cameras").body;
  const std::string setBody = R"({"command":"set","control":"brightness","value":200})";
  const std::string port = std::to_string(server->port);
  const httplib::Headers token{{"Authorization", "Bearer " + server->token}};
  const auto with = [&](httplib::Headers extra) {
    extra.insert(token.begin(), token.end());
    return extra;
  };
  struct Refused {
    std::string what;
    std::string method;
    std::string path;
    httplib::Headers headers;
    std::string body;
    std::string type;
    int status;
  };
  const std::string commands = "/api/v1/commands";
  const std::string jsonType = "application/json";
  const std::vector<Refused> cases{
      {"no token", "POST", commands, {}, setBody, jsonType, 401},
      {"a wrong token",
       "POST",
       commands,
       {{"Authorization", "Bearer " + std::string(64, 'f')}},
       setBody,
       jsonType,
       401},
      {"the token in the query",
       "POST",
       commands + "?token=" + server->token,
       {},
       setBody,
       jsonType,
       401},
      {"a Host of another name", "POST", commands, with({{"Host", "evil.example:" + port}}),
       setBody, jsonType, 403},
      {"an Origin of another site", "POST", commands, with({{"Origin", "http://evil.example"}}),
       setBody, jsonType, 403},
      {"plain text", "POST", commands, with({}), setBody, "text/plain", 415},
      {"a form", "POST", commands, with({}), "command=set&control=brightness&value=200",
       "application/x-www-form-urlencoded", 415},
      {"a body over 64 KiB", "POST", commands, with({}),
       setBody.substr(0, setBody.size() - 1) + std::string(65 * 1024, ' ') + "}", jsonType, 413},
      {"malformed JSON", "POST", commands, with({}), setBody.substr(0, setBody.size() - 1),
       jsonType, 400},
      {"an unknown key", "POST", commands, with({}),
       R"({"command":"set","control":"brightness","value":200,"speeed":1})", jsonType, 400},
      {"a key twice", "POST", commands, with({}),
       R"({"command":"set","control":"brightness","value":200,"value":201})", jsonType, 400},
      {"a value of the wrong kind", "POST", commands, with({}),
       R"({"command":"set","control":"brightness","value":[200]})", jsonType, 400},
      {"a query on a POST", "POST", commands + "?value=200", with({}), setBody, jsonType, 400},
      {"another method", "PUT", commands, with({}), setBody, jsonType, 405},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.what);
    httplib::Client client("127.0.0.1", server->port);
    client.set_read_timeout(30, 0);
    const httplib::Result result =
        c.method == "PUT" ? client.Put(c.path.c_str(), c.headers, c.body, c.type.c_str())
                          : client.Post(c.path.c_str(), c.headers, c.body, c.type.c_str());
    ASSERT_TRUE(result) << "no answer";
    errorOf(HttpAnswer{result->status, result->body, result->get_header_value("Content-Type")},
            c.status);
    EXPECT_EQ(fileText(fixture), demoText);
    EXPECT_EQ(get("/api/v1/cameras").body, listBefore);
  }

  // A body without its length, which is not read at all.
  const int socket = connectTo(server->port);
  ASSERT_GE(socket, 0);
  sendText(socket, "POST /api/v1/commands HTTP/1.1\r\nHost: " + server->host +
                       "\r\nAuthorization: Bearer " + server->token +
                       "\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n" +
                       hexText(setBody.size()) + "\r\n" + setBody + "\r\n0\r\n\r\n");
  const std::string answer = receiveUntil(socket, "}", 10s);
  ::close(socket);
  EXPECT_EQ(answer.rfind("HTTP/1.1 411", 0), 0u) << answer;
  EXPECT_EQ(fileText(fixture), demoText);
  EXPECT_EQ(get("/api/v1/cameras").body, listBefore);

  // The same body, let through, does change it.
  command(setBody);
  EXPECT_EQ(savedValue(fixture, 41), 200);
}

// Eight clients at once, each over its own connection kept alive, each
// setting a control of its own 250 times (now and then to a value that is
// not a number): every answer is its own, and each control ends at its
// client's last value. The connections gone, so are their descriptors.
TEST_F(CamknobdApi, ClientsAtOnceEachGetTheirOwnAnswers) {
  const std::string fixture = fixtureOf(demoText);
  launch(fixture);
  if (HasFatalFailure()) return;
  struct Control {
    std::string device;
    std::string kind;
    unsigned objectId;
    int minimum;
    int maximum;
  };
  const std::vector<Control> controls{
      {"SIM-PTZ-0001", "brightness", 41, 0, 255}, {"SIM-PTZ-0001", "contrast", 42, 0, 95},
      {"SIM-PTZ-0001", "saturation", 43, 0, 255}, {"SIM-PTZ-0001", "sharpness", 44, 0, 7},
      {"SIM-PTZ-0001", "zoom", 49, 100, 500},     {"SIM-WEBCAM-0002", "brightness", 61, -64, 64},
      {"SIM-WEBCAM-0002", "contrast", 62, 0, 64}, {"SIM-WEBCAM-0002", "hue", 63, -40, 40},
  };
  constexpr int rounds = 250;
  const auto valueAt = [&](std::size_t client, int round) {
    const Control& control = controls[client];
    const int span = control.maximum - control.minimum + 1;
    return control.minimum + (round * 37 + static_cast<int>(client) * 11) % span;
  };
  const auto refusedAt = [](int round) { return round % 50 == 17; };
  const int descriptorsBefore = openDescriptors(server->process.pid);
  ASSERT_GT(descriptorsBefore, 0);

  std::vector<std::vector<std::string>> faults(controls.size());
  std::vector<std::thread> clients;
  for (std::size_t at = 0; at < controls.size(); ++at) {
    clients.emplace_back([&, at] {
      const Control& control = controls[at];
      ApiClient client = apiClient(*server);
      for (int round = 0; round < rounds; ++round) {
        const bool refused = refusedAt(round);
        const std::string value = refused ? "\"x\"" : std::to_string(valueAt(at, round));
        const HttpAnswer answer =
            postTo(client, "/api/v1/commands",
                   R"({"command":"set","device":")" + control.device + R"(","control":")" +
                       control.kind + R"(","value":)" + value + "}");
        const std::string where = "round " + std::to_string(round) + ": ";
        const json document = parsed(answer);
        if (!document.is_object() || !document.contains("ok") || !document["ok"].is_boolean()) {
          faults[at].push_back(where + std::to_string(answer.status) + " " + answer.body);
          continue;
        }
        const bool ok = document["ok"];
        if (answer.status != (ok ? 200 : 422) || ok == refused)
          faults[at].push_back(where + std::to_string(answer.status) + " " + answer.body);
        if (!ok) continue;
        bool found = false;
        for (const json& device : document["devices"])
          for (const json& shown : device["controls"])
            if (shown["objectId"] == control.objectId)
              found = shown.value("value", json()) == valueAt(at, round);
        if (!found) faults[at].push_back(where + "not the value set: " + answer.body);
      }
    });
  }
  for (std::thread& client : clients) client.join();
  for (std::size_t at = 0; at < controls.size(); ++at) {
    SCOPED_TRACE(controls[at].device + " " + controls[at].kind);
    EXPECT_EQ(faults[at], std::vector<std::string>());
  }

  ASSERT_FALSE(refusedAt(rounds - 1));
  const json list = cameras();
  for (std::size_t at = 0; at < controls.size(); ++at) {
    SCOPED_TRACE(controls[at].device + " " + controls[at].kind);
    EXPECT_EQ(controlOf(list, controls[at].objectId)["value"], valueAt(at, rounds - 1));
    EXPECT_EQ(savedValue(fixture, controls[at].objectId), valueAt(at, rounds - 1));
  }

  const Clock::time_point deadline = Clock::now() + 15s;
  while (openDescriptors(server->process.pid) > descriptorsBefore && Clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  EXPECT_EQ(openDescriptors(server->process.pid), descriptorsBefore);
}

// Two clients at the same moment, each over its own connection, set the same
// control: one to a number, the other to a text that is none (or to an empty
// text). Each gets the answer to its own request, and the number is written
// every time, however the two land in the engine.
TEST_F(CamknobdApi, AnInvalidChangeAtTheSameMomentLosesNoValidOne) {
  const std::string fixture = fixtureOf(demoText);
  launch(fixture);
  if (HasFatalFailure()) return;
  ApiClient validClient = apiClient(*server);
  ApiClient invalidClient = apiClient(*server);
  const auto body = [](const std::string& value) {
    return R"({"command":"set","device":"SIM-PTZ-0001","control":"brightness","value":)" + value +
           "}";
  };
  // What a client was told: the status, and the brightness shown or the error.
  const auto told = [](const HttpAnswer& answer) {
    const json document = parsed(answer);
    std::string shown = "not a JSON object";
    if (document.is_object() && document.value("ok", false))
      shown = controlOf(document, 41).value("value", json()).dump();
    else if (document.is_object())
      shown = document.value("error", "no error");
    return std::to_string(answer.status) + " " + shown;
  };
  constexpr int rounds = 40;
  std::vector<std::string> faults;
  int lost = 0;
  for (int round = 0; round < rounds; ++round) {
    const int value = 10 + round;  // each round's differs from the one before
    const std::string invalid = round % 2 == 0 ? R"("abc")" : R"("")";
    std::latch start(2);
    HttpAnswer validAnswer;
    HttpAnswer invalidAnswer;
    std::thread sender([&] {
      start.arrive_and_wait();
      invalidAnswer = postTo(invalidClient, "/api/v1/commands", body(invalid));
    });
    start.arrive_and_wait();
    validAnswer = postTo(validClient, "/api/v1/commands", body(std::to_string(value)));
    sender.join();

    const std::string where = "round " + std::to_string(round) + ": ";
    if (savedValue(fixture, 41) != value) ++lost;
    if (told(validAnswer) != "200 " + std::to_string(value))
      faults.push_back(where + "the valid one: " + told(validAnswer));
    if (told(invalidAnswer) != "422 set requires --control and a numeric --value.")
      faults.push_back(where + "the invalid one: " + told(invalidAnswer));
  }
  EXPECT_EQ(lost, 0) << "valid changes lost, of " << rounds;
  EXPECT_EQ(faults, std::vector<std::string>());
}

}  // namespace
}  // namespace camknob::testing
