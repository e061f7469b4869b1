// Every route of the HTTP API in one table: its method and path, what
// answers it, and the fields it reads (of the query for GET, of the JSON body
// for POST). The engine's routes also name how their fields make a request.
//
//   GET  /                          the control page (no token needed), and
//   GET  /page/NAME                 its other files (http/control_page.h)
//   GET  /login?code=CODE           one-time code -> session cookie (no token)
//   GET  /api/v1/events             the cameras' states as server-sent events
//   POST /api/v1/session/page       a new one-time login page {}
//   GET  /api/v1/cameras            ListCameras
//   POST /api/v1/commands           RunCommand (http/command_body.h)
//   GET  /api/v1/profiles           ListProfiles
//   POST /api/v1/profiles           SaveProfile {"name", "device"?}
//   POST /api/v1/profiles/apply     ApplyProfile {"name", "device"?}
//   POST /api/v1/profiles/delete    DeleteProfile {"name"}
//   GET  /api/v1/holds              ListHolds
//   POST /api/v1/holds              HoldProfile {"profile", "device"?}
//   POST /api/v1/holds/release      ReleaseHold {"device"?}
//   GET  /api/v1/presets?device=D   ListPresets (device optional)
//   POST /api/v1/presets            SavePreset {"name", "device"?}
//   POST /api/v1/presets/recall     RecallPreset {"name", "device"?}
//   POST /api/v1/presets/delete     DeletePreset {"name", "device"?}
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "engine/engine_requests.h"
#include "http/body_fields.h"

namespace camknob::http {

enum class RouteKind { ControlPage, Login, Events, NewLoginPage, Engine };

// The request, or the fault (a sentence naming the key) for a 400 answer.
using RequestReading = std::variant<engine::Request, std::string>;

struct Route {
  std::string_view method;
  std::string_view path;
  RouteKind kind;
  std::span<const FieldRule> fields;
  RequestReading (*make)(const FieldTexts& texts);  // the engine's routes only
};

std::span<const Route> apiRoutes();

// The route of the method and path; when there is none, whether the path is
// one of another method's (405) or no route's at all (404).
struct RouteMatch {
  const Route* route;
  bool pathKnown;
};
RouteMatch findRoute(std::string_view method, std::string_view path);

// The route's fields: a GET's from its query; a POST's from its body (one
// JSON object), with no query.
std::variant<FieldTexts, std::string> readRouteFields(const Route& route,
                                                      const QueryParameters& query,
                                                      std::string_view body);

// An engine route's request.
RequestReading readEngineRequest(const Route& route, const QueryParameters& query,
                                 std::string_view body);

}  // namespace camknob::http
