// The route table, and the requests its routes make of their queries and
// bodies.
#include <gtest/gtest.h>

#include <set>

#include "http/api_routes.h"
#include "support/command_requests.h"

namespace camknob::http {
namespace {

const Route& route(std::string_view method, std::string_view path) {
  const RouteMatch match = findRoute(method, path);
  EXPECT_NE(match.route, nullptr) << method << " " << path;
  return *match.route;
}

RequestReading post(std::string_view path, std::string_view body, QueryParameters query = {}) {
  return readEngineRequest(route("POST", path), query, body);
}

RequestReading get(std::string_view path, QueryParameters query = {}) {
  return readEngineRequest(route("GET", path), query, "");
}

template <typename Request>
Request requestOf(const RequestReading& reading) {
  EXPECT_TRUE(std::holds_alternative<engine::Request>(reading))
      << (std::holds_alternative<std::string>(reading) ? std::get<std::string>(reading) : "");
  const auto* request = std::get_if<engine::Request>(&reading);
  EXPECT_TRUE(request != nullptr && std::holds_alternative<Request>(*request));
  return request != nullptr && std::holds_alternative<Request>(*request)
             ? std::get<Request>(*request)
             : Request{};
}

std::string faultOf(const RequestReading& reading) {
  EXPECT_TRUE(std::holds_alternative<std::string>(reading));
  return std::holds_alternative<std::string>(reading) ? std::get<std::string>(reading) : "";
}

TEST(ApiRoutes, EachMethodAndPathOnce) {
  std::set<std::pair<std::string_view, std::string_view>> seen;
  for (const Route& each : apiRoutes()) {
    EXPECT_TRUE(seen.insert({each.method, each.path}).second) << each.method << " " << each.path;
    EXPECT_TRUE(each.method == "GET" || each.method == "POST") << each.path;
    EXPECT_EQ(each.kind == RouteKind::Engine, each.make != nullptr) << each.path;
  }
  EXPECT_EQ(findRoute("GET", "/api/v1/cameras").route->kind, RouteKind::Engine);
  EXPECT_TRUE(findRoute("DELETE", "/api/v1/profiles").pathKnown);
  EXPECT_EQ(findRoute("DELETE", "/api/v1/profiles").route, nullptr);
  EXPECT_FALSE(findRoute("GET", "/api/v1/cameras/").pathKnown);
  EXPECT_FALSE(findRoute("GET", "/api/v1/Cameras").pathKnown);
}

TEST(ApiRoutes, ListsTakeNoBodyAndPresetsTakeADevice) {
  requestOf<engine::ListCameras>(get("/api/v1/cameras"));
  requestOf<engine::ListProfiles>(get("/api/v1/profiles"));
  requestOf<engine::ListHolds>(get("/api/v1/holds"));
  EXPECT_FALSE(requestOf<engine::ListPresets>(get("/api/v1/presets")).device);
  EXPECT_EQ(requestOf<engine::ListPresets>(get("/api/v1/presets", {{"device", "PTZ Cam"}})).device,
            "PTZ Cam");
  EXPECT_EQ(faultOf(get("/api/v1/presets", {{"device", "a"}, {"device", "b"}})),
            "\"device\" is given more than once.");
  EXPECT_EQ(faultOf(get("/api/v1/presets", {{"name", "a"}})), "Unknown parameter \"name\".");
  EXPECT_EQ(faultOf(get("/api/v1/cameras", {{"device", "a"}})), "Unknown parameter \"device\".");
}

TEST(ApiRoutes, ProfilesHoldsAndPresetsByName) {
  const auto save = requestOf<engine::SaveProfile>(post("/api/v1/profiles", R"({"name": "day"})"));
  EXPECT_EQ(save.name, "day");
  EXPECT_FALSE(save.device);
  const auto apply = requestOf<engine::ApplyProfile>(
      post("/api/v1/profiles/apply", R"({"device": "HD Webcam", "name": "day"})"));
  EXPECT_EQ(apply.name, "day");
  EXPECT_EQ(apply.device, "HD Webcam");
  EXPECT_EQ(
      requestOf<engine::DeleteProfile>(post("/api/v1/profiles/delete", R"({"name": "day"})")).name,
      "day");
  const auto hold =
      requestOf<engine::HoldProfile>(post("/api/v1/holds", R"({"profile": "day", "device": "x"})"));
  EXPECT_EQ(hold.profile, "day");
  EXPECT_EQ(hold.device, "x");
  EXPECT_FALSE(requestOf<engine::ReleaseHold>(post("/api/v1/holds/release", "{}")).device);
  EXPECT_EQ(
      requestOf<engine::ReleaseHold>(post("/api/v1/holds/release", R"({"device": "x"})")).device,
      "x");
  const auto preset = requestOf<engine::SavePreset>(post("/api/v1/presets", R"({"name": "door"})"));
  EXPECT_EQ(preset.name, "door");
  const auto recall = requestOf<engine::RecallPreset>(
      post("/api/v1/presets/recall", R"({"name": "door", "device": "PTZ"})"));
  EXPECT_EQ(recall.name, "door");
  EXPECT_EQ(recall.device, "PTZ");
  EXPECT_EQ(
      requestOf<engine::DeletePreset>(post("/api/v1/presets/delete", R"({"name": "door"})")).name,
      "door");
  EXPECT_EQ(
      requestOf<engine::RunCommand>(post("/api/v1/commands", R"({"command": "home"})")).request,
      CommandRequest{.command = "home"});
}

// A reset takes only a device and a control; the details take nothing.
TEST(ApiRoutes, ResetsAControlOrACameraAndGivesTheDetails) {
  requestOf<engine::ListDetails>(get("/api/v1/details"));
  const std::vector<std::pair<std::string, engine::ResetControls>> resets{
      {R"({"command": "reset"})", {std::nullopt, std::nullopt}},
      {R"({"command": "reset", "device": "PTZ"})", {"PTZ", std::nullopt}},
      {R"({"control": "--device", "command": "reset", "device": "PTZ"})", {"PTZ", "--device"}},
  };
  for (const auto& [body, wanted] : resets) {
    const auto made = requestOf<engine::ResetControls>(post("/api/v1/commands", body));
    EXPECT_EQ(made.device, wanted.device) << body;
    EXPECT_EQ(made.control, wanted.control) << body;
  }
  const std::vector<std::pair<std::string, std::string>> refused{
      {R"({"command": "reset", "value": 1})", "\"value\" does not go with the command \"reset\"."},
      {R"({"command": "reset", "delta": 1})", "\"delta\" does not go with the command \"reset\"."},
      {R"({"command": "reset", "lease": true})",
       "\"lease\" does not go with the command \"reset\"."},
      {R"({"command": "reset", "enabled": true})",
       "\"enabled\" does not go with the command \"reset\"."},
  };
  for (const auto& [body, fault] : refused)
    EXPECT_EQ(faultOf(post("/api/v1/commands", body)), fault) << body;
  // "reset" is the word itself: another spelling is camknob's unknown command.
  EXPECT_EQ(requestOf<engine::RunCommand>(post("/api/v1/commands", R"({"command": "Reset"})"))
                .request.command,
            "Reset");
}

TEST(ApiRoutes, RefusesBodiesOutsideTheirRoutesFields) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases{
      {"/api/v1/profiles", "{}", "\"name\" is missing."},
      {"/api/v1/profiles", R"({"name": 1})", "\"name\" must be a string."},
      {"/api/v1/profiles", R"({"name": "a", "device": false})", "\"device\" must be a string."},
      {"/api/v1/profiles", R"({"name": "a", "profile": "b"})", "Unknown key \"profile\"."},
      {"/api/v1/profiles/apply", R"({"device": "x"})", "\"name\" is missing."},
      {"/api/v1/profiles/delete", R"({"name": "a", "device": "x"})", "Unknown key \"device\"."},
      {"/api/v1/holds", R"({"name": "day"})", "Unknown key \"name\"."},
      {"/api/v1/holds", R"({"device": "x"})", "\"profile\" is missing."},
      {"/api/v1/holds/release", R"({"profile": "day"})", "Unknown key \"profile\"."},
      {"/api/v1/presets", R"({"name": "a", "name": "b"})", "\"name\" is given more than once."},
      {"/api/v1/presets/recall", R"({"name": null})", "\"name\" must be a string."},
      {"/api/v1/presets/delete", "[]", "The body must be a JSON object."},
      {"/api/v1/session/page", R"({"code": "x"})", "Unknown key \"code\"."},
      {"/api/v1/holds/release", "",
       "The body is not JSON: line 1, column 1: unexpected end of input; expected a value."},
  };
  for (const auto& [path, body, fault] : cases) {
    const auto fields = readRouteFields(route("POST", path), {}, body);
    ASSERT_TRUE(std::holds_alternative<std::string>(fields)) << path << " " << body;
    EXPECT_EQ(std::get<std::string>(fields), fault) << path << " " << body;
  }
  EXPECT_EQ(faultOf(post("/api/v1/profiles", R"({"name": "a"})", {{"name", "b"}})),
            "Unknown parameter \"name\".");
}

}  // namespace
}  // namespace camknob::http
