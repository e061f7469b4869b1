#include "http/api_routes.h"

#include <algorithm>
#include <array>
#include <vector>

#include "http/command_body.h"
#include "http/control_page.h"

namespace camknob::http {

namespace {

constexpr std::array<FieldRule, 1> deviceField{{{"device", FieldKind::Text, false}}};
constexpr std::array<FieldRule, 1> nameField{{{"name", FieldKind::Text, true}}};
constexpr std::array<FieldRule, 2> nameAndDevice{{
    {"name", FieldKind::Text, true},
    {"device", FieldKind::Text, false},
}};
constexpr std::array<FieldRule, 2> profileAndDevice{{
    {"profile", FieldKind::Text, true},
    {"device", FieldKind::Text, false},
}};
constexpr std::array<FieldRule, 1> codeField{{{"code", FieldKind::Text, true}}};

RequestReading runCommand(const FieldTexts& texts) {
  if (auto reset = resetOf(texts)) {
    if (auto* fault = std::get_if<std::string>(&*reset)) return std::move(*fault);
    return engine::Request{std::get<engine::ResetControls>(std::move(*reset))};
  }
  auto command = commandOf(texts);
  if (auto* fault = std::get_if<std::string>(&command)) return std::move(*fault);
  return engine::Request{std::get<engine::RunCommand>(std::move(command))};
}

// Each request of its fields, in the order of the route's rules.
template <typename Request>
RequestReading plain(const FieldTexts&) {
  return engine::Request{Request{}};
}
template <typename Request>
RequestReading byName(const FieldTexts& texts) {
  return engine::Request{Request{*texts[0]}};
}
template <typename Request>
RequestReading byNameAndDevice(const FieldTexts& texts) {
  return engine::Request{Request{*texts[0], texts[1]}};
}
template <typename Request>
RequestReading byDevice(const FieldTexts& texts) {
  return engine::Request{Request{texts[0]}};
}

using ApiRouteTable = std::array<Route, 17>;

const ApiRouteTable& apiRouteTable() {
  static const ApiRouteTable routes{{
      {"GET", "/login", RouteKind::Login, codeField, nullptr},
      {"GET", "/api/v1/events", RouteKind::Events, {}, nullptr},
      {"POST", "/api/v1/session/page", RouteKind::NewLoginPage, {}, nullptr},
      {"GET", "/api/v1/cameras", RouteKind::Engine, {}, plain<engine::ListCameras>},
      {"GET", "/api/v1/details", RouteKind::Engine, {}, plain<engine::ListDetails>},
      {"POST", "/api/v1/commands", RouteKind::Engine, commandFields(), runCommand},
      {"GET", "/api/v1/profiles", RouteKind::Engine, {}, plain<engine::ListProfiles>},
      {"POST", "/api/v1/profiles", RouteKind::Engine, nameAndDevice,
       byNameAndDevice<engine::SaveProfile>},
      {"POST", "/api/v1/profiles/apply", RouteKind::Engine, nameAndDevice,
       byNameAndDevice<engine::ApplyProfile>},
      {"POST", "/api/v1/profiles/delete", RouteKind::Engine, nameField,
       byName<engine::DeleteProfile>},
      {"GET", "/api/v1/holds", RouteKind::Engine, {}, plain<engine::ListHolds>},
      {"POST", "/api/v1/holds", RouteKind::Engine, profileAndDevice,
       byNameAndDevice<engine::HoldProfile>},
      {"POST", "/api/v1/holds/release", RouteKind::Engine, deviceField,
       byDevice<engine::ReleaseHold>},
      {"GET", "/api/v1/presets", RouteKind::Engine, deviceField, byDevice<engine::ListPresets>},
      {"POST", "/api/v1/presets", RouteKind::Engine, nameAndDevice,
       byNameAndDevice<engine::SavePreset>},
      {"POST", "/api/v1/presets/recall", RouteKind::Engine, nameAndDevice,
       byNameAndDevice<engine::RecallPreset>},
      {"POST", "/api/v1/presets/delete", RouteKind::Engine, nameAndDevice,
       byNameAndDevice<engine::DeletePreset>},
  }};
  return routes;
}

// The files of the control page (GET /, GET /page/app.js, ...), then the API.
const std::vector<Route>& routeTable() {
  static const std::vector<Route> routes = [] {
    std::vector<Route> made;
    for (const PageFile& file : pageFiles())
      made.push_back({"GET", file.path, RouteKind::ControlPage, {}, nullptr});
    const ApiRouteTable& api = apiRouteTable();
    made.insert(made.end(), api.begin(), api.end());
    return made;
  }();
  return routes;
}

}  // namespace

std::span<const Route> apiRoutes() {
  return routeTable();
}

RouteMatch findRoute(std::string_view method, std::string_view path) {
  bool pathKnown = false;
  for (const Route& route : routeTable()) {
    if (route.path != path) continue;
    if (route.method == method) return {&route, true};
    pathKnown = true;
  }
  return {nullptr, pathKnown};
}

std::variant<FieldTexts, std::string> readRouteFields(const Route& route,
                                                      const QueryParameters& query,
                                                      std::string_view body) {
  if (route.method == "GET") return readParameters(query, route.fields);
  auto noQuery = readParameters(query, {});
  if (auto* fault = std::get_if<std::string>(&noQuery)) return std::move(*fault);
  auto object = bodyObject(body);
  if (auto* fault = std::get_if<std::string>(&object)) return std::move(*fault);
  return readFields(std::get<JsonObject>(object), route.fields);
}

RequestReading readEngineRequest(const Route& route, const QueryParameters& query,
                                 std::string_view body) {
  auto fields = readRouteFields(route, query, body);
  if (auto* fault = std::get_if<std::string>(&fields)) return std::move(*fault);
  return route.make(std::get<FieldTexts>(fields));
}

}  // namespace camknob::http
