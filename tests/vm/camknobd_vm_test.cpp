// camknobd on the kernel's own drivers: the engine started once in the shared
// guest and asked over its API by camknobd-check (api_client/), while the
// virtual camera's logs show what reached it. Its commands, its quiet while
// no one asks, the camera unplugged and plugged back, and a held profile
// kept through a camera that resets its controls as a stream starts.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "runner/init_script.h"
#include "support/json_entries.h"
#include "timed_log.h"
#include "vm_plan.h"

namespace camknob::vmtests {

namespace {

using nlohmann::json;
using vm::Step;

constexpr const char* client = "camknobd-check";
constexpr const char* cameraName = "Virtual PTZ Camera";
constexpr const char* cameraPart = "Virtual PTZ";  // "device" by part of the name
constexpr const char* cameraUid = "usb-dummy_hcd.0-1/1209:0001";
constexpr const char* configVariable = "XDG_CONFIG_HOME=/tmp/camknobd-config";
constexpr const char* heldProfile = "studio";

// What the held profile keeps away from the camera's defaults: controls
// uvcvideo reads from the camera once and then answers from its own copy.
struct HeldValue {
  const char* kind;
  unsigned selector;  // in the processing unit
  int value;
};
constexpr HeldValue heldValues[] = {
    {"brightness", 0x02, 25},
    {"contrast", 0x03, 70},
    {"saturation", 0x07, 30},
};

std::string requestText(const std::string& method, const std::string& path,
                        const json& body = nullptr) {
  std::string text = method + " " + path;
  if (!body.is_null()) text.append(" ").append(body.dump());
  return text;
}

json commandBody(json fields) {
  fields["device"] = cameraPart;
  return fields;
}

// One command's request and what it must do to the camera.
struct CommandCase {
  std::string step;
  json body;
  std::string kind;      // the control the answer shows changed
  std::string field;     // "value" or "nativeData"
  json shown;            // that field in the answer
  std::string received;  // the camera's log
};

std::vector<std::uint8_t> positionBytes(std::int32_t pan, std::int32_t tilt) {
  std::vector<std::uint8_t> bytes;
  for (const std::int32_t value : {pan, tilt})
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(std::uint8_t(static_cast<std::uint32_t>(value) >> shift));
  return bytes;
}

std::vector<CommandCase> commandCases() {
  return {
      {"dm.set", commandBody({{"command", "set"}, {"control", "brightness"}, {"value", -20}}),
       "brightness", "value", -20, "SET_CUR unit=2 selector=0x02 len=2 data=ec ff\n"},
      // Back to the camera's own default, 0.
      {"dm.reset", commandBody({{"command", "reset"}, {"control", "brightness"}}), "brightness",
       "value", 0, "SET_CUR unit=2 selector=0x02 len=2 data=00 00\n"},
      // Pan 1 at the default speed is 5; tilt -0.5 is 3 down, which the
      // driver limits to its minimum of -1.
      {"dm.move",
       commandBody({{"command", "move"}, {"pan", 1}, {"tilt", -0.5}}),
       "panTiltRelative",
       "nativeData",
       {1, 5, 255, 1},
       "SET_CUR unit=1 selector=0x0e len=4 data=01 05 ff 01\n"},
      {"dm.move-stop",
       commandBody({{"command", "stop"}}),
       "panTiltRelative",
       "nativeData",
       {0, 0, 0, 0},
       "SET_CUR unit=1 selector=0x0e len=4 data=00 00 00 00\n"},
      // 10.5° and -20.25° on the camera's 1° steps: 11° and -20°, in one request.
      {"dm.absolute", commandBody({{"command", "absolute"}, {"pan", 10.5}, {"tilt", -20.25}}),
       "panTiltAbsolute", "nativeData", positionBytes(39600, -72000),
       "SET_CUR unit=1 selector=0x0d len=8 data=b0 9a 00 00 c0 e6 fe ff\n"},
      {"dm.home", commandBody({{"command", "home"}}), "panTiltAbsolute", "nativeData",
       positionBytes(0, 0), "SET_CUR unit=1 selector=0x0d len=8 data=00 00 00 00 00 00 00 00\n"},
  };
}

std::string clientRequest(const std::string& text) {
  return std::string(client) + " request " + vm::shellQuoted(text);
}

Step requests(const std::string& name, std::vector<std::string> texts) {
  texts.insert(texts.begin(), {client, "request"});
  return {name, texts};
}

// Empties the camera's log, sends the request, then prints the log: the
// answer's line first, then what the camera received.
Step requestWithLog(const std::string& name, const std::string& text) {
  const std::string log = vm::guestCameraLog;
  return {name, {"sh", "-c", ": > " + log + "; " + clientRequest(text) + "; cat " + log}};
}

// The camera's gadget stopped: the USB device leaves the bus, as when it is
// unplugged. The step waits until the engine no longer lists it.
Step unplug(const std::string& name) {
  return {name,
          {"sh", "-c",
           std::string("kill $(pidof camknob-virtual-camera) && exec ") + client +
               " wait-camera absent " + vm::shellQuoted(cameraName) + " 20000"},
          {},
          false,
          40'000};
}

// The camera started again, now one that resets its controls as a stream
// starts, with its log emptied first; the step waits until the engine lists
// it. Its own session keeps it running after the step.
Step plugBack(const std::string& name) {
  const std::string camera = std::string("setsid camknob-virtual-camera --reset-on-stream ") +
                             "--timed-log " + vm::guestCameraTimedLog + " " + vm::guestCameraLog +
                             " /dev/gadget </dev/null >/dev/console 2>&1 &";
  return {name,
          {"sh", "-c",
           std::string(": > ") + vm::guestCameraLog + "; " + camera + " exec " + client +
               " wait-camera present " + vm::shellQuoted(cameraName) + " 30000"},
          {},
          false,
          50'000};
}

Step cameraLog(const std::string& name) {
  return {name, {"cat", vm::guestCameraLog}};
}

}  // namespace

std::vector<Step> camknobdSteps(const GuestPrograms& programs) {
  if (!programs.camknobd || !programs.camknobdCheck) return {};
  std::vector<Step> steps{
      // The guest's loopback, down until something brings it up.
      {"dm.loopback", {"ip", "link", "set", "lo", "up"}},
      {"dm.start", {client, "start", "/bin/camknobd"}, {configVariable}},
      {"dm.list",
       {"sh", "-c", clientRequest(requestText("GET", "/api/v1/cameras")) + " && camknob list"}},
      // The details, and what the camera was asked for them: nothing more
      // than describing it asked (an empty log).
      requestWithLog("dm.details", requestText("GET", "/api/v1/details")),
  };
  for (const CommandCase& command : commandCases())
    steps.push_back(
        requestWithLog(command.step, requestText("POST", "/api/v1/commands", command.body)));
  if (programs.strace)
    // Past the settling read of the last command, three seconds of camknobd
    // on its own.
    steps.push_back({"dm.idle",
                     {"sh", "-c",
                      "usleep 300000; exec timeout -s INT 3 strace -f -e trace=ioctl,open,openat "
                      "-p \"$(cat /tmp/camknobd/pid)\""}});

  steps.push_back(unplug("dm.unplug"));
  steps.push_back(requests(
      "dm.unplugged",
      {requestText("POST", "/api/v1/commands",
                   commandBody({{"command", "set"}, {"control", "brightness"}, {"value", 5}})),
       requestText("GET", "/api/v1/cameras"),
       requestText(
           "POST", "/api/v1/commands",
           {{"command", "set"}, {"device", "vivid"}, {"control", "brightness"}, {"value", 100}})}));
  steps.push_back(plugBack("dm.plug-back"));
  steps.push_back(cameraLog("dm.plug-back.received"));

  // The camera as it came back, with the held values set; saved and held.
  std::vector<std::string> hold;
  for (const HeldValue& held : heldValues)
    hold.push_back(requestText(
        "POST", "/api/v1/commands",
        commandBody({{"command", "set"}, {"control", held.kind}, {"value", held.value}})));
  hold.push_back(
      requestText("POST", "/api/v1/profiles", {{"name", heldProfile}, {"device", cameraPart}}));
  hold.push_back(
      requestText("POST", "/api/v1/holds", {{"profile", heldProfile}, {"device", cameraPart}}));
  steps.push_back(requests("dm.hold", hold));

  if (programs.v4l2Ctl) {
    // Another program streams: the camera resets at the stream's start. It
    // sends no frames, so v4l2-ctl waits for them until it is stopped, past
    // the engine's last look after the open (2 s); the step then prints
    // v4l2-ctl's status and the camera's timed log.
    const std::string timed = vm::guestCameraTimedLog;
    steps.push_back({"dm.stream",
                     {"sh", "-c",
                      ": > " + timed + "; timeout -s INT 3 v4l2-ctl -d " + cameraNode +
                          " --stream-mmap --stream-count=3 >/dev/null 2>&1; echo \"v4l2-ctl $?\";"
                          " usleep 500000; cat " +
                          timed},
                     {},
                     false,
                     40'000});
  }

  steps.push_back(unplug("dm.unplug-again"));
  steps.push_back(plugBack("dm.plug-back-again"));
  steps.push_back(cameraLog("dm.plug-back-again.received"));
  steps.push_back(requests(
      "dm.held", {requestText("GET", "/api/v1/holds"), requestText("GET", "/api/v1/cameras")}));
  steps.push_back({"dm.end", {client, "stop"}});
  return steps;
}

namespace {

bool haveCamknobd() {
  return guestPrograms().camknobd && guestPrograms().camknobdCheck;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

// The step's output: its first `count` lines as JSON, and the rest as text.
struct StepLines {
  std::vector<json> answers;
  std::string rest;
};

StepLines stepLines(const char* name, std::size_t count) {
  const vm::StepResult* step = stepResult(name);
  if (step == nullptr) return {std::vector<json>(count, json::object()), {}};
  EXPECT_EQ(step->exitStatus, 0) << name << ": " << step->out << step->err;
  EXPECT_EQ(step->err, "") << name;
  StepLines result;
  const std::vector<std::string> all = lines(step->out);
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (i >= count) {
      result.rest += all[i] + '\n';
      continue;
    }
    json parsed = json::parse(all[i], nullptr, false);
    EXPECT_FALSE(parsed.is_discarded()) << name << " line " << i << ": " << all[i];
    result.answers.push_back(parsed.is_discarded() ? json::object() : parsed);
  }
  EXPECT_GE(all.size(), count) << name << ": " << step->out;
  result.answers.resize(count, json::object());
  return result;
}

json cameraIn(const json& list) {
  return testing::entryWhere(list, "devices", "name", cameraName);
}

json controlOf(const json& device, const std::string& kind) {
  return testing::entryWhere(device, "controls", "kind", kind);
}

bool listsCamera(const json& list) {
  if (!list.contains("devices")) return false;
  for (const json& device : list["devices"])
    if (device.value("name", "") == cameraName) return true;
  return false;
}

TEST(CamknobdInVm, StartsWithItsLineAndAPrivateTokenFile) {
  if (!haveCamknobd()) GTEST_SKIP() << "camknobd is not built here";
  json started = stepLines("dm.start", 1).answers[0];
  EXPECT_EQ(started["startLine"]["tokenFile"], "/tmp/camknobd/token");
  const std::string url = started["startLine"].value("url", "");
  EXPECT_EQ(url.rfind("http://127.0.0.1:", 0), 0u) << url;
  EXPECT_EQ(started["tokenFileMode"], 0600);
}

TEST(CamknobdInVm, ListsTheCamerasAsCamknobDoesAtTheSameMoment) {
  if (!haveCamknobd()) GTEST_SKIP() << "camknobd is not built here";
  StepLines listed = stepLines("dm.list", 2);
  json answer = listed.answers[0];
  EXPECT_EQ(answer["status"], 200);
  EXPECT_EQ(answer["body"], listed.answers[1]);
  EXPECT_EQ(answer["body"]["devices"].size(), 2u) << answer.dump();
  EXPECT_EQ(cameraIn(answer["body"])["uid"], cameraUid);
}

// The drivers' steps, defaults, units and menu item names, as uvcvideo and
// vivid describe their controls, in the list's order; read without asking
// the camera anything.
TEST(CamknobdInVm, DetailsGiveTheDriversStepsDefaultsAndMenuNames) {
  if (!haveCamknobd()) GTEST_SKIP() << "camknobd is not built here";
  StepLines ran = stepLines("dm.details", 1);
  const json answer = ran.answers[0];
  EXPECT_EQ(answer["status"], 200) << answer.dump();
  EXPECT_EQ(ran.rest, "") << "the details asked the camera";
  const json listed = stepLines("dm.list", 1).answers[0]["body"];
  const json details = answer["body"];
  ASSERT_EQ(details.value("devices", json::array()).size(), listed["devices"].size());
  for (std::size_t d = 0; d < listed["devices"].size(); ++d) {
    const json& controls = listed["devices"][d]["controls"];
    ASSERT_EQ(details["devices"][d]["controls"].size(), controls.size());
    for (std::size_t c = 0; c < controls.size(); ++c)
      EXPECT_EQ(details["devices"][d]["controls"][c]["kind"], controls[c]["kind"]);
  }
  const json camera = testing::entryWhere(details, "devices", "uid", cameraUid);
  const auto of = [&](const std::string& kind) { return controlOf(camera, kind); };
  EXPECT_EQ(of("brightness").value("step", json()), 1);
  EXPECT_EQ(of("brightness").value("default", json()), 0);
  EXPECT_EQ(of("contrast").value("default", json()), 50);
  EXPECT_EQ(of("focus").value("step", json()), 5);
  EXPECT_EQ(of("focus").value("automaticDefault", json()), true);
  // 250 in 100 µs: 0.025 s, in the absolute scale of the value, with its unit.
  EXPECT_NEAR(of("exposure").value("default", 0.0), 0.025, 1e-7) << of("exposure").dump();
  EXPECT_EQ(of("exposure").value("unit", json()), "seconds");
  EXPECT_EQ(of("powerLineFrequency")["menu"],
            json::parse(R"([{"name":"Disabled","value":0},{"name":"50 Hz","value":1},
                            {"name":"60 Hz","value":2}])"))
      << of("powerLineFrequency").dump();
  // Every menu of either driver names each item, by text or number.
  int menus = 0;
  for (const json& device : details["devices"])
    for (const json& control : device["controls"])
      if (control.contains("menu")) {
        ++menus;
        for (const json& item : control["menu"])
          EXPECT_TRUE(item["name"].is_number_integer() || !item["name"].get<std::string>().empty())
              << control.dump();
      }
  EXPECT_GE(menus, 2) << details.dump();
}

TEST(CamknobdInVm, CommandsReachTheCameraAndTheAnswerShowsWhatItReads) {
  if (!haveCamknobd()) GTEST_SKIP() << "camknobd is not built here";
  for (const CommandCase& command : commandCases()) {
    StepLines ran = stepLines(command.step.c_str(), 1);
    json answer = ran.answers[0];
    EXPECT_EQ(answer["status"], 200) << command.step << ": " << answer.dump();
    EXPECT_EQ(answer["body"]["ok"], true) << command.step;
    EXPECT_EQ(controlOf(cameraIn(answer["body"]), command.kind)[command.field], command.shown)
        << command.step;
    EXPECT_EQ(ran.rest, command.received) << command.step;
  }
}

TEST(CamknobdInVm, TouchesNoVideoNodeWhileNoClientAsks) {
  if (!haveCamknobd() || !guestPrograms().strace) GTEST_SKIP() << "no camknobd or strace here";
  const vm::StepResult* idle = stepResult("dm.idle");
  ASSERT_NE(idle, nullptr);
  // Every thread was watched: the engine's and the server's.
  EXPECT_NE(idle->err.find("attached"), std::string::npos) << idle->err;
  for (const std::string& line : lines(idle->err)) {
    EXPECT_EQ(line.find("ioctl("), std::string::npos) << line;
    EXPECT_EQ(line.find("open("), std::string::npos) << line;
    EXPECT_EQ(line.find("openat("), std::string::npos) << line;
  }
}

TEST(CamknobdInVm, AnUnpluggedCameraLeavesTheListAndTheEngineServesOn) {
  if (!haveCamknobd()) GTEST_SKIP() << "camknobd is not built here";
  json gone = stepLines("dm.unplug", 1).answers[0];
  EXPECT_EQ(gone["reached"], true) << gone.dump();
  EXPECT_FALSE(listsCamera(gone["body"])) << gone.dump();

  StepLines after = stepLines("dm.unplugged", 3);
  json refused = after.answers[0];
  EXPECT_EQ(refused["status"], 422) << refused.dump();
  EXPECT_EQ(refused["body"]["ok"], false);
  EXPECT_EQ(refused["body"]["error"], "Camera device was not found.");
  json listed = after.answers[1];
  EXPECT_EQ(listed["status"], 200);
  ASSERT_EQ(listed["body"]["devices"].size(), 1u) << listed.dump();
  EXPECT_EQ(listed["body"]["devices"][0]["name"], "vivid");
  json vivid = after.answers[2];
  EXPECT_EQ(vivid["status"], 200) << vivid.dump();
  EXPECT_EQ(controlOf(testing::entryWhere(vivid["body"], "devices", "name", "vivid"),
                      "brightness")["value"],
            100);
}

TEST(CamknobdInVm, APluggedBackCameraHasItsUidAgainAndIsNotWrittenUnlessHeld) {
  if (!haveCamknobd()) GTEST_SKIP() << "camknobd is not built here";
  json back = stepLines("dm.plug-back", 1).answers[0];
  EXPECT_EQ(back["reached"], true) << back.dump();
  json camera = cameraIn(back["body"]);
  EXPECT_EQ(camera["uid"], cameraUid);
  EXPECT_EQ(camera["objectId"], 0x20000);
  // Back at the values it starts with.
  EXPECT_EQ(controlOf(camera, "brightness")["value"], 0);
  // uvcvideo negotiates a stream format as it binds; the engine writes no
  // control of a camera it does not hold.
  const vm::StepResult* received = stepResult("dm.plug-back.received");
  ASSERT_NE(received, nullptr);
  EXPECT_EQ(received->out.find("SET_CUR unit="), std::string::npos) << received->out;
  EXPECT_NE(received->out.find("SET_CUR streaming"), std::string::npos) << received->out;
}

TEST(CamknobdInVm, HoldsAProfileSavedFromTheCamera) {
  if (!haveCamknobd()) GTEST_SKIP() << "camknobd is not built here";
  StepLines hold = stepLines("dm.hold", std::size(heldValues) + 2);
  for (json answer : hold.answers) EXPECT_EQ(answer["status"], 200) << answer.dump();
  json held = hold.answers.back();
  EXPECT_EQ(held["body"]["ok"], true) << held.dump();
}

TEST(CamknobdInVm, AHeldCameraThatResetsAsAStreamStartsIsBackWithinASecond) {
  if (!haveCamknobd() || !guestPrograms().v4l2Ctl) GTEST_SKIP() << "no camknobd or v4l2-ctl here";
  const vm::StepResult* stream = stepResult("dm.stream");
  ASSERT_NE(stream, nullptr);
  const std::vector<TimedLine> log = timedLines(stream->out);
  // The stream starts where the host commits its format; the camera resets.
  std::optional<TimedLine> commit;
  for (const TimedLine& line : log)
    if (!commit && line.text.rfind("SET_CUR streaming selector=0x02 ", 0) == 0) commit = line;
  ASSERT_TRUE(commit) << "no stream started: " << stream->out;
  const auto reset = firstAt(log, commit->nanoseconds, "RESET");
  ASSERT_TRUE(reset) << stream->out;
  std::int64_t restored = reset->nanoseconds;
  for (const HeldValue& held : heldValues) {
    const auto written = firstAt(log, reset->nanoseconds, processingSet(held.selector, held.value));
    EXPECT_TRUE(written) << held.kind << " not restored after the reset:\n" << stream->out;
    if (written) restored = std::max(restored, written->nanoseconds);
  }
  const double milliseconds = double(restored - commit->nanoseconds) / 1e6;
  std::printf("held values back %.1f ms after the stream started\n", milliseconds);
  EXPECT_LE(milliseconds, 1000.0) << stream->out;
}

TEST(CamknobdInVm, ACameraPluggedBackWhileHeldGetsItsProfileAgain) {
  if (!haveCamknobd()) GTEST_SKIP() << "camknobd is not built here";
  json gone = stepLines("dm.unplug-again", 1).answers[0];
  EXPECT_EQ(gone["reached"], true) << gone.dump();
  json back = stepLines("dm.plug-back-again", 1).answers[0];
  EXPECT_EQ(back["reached"], true) << back.dump();
  EXPECT_EQ(cameraIn(back["body"])["uid"], cameraUid);

  const vm::StepResult* received = stepResult("dm.plug-back-again.received");
  ASSERT_NE(received, nullptr);
  for (const HeldValue& held : heldValues)
    EXPECT_NE(received->out.find(processingSet(held.selector, held.value) + "\n"),
              std::string::npos)
        << held.kind << ":\n"
        << received->out;

  StepLines held = stepLines("dm.held", 2);
  EXPECT_EQ(held.answers[0]["status"], 200);
  EXPECT_NE(held.answers[0]["body"].dump().find(cameraUid), std::string::npos)
      << held.answers[0].dump();
  json camera = cameraIn(held.answers[1]["body"]);
  for (const HeldValue& value : heldValues)
    EXPECT_EQ(controlOf(camera, value.kind)["value"], value.value) << value.kind;
}

TEST(CamknobdInVm, EndsOnSigtermSayingNothingAndTakesItsTokenFileAlong) {
  if (!haveCamknobd()) GTEST_SKIP() << "camknobd is not built here";
  json ended = stepLines("dm.end", 1).answers[0];
  EXPECT_EQ(ended["exitStatus"], 0) << ended.dump();
  EXPECT_EQ(ended["stderr"], "");
  EXPECT_EQ(ended["tokenFileLeft"], false);
}

}  // namespace
}  // namespace camknob::vmtests
